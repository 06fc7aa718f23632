// letters_dialog.cpp: the letters dialog and the new-letters command.
#include "ui/letters_dialog.h"

#include <algorithm>
#include <cstring>

#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"
#include "ui/loop_result.h"
#include "ui/widgets.h"

namespace tsv {
namespace {

enum LettersItemId : int {
  kTextItem = 1,
  kFontItem,
  kBoldItem,
  kItalicItem,
  kFilledItem,
  kFitItem,
  kModeItem,
  kSegmentsItem,
  kDivisionsItem,
  kPreviewItem,
};

constexpr int kPreviewWidth = 240, kPreviewHeight = 84;
constexpr uint32_t kPreviewInk = 0x202020, kPreviewPaper = 0xFFFFFF;

const DialogItem* ItemOf(const Dialog& dialog, int id) {
  const int index = FindDialogItem(dialog, id);
  return index >= 0 ? &dialog.items[size_t(index)] : nullptr;
}

std::vector<std::string> PowerList() {
  std::vector<std::string> entries;
  for (int i = 0; i < kLetterListSize; ++i) entries.push_back(std::to_string(LetterListValue(i)));
  return entries;
}

// The depth divisions mean nothing for flat letters.
void FollowLettersChoices(Dialog& dialog) {
  const DialogItem* mode = ItemOf(dialog, kModeItem);
  const int divisions = FindDialogItem(dialog, kDivisionsItem);
  if (mode != nullptr && divisions >= 0) dialog.items[size_t(divisions)].enabled = mode->selected == 1;
}

void DrawPreview(Canvas& preview, const LetterSettings& settings) {
  DrawLetterPreview(preview, {0, 0, preview.width, preview.height}, settings, kPreviewInk, kPreviewPaper);
}

}  // namespace

Dialog MakeLettersDialog(const LetterSettings& s, const std::vector<std::string>& families, Canvas& preview) {
  constexpr int kMargin = 12, kLeftWidth = 240, kRight = kMargin + kLeftWidth + 16, kRightWidth = 248;
  Dialog dialog;
  dialog.title = GetString(kLettersName);
  dialog.width = kRight + kRightWidth + kMargin;
  dialog.height = 392;
  auto withId = [&](int index, int id) { dialog.items[size_t(index)].id = id; };

  withId(AddTextField(dialog, {kMargin, kMargin, dialog.width - 2 * kMargin, 24}, s.text, GetString(kHoverLettersText),
                      kMostLetterTextBytes),
         kTextItem);
  AddLabel(dialog, {kMargin, kMargin + 34, kLeftWidth, 20}, GetString(kLettersFont));
  const auto chosen = std::find(families.begin(), families.end(), s.family.empty() ? std::string(kDefaultLetterFamily) : s.family);
  const int selected = chosen != families.end() ? int(chosen - families.begin()) : (families.empty() ? -1 : 0);
  withId(AddList(dialog, {kMargin, kMargin + 56, kLeftWidth, 180}, families, selected, GetString(kHoverLettersFont)),
         kFontItem);
  withId(AddPicture(dialog, {kMargin, kMargin + 246, kLeftWidth, kPreviewHeight}, &preview, GetString(kHoverLettersPreview)),
         kPreviewItem);

  const struct {
    int id;
    StringId label, hover;
    bool on;
  } switches[] = {{kBoldItem, kLettersBold, kHoverLettersBold, s.bold},
                  {kItalicItem, kLettersItalic, kHoverLettersItalic, s.italic},
                  {kFilledItem, kLettersFilled, kHoverLettersFilled, s.filled},
                  {kFitItem, kLettersScaleToFit, kHoverLettersFit, s.scaleToFit}};
  int y = kMargin + 56;
  for (const auto& sw : switches) {
    withId(AddCheckBox(dialog, {kRight, y, kRightWidth, 22}, GetString(sw.label), sw.on, GetString(sw.hover)), sw.id);
    y += 26;
  }
  withId(AddRadioGroup(dialog, {kRight, y + 4, kRightWidth, 22}, {GetString(kLetters2d), GetString(kLetters3d)},
                       s.threeD ? 1 : 0, GetString(kHoverLettersMode), 2),
         kModeItem);
  y += 38;
  AddLabel(dialog, {kRight, y, kRightWidth, 20}, GetString(kLettersSegmenting));
  withId(AddRadioGroup(dialog, {kRight, y + 20, kRightWidth, 44}, PowerList(), std::max(0, LetterListIndex(s.segments)),
                       GetString(kHoverLettersSegments), 4),
         kSegmentsItem);
  y += 72;
  AddLabel(dialog, {kRight, y, kRightWidth, 20}, GetString(kLettersDepthDivisions));
  withId(AddRadioGroup(dialog, {kRight, y + 20, kRightWidth, 44}, PowerList(), std::max(0, LetterListIndex(s.depthDivisions)),
                       GetString(kHoverLettersDivisions), 4),
         kDivisionsItem);
  AddOkCancel(dialog);
  FollowLettersChoices(dialog);

  ResizeCanvas(preview, kPreviewWidth, kPreviewHeight, kPreviewPaper);
  DrawPreview(preview, s);
  dialog.onChange = [&families, &preview](Dialog& d, int) {
    FollowLettersChoices(d);
    LetterSettings now;
    ReadLettersDialog(d, families, now);
    DrawPreview(preview, now);
  };
  return dialog;
}

void ReadLettersDialog(const Dialog& dialog, const std::vector<std::string>& families, LetterSettings& s) {
  auto checked = [&](int id) {
    const DialogItem* item = ItemOf(dialog, id);
    return item != nullptr && item->checked;
  };
  if (const DialogItem* text = ItemOf(dialog, kTextItem)) s.text = text->text;
  if (const DialogItem* font = ItemOf(dialog, kFontItem); font != nullptr && font->selected >= 0 &&
                                                          size_t(font->selected) < families.size()) {
    s.family = families[size_t(font->selected)];
  }
  s.bold = checked(kBoldItem);
  s.italic = checked(kItalicItem);
  s.filled = checked(kFilledItem);
  s.scaleToFit = checked(kFitItem);
  if (const DialogItem* mode = ItemOf(dialog, kModeItem)) s.threeD = mode->selected != 0;
  auto power = [&](int id, int fallback) {
    const DialogItem* item = ItemOf(dialog, id);
    return item != nullptr && item->selected >= 0 && item->selected < kLetterListSize ? LetterListValue(item->selected)
                                                                                       : fallback;
  };
  s.segments = power(kSegmentsItem, 4);
  s.depthDivisions = power(kDivisionsItem, 4);
}

int NewLettersFromDialog() {
  if (FindSlotForNewObject() < 0) return kLoopRedrawViewFull;  // "Error: No empty space." shown
  const std::vector<std::string> families = LetterFontFamilies();
  LetterSettings& settings = CurrentLetterSettings();
  Canvas preview;
  Dialog dialog = MakeLettersDialog(settings, families, preview);
  // A text that cannot become letters keeps the dialog open with the reason.
  dialog.onAccept = [&families](Dialog& d, int) {
    LetterSettings now;
    ReadLettersDialog(d, families, now);
    const std::string problem = LetterTextProblem(now.text);
    if (problem.empty()) return true;
    ShowStopMessage(problem);
    return false;
  };
  if (RunDialog(dialog).role == ButtonRole::Cancel) return kLoopRedrawViewFull;
  ReadLettersDialog(dialog, families, settings);
  LetterResult made = GenerateLetters(settings, true);
  if (made.outcome != LetterOutcome::Made || !made.object) return kLoopRedrawViewFull;  // shown, or cancelled
  const int slot = FindSlotForNewObject();
  if (slot >= 0) (void)StoreObjectInSlot(slot, std::move(made.object));
  return kLoopRedrawViewFull;
}

}  // namespace tsv
