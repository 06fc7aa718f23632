// kelvane_view.cpp: the Kelvane view: the balls (or the preview mesh) as one painted object drawn
// by SoftDraw, the rings and axis of balls over the picture, picking a ball under the pointer, and
// the mouse edits of balls and of the view.
#include "tools/kelvane_view.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

#include "platform/canvas.h"
#include "platform/preferences.h"
#include "render/render_state.h"
#include "render/work_data.h"
#include "scene/scene_object.h"

namespace tsv {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// The ellipsoid template: a unit sphere about the y axis (the ball's axis) in rings of latitude.
constexpr int kRings = 12;     // latitude bands from pole to pole
constexpr int kSegments = 24;  // points around each ring
constexpr int kTemplatePoints = 2 + (kRings - 1) * kSegments;
constexpr int kTemplateTriangles = 2 * kSegments * (kRings - 1);
// The points of a ring drawn over the picture.
constexpr int kRingSteps = 48;

constexpr Rgb8 kBallColour{170, 184, 208};
constexpr Rgb8 kCarvingColour{176, 76, 72};
constexpr Rgb8 kSelectedColour{238, 150, 52};
constexpr uint32_t kSelectedRing = Rgb(255, 154, 46);
constexpr uint32_t kBallRing = Rgb(64, 92, 140);
constexpr uint32_t kCarvingRing = Rgb(160, 40, 36);

// Point p of the template: the north pole, the rings from north to south, the south pole.
Vec3f TemplatePoint(int p) {
  if (p == 0) return {0, 1, 0};
  if (p == kTemplatePoints - 1) return {0, -1, 0};
  const int ring = (p - 1) / kSegments + 1, segment = (p - 1) % kSegments;
  const float theta = kPi * float(ring) / float(kRings), phi = 2.0f * kPi * float(segment) / float(kSegments);
  return {std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
}

// The template's triangles, each facing outward ((P1 - P0) x (P2 - P0) points away from the
// centre), with point indices offset by `first`.
template <typename Emit>
void TemplateTriangles(uint32_t first, Emit emit) {
  const auto at = [&](int ring, int segment) {  // ring 1..kRings-1
    return first + 1 + uint32_t((ring - 1) * kSegments + (segment % kSegments));
  };
  const uint32_t south = first + uint32_t(kTemplatePoints - 1);
  for (int s = 0; s < kSegments; ++s) {
    emit(Triangle{first, at(1, s + 1), at(1, s)});
    for (int r = 1; r < kRings - 1; ++r) {
      emit(Triangle{at(r, s), at(r, s + 1), at(r + 1, s)});
      emit(Triangle{at(r, s + 1), at(r + 1, s + 1), at(r + 1, s)});
    }
    emit(Triangle{at(kRings - 1, s), at(kRings - 1, s + 1), south});
  }
}

// A ball's frame as shown: its centre, its unit axis, two unit directions across it (right-handed
// with the axis: across1 x axis = across2) and the two radii, all in display units.
struct BallFrame {
  Vec3f centre, axis, across1, across2;
  float along = 0, acrossRadius = 0;
};

BallFrame FrameOf(const Ball& ball, float threshold) {
  BallFrame f;
  f.centre = ball.centre * kMetaballObjectScale;
  f.axis = Normalised(ball.axis);
  if (f.axis == Vec3f{}) f.axis = {0, 1, 0};
  // Across: the coordinate axis least along the ball's axis, made square to it.
  const Vec3f pick = std::fabs(f.axis.x) < 0.6f ? Vec3f{1, 0, 0} : Vec3f{0, 0, 1};
  f.across1 = Normalised(pick - f.axis * Dot(pick, f.axis));
  f.across2 = Cross(f.across1, f.axis);
  const float r1 = std::isfinite(ball.r1) && ball.r1 > 0 ? ball.r1 : 1.0f;
  const float r2 = std::isfinite(ball.r2) && ball.r2 > 0 ? ball.r2 : 1.0f;
  f.along = BallDisplayFactor(ball, threshold) * r1 * kMetaballObjectScale;
  f.acrossRadius = f.along * r2;
  return f;
}

Vec3f FramePoint(const BallFrame& f, const Vec3f& unit) {
  return f.centre + f.across1 * (unit.x * f.acrossRadius) + f.axis * (unit.y * f.along) +
         f.across2 * (unit.z * f.acrossRadius);
}

float Threshold() { return float(quorvelState.threshold); }

// The view as the projection takes it: the Kelvane angles, its centre, and the zoom of its z.
ObjectView KelvaneObjectView() {
  const KelvaneView& k = quorvelState.view;
  ObjectView view;
  view.angles = k.angles;
  view.centerX = k.centerX;
  view.centerY = k.centerY;
  view.zoom = KelvaneViewZoom(k.zoom);
  return view;
}

// The drawing object with room for `points` and `triangles`; false when memory runs out.
bool SizeDrawing(size_t points, size_t triangles) {
  KelvaneDrawing& d = quorvelState.drawing;
  if (!d.object) {
    d.object = std::make_unique<SceneObject>();
    InitSceneObjectDefaults(*d.object);
    d.object->topology = std::make_shared<Topology>();
    d.object->shadeRamp.assign(256, 0);
  }
  SceneObject& o = *d.object;
  o.points.resize(points);
  o.pointColors.resize(points);
  o.pointMask.assign(points, 255);
  o.pointUV.resize(points);
  Topology* topology = MutableTopology(o);
  if (topology == nullptr) return false;
  topology->triangles.resize(triangles);
  d.pointWork.resize(points);
  d.triangleWork.resize(triangles);
  o.pointCount = int32_t(points);
  o.triangleCount = int32_t(triangles);
  o.pointWork = &d.pointWork;
  o.triangleWork = &d.triangleWork;
  return true;
}

// Fills the drawing with the shown meshes: the preview (when it is on and has a surface) in the
// object colour of new objects, else every ball's ellipsoid.
bool BuildDrawing() {
  const QuorvelState& q = quorvelState;
  const bool preview = q.previewOn && !q.preview.triangles.empty();
  const size_t balls = q.balls.size();
  const size_t points = preview ? q.preview.points.size() : balls * kTemplatePoints;
  const size_t triangles = preview ? q.preview.triangles.size() : balls * kTemplateTriangles;
  if (!SizeDrawing(points, triangles)) return false;
  KelvaneDrawing& d = quorvelState.drawing;
  SceneObject& o = *d.object;
  Topology& topology = *MutableTopology(o);
  // Moved or reshaped balls keep the layout of their triangles; only another count lays it out.
  const bool laidOut = !preview && d.ballMeshes == balls;
  d.ballMeshes = SIZE_MAX;
  if (preview) {
    const Rgb16 c = preferences.defaultObjectColour;
    const Rgb8 colour{uint8_t(c.red >> 8), uint8_t(c.green >> 8), uint8_t(c.blue >> 8)};
    for (size_t p = 0; p < points; ++p) o.points[p] = q.preview.points[p] * kMetaballObjectScale;
    std::fill(o.pointColors.begin(), o.pointColors.end(), colour);
    std::copy(q.preview.triangles.begin(), q.preview.triangles.end(), topology.triangles.begin());
  } else {
    size_t t = 0;
    for (size_t b = 0; b < balls; ++b) {
      const Ball& ball = q.balls[b];
      const BallFrame f = FrameOf(ball, Threshold());
      const Rgb8 colour = int(b) == q.selected ? kSelectedColour : ball.strength < 0 ? kCarvingColour : kBallColour;
      const size_t first = b * kTemplatePoints;
      for (int p = 0; p < kTemplatePoints; ++p) {
        o.points[first + size_t(p)] = FramePoint(f, TemplatePoint(p));
        o.pointColors[first + size_t(p)] = colour;
      }
      if (!laidOut) TemplateTriangles(uint32_t(first), [&](const Triangle& tri) { topology.triangles[t++] = tri; });
    }
  }
  if (!laidOut && !BuildCornerLists(topology, o.pointCount)) return false;
  o.optics = DefaultOptics();
  o.optics.isPainted = 1;
  o.currentView = kFreeView;
  o.views[kFreeView] = KelvaneObjectView();
  for (size_t p = 0; p < points; ++p) {
    PointWork& w = d.pointWork[p];
    w.x = o.points[p].x;
    w.y = o.points[p].y;
    w.z = o.points[p].z;
    w.mask = 255;
    w.red = o.pointColors[p].red;
    w.green = o.pointColors[p].green;
    w.blue = o.pointColors[p].blue;
    if (!laidOut) w.cornerCount = float(CountCorners(topology, uint32_t(p)));
  }
  if (!laidOut) {
    for (TriangleWork& w : d.triangleWork) w.flags = 1;
  }
  d.ballMeshes = preview ? SIZE_MAX : balls;
  o.dirtyFlags = kAllDirty;
  return true;
}

// A line on the 400 x 400 picture, clipped to it.
void PlotLine(float x0, float y0, float x1, float y1, uint32_t colour) {
  const float steps = std::ceil(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0)));
  if (!std::isfinite(steps) || steps > 4.0f * kViewSide) return;  // far off the view
  const int n = std::max(1, int(steps));
  for (int i = 0; i <= n; ++i) {
    const float t = float(i) / float(n);
    const int x = int(std::floor(x0 + (x1 - x0) * t)), y = int(std::floor(y0 + (y1 - y0) * t));
    if (x < 0 || y < 0 || x >= kViewSide || y >= kViewSide) continue;
    renderState.viewPicture[size_t(y) * kViewSide + size_t(x)] = colour;
  }
}

