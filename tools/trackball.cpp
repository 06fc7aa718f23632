// trackball.cpp: Rotate session and the trackball rotation step.
#include "tools/trackball.h"

#include <algorithm>
#include <cmath>

#include "platform/events.h"
#include "platform/relative_drag.h"
#include "render/work_data.h"
#include "scene/task_steps.h"
#include "scene/vec3.h"
#include "tools/deform_run.h"
#include "tools/tool_frame.h"
#include "tools/tool_state.h"

namespace tsv {

namespace {

using Matrix = std::array<double, 9>;  // row-major

constexpr int kLargestMotion = 31999;

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix c{};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      c[size_t(row * 3 + column)] = a[size_t(row * 3)] * b[size_t(column)] +
                                    a[size_t(row * 3 + 1)] * b[size_t(3 + column)] +
                                    a[size_t(row * 3 + 2)] * b[size_t(6 + column)];
    }
  }
  return c;
}

// Every point's view position = m x its starting position (kept in deformHigh).
void TurnFromStart(const DeformRun& run, const Rotation3& m) {
  for (size_t i = 0; i < run.count; ++i) run.SetViewPosition(i, Rotate(m, run.high[i]));
}

}  // namespace

std::array<float, 3> AnglesOfRotation(const Matrix& r) {
  // R = Rz(gamma) Rx(alpha) Ry(beta): r[7] = sin alpha, r[6] = -cos alpha sin beta,
  // r[8] = cos alpha cos beta, r[1] = -cos alpha sin gamma, r[4] = cos alpha cos gamma.
  const double alpha = std::asin(std::clamp(r[7], -1.0, 1.0));
  double beta = 0, gamma = 0;
  if (std::cos(alpha) > 1e-6) {
    beta = std::atan2(-r[6], r[8]);
    gamma = std::atan2(-r[1], r[4]);
  } else {
    // Looking straight along the vertical axis, beta and gamma turn about the same axis: put
    // the whole turn into gamma (with beta = 0, r[0] = cos gamma and r[3] = sin gamma).
    gamma = std::atan2(r[3], r[0]);
  }
  return {float(alpha), float(beta), float(gamma)};
}

void TrackballRotate(const std::array<float, 9>& rotation, std::array<float, 3>& angles, int dx,
                     int dy) {
  Matrix m;
  std::copy(rotation.begin(), rotation.end(), m.begin());
  const double d = std::sqrt(double(dx) * dx + double(dy) * dy);
  if (d > 0) {
    // Rodrigues: Q = cos(phi) I + sin(phi) [u]x + (1 - cos(phi)) u u^T about u = (dy, dx, 0) / d.
    const double phi = 0.01 * d;
    const double ux = dy / d, uy = dx / d;
    const double c = std::cos(phi), s = std::sin(phi), v = 1.0 - c;
    const Matrix q{c + v * ux * ux, v * ux * uy,     s * uy,
                   v * ux * uy,     c + v * uy * uy, -s * ux,
                   -s * uy,         s * ux,          c};
    m = Multiply(q, m);
  }
  angles = AnglesOfRotation(m);
}

void RotateSession(SceneObject* object, SceneObject* undo, int16_t dx, int16_t dy) {
  DeformRun run;
  if (!StartDeformRun(object, undo, run)) {
    WaitForMouseRelease();
    return;
  }
  for (size_t i = 0; i < run.count; ++i) run.high[i] = run.ViewPosition(i);
  constexpr std::array<float, 9> kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1};
  std::array<float, 3> angles{0, 0, 0};

  if (dx != kAmountInteractive) {
    TrackballRotate(kIdentity, angles, dx, dy);
    TurnFromStart(run, ViewRotationMatrix(angles));
    RedrawAfterEdit(object, undo);
    return;
  }

  BeginRelativeDrag();
  RecordTaskStep(TaskStepCode("RO"), 0, 0);
  while (DragButtonDown()) {
    PumpEvents(kDragWaitMs);
    int moveX = 0, moveY = 0;
    ReadDragPointer(moveX, moveY);
    if (toolState.axisLock & kLockVerticalAxis) moveX = 0;
    if (toolState.axisLock & kLockHorizontalAxis) moveY = 0;
    if (moveX == 0 && moveY == 0) continue;
    // A step records what it turned by, so a replay of the steps turns the same way; a motion
    // must never read as the interactive marker there.
    moveX = std::clamp(moveX, -kLargestMotion, kLargestMotion);
    moveY = std::clamp(moveY, -kLargestMotion, kLargestMotion);
    RecordTaskStep(TaskStepCode("RX"), int16_t(moveX), int16_t(moveY));
    TrackballRotate(ViewRotationMatrix(angles), angles, moveX, moveY);
    RecentreCursor();
    TurnFromStart(run, ViewRotationMatrix(angles));
    RedrawAfterEdit(object, undo);
  }
  EndRelativeDrag();
}

}  // namespace tsv
