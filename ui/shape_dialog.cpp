// shape_dialog.cpp: the layout of the standard shape dialog and the reading of its values.
#include "ui/shape_dialog.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/string_table.h"

namespace tsv {
namespace {

constexpr int kMargin = 12;
constexpr int kGroupWidth = 180;
constexpr int kRadioRow = 20;
constexpr int kLabelWidth = 110;
constexpr int kFieldWidth = 56;
constexpr int kFieldGap = 6;
constexpr int kRow = 28;
constexpr int kFieldHeight = 20;
constexpr int kButtonHeight = 24;
// A field's label carries the field's id plus this, so that both can be greyed together.
constexpr int kLabelOffset = 100;

const DialogItem* Find(const Dialog& dialog, int id) {
  const int index = FindDialogItem(dialog, id);
  return index >= 0 ? &dialog.items[size_t(index)] : nullptr;
}

void Enable(Dialog& dialog, int id, bool enabled) {
  for (int target : {id, id + kLabelOffset}) {
    const int index = FindDialogItem(dialog, target);
    if (index < 0) continue;
    dialog.items[size_t(index)].enabled = enabled;
    dialog.items[size_t(index)].style.enabled = enabled;
  }
}

// Base divisions shape only the cylinder and the cone, fatness only the doughnut.
void EnableForShape(Dialog& dialog) {
  const DialogItem* choice = Find(dialog, kShapeItemChoice);
  const int shape = choice ? choice->selected : -1;
  Enable(dialog, kShapeItemBaseDivisions, shape == kSyntheticCylinder || shape == kSyntheticCone);
  Enable(dialog, kShapeItemFatness, shape == kSyntheticDoughnut);
}

int Field(Dialog& dialog, Rect rect, double value, double minimum, double maximum, int decimals, double step, int id,
          StringId hover) {
  const int index = AddNumberField(dialog, rect, value, minimum, maximum, decimals, GetString(hover));
  dialog.items[size_t(index)].step = step;
  dialog.items[size_t(index)].id = id;
  return index;
}

void Label(Dialog& dialog, Rect rect, StringId text, int fieldId, StringId hover) {
  const int index = AddLabel(dialog, rect, GetString(text), {}, GetString(hover));
  dialog.items[size_t(index)].id = fieldId + kLabelOffset;
}

int Whole(const Dialog& dialog, int id, int32_t fallback) {
  const DialogItem* item = Find(dialog, id);
  if (item == nullptr || !std::isfinite(item->number)) return fallback;
  return int32_t(std::lround(std::clamp(item->number, -1.0e6, 1.0e6)));
}

}  // namespace

Dialog MakeShapeDialog(const SyntheticShapeSettings& settings) {
  SyntheticShapeSettings shown = settings;
  if (shown.shape >= kSyntheticShapeCount) shown.shape = kSyntheticSphere;
  (void)ClampShapeDialogSettings(shown);  // the shape was made valid above

  Dialog dialog;
  dialog.title = GetString(kShapeDialogTitle);
  dialog.width = kMargin * 3 + kGroupWidth + kLabelWidth + 2 * kFieldWidth + kFieldGap;

  // Left: the shapes.
  std::vector<std::string> names;
  for (int shape = 0; shape < kSyntheticShapeCount; ++shape) names.push_back(GetString(SyntheticShapeName(shape)));
  const Rect probe = GroupContentRect({kMargin, kMargin, kGroupWidth, 1000});
  const int overhead = 1000 - probe.height;
  const Rect frame = {kMargin, kMargin, kGroupWidth, kSyntheticShapeCount * kRadioRow + overhead};
  AddGroup(dialog, frame, GetString(kUiShapes));
  const int choice = AddRadioGroup(dialog, GroupContentRect(frame), std::move(names), shown.shape,
                                   GetString(kHoverShapeChoice));
  dialog.items[size_t(choice)].id = kShapeItemChoice;

  // Right: one row per setting, the label on the left, its fields beside it.
  const int left = kMargin * 2 + kGroupWidth, fields = left + kLabelWidth;
  int top = probe.top;
  Label(dialog, {left, top, kLabelWidth, kFieldHeight}, kShapeDivisions, kShapeItemDivisionsX, kHoverShapeDivisionsX);
  Field(dialog, {fields, top, kFieldWidth, kFieldHeight}, shown.x, 1, kMaxShapeDivisions, 0, 1, kShapeItemDivisionsX,
        kHoverShapeDivisionsX);
  Field(dialog, {fields + kFieldWidth + kFieldGap, top, kFieldWidth, kFieldHeight}, shown.y, 1, kMaxShapeDivisions, 0,
        1, kShapeItemDivisionsY, kHoverShapeDivisionsY);
  top += kRow;
  Label(dialog, {left, top, kLabelWidth, kFieldHeight}, kShapeBaseDivisions, kShapeItemBaseDivisions,
        kHoverShapeBaseDivisions);
  Field(dialog, {fields, top, kFieldWidth, kFieldHeight}, shown.b, 1, kMaxShapeDivisions, 0, 1,
        kShapeItemBaseDivisions, kHoverShapeBaseDivisions);
  top += kRow;
  Label(dialog, {left, top, kLabelWidth, kFieldHeight}, kShapeFatness, kShapeItemFatness, kHoverShapeFatness);
  Field(dialog, {fields, top, kFieldWidth, kFieldHeight}, shown.f, kMinFatness, kMaxFatness, 2, 0.05,
        kShapeItemFatness, kHoverShapeFatness);

  dialog.height = std::max(frame.top + frame.height, top + kFieldHeight) + kMargin + kButtonHeight + kMargin;
  AddOkCancel(dialog);
  dialog.onChange = [](Dialog& edited, int) { EnableForShape(edited); };
  EnableForShape(dialog);
  return dialog;
}

void ReadShapeDialog(const Dialog& dialog, SyntheticShapeSettings& settings) {
  SyntheticShapeSettings read = settings;
  if (const DialogItem* choice = Find(dialog, kShapeItemChoice);
      choice && choice->selected >= 0 && choice->selected < kSyntheticShapeCount) {
    read.shape = uint16_t(choice->selected);
  }
  if (read.shape >= kSyntheticShapeCount) read.shape = kSyntheticSphere;
  read.x = Whole(dialog, kShapeItemDivisionsX, read.x);
  read.y = Whole(dialog, kShapeItemDivisionsY, read.y);
  read.b = Whole(dialog, kShapeItemBaseDivisions, read.b);
  if (const DialogItem* fatness = Find(dialog, kShapeItemFatness)) read.f = float(fatness->number);
  (void)ClampShapeDialogSettings(read);  // the shape comes from the dialog's own list
  settings = read;
}

bool RunShapeDialog(SyntheticShapeSettings& settings) {
  Dialog dialog = MakeShapeDialog(settings);
  if (RunDialog(dialog).role == ButtonRole::Cancel) return false;
  ReadShapeDialog(dialog, settings);
  return true;
}

}  // namespace tsv
