// task_panel.cpp: the task panel's items over the task recorder.
#include "ui/task_panel.h"

#include <algorithm>
#include <string>
#include <vector>

#include "tasks/task_recorder.h"
#include "tasks/task_replay.h"
#include "ui/brush_step_dialog.h"
#include "ui/layout_ids.h"
#include "ui/widgets.h"

namespace tsv {
namespace {

constexpr int kRedraw = 4;

}  // namespace

bool TaskItemEnabled(int item) {
  using namespace layout::Tasks;
  const bool hasSteps = CountSteps() > 0;
  const bool idle = taskRecorder.taskState == kTaskIdle;
  switch (item) {
    case kList:
    case kRecord:
    case kNew:
    case kOpen:
    case kStrength: return true;
    case kPause: return !idle;
    case kPlay:
    case kStep: return idle && hasSteps;
    case kSave:
    case kDelete: return hasSteps;
    default: return false;
  }
}

bool TaskItemChecked(int item) {
  using namespace layout::Tasks;
  if (item == kRecord) return taskRecorder.taskState != kTaskIdle;
  if (item == kPause) return taskRecorder.taskState == kTaskPaused;
  return false;
}

int TaskItemValue(int item) {
  return item == layout::Tasks::kStrength ? std::clamp<int>(taskRecorder.replayStrength, 0, kReplayStrengthMax) : 0;
}

void SetTaskItemValue(int item, int value) {
  if (item == layout::Tasks::kStrength) taskRecorder.replayStrength = int16_t(std::clamp(value, 0, int(kReplayStrengthMax)));
}

int TaskItemClick(int item) {
  using namespace layout::Tasks;
  switch (item) {
    case kRecord: SetRecording(taskRecorder.taskState == kTaskIdle ? kRecordStart : kRecordStop); break;
    case kPause: SetRecording(kRecordPauseResume); break;
    case kPlay: RunAllSteps(); break;
    case kStep: RunStep(); break;
    case kNew: NewTaskList(); break;
    case kOpen: (void)OpenTaskFile(); break;  // a failure has been shown
    case kSave: (void)SaveTaskFile(); break;
    case kDelete: DeleteStep(); break;
    default: return 0;
  }
  return kRedraw;
}

void DrawTaskList(Canvas& canvas, Rect rect, bool enabled) {
  taskRecorder.visibleLineCount = std::max(1, ListVisibleRows(rect));
  const std::vector<TaskListLine> lines = VisibleTaskLines();
  std::vector<std::string> rows;
  ListLook look;
  look.control.enabled = enabled;
  for (size_t i = 0; i < lines.size(); ++i) {
    rows.push_back(lines[i].text);
    if (lines[i].selected) look.selected = int(i);
  }
  DrawListBox(canvas, rect, rows, look);
  // Colour steps show their colour as a stripe in the margin before the text.
  const Rect inner = InsetRect(rect, 1);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].swatch) continue;
    const int top = inner.top + int(i) * kListRowHeight;
    if (top + kListRowHeight > inner.top + inner.height) break;
    const Rgb16& c = *lines[i].swatch;
    const Rect stripe{inner.left, top + 1, 3, kListRowHeight - 2};
    FillRect(canvas, stripe, Rgb(uint8_t(c.red >> 8), uint8_t(c.green >> 8), uint8_t(c.blue >> 8)));
  }
}

int TaskListPress(Rect rect, int x, int y) {
  const int rowCount = int(VisibleTaskLines().size());
  const int row = ListRowAt(rect, rowCount, 0, x, y);
  if (row < 0) return 0;
  const int target = taskRecorder.firstVisibleLine + row;
  if (target == CursorLine()) {
    // A second click on the selected step: a brush stroke opens for editing.
    std::vector<TaskStep> steps;
    const int64_t index = taskRecorder.taskCursor / kTaskStepSize;
    if (ReadTaskSteps(steps) == kNoError && index >= 0 && index < int64_t(steps.size()) &&
        steps[size_t(index)].code == kStepStrokeFirst) {
      (void)RunBrushStepDialog(taskRecorder.taskCursor, steps[size_t(index)]);
    }
    return kRedraw;
  }
  SetCursorLine(target);
  return kRedraw;
}

}  // namespace tsv
