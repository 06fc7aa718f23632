// topology.h: the triangles of a mesh together with its corner lists, kept as one block so that
// every organic object can share the same one. Building the lists is here; who owns a block and
// when it is copied before an edit is the business of scene_object.h.
//
// Corner lists: a corner reference packs triangle t and corner k (0..2) as t * 4 + k; the value 3
// (k = 3 never names a corner) ends a list. pointFirstCorner[p] starts the list of every corner
// that names point p, triangleNextCorner[t * 3 + k] continues it from corner (t, k). A point's list
// runs in increasing triangle order, so every mesh walk around a point is local.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/types.h"

namespace tsv {

inline constexpr uint32_t kEndOfCornerList = 3;

// The largest meshes an object may hold. Corner references need triangle * 4 + 3 to fit 32 bits;
// the limits stay far below that and keep one object's arrays within a few gigabytes.
inline constexpr int32_t kMaxMeshPoints = 1 << 24;
inline constexpr int32_t kMaxMeshTriangles = 1 << 25;

constexpr uint32_t CornerReference(uint32_t triangle, uint32_t corner) {
  return triangle * 4 + corner;
}
constexpr uint32_t CornerTriangle(uint32_t reference) { return reference >> 2; }
constexpr uint32_t CornerNumber(uint32_t reference) { return reference & 3; }
// Index into triangleNextCorner (and into the flat corner run of `triangles`) of a reference.
constexpr uint32_t CornerSlot(uint32_t reference) { return (reference >> 2) * 3 + (reference & 3); }

struct Topology {
  std::vector<Triangle> triangles;
  std::vector<uint32_t> pointFirstCorner;    // one per point
  std::vector<uint32_t> triangleNextCorner;  // three per triangle
};

// Rebuilds both corner lists of `topology` for `pointCount` points from its triangles, resizing the
// lists to fit. A corner naming a point at or beyond `pointCount` is left out of every list (its
// own link stays 3), so a damaged triangle can never make the build write out of bounds; the
// result is then false. False as well, with the lists untouched, when memory runs out or the block
// holds more than kMaxMeshTriangles triangles.
[[nodiscard]] bool BuildCornerLists(Topology& topology, int32_t pointCount);

// Number of corners in point p's list. The walk is bounded by the number of corners, so a damaged
// list that loops cannot hang the caller.
uint32_t CountCorners(const Topology& topology, uint32_t point);

}  // namespace tsv
