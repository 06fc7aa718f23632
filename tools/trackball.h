// trackball.h: "Rotate session", the trackball that turns the object in view space by mouse
// motion, and the rotation step it is built from.
#pragma once

#include <array>
#include <cstdint>

namespace tsv {

struct SceneObject;

// Turns `rotation` (row-major, as ViewRotationMatrix gives it) by a mouse motion and stores the
// result as view angles into `angles`. The turn is 0.01 radian per pixel of motion about the
// view-space axis (dy, dx, 0) / |(dx, dy)|: moving right carries the front of the object to the
// right, moving down carries it down. No motion leaves `rotation` as it is.
void TrackballRotate(const std::array<float, 9>& rotation, std::array<float, 3>& angles, int dx,
                     int dy);

// The three view angles of a rotation: the inverse of ViewRotationMatrix. When the rotation
// turns the view axis straight up or down, the second angle is taken as 0.
std::array<float, 3> AnglesOfRotation(const std::array<double, 9>& rotation);

// With dx = kAmountInteractive: records "RO", then turns the object with every motion of the
// drag (toolState.axisLock drops horizontal and/or vertical motion), recording each motion as an
// "RX" step, until the button is released. Otherwise applies the one recorded motion (dx, dy) to
// the object's current view positions. No readout.
void RotateSession(SceneObject* object, SceneObject* undo, int16_t dx, int16_t dy);

}  // namespace tsv
