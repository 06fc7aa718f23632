// rasterisers.cpp: the shared triangle set-up and the five pixel variants. Each variant is a small
// struct that fills a corner's attributes and writes one pixel; the set-up is a template over it,
// so the inner loops have no calls through pointers.
#include "render/rasterisers.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "render/work_data.h"
#include "scene/scene_object.h"
#include "scene/shade_ramp.h"

namespace tsv {
namespace {

#define TSV_INLINE [[gnu::always_inline]] inline

// Edges and spans are short: most divisions have a small divisor. Those go through tables of
// reciprocals instead of the divide unit, which would otherwise dominate the set-up of the many
// small triangles of a dense mesh.
constexpr int kReciprocalCount = 1024;
// floor(2^40 / n) + 1: for 0 <= a < 2^18, (a * m) >> 40 is exactly floor(a / n), since the excess
// a * (m - 2^40 / n) / 2^40 stays below 2^-22, less than the gap 1 / n to the next integer.
constexpr std::array<uint64_t, kReciprocalCount> kIntegerReciprocals = [] {
  std::array<uint64_t, kReciprocalCount> table{};
  for (int n = 1; n < kReciprocalCount; ++n)
    table[size_t(n)] = (uint64_t(1) << 40) / uint64_t(n) + 1;
  return table;
}();
constexpr std::array<float, kReciprocalCount> kRealReciprocals = [] {
  std::array<float, kReciprocalCount> table{};
  for (int n = 1; n < kReciprocalCount; ++n) table[size_t(n)] = 1.0f / float(n);
  return table;
}();
constexpr int32_t kTableDividendLimit = 1 << 17;

// floor(delta / n) for n >= 1. A negative delta uses floor(d / n) = -1 - floor((-d - 1) / n),
// which is d's bits flipped on both sides, so no branch depends on the sign.
TSV_INLINE int32_t FloorDivide(int32_t delta, int32_t n) {
  const int32_t sign = delta >> 31;  // 0 or -1
  const int32_t magnitude = delta ^ sign;
  if (n < kReciprocalCount && magnitude < kTableDividendLimit) {
    const int32_t q =
        int32_t((uint64_t(uint32_t(magnitude)) * kIntegerReciprocals[size_t(n)]) >> 40);
    return q ^ sign;
  }
  int32_t q = delta / n;
  if (q * n > delta) --q;
  return q;
}

// delta / n in floating point (n >= 1).
TSV_INLINE float RealDivide(float delta, int32_t n) {
  return n < kReciprocalCount ? delta * kRealReciprocals[size_t(n)] : delta / float(n);
}

// One attribute walked along an edge or a span: per step it grows by the floor quotient of
// delta / count, plus one whenever the error term says the remainder has carried (the error
// starts at 2 remainder - count; a carry adds remainder - count to it, no carry adds remainder).
struct Stepper {
  int32_t value = 0;
  int32_t quotientPlusOne = 1;
  int32_t count = 1;
  int32_t wrap = 0;  // remainder - count: what a carry adds to the error
  int32_t error = 0;

  TSV_INLINE void Init(int32_t start, int32_t end, int32_t steps) {
    const int32_t delta = end - start;
    const int32_t quotient = FloorDivide(delta, steps);
    const int32_t remainder = delta - quotient * steps;
    quotientPlusOne = quotient + 1;
    count = steps;
    wrap = remainder - steps;
    error = 2 * remainder - steps;
    value = start;
  }

  // Without a branch: noCarry is -1 when the error is negative, else 0.
  TSV_INLINE void Step() {
    const int32_t noCarry = error >> 31;
    value += quotientPlusOne + noCarry;
    error += wrap + (noCarry & count);
  }

