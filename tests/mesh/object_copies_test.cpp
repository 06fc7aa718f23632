// Whole-object operations: mirror and taking it back, merge, duplicate, make synthetic, and the
// hierarchy-loss question.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mesh/mesh_state.h"
#include "mesh/object_copies.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "scene/organic.h"
#include "scene/scene_state.h"
#include "tests/mesh/mesh_test_support.h"

namespace tsv {
namespace {

using ObjectCopies = test::MeshFixture;
using test::MakeMeshAt;

SceneObject* OrganicInTable() {
  SceneObject* object = NewObjectInTable(true);
  if (object != nullptr && !FillOrganicShape(*object, 0)) return nullptr;
  return object;
}

SceneObject* StoreInTable(std::unique_ptr<SceneObject> object) {
  const int slot = FindFreeObjectSlot();
  if (!object || !StoreObjectInSlot(slot, std::move(object))) return nullptr;
  return scene.objectTable[size_t(slot)].get();
}

std::vector<Triangle> TrianglesOf(const SceneObject& object) {
  return {Triangles(object).begin(), Triangles(object).end()};
}

TEST_F(ObjectCopies, MirroringTwiceIsExactAndEachMirrorStillFacesOutward) {
  for (int axis = 0; axis < 3; ++axis) {
    SCOPED_TRACE(axis);
    SceneObject* sphere = OrganicInTable();
    SceneObject* other = OrganicInTable();
    ASSERT_TRUE(sphere && other);
    // Off-centre, so that every axis's mirror moves points.
    for (Vec3f& p : sphere->points) p = {p.x + 3, p.y - 2, p.z + 1};
    const std::vector<Vec3f> points = sphere->points;
    const std::vector<Triangle> triangles = TrianglesOf(*sphere);
    ASSERT_TRUE(MirrorObject(sphere, axis));
    EXPECT_EQ(sphere->isOrganic, 0);
    EXPECT_EQ(sphere->isFastSynthetic, 0);
    EXPECT_NE(sphere->points, points);
    EXPECT_TRUE(test::ClosedAndOutward(*sphere));
    EXPECT_TRUE(test::ListsMatchTriangles(*sphere));
    EXPECT_EQ(scene.organicTopology->triangles, triangles) << "the shared mesh is never written";
    EXPECT_EQ(other->topology, scene.organicTopology);
    ASSERT_TRUE(MirrorObject(sphere, axis));
    EXPECT_EQ(sphere->points, points);
    EXPECT_EQ(TrianglesOf(*sphere), triangles);
    EXPECT_TRUE(test::ListsMatchTriangles(*sphere));
  }
  EXPECT_EQ(MirrorAxisOfSetting(2), 1);
  EXPECT_EQ(MirrorAxisOfSetting(3), 2);
  EXPECT_EQ(MirrorAxisOfSetting(0), 0);
  EXPECT_EQ(MirrorAxisOfSetting(7), 0);
}

TEST_F(ObjectCopies, DegenerateTrianglesKeepTheirCornerListsInOrderThroughAMirror) {
  auto object = MakeMeshAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}, {1, 1, 2}, {2, 0, 1}});
  ASSERT_TRUE(object);
  ASSERT_TRUE(MirrorObject(object.get(), 1));
  EXPECT_TRUE(test::ListsMatchTriangles(*object));
}

