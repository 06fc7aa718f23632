// quorvel_surface.cpp: the metaball field, the surface extraction on the grid (followed from each
// ball's seed through the faces the surface crosses), the generated object with its refinement,
// and the preview mesh.
//
// Cube corners: 0 (0,0,0), 1 (1,0,0), 2 (1,0,1), 3 (0,0,1) on the lower y face, 4..7 the same
// above them. Edges: 0..3 around the lower face (0-1, 1-2, 2-3, 3-0), 4..7 around the upper one,
// 8..11 upward from corners 0..3. Each grid edge is named by its lower grid vertex and its axis,
// so the cubes around it find the same output vertex.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <memory>
#include <new>
#include <span>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/events.h"
#include "platform/progress.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "render/work_data.h"
#include "scene/object_table.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "tools/quorvels.h"

namespace tsv {
namespace {

constexpr float kInsideOffset = 0.11111f;  // the field's w (1 - q) / (q + 0.11111)
constexpr float kBoxMargin = 0.2f;         // the box is widened by this on each side (world units)
constexpr int kCancelInterval = 4096;      // cubes between two looks at the cancel gesture
// An interpolated vertex keeps this fraction of its edge away from both ends, so that a corner
// value of exactly 0 cannot put several vertices on one spot (triangles without area).
constexpr float kEdgeMargin = 0.001f;

struct Corner {
  int x, y, z;
};
constexpr std::array<Corner, 8> kCorners = {{{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1},
                                             {0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}}};
constexpr std::array<std::array<int, 2>, 12> kEdgeCorners = {
    {{0, 1}, {1, 2}, {3, 2}, {0, 3}, {4, 5}, {5, 6}, {7, 6}, {4, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}}};

// Each edge as its lower grid vertex (offset in the cube) and axis (0 x, 1 y, 2 z): the first
// corner of kEdgeCorners is always the lower end.
struct EdgeRef {
  int x, y, z, axis;
};
constexpr std::array<EdgeRef, 12> BuildEdgeRefs() {
  std::array<EdgeRef, 12> refs{};
  for (size_t e = 0; e < 12; ++e) {
    const Corner a = kCorners[size_t(kEdgeCorners[e][0])], b = kCorners[size_t(kEdgeCorners[e][1])];
    refs[e] = {a.x, a.y, a.z, b.x != a.x ? 0 : b.y != a.y ? 1 : 2};
  }
  return refs;
}
constexpr std::array<EdgeRef, 12> kEdgeRefs = BuildEdgeRefs();

// The faces in the order of their kFace bits (1 +y, 2 -y, 4 -x, 8 +x, 16 -z, 32 +z): the outward
// normal and the four corners around it.
struct Face {
  int nx, ny, nz;
  std::array<int, 4> corners;
  int dx, dy, dz;  // the neighbour across it
};
constexpr std::array<Face, 6> kFaces = {{{0, 1, 0, {4, 5, 6, 7}, 0, 1, 0},
                                         {0, -1, 0, {0, 1, 2, 3}, 0, -1, 0},
                                         {-1, 0, 0, {0, 3, 7, 4}, -1, 0, 0},
                                         {1, 0, 0, {1, 2, 6, 5}, 1, 0, 0},
                                         {0, 0, -1, {0, 1, 5, 4}, 0, 0, -1},
                                         {0, 0, 1, {3, 2, 6, 7}, 0, 0, 1}}};

constexpr uint8_t FaceCornerMask(const Face& face) {
  uint8_t m = 0;
  for (int c : face.corners) m = uint8_t(m | (1u << c));
  return m;
}

// The edge joining two corners of the cube; -1 for corners that no edge joins.
constexpr std::array<std::array<int, 8>, 8> BuildEdgesBetween() {
  std::array<std::array<int, 8>, 8> table{};
  for (auto& row : table) row.fill(-1);
  for (size_t e = 0; e < 12; ++e) {
    table[size_t(kEdgeCorners[e][0])][size_t(kEdgeCorners[e][1])] = int(e);
    table[size_t(kEdgeCorners[e][1])][size_t(kEdgeCorners[e][0])] = int(e);
  }
  return table;
}
constexpr std::array<std::array<int, 8>, 8> kEdgesBetween = BuildEdgesBetween();

// Each face's corners in counter-clockwise order as seen from outside the cube: (c1 - c0) x
// (c3 - c0) points along the outward normal.
constexpr std::array<std::array<int, 4>, 6> BuildFaceOrders() {
  std::array<std::array<int, 4>, 6> orders{};
  for (size_t f = 0; f < kFaces.size(); ++f) {
    const Face& face = kFaces[f];
    std::array<int, 4> order = face.corners;
    const Corner c0 = kCorners[size_t(order[0])], c1 = kCorners[size_t(order[1])], c3 = kCorners[size_t(order[3])];
    const int ax = c1.x - c0.x, ay = c1.y - c0.y, az = c1.z - c0.z;
    const int bx = c3.x - c0.x, by = c3.y - c0.y, bz = c3.z - c0.z;
    const int cx = ay * bz - az * by, cy = az * bx - ax * bz, cz = ax * by - ay * bx;
    if (cx * face.nx + cy * face.ny + cz * face.nz < 0) std::swap(order[1], order[3]);
    orders[f] = order;
  }
  return orders;
}
constexpr std::array<std::array<int, 4>, 6> kFaceOrders = BuildFaceOrders();

// For a step through face f: which corner of the cube left behind each corner of the new cube is
// (-1 for the four corners beyond the shared face). Their signs are carried over, not looked up.
constexpr std::array<std::array<int, 8>, 6> BuildCarriedCorners() {
  std::array<std::array<int, 8>, 6> table{};
  for (size_t f = 0; f < kFaces.size(); ++f) {
    for (size_t c = 0; c < 8; ++c) {
      const int x = kCorners[c].x + kFaces[f].dx, y = kCorners[c].y + kFaces[f].dy, z = kCorners[c].z + kFaces[f].dz;
      table[f][c] = -1;
      for (size_t from = 0; from < 8; ++from) {
        if (kCorners[from].x == x && kCorners[from].y == y && kCorners[from].z == z) table[f][c] = int(from);
      }
    }
  }
  return table;
}
constexpr std::array<std::array<int, 8>, 6> kCarriedCorners = BuildCarriedCorners();

// The same as masks: for a step through face f from a cube of mask m, the signs the new cube
// starts with (kCarriedSigns[f][m]) on its corners kCarriedKnown[f].
constexpr std::array<uint8_t, 6> BuildCarriedKnown() {
  std::array<uint8_t, 6> known{};
  for (size_t f = 0; f < 6; ++f) {
    for (size_t c = 0; c < 8; ++c) {
      if (kCarriedCorners[f][c] >= 0) known[f] = uint8_t(known[f] | (1u << c));
    }
  }
  return known;
}
constexpr std::array<uint8_t, 6> kCarriedKnown = BuildCarriedKnown();
constexpr std::array<std::array<uint8_t, 256>, 6> BuildCarriedSigns() {
  std::array<std::array<uint8_t, 256>, 6> signs{};
  for (size_t f = 0; f < 6; ++f) {
    for (size_t m = 0; m < 256; ++m) {
      for (size_t c = 0; c < 8; ++c) {
        const int from = kCarriedCorners[f][c];
        if (from >= 0 && ((m >> from) & 1u)) signs[f][m] = uint8_t(signs[f][m] | (1u << c));
      }
    }
  }
  return signs;
}
constexpr std::array<std::array<uint8_t, 256>, 6> kCarriedSigns = BuildCarriedSigns();

// The triangles of one corner mask, as edges, and the same triangles as the cube's crossed edges
// in the order of their first use (`crossed`, edgeCount of them; `corners` the triangles' corners
// as places in that order), so that each crossing is looked up once per cube.
struct CubeCase {
  uint8_t triangleCount = 0;
  uint8_t faces = 0;  // the kFace bits of the faces whose corners are mixed: the surface goes on there
  uint8_t edgeCount = 0;
  std::array<uint8_t, 36> edges{};
  std::array<uint8_t, 12> crossed{};
  std::array<uint8_t, 36> corners{};
};

// The triangle table, derived rather than typed in. On every face, walked counter-clockwise as
// seen from outside the cube, each run of inside corners gives one segment of the surface, from
// the edge where the walk enters the run to the edge where it leaves it; the segments chain into
// closed loops, and a loop fanned from its first vertex gives triangles that face the outside
// (field below the threshold). A face with two diagonal inside corners has two runs, so its
// inside corners are always cut apart: the rule depends on the face's corners alone, which is why
// the two cubes sharing a face agree and the surface has no holes. The two cubes walk a shared
// face in opposite directions, so the edges they share are wound oppositely.
constexpr std::array<CubeCase, 256> BuildCubeCases() {
  std::array<CubeCase, 256> cases{};
  for (int mask = 1; mask < 255; ++mask) {
    std::array<int, 12> next{};
    for (int& n : next) n = -1;
    for (const std::array<int, 4>& order : kFaceOrders) {
      std::array<bool, 4> inside{};
      for (size_t q = 0; q < 4; ++q) inside[q] = ((mask >> order[q]) & 1) != 0;
      for (size_t q = 0; q < 4; ++q) {
        if (!inside[q] || inside[(q + 3) % 4]) continue;  // not the start of an inside run
        const int enter = kEdgesBetween[size_t(order[(q + 3) % 4])][size_t(order[q])];
        size_t last = q;
        while (inside[(last + 1) % 4]) last = (last + 1) % 4;
        next[size_t(enter)] = kEdgesBetween[size_t(order[last])][size_t(order[(last + 1) % 4])];
      }
    }
    CubeCase& out = cases[size_t(mask)];
    for (size_t f = 0; f < kFaces.size(); ++f) {
      const int on = mask & FaceCornerMask(kFaces[f]);
      if (on != 0 && on != FaceCornerMask(kFaces[f])) out.faces = uint8_t(out.faces | (1u << f));
    }
    std::array<bool, 12> used{};
    for (size_t start = 0; start < 12; ++start) {
      if (next[start] < 0 || used[start]) continue;
      std::array<int, 12> loop{};
      size_t length = 0;
      for (int e = int(start); !used[size_t(e)]; e = next[size_t(e)]) {
        used[size_t(e)] = true;
        loop[length++] = e;
      }
      for (size_t v = 1; v + 1 < length; ++v) {
        out.edges[out.triangleCount * 3u] = uint8_t(loop[0]);
        out.edges[out.triangleCount * 3u + 1] = uint8_t(loop[v]);
        out.edges[out.triangleCount * 3u + 2] = uint8_t(loop[v + 1]);
        ++out.triangleCount;
      }
    }
    std::array<int, 12> place{};
    for (int& at : place) at = -1;
    for (size_t v = 0; v < out.triangleCount * 3u; ++v) {
      const uint8_t e = out.edges[v];
      if (place[e] < 0) {
        place[e] = out.edgeCount;
        out.crossed[out.edgeCount++] = e;
      }
      out.corners[v] = uint8_t(place[e]);
    }
  }
  return cases;
}
constexpr std::array<CubeCase, 256> kCubeCases = BuildCubeCases();

bool IsFinite(const Vec3f& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

float Component(const Vec3f& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

// The coefficients of one ball; false for a ball that adds nothing (no positive radius, no axis).
bool DeriveCoefficients(const Ball& ball, MetaballMode mode, BallCoefficients& c) {
  if (!(ball.r1 > 0.0f) || !std::isfinite(ball.r1) || !IsFinite(ball.centre) || !std::isfinite(ball.strength)) {
    return false;
  }
  c.centre = ball.centre;
  c.strength = ball.strength;
  if (mode == MetaballMode::Atomize) {
    // A radius so small that its square is 0 in single precision reaches nothing.
    const float squared = ball.r1 * ball.r1;
    if (!(squared > 0.0f)) return false;
    c.inverseRadiusSquared = 1.0f / squared;
    return std::isfinite(c.inverseRadiusSquared) && std::isfinite(squared);
  }
  if (!(ball.r2 > 0.0f) || !std::isfinite(ball.r2)) return false;
  // The axis is taken as a direction: r1 and r1 r2 alone set the ball's size.
  const Vec3f axis = Normalised(ball.axis);
  if (axis.x == 0.0f && axis.y == 0.0f && axis.z == 0.0f) return false;
  c.along = axis * (1.0f / ball.r1);
  c.across = c.along * (1.0f / ball.r2);
  return IsFinite(c.along) && IsFinite(c.across);
}

// How far a ball reaches from its centre along any axis.
float ReachOf(const Ball& ball, MetaballMode mode) {
  return mode == MetaballMode::Atomize ? ball.r1 : std::max(ball.r1, ball.r1 * ball.r2);
}

// How far a ball reaches from its centre along one grid axis: the half-extent of its ellipsoid (r1
// along its axis, r1 r2 across it) along that axis, a little widened against rounding. An
// ellipsoid on a turned axis reaches much less far along the grid axes than its largest radius.
float ReachAlong(const Ball& ball, MetaballMode mode, int axis) {
  if (mode == MetaballMode::Atomize) return ball.r1;
  const Vec3f v = Normalised(ball.axis);
  const double along = double(Component(v, axis)), r1 = double(ball.r1), across = double(ball.r1) * double(ball.r2);
  const double reach = std::sqrt(r1 * r1 * along * along + across * across * std::max(0.0, 1.0 - along * along));
  return float(std::min(reach * 1.001, double(ReachOf(ball, mode))));
}

inline float Contribution(const BallCoefficients& c, const Vec3f& p, MetaballMode mode) {
  const Vec3f d = p - c.centre;
  float q;
  if (mode == MetaballMode::Atomize) {
    q = Dot(d, d) * c.inverseRadiusSquared;
  } else {
    const float a = Dot(c.along, d);
    const Vec3f x = Cross(d, c.across);
    q = a * a + Dot(x, x);
  }
  return q <= 1.0f ? c.strength * (1.0f - q) / (q + kInsideOffset) : 0.0f;
}

// The cache holds the grid vertices plane by plane along i, each plane in tiles of 4 x 4 (j, k)
// vertices (16 values, one cache line of field values): a surface crossing a plane reads most of
// the values of each tile it loads, whichever way it runs.
constexpr int kTileShift = 2;
constexpr int kTileMask = (1 << kTileShift) - 1;

struct CacheLayout {
  size_t tilesK = 0;  // tiles along k
  size_t plane = 0;   // values per plane
};

CacheLayout LayoutOf(int resolution) {
  const size_t tiles = (size_t(resolution) + 1 + size_t(kTileMask)) >> kTileShift;
  return {tiles, tiles * tiles << (2 * kTileShift)};
}

inline size_t InPlane(const CacheLayout& layout, int j, int k) {
  return ((size_t(j >> kTileShift) * layout.tilesK + size_t(k >> kTileShift)) << (2 * kTileShift)) |
         (size_t(j & kTileMask) << kTileShift) | size_t(k & kTileMask);
}

// The cache indices of the eight corners of cube (i, j, k).
using CubeCorners = std::array<size_t, 8>;
inline CubeCorners CornersOf(const CacheLayout& layout, int i, int j, int k) {
  const size_t low = size_t(i) * layout.plane, high = low + layout.plane;
  const size_t a = InPlane(layout, j, k), b = InPlane(layout, j, k + 1);
  const size_t c = InPlane(layout, j + 1, k), d = InPlane(layout, j + 1, k + 1);
  // kCorners: 0 (0,0,0), 1 (1,0,0), 2 (1,0,1), 3 (0,0,1), then the same one step up in j.
  return {low + a, high + a, high + b, low + b, low + c, high + c, high + d, low + d};
}

size_t BinOfVertex(const MetaballGrid& g, int i, int j, int k) {
  const size_t n = size_t(g.binsPerAxis);
  const int shift = g.binShift;
  return (size_t(i >> shift) * n + size_t(j >> shift)) * n + size_t(k >> shift);
}

// A block's balls packed four at a time, field by field (kPackedFields runs of four lanes), so
// that four balls are weighed at once. A block is packed the first time the field is asked for in
// it; the lanes beyond its last ball are all zero and add exactly 0.
constexpr size_t kLanes = 4;
enum PackedField : size_t { kCx, kCy, kCz, kAx, kAy, kAz, kBx, kBy, kBz, kStrength, kInverseSquare, kPackedFields };
constexpr size_t kGroupFloats = kLanes * kPackedFields;
constexpr uint32_t kNotPacked = UINT32_MAX;

uint32_t PackBin(MetaballGrid& g, size_t bin) {
  const uint32_t start = g.binStart[bin], count = g.binStart[bin + 1] - start;
  const size_t groups = (count + kLanes - 1) / kLanes;
  const size_t at = g.binPacked.size();
  g.binPacked.resize(at + groups * kGroupFloats, 0.0f);
  for (uint32_t u = 0; u < count; ++u) {
    const BallCoefficients& c = g.coefficients[g.binBalls[start + u]];
    float* group = g.binPacked.data() + at + (u / kLanes) * kGroupFloats + u % kLanes;
    const std::array<float, kPackedFields> fields = {c.centre.x, c.centre.y, c.centre.z, c.along.x, c.along.y, c.along.z,
                                                     c.across.x, c.across.y, c.across.z, c.strength, c.inverseRadiusSquared};
    for (size_t f = 0; f < kPackedFields; ++f) group[f * kLanes] = fields[f];
  }
  g.binPackedAt[bin] = uint32_t(at);
  return uint32_t(at);
}

// The sum of the balls of one block at p, minus the threshold. Each lane computes a ball's
// contribution with the same operations in the same order as Contribution, and the lanes are
// added one after another in the order of the balls, so the sum is the one a plain loop makes.
float FieldInBin(MetaballGrid& g, size_t bin, const Vec3f& p) {
  uint32_t at = g.binPackedAt[bin];
  if (at == kNotPacked) at = PackBin(g, bin);
  const size_t groups = (g.binStart[bin + 1] - g.binStart[bin] + kLanes - 1) / kLanes;
  const float* group = g.binPacked.data() + at;
  const bool atomize = g.mode == MetaballMode::Atomize;
  float sum = 0.0f;
#ifdef __SSE2__
  const __m128 px = _mm_set1_ps(p.x), py = _mm_set1_ps(p.y), pz = _mm_set1_ps(p.z);
  const __m128 one = _mm_set1_ps(1.0f), offset = _mm_set1_ps(kInsideOffset);
  alignas(16) std::array<float, kLanes> lanes;
  for (size_t n = 0; n < groups; ++n, group += kGroupFloats) {
    auto field = [group](size_t f) { return _mm_loadu_ps(group + f * kLanes); };
    const __m128 dx = _mm_sub_ps(px, field(kCx)), dy = _mm_sub_ps(py, field(kCy)), dz = _mm_sub_ps(pz, field(kCz));
    __m128 q;
    if (atomize) {
      const __m128 dd = _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz));
      q = _mm_mul_ps(dd, field(kInverseSquare));
    } else {
      const __m128 a = _mm_add_ps(_mm_add_ps(_mm_mul_ps(field(kAx), dx), _mm_mul_ps(field(kAy), dy)),
                                  _mm_mul_ps(field(kAz), dz));
      const __m128 bx = field(kBx), by = field(kBy), bz = field(kBz);
      const __m128 xx = _mm_sub_ps(_mm_mul_ps(dy, bz), _mm_mul_ps(dz, by));
      const __m128 xy = _mm_sub_ps(_mm_mul_ps(dz, bx), _mm_mul_ps(dx, bz));
      const __m128 xz = _mm_sub_ps(_mm_mul_ps(dx, by), _mm_mul_ps(dy, bx));
      const __m128 cross = _mm_add_ps(_mm_add_ps(_mm_mul_ps(xx, xx), _mm_mul_ps(xy, xy)), _mm_mul_ps(xz, xz));
      q = _mm_add_ps(_mm_mul_ps(a, a), cross);
    }
    const __m128 value = _mm_div_ps(_mm_mul_ps(field(kStrength), _mm_sub_ps(one, q)), _mm_add_ps(q, offset));
    _mm_store_ps(lanes.data(), _mm_and_ps(value, _mm_cmple_ps(q, one)));
    sum += lanes[0];
    sum += lanes[1];
    sum += lanes[2];
    sum += lanes[3];
  }
#else
  // The same operations one lane at a time, without the vector unit.
  for (size_t n = 0; n < groups; ++n, group += kGroupFloats) {
    for (size_t lane = 0; lane < kLanes; ++lane) {
      auto field = [group, lane](size_t f) { return group[f * kLanes + lane]; };
      const float dx = p.x - field(kCx), dy = p.y - field(kCy), dz = p.z - field(kCz);
      float q;
      if (atomize) {
        q = (dx * dx + dy * dy + dz * dz) * field(kInverseSquare);
      } else {
        const float a = field(kAx) * dx + field(kAy) * dy + field(kAz) * dz;
        const float bx = field(kBx), by = field(kBy), bz = field(kBz);
        const float xx = dy * bz - dz * by, xy = dz * bx - dx * bz, xz = dx * by - dy * bx;
        q = a * a + (xx * xx + xy * xy + xz * xz);
      }
      const float value = field(kStrength) * (1.0f - q) / (q + kInsideOffset);
      sum += q <= 1.0f ? value : 0.0f;
    }
  }
#endif
  return sum - g.threshold;
}

// The grid vertex index along one axis a world coordinate falls in, clamped to the grid.
int VertexOnAxis(const MetaballGrid& g, float coordinate, int axis) {
  // Truncation is the floor here: what is below 0 (or not a number) has been clamped first.
  const float cell = (coordinate - Component(g.origin, axis)) / Component(g.step, axis);
  if (!(cell >= 0.0f)) return 0;
  return cell >= float(g.resolution) ? g.resolution : int(cell);
}

// The field of the prepared grid at any point (the refinement's probes).
float FieldAtPoint(MetaballGrid& g, const Vec3f& p) {
  return FieldInBin(g, BinOfVertex(g, VertexOnAxis(g, p.x, 0), VertexOnAxis(g, p.y, 1), VertexOnAxis(g, p.z, 2)), p);
}

Vec3f VertexPosition(const MetaballGrid& g, int i, int j, int k) {
  return {g.origin.x + float(i) * g.step.x, g.origin.y + float(j) * g.step.y, g.origin.z + float(k) * g.step.z};
}

// Whether grid vertex `index` has its record in this run at place r. Record 0 is nobody's, and
// stands in for places beyond the records, so that the look takes no branch.
constexpr uint32_t kNoVertex = UINT32_MAX;
inline bool HasRecordAt(const MetaballGrid& g, uint32_t r, size_t index) {
  const uint32_t at = r < g.records.size() ? r : 0;
  return g.records[at].vertex == index;
}

// A new record for grid vertex `index` at (i, j, k), with its field computed.
uint32_t NewRecord(MetaballGrid& g, size_t index, int i, int j, int k) {
  const uint32_t r = uint32_t(g.records.size());
  const float field = FieldInBin(g, BinOfVertex(g, i, j, k), VertexPosition(g, i, j, k));
  g.records.push_back(GridRecord{uint32_t(index), field});
  g.recordOf[index] = r;
  return r;
}

bool IsVisited(const MetaballGrid& g, size_t cell) { return (g.visited[cell >> 3] & (0x80u >> (cell & 7))) != 0; }
void MarkVisited(MetaballGrid& g, size_t cell) { g.visited[cell >> 3] = uint8_t(g.visited[cell >> 3] | (0x80u >> (cell & 7))); }

// The records of the eight corners of cube (i, j, k) into `records`, and the signs of those that
// `known` leaves out added to `mask`.
using CornerRecords = std::array<uint32_t, 8>;
inline uint8_t CornerSigns(MetaballGrid& g, const CubeCorners& corners, int i, int j, int k, uint8_t mask,
                           uint8_t known, CornerRecords& records) {
  for (size_t c = 0; c < 8; ++c) {
    records[c] = g.recordOf[corners[c]];
    if (!HasRecordAt(g, records[c], corners[c])) {
      const Corner& d = kCorners[c];
      records[c] = NewRecord(g, corners[c], i + d.x, j + d.y, k + d.z);
    }
    if ((known >> c) & 1u) continue;
    mask = uint8_t(mask | (uint32_t(g.records[records[c]].field >= 0.0f) << c));
  }
  return mask;
}

// The four corners of a cube reached through face f that it does not share with the cube left
// behind.
constexpr std::array<std::array<uint8_t, 4>, 6> BuildNewCorners() {
  std::array<std::array<uint8_t, 4>, 6> corners{};
  for (size_t f = 0; f < 6; ++f) {
    size_t q = 0;
    for (size_t c = 0; c < 8; ++c) {
      if (((kCarriedKnown[f] >> c) & 1u) == 0) corners[f][q++] = uint8_t(c);
    }
  }
  return corners;
}
constexpr std::array<std::array<uint8_t, 4>, 6> kNewCorners = BuildNewCorners();

// CornerSigns for a cube reached through face f, the carried signs in `mask`: the four new
// corners are read at once, and only those not computed yet are computed, so that the branches
// the reading takes do not depend on which ones are.
inline uint8_t NewCornerSigns(MetaballGrid& g, const CubeCorners& cube, int i, int j, int k, size_t f, uint8_t mask,
                              CornerRecords& records) {
  for (size_t c = 0; c < 8; ++c) records[c] = g.recordOf[cube[c]];
  const std::array<uint8_t, 4>& corners = kNewCorners[f];
  uint32_t missing = 0;
  for (size_t q = 0; q < 4; ++q) {
    missing |= uint32_t(!HasRecordAt(g, records[corners[q]], cube[corners[q]])) << q;
  }
  while (missing != 0) {
    const size_t c = corners[size_t(std::countr_zero(missing))];
    missing &= missing - 1;
    records[c] = NewRecord(g, cube[c], i + kCorners[c].x, j + kCorners[c].y, k + kCorners[c].z);
  }
  for (const uint8_t c : corners) mask = uint8_t(mask | (uint32_t(g.records[records[c]].field >= 0.0f) << c));
  return mask;
}

// The output vertex where the surface crosses the grid edge from vertex (vi, vj, vk) along `axis`,
// the field `a` at that end and `b` at the other.
int32_t NewEdgeVertex(MetaballGrid& g, float a, float b, int vi, int vj, int vk, int axis) {
  const int wi = vi + (axis == 0), wj = vj + (axis == 1), wk = vk + (axis == 2);
  // Fields beyond single precision (balls of huge strength both ways) give no fraction: the middle.
  const float ratio = a / (a - b);
  const float t = std::isnan(ratio) ? 0.5f : std::clamp(ratio, kEdgeMargin, 1.0f - kEdgeMargin);
  const Vec3f from = VertexPosition(g, vi, vj, vk), to = VertexPosition(g, wi, wj, wk);
  g.points.push_back(from + (to - from) * t);
  return int32_t(g.points.size() - 1);
}

// The triangles of cube (i, j, k) with corner mask `mask`: each crossed edge's output vertex made
// on its first use by any cube around the edge and found in that grid vertex's record by the others.
inline void EmitCube(MetaballGrid& g, const CornerRecords& records, int i, int j, int k, uint8_t mask) {
  const CubeCase& cubeCase = kCubeCases[mask];
  std::array<uint32_t, 12> vertices;
  for (size_t d = 0; d < cubeCase.edgeCount; ++d) {
    const uint8_t e = cubeCase.crossed[d];
    const EdgeRef& r = kEdgeRefs[e];
    GridRecord& low = g.records[records[size_t(kEdgeCorners[e][0])]];
    int32_t& slot = low.edgeVertex[size_t(r.axis)];
    if (slot < 0) {
      const float high = g.records[records[size_t(kEdgeCorners[e][1])]].field;
      slot = NewEdgeVertex(g, low.field, high, i + r.x, j + r.y, k + r.z, r.axis);
    }
    vertices[d] = uint32_t(slot);
  }
  for (size_t t = 0; t < cubeCase.triangleCount; ++t) {
    const uint8_t* corner = &cubeCase.corners[t * 3];
    g.triangles.push_back(Triangle{vertices[corner[0]], vertices[corner[1]], vertices[corner[2]]});
  }
}

// Prepares the grid for one run: coefficients, box, step and origin, the ball blocks, and the
// cache, edge vertices and visited bits as a fresh run needs them. False when no ball adds to the
// field or the box cannot be laid out in single precision (a ball far out with a tiny radius).
bool PrepareGrid(MetaballMode mode, int resolution, float threshold) {
  MetaballGrid& g = quorvelState.grid;
  std::vector<Ball>& balls = quorvelState.balls;
  const int n = resolution;
  g.prepared = false;
  g.coefficients.clear();
  g.points.clear();
  g.triangles.clear();
  g.stack.clear();
  g.records.assign(1, GridRecord{kNoVertex});
  g.mode = mode;
  g.threshold = threshold;
  Vec3f low{INFINITY, INFINITY, INFINITY}, high{-INFINITY, -INFINITY, -INFINITY};
  g.coefficients.resize(balls.size());
  for (size_t b = 0; b < balls.size(); ++b) {
    // A ball that adds nothing keeps a strength of 0 and is left out of the box and the blocks.
    if (!DeriveCoefficients(balls[b], mode, g.coefficients[b])) {
      g.coefficients[b] = BallCoefficients{};
      continue;
    }
    balls[b].along = g.coefficients[b].along;
    balls[b].across = g.coefficients[b].across;
    const float reach = ReachOf(balls[b], mode);
    const Vec3f c = balls[b].centre;
    low = {std::min(low.x, c.x - reach), std::min(low.y, c.y - reach), std::min(low.z, c.z - reach)};
    high = {std::max(high.x, c.x + reach), std::max(high.y, c.y + reach), std::max(high.z, c.z + reach)};
  }
  if (!(low.x <= high.x)) return false;
  low = low - Vec3f{kBoxMargin, kBoxMargin, kBoxMargin};
  high = high + Vec3f{kBoxMargin, kBoxMargin, kBoxMargin};
  g.step = (high - low) * (1.0f / float(n - 2));
  g.origin = low - g.step;
  for (int axis = 0; axis < 3; ++axis) {
    const float s = Component(g.step, axis), o = Component(g.origin, axis);
    // Every vertex position must differ from its neighbours, or the grid cannot place a surface.
    if (!std::isfinite(s) || !std::isfinite(o) || !(s > 0.0f) || o + s == o || !std::isfinite(o + float(n) * s)) {
      return false;
    }
  }

  const size_t side = size_t(n) + 1;
  if (g.resolution != n) {
    g.resolution = n;
    const CacheLayout layout = LayoutOf(n);
    g.recordOf.assign(side * layout.plane, 0);
    g.visited.assign((size_t(n) * n * n + 7) / 8, 0);
  } else {
    std::fill(g.visited.begin(), g.visited.end(), uint8_t(0));
  }

  // The balls of each block of grid vertices: every ball whose reach along each axis overlaps the
  // block, with a vertex to spare on each side against rounding.
  // Atomize's many small balls get smaller blocks, so that a vertex weighs few balls beyond its
  // own; Kelvane's few large balls reach most blocks anyway.
  g.binShift = mode == MetaballMode::Atomize ? 2 : 3;
  const int shift = g.binShift;
  g.binsPerAxis = int((side + (1u << shift) - 1) >> shift);
  const size_t bins = size_t(g.binsPerAxis) * size_t(g.binsPerAxis) * size_t(g.binsPerAxis);
  g.binStart.assign(bins + 1, 0);
  g.binBalls.clear();
  auto rangeOf = [&](size_t b, int axis, int& from, int& to) {
    const float reach = ReachAlong(balls[b], mode, axis), c = Component(balls[b].centre, axis);
    from = std::max(VertexOnAxis(g, c - reach, axis) - 1, 0) >> shift;
    to = std::min(VertexOnAxis(g, c + reach, axis) + 2, n) >> shift;
  };
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t b = 0; b < balls.size(); ++b) {
      if (g.coefficients[b].strength == 0.0f) continue;
      std::array<int, 3> from{}, to{};
      for (int axis = 0; axis < 3; ++axis) rangeOf(b, axis, from[size_t(axis)], to[size_t(axis)]);
      for (int x = from[0]; x <= to[0]; ++x) {
        for (int y = from[1]; y <= to[1]; ++y) {
          for (int z = from[2]; z <= to[2]; ++z) {
            const size_t bin = (size_t(x) * size_t(g.binsPerAxis) + size_t(y)) * size_t(g.binsPerAxis) + size_t(z);
            if (pass == 0) {
              ++g.binStart[bin + 1];
            } else {
              g.binBalls[g.binStart[bin]++] = uint32_t(b);
            }
          }
        }
      }
    }
    if (pass == 0) {
      for (size_t bin = 0; bin < bins; ++bin) g.binStart[bin + 1] += g.binStart[bin];
      g.binBalls.resize(g.binStart[bins]);
    } else {
      // The fill moved every start to the next block's; shift them back.
      for (size_t bin = bins; bin > 0; --bin) g.binStart[bin] = g.binStart[bin - 1];
      g.binStart[0] = 0;
    }
  }
  g.binPacked.clear();
  g.binPackedAt.assign(bins, kNotPacked);

