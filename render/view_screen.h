// view_screen.h: where the modeling view and its thumbnail stand on the screen, and how large. The
// view keeps its 400-unit coordinates for everything that works in it (tools, brushes, files,
// task steps); the interface scale only changes the size at which its picture is shown, and this
// is the one place that maps between the two.
#pragma once

#include <cstdint>
#include <span>

#include "platform/canvas.h"
#include "scene/scene_object.h"

namespace tsv {

struct ViewScreen {
  Rect view{0, 0, 400, 400};       // the 400 x 400 view on the screen
  Rect thumbnail{0, 0, 100, 100};  // the 100 x 100 thumbnail on the screen
};

// A square picture (rows top-down) drawn into `where` on the target: copied as it is at its own
// size, otherwise scaled smoothly (each screen pixel blends the four nearest picture pixels).
void DrawScaledPicture(Canvas& target, std::span<const uint32_t> picture, int side, Rect where);

// The view's picture and the thumbnail at their places.
void DrawViewPicture(Canvas& target, const ViewScreen& screen, std::span<const uint32_t> picture);
void DrawThumbnailPicture(Canvas& target, const ViewScreen& screen, std::span<const uint32_t> picture);

// A screen point in view units (0..399 inside the view; outside, beyond that range).
void ScreenToView(const ViewScreen& screen, int x, int y, int& viewX, int& viewY);
// A length in view units as screen pixels.
float ViewUnitsToScreen(const ViewScreen& screen, float units);

// The zoom and centre at which `view` shows the object's points filling the 400-unit view (their
// extent across 90 % of it, their middle at the view's middle), the zoom held within
// minZoom..maxZoom. False, and the view unchanged, for an object without finite points.
[[nodiscard]] bool FrameObjectInView(const SceneObject& object, ObjectView& view, float minZoom, float maxZoom);

}  // namespace tsv
