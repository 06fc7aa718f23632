// mesh_test_support.h: the scene fixture for mesh tests, and the mesh properties they check:
// whether a mesh is closed and consistently wound, which way it faces, and corner lists that
// match the triangles.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "scene/scene_object.h"
#include "tests/scene/scene_fixture.h"

namespace tsv::test {

using MeshFixture = SceneFixture;

// Directed edges of the triangles, each with the number of times it occurs.
inline std::map<std::pair<uint32_t, uint32_t>, int> DirectedEdges(std::span<const Triangle> triangles) {
  std::map<std::pair<uint32_t, uint32_t>, int> edges;
  for (const Triangle& t : triangles) {
    for (int k = 0; k < 3; ++k) ++edges[{t[size_t(k)], t[size_t((k + 1) % 3)]}];
  }
  return edges;
}

// Every shared edge is run once each way (no two neighbours disagree); `closed` asks in addition
// that no edge is open.
inline ::testing::AssertionResult ConsistentlyWound(std::span<const Triangle> triangles, bool closed) {
  const auto edges = DirectedEdges(triangles);
  for (const auto& [edge, count] : edges) {
    if (count != 1) {
      return ::testing::AssertionFailure() << "edge " << edge.first << "-" << edge.second << " runs " << count
                                           << " times the same way";
    }
    if (closed && !edges.contains({edge.second, edge.first})) {
      return ::testing::AssertionFailure() << "edge " << edge.first << "-" << edge.second << " is open";
    }
  }
  return ::testing::AssertionSuccess();
}

// Six times the volume enclosed, positive when the faces look outward ((P1 - P0) x (P2 - P0)).
inline double SignedVolume6(const SceneObject& object) {
  double volume = 0;
  for (const Triangle& t : Triangles(object)) {
    const Vec3f &a = object.points[t[0]], &b = object.points[t[1]], &c = object.points[t[2]];
    volume += double(a.x) * (double(b.y) * c.z - double(b.z) * c.y) -
              double(a.y) * (double(b.x) * c.z - double(b.z) * c.x) +
              double(a.z) * (double(b.x) * c.y - double(b.y) * c.x);
  }
  return volume;
}

// The unnormalised face normal (P1 - P0) x (P2 - P0).
inline Vec3f FaceNormal(const SceneObject& object, const Triangle& t) {
  const Vec3f &a = object.points[t[0]], &b = object.points[t[1]], &c = object.points[t[2]];
  const float ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z, vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
  return {uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx};
}

// A closed mesh, every edge run once each way, enclosing a positive volume.
inline ::testing::AssertionResult ClosedAndOutward(const SceneObject& object) {
  ::testing::AssertionResult wound = ConsistentlyWound(Triangles(object), true);
  if (!wound) return wound;
  if (SignedVolume6(object) <= 0) return ::testing::AssertionFailure() << "faces look inward";
  return ::testing::AssertionSuccess();
}

// The corner lists are exactly those the scene builds from the triangles.
inline ::testing::AssertionResult ListsMatchTriangles(const SceneObject& object) {
  Topology expected;
  expected.triangles.assign(Triangles(object).begin(), Triangles(object).end());
  if (!BuildCornerLists(expected, object.pointCount)) return ::testing::AssertionFailure() << "bad triangles";
  std::span<const uint32_t> first = PointFirstCorner(object), next = TriangleNextCorner(object);
  if (!std::equal(first.begin(), first.end(), expected.pointFirstCorner.begin(), expected.pointFirstCorner.end()) ||
      !std::equal(next.begin(), next.end(), expected.triangleNextCorner.begin(), expected.triangleNextCorner.end())) {
    return ::testing::AssertionFailure() << "corner lists are stale";
  }
  return ::testing::AssertionSuccess();
}

// A synthetic object with the given points (paint, mask and texture coordinates numbered after the
// point, so a test can tell which point's attributes survived) and triangles, corner lists built.
inline std::unique_ptr<SceneObject> MakeMeshAt(const std::vector<Vec3f>& points, const std::vector<Triangle>& triangles) {
  std::unique_ptr<SceneObject> object = MakeMesh(int32_t(points.size()), triangles);
  if (!object) return nullptr;
  for (size_t i = 0; i < points.size(); ++i) {
    object->points[i] = points[i];
    object->pointColors[i] = {uint8_t(i), uint8_t(i + 1), uint8_t(i + 2)};
    object->pointMask[i] = uint8_t(200 - i);
    object->pointUV[i] = {float(i), float(10 * i)};
  }
  return object;
}

}  // namespace tsv::test