  for (Ball& ball : balls) {
    for (int axis = 0; axis < 3; ++axis) {
      ball.cell[size_t(axis)] = int16_t(std::min(VertexOnAxis(g, Component(ball.centre, axis), axis), n - 1));
    }
  }
  g.prepared = true;
  return true;
}

struct ProgressBox {
  bool shown = false;
  ProgressBox(bool interactive, MetaballMode mode) : shown(interactive) {
    if (shown) ShowProgress(GetString(mode == MetaballMode::Atomize ? kProgressAtomizing : kProgressGeneratingMesh), -1);
  }
  ~ProgressBox() {
    if (shown) HideProgress();
  }
  ProgressBox(const ProgressBox&) = delete;
  ProgressBox& operator=(const ProgressBox&) = delete;
};

void ShowNoSurface() { ShowStopMessage(GetString(kErrCouldntPerform)); }

bool IsValidResolution(int resolution) { return resolution >= kLeastResolution && resolution <= kMostResolution; }

// Face normals summed around each point, into grid.normals.
void SumPointNormals(const std::vector<Vec3f>& points, std::span<const Triangle> triangles, std::vector<Vec3f>& normals) {
  normals.assign(points.size(), Vec3f{});
  for (const Triangle& t : triangles) {
    if (t[0] >= points.size() || t[1] >= points.size() || t[2] >= points.size()) continue;
    const Vec3f n = Normalised(Cross(points[t[1]] - points[t[0]], points[t[2]] - points[t[0]]));
    for (uint32_t corner : t) normals[corner] = normals[corner] + n;
  }
}