  // The state after k steps, straight after Init (0 <= k <= count): k steps carry
  // floor(remainder (k + 1) / count) times. Starts an edge or span at the clip.
  TSV_INLINE void Advance(int32_t k) {
    if (k <= 0) return;
    const int64_t remainder = int64_t(wrap) + count;
    const int64_t carries = remainder * (int64_t(k) + 1) / count;
    value = int32_t(int64_t(value) + int64_t(quotientPlusOne - 1) * k + carries);
    error = int32_t(2 * remainder - count + int64_t(k) * remainder - int64_t(count) * carries);
  }
};

// A corner ready for the set-up: screen position, depth, the variant's integer attributes and,
// for the textured variant, its texture coordinates.
template <int N>
struct Corner {
  int32_t x = 0, y = 0;
  float depth = 0;
  float u = 0, v = 0;
  std::array<int32_t, N> a{};
};

template <int N, bool UV>
struct EdgeWalk {
  Stepper x;
  std::array<Stepper, N> a;
  float depth = 0, depthStep = 0;
  float u = 0, uStep = 0, v = 0, vStep = 0;

  // The edge from `from` to `to` over `rows` rows, placed `skip` rows below `from`
  // (0 <= skip < rows).
  TSV_INLINE void Init(const Corner<N>& from, const Corner<N>& to, int32_t rows, int32_t skip) {
    x.Init(from.x, to.x, rows);
    x.Advance(skip);
    for (int i = 0; i < N; ++i) {
      a[i].Init(from.a[i], to.a[i], rows);
      a[i].Advance(skip);
    }
    depthStep = RealDivide(to.depth - from.depth, rows);
    depth = from.depth + depthStep * float(skip);
    if constexpr (UV) {
      uStep = RealDivide(to.u - from.u, rows);
      vStep = RealDivide(to.v - from.v, rows);
      u = from.u + uStep * float(skip);
      v = from.v + vStep * float(skip);
    }
  }

