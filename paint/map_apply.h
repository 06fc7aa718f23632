// map_apply.h: "Map apply": a relief raised on the current object from the grey map of
// paint_state.h. Every point is pushed out or in by the map's grey value where the point falls on
// the map, laid on flat (along the view's depth), cylindrically (about the view's vertical axis)
// or spherically (from the view's centre), weighted by the point's mask. Like the deformation
// tools it either follows a horizontal drag from the neutral middle or applies a given amount
// once; the caller commits.
#pragma once

#include <cstdint>

#include "platform/string_id.h"
#include "scene/task_steps.h"
#include "scene/types.h"

namespace tsv {

struct SceneObject;
struct GreyMap;

inline constexpr uint16_t kStepMapApply = TaskStepCode("MA");
// Amounts run 0..256; this one leaves the object as it is.
inline constexpr int16_t kMapApplyNeutral = 128;

// The name of an MA step of `kind` in the task list: "Map apply: Flat", "Map apply: Cylindric" or
// "Map apply: Spheric"; "Map apply" for any other kind.
StringId MapApplyName(int kind);

// The grey value a map byte stands for under the brightness and contrast settings: g = byte +
// brightness - 128; from 128 up, min (g, 255) pulled toward white by 255 - ((255 - g) c >> 8),
// below it max (g, 0) pulled toward black by g c >> 8, with c = 256 - contrast. Settings outside
// 0..256 count as the nearer end, so the value stays within 0..255. With brightness 128 and
// contrast 0 it is the byte itself; contrast 256 leaves 0 below middle grey and 255 from it up.
int MapGrey(uint8_t byte, int brightness, int contrast);

// The extents of the view positions the map is laid over.
struct MapFrame {
  float xmin = 0, xmax = 0, ymin = 0, ymax = 0;
};

// Where view position `p` falls on a map of `width` x `height` for `kind`: the column and row,
// truncated toward zero and always within the map. Flat spreads the frame's x and y over the
// columns and rows (its top row at ymax). Cylindric takes the row as flat does and the column
// from the angle around the vertical axis, the middle column facing the viewer; spheric takes
// the row from the angle above or below the centre (the top row straight up). A point on the
// vertical axis (or at the centre) reads the middle column (and, at the centre, the middle row).
// A frame without extent across or up puts every point into the first column or row.
struct MapCell {
  int column = 0, row = 0;
};
MapCell MapCellOf(int kind, const Vec3f& p, const MapFrame& frame, int width, int height);

// kind kAmountInteractive: follows a horizontal drag with paintState.mappingKind, starting at
// 128, one unit per pixel, kept within 0..256, redrawing on every motion, and records MA (kind,
// amount) on the release. Kind 0, 1 or 2: applies `amount` (kept within 0..256) once. Returns
// true when the view positions were set. Without an object bound to the work arrays, without a
// map, with an unknown kind, or when the view positions have no extent across or up (or no
// finite one), nothing changes and nothing is recorded: the call only waits for the release.
// Every pass works from the shape the call started with, so coming back to 128 restores it
// exactly. The caller commits (CommitObjectChange).
[[nodiscard]] bool MapApply(SceneObject* object, SceneObject* undo, int16_t kind, int16_t amount);

// MapApply followed by the commit into `undo`, as the paint panel and the task replay run it;
// nothing is committed when MapApply changed nothing.
[[nodiscard]] bool RunMapApply(SceneObject* object, SceneObject* undo, int16_t kind, int16_t amount);

}  // namespace tsv