// The refinement of one point: ten probes along its outward normal, the first `firstProbe` long
// and each half the one before, each taken when its far end is inside. The probes taken make a
// number m of 0..1023 (the first probe its bit 512, the last its bit 1), so the probes are a
// search for the last m still inside. Where the field falls outward along the normal, as it does
// across a surface, that m is found with fewer looks at the field: none beyond the first probe
// for a point outside whose first probe ends outside too, else guesses from where the values put
// the surface (checked on both sides), halving the bracket once the guesses stop closing it. A
// point outside whose first probe ends inside (another part of the body close by in a crease)
// takes the probes one by one. The point is moved by the chosen probes in their order.
constexpr int kProbeCount = 10;
constexpr uint32_t kProbeFirstBit = 1u << (kProbeCount - 1);
constexpr uint32_t kProbeTop = (1u << kProbeCount) - 1;
constexpr int kProbeGuesses = 4;

// The probes of one point, each half the one before.
using Probes = std::array<Vec3f, kProbeCount>;

// Where the probes that m names take the point, added in their order. A probe not taken adds its
// length times 0 (an exact 0), so the sum is the one the taken probes alone make, without a branch
// per probe.
Vec3f ProbeSpot(const Vec3f& start, const Probes& probes, uint32_t m) {
  Vec3f at = start;
  for (size_t s = 0; s < probes.size(); ++s) at = at + probes[s] * float((m >> (kProbeCount - 1 - s)) & 1u);
  return at;
}