// Where a display-space point lands on the picture (columns right, rows down).
struct PicturePoint {
  float x, y;
};
PicturePoint OnPicture(const Rotation3& r, const ObjectView& view, const Vec3f& p) {
  const Vec3f v = Rotate(r, p);
  return {float(view.centerX) + view.zoom * v.x, float(view.centerY) - view.zoom * v.y};
}

// The ball's three rings (around its axis and through it) and, for the selected ball, its axis
// reaching a quarter beyond the ball.
void DrawBallRings(const Ball& ball, bool selected, const Rotation3& r, const ObjectView& view) {
  const BallFrame f = FrameOf(ball, Threshold());
  const uint32_t colour = selected ? kSelectedRing : ball.strength < 0 ? kCarvingRing : kBallRing;
  const auto ring = [&](auto unitAt) {
    PicturePoint last = OnPicture(r, view, FramePoint(f, unitAt(0.0f)));
    for (int i = 1; i <= kRingSteps; ++i) {
      const PicturePoint next = OnPicture(r, view, FramePoint(f, unitAt(2.0f * kPi * float(i) / kRingSteps)));
      PlotLine(last.x, last.y, next.x, next.y, colour);
      last = next;
    }
  };
  ring([](float a) { return Vec3f{std::cos(a), 0, std::sin(a)}; });
  ring([](float a) { return Vec3f{std::cos(a), std::sin(a), 0}; });
  ring([](float a) { return Vec3f{0, std::sin(a), std::cos(a)}; });
  if (!selected) return;
  const PicturePoint a = OnPicture(r, view, FramePoint(f, {0, 1.25f, 0}));
  const PicturePoint b = OnPicture(r, view, FramePoint(f, {0, -1.25f, 0}));
  PlotLine(a.x, a.y, b.x, b.y, colour);
}