  TSV_INLINE void Step() {
    x.Step();
    for (int i = 0; i < N; ++i) a[i].Step();
    depth += depthStep;
    if constexpr (UV) {
      u += uStep;
      v += vStep;
    }
  }
};

// The depth buffer and the clip, held within the view. Edges and spans start at the clip; only
// pixels within the write window (inside the clip) are written. A redraw of part of the view
// clips at the view and writes the part, so that every pixel of the part gets the values the
// whole view's redraw gives it.
struct DrawTarget {
  float* depth = nullptr;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  int32_t writeLeft = 0, writeTop = 0, writeRight = 0, writeBottom = 0;
  int32_t stride = kViewSide;  // elements per buffer row
};

// One span, from the left edge's column (inclusive) to the right edge's (exclusive).
template <class Kind, class Edge>
TSV_INLINE void DrawSpan(const Kind& kind, const DrawTarget& target, const Edge& left,
                         const Edge& right, int32_t row) {
  constexpr int N = Kind::kInts;
  const int32_t xl = left.x.value, xr = right.x.value;
  const int32_t start = std::max(xl, target.left);
  const int32_t end = std::min(xr, target.writeRight);
  const int32_t writeFrom = std::max(start, target.writeLeft);
  if (writeFrom >= end) return;
  const size_t rowBase = size_t(row) * size_t(target.stride);
  float* depthRow = target.depth + rowBase;
  const int32_t columns = xr - xl;
  std::array<Stepper, N> a;

  if (columns == 1) {  // one pixel, with the left edge's attributes: nothing to step
    if (left.depth > depthRow[xl]) {
      depthRow[xl] = left.depth;
      for (int i = 0; i < N; ++i) a[i].value = left.a[i].value;
      kind.Pixel(rowBase + size_t(xl), a, left.u, left.v);
    }
    return;
  }

  const int32_t skip = start - xl;  // columns cut off on the left: attributes start at the clip
  const float depthStep = RealDivide(right.depth - left.depth, columns);
  float depth = left.depth + depthStep * float(skip);
  for (int i = 0; i < N; ++i) {
    a[i].Init(left.a[i].value, right.a[i].value, columns);
    a[i].Advance(skip);
  }
  float u = 0, uStep = 0, v = 0, vStep = 0;
  if constexpr (Kind::kUV) {
    uStep = RealDivide(right.u - left.u, columns);
    vStep = RealDivide(right.v - left.v, columns);
    u = left.u + uStep * float(skip);
    v = left.v + vStep * float(skip);
  }

  for (int32_t j = start; j < writeFrom; ++j) {  // outside the write window: stepped over
    depth += depthStep;
    for (int i = 0; i < N; ++i) a[i].Step();
    if constexpr (Kind::kUV) {
      u += uStep;
      v += vStep;
    }
  }
  for (int32_t j = writeFrom; j < end; ++j) {
    if (depth > depthRow[j]) {
      depthRow[j] = depth;
      kind.Pixel(rowBase + size_t(j), a, u, v);
    }
    depth += depthStep;
    for (int i = 0; i < N; ++i) a[i].Step();
    if constexpr (Kind::kUV) {
      u += uStep;
      v += vStep;
    }
  }
}

// Rows first .. last, each edge stepped onto the row before its span is drawn.
template <class Kind, class Edge>
TSV_INLINE void DrawRows(const Kind& kind, const DrawTarget& target, Edge& left, Edge& right,
                         int32_t first, int32_t last) {
  for (int32_t row = first; row <= last; ++row) {
    left.Step();
    right.Step();
    if (row >= target.writeTop) DrawSpan(kind, target, left, right, row);
  }
}

// Rows top + 1 .. bottom of a triangle whose corners are sorted by row (c0 top, c2 bottom). Each
// edge starts one row above the first row it draws, so the first drawn row holds one step.
template <class Kind>
TSV_INLINE void DrawSortedTriangle(const Kind& kind, const DrawTarget& target,
                                   const Corner<Kind::kInts>& c0, const Corner<Kind::kInts>& c1,
                                   const Corner<Kind::kInts>& c2, int32_t firstRow,
                                   int32_t lastRow) {
  using Edge = EdgeWalk<Kind::kInts, Kind::kUV>;
  // Negative: the middle corner lies right of the long edge top -> bottom, which is then the
  // left edge. Collinear corners give no area; either side will do.
  const int64_t side = int64_t(c2.x - c0.x) * (c1.y - c0.y) - int64_t(c2.y - c0.y) * (c1.x - c0.x);
  const bool longIsLeft = side <= 0;

  Edge longEdge, shortEdge;
  longEdge.Init(c0, c2, c2.y - c0.y, firstRow - 1 - c0.y);
  int32_t row = firstRow;
  if (row <= c1.y) {
    shortEdge.Init(c0, c1, c1.y - c0.y, row - 1 - c0.y);
    const int32_t end = std::min(c1.y, lastRow);
    if (longIsLeft) {
      DrawRows(kind, target, longEdge, shortEdge, row, end);
    } else {
      DrawRows(kind, target, shortEdge, longEdge, row, end);
    }
    row = end + 1;
  }
  if (row <= lastRow) {
    shortEdge.Init(c1, c2, c2.y - c1.y, row - 1 - c1.y);
    if (longIsLeft) {
      DrawRows(kind, target, longEdge, shortEdge, row, lastRow);
    } else {
      DrawRows(kind, target, shortEdge, longEdge, row, lastRow);
    }
  }
}

// The common set-up for one drawn triangle (F, G, H).
template <class Kind>
TSV_INLINE void DrawTriangle(const Kind& kind, const DrawTarget& target, ClipRect& drawn,
                             const PointWork* points, uint32_t f, uint32_t g, uint32_t h) {
  const PointWork& pf = points[f];
  const PointWork& pg = points[g];
  const PointWork& ph = points[h];
  // Back faces: drawn only when (H - F) x (G - F) is not negative on screen.
  const int64_t facing =
      int64_t(ph.sx - pf.sx) * (pg.sy - pf.sy) - int64_t(pg.sx - pf.sx) * (ph.sy - pf.sy);
  if (facing < 0) return;

  // Sort by row, top first; on equal rows the earlier corner stays first.
  const PointWork* sorted[3] = {&pf, &pg, &ph};
  uint32_t index[3] = {f, g, h};
  auto swap = [&](int i, int j) {
    std::swap(sorted[i], sorted[j]);
    std::swap(index[i], index[j]);
  };
  if (sorted[1]->sy < sorted[0]->sy) swap(0, 1);
  if (sorted[2]->sy < sorted[1]->sy) {
    swap(1, 2);
    if (sorted[1]->sy < sorted[0]->sy) swap(0, 1);
  }
  const int32_t top = sorted[0]->sy, bottom = sorted[2]->sy;
  if (top > target.writeBottom || bottom < target.writeTop) return;
  const int32_t minX = std::min({pf.sx, pg.sx, ph.sx});
  const int32_t maxX = std::max({pf.sx, pg.sx, ph.sx});
  if (minX > target.writeRight || maxX < target.writeLeft) return;
  // The top corner's own row is never drawn, so a triangle on one row draws nothing.
  const int32_t firstRow = std::max(top + 1, target.top);
  const int32_t lastRow = std::min(bottom, target.writeBottom - 1);
  const int32_t firstWritten = std::max(firstRow, target.writeTop);
  if (firstWritten > lastRow) return;
  drawn.top = std::min(drawn.top, firstWritten);
  drawn.bottom = std::max(drawn.bottom, lastRow + 1);
  drawn.left = std::min(drawn.left, std::max(minX, target.writeLeft));
  drawn.right = std::max(drawn.right, std::min(maxX, target.writeRight - 1) + 1);

  Corner<Kind::kInts> corners[3];
  for (int i = 0; i < 3; ++i) {
    corners[i].x = sorted[i]->sx;
    corners[i].y = sorted[i]->sy;
    corners[i].depth = sorted[i]->depth;
    kind.FillCorner(index[i], *sorted[i], corners[i]);
  }
  DrawSortedTriangle(kind, target, corners[0], corners[1], corners[2], firstRow, lastRow);
}

// Walks the object's triangles in index order. Full detail: each triangle (p0, p1, p2) is drawn
// as (p0, p2, p1). Otherwise, on a Fast Synthetic object, each group of four children gives back
// its parent: corner 0 of child 0, corner 2 of child 3, corner 1 of child 1. Triangles after the
// last whole group of four (an object whose count is not a multiple of four) are drawn in full
// detail rather than dropped.
template <class Kind>
void DrawObjectTriangles(const Kind& kind, std::span<float> depthBuffer, const ClipRect& clip,
                         const SceneObject& object, bool fullDetail,
                         const std::vector<uint32_t>* only = nullptr) {
  if (depthBuffer.size() < size_t(kViewPixelCount) || !HasWorkRecords(object)) return;
  const std::span<const Triangle> all = Triangles(object);
  const size_t count = std::min(all.size(), size_t(object.triangleCount));
  if (count == 0) return;
  const ClipRect held = ClipWithinView(clip);
  if (held.left >= held.right || held.top >= held.bottom) return;
  // A part of the view is stepped as the whole view's redraw steps it.
  const ClipRect stepped = only != nullptr ? kViewClip : held;
  const DrawTarget target{depthBuffer.data(), stepped.left, stepped.top, stepped.right, stepped.bottom,
                          held.left, held.top, held.right, held.bottom};
  // A local bound, merged into the shared one at the end: the pixel stores cannot alias it.
  ClipRect drawn = renderState.drawnBounds;
  const PointWork* points = object.pointWork->data();
  const Triangle* triangles = all.data();
  const uint32_t pointCount = uint32_t(object.pointCount);
  auto valid = [pointCount](uint32_t a, uint32_t b, uint32_t c) {
    return a < pointCount && b < pointCount && c < pointCount;
  };

  if (only != nullptr) {
    for (const uint32_t t : *only) {
      if (t >= count) continue;
      const Triangle& tri = triangles[t];
      if (valid(tri[0], tri[1], tri[2])) DrawTriangle(kind, target, drawn, points, tri[0], tri[2], tri[1]);
    }
    renderState.drawnBounds = drawn;
    return;
  }
  size_t fullFrom = 0;
  if (!fullDetail && object.isFastSynthetic != 0) {
    const size_t groups = count / 4;
    for (size_t j = 0; j < groups; ++j) {
      const Triangle* group = triangles + 4 * j;
      const uint32_t p0 = group[0][0], p1 = group[1][1], p2 = group[3][2];
      if (valid(p0, p1, p2)) DrawTriangle(kind, target, drawn, points, p0, p2, p1);
    }
    fullFrom = groups * 4;
  }
  for (size_t t = fullFrom; t < count; ++t) {
    const Triangle& tri = triangles[t];
    if (valid(tri[0], tri[1], tri[2]))
      DrawTriangle(kind, target, drawn, points, tri[0], tri[2], tri[1]);
  }
  renderState.drawnBounds = drawn;
}

int32_t ClampedShade(int16_t shade) { return std::clamp<int32_t>(shade, 0, 255); }

uint8_t HighByte(uint16_t component) { return uint8_t(component >> 8); }

// --- The five variants ---------------------------------------------------------------------

struct ShadedKind {
  static constexpr int kInts = 1;
  static constexpr bool kUV = false;
  uint8_t* out;
  void FillCorner(uint32_t, const PointWork& p, Corner<1>& c) const {
    c.a[0] = ClampedShade(p.shade);
  }
  void Pixel(size_t index, const std::array<Stepper, 1>& a, float, float) const {
    out[index] = uint8_t(a[0].value);
  }
};

struct DepthKind {
  static constexpr int kInts = 0;
  static constexpr bool kUV = false;
  void FillCorner(uint32_t, const PointWork&, Corner<0>&) const {}
  void Pixel(size_t, const std::array<Stepper, 0>&, float, float) const {}
};

struct PaintedKind {
  static constexpr int kInts = 3;
  static constexpr bool kUV = false;
  uint32_t* out;
  const Rgb8* paint;
  std::array<int32_t, 3> ambient;   // full 16-bit components
  std::array<int32_t, 3> specular;  // full 16-bit components