Vec3f SettleOnSurface(MetaballGrid& g, const Vec3f& start, const Vec3f& firstProbe) {
  Probes probes;
  probes[0] = firstProbe;
  for (size_t s = 1; s < probes.size(); ++s) probes[s] = probes[s - 1] * 0.5f;
  auto inside = [&](uint32_t m, float& value) {
    value = FieldAtPoint(g, ProbeSpot(start, probes, m));
    return value >= 0.0f;
  };
  float atStart = FieldAtPoint(g, start), atFirst = 0;
  const bool firstTaken = inside(kProbeFirstBit, atFirst);
  if (!(atStart >= 0.0f)) {
    if (!firstTaken) return start;
    uint32_t m = kProbeFirstBit;
    for (uint32_t bit = kProbeFirstBit >> 1; bit != 0; bit >>= 1) {
      float value = 0;
      if (inside(m | bit, value)) m |= bit;
    }
    return ProbeSpot(start, probes, m);
  }
  // low is inside (valueLow), high outside (valueHigh).
  uint32_t low = 0, high = kProbeFirstBit;
  float valueLow = atStart, valueHigh = atFirst;
  if (firstTaken) {
    low = kProbeFirstBit;
    valueLow = atFirst;
    if (inside(kProbeTop, valueHigh)) return ProbeSpot(start, probes, kProbeTop);
    high = kProbeTop;
  }
  for (int guesses = 0; high - low > 1; ++guesses) {
    uint32_t m = low + (high - low) / 2;
    const float fraction = valueLow / (valueLow - valueHigh);
    if (guesses < kProbeGuesses && fraction >= 0.0f && fraction <= 1.0f) {
      m = std::clamp(low + uint32_t(fraction * float(high - low)), low + 1, high - 1);
    }
    float value = 0;
    if (inside(m, value)) {
      low = m;
      valueLow = value;
    } else {
      high = m;
      valueHigh = value;
    }
  }
  return ProbeSpot(start, probes, low);
}

}  // namespace

