// brush.cpp: profile, falloff, visibility, the dabs, spacing and the stroke copies.
//
// Coordinates. A brush position (x, y) is in view pixels with y running down from the top of the
// view, as the mouse reports it. Screen rows of the work records (sy) run up from the bottom, so
// the row under the brush is 399 - y and the brush centre in view units is ((x - centre x) /
// zoom, (centre y - y) / zoom). Depth is zoom x vz, larger nearer.
#include "tools/brush.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <numbers>

#include "platform/preferences.h"
#include "platform/events.h"
#include "platform/tablet.h"
#include "render/projection.h"
#include "render/rasterisers.h"
#include "render/work_data.h"
#include "scene/scene_object.h"
#include "scene/topology.h"
#include "tools/brush_settings.h"

namespace tsv {

BrushEngineState brushEngine;

void ResetBrushEngine() { brushEngine = BrushEngineState{}; }

bool PrepareBrushEngine() {
  if (brushEngine.mirrorDepthBuffer.size() == size_t(kViewPixelCount)) return true;
  try {
    brushEngine.mirrorDepthBuffer.assign(size_t(kViewPixelCount), kEmptyDepth);
  } catch (const std::bad_alloc&) {
    brushEngine.mirrorDepthBuffer = {};
    return false;
  }
  return true;
}

namespace {

constexpr double kPi = std::numbers::pi;
constexpr float kTwoPiF = float(2.0 * std::numbers::pi);
constexpr float kViewCentre = 200.0f;  // the repeat modes turn and mirror about this pixel
constexpr float kViewWidth = float(kViewSide);
// The stretch of the tilted frame along the tilt, per unit of offset and of tilt.
constexpr float kTiltStretch = 0.00015f;
// The fall of the push per unit of pressure and zoom: s = -10 / zoom x pressure.
constexpr float kPushPerPressure = -10.0f;
constexpr float kSmudgeStrength = 0.6f;
constexpr float kLiquifyStrength = 1.3f;
// The normal and spheric brushes pick a point as visible up to this far behind the drawn depth.
constexpr float kPickDepthMargin = 3.0f;
// A dab position is an integer pixel; positions beyond this are far off the view anyway and are
// held here so that the conversion stays defined.
constexpr float kFarPixel = 1.0e6f;

// The shape whose falloff takes a fresh random factor at every point.
constexpr int kRandomisedShape = 25;

bool IsPolygonShape(int shape) { return (shape >= 9 && shape <= 15) || shape == 17; }

// ---------------------------------------------------------------- profile

double ProfileValue(int shape, double u) {
  switch (shape) {
    case 2: return 1.0 / (std::exp(4.0 * std::log(99.0) * (u - 0.75)) + 1.0);
    case 3: case 13: case 14: case 15: case 17: return 1.0;
    // The square roots are held at 0 past the rim (the last sample lies at u = 513 / 512).
    case 4: return std::sqrt(std::max(0.0, 1.0 - 0.5 * u * u));
    case 5: return std::sqrt(std::max(0.0, 1.0 - u * u));
    case 6: case 9: case 10: case 11: case 12: return 1.0 - u;
    case 7: case 25: return std::exp(-4.58 * u);
    case 8: return u < 0.5 ? 1.0 : 2.0 * (1.0 - u);
    case 16: return u < 0.25 ? 1.0 : u < 0.5 ? 0.75 : u < 0.75 ? 0.5 : 0.25;
    case 18: return u < 0.333 ? 1.0 : u < 0.666 ? 0.666 : 0.333;
    case 19: return u < 0.75 ? 0.0 : 1.0;
    case 20: return u < 0.5 ? 0.0 : 1.0;
    case 21: return 0.5 - 0.5 * std::cos(2.0 * kPi * u);
    case 22: return u < 0.5 ? 0.0 : 2.0 * u - 1.0;
    case 23: return 1.0 - std::sqrt(std::max(0.0, 1.0 - 0.5 * u * u));
    case 24: return 1.0 - std::sqrt(std::max(0.0, 1.0 - u * u));
    case 26: return std::exp(-4.58 * u) * (0.5 + 0.5 * std::cos(6.0 * kPi * u));
    default: return std::exp(-4.58 * u * u);  // shape 1
  }
}

// Sides, first-vertex angle and cone-or-hard of the polygon shapes: 9..12 cones over the
// triangle, hexagon, square and pentagon; 14, 13, 15, 17 the same polygons hard-edged.
struct PolygonShape {
  int sides;
  double firstAngle;
  bool cone;
};
PolygonShape PolygonOf(int shape) {
  constexpr double kTriangle = kPi / 2, kHexagon = 0.0, kSquare = kPi / 4, kPentagon = 5.969026;
  switch (shape) {
    case 9: return {3, kTriangle, true};
    case 10: return {6, kHexagon, true};
    case 11: return {4, kSquare, true};
    case 12: return {5, kPentagon, true};
    case 14: return {3, kTriangle, false};
    case 13: return {6, kHexagon, false};
    case 15: return {4, kSquare, false};
    case 17: return {5, kPentagon, false};
    default: return {0, 0.0, false};
  }
}

// e = 1 at the centre, 0 on the polygon's edge (circumradius R), negative outside.
float PolygonEdgeWeight(const BrushEngineState& e, float x, float y, float r, float R) {
  const int sides = e.polygonSides;
  float alpha = std::acos(std::clamp(x / r, -1.0f, 1.0f));
  if (y < 0) alpha = kTwoPiF - alpha;
  alpha -= e.polygonFirstAngle;
  alpha = std::fmod(alpha, kTwoPiF);
  if (alpha < 0) alpha += kTwoPiF;
  const int k = std::clamp(int(float(sides) * alpha / kTwoPiF), 0, sides - 1);
  const float x1 = e.polygonX[size_t(k)], y1 = e.polygonY[size_t(k)];
  const float x2 = e.polygonX[size_t(k + 1)], y2 = e.polygonY[size_t(k + 1)];
  return ((y2 - y1) * x + (x1 - x2) * y) / ((y1 * x2 - y2 * x1) * R) + 1.0f;
}

// ---------------------------------------------------------------- views

// The view a dab works in: the object's current view, or its mirror image while the mirrored
// pass runs. The mirror turns the object over its own x = 0 plane and the picture over the view's
// vertical centre line: the rotation becomes M R M with M = diag(-1, 1, 1) (the first row and the
// first column negated, their shared corner twice), which is again a proper rotation, so the
// faces keep their winding and the depth pass draws the side that faces the mirrored viewer; the
// horizontal centre becomes 400 - centre. A brush at (400 - x, y) moving (-dx, dy) in that view
// then touches exactly the mirror images of the points the brush at (x, y) touches in the real
// view, moving them by the mirror image of their motion.
ViewProjection ViewForBrush(const SceneObject& object, bool mirrored) {
  ViewProjection view = MakeViewProjection(CurrentView(object), kViewBottomRow);
  if (mirrored) {
    Rotation3& r = view.rotation;
    r[1] = -r[1];
    r[2] = -r[2];
    r[3] = -r[3];
    r[6] = -r[6];
    view.columnOffset = kViewSide - view.columnOffset;
  }
  return view;
}

bool IsPositiveNumber(float value) { return value > 0.0f && std::isfinite(value); }

// A dab position: the pixel, truncated toward zero.
float DabPixel(float value) { return std::trunc(std::clamp(value, -kFarPixel, kFarPixel)); }

// ---------------------------------------------------------------- one dab

// BrushFalloff, inlined into the dabs' loops.
inline float FalloffAt(float u, float v, float R) {
  const BrushEngineState& e = brushEngine;
  if (!(R > 0.0f)) return -1.0f;
  if (e.tilt.active) {
    const BrushTilt& t = e.tilt;
    const float across = t.across * (u * t.sinTheta - v * t.cosTheta);
    const float stretch = std::exp(across * t.length * kTiltStretch);
    const float along = stretch * (u * t.cosTheta + v * t.sinTheta);
    u = along;
    v = across;
  }
  // Every shape lies within the circle of radius R (the polygons' corners touch it), so
  // anything further out is outside without the square root.
  const float r2 = u * u + v * v;
  if (!(r2 <= R * R)) return -1.0f;
  if (IsPolygonShape(e.profileShape) && e.polygonSides > 0) {
    if (r2 == 0.0f) return 1.0f;
    const float edge = PolygonEdgeWeight(e, u, v, std::sqrt(r2), R);
    if (e.polygonCone) return edge >= 0.0f ? edge : -1.0f;
    return edge > 0.0f ? 1.0f : -1.0f;
  }
  const float t = std::sqrt(r2) * float(kBrushProfileSteps) / R;
  if (!(t <= float(kBrushProfileSteps))) return -1.0f;
  const int k = int(t);
  const float low = e.brushProfile[size_t(k)], high = e.brushProfile[size_t(k + 1)];
  float value = low + (high - low) * (t - float(k));
  if (e.profileShape == kRandomisedShape) {
    // A fresh factor per point, from the generator's 15-bit range: about -0.5 to 1.5.
    value *= float(2 * (std::rand() % 32768) - 32767) / 32768.0f + 0.5f;
  }
  return value;
}

// DepthVisibility, inlined into the dabs' loops.
inline float VisibilityAt(std::span<const float> depthBuffer, int sx, int sy, float depth) {
  if (sx < 0 || sy < 0 || sx >= kViewSide || sy >= kViewSide) return 1.0f;
  if (depthBuffer.size() < size_t(kViewPixelCount)) return 1.0f;
  const float b = depthBuffer[size_t(sy) * kViewSide + size_t(sx)];
  if (b <= kDrawnDepth) return 1.0f;
  const float behind = b - depth;
  if (behind < 0.0f) return 1.0f;
  if (!(behind <= kBrushHiddenLimit)) return 0.0f;
  return std::exp(-kBrushVisibilitySoftness * behind * behind);
}

// What every dab works from: the points, the view it is drawn in, the brush and the topology.
struct DabFrame {
  SceneObject* object = nullptr;
  PointWork* work = nullptr;
  size_t count = 0;
  const uint8_t* mask = nullptr;  // null: every point free
  ViewProjection view{};
  float radius = 0;               // R in view units
  float centreU = 0, centreV = 0;  // the brush centre in view units
  float brushColumn = 0, brushRow = 0;  // the brush position in screen rows (for picking)
  bool through = false;
  std::span<const float> depth;
  bool hasDepth = false;
  const Triangle* triangles = nullptr;
  size_t triangleCount = 0;
  std::span<const uint32_t> firstCorner;
  std::span<const uint32_t> nextCorner;
  TriangleWork* faces = nullptr;
  bool changed = false;
  PointTileIndex* tiles = nullptr;  // the mesh's tiles, current for this projection; null: none