TEST_F(ObjectCopies, CtrlZRightAfterAMirrorTakesItBackAndAgainRedoesIt) {
  SceneObject* sphere = OrganicInTable();
  ASSERT_TRUE(sphere);
  for (Vec3f& p : sphere->points) p.x += 5;
  const std::vector<Vec3f> points = sphere->points;
  ASSERT_TRUE(MirrorObject(sphere, 0));
  const std::vector<Vec3f> mirrored = sphere->points;
  const std::vector<Triangle> mirroredTriangles = TrianglesOf(*sphere);

  ASSERT_TRUE(TakeBackMirror(*sphere));
  EXPECT_EQ(sphere->points, points);
  EXPECT_EQ(sphere->isOrganic, 1);
  EXPECT_EQ(sphere->isFastSynthetic, 1);
  EXPECT_EQ(sphere->topology, scene.organicTopology);

  ASSERT_TRUE(TakeBackMirror(*sphere));
  EXPECT_EQ(sphere->points, mirrored);
  EXPECT_EQ(TrianglesOf(*sphere), mirroredTriangles);
  EXPECT_EQ(sphere->isOrganic, 0);
  EXPECT_TRUE(test::ClosedAndOutward(*sphere));

  // Any other change since (a committed edit moves the history on): nothing to take back.
  ++scene.history.lastSequence;
  EXPECT_FALSE(TakeBackMirror(*sphere));
  EXPECT_EQ(sphere->points, mirrored);
  SceneObject* other = OrganicInTable();
  ASSERT_TRUE(other);
  EXPECT_FALSE(TakeBackMirror(*other));
}

TEST_F(ObjectCopies, MergingPlacesBothObjectsInTheFirstOnesFrame) {
  auto makeTriangle = [] {
    return MakeMeshAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  };
  SceneObject* first = StoreInTable(makeTriangle());
  SceneObject* second = StoreInTable(makeTriangle());
  ASSERT_TRUE(first && second);
  first->position = {10, 0, 0};
  first->optics.shininess = 7;
  second->position = {10, 0, 0};
  second->scale = 2;
  second->rotation = {0, 0, 1.5707964f};  // a quarter turn about z: (1, 0, 0) goes to (0, 1, 0)
  ASSERT_TRUE(MergeObjects(first, second));
  SceneObject* merged = scene.currentObject;
  ASSERT_TRUE(merged != nullptr && merged != first && merged != second);
  EXPECT_EQ(scene.objectTable[0].get(), first);
  EXPECT_EQ(scene.objectTable[1].get(), second);
  EXPECT_EQ(scene.currentObjectIndex, 2);
  EXPECT_EQ(merged->pointCount, 6);
  EXPECT_EQ(TrianglesOf(*merged), (std::vector<Triangle>{{0, 1, 2}, {3, 4, 5}}));
  EXPECT_TRUE(test::ListsMatchTriangles(*merged));
  EXPECT_NEAR(merged->points[4].x, 0, 1e-5);
  EXPECT_NEAR(merged->points[4].y, 2, 1e-5);
  EXPECT_NEAR(merged->points[5].x, -2, 1e-5);
  EXPECT_EQ(merged->pointColors[4], second->pointColors[1]);
  EXPECT_EQ(merged->optics.shininess, 7);
  EXPECT_EQ(merged->scale, 1.0f);
  EXPECT_EQ(merged->position, Vec3f{});
  EXPECT_EQ(merged->hasUnsavedChanges, 1);
  EXPECT_EQ(merged->pointUV[5].u, 0.0f);  // planar over the merged extents: x from -2 to 1
  EXPECT_EQ(merged->pointUV[1].u, 256.0f);

  // Moving the second object moves its part of the result, and only that.
  second->position = {13, 0, 0};
  ASSERT_TRUE(MergeObjects(first, second));
  SceneObject* moved = scene.currentObject;
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(moved->points[i], merged->points[i]);
  for (size_t i = 3; i < 6; ++i) EXPECT_NEAR(moved->points[i].x - merged->points[i].x, 3, 1e-5);
}

TEST_F(ObjectCopies, MergeAsksForEachHierarchyAndStopsAtNo) {
  SceneObject* first = StoreInTable(MakeMeshAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}));
  SceneObject* second = StoreInTable(MakeMeshAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}));
  ASSERT_TRUE(first && second);
  second->hierarchy.resize(1);
  services.messageAnswers = {false};
  EXPECT_FALSE(MergeObjects(first, second));
  EXPECT_EQ(services.Texts(ShownKind::Message), std::vector<std::string>{GetString(kAskDropHierarchyMerge)});
  EXPECT_EQ(second->hierarchy.size(), 1u) << "the second object's hierarchy is not dropped unasked";
  EXPECT_EQ(ObjectCount(), 2);
  EXPECT_FALSE(MergeObjects(first, first));
  EXPECT_FALSE(MergeObjects(first, nullptr));
}