float MetaballField(const Vec3f& p) {
  float sum = 0.0f;
  BallCoefficients c;
  for (const Ball& ball : quorvelState.balls) {
    if (DeriveCoefficients(ball, MetaballMode::Kelvane, c)) sum += Contribution(c, p, MetaballMode::Kelvane);
  }
  return sum - float(quorvelState.threshold);
}

namespace {

// ProcessCube with the signs of the corners in `known` taken from entry.mask (carried over from
// the cube next to it) instead of the cache.
int FollowCube(CubeEntry& entry, uint8_t known) {
  MetaballGrid& g = quorvelState.grid;
  const int n = g.resolution;
  const int i = entry.i, j = entry.j, k = entry.k;
  entry.faces = 0;
  if (i < 0 || j < 0 || k < 0 || i >= n || j >= n || k >= n) return -1;
  const size_t cell = (size_t(i) * size_t(n) + size_t(j)) * size_t(n) + size_t(k);
  const CubeCorners corners = CornersOf(LayoutOf(n), i, j, k);
  // A visited cube's corners are all in the cache.
  CornerRecords records;
  entry.mask = CornerSigns(g, corners, i, j, k, uint8_t(entry.mask & known), known, records);
  if (IsVisited(g, cell)) return 0;
  MarkVisited(g, cell);
  EmitCube(g, records, i, j, k, entry.mask);
  entry.faces = kCubeCases[entry.mask].faces;
  return 1;
}

// PushNeighbour until the stack is empty, in one loop: the same steps in the same order, with the
// layout of the cache worked out once. False when the cancel gesture ended it.
bool FollowSurface(MetaballGrid& g, bool interactive, size_t& steps) {
  std::vector<CubeEntry>& stack = g.stack;
  const int n = g.resolution;
  const size_t cells = size_t(n);
  const CacheLayout layout = LayoutOf(n);
  while (!stack.empty()) {
    CubeEntry& top = stack.back();
    if (top.faces == 0) {
      stack.pop_back();
      continue;
    }
    if (interactive && ++steps % kCancelInterval == 0 && CancelRequested()) return false;
    const size_t f = size_t(std::countr_zero(unsigned(top.faces)));
    top.faces = uint8_t(top.faces & (top.faces - 1));
    const Face& face = kFaces[f];
    const int i = top.i + face.dx, j = top.j + face.dy, k = top.k + face.dz;
    if (unsigned(i) >= unsigned(n) || unsigned(j) >= unsigned(n) || unsigned(k) >= unsigned(n)) continue;
    const size_t cell = (size_t(i) * cells + size_t(j)) * cells + size_t(k);
    if (IsVisited(g, cell)) continue;
    MarkVisited(g, cell);
    const CubeCorners corners = CornersOf(layout, i, j, k);
    CornerRecords records;
    const uint8_t mask = NewCornerSigns(g, corners, i, j, k, f, kCarriedSigns[f][top.mask], records);
    EmitCube(g, records, i, j, k, mask);
    const uint8_t faces = kCubeCases[mask].faces;
    if (faces != 0) stack.push_back(CubeEntry{int16_t(i), int16_t(j), int16_t(k), faces, mask});
  }
  return true;
}

}  // namespace

