// step_dialog.cpp: the layout of the amount and colour step dialogs, the reading of their values,
// and the choice of the dialog that fits a step.
#include "ui/step_dialog.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "tasks/task_recorder.h"
#include "ui/brush_step_dialog.h"

namespace tsv {
namespace {

constexpr int kMargin = 12;
constexpr int kLabelWidth = 100;
constexpr int kFieldWidth = 80;
constexpr int kRow = 28;
constexpr int kFieldHeight = 20;
constexpr int kButtonHeight = 24;
constexpr int kDialogWidth = 220;  // room for OK and Cancel side by side

Dialog StepDialog(const TaskStep& step, int rows) {
  Dialog dialog;
  dialog.title = GetString(kTaskStepLabel) + TaskStepName(step);
  dialog.width = kDialogWidth;
  dialog.height = kMargin + rows * kRow + kMargin + kButtonHeight + kMargin;
  return dialog;
}

DeformKind AmountKindOf(const TaskStep& step) {
  const DeformToolEntry* tool = AmountToolOf(step);
  return tool != nullptr ? tool->kind : DeformKind::Signed;
}

}  // namespace

Dialog MakeAmountStepDialog(const TaskStep& step) {
  const DeformKind kind = AmountKindOf(step);
  const bool twoAmounts = kind == DeformKind::TwoAxis;
  Dialog dialog = StepDialog(step, twoAmounts ? 2 : 1);
  const ReadoutRange range = StepReadoutRange(kind);
  auto field = [&](int row, StringId label, int amount, int id) {
    const int top = kMargin + row * kRow;
    AddLabel(dialog, {kMargin, top, kLabelWidth, kFieldHeight}, GetString(label));
    const int index = AddNumberField(dialog, {kMargin + kLabelWidth, top, kFieldWidth, kFieldHeight},
                                     StepAmountReadout(kind, amount), range.minimum, range.maximum, 0,
                                     GetString(kHoverTaskAmountDialog));
    dialog.items[size_t(index)].id = id;
  };
  field(0, twoAmounts ? kTaskStepHorizontal : kUiAmount, step.value1, kAmountStepFirst);
  if (twoAmounts) field(1, kTaskStepVertical, step.value2, kAmountStepSecond);
  AddOkCancel(dialog);
  return dialog;
}

std::array<int, 2> ReadAmountStepDialog(const Dialog& dialog, const TaskStep& step) {
  const DeformKind kind = AmountKindOf(step);
  const ReadoutRange range = StepReadoutRange(kind);
  auto amount = [&](int id, int recorded) {
    const int index = FindDialogItem(dialog, id);
    if (index < 0 || !std::isfinite(dialog.items[size_t(index)].number)) return recorded;
    const double number = std::clamp(dialog.items[size_t(index)].number, double(range.minimum), double(range.maximum));
    const int readout = int(std::lround(number));
    if (readout == StepAmountReadout(kind, recorded)) return recorded;
    return StepAmountFromReadout(kind, readout);
  };
  return {amount(kAmountStepFirst, step.value1), amount(kAmountStepSecond, step.value2)};
}

Dialog MakeColourStepDialog(const TaskStep& step) {
  Dialog dialog = StepDialog(step, 1);
  AddLabel(dialog, {kMargin, kMargin, kLabelWidth, kFieldHeight}, GetString(kTaskBrushColour));
  const int swatch = AddSwatch(dialog, {kMargin + kLabelWidth, kMargin, kFieldWidth, kFieldHeight}, StepColour(step),
                               GetString(kHoverTaskColourDialog));
  dialog.items[size_t(swatch)].id = kColourStepColour;
  AddOkCancel(dialog);
  return dialog;
}

Rgb16 ReadColourStepDialog(const Dialog& dialog) {
  const int index = FindDialogItem(dialog, kColourStepColour);
  return index >= 0 ? dialog.items[size_t(index)].colour : Rgb16{};
}

bool RunStepDialog(int64_t offset, const TaskStep& step) {
  switch (StepEditKindOf(step)) {
    case StepEditKind::Brush: return RunBrushStepDialog(offset, step);
    case StepEditKind::Amount: {
      Dialog dialog = MakeAmountStepDialog(step);
      if (RunDialog(dialog).role == ButtonRole::Cancel) return false;
      const std::array<int, 2> amounts = ReadAmountStepDialog(dialog, step);
      return EditAmountStep(offset, amounts[0], amounts[1]);
    }
    case StepEditKind::Colour: {
      Dialog dialog = MakeColourStepDialog(step);
      if (RunDialog(dialog).role == ButtonRole::Cancel) return false;
      return EditColourStep(offset, ReadColourStepDialog(dialog));
    }
    case StepEditKind::None: break;
  }
  return false;
}

}  // namespace tsv