void DrawOverlay() {
  const QuorvelState& q = quorvelState;
  const ObjectView view = KelvaneObjectView();
  const Rotation3 r = ViewRotationMatrix(view.angles);
  // With the preview shown the balls are inside the mesh: every ball's rings show where it is.
  if (q.previewOn && !q.preview.triangles.empty()) {
    for (size_t b = 0; b < q.balls.size(); ++b) {
      if (int(b) != q.selected) DrawBallRings(q.balls[b], false, r, view);
    }
  }
  if (q.selected >= 0 && size_t(q.selected) < q.balls.size()) DrawBallRings(q.balls[size_t(q.selected)], true, r, view);
}

// A pointer motion in view units as a motion in world units in the view plane.
Vec3f WorldMotion(int dx, int dy) {
  const ObjectView view = KelvaneObjectView();
  const Rotation3 r = ViewRotationMatrix(view.angles);
  const float perUnit = 1.0f / (view.zoom * kMetaballObjectScale);
  return RotateInverse(r, Vec3f{float(dx) * perUnit, -float(dy) * perUnit, 0});
}

// v turned about the view's vertical by `right` and about its horizontal by `down` radians.
Vec3f TurnedInView(const Vec3f& v, float right, float down) {
  const float cy = std::cos(right), sy = std::sin(right), cx = std::cos(down), sx = std::sin(down);
  const Vec3f a{cy * v.x + sy * v.z, v.y, -sy * v.x + cy * v.z};  // about the vertical
  return {a.x, cx * a.y - sx * a.z, sx * a.y + cx * a.z};         // about the horizontal
}

constexpr float kRadiansPerUnit = kPi / 200.0f;

Ball* BallOf(int ball) {
  if (ball < 0 || size_t(ball) >= quorvelState.balls.size()) return nullptr;
  return &quorvelState.balls[size_t(ball)];
}

}  // namespace

float BallDisplayFactor(const Ball& ball, float threshold) {
  const float w = std::fabs(ball.strength);
  const float below = w + threshold;
  float q = below > 0 ? (w - threshold / 9.0f) / below : 0.0f;  // no strength and no threshold: small
  if (!std::isfinite(q)) q = 1;                                  // a strength beyond the floats: its reach
  return std::sqrt(std::clamp(q, 0.0625f, 1.0f));
}

