// task_panel.h: the task panel: recording, pausing, the list of steps with its cursor (moved by
// clicks, the arrows beside it, and Up and Down while the list has the keyboard focus),
// replaying all of it, from or up to the cursor, or one step, new, open, save, deleting a step,
// changing the selected step in its dialog, and the replay strength.
#pragma once

#include <cstdint>

#include "platform/canvas.h"

namespace tsv {

[[nodiscard]] bool TaskItemEnabled(int item);
[[nodiscard]] bool TaskItemChecked(int item);
int TaskItemValue(int item);  // the strength slider: 0..256
void SetTaskItemValue(int item, int value);
int TaskItemClick(int item);
// The list: drawn from what the recorder shows (its lines are worked out when the list or the
// cursor changes, not here); a press gives the list the focus and selects the step under the
// pointer, and a press on the selected step opens the dialog that changes it.
void DrawTaskList(Canvas& canvas, Rect rect, bool enabled);
int TaskListPress(Rect rect, int x, int y);

// The main loop hands every key here before its own: while the list has the focus, Up and Down
// (kCharUp, kCharDown) move the cursor and the result is 4 (redraw); -1 when the key is not
// taken.
int TaskPanelKey(uint32_t key);
// The main loop reports every press here before dispatching it: a press on the list or its
// arrows gives the list the focus, a press anywhere else takes it away.
void NoteTaskPanelPress(uint16_t partCode);
// Whether the list has the focus now (never after a room change).
[[nodiscard]] bool TaskListHasFocus();

}  // namespace tsv
