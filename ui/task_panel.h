// task_panel.h: the task panel: recording, pausing, the list of steps with its cursor, replaying
// all of it or one step, new, open, save, deleting a step, and the replay strength.
#pragma once

#include "platform/canvas.h"

namespace tsv {

[[nodiscard]] bool TaskItemEnabled(int item);
[[nodiscard]] bool TaskItemChecked(int item);
int TaskItemValue(int item);  // the strength slider: 0..256
void SetTaskItemValue(int item, int value);
int TaskItemClick(int item);
// The list: drawn from the recorder's visible lines; a press selects the step under the pointer.
void DrawTaskList(Canvas& canvas, Rect rect, bool enabled);
int TaskListPress(Rect rect, int x, int y);

}  // namespace tsv
