// brush_step_dialog.h: changing a recorded brush stroke: its kind, paint colour, tip shape, side,
// and its pressure, size and spacing.
#pragma once

#include "tasks/task_record.h"
#include "tasks/task_recorder.h"
#include "ui/dialog.h"

namespace tsv {

enum BrushStepItemId : int {
  kBrushStepKind = 1,
  kBrushStepSide,
  kBrushStepShape,
  kBrushStepPressure,
  kBrushStepSize,
  kBrushStepSpacing,
  kBrushStepColour,
};

// The dialog showing the stroke `step` (a BR record).
Dialog MakeBrushStepDialog(const TaskStep& step);
// The edit the dialog's values ask for.
BrushStepEdit ReadBrushStepDialog(const Dialog& dialog);
// The dialog over the BR step at `offset` of the task list; OK rewrites the stroke. True when
// the stroke was changed.
[[nodiscard]] bool RunBrushStepDialog(int64_t offset, const TaskStep& step);

}  // namespace tsv
