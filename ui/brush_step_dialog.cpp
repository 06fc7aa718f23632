// brush_step_dialog.cpp: the layout of the brush step dialog and the reading of its values.
#include "ui/brush_step_dialog.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "tools/brush_settings.h"

namespace tsv {
namespace {

constexpr int kMargin = 12;
constexpr int kGroupWidth = 200;
constexpr int kRadioRow = 20;
constexpr int kLabelWidth = 90;
constexpr int kFieldWidth = 70;
constexpr int kRow = 28;
constexpr int kFieldHeight = 20;
constexpr int kButtonHeight = 24;

// Room, brush type and fusion side of kinds 1..10, for their names.
struct KindOf {
  int room, type, fusion;
};
constexpr KindOf kKinds[kBrushStepKindCount] = {{1, 0, 0}, {1, 1, 0}, {1, 2, 0}, {2, 0, 0}, {3, 0, 0},
                                                {3, 0, 1}, {4, 0, 0}, {8, 0, 0}, {1, 3, 0}, {1, 4, 0}};

const DialogItem* Find(const Dialog& dialog, int id) {
  const int index = FindDialogItem(dialog, id);
  return index >= 0 ? &dialog.items[size_t(index)] : nullptr;
}

void Field(Dialog& dialog, int top, int left, StringId label, double value, double minimum, double maximum,
           int decimals, int id) {
  AddLabel(dialog, {left, top, kLabelWidth, kFieldHeight}, GetString(label));
  const int index = AddNumberField(dialog, {left + kLabelWidth, top, kFieldWidth, kFieldHeight}, value, minimum,
                                   maximum, decimals, GetString(kHoverTaskBrushDialog));
  dialog.items[size_t(index)].id = id;
}

}  // namespace

Dialog MakeBrushStepDialog(const TaskStep& step) {
  Dialog dialog;
  dialog.title = GetString(kTaskBrushDialogTitle);
  const int right = kMargin * 2 + kGroupWidth;
  dialog.width = right + kLabelWidth + kFieldWidth + kMargin;

  std::vector<std::string> kinds;
  for (const KindOf& k : kKinds) kinds.push_back(GetString(BrushSessionName(k.room, k.type, k.fusion)));
  const Rect probe = GroupContentRect({kMargin, kMargin, kGroupWidth, 1000});
  const int overhead = 1000 - probe.height;
  const Rect kindFrame{kMargin, kMargin, kGroupWidth, kBrushStepKindCount * kRadioRow + overhead};
  AddGroup(dialog, kindFrame, GetString(kTaskBrushKind));
  const int kind = AddRadioGroup(dialog, GroupContentRect(kindFrame), std::move(kinds),
                                 std::clamp(BrushStepKind(step), 1, kBrushStepKindCount) - 1,
                                 GetString(kHoverTaskBrushDialog));
  dialog.items[size_t(kind)].id = kBrushStepKind;

  int top = probe.top;
  const Rect sideFrame{right, kMargin, kLabelWidth + kFieldWidth, 3 * kRadioRow + overhead};
  AddGroup(dialog, sideFrame, GetString(kTaskBrushSide));
  const int side = AddRadioGroup(dialog, GroupContentRect(sideFrame),
                                 {GetString(kBrushSideFront), GetString(kBrushSideThrough), GetString(kBrushSideSymmetric)},
                                 std::clamp(step.Side(), 0, 2), GetString(kHoverTaskBrushDialog));
  dialog.items[size_t(side)].id = kBrushStepSide;
  top = sideFrame.top + sideFrame.height + 8;
  Field(dialog, top, right, kTaskBrushShape, std::clamp(step.Shape(), 1, kBrushShapeCount), 1, kBrushShapeCount, 0,
        kBrushStepShape);
  top += kRow;
  Field(dialog, top, right, kTaskBrushPressure, (step.brushDepth - 128) / 128.0, -1, 1, 2, kBrushStepPressure);
  top += kRow;
  Field(dialog, top, right, kTaskBrushSize, step.brushSize / 256.0, 0, 1, 2, kBrushStepSize);
  top += kRow;
  Field(dialog, top, right, kTaskBrushSpacing, step.Spacing() / 256.0, 0, 1, 2, kBrushStepSpacing);
  top += kRow;
  AddLabel(dialog, {right, top, kLabelWidth, kFieldHeight}, GetString(kTaskBrushColour));
  const int swatch = AddSwatch(dialog, {right + kLabelWidth, top, kFieldWidth, kFieldHeight},
                               Rgb16{step.red, step.green, step.blue}, GetString(kHoverTaskBrushDialog));
  dialog.items[size_t(swatch)].id = kBrushStepColour;
  top += kRow;

  dialog.height = std::max(kindFrame.top + kindFrame.height, top) + kMargin + kButtonHeight + kMargin;
  AddOkCancel(dialog);
  return dialog;
}

BrushStepEdit ReadBrushStepDialog(const Dialog& dialog) {
  BrushStepEdit edit;
  if (const DialogItem* kind = Find(dialog, kBrushStepKind)) edit.kind = std::clamp(kind->selected + 1, 1, kBrushStepKindCount);
  if (const DialogItem* side = Find(dialog, kBrushStepSide)) edit.side = std::clamp(side->selected, 0, 2);
  auto number = [&](int id) -> std::optional<double> {
    const DialogItem* item = Find(dialog, id);
    if (item == nullptr || !std::isfinite(item->number)) return std::nullopt;
    return item->number;
  };
  if (auto shape = number(kBrushStepShape)) edit.shape = std::clamp(int(std::lround(*shape)), 1, kBrushShapeCount);
  if (auto pressure = number(kBrushStepPressure)) edit.pressure = float(std::clamp(*pressure, -1.0, 1.0));
  if (auto size = number(kBrushStepSize)) edit.size = float(std::clamp(*size, 0.0, 1.0));
  if (auto spacing = number(kBrushStepSpacing)) edit.spacing = float(std::clamp(*spacing, 0.0, 1.0));
  if (const DialogItem* colour = Find(dialog, kBrushStepColour)) edit.paintColour = colour->colour;
  return edit;
}

bool RunBrushStepDialog(int64_t offset, const TaskStep& step) {
  Dialog dialog = MakeBrushStepDialog(step);
  if (RunDialog(dialog).role == ButtonRole::Cancel) return false;
  return EditBrushStep(offset, ReadBrushStepDialog(dialog));
}

}  // namespace tsv
