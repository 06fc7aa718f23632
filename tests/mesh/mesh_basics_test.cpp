// Mesh basics: dropping degenerate triangles, fitting arrays, centring, quarter turns, inverting
// the winding, and filling objects from a standard shape or from another object.
#include <gtest/gtest.h>

#include <vector>

#include "mesh/mesh_basics.h"
#include "platform/platform_state.h"
#include "scene/organic.h"
#include "tests/mesh/mesh_test_support.h"
#include "tests/support/temp_dir.h"

namespace tsv {
namespace {

using MeshBasics = test::MeshFixture;
using test::MakeMeshAt;

const std::vector<Vec3f> kFivePoints = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 3, 4}};

TEST_F(MeshBasics, DegenerateTrianglesGoAndTheRestKeepTheirOrder) {
  auto object = MakeMeshAt(kFivePoints, {{0, 1, 2}, {1, 1, 3}, {2, 1, 3}, {3, 4, 3}, {4, 2, 2}, {0, 3, 4}});
  ASSERT_TRUE(object);
  object->isFastSynthetic = 1;
  object->hierarchy.resize(2);
  object->hierarchy[0].childCount = 1;
  object->hierarchy[0].partTriangleCount = 3;  // triangles 0..2: one degenerate
  object->hierarchy[1].partFirstTriangle = 3;
  object->hierarchy[1].partTriangleCount = 3;  // triangles 3..5: two degenerate
  EXPECT_EQ(DropDegenerateTriangles(object.get()), 3);
  EXPECT_EQ(std::vector<Triangle>(Triangles(*object).begin(), Triangles(*object).end()),
            (std::vector<Triangle>{{0, 1, 2}, {2, 1, 3}, {0, 3, 4}}));
  EXPECT_EQ(object->triangleCount, 3);
  EXPECT_EQ(object->pointCount, 5);
  EXPECT_TRUE(HasConsistentArrays(*object));
  EXPECT_TRUE(test::ListsMatchTriangles(*object));
  EXPECT_EQ(object->isFastSynthetic, 0);
  EXPECT_EQ(object->hierarchy[0].partTriangleCount, 2u);
  EXPECT_EQ(object->hierarchy[1].partFirstTriangle, 2u);
  EXPECT_EQ(object->hierarchy[1].partTriangleCount, 1u);

  // Nothing left to drop: untouched.
  object->hasUnsavedChanges = 0;
  EXPECT_EQ(DropDegenerateTriangles(object.get()), 0);
  EXPECT_EQ(object->hasUnsavedChanges, 0);
  EXPECT_EQ(DropDegenerateTriangles(nullptr), 0);
}

TEST_F(MeshBasics, ResizingFitsEveryArrayIncludingTheMask) {
  auto object = MakeMeshAt(kFivePoints, {{0, 1, 2}, {2, 1, 3}});
  ASSERT_TRUE(object);
  object->pointCount = 7;
  object->triangleCount = 1;
  ASSERT_TRUE(ResizeObjectArrays(object.get()));
  EXPECT_TRUE(HasConsistentArrays(*object)) << "the mask must follow the point count too";
  EXPECT_EQ(object->pointMask[6], 255);
  EXPECT_EQ(object->pointColors[6].red, object->optics.diffuseColor.red >> 8);
  EXPECT_EQ(object->pointMask[4], 196);  // kept
  EXPECT_EQ(Triangles(*object)[0], (Triangle{0, 1, 2}));

  object->pointCount = 2;
  object->triangleCount = 0;
  ASSERT_TRUE(ResizeObjectArrays(object.get()));
  EXPECT_TRUE(HasConsistentArrays(*object));

  // Organic arrays are fixed.
  SceneObject* organic = NewObjectInTable(true);
  ASSERT_NE(organic, nullptr);
  EXPECT_FALSE(ResizeObjectArrays(organic));
  EXPECT_EQ(organic->topology, scene.organicTopology);
}

TEST_F(MeshBasics, CentringPutsTheBoxCentreAtTheOrigin) {
  auto object = MakeMeshAt({{10, -4, 3}, {20, 6, 5}, {14, 0, 4}}, {{0, 1, 2}});
  ASSERT_TRUE(object);
  CentreObject(object.get());
  EXPECT_EQ(object->points[0].x, -5.0f);
  EXPECT_EQ(object->points[1].x, 5.0f);
  EXPECT_EQ(object->points[0].y, -5.0f);
  EXPECT_EQ(object->points[1].z, 1.0f);
  EXPECT_EQ(object->points[2].x, -1.0f);
  CentreObject(nullptr);
}

