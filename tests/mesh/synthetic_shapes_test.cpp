// Synthetic standard shapes: counts against their formulas, closed and outward (the plain meshes
// facing +z), fitting the cube of +-128, the clamps written back, and the new-object command.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "mesh/correct_normals.h"
#include "mesh/synthetic_shapes.h"
#include "scene/scene_state.h"
#include "tests/mesh/mesh_test_support.h"

namespace tsv {
namespace {

using MeshShapes = test::MeshFixture;

struct CountCase {
  const char* name;
  SyntheticShapeSettings settings;
  int32_t points, triangles;
};

// Counts worked out by hand from the shapes' descriptions.
const CountCase kCounts[] = {
    {"front plain 1 x 1", {kFrontSidePlainMesh, 1, 1, 1, 0.5f}, 4, 2},
    {"front plain 5 x 3", {kFrontSidePlainMesh, 5, 3, 1, 0.5f}, 24, 30},
    {"both plain 2 x 3", {kBothSidesPlainMesh, 2, 3, 1, 0.5f}, 24, 24},
    {"sphere 3 x 2: one ring", {kSyntheticSphere, 3, 2, 1, 0.5f}, 5, 6},
    {"sphere 8 x 6", {kSyntheticSphere, 8, 6, 1, 0.5f}, 42, 80},
    {"cylinder 6 x 2, base 1", {kSyntheticCylinder, 6, 2, 1, 0.5f}, 20, 36},
    {"cylinder 5 x 3, base 3", {kSyntheticCylinder, 5, 3, 3, 0.5f}, 42, 80},
    {"cube 1 x 1", {kSyntheticCube, 1, 1, 1, 0.5f}, 8, 12},
    {"cube 3 x 2", {kSyntheticCube, 3, 2, 1, 0.5f}, 44, 84},
    {"cone 4 x 1, base 1", {kSyntheticCone, 4, 1, 1, 0.5f}, 6, 8},
    {"cone 7 x 4, base 2", {kSyntheticCone, 7, 4, 2, 0.5f}, 37, 70},
    {"doughnut 3 x 3", {kSyntheticDoughnut, 3, 3, 1, 0.5f}, 9, 18},
    {"doughnut 10 x 6", {kSyntheticDoughnut, 10, 6, 1, 0.3f}, 60, 120},
};

TEST_F(MeshShapes, CountsFollowTheFormulas) {
  for (const CountCase& c : kCounts) {
    SCOPED_TRACE(c.name);
    SyntheticShapeSettings settings = c.settings;
    const MeshCounts formula = SyntheticShapeCounts(settings);
    EXPECT_EQ(formula.points, c.points);
    EXPECT_EQ(formula.triangles, c.triangles);
    auto object = BuildSyntheticShape(settings);
    ASSERT_TRUE(object);
    EXPECT_EQ(object->pointCount, c.points);
    EXPECT_EQ(object->triangleCount, c.triangles);
    EXPECT_TRUE(HasConsistentArrays(*object));
    EXPECT_TRUE(test::ListsMatchTriangles(*object));
    for (const Vec3f& p : object->points) ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
  }
}

struct ShapeCase {
  const char* name;
  SyntheticShapeSettings settings;
};

const ShapeCase kClosed[] = {
    {"sphere", {kSyntheticSphere, 17, 11, 1, 0.5f}},
    {"sphere of one ring", {kSyntheticSphere, 3, 2, 1, 0.5f}},
    {"cylinder without cap rings", {kSyntheticCylinder, 9, 3, 1, 0.5f}},
    {"cylinder", {kSyntheticCylinder, 9, 3, 4, 0.5f}},
    {"cube of one cell", {kSyntheticCube, 1, 1, 1, 0.5f}},
    {"cube", {kSyntheticCube, 5, 3, 1, 0.5f}},
    {"cone", {kSyntheticCone, 12, 4, 3, 0.5f}},
    {"cone of one ring", {kSyntheticCone, 3, 1, 1, 0.5f}},
    {"doughnut", {kSyntheticDoughnut, 14, 9, 1, 0.4f}},
    {"doughnut closed in the middle", {kSyntheticDoughnut, 12, 8, 1, 1.0f}},
};

TEST_F(MeshShapes, ClosedShapesAreClosedOutwardAndFitTheCube) {
  for (const ShapeCase& c : kClosed) {
    SCOPED_TRACE(c.name);
    SyntheticShapeSettings settings = c.settings;
    auto object = BuildSyntheticShape(settings);
    ASSERT_TRUE(object);
    EXPECT_TRUE(test::ClosedAndOutward(*object));
    float reach = 0, height = 0;
    for (const Vec3f& p : object->points) {
      reach = std::max({reach, std::fabs(p.x), std::fabs(p.z)});
      height = std::max(height, std::fabs(p.y));
    }
    EXPECT_LE(reach, 128.001f);
    EXPECT_GE(reach, 120.0f);
    EXPECT_LE(height, 128.0f);
    // Already the way the normal correction leaves a mesh.
    const std::vector<Triangle> before(Triangles(*object).begin(), Triangles(*object).end());
    ASSERT_TRUE(CorrectNormals(object.get()));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), Triangles(*object).begin()));
  }
}

