// tool_frame.h: what every deformation tool shares: the interactive-amount marker, waiting for the
// release, the amount readout, the redraw after each pass of a drag, and the commit that makes a
// change final and undoable. The tools themselves are in deform_tools.h and trackball.h.
#pragma once

#include <cstdint>

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
// positions, screen positions, normals and shades from the view positions, draws the view with
// the quick four-to-one outline (when the renderer has been started) and presents it.
void RedrawAfterEdit(SceneObject* object, SceneObject* undo);

// Makes the edit final and undoable, point by point: the undo object takes the committed mask,
// paint, positions and texture coordinates (its previous coordinates take its committed ones),
// and the object's committed state takes the edited one (the work records' object-space
// positions, the live mask, paint and coordinates). The material and texture mapping shift
// through toolState's two snapshots, and the object is marked as changed. Nothing happens for a
// null object or undo object, an object not bound to the work arrays, or arrays too small for
// the object's points.
void CommitObjectChange(SceneObject* object, SceneObject* undo);

}  // namespace tsv