int ProcessCube(CubeEntry& entry) { return FollowCube(entry, 0); }

void PushNeighbour() {
  std::vector<CubeEntry>& stack = quorvelState.grid.stack;
  if (stack.empty()) return;
  CubeEntry& top = stack.back();
  if (top.faces == 0) return;
  const int f = std::countr_zero(unsigned(top.faces));
  top.faces = uint8_t(top.faces & (top.faces - 1));
  CubeEntry next;
  next.i = int16_t(top.i + kFaces[size_t(f)].dx);
  next.j = int16_t(top.j + kFaces[size_t(f)].dy);
  next.k = int16_t(top.k + kFaces[size_t(f)].dz);
  // Most faces lead back into cubes already followed: those are passed over without a look at
  // their corners.
  const MetaballGrid& g = quorvelState.grid;
  const int n = g.resolution;
  if (next.i >= 0 && next.j >= 0 && next.k >= 0 && next.i < n && next.j < n && next.k < n &&
      IsVisited(g, (size_t(next.i) * size_t(n) + size_t(next.j)) * size_t(n) + size_t(next.k))) {
    return;
  }
  // The four corners on the shared face keep the signs they had in the cube left behind.
  next.mask = kCarriedSigns[size_t(f)][top.mask];
  if (FollowCube(next, kCarriedKnown[size_t(f)]) == 1 && next.faces != 0) stack.push_back(next);
}