TEST_F(MeshShapes, PlainMeshesFaceFrontAndTheSecondSideBack) {
  for (uint16_t shape : {kFrontSidePlainMesh, kBothSidesPlainMesh}) {
    SyntheticShapeSettings settings{shape, 4, 3, 1, 0.5f};
    auto object = BuildSyntheticShape(settings);
    ASSERT_TRUE(object);
    EXPECT_TRUE(test::ConsistentlyWound(Triangles(*object), false));
    int front = 0, back = 0;
    for (const Triangle& t : Triangles(*object)) {
      const Vec3f n = test::FaceNormal(*object, t);
      EXPECT_EQ(n.x, 0.0f);
      EXPECT_EQ(n.y, 0.0f);
      (n.z > 0 ? front : back) += 1;
      // The front is made of the even copies, the back of the odd ones.
      if (shape == kBothSidesPlainMesh) {
        EXPECT_EQ(t[0] % 2, n.z > 0 ? 0u : 1u);
      }
    }
    EXPECT_EQ(front, 24);
    EXPECT_EQ(back, shape == kBothSidesPlainMesh ? 24 : 0);
    // Row 0 is the top, column 0 the left; the texture's v runs down from the top.
    EXPECT_EQ(object->points[0].x, -128.0f);
    EXPECT_EQ(object->points[0].y, 128.0f);
    EXPECT_EQ(object->pointUV[0].u, 0.0f);
    EXPECT_EQ(object->pointUV[0].v, 0.0f);
    EXPECT_EQ(object->pointUV[size_t(object->pointCount - 1)].u, 256.0f);
    EXPECT_EQ(object->pointUV[size_t(object->pointCount - 1)].v, 256.0f);
  }
}

TEST_F(MeshShapes, TheDoughnutsFatnessSetsTubeAndRing) {
  for (float f : {1.0f, 2.0f}) {
    SCOPED_TRACE(f);
    SyntheticShapeSettings settings{kSyntheticDoughnut, 8, 6, 1, f};
    auto object = BuildSyntheticShape(settings);
    ASSERT_TRUE(object);
    EXPECT_EQ(settings.f, 1.0f);
    // Point (i = 0, j = 0) is the outermost, (0, 4) the innermost: ring 64 +- tube 64.
    EXPECT_NEAR(object->points[0].x, 128.0f, 1e-4f);
    EXPECT_NEAR(object->points[4].x, 0.0f, 1e-4f);
    EXPECT_NEAR(object->points[2].y, 64.0f, 1e-4f);
  }
  SyntheticShapeSettings thin{kSyntheticDoughnut, 8, 6, 1, 0.01f};
  auto object = BuildSyntheticShape(thin);
  ASSERT_TRUE(object);
  EXPECT_EQ(thin.f, 0.05f);
  EXPECT_NEAR(object->points[2].y, 3.2f, 1e-4f);
}

