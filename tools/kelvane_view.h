// kelvane_view.h: the Kelvane view of the Quorvels room. The balls are drawn as shaded ellipsoids
// at the size their own surface has, the selected one in the highlight colour with its rings and
// axis over the picture; with the preview shown, the preview mesh is drawn instead and every
// ball's rings lie over it. Also the ball under a point of the view, and the mouse edits of a ball
// (moving it in the view plane, scaling it, turning its axis) and of the view itself.
#pragma once

#include "render/soft_draw.h"
#include "tools/quorvels.h"

namespace tsv {

// The size the view shows a ball at, as a factor of r1: where its own field alone meets the
// threshold, sqrt((|w| - T/9) / (|w| + T)), within 0.25..1 (a ball too weak to make a surface on
// its own still shows).
float BallDisplayFactor(const Ball& ball, float threshold);

// The view into renderState.viewPicture (400 x 400, 0x00RRGGBB, top row first) through SoftDraw
// with `options` (no thumbnail), the overlay drawn over it. Without balls the picture is the
// background. False when the renderer is not started or memory runs out (nothing is drawn then).
[[nodiscard]] bool DrawKelvaneView(const SoftDrawOptions& options);
// Frees the drawing's arrays (the room was left).
void ForgetKelvaneDrawing();

// The ball whose shown ellipsoid lies nearest the viewer under view point (x, y) (400 units, top
// row 0), or -1.
int KelvaneBallAt(int x, int y);

// Mouse edits by a pointer motion of (dx, dy) view units (y down). Each keeps the ball's other
// values; a ball index out of range does nothing.
// The ball follows the pointer in the view plane.
void MoveBallInView(int ball, int dx, int dy);
// Up or right grows the ball (r1), down or left shrinks it: a factor 2 per 100 units, r1 kept
// within 1..10000.
void ScaleBallInView(int ball, int dx, int dy);
// The axis turns as a trackball would turn it: right about the view's vertical, down about its
// horizontal, half a turn per 200 units.
void TurnBallAxisInView(int ball, int dx, int dy);
// The Kelvane view itself turns the same way.
void TurnKelvaneView(int dx, int dy);

}  // namespace tsv
