// topology.cpp: building and walking corner lists.
#include "scene/topology.h"

#include <cstddef>
#include <new>
#include <utility>

namespace tsv {

bool BuildCornerLists(Topology& topology, int32_t pointCount) {
  if (pointCount < 0 || topology.triangles.size() > size_t(kMaxMeshTriangles)) return false;
  const size_t points = size_t(pointCount);
  const size_t triangles = topology.triangles.size();
  // The tail of each point's list so far (3 while it is empty). Appending through the tail gives
  // the same lists as walking each list to its end, in one pass instead of a quadratic one.
  std::vector<uint32_t> first, next, tail;
  try {
    first.assign(points, kEndOfCornerList);
    next.assign(triangles * 3, kEndOfCornerList);
    tail.assign(points, kEndOfCornerList);
  } catch (const std::bad_alloc&) {
    return false;
  }
  bool allInRange = true;
  for (size_t t = 0; t < triangles; ++t) {
    for (uint32_t k = 0; k < 3; ++k) {
      const uint32_t p = topology.triangles[t][k];
      if (p >= points) {
        allInRange = false;
        continue;
      }
      const uint32_t reference = CornerReference(uint32_t(t), k);
      if (tail[p] == kEndOfCornerList) {
        first[p] = reference;
      } else {
        next[CornerSlot(tail[p])] = reference;
      }
      tail[p] = reference;
    }
  }
  topology.pointFirstCorner = std::move(first);
  topology.triangleNextCorner = std::move(next);
  return allInRange;
}

uint32_t CountCorners(const Topology& topology, uint32_t point) {
  if (point >= topology.pointFirstCorner.size()) return 0;
  const size_t limit = topology.triangleNextCorner.size();
  uint32_t count = 0;
  for (uint32_t at = topology.pointFirstCorner[point]; at != kEndOfCornerList && count < limit;
       at = topology.triangleNextCorner[CornerSlot(at)]) {
    if (CornerNumber(at) == 3 || CornerSlot(at) >= limit) break;  // not a corner of this mesh
    ++count;
  }
  return count;
}

}  // namespace tsv