  void FillCorner(uint32_t point, const PointWork& p, Corner<3>& c) const {
    const int32_t s = ClampedShade(p.shade);
    const int32_t d = renderState.diffuseRamp[size_t(s)];
    const int32_t sp = renderState.specularRamp[size_t(s)];
    const Rgb8& colour = paint[point];
    const int32_t base[3] = {colour.red, colour.green, colour.blue};
    for (int i = 0; i < 3; ++i) {
      const int32_t x = ((((ambient[size_t(i)] * (256 - d)) >> 16) + d) * base[i] >> 8) +
                        ((specular[size_t(i)] * sp) >> 16);
      c.a[size_t(i)] = std::clamp(x, 0, 255);
    }
  }
  void Pixel(size_t index, const std::array<Stepper, 3>& a, float, float) const {
    out[index] = (uint32_t(a[0].value) << 16) | (uint32_t(a[1].value) << 8) | uint32_t(a[2].value);
  }
};

struct TexturedKind {
  static constexpr int kInts = 4;  // shade, red, green, blue
  static constexpr bool kUV = true;
  uint32_t* out;
  const uint32_t* texels;
  const Rgb8* paint;  // null: every corner has the diffuse colour
  Rgb8 diffuse;
  const Uv* uv;
  float uvScale;  // textureZoom / 2
  float uOffset, vOffset;
  std::array<int32_t, 3> ambient;   // high bytes
  std::array<int32_t, 3> specular;  // high bytes