TEST_F(MeshBasics, QuarterTurnsMoveAxesAndFourMakeAWholeTurn) {
  struct Turn {
    const char* name;
    void (*turn)(SceneObject*);
    Vec3f expected;
  };
  const Turn turns[] = {{"x", QuarterTurnX, {1, -3, 2}}, {"y", QuarterTurnY, {3, 2, -1}}, {"z", QuarterTurnZ, {-2, 1, 3}}};
  for (const Turn& t : turns) {
    SCOPED_TRACE(t.name);
    auto object = MakeMeshAt({{1, 2, 3}}, {});
    ASSERT_TRUE(object);
    t.turn(object.get());
    EXPECT_EQ(object->points[0].x, t.expected.x);
    EXPECT_EQ(object->points[0].y, t.expected.y);
    EXPECT_EQ(object->points[0].z, t.expected.z);
    for (int i = 0; i < 3; ++i) t.turn(object.get());
    EXPECT_EQ(object->points[0].x, 1.0f);
    EXPECT_EQ(object->points[0].y, 2.0f);
    EXPECT_EQ(object->points[0].z, 3.0f);
    t.turn(nullptr);
  }
}

TEST_F(MeshBasics, InvertingTheWindingOfAnOrganicObjectLeavesTheOthersAlone) {
  SceneObject* first = NewObjectInTable(true);
  SceneObject* second = NewObjectInTable(true);
  ASSERT_TRUE(first && second && FillOrganicShape(*first, 0) && FillOrganicShape(*second, 0));
  const Triangle before = Triangles(*first)[5];
  const double volume = test::SignedVolume6(*first);
  InvertWinding(first);
  EXPECT_EQ(Triangles(*first)[5], (Triangle{before[0], before[2], before[1]}));
  EXPECT_NEAR(test::SignedVolume6(*first), -volume, std::abs(volume) * 1e-6);
  EXPECT_EQ(first->isOrganic, 0);
  EXPECT_EQ(first->isFastSynthetic, 0);
  EXPECT_TRUE(test::ListsMatchTriangles(*first));
  EXPECT_EQ(second->topology, scene.organicTopology);
  EXPECT_EQ(Triangles(*second)[5], before);
}

TEST_F(MeshBasics, StandardShapesFillOrganicObjects) {
  SceneObject* object = NewObjectInTable(true);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(FillStandardShape(object, 3), kNoError);
  EXPECT_EQ(object->topology, scene.organicTopology);
  EXPECT_EQ(FillStandardShape(object, 5), kMalformed);
  EXPECT_EQ(FillStandardShape(nullptr, 0), kMalformed);
  EXPECT_TRUE(Stops().empty());

  // A resource folder without the shapes.
  test::TempDir empty;
  platform.resourceDirectory = empty.str();
  scene.organicTopology.reset();
  SceneObject* lost = NewObjectInTable(false, kOrganicPointCount, 0);
  ASSERT_NE(lost, nullptr);
  services.shown.clear();
  EXPECT_EQ(FillStandardShape(lost, 0), kMalformed);
  ASSERT_FALSE(Stops().empty());
  EXPECT_EQ(Stops().back(), "Error: Not enough memory.");
}

TEST_F(MeshBasics, FillingFromAnotherObjectCopiesEverythingButItsOwnName) {
  auto source = MakeMeshAt(kFivePoints, {{0, 1, 2}, {2, 1, 3}});
  ASSERT_TRUE(source);
  source->optics.shininess = 77;
  source->textureParams[2] = 200;
  source->snapPoints[0] = 3;
  source->name = TextToCountedString("Rock");
  auto target = NewSceneObject(1, 0);
  ASSERT_TRUE(target);
  ASSERT_EQ(FillFromObject(target.get(), source.get()), kNoError);
  EXPECT_EQ(target->pointCount, 5);
  EXPECT_EQ(target->triangleCount, 2);
  EXPECT_TRUE(HasConsistentArrays(*target));
  EXPECT_NE(target->topology, source->topology) << "a synthetic topology is copied, not shared";
  EXPECT_EQ(Triangles(*target)[1], (Triangle{2, 1, 3}));
  EXPECT_EQ(target->points[4].z, 4.0f);
  EXPECT_EQ(target->pointColors[3].red, 3);
  EXPECT_EQ(target->pointUV[2].v, 20.0f);
  EXPECT_EQ(target->optics.shininess, 77);
  EXPECT_EQ(target->textureParams[2], 200);
  EXPECT_EQ(target->snapPoints[0], 3);
  EXPECT_EQ(CountedToText(target->name), "Untitled");

  SceneObject* organic = NewObjectInTable(true);
  ASSERT_TRUE(organic && FillOrganicShape(*organic, 0));
  ASSERT_EQ(FillFromObject(target.get(), organic), kNoError);
  EXPECT_EQ(target->topology, scene.organicTopology);
  EXPECT_EQ(target->isOrganic, 1);

  scene.failAllocationCountdown = 2;
  EXPECT_EQ(FillFromObject(target.get(), source.get()), kNoMemory);
  scene.failAllocationCountdown = 0;
  EXPECT_EQ(Stops(), std::vector<std::string>{"Error: Not enough memory."});
  EXPECT_EQ(target->pointCount, kOrganicPointCount);
  EXPECT_EQ(target->topology, scene.organicTopology);
}

}  // namespace
}  // namespace tsv
