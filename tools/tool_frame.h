// tool_frame.h: what every deformation tool shares: the interactive-amount marker, waiting for the
// release, the amount readout, the redraw after each pass of a drag, and the commit that makes a
// change final and undoable. The tools themselves are in deform_tools.h and trackball.h.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/events.h"
#include "platform/relative_drag.h"
#include "tools/tool_state.h"

namespace tsv {

struct SceneObject;

// The amount that makes a tool follow the mouse instead of applying a given amount once.
inline constexpr int16_t kAmountInteractive = -32000;

// How long a drag waits for input when nothing is moving (milliseconds).
inline constexpr int kDragWaitMs = 10;

// Pumps input until the primary button is up (at once when it is up already).
void WaitForMouseRelease();

// Draws the 45 x 30 readout box (0x222222) at toolState.readoutRect into the window's frame
// buffer with `value1` on its first line and, when it is above -32000, `value2` 15 pixels lower.
// value1 = -32000 only clears the box. The values are kept in toolState.
void ShowAmountReadout(int value1, int value2);

// Hands the frame to the screen through toolState.present, when it is set.
void PresentToolFrame();

// After a pass has moved the view positions: marks the normals dirty, derives the object-space
// positions, screen positions, normals and shades (with the light of the draw options) from the
// view positions, draws the view with the quick four-to-one outline (when the renderer has been
// started; it reuses the refresh's projection and shades) and presents it.
void RedrawAfterEdit(SceneObject* object, SceneObject* undo);

// How an amount follows a drag: one unit per pixel of horizontal motion from `start`, kept
// within minimum..maximum.
struct AmountDrag {
  int minimum = 0, maximum = 256, start = 128;
  bool twoAxis = false;     // the vertical motion drives a second amount the same way
  bool continuous = false;  // a pass on every round of events, moving or not
  bool leftRaises = false;  // a motion to the left raises the amount
};

// The drag of a tool with amounts, until the release: on every motion the cursor is recentred,
// the readout shows readout(a) (and readout(b) for two axes), pass(a, b) moves the view positions
// and RedrawAfterEdit shows them. On the release record(a, b) runs with the last amounts, then
// the readout is cleared.
template <class Readout, class Pass, class Record>
void FollowAmountDrag(const AmountDrag& drag, SceneObject* object, SceneObject* undo,
                      Readout readout, Pass pass, Record record) {
  BeginRelativeDrag();
  ShowAmountReadout(0, drag.twoAxis ? 0 : kNoReadoutValue);
  PresentToolFrame();
  int a = drag.start, b = drag.start;
  do {
    PumpEvents(drag.continuous ? 0 : kDragWaitMs);
    int dx = 0, dy = 0;
    ReadDragPointer(dx, dy);
    if (dx == 0 && dy == 0 && !drag.continuous) continue;
    a = std::clamp(a + (drag.leftRaises ? -dx : dx), drag.minimum, drag.maximum);
    if (drag.twoAxis) b = std::clamp(b + dy, drag.minimum, drag.maximum);
    RecentreCursor();
    ShowAmountReadout(readout(a), drag.twoAxis ? readout(b) : kNoReadoutValue);
    pass(a, b);
    RedrawAfterEdit(object, undo);
  } while (DragButtonDown());
  record(a, b);
  EndRelativeDrag();
  ShowAmountReadout(kNoReadoutValue, kNoReadoutValue);
  PresentToolFrame();
}

// Makes the edit final and undoable, point by point: the undo object takes the committed mask,
// paint, positions and texture coordinates (its previous coordinates take its committed ones),
// and the object's committed state takes the edited one (the work records' object-space
// positions, the live mask, paint and coordinates). The material and texture mapping shift
// through toolState's two snapshots, and the object is marked as changed. The new state joins
// the object's undo history (scene/history.h). Nothing happens for a null object or undo object,
// an object not bound to the work arrays, or arrays too small for the object's points.
void CommitObjectChange(SceneObject* object, SceneObject* undo);

// Whether the object's work records hold anything its committed state does not: a position, a
// mask value or a paint colour. False for an object not bound to work records. A drag that ends
// where it started changes nothing and is not committed (its step is still recorded, so that a
// recorded list replays the same drags).
[[nodiscard]] bool WorkDiffersFromCommitted(const SceneObject& object);

}  // namespace tsv