int SeedCube(size_t ball) {
  MetaballGrid& g = quorvelState.grid;
  if (ball >= quorvelState.balls.size()) return -1;
  const std::array<int16_t, 3>& cell = quorvelState.balls[ball].cell;
  for (CubeEntry entry{cell[0], cell[1], cell[2], 0, 0};; ++entry.j) {
    const int status = ProcessCube(entry);
    if (status < 0) return -1;
    if (entry.mask != 0x00 && entry.mask != 0xFF) {
      // A visited cube on the surface: this part of the surface has been followed already.
      if (status == 0) return 0;
      g.stack.push_back(entry);
      return 1;
    }
    if (entry.j + 1 >= g.resolution) return 0;  // the top of the grid: nothing found
  }
}

bool ExtractMetaballSurface(MetaballMode mode, int resolution, bool interactive) {
  if (quorvelState.balls.empty() || !IsValidResolution(resolution)) return false;
  const float threshold = mode == MetaballMode::Atomize ? kAtomizeThreshold : float(quorvelState.threshold);
  MetaballGrid& g = quorvelState.grid;
  if (!PrepareGrid(mode, resolution, threshold)) return true;  // nothing can be placed: no surface
  const size_t total = quorvelState.balls.size();
  size_t cubes = 0;
  for (size_t done = 0; done < total; ++done) {
    if (interactive && (mode == MetaballMode::Kelvane || done % 16 == 0)) {
      AdvanceProgress(int(done * kProgressMax / total), -1);
    }
    if (SeedCube(total - 1 - done) != 1) continue;
    if (!FollowSurface(g, interactive, cubes)) return false;
  }
  return true;
}

