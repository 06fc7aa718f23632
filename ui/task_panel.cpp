// task_panel.cpp: the task panel's items over the task recorder, and the keyboard focus of its
// list.
#include "ui/task_panel.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/events.h"
#include "platform/fonts.h"
#include "tasks/task_recorder.h"
#include "tasks/task_replay.h"
#include "ui/layout_ids.h"
#include "ui/panels.h"
#include "ui/rooms.h"
#include "ui/step_dialog.h"
#include "ui/loop_result.h"
#include "ui/widgets.h"

namespace tsv {

namespace {


void TakeListFocus(bool focus) {
  ui.taskListFocus = focus;
  ui.taskFocusRoom = ui.currentRoom;
}

bool IsListControl(int item) {
  using namespace layout::Tasks;
  return item == kList || item == kCursorUp || item == kCursorDown;
}

// The selected step in the dialog that fits it; a step with nothing to change opens nothing.
void EditStepAtCursor() {
  TaskStep step;
  const int64_t offset = taskRecorder.taskCursor;
  if (ReadTaskStepAt(offset, step) != kNoError) return;
  (void)RunStepDialog(offset, step);  // OK rewrote the list and refreshed what the panel shows
}

}  // namespace

bool TaskListHasFocus() {
  if (ui.taskListFocus && ui.taskFocusRoom != ui.currentRoom) ui.taskListFocus = false;
  return ui.taskListFocus;
}

bool TaskItemEnabled(int item) {
  using namespace layout::Tasks;
  const int32_t count = ShownStepCount();
  const bool hasSteps = count > 0;
  const bool idle = taskRecorder.taskState == kTaskIdle;
  switch (item) {
    case kList:
    case kRecord:
    case kNew:
    case kOpen:
    case kStrength: return true;
    case kPause: return !idle;
    case kPlay:
    case kStep:
    case kFromCursor: return idle && hasSteps;
    case kToCursor: return idle && CursorLine() > 0;
    case kSave: return hasSteps;
    // While recording, the list shows the recording where it will go: it is not edited then.
    case kDelete: return idle && hasSteps;
    case kCursorUp: return idle && CursorLine() > 0;
    case kCursorDown: return idle && CursorLine() < count - 1;
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
  TakeListFocus(IsListControl(item));
  switch (item) {
    case kRecord: SetRecording(taskRecorder.taskState == kTaskIdle ? kRecordStart : kRecordStop); break;
    case kPause: SetRecording(kRecordPauseResume); break;
    case kPlay: RunAllSteps(); break;
    case kStep: RunStep(); break;
    case kFromCursor: RunFromCursor(); break;
    case kToCursor: RunToCursor(); break;
    case kCursorUp: CursorUp(); break;
    case kCursorDown: CursorDown(); break;
    case kNew: NewTaskList(); break;
    case kOpen: (void)OpenTaskFile(); break;  // a failure has been shown
    case kSave: (void)SaveTaskFile(); break;
    case kDelete: DeleteStep(); break;
    default: return 0;
  }
  return kLoopRedrawViewFull;
}

void DrawTaskList(Canvas& canvas, Rect rect, bool enabled) {
  SetVisibleLineCount(ListVisibleRows(rect));
  const std::vector<TaskListLine>& lines = VisibleTaskLines();
  std::vector<std::string> rows;
  ListLook look;
  look.control.enabled = enabled;
  look.control.focused = TaskListHasFocus();
  for (size_t i = 0; i < lines.size(); ++i) {
    rows.push_back(lines[i].text);
    if (lines[i].selected) look.selected = int(i);
  }
  DrawListBox(canvas, rect, rows, look);
  // Colour steps show their colour as a stripe in the margin before the text.
  const Rect inner = InsetRect(rect, 1);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].swatch) continue;
    const int top = inner.top + int(i) * ListRowHeight();
    if (top + ListRowHeight() > inner.top + inner.height) break;
    const Rgb16& c = *lines[i].swatch;
    const Rect stripe{inner.left, top + 1, ScaledPixels(3), ListRowHeight() - 2};
    FillRect(canvas, stripe, Rgb(uint8_t(c.red >> 8), uint8_t(c.green >> 8), uint8_t(c.blue >> 8)));
  }
}

int TaskListPress(Rect rect, int x, int y) {
  TakeListFocus(true);
  if (RecordingTasks()) return kLoopRedrawViewFull;  // the recording goes in where it started
  const int rowCount = int(VisibleTaskLines().size());
  const int row = ListRowAt(rect, rowCount, 0, x, y);
  if (row < 0) return kLoopRedrawViewFull;  // the focus shows
  const int target = taskRecorder.firstVisibleLine + row;
  if (target == CursorLine()) {
    EditStepAtCursor();  // a second click on the selected step
  } else {
    SetCursorLine(target);
  }
  return kLoopRedrawViewFull;
}

int TaskPanelKey(uint32_t key) {
  if ((key != kCharUp && key != kCharDown) || !TaskListHasFocus()) return -1;
  if (RecordingTasks()) return kLoopContinue;
  if (key == kCharUp) {
    CursorUp();
  } else {
    CursorDown();
  }
  return kLoopRedrawViewFull;
}

void NoteTaskPanelPress(uint16_t partCode) {
  TakeListFocus((partCode >> 8) == layout::Tasks::kPanel && IsListControl(partCode & 0xFF));
}

}  // namespace tsv
