// deform_tools.h: the whole-object deformation tools. Each moves every point of the current object
// in view space (x across the view, y up the view, z toward the viewer), weighted by the point's
// mask (255 = fully, 0 = not at all; "To undo" ignores the mask). With an amount of
// kAmountInteractive a tool follows a horizontal drag (one unit per pixel, Stretch also vertical)
// until the button is released, redrawing as it goes, and records its step; with any other amount
// it applies that amount once (task replay, batch). Every pass is computed afresh from the shape
// the tool started from, so dragging back undoes exactly what dragging on did. The caller commits
// (CommitObjectChange) when the tool returns. The trackball is in trackball.h.
#pragma once

#include <cstdint>

namespace tsv {

struct SceneObject;

void DeformScale(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformSpikes(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformWaves(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformTsunami(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformNoise(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformSmooth(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformBottle(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformBend(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformTwist(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformTwirl(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformBelly(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformButton(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformBank(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformFlatten(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformEqualize(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformShear(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformRadialShear(SceneObject* object, SceneObject* undo, int16_t amount);
// Blends the object between its committed state (0) and the undo object's (256): positions,
// paint when the object is painted, texture coordinates when it is not organic.
void DeformToUndo(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformTaper(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformBulge(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformToCenter(SceneObject* object, SceneObject* undo, int16_t amount);
void DeformContrast(SceneObject* object, SceneObject* undo, int16_t amount);
// Horizontal motion drives amountX, vertical motion (downward raises it) amountY; interactive
// when amountX is kAmountInteractive.
void DeformStretch(SceneObject* object, SceneObject* undo, int16_t amountX, int16_t amountY);

// The single-level undo (Ctrl+Z while tasks are recorded, so that the list can replay it): "To
// undo" at full amount on the current object with the work object as the undo copy, recorded as
// the step UN 256, then committed. The commit swaps the two states, so a second call redoes.
// Nothing without a current object bound to the work arrays.
void UndoRedo();

// Ctrl+Z and Ctrl+Shift+Z (or Ctrl+Y) otherwise: one step back or forward through the current
// object's history (scene/history.h). The undo copy and the material snapshots then hold the
// state before, as after a commit, so the first step back ends where UndoRedo would. Nothing is
// recorded: a task list replays commands, not the history. False when there is no such step.
[[nodiscard]] bool StepBackInHistory();
[[nodiscard]] bool StepForwardInHistory();

}  // namespace tsv