TEST_F(MeshShapes, ClampsAreWrittenBack) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct ClampCase {
    const char* name;
    SyntheticShapeSettings given, clamped;
  };
  const ClampCase cases[] = {
      {"plain below", {kFrontSidePlainMesh, 0, -5, 0, 9.0f}, {kFrontSidePlainMesh, 1, 1, 0, 9.0f}},
      {"plain above 512", {kBothSidesPlainMesh, 600, 513, 7, 0.5f}, {kBothSidesPlainMesh, 512, 512, 7, 0.5f}},
      {"sphere below", {kSyntheticSphere, 2, 0, 0, 0.5f}, {kSyntheticSphere, 3, 2, 0, 0.5f}},
      {"sphere above", {kSyntheticSphere, 9999, 9999, 0, 0.5f}, {kSyntheticSphere, 512, 514, 0, 0.5f}},
      {"cylinder", {kSyntheticCylinder, 1, 0, 700, 0.5f}, {kSyntheticCylinder, 3, 1, 512, 0.5f}},
      {"cone", {kSyntheticCone, 513, 600, -1, 0.5f}, {kSyntheticCone, 512, 512, 1, 0.5f}},
      {"cube", {kSyntheticCube, 0, 1000, 0, 0.5f}, {kSyntheticCube, 1, 512, 0, 0.5f}},
      {"doughnut", {kSyntheticDoughnut, 2, 600, 0, 2.0f}, {kSyntheticDoughnut, 3, 512, 0, 1.0f}},
      {"doughnut fatness not a number", {kSyntheticDoughnut, 3, 3, 0, nan}, {kSyntheticDoughnut, 3, 3, 0, 0.05f}},
  };
  for (const ClampCase& c : cases) {
    SCOPED_TRACE(c.name);
    SyntheticShapeSettings s = c.given;
    ASSERT_TRUE(ClampSyntheticShapeSettings(s));
    EXPECT_EQ(s.x, c.clamped.x);
    EXPECT_EQ(s.y, c.clamped.y);
    EXPECT_EQ(s.b, c.clamped.b);
    EXPECT_EQ(s.f, c.clamped.f);
  }
  SyntheticShapeSettings unknown{7, 1, 1, 1, 0.5f};
  EXPECT_FALSE(ClampSyntheticShapeSettings(unknown));
  EXPECT_EQ(BuildSyntheticShape(unknown), nullptr);

  // The dialog's ranges come first: a sphere's y stops at 512 there.
  SyntheticShapeSettings dialog{kSyntheticSphere, 0, 9999, 0, -1.0f};
  ASSERT_TRUE(ClampShapeDialogSettings(dialog));
  EXPECT_EQ(dialog.x, 3);
  EXPECT_EQ(dialog.y, 512);
  EXPECT_EQ(dialog.b, 1);
  EXPECT_EQ(dialog.f, 0.05f);
}

TEST_F(MeshShapes, DivisionsAbove512BuildTheLargestShape) {
  SyntheticShapeSettings settings{kSyntheticCube, 800, 1, 1, 0.5f};
  auto cube = BuildSyntheticShape(settings);
  ASSERT_TRUE(cube);
  EXPECT_EQ(settings.x, 512);
  EXPECT_EQ(cube->triangleCount, 8 * 512 + 4 * 512 * 512);
  EXPECT_TRUE(test::ListsMatchTriangles(*cube));

  SyntheticShapeSettings sphere{kSyntheticSphere, 4, 600, 1, 0.5f};
  auto tall = BuildSyntheticShape(sphere);
  ASSERT_TRUE(tall);
  EXPECT_EQ(tall->pointCount, 4 * 513 + 2) << "513 rings at most";
}

TEST_F(MeshShapes, NewSyntheticObjectTakesTheLowestFreeSlotAndBecomesCurrent) {
  ASSERT_NE(NewObjectInTable(false, 3, 1), nullptr);
  ASSERT_NE(NewObjectInTable(false, 3, 1), nullptr);
  DisposeSceneObject(scene.objectTable[0]);
  SyntheticShapeSettings settings{kSyntheticCone, 8, 3, 2, 0.5f};
  SceneObject* cone = NewSyntheticObject(settings);
  ASSERT_NE(cone, nullptr);
  EXPECT_EQ(scene.objectTable[0].get(), cone);
  EXPECT_EQ(scene.currentObject, cone);
  EXPECT_EQ(ObjectTypeText(*cone), "Synthetic");
  EXPECT_EQ(cone->isOrganic, 0);
  // Activated with its shape: the work records hold its positions.
  EXPECT_EQ(scene.pointWork[13].x, cone->points[13].x);
  EXPECT_EQ(scene.pointWork[13].cornerCount, 6.0f);

  SceneObject* organic = NewOrganicShapeObject(2);
  ASSERT_NE(organic, nullptr);
  EXPECT_EQ(organic->isOrganic, 1);
  EXPECT_EQ(scene.currentObject, organic);
  EXPECT_TRUE(Stops().empty());

  // Each shape is a new object with a name of its own beside the blank one left in slot 1.
  EXPECT_EQ(CountedToText(scene.objectTable[1]->name), "Untitled 2");
  EXPECT_EQ(CountedToText(cone->name), "Untitled");
  EXPECT_EQ(CountedToText(organic->name), "Untitled 3");
}

TEST_F(MeshShapes, AFullTableRefusesBeforeBuildingAnything) {
  for (int slot = 0; slot < kObjectSlotCount; ++slot) scene.objectTable[size_t(slot)] = NewSceneObject(0, 0);
  const int32_t capacity = WorkPointCapacity();
  SyntheticShapeSettings settings{kSyntheticSphere, 512, 514, 1, 0.5f};
  EXPECT_EQ(NewSyntheticObject(settings), nullptr);
  EXPECT_EQ(NewOrganicShapeObject(0), nullptr);
  EXPECT_EQ(Stops(), (std::vector<std::string>{"Error: No empty space.", "Error: No empty space."}));
  EXPECT_EQ(WorkPointCapacity(), capacity) << "nothing was allocated";
}

}  // namespace
}  // namespace tsv