bool DrawKelvaneView(const SoftDrawOptions& options) {
  if (renderState.viewPicture.size() != size_t(kViewPixelCount)) return false;
  ForgetTriangleBins();  // the view buffers no longer hold the current object's picture
  try {
    if (!BuildDrawing()) return false;
  } catch (const std::bad_alloc&) {
    ForgetKelvaneDrawing();
    return false;
  }
  SceneObject& o = *quorvelState.drawing.object;
  if (o.triangleCount == 0) {
    std::fill(renderState.viewPicture.begin(), renderState.viewPicture.end(), ModelingBackgroundPixel());
  } else {
    SoftDrawOptions draw = options;
    draw.updateThumbnail = false;
    draw.workDataCurrent = false;
    draw.maskRoom = false;
    if (!SoftDraw(&o, draw)) return false;
  }
  DrawOverlay();
  return true;
}

void ForgetKelvaneDrawing() { quorvelState.drawing = KelvaneDrawing{}; }

int KelvaneBallAt(int x, int y) {
  const QuorvelState& q = quorvelState;
  const ObjectView view = KelvaneObjectView();
  const Rotation3 r = ViewRotationMatrix(view.angles);
  // The pointer as a line of sight in view space (the viewer looks down -z).
  const float px = (float(x) + 0.5f - float(view.centerX)) / view.zoom;
  const float py = (float(view.centerY) - float(y) - 0.5f) / view.zoom;
  int best = -1;
  float bestDepth = -INFINITY;
  for (size_t b = 0; b < q.balls.size(); ++b) {
    const BallFrame f = FrameOf(q.balls[b], Threshold());
    // In the ball's frame the ellipsoid is (d.a / ra)^2 + (|d|^2 - (d.a)^2) / rb^2 <= 1 with
    // d = (px, py, t) - c along the line: a quadratic in t.
    const Vec3f c = Rotate(r, f.centre), a = Rotate(r, f.axis);
    const Vec3f d0{px - c.x, py - c.y, -c.z};
    const float ia = 1.0f / (f.along * f.along), ib = 1.0f / (f.acrossRadius * f.acrossRadius);
    const float da = Dot(d0, a);
    // |d|^2 = |d0|^2 + 2 t d0.z + t^2, d.a = da + t a.z.
    const float qa = ib + (ia - ib) * a.z * a.z;
    const float qb = 2.0f * (ib * d0.z + (ia - ib) * da * a.z);
    const float qc = ib * Dot(d0, d0) + (ia - ib) * da * da - 1.0f;
    const float discriminant = qb * qb - 4.0f * qa * qc;
    if (!(discriminant >= 0) || !(qa > 0)) continue;
    const float t = (-qb + std::sqrt(discriminant)) / (2.0f * qa);  // the nearer crossing
    if (t > bestDepth) {
      bestDepth = t;
      best = int(b);
    }
  }
  return best;
}

void MoveBallInView(int ball, int dx, int dy) {
  if (Ball* b = BallOf(ball)) b->centre = b->centre + WorldMotion(dx, dy);
}

void ScaleBallInView(int ball, int dx, int dy) {
  Ball* b = BallOf(ball);
  if (b == nullptr) return;
  const float factor = std::exp2(float(dx - dy) / 100.0f);
  b->r1 = std::clamp(b->r1 * factor, 1.0f, 10000.0f);
}

void TurnBallAxisInView(int ball, int dx, int dy) {
  Ball* b = BallOf(ball);
  if (b == nullptr) return;
  const Rotation3 r = ViewRotationMatrix(quorvelState.view.angles);
  const Vec3f axis = Normalised(b->axis);
  if (axis == Vec3f{}) return;
  const Vec3f turned = TurnedInView(Rotate(r, axis), float(dx) * kRadiansPerUnit, float(dy) * kRadiansPerUnit);
  const Vec3f world = Normalised(RotateInverse(r, turned));
  if (world != Vec3f{}) b->axis = world;
}

void TurnKelvaneView(int dx, int dy) {
  std::array<float, 3>& angles = quorvelState.view.angles;
  const auto wrap = [](float a) {
    a = std::fmod(a, 2.0f * kPi);
    return a < 0 ? a + 2.0f * kPi : a;
  };
  angles[0] = wrap(angles[0] + float(dy) * kRadiansPerUnit);
  angles[1] = wrap(angles[1] + float(dx) * kRadiansPerUnit);
}

}  // namespace tsv
