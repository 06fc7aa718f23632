// object_commands.h: the object panel's mesh commands: Duplicate (Ctrl+D), Mirror with its axis
// pop-up (and Ctrl+Z right after taking it back), Merge with its wait for the second object, Make
// synthetic, and Derivative with its dialog.
#pragma once

#include <cstdint>

#include "mesh/mesh_density.h"
#include "platform/canvas.h"
#include "ui/dialog.h"

namespace tsv {

// Item ids of the derivation dialog.
enum DerivativeItem : int {
  kDeriveJoin = 1,
  kDeriveNormals,
  kDeriveSimplify,
  kDeriveQuad,
  kDeriveAdaptive,
  kDeriveProtectEdges,
  kDeriveTurnX,
  kDeriveTurnY,
  kDeriveTurnZ,
  kDeriveInvert,
};

int DuplicateCurrentObject();
// The axis pop-up under `item` (the axis setting's axis marked), then the mirror of the current
// object, which is bound to the work arrays again.
int MirrorCurrentObject(Rect item);
// Ctrl+Z (and Ctrl+Shift+Z) right after a mirror of the current object; false when there is none
// to take back.
[[nodiscard]] bool TakeBackCurrentMirror();

// Merge: the current object waits for its partner; the four lines of the prompt show over the
// view until the next press.
int StartMerge();
[[nodiscard]] bool MergeWaiting();
// The press while a merge waits: a row of another object in the object list, or an object chosen
// from the strip's pop-up list, is merged with the waiting one into a new current object; any
// other press only ends the wait.
int MergeWithPressed(uint16_t partCode);
void CancelMerge();
void DrawMergePrompt(Canvas& canvas);

int MakeCurrentSynthetic();

// The derivation dialog over the steps and the borders switch, and reading it back.
Dialog MakeDerivativeDialog(const DerivationSteps& steps, bool protectEdges);
void ReadDerivativeDialog(const Dialog& dialog, DerivationSteps& steps, bool& protectEdges);
// The dialog, then a new object derived from the current one.
int DeriveFromDialog();

}  // namespace tsv