  void FillCorner(uint32_t point, const PointWork& p, Corner<4>& c) const {
    c.a[0] = ClampedShade(p.shade);
    const Rgb8& colour = paint != nullptr ? paint[point] : diffuse;
    c.a[1] = colour.red;
    c.a[2] = colour.green;
    c.a[3] = colour.blue;
    // Held far inside the int range so that truncating an interpolated coordinate is always
    // defined; at 2^24 a float has no fraction left anyway.
    constexpr float kLimit = 16777216.0f;
    const float u = uv[point].u * uvScale + uOffset;
    const float v = uv[point].v * uvScale + vOffset;
    c.u = std::isfinite(u) ? std::clamp(u, -kLimit, kLimit) : 0.0f;
    c.v = std::isfinite(v) ? std::clamp(v, -kLimit, kLimit) : 0.0f;
  }
  void Pixel(size_t index, const std::array<Stepper, 4>& a, float u, float v) const {
    // Truncate, then keep the low 8 bits: the texture repeats every 256 texels.
    const uint32_t texel =
        texels[(uint32_t(int32_t(v)) & 255u) * 256u + (uint32_t(int32_t(u)) & 255u)];
    const int32_t weight = int32_t(texel >> 24);
    const int32_t mixed[3] = {((a[1].value * weight) >> 8) + int32_t((texel >> 16) & 255u),
                              ((a[2].value * weight) >> 8) + int32_t((texel >> 8) & 255u),
                              ((a[3].value * weight) >> 8) + int32_t(texel & 255u)};
    const size_t s = size_t(a[0].value);
    const int32_t d = renderState.diffuseRamp[s];
    const int32_t sp = renderState.specularRamp[s];
    uint32_t pixel = 0;
    for (int i = 0; i < 3; ++i) {
      int32_t x = ((((d << 8) + ambient[size_t(i)] * (256 - d)) * mixed[i]) >> 16) +
                  ((specular[size_t(i)] * sp) >> 8);
      x = std::min(x, 255);
      pixel = (pixel << 8) | uint32_t(x);
    }
    out[index] = pixel;
  }
};

struct MaskKind {
  static constexpr int kInts = 2;  // grey, masked grey
  static constexpr bool kUV = false;
  uint32_t* out;
  const uint8_t* mask;

