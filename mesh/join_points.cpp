// join_points.cpp: joining coincident points through a fine spatial hash.
//
// Points kept so far are filed in cells of 1/64 unit, hashed into a table about as large as the
// mesh. A point's partners lie within the tolerance on each axis, so they are filed in the one or
// two cells per axis that this reach overlaps; those few chains are searched and the earliest
// partner wins. Cells are much finer than any mesh spacing worth joining, so chains stay short on
// meshes of millions of points, and no partner is ever missed at a cell border.
#include "mesh/join_points.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "mesh/mesh_basics.h"
#include "mesh/mesh_ranges.h"
#include "platform/progress.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/allocation.h"

namespace tsv {
namespace {

constexpr double kCellsPerUnit = 64.0;
// A little more than the tolerance: the difference of two floats is rounded, so a partner may lie
// a hair beyond 0.001 in exact arithmetic and still pass the test in single precision.
constexpr double kReach = 0.0011;
// Cells far out are clamped; points there are spaced far beyond the tolerance anyway.
constexpr double kCellLimit = 1099511627776.0;  // 2^40
constexpr int32_t kNone = -1;

int64_t CellOf(double coordinate) {
  return int64_t(std::clamp(std::floor(coordinate * kCellsPerUnit), -kCellLimit, kCellLimit));
}

uint64_t HashCell(int64_t x, int64_t y, int64_t z) {
  uint64_t h = uint64_t(x) * 0x9E3779B97F4A7C15ull ^ uint64_t(y) * 0xC2B2AE3D27D4EB4Full ^
               uint64_t(z) * 0x165667B19E3779F9ull;
  h ^= h >> 31;
  h *= 0xBF58476D1CE4E5B9ull;
  return h ^ (h >> 29);
}

bool IsFinite(const Vec3f& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// The progress box for the length of the join.
struct JoinProgress {
  int64_t last = 1;
  explicit JoinProgress(int32_t pointCount) : last(std::max<int64_t>(pointCount - 1, 1)) {
    ShowProgress(GetString(kProgressJoiningPoints), -1);
  }
  ~JoinProgress() { HideProgress(); }
  void Point(int32_t i) {
    if ((i & 255) == 0) AdvanceProgress(int(int64_t(i) * kProgressMax / last), -1);
  }
};

// Which hierarchy part each point belongs to (the first whose range holds it; -1 for none), so
// that points of different parts are never joined.
std::vector<int32_t> PartOfPoints(const SceneObject& object) {
  std::vector<int32_t> part = AllocateArray<int32_t>(size_t(object.pointCount), kNone);
  for (size_t node = object.hierarchy.size(); node-- > 0;) {
    const HierarchyNode& h = object.hierarchy[node];
    const uint64_t end = std::min<uint64_t>(uint64_t(h.partFirstPoint) + h.partPointCount, part.size());
    for (uint64_t i = h.partFirstPoint; i < end; ++i) part[size_t(i)] = int32_t(node);
  }
  return part;
}

}  // namespace

bool PointsCoincide(const Vec3f& a, const Vec3f& b) {
  return std::fabs(a.x - b.x) < kJoinTolerance && std::fabs(a.y - b.y) < kJoinTolerance &&
         std::fabs(a.z - b.z) < kJoinTolerance;
}

SceneObject* JoinPoints(SceneObject* object) {
  if (object == nullptr || !IsWellFormedMesh(*object)) return nullptr;
  const int32_t pointCount = object->pointCount;
  const size_t points = size_t(pointCount);
  const bool hierarchy = !object->hierarchy.empty();
  JoinProgress progress(pointCount);

  std::vector<Vec3f> keptPoints;
  std::vector<Rgb8> keptColors;
  std::vector<uint8_t> keptMask;
  std::vector<Uv> keptUV;
  std::vector<uint32_t> newIndex, pointsBefore, trianglesBefore;
  std::shared_ptr<Topology> fresh;
  size_t kept = 0;
  try {
    newIndex = AllocateArray<uint32_t>(points);
    // Gathered at full size; trimmed to the kept count at the end.
    std::vector<Vec3f> gathered = AllocateArray<Vec3f>(points);
    std::vector<int32_t> part, keptPart;
    if (hierarchy) {
      part = PartOfPoints(*object);
      keptPart = AllocateArray<int32_t>(points);
      pointsBefore = AllocateArray<uint32_t>(points + 1);
    }
    const size_t tableSize = std::bit_ceil(std::max<size_t>(points, 64));
    const uint64_t tableMask = tableSize - 1;
    std::vector<int32_t> heads = AllocateArray<int32_t>(tableSize, kNone);
    std::vector<int32_t> next = AllocateArray<int32_t>(points, kNone);

    for (size_t i = 0; i < points; ++i) {
      progress.Point(int32_t(i));
      if (hierarchy) pointsBefore[i] = uint32_t(kept);
      const Vec3f p = object->points[i];
      const int32_t group = hierarchy ? part[i] : kNone;
      int32_t partner = kNone;
      const bool finite = IsFinite(p);
      if (finite && kept > 0) {
        const int64_t x0 = CellOf(double(p.x) - kReach), x1 = CellOf(double(p.x) + kReach);
        const int64_t y0 = CellOf(double(p.y) - kReach), y1 = CellOf(double(p.y) + kReach);
        const int64_t z0 = CellOf(double(p.z) - kReach), z1 = CellOf(double(p.z) + kReach);
        for (int64_t cx = x0; cx <= x1; ++cx) {
          for (int64_t cy = y0; cy <= y1; ++cy) {
            for (int64_t cz = z0; cz <= z1; ++cz) {
              for (int32_t u = heads[HashCell(cx, cy, cz) & tableMask]; u != kNone; u = next[size_t(u)]) {
                if ((partner == kNone || u < partner) && PointsCoincide(gathered[size_t(u)], p) &&
                    (!hierarchy || keptPart[size_t(u)] == group)) {
                  partner = u;
                }
              }
            }
          }
        }
      }
      if (partner != kNone) {
        newIndex[i] = uint32_t(partner);
        continue;
      }
      const size_t u = kept++;
      newIndex[i] = uint32_t(u);
      gathered[u] = p;
      if (hierarchy) keptPart[u] = group;
      // A point that is not finite matches nothing, so it is never filed for a search.
      if (finite) {
        const uint64_t bucket = HashCell(CellOf(p.x), CellOf(p.y), CellOf(p.z)) & tableMask;
        next[u] = heads[bucket];
        heads[bucket] = int32_t(u);
      }
    }
    if (hierarchy) pointsBefore[points] = uint32_t(kept);

    // Triangles renumbered; those whose corners now meet are gone.
    std::span<const Triangle> triangles = Triangles(*object);
    size_t keptTriangles = 0;
    for (const Triangle& t : triangles) {
      const uint32_t a = newIndex[t[0]], b = newIndex[t[1]], c = newIndex[t[2]];
      keptTriangles += (a != b && b != c && c != a) ? 1 : 0;
    }
    if (kept == points && keptTriangles == triangles.size()) return object;  // nothing to join

    fresh = AllocateSharedRecord<Topology>();
    fresh->triangles = AllocateArray<Triangle>(keptTriangles);
    if (hierarchy) trianglesBefore = AllocateArray<uint32_t>(triangles.size() + 1);
    size_t at = 0;
    for (size_t t = 0; t < triangles.size(); ++t) {
      if (hierarchy) trianglesBefore[t] = uint32_t(at);
      const uint32_t a = newIndex[triangles[t][0]], b = newIndex[triangles[t][1]], c = newIndex[triangles[t][2]];
      if (a != b && b != c && c != a) fresh->triangles[at++] = {a, b, c};
    }
    if (hierarchy) trianglesBefore[triangles.size()] = uint32_t(at);
    if (!BuildCornerLists(*fresh, int32_t(kept))) throw std::bad_alloc();

    keptPoints = AllocateArray<Vec3f>(kept);
    std::copy_n(gathered.begin(), kept, keptPoints.begin());
    keptColors = AllocateArray<Rgb8>(kept);
    keptMask = AllocateArray<uint8_t>(kept);
    keptUV = AllocateArray<Uv>(kept);
    // Each kept point is the first of its group, so walking the points in order and taking every
    // point whose new index was not yet taken gathers exactly the kept ones.
    size_t taken = 0;
    for (size_t i = 0; i < points && taken < kept; ++i) {
      if (newIndex[i] != taken) continue;
      keptColors[taken] = object->pointColors[i];
      keptMask[taken] = object->pointMask[i];
      keptUV[taken] = object->pointUV[i];
      ++taken;
    }
  } catch (const std::bad_alloc&) {
    ShowStopMessage(GetString(kErrNotEnoughMemory));
    return nullptr;
  }

  const bool lostTriangles = fresh->triangles.size() != size_t(object->triangleCount);
  if (hierarchy) {
    RemapHierarchyRanges(object->hierarchy, pointsBefore, true);
    RemapHierarchyRanges(object->hierarchy, trianglesBefore, false);
  }
  RemapSnapPoints(*object, newIndex);
  object->points = std::move(keptPoints);
  object->pointColors = std::move(keptColors);
  object->pointMask = std::move(keptMask);
  object->pointUV = std::move(keptUV);
  object->pointCount = int32_t(kept);
  object->triangleCount = int32_t(fresh->triangles.size());
  object->topology = std::move(fresh);
  object->isOrganic = 0;
  if (lostTriangles) object->isFastSynthetic = 0;
  MarkObjectEdited(*object);
  return object;
}

}  // namespace tsv
