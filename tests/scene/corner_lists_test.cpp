// The corner lists: order, end marks, damaged input, and that editing never reaches a shared block.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "scene/topology.h"
#include "tests/scene/scene_fixture.h"

namespace tsv {
namespace {

// Every reference in point p's list, walking at most the number of corners.
std::vector<uint32_t> Walk(const SceneObject& object, uint32_t p) {
  std::vector<uint32_t> visited;
  std::span<const uint32_t> first = PointFirstCorner(object), next = TriangleNextCorner(object);
  for (uint32_t at = first[p]; at != kEndOfCornerList && visited.size() <= next.size();
       at = next[CornerSlot(at)]) {
    visited.push_back(at);
  }
  return visited;
}

// Point 7 is used by triangles 5 (corner 1), 2 (corner 2) and 9 (corner 0); point 11 by none.
const std::vector<Triangle> kMesh = {{0, 1, 2}, {1, 2, 3}, {3, 4, 7},  {4, 5, 6},  {5, 6, 8},
                                     {8, 7, 9}, {9, 10, 0}, {10, 0, 1}, {2, 3, 4}, {7, 10, 5}};

using SceneCornerLists = test::SceneFixture;

TEST_F(SceneCornerLists, ListsRunInTriangleOrderAndEndWithThree) {
  auto object = test::MakeMesh(12, kMesh);
  ASSERT_TRUE(object);
  EXPECT_EQ(Walk(*object, 7), (std::vector<uint32_t>{CornerReference(2, 2), CornerReference(5, 1),
                                                     CornerReference(9, 0)}));
  EXPECT_EQ(TriangleNextCorner(*object)[CornerSlot(CornerReference(9, 0))], kEndOfCornerList);
  EXPECT_EQ(PointFirstCorner(*object)[11], kEndOfCornerList);

  // Every list visits exactly the corners that name its point, in increasing triangle order.
  for (uint32_t p = 0; p < 12; ++p) {
    std::vector<uint32_t> expected;
    for (uint32_t t = 0; t < kMesh.size(); ++t) {
      for (uint32_t k = 0; k < 3; ++k) {
        if (kMesh[t][k] == p) expected.push_back(CornerReference(t, k));
      }
    }
    EXPECT_EQ(Walk(*object, p), expected) << "point " << p;
    EXPECT_EQ(CountCorners(*object->topology, p), expected.size()) << "point " << p;
  }
}

TEST_F(SceneCornerLists, IndexBeyondThePointsIsLeftOutNotWritten) {
  std::vector<Triangle> damaged = kMesh;
  damaged[4] = {5, 99, 8};
  auto object = test::MakeMesh(12, damaged);
  ASSERT_TRUE(object);
  EXPECT_FALSE(BuildCornerLists(*object));
  EXPECT_EQ(TriangleNextCorner(*object)[CornerSlot(CornerReference(4, 1))], kEndOfCornerList);
  EXPECT_EQ(Walk(*object, 8), (std::vector<uint32_t>{CornerReference(4, 2), CornerReference(5, 0)}));
}

TEST_F(SceneCornerLists, CountingStopsOnALoopingList) {
  Topology topology;
  topology.triangles = {{0, 0, 0}};
  topology.pointFirstCorner = {0};
  topology.triangleNextCorner = {0, kEndOfCornerList, kEndOfCornerList};  // corner (0,0) -> itself
  EXPECT_LE(CountCorners(topology, 0), 3u);
  EXPECT_EQ(CountCorners(topology, 5), 0u);  // no such point
}

TEST_F(SceneCornerLists, EditingASharedBlockCopiesItFirst) {
  auto first = test::MakeMesh(12, kMesh);
  ASSERT_TRUE(first);
  auto second = NewSceneObject(12, int32_t(kMesh.size()));
  ASSERT_TRUE(second);
  second->topology = first->topology;
  const Topology* shared = first->topology.get();

  Topology* edited = MutableTopology(*second);
  ASSERT_NE(edited, nullptr);
  EXPECT_NE(edited, shared);
  edited->triangles[9] = {11, 10, 5};
  ASSERT_TRUE(BuildCornerLists(*second));
  EXPECT_EQ(Walk(*second, 11), (std::vector<uint32_t>{CornerReference(9, 0)}));

  // The first object still has its own triangles and lists, and as sole holder edits in place.
  EXPECT_EQ(Triangles(*first)[9], (Triangle{7, 10, 5}));
  EXPECT_EQ(PointFirstCorner(*first)[11], kEndOfCornerList);
  EXPECT_EQ(MutableTopology(*first), shared);
}

}  // namespace
}  // namespace tsv