  float Weight(size_t i) const { return mask != nullptr ? float(mask[i]) * (1.0f / 255.0f) : 1.0f; }
  float Visibility(const PointWork& p) const {
    return through ? 1.0f : VisibilityAt(depth, p.sx, p.sy, p.depth);
  }
};

// The tile of a point on the view.
size_t TileOf(const PointWork& p) {
  return size_t(p.sy / kPointTileSide) * kPointTilesAcross + size_t(p.sx / kPointTileSide);
}

// The tiles of `object` for the projection its records hold now: kept when they were built from
// it, built again otherwise (a counting sort, in index order within each tile). Null when the
// mesh is too small to need them, or when memory for them runs out (the dabs then walk every
// point).
PointTileIndex* CurrentPointTiles(const SceneObject& object, const PointWork* work, size_t count) {
  PointTileIndex& x = brushEngine.tiles;
  if (count < brushEngine.pointTilesFrom || count > UINT32_MAX) return nullptr;
  if (x.projection == renderState.projectionPasses && x.projection != 0 && x.serial == object.serial &&
      x.count == count) {
    return &x;
  }
  constexpr size_t kTiles = size_t(kPointTilesAcross) * kPointTilesAcross;
  try {
    x.projection = 0;
    x.tileStart.assign(kTiles + 1, 0);
    for (size_t i = 0; i < count; ++i) {
      const PointWork& p = work[i];
      if (uint16_t(p.sx) < kViewSide && uint16_t(p.sy) < kViewSide) ++x.tileStart[TileOf(p) + 1];
    }
    for (size_t t = 0; t < kTiles; ++t) x.tileStart[t + 1] += x.tileStart[t];
    x.slots.reserve(count);  // however the points move, the next builds fit
    x.slots.resize(x.tileStart[kTiles]);
    x.cursor.assign(x.tileStart.begin(), x.tileStart.end() - 1);
    for (size_t i = 0; i < count; ++i) {
      const PointWork& p = work[i];
      if (uint16_t(p.sx) < kViewSide && uint16_t(p.sy) < kViewSide) {
        x.slots[x.cursor[TileOf(p)]++] = {uint32_t(i), p.vx, p.vy};
      }
    }
    x.moved.assign(count, 0);
    x.movedPoints.clear();
    x.movedPoints.reserve(count);  // a stroke then never allocates
    x.candidates.assign((count + 63) / 64, 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  x.projection = renderState.projectionPasses;
  x.serial = object.serial;
  x.count = uint32_t(count);
  return &x;
}

// Calls visit(i), in index order, for the points a dab reaching the screen rectangle
// [left, right] x [top, bottom] (pixels, inclusive) must look at: those whose screen position is
// in a tile the rectangle meets, and every point moved since the tiles were built.
template <class Visit>
void ForEachCandidate(PointTileIndex& x, float left, float top, float right, float bottom, Visit visit) {
  std::fill(x.candidates.begin(), x.candidates.end(), 0);
  auto tile = [](float pixel) {
    return int(std::clamp(pixel, 0.0f, float(kViewSide - 1))) / kPointTileSide;
  };
  if (right >= 0.0f && bottom >= 0.0f && left <= float(kViewSide - 1) && top <= float(kViewSide - 1)) {
    const int c0 = tile(left), c1 = tile(right), r0 = tile(top), r1 = tile(bottom);
    for (int r = r0; r <= r1; ++r) {
      for (int c = c0; c <= c1; ++c) {
        const size_t t = size_t(r) * kPointTilesAcross + size_t(c);
        for (uint32_t k = x.tileStart[t]; k < x.tileStart[t + 1]; ++k) {
          const uint32_t i = x.slots[k].point;
          x.candidates[i >> 6] |= uint64_t(1) << (i & 63);
        }
      }
    }
  }
  for (const uint32_t i : x.movedPoints) x.candidates[i >> 6] |= uint64_t(1) << (i & 63);
  for (size_t w = 0; w < x.candidates.size(); ++w) {
    for (uint64_t bits = x.candidates[w]; bits != 0; bits &= bits - 1) {
      visit(size_t(w * 64 + size_t(std::countr_zero(bits))));
    }
  }
}

// The candidates of a dab that may visit its points in any order, whose reach is the disc of
// `reach` pixels around the screen position (column, row): the points of the tiles the disc
// meets, each passed as its slot to visitSlot unless it moved since the build, then every point
// moved before this call to visitMoved. No point is passed twice, whatever the visits move.
template <class VisitSlot, class VisitMoved>
void ForEachCandidateAnyOrder(const PointTileIndex& x, float column, float row, float reach,
                              VisitSlot visitSlot, VisitMoved visitMoved) {
  const size_t movedBefore = x.movedPoints.size();
  const float left = column - reach, right = column + reach, top = row - reach, bottom = row + reach;
  if (right >= 0.0f && bottom >= 0.0f && left <= float(kViewSide - 1) && top <= float(kViewSide - 1)) {
    auto tile = [](float pixel) {
      return int(std::clamp(pixel, 0.0f, float(kViewSide - 1))) / kPointTileSide;
    };
    // How far a tile's pixels lie from the centre along one axis.
    auto gap = [](float centre, int first) {
      const float low = float(first), high = float(first + kPointTileSide - 1);
      return centre < low ? low - centre : (centre > high ? centre - high : 0.0f);
    };
    const int c0 = tile(left), c1 = tile(right), r0 = tile(top), r1 = tile(bottom);
    for (int r = r0; r <= r1; ++r) {
      const float gy = gap(row, r * kPointTileSide);
      for (int c = c0; c <= c1; ++c) {
        const float gx = gap(column, c * kPointTileSide);
        if (gx * gx + gy * gy > reach * reach) continue;
        const size_t t = size_t(r) * kPointTilesAcross + size_t(c);
        for (uint32_t k = x.tileStart[t]; k < x.tileStart[t + 1]; ++k) {
          const PointTileIndex::Slot& slot = x.slots[k];
          if (x.moved[slot.point] == 0) visitSlot(slot);
        }
      }
    }
  }
  for (size_t k = 0; k < movedBefore; ++k) visitMoved(size_t(x.movedPoints[k]));
}

bool MakeDabFrame(SceneObject* object, float x, float y, float size,
                  std::span<const float> depthBuffer, DabFrame& f) {
  if (object == nullptr || !HasWorkRecords(*object)) return false;
  if (!std::isfinite(x) || !std::isfinite(y)) return false;
  // Held to pixels near the view, so that the pick's integer pixel distances stay defined: a
  // brush further out reaches nothing on the view either way.
  x = std::clamp(x, -kFarPixel, kFarPixel);
  y = std::clamp(y, -kFarPixel, kFarPixel);
  f.view = ViewForBrush(*object, brushEngine.mirrored);
  const float zoom = f.view.zoom;
  if (!IsPositiveNumber(zoom) || !IsPositiveNumber(size)) return false;
  f.radius = kBrushExtentPerSize * size / zoom;
  if (!IsPositiveNumber(f.radius)) return false;
  f.object = object;
  f.work = object->pointWork->data();
  f.count = size_t(object->pointCount);
  f.mask = object->pointMask.size() >= f.count ? object->pointMask.data() : nullptr;
  f.brushColumn = x;
  f.brushRow = float(kViewBottomRow) - y;
  // The projection taken back: view units from screen pixels.
  f.centreU = (f.brushColumn - float(f.view.columnOffset)) / zoom;
  f.centreV = (f.brushRow - float(f.view.rowOffset)) / zoom;
  f.through = brushSettings.side == brush_side::kThrough;
  f.depth = depthBuffer;
  f.hasDepth = depthBuffer.size() >= size_t(kViewPixelCount);
  const std::span<const Triangle> triangles = Triangles(*object);
  f.triangles = triangles.data();
  f.triangleCount = std::min(triangles.size(), size_t(std::max(object->triangleCount, 0)));
  f.firstCorner = PointFirstCorner(*object);
  f.nextCorner = TriangleNextCorner(*object);
  f.faces = object->triangleWork->data();
  f.tiles = CurrentPointTiles(*object, f.work, f.count);
  return true;
}

// Calls visit(t) for every triangle t around `point`. The walk is bounded by the number of
// corners, so a damaged list can neither loop nor read outside the arrays.
template <class Visit>
void ForEachTriangleAround(const DabFrame& f, size_t point, Visit visit) {
  const size_t walkLimit = f.triangleCount * 3;
  uint32_t corner = point < f.firstCorner.size() ? f.firstCorner[point] : kEndOfCornerList;
  for (size_t steps = 0; CornerNumber(corner) != 3 && steps < walkLimit; ++steps) {
    const uint32_t t = CornerTriangle(corner);
    const size_t slot = CornerSlot(corner);
    if (t >= f.triangleCount || slot >= f.nextCorner.size()) return;
    visit(t);
    corner = f.nextCorner[slot];
  }
}

void Widen(ClipRect& rect, int sx, int sy) {
  sx = std::clamp(sx, 0, kViewSide - 1);
  sy = std::clamp(sy, 0, kViewSide - 1);
  rect.left = std::min(rect.left, sx);
  rect.right = std::max(rect.right, sx + 1);
  rect.top = std::min(rect.top, sy);
  rect.bottom = std::max(rect.bottom, sy + 1);
}

// Marks every triangle around a changed point and widens the changed rectangle over it: over
// the corners of each triangle it marks when the point changed its paint, mask or texture
// coordinates (nothing moves), over the point alone where it was when it moves (its screen
// position is not updated until the refresh, which covers every corner where it lies then; the
// corners that stay keep their place). A triangle marked already is in the rectangle: the screen
// positions stand still while a segment runs (only the mirrored pass projects differently, and a
// symmetric segment redraws the whole view), so overlapping dabs do not widen over the same
// corners again.
void MarkChanged(DabFrame& f, size_t point, bool moves) {
  f.changed = true;
  ClipRect& rect = brushEngine.changedRect;
  const uint32_t pointCount = uint32_t(f.count);
  std::vector<uint32_t>& marked = brushEngine.markedTriangles;
  if (moves) Widen(rect, f.work[point].sx, f.work[point].sy);
  ForEachTriangleAround(f, point, [&](uint32_t t) {
    if (f.faces[t].flags != 0) return;
    f.faces[t].flags = 1;
    if (marked.size() < marked.capacity()) marked.push_back(t);
    if (moves) return;
    for (const uint32_t corner : f.triangles[t]) {
      if (corner < pointCount) Widen(rect, f.work[corner].sx, f.work[corner].sy);
    }
  });
}

// After a dab moved the view position of a point: its object-space position (the transposed
// rotation undoes the view's) and depth follow, and its triangles are marked.
void PointMoved(DabFrame& f, size_t i) {
  PointWork& p = f.work[i];
  ObjectPositionFromView(p, f.view.rotation);
  p.depth = f.view.zoom * p.vz;
  MarkChanged(f, i, true);
  if (f.tiles != nullptr && f.tiles->moved[i] == 0) {
    f.tiles->moved[i] = 1;
    f.tiles->movedPoints.push_back(uint32_t(i));
  }
}

// Visits every point on the view within the brush, with its falloff f (points where f is below
// 0 are skipped; with kSkipZero where f is 0 as well). The effect gets the point and f. With
// kInIndexOrder the points come in index order, as effects that read their neighbours need;
// otherwise in any order (the randomised shape still takes them in index order, so that each
// point draws the same number from the generator).
template <bool kSkipZero, bool kInIndexOrder = false, class Effect>
void VisitBrushPoints(DabFrame& f, Effect effect) {
  uint32_t weighed = 0;
  // Untilted, every shape lies within the circle of radius R: points outside it are passed over
  // here, without the call.
  const float outside = brushEngine.tilt.active ? std::numeric_limits<float>::infinity() : f.radius * f.radius;
  auto look = [&](size_t i) {
    PointWork& p = f.work[i];
    if (uint16_t(p.sx) >= kViewSide || uint16_t(p.sy) >= kViewSide) return;  // negatives wrap
    const float u = p.vx - f.centreU, v = p.vy - f.centreV;
    if (u * u + v * v > outside) return;
    const float falloff = FalloffAt(u, v, f.radius);
    if (kSkipZero ? !(falloff > 0.0f) : !(falloff >= 0.0f)) return;
    ++weighed;
    effect(i, p, falloff);
  };
  // Without a tilt every point the brush weighs lies within R of its centre in view units, so
  // within R x zoom pixels of the brush on the screen (a pixel more for the truncation). A tilt
  // stretches the brush beyond that: every point is looked at then.
  if (f.tiles != nullptr && !brushEngine.tilt.active) {
    const float reach = f.radius * f.view.zoom + 2.0f;
    if (kInIndexOrder || brushEngine.profileShape == kRandomisedShape) {
      ForEachCandidate(*f.tiles, f.brushColumn - reach, f.brushRow - reach, f.brushColumn + reach,
                       f.brushRow + reach, look);
    } else {
      // A point that has not moved since the build is where its slot says.
      ForEachCandidateAnyOrder(
          *f.tiles, f.brushColumn, f.brushRow, reach,
          [&](const PointTileIndex::Slot& slot) {
            const float u = slot.vx - f.centreU, v = slot.vy - f.centreV;
            if (u * u + v * v <= outside) look(slot.point);
          },
          look);
    }
  } else {
    for (size_t i = 0; i < f.count; ++i) look(i);
  }
  brushEngine.lastDabPoints = weighed;
}

// The pushes along the view axis: plain, height-map and morph fusion differ only in a factor per
// point (`shape`, negative to leave the point alone). The plain push passes over points of
// weight 0 as well.
template <bool kSkipZero, class Shape>
void PushAlongView(DabFrame& f, float pressure, Shape shape) {
  const float push = kPushPerPressure / f.view.zoom * pressure;
  VisitBrushPoints<kSkipZero>(f, [&](size_t i, PointWork& p, float falloff) {
    const float factor = shape(p);
    if (!(factor >= 0.0f)) return;
    const float s = f.Weight(i) * falloff * factor * push * f.Visibility(p);
    if (s == 0.0f || !std::isfinite(s)) return;
    p.vz += s;
    PointMoved(f, i);
  });
}

void DabPush(DabFrame& f, float pressure) {
  PushAlongView<true>(f, pressure, [](const PointWork&) { return 1.0f; });
}

// The map cell under a point: the picture lies upright over the whole view. Rows of the view
// count up from the bottom and the map's rows are stored bottom-up too, so the cell's row is
// found from the view row counted from the top and then flipped into the stored order.
void DabHeightMapFusion(DabFrame& f, float pressure) {
  const HeightMap& map = brushSettings.heightMap;
  if (!HasHeightMap(map)) return;
  const int64_t width = map.width, height = map.height;
  const float q = float(256 - map.contrast) / 256.0f;
  const int level = map.level - 128;
  PushAlongView<false>(f, pressure, [&](const PointWork& p) {
    const int64_t fromTop = kViewBottomRow - p.sy;
    const int64_t mx = std::clamp<int64_t>(int64_t(p.sx) * width / kViewSide, 0, width - 1);
    const int64_t my = std::clamp<int64_t>(fromTop * height / kViewSide, 0, height - 1);
    int value = int(map.bytes[size_t((height - 1 - my) * width + mx)]) + level;
    float grey;
    if (value >= 128) {
      grey = 255.0f - float(255 - std::min(value, 255)) * q;
    } else {
      grey = float(std::max(value, 0)) * q;
    }
    return std::exp((grey / 255.0f - 1.0f) * kHeightMapFusionContrast);
  });
}

void DabMorphFusion(DabFrame& f, float pressure) {
  const MorphFusionSource& source =
      brushSettings.morphObjects[brushSettings.fusionSide == kFusionSideRight ? 1 : 0];
  if (!HasMorphFusionSource(source)) return;
  const float dmin = source.depthMin, range = source.depthMax - source.depthMin;
  const float* depth = source.depthBuffer.data();
  PushAlongView<false>(f, pressure, [&](const PointWork& p) {
    const float b = depth[size_t(p.sy) * kViewSide + size_t(p.sx)];
    if (b <= kDrawnDepth) return -1.0f;  // the morph object does not cover this pixel
    return std::exp((dmin - b) / range);
  });
}

void DabSmudge(DabFrame& f, float stepX, float stepY, float pressure) {
  const float strength = std::fabs(pressure) * kSmudgeStrength / f.view.zoom;
  VisitBrushPoints<false>(f, [&](size_t i, PointWork& p, float falloff) {
    const float s = f.Weight(i) * falloff * strength * f.Visibility(p);
    if (s == 0.0f || !std::isfinite(s)) return;
    p.vx += stepX * s;
    p.vy -= stepY * s;
    PointMoved(f, i);
  });
}

// In place and in index order: a point sees the smoothed positions of the points before it.
void DabSmooth(DabFrame& f) {
  const uint32_t pointCount = uint32_t(f.count);
  VisitBrushPoints<false, true>(f, [&](size_t i, PointWork& p, float falloff) {
    const float s = f.Weight(i) * falloff * f.Visibility(p);
    if (s == 0.0f || !std::isfinite(s)) return;
    float sx = p.vx, sy = p.vy, sz = p.vz;
    int triangles = 0;
    bool intact = true;
    ForEachTriangleAround(f, i, [&](uint32_t t) {
      for (const uint32_t corner : f.triangles[t]) {
        if (corner >= pointCount) {
          intact = false;
          continue;
        }
        const PointWork& c = f.work[corner];
        sx += c.vx;
        sy += c.vy;
        sz += c.vz;
      }
      ++triangles;
    });
    if (triangles == 0 || !intact) return;
    const float n = 1.0f + 3.0f * float(triangles);
    p.vx = sx / n * s + p.vx * (1.0f - s);
    p.vy = sy / n * s + p.vy * (1.0f - s);
    p.vz = sz / n * s + p.vz * (1.0f - s);
    PointMoved(f, i);
  });
}

// The normal and spheric brushes push along one axis n for the whole dab, measuring the brush in
// the plane through the picked point across n.
void DabAlongAxis(DabFrame& f, bool spheric, float pressure) {
  if (f.count == 0) return;
  // The visible on-screen point nearest the brush; the last of equally near points wins, as
  // the search runs backwards and only a strictly nearer point replaces the one found. With no
  // candidate at all (nothing on the view is visible) the last point is the picked one.
  size_t picked = f.count - 1;
  bool found = false;
  int64_t best = std::numeric_limits<int64_t>::max();
  const int64_t column = int64_t(f.brushColumn), row = int64_t(f.brushRow);
  auto consider = [&](size_t k) {
    const PointWork& p = f.work[k];
    if (uint16_t(p.sx) >= kViewSide || uint16_t(p.sy) >= kViewSide) return;
    if (f.hasDepth) {
      const float b = f.depth[size_t(p.sy) * kViewSide + size_t(p.sx)];
      if (!(b <= kDrawnDepth || b < p.depth + kPickDepthMargin)) return;
    }
    const int64_t dx = p.sx - column, dy = p.sy - row;
    const int64_t distance = dx * dx + dy * dy;
    if (distance < best || (distance == best && k > picked)) {
      best = distance;
      picked = k;
      found = true;
    }
  };
  if (f.tiles != nullptr) {
    // Tiles in rings around the brush's tile, until no point of the next ring can be as near as
    // the nearest found (a tile k rings out lies at least (k - 1) tiles away).
    const PointTileIndex& x = *f.tiles;
    auto tileOf = [](int64_t pixel) { return int(std::clamp<int64_t>(pixel, 0, kViewSide - 1)) / kPointTileSide; };
    const int tc = tileOf(column), tr = tileOf(row);
    for (int ring = 0; ring < kPointTilesAcross; ++ring) {
      const int64_t gap = int64_t(std::max(ring - 1, 0)) * kPointTileSide;
      if (found && gap * gap > best) break;
      for (int r = std::max(tr - ring, 0); r <= std::min(tr + ring, kPointTilesAcross - 1); ++r) {
        for (int c = std::max(tc - ring, 0); c <= std::min(tc + ring, kPointTilesAcross - 1); ++c) {
          if (std::max(std::abs(c - tc), std::abs(r - tr)) != ring) continue;
          const size_t t = size_t(r) * kPointTilesAcross + size_t(c);
          for (uint32_t k = x.tileStart[t]; k < x.tileStart[t + 1]; ++k) consider(x.slots[k].point);
        }
      }
    }
  } else {
    for (size_t k = f.count; k-- > 0;) consider(k);
  }
  const Vec3f centre = ViewPosition(f.work[picked]);

  Vec3f axis;
  if (spheric) {
    // In double: the sum of a large object's positions would lose the centroid in floats.
    double cx = 0, cy = 0, cz = 0;
    for (size_t i = 0; i < f.count; ++i) {
      cx += f.work[i].vx;
      cy += f.work[i].vy;
      cz += f.work[i].vz;
    }
    const double n = double(f.count);
    axis = centre - Vec3f{float(cx / n), float(cy / n), float(cz / n)};
  } else {
    // The face normals (object space) of every triangle around each corner of every triangle
    // around the picked point, turned into the view.
    Vec3f sum;
    const uint32_t pointCount = uint32_t(f.count);
    ForEachTriangleAround(f, picked, [&](uint32_t t) {
      for (const uint32_t corner : f.triangles[t]) {
        if (corner >= pointCount) continue;
        ForEachTriangleAround(f, corner, [&](uint32_t u) {
          sum = sum + Vec3f{f.faces[u].nx, f.faces[u].ny, f.faces[u].nz};
        });
      }
    });
    axis = Rotate(f.view.rotation, sum);
  }
  // n points into the object; a zero axis stays zero and moves nothing.
  const Vec3f n = Normalised(-axis);
  // Two axes across n.
  Vec3f e1{0, 0, -1}, e2{1, 0, 0};
  const float t = std::sqrt(n.x * n.x + n.z * n.z);
  if (t > 0) {
    const float k = -n.y / t;
    e1 = Vec3f{n.x * k, std::sqrt(std::max(0.0f, 1.0f - n.y * n.y)), n.z * k};
    e2 = Cross(n, e1);
  }

  const float push = kPushPerPressure / f.view.zoom * pressure;
  uint32_t weighed = 0;
  auto weigh = [&](size_t i) {
    PointWork& p = f.work[i];
    if (uint16_t(p.sx) >= kViewSide || uint16_t(p.sy) >= kViewSide) return;
    const Vec3f q = ViewPosition(p) - centre;
    const float h = Dot(q, n);
    const Vec3f across = q - n * h;
    const float falloff = FalloffAt(Dot(across, e2), Dot(across, e1), f.radius);
    if (!(falloff >= 0.0f)) return;
    float side = -1.0f;
    if (!f.through) {
      if (!(std::fabs(h) <= kBrushHiddenLimit)) return;
      side = std::fabs(h) / kBrushHiddenLimit - 1.0f;
    }
    ++weighed;
    const float s = f.Weight(i) * push * side * falloff;
    if (s == 0.0f || !std::isfinite(s)) return;
    const Vec3f moved = ViewPosition(p) + n * s;
    p.vx = moved.x;
    p.vy = moved.y;
    p.vz = moved.z;
    PointMoved(f, i);
  };
  // In front of the surface the brush reaches a slab of the cylinder around the axis through the
  // picked point: within sqrt(R^2 + limit^2) of it in view units. Through the object, or tilted,
  // it reaches further: every point is looked at then.
  if (f.tiles != nullptr && !f.through && !brushEngine.tilt.active) {
    const ScreenPosition middle = ScreenOfViewPosition(f.view, centre);
    const float reach =
        f.view.zoom * std::sqrt(f.radius * f.radius + kBrushHiddenLimit * kBrushHiddenLimit) + 2.0f;
    ForEachCandidateAnyOrder(
        *f.tiles, float(middle.sx), float(middle.sy), reach,
        [&](const PointTileIndex::Slot& slot) { weigh(slot.point); }, weigh);
  } else {
    for (size_t i = 0; i < f.count; ++i) weigh(i);
  }
  brushEngine.lastDabPoints = weighed;
}

// The opacity of paint and mask, 0..256, from f x |pressure| x 256 (the pressure scale of these
// rooms: pressure 1 paints fully opaque in one dab, and the sign of the depth setting, which
// chooses in or out for the shaping brushes, does not matter here).
int PaintAlpha(float weight) {
  const float alpha = weight * 256.0f;
  if (!(alpha >= 1.0f)) return 0;
  return alpha >= 256.0f ? 256 : int(alpha);
}

uint8_t Blend(uint8_t old, uint8_t target, int alpha) {
  return uint8_t((int(old) * (256 - alpha) + int(target) * alpha) >> 8);
}

void DabPaint(DabFrame& f, float pressure) {
  SceneObject& object = *f.object;
  if (object.pointColors.size() < f.count) return;
  const float opacity = std::fabs(pressure);
  const Rgb8 colour = brushEngine.paintColour;
  VisitBrushPoints<false>(f, [&](size_t i, PointWork& p, float falloff) {
    const int alpha = PaintAlpha(falloff * opacity * f.Weight(i) * f.Visibility(p));
    if (alpha == 0) return;
    Rgb8& c = object.pointColors[i];
    c.red = Blend(c.red, colour.red, alpha);
    c.green = Blend(c.green, colour.green, alpha);
    c.blue = Blend(c.blue, colour.blue, alpha);
    MarkChanged(f, i, false);
  });
}

// The mask brush leaves the point's own mask out of its opacity: weighted by it, a protected
// point (mask 0) could never be freed again.
void DabMask(DabFrame& f, float pressure) {
  SceneObject& object = *f.object;
  if (object.pointMask.size() < f.count) return;
  const float opacity = std::fabs(pressure);
  const uint8_t target = brushSettings.maskErase == kMaskEraseOn ? 0 : 255;
  VisitBrushPoints<false>(f, [&](size_t i, PointWork& p, float falloff) {
    const int alpha = PaintAlpha(falloff * opacity * f.Visibility(p));
    if (alpha == 0) return;
    uint8_t& m = object.pointMask[i];
    const uint8_t blended = Blend(m, target, alpha);
    if (blended == m) return;
    m = blended;
    MarkChanged(f, i, false);
  });
}

void DabLiquify(DabFrame& f, float stepX, float stepY, float pressure) {
  SceneObject& object = *f.object;
  if (object.pointUV.size() < f.count) return;
  const float strength = std::fabs(pressure) * kLiquifyStrength / f.view.zoom;
  VisitBrushPoints<false>(f, [&](size_t i, PointWork& p, float falloff) {
    const float s = f.Weight(i) * falloff * strength * f.Visibility(p);
    if (s == 0.0f || !std::isfinite(s)) return;
    Uv& uv = object.pointUV[i];
    uv.u -= stepX * s;
    uv.v -= stepY * s;
    MarkChanged(f, i, false);
  });
}

}  // namespace

// ---------------------------------------------------------------- public

BrushTilt MakeBrushTilt(int a, int b) {
  BrushTilt tilt;
  if (a == 0 && b == 0) return tilt;
  const double m = std::sqrt(double(a) * a + double(b) * b);
  double theta = std::acos(std::clamp(double(b) / m, -1.0, 1.0));
  if (a < 0) theta = 2 * kPi - theta;
  tilt.active = true;
  tilt.length = float(m);
  tilt.sinTheta = float(std::sin(theta));
  tilt.cosTheta = float(std::cos(theta));
  tilt.across = float(std::cos(std::atan(m / 32.0)));
  return tilt;
}

std::array<int16_t, 2> TiltInForce() {
  constexpr uint16_t kTiltEnabled = 4;  // the "Tilt enable" bit of the tablet preferences
  const TabletReport tablet = QueryTablet();
  if ((preferences.tabletFlags & kTiltEnabled) != 0 && PenInProximity(tablet)) {
    return {tablet.tiltA, tablet.tiltB};
  }
  return brushSettings.tilt;
}

BrushTilt CurrentBrushTilt() {
  const std::array<int16_t, 2> tilt = TiltInForce();
  return MakeBrushTilt(tilt[0], tilt[1]);
}

Rgb16 PaintColourInForce() {
  const TabletReport tablet = QueryTablet();
  const bool alternate = (PenInProximity(tablet) && tablet.cursorType == kTabletCursorEraser) ||
                         (input.modifiers & kAltBit) != 0;
  return alternate ? brushSettings.alternateColour : brushSettings.paintColour;
}

DabKind DabKindOf(int room, int type) {
  switch (room) {
    case kBrushRoomHeightMap: return DabKind::HeightMapFusion;
    case kBrushRoomMorph: return DabKind::MorphFusion;
    case kBrushRoomPaint: return DabKind::Paint;
    case kBrushRoomLiquify: return DabKind::Liquify;
    case kBrushRoomMask: return DabKind::Mask;
    default: break;
  }
  switch (type) {
    case brush_type::kSmudge: return DabKind::Smudge;
    case brush_type::kSmooth: return DabKind::Smooth;
    case brush_type::kSpheric: return DabKind::Spheric;
    case brush_type::kNormal: return DabKind::Normal;
    default: return DabKind::Push;
  }
}

void BuildBrushProfile(int shape) {
  if (shape < 1 || shape > kBrushShapeCount) shape = 1;
  BrushEngineState& e = brushEngine;
  for (int i = 0; i < kBrushProfileSize; ++i) {
    e.brushProfile[size_t(i)] = float(ProfileValue(shape, double(i) / kBrushProfileSteps));
  }
  e.profileShape = shape;
  const PolygonShape polygon = PolygonOf(shape);
  e.polygonSides = polygon.sides;
  e.polygonCone = polygon.cone;
  e.polygonFirstAngle = float(polygon.firstAngle);
  e.polygonX.fill(0);
  e.polygonY.fill(0);
  for (int k = 0; polygon.sides > 0 && k <= polygon.sides; ++k) {
    const double angle = polygon.firstAngle + 2 * kPi * (k % polygon.sides) / polygon.sides;
    e.polygonX[size_t(k)] = float(std::cos(angle));
    e.polygonY[size_t(k)] = float(std::sin(angle));
  }
}

BrushOutline BrushOutlineOf(int shape) {
  const PolygonShape polygon = PolygonOf(shape);
  return {polygon.sides, float(polygon.firstAngle)};
}

float BrushFalloff(float u, float v, float R) { return FalloffAt(u, v, R); }

float DepthVisibility(std::span<const float> depthBuffer, int sx, int sy, float depth) {
  return VisibilityAt(depthBuffer, sx, sy, depth);
}

void BrushDab(DabKind kind, SceneObject* object, float x, float y, float stepX, float stepY,
              float pressure, float size, std::span<const float> depthBuffer) {
  if (!std::isfinite(pressure) || !std::isfinite(stepX) || !std::isfinite(stepY)) return;
  DabFrame f;
  if (!MakeDabFrame(object, x, y, size, depthBuffer, f)) return;
  ++brushEngine.dabCount;
  brushEngine.lastDabPoints = 0;
  uint16_t dirty = kDirtyNormals;
  switch (kind) {
    case DabKind::Push: DabPush(f, pressure); break;
    case DabKind::Smudge: DabSmudge(f, stepX, stepY, pressure); break;
    case DabKind::Smooth: DabSmooth(f); break;
    case DabKind::Spheric: DabAlongAxis(f, true, pressure); break;
    case DabKind::Normal: DabAlongAxis(f, false, pressure); break;
    case DabKind::HeightMapFusion: DabHeightMapFusion(f, pressure); break;
    case DabKind::MorphFusion: DabMorphFusion(f, pressure); break;
    case DabKind::Paint:
      DabPaint(f, pressure);
      dirty = kDirtyPointPaint;
      break;
    case DabKind::Mask:
      DabMask(f, pressure);
      dirty = kDirtyPointPaint;
      break;
    case DabKind::Liquify:
      DabLiquify(f, stepX, stepY, pressure);
      dirty = kDirtyTextureCoordinates;
      break;
  }
  if (f.changed) object->dirtyFlags = uint16_t(object->dirtyFlags | dirty);
}

void BrushSegment(SceneObject* object, int room, float x, float y, float dx, float dy,
                  float pressure, float size, std::span<const float> depthBuffer) {
  if (object == nullptr) return;
  const DabKind kind = DabKindOf(room, brushSettings.type);
  float& accumulator = brushEngine.accumulator;
  const int spacing = brushSettings.spacing;
  if (spacing >= kBrushSettingMax) {
    // One dab per motion; its advance is the motion itself.
    accumulator = 0;
    BrushDab(kind, object, DabPixel(x), DabPixel(y), dx, dy, pressure, size, depthBuffer);
    return;
  }
  const float distance = std::sqrt(dx * dx + dy * dy);
  if (!(distance >= 1.0f) || !std::isfinite(distance)) return;
  accumulator += distance;
  const float step =
      2.0f * kBrushExtentPerSize * size * float(kBrushSettingMax - spacing) / 256.0f + 1.0f;
  if (!(step >= 1.0f) || !std::isfinite(step)) return;
  const float stepX = dx * step / distance, stepY = dy * step / distance;
  float px = x, py = y;
  while (accumulator >= 0.0f) {
    BrushDab(kind, object, DabPixel(px), DabPixel(py), stepX, stepY, pressure, size, depthBuffer);
    px += stepX;
    py += stepY;
    accumulator -= step;
  }
}

namespace {

// One copy of a segment: where it starts and how it moves.
struct SegmentCopy {
  float x, y, dx, dy;
};
constexpr int kMostCopies = 12;  // six sectors, each with its mirror image

// (dx, dy) turned by `angle` in view pixels (y down), as the copies' positions are turned.
SegmentCopy Turned(float cx, float cy, float ox, float oy, float dx, float dy, double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  return {float(cx + ox * c - oy * s), float(cy + ox * s + oy * c), float(dx * c - dy * s),
          float(dx * s + dy * c)};
}

// The copies of the repeat mode: the segment itself first.
int RepeatCopies(int repeat, float x, float y, float dx, float dy,
                 std::array<SegmentCopy, kMostCopies>& copies) {
  copies[0] = {x, y, dx, dy};
  const float ox = x - kViewCentre, oy = y - kViewCentre;
  if (repeat >= 1 && repeat <= 5) {
    const int count = repeat + 1;
    for (int j = 1; j < count; ++j) {
      copies[size_t(j)] = Turned(kViewCentre, kViewCentre, ox, oy, dx, dy, 2 * kPi * j / count);
    }
    return count;
  }
  if (repeat == 6) {
    copies[1] = {kViewWidth - x, y, -dx, dy};
    return 2;
  }
  if (repeat >= 7 && repeat <= 11) {
    // k sectors: the segment turned by j 2 pi / k (angle alpha + j 2 pi / k) and its mirror image
    // over the horizontal line through the centre, turned likewise (angle j 2 pi / k - alpha).
    const int sectors = repeat - 5;
    int n = 1;
    for (int j = 0; j < sectors; ++j) {
      const double turn = 2 * kPi * j / sectors;
      if (j > 0) copies[size_t(n++)] = Turned(kViewCentre, kViewCentre, ox, oy, dx, dy, turn);
      copies[size_t(n++)] = Turned(kViewCentre, kViewCentre, ox, -oy, dx, -dy, turn);
    }
    return n;
  }
  return 1;
}

// Clears the marks of the last segment: through the list when the segment before left the
// records kept and the list holds every mark of `object`, else every flag (activating an object
// sets them all). The list then has room for every triangle (a mark that finds it full, when
// memory ran out, leaves the list incomplete and forgotten).
void ClearChangedMarks(SceneObject& object, bool kept) {
  BrushEngineState& e = brushEngine;
  const size_t count = std::min(object.triangleWork->size(), size_t(object.triangleCount));
  TriangleWork* faces = object.triangleWork->data();
  const std::span<const uint32_t> listed = kept ? MarkedTrianglesOf(object) : std::span<const uint32_t>{};
  if (listed.data() != nullptr) {
    for (const uint32_t t : listed) {
      if (t < count) faces[t].flags = 0;
    }
  } else {
    for (size_t t = 0; t < count; ++t) faces[t].flags = 0;
  }
  e.markedTriangles.clear();
  e.marksObject = nullptr;
  try {
    // One more than every triangle: a full list is never taken for a complete one.
    e.markedTriangles.reserve(count + 1);
  } catch (const std::bad_alloc&) {
    return;
  }
  e.marksObject = &object;
  e.marksSerial = object.serial;
}

// The paint colour in force, as the dabs blend it.
Rgb8 CurrentPaintColour() {
  const Rgb16 colour = PaintColourInForce();
  return Rgb8{uint8_t(colour.red >> 8), uint8_t(colour.green >> 8), uint8_t(colour.blue >> 8)};
}

}  // namespace

void BrushStroke(SceneObject* object, int room, float x, float y, float dx, float dy,
                 float pressure, float size, std::span<const float> depthBuffer) {
  if (object == nullptr || !HasWorkRecords(*object)) return;
  for (const float value : {x, y, dx, dy, pressure, size}) {
    if (!std::isfinite(value)) return;
  }
  BrushEngineState& e = brushEngine;
  if (e.profileShape != brushSettings.shape || e.profileShape == 0) {
    BuildBrushProfile(brushSettings.shape);
  }
  e.tilt = CurrentBrushTilt();
  e.paintColour = CurrentPaintColour();
  e.changedRect = kNothingDrawn;
  e.mirrored = false;
  e.segmentFromKept = BrushRecordsKept(*object);
  ClearChangedMarks(*object, e.segmentFromKept);

  const std::span<PointWork> records(object->pointWork->data(), size_t(object->pointCount));
  // The dabs start from the shape as it is, in the view the user looks through: records a
  // stroke kept are that already.
  const ViewProjection view = ViewForBrush(*object, false);
  if (!e.segmentFromKept) ProjectWorkRecords(records, view);
  // The tiles keep up with the points moved since they were built; once those are many, they
  // are built again, from records that are current before the first dab.
  if (e.segmentFromKept && e.tiles.projection != 0 && e.tiles.movedPoints.size() > size_t(e.tiles.count) / 8) {
    e.tiles.projection = 0;
  }

  std::array<SegmentCopy, kMostCopies> copies;
  const int copyCount = RepeatCopies(brushSettings.repeat, x, y, dx, dy, copies);
  const float start = e.accumulator;

  const bool symmetric = brushSettings.side == brush_side::kSymmetric;
  if (symmetric && PrepareBrushEngine()) {
    e.mirrored = true;
    ProjectWorkRecords(records, ViewForBrush(*object, true));
    std::fill(e.mirrorDepthBuffer.begin(), e.mirrorDepthBuffer.end(), kEmptyDepth);
    DrawDepthTriangles(e.mirrorDepthBuffer, kViewClip, object, true);
    for (int c = 0; c < copyCount; ++c) {
      const SegmentCopy& copy = copies[size_t(c)];
      e.accumulator = start;
      BrushSegment(object, room, kViewWidth - copy.x, copy.y, -copy.dx, copy.dy, pressure, size,
                   e.mirrorDepthBuffer);
    }
    e.mirrored = false;
    ProjectWorkRecords(records, view);
  }
  for (int c = 0; c < copyCount; ++c) {
    const SegmentCopy& copy = copies[size_t(c)];
    e.accumulator = start;
    BrushSegment(object, room, copy.x, copy.y, copy.dx, copy.dy, pressure, size, depthBuffer);
  }
  if (symmetric) e.changedRect = kViewClip;
}

void ExtendChangedRect(const SceneObject& object) {
  if (!HasWorkRecords(object)) return;
  const std::span<const Triangle> triangles = Triangles(object);
  const size_t count = std::min(triangles.size(), size_t(object.triangleCount));
  const TriangleWork* faces = object.triangleWork->data();
  const PointWork* work = object.pointWork->data();
  const uint32_t pointCount = uint32_t(object.pointCount);
  ClipRect& rect = brushEngine.changedRect;
  auto widenOver = [&](size_t t) {
    for (const uint32_t corner : triangles[t]) {
      if (corner < pointCount) Widen(rect, work[corner].sx, work[corner].sy);
    }
  };
  if (std::span<const uint32_t> marked = MarkedTrianglesOf(object); marked.data() != nullptr) {
    for (const uint32_t t : marked) {
      if (t < count) widenOver(t);
    }
    return;
  }
  for (size_t t = 0; t < count; ++t) {
    if (faces[t].flags != 0) widenOver(t);
  }
}

void KeepBrushRecords(const SceneObject& object) {
  BrushEngineState& e = brushEngine;
  e.keptObject = &object;
  e.keptSerial = object.serial;
  e.keptProjection = renderState.projectionPasses;
}

void ForgetBrushRecords() {
  brushEngine.keptObject = nullptr;
  brushEngine.segmentFromKept = false;
  brushEngine.marksObject = nullptr;
}

bool BrushRecordsKept(const SceneObject& object) {
  const BrushEngineState& e = brushEngine;
  return e.keptObject == &object && e.keptSerial == object.serial &&
         e.keptProjection == renderState.projectionPasses && (object.dirtyFlags & kDirtyNormals) == 0 &&
         HasWorkRecords(object);
}

std::span<const uint32_t> MarkedTrianglesOf(const SceneObject& object) {
  const BrushEngineState& e = brushEngine;
  if (e.marksObject != &object || e.marksSerial != object.serial ||
      e.markedTriangles.size() >= e.markedTriangles.capacity()) {
    return {};
  }
  // The list has room for every triangle, so its data is never null here.
  return {e.markedTriangles.data(), e.markedTriangles.size()};
}

}  // namespace tsv
