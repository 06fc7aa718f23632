// shape_dialog.h: the standard shape dialog of "New synthetic...": the shape, its "Divisions" x and
// y, "Base Divisions" and "Fatness". OK hands back the settings forced into the ranges the chosen
// shape accepts; the fields a shape does not use are greyed.
#pragma once

#include "mesh/synthetic_shapes.h"
#include "ui/dialog.h"

namespace tsv {

// The ids of the dialog's items (DialogItem::id).
enum ShapeDialogItemId : int {
  kShapeItemChoice = 1,
  kShapeItemDivisionsX,
  kShapeItemDivisionsY,
  kShapeItemBaseDivisions,
  kShapeItemFatness,
};

// The dialog showing `settings` (an unknown shape shows as the sphere).
Dialog MakeShapeDialog(const SyntheticShapeSettings& settings);
// The dialog's values over `settings`, then the dialog's and the shape's ranges
// (ClampShapeDialogSettings).
void ReadShapeDialog(const Dialog& dialog, SyntheticShapeSettings& settings);
// Runs the dialog over the main window. True when closed with OK: `settings` then holds the chosen
// shape and its clamped values, ready for NewSyntheticObject; after Cancel it is unchanged.
[[nodiscard]] bool RunShapeDialog(SyntheticShapeSettings& settings);

}  // namespace tsv