TEST_F(ObjectCopies, DuplicatesTakeTheFirstFreeSlotAndCopyEverything) {
  SceneObject* sphere = OrganicInTable();
  ASSERT_TRUE(NewObjectInTable(false, 3, 1) != nullptr);
  SceneObject* synthetic = StoreInTable(MakeMeshAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}));
  ASSERT_TRUE(sphere && synthetic);
  synthetic->hierarchy.resize(1);
  synthetic->hierarchy[0].partName = TextToCountedString("Arm");
  synthetic->textureImage = {1, 2, 3, 4};
  synthetic->textureImageSize = {2, 2};
  DisposeSceneObject(scene.objectTable[1]);

  ASSERT_TRUE(DuplicateObject(synthetic));
  EXPECT_EQ(scene.currentObjectIndex, 1);
  SceneObject* copy = scene.currentObject;
  EXPECT_EQ(copy->points, synthetic->points);
  EXPECT_EQ(TrianglesOf(*copy), TrianglesOf(*synthetic));
  EXPECT_NE(copy->topology, synthetic->topology) << "a synthetic copy has a mesh of its own";
  EXPECT_EQ(copy->pointColors, synthetic->pointColors);
  EXPECT_EQ(copy->hierarchy.size(), 1u);
  EXPECT_EQ(copy->textureImage, synthetic->textureImage);

  ASSERT_TRUE(DuplicateObject(sphere));
  EXPECT_EQ(scene.currentObject->topology, scene.organicTopology);
  EXPECT_EQ(scene.currentObject->isOrganic, 1);
  EXPECT_EQ(scene.currentObject->points, sphere->points);

  while (FindFreeObjectSlot() != kNoFreeSlot) ASSERT_TRUE(NewObjectInTable(false, 3, 1) != nullptr);
  services.shown.clear();
  EXPECT_FALSE(DuplicateObject(synthetic));
  EXPECT_EQ(Stops(), std::vector<std::string>{GetString(kErrNoEmptySpace)});
  EXPECT_FALSE(DuplicateObject(nullptr));
}

TEST_F(ObjectCopies, MakingSyntheticGivesAnOwnCopyOfTheOrganicMesh) {
  SceneObject* sphere = OrganicInTable();
  ASSERT_TRUE(sphere);
  ASSERT_TRUE(MakeSynthetic(sphere));
  EXPECT_EQ(sphere->isOrganic, 0);
  EXPECT_EQ(sphere->isFastSynthetic, 1);
  EXPECT_NE(sphere->topology, scene.organicTopology);
  EXPECT_EQ(TrianglesOf(*sphere), scene.organicTopology->triangles);
  EXPECT_TRUE(MakeSynthetic(sphere));
  EXPECT_FALSE(MakeSynthetic(nullptr));

}

TEST_F(ObjectCopies, LinkedHierarchiesAskBeforeTheyAreLost) {
  auto object = MakeMeshAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  ASSERT_TRUE(object);
  EXPECT_TRUE(ConfirmHierarchyLoss(*object));
  object->hierarchy.resize(1);
  EXPECT_TRUE(ConfirmHierarchyLoss(*object));  // a compact hierarchy is not linked
  EXPECT_TRUE(services.Texts(ShownKind::Message).empty());
  object->hierarchy[0].role = kHierarchyChild;
  services.messageAnswers = {false};
  EXPECT_FALSE(ConfirmHierarchyLoss(*object));
  EXPECT_EQ(services.Texts(ShownKind::Message), std::vector<std::string>{GetString(kAskLoseHierarchy)});
}

}  // namespace
}  // namespace tsv