void RefineMetaballSurface(SceneObject& object, MetaballMode mode) {
  MetaballGrid& g = quorvelState.grid;
  std::vector<Vec3f>& points = object.points;
  const std::span<const Triangle> triangles = Triangles(object);
  // The probes need the grid of this mode; a grid left by another run is prepared again.
  const float threshold = mode == MetaballMode::Atomize ? kAtomizeThreshold : float(quorvelState.threshold);
  const bool gridReady =
      g.prepared && g.mode == mode && g.threshold == threshold && g.coefficients.size() == quorvelState.balls.size();
  const bool canProbe = gridReady || (!quorvelState.balls.empty() &&
                                      PrepareGrid(mode, g.resolution > 0 ? g.resolution : kLeastResolution, threshold));
  if (quorvelState.refine && canProbe) {
    SumPointNormals(points, triangles, g.normals);
    const float probeLength = 0.5f * Length(g.step);
    for (size_t p = 0; p < points.size(); ++p) {
      points[p] = SettleOnSurface(g, points[p], Normalised(g.normals[p]) * probeLength);
    }
  }
  for (Vec3f& p : points) p = p * kMetaballObjectScale;
  if (!quorvelState.refine) return;
  // Relaxed in place and in index order: a point sees its neighbours' new positions.
  const std::span<const uint32_t> first = PointFirstCorner(object);
  const std::span<const uint32_t> nextCorner = TriangleNextCorner(object);
  if (first.size() != points.size() || nextCorner.size() != triangles.size() * 3) return;
  for (size_t p = 0; p < points.size(); ++p) {
    Vec3f sum = points[p];
    uint32_t around = 0;
    // Bounded by the corners there are, so a damaged list cannot loop.
    for (uint32_t ref = first[p], guard = 0; ref != kEndOfCornerList && guard < nextCorner.size();
         ref = nextCorner[CornerSlot(ref)], ++guard) {
      const Triangle& t = triangles[CornerTriangle(ref)];
      sum = sum + points[t[0]] + points[t[1]] + points[t[2]];
      ++around;
    }
    points[p] = points[p] * 0.5f + sum * (0.5f / float(1 + 3 * around));
  }
}

SceneObject* GenerateMetaballMesh(MetaballMode mode, int resolution, bool interactive) {
  if (quorvelState.balls.empty() || !IsValidResolution(resolution)) {
    ShowNoSurface();
    return nullptr;
  }
  const int slot = FindSlotForNewObject();  // "Error: No empty space." when the table is full
  if (slot < 0) return nullptr;
  MetaballGrid& g = quorvelState.grid;
  std::unique_ptr<SceneObject> object;
  try {
    {
      ProgressBox progress(interactive, mode);
      if (!ExtractMetaballSurface(mode, resolution, interactive)) return nullptr;  // cancelled
    }
    if (g.points.empty() || g.triangles.empty()) {
      ShowNoSurface();
      return nullptr;
    }
    object = NewSceneObject(int32_t(g.points.size()), int32_t(g.triangles.size()));
    if (!object) return nullptr;  // its failure has been shown
    std::copy(g.points.begin(), g.points.end(), object->points.begin());
    Topology* topology = MutableTopology(*object);
    if (topology == nullptr) throw std::bad_alloc();
    topology->triangles.assign(g.triangles.begin(), g.triangles.end());
    if (!CompleteImportedObject(object.get())) throw std::bad_alloc();
    object->isFastSynthetic = 0;
    // Refined before it enters the table, so that its activation keeps the refined points as the
    // state before the next edit.
    RefineMetaballSurface(*object, mode);
    SetPlanarTextureCoordinates(*object);
  } catch (const std::bad_alloc&) {
    DisposeSceneObject(object);
    ShowStopMessage(GetString(kErrNotEnoughMemory));
    return nullptr;
  }
  if (mode == MetaballMode::Kelvane && interactive) {
    const KelvaneView& kelvane = quorvelState.view;
    object->currentView = kFreeView;
    ObjectView& view = object->views[kFreeView];
    view.angles = kelvane.angles;
    view.centerX = kelvane.centerX;
    view.centerY = kelvane.centerY;
    view.zoom = KelvaneViewZoom(kelvane.zoom);
  }
  object->dirtyFlags = kAllDirty;
  if (!StoreObjectInSlot(slot, std::move(object))) return nullptr;
  SceneObject* stored = scene.objectTable[size_t(slot)].get();
  if (HasWorkRecords(*stored)) RefreshWorkData(*stored);
  return stored;
}

bool PreviewMetaballMesh(int resolution) {
  MetaballPreview& preview = quorvelState.preview;
  preview.points.clear();
  preview.triangles.clear();
  const MetaballGrid& g = quorvelState.grid;
  try {
    if (!ExtractMetaballSurface(MetaballMode::Kelvane, resolution, false)) return false;
    if (g.points.empty() || g.triangles.empty()) return false;
    preview.points.assign(g.points.begin(), g.points.end());
    preview.triangles.assign(g.triangles.begin(), g.triangles.end());
  } catch (const std::bad_alloc&) {
    preview.points.clear();
    preview.triangles.clear();
    return false;
  }
  return true;
}

}  // namespace tsv