  void FillCorner(uint32_t point, const PointWork& p, Corner<2>& c) const {
    const int32_t s = p.shade;
    const int32_t grey = s < 128 ? 64 : std::min(255, 64 + (((s - 128) * 192) >> 7));
    c.a[0] = grey;
    c.a[1] = (int32_t(mask[point]) * grey) >> 8;
  }
  void Pixel(size_t index, const std::array<Stepper, 2>& a, float, float) const {
    out[index] = (uint32_t(a[0].value) << 16) | (uint32_t(a[1].value) << 8) | uint32_t(a[1].value);
  }
};

bool HasPointArray(size_t size, const SceneObject& object) {
  return size >= size_t(std::max(object.pointCount, 0));
}

}  // namespace

ClipRect ClipWithinView(const ClipRect& clip) {
  ClipRect held;
  held.left = std::clamp(clip.left, 0, kViewSide);
  held.right = std::clamp(clip.right, 0, kViewSide);
  held.top = std::clamp(clip.top, 0, kViewSide);
  held.bottom = std::clamp(clip.bottom, 0, kViewSide);
  return held;
}

void BuildLightTables(const SceneObject& object) {
  const Optics& optics = object.optics;
  const double n = SpecularExponent(optics.shininess);
  for (int i = 0; i < 256; ++i) {
    int specular = 0;
    if (i >= 128) {
      const double t = (i - 128) * 0.007874016;
      specular = std::clamp(int(255.0 * HighlightCurve(t, n)), 0, 256);
    }
    renderState.specularRamp[size_t(i)] = int16_t(specular);
    renderState.diffuseRamp[size_t(i)] =
        int16_t(DiffuseWeight(i, optics.ambientLevel, optics.diffuseStrength));
  }
}

void DrawShadedTriangles(std::span<uint8_t> shadeBuffer, std::span<float> depthBuffer,
                         const ClipRect& clip, SceneObject* object, bool fullDetail,
                         const std::vector<uint32_t>* only) {
  if (object == nullptr || shadeBuffer.size() < size_t(kViewPixelCount)) return;
  ShadedKind kind{shadeBuffer.data()};
  DrawObjectTriangles(kind, depthBuffer, clip, *object, fullDetail, only);
}

void DrawDepthTriangles(std::span<float> depthBuffer, const ClipRect& clip, SceneObject* object,
                        bool fullDetail) {
  if (object == nullptr) return;
  DepthKind kind;
  DrawObjectTriangles(kind, depthBuffer, clip, *object, fullDetail);
}

void DrawDepthTrianglesSized(std::span<float> depthBuffer, int width, int height,
                             std::span<const PointWork> corners, std::span<const Triangle> triangles) {
  if (width <= 0 || height <= 0 || width > kMaxDepthTargetSide || height > kMaxDepthTargetSide ||
      depthBuffer.size() < size_t(width) * size_t(height))
    return;
  const DrawTarget target{depthBuffer.data(), 0, 0, width, height, 0, 0, width, height, width};
  ClipRect drawn = kNothingDrawn;  // the view's drawn bounds are not this buffer's business
  const DepthKind kind;
  const PointWork* points = corners.data();
  const size_t pointCount = corners.size();
  for (const Triangle& tri : triangles) {
    if (tri[0] >= pointCount || tri[1] >= pointCount || tri[2] >= pointCount) continue;
    const PointWork& a = points[tri[0]];
    const PointWork& b = points[tri[1]];
    const PointWork& c = points[tri[2]];
    // Whichever side faces this buffer: DrawTriangle keeps (F, G, H) when it faces it.
    const int64_t facing = int64_t(b.sx - a.sx) * (c.sy - a.sy) - int64_t(c.sx - a.sx) * (b.sy - a.sy);
    if (facing >= 0) {
      DrawTriangle(kind, target, drawn, points, tri[0], tri[2], tri[1]);
    } else {
      DrawTriangle(kind, target, drawn, points, tri[0], tri[1], tri[2]);
    }
  }
}

void DrawPaintedTriangles(std::span<uint32_t> colourBuffer, std::span<float> depthBuffer,
                          const ClipRect& clip, SceneObject* object, bool fullDetail,
                          const std::vector<uint32_t>* only) {
  if (object == nullptr || colourBuffer.size() < size_t(kViewPixelCount)) return;
  if (!HasPointArray(object->pointColors.size(), *object)) return;
  const Optics& optics = object->optics;
  PaintedKind kind{
      colourBuffer.data(),
      object->pointColors.data(),
      {optics.ambientColor.red, optics.ambientColor.green, optics.ambientColor.blue},
      {optics.specularColor.red, optics.specularColor.green, optics.specularColor.blue}};
  DrawObjectTriangles(kind, depthBuffer, clip, *object, fullDetail, only);
}

void DrawTexturedTriangles(std::span<uint32_t> colourBuffer, std::span<float> depthBuffer,
                           const ClipRect& clip, SceneObject* object, bool fullDetail,
                           bool texturedObjects, const std::vector<uint32_t>* only) {
  if (object == nullptr || colourBuffer.size() < size_t(kViewPixelCount)) return;
  const bool painted = object->optics.isPainted != 0;
  if (painted && (object->textureImage.empty() || !texturedObjects)) {
    DrawPaintedTriangles(colourBuffer, depthBuffer, clip, object, fullDetail, only);
    return;
  }
  if (renderState.textureWorkImage.size() < size_t(kTexturePixelCount)) return;
  if (!HasPointArray(object->pointUV.size(), *object)) return;
  if (painted && !HasPointArray(object->pointColors.size(), *object)) return;
  const Optics& optics = object->optics;
  TexturedKind kind{colourBuffer.data(),
                    renderState.textureWorkImage.data(),
                    painted ? object->pointColors.data() : nullptr,
                    Rgb8{HighByte(optics.diffuseColor.red), HighByte(optics.diffuseColor.green),
                         HighByte(optics.diffuseColor.blue)},
                    object->pointUV.data(),
                    object->textureZoom / 2.0f,
                    float(object->textureOffset[0]),
                    float(object->textureOffset[1]),
                    {HighByte(optics.ambientColor.red), HighByte(optics.ambientColor.green),
                     HighByte(optics.ambientColor.blue)},
                    {HighByte(optics.specularColor.red), HighByte(optics.specularColor.green),
                     HighByte(optics.specularColor.blue)}};
  DrawObjectTriangles(kind, depthBuffer, clip, *object, fullDetail, only);
}

void DrawMaskTriangles(std::span<uint32_t> colourBuffer, std::span<float> depthBuffer,
                       const ClipRect& clip, SceneObject* object, bool fullDetail,
                       const std::vector<uint32_t>* only) {
  if (object == nullptr || colourBuffer.size() < size_t(kViewPixelCount)) return;
  if (!HasPointArray(object->pointMask.size(), *object)) return;
  MaskKind kind{colourBuffer.data(), object->pointMask.data()};
  DrawObjectTriangles(kind, depthBuffer, clip, *object, fullDetail, only);
}

}  // namespace tsv

#undef TSV_INLINE
