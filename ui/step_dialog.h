// step_dialog.h: the "Step: " dialogs that change a recorded step in the task list: a tool's
// amount (or Stretch's two), shown and entered as the tool's readout shows it, and the colour of a
// colour or paint step. RunStepDialog opens the one that fits a step; brush strokes have their own
// dialog (brush_step_dialog.h).
#pragma once

#include <array>
#include <cstdint>

#include "tasks/task_record.h"
#include "ui/dialog.h"

namespace tsv {

enum StepDialogItemId : int {
  kAmountStepFirst = 1,
  kAmountStepSecond,  // Stretch's vertical amount
  kColourStepColour,
};

// The amount dialog of a tool step ("Step: Twist"): one readout field, two for Stretch.
Dialog MakeAmountStepDialog(const TaskStep& step);
// The recorded amounts the dialog's readouts ask for. A readout left as it was keeps its recorded
// amount exactly (the readout shows it rounded); a changed one becomes the amount nearest the
// tool's neutral value that shows it, within the tool's range.
std::array<int, 2> ReadAmountStepDialog(const Dialog& dialog, const TaskStep& step);

// The colour dialog of a colour or paint step ("Step: Diffuse color"): the colour as a swatch
// that opens the colour chooser.
Dialog MakeColourStepDialog(const TaskStep& step);
Rgb16 ReadColourStepDialog(const Dialog& dialog);

// The dialog that fits the step `step` found at byte `offset` of the task list (a stroke's, an
// amount's or a colour's); OK rewrites the step through the recorder. True when the step was
// changed; false when cancelled or when the step has nothing to change.
[[nodiscard]] bool RunStepDialog(int64_t offset, const TaskStep& step);

}  // namespace tsv
