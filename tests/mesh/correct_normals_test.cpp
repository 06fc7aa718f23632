// Correcting normals: mixed and inverted closed meshes come out consistent and outward, separate
// pieces are each oriented by their own extremes, open sheets end consistent, a mesh already
// right is left alone, and failures change nothing.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "mesh/correct_normals.h"
#include "mesh/mesh_basics.h"
#include "mesh/synthetic_shapes.h"
#include "scene/organic.h"
#include "tests/mesh/mesh_test_support.h"

namespace tsv {
namespace {

using MeshNormals = test::MeshFixture;

std::unique_ptr<SceneObject> Shape(uint16_t shape, int32_t x, int32_t y, int32_t b = 2, float f = 0.5f) {
  SyntheticShapeSettings settings{shape, x, y, b, f};
  return BuildSyntheticShape(settings);
}

// Turns about `share` of the triangles inside out.
void Scramble(SceneObject& object, double share, unsigned seed) {
  std::mt19937 random(seed);
  std::bernoulli_distribution flip(share);
  Topology* topology = MutableTopology(object);
  for (Triangle& t : topology->triangles) {
    if (flip(random)) std::swap(t[1], t[2]);
  }
  EXPECT_TRUE(BuildCornerLists(object));
}

std::vector<Triangle> TrianglesOf(const SceneObject& object) {
  return {Triangles(object).begin(), Triangles(object).end()};
}

// Several meshes side by side in one object, each moved by its offset along x.
std::unique_ptr<SceneObject> Side(const std::vector<const SceneObject*>& parts, const std::vector<float>& offsets) {
  std::vector<Vec3f> points;
  std::vector<Triangle> triangles;
  for (size_t i = 0; i < parts.size(); ++i) {
    const uint32_t base = uint32_t(points.size());
    for (Vec3f p : parts[i]->points) points.push_back({p.x + offsets[i], p.y, p.z});
    for (Triangle t : Triangles(*parts[i])) triangles.push_back({t[0] + base, t[1] + base, t[2] + base});
  }
  return test::MakeMeshAt(points, triangles);
}

TEST_F(MeshNormals, MixedWindingEndsConsistentAndOutward) {
  struct Case {
    const char* name;
    std::unique_ptr<SceneObject> object;
  };
  std::vector<Case> cases;
  cases.push_back({"sphere", Shape(kSyntheticSphere, 24, 14)});
  cases.push_back({"cube", Shape(kSyntheticCube, 4, 3)});
  cases.push_back({"cone", Shape(kSyntheticCone, 16, 5, 3)});
  cases.push_back({"doughnut", Shape(kSyntheticDoughnut, 20, 16, 2, 0.6f)});
  SceneObject* organic = NewObjectInTable(true);
  ASSERT_TRUE(organic && FillOrganicShape(*organic, 1));  // the tetrahedron: flat faces, sharp corners
  cases.push_back({"organic tetrahedron", std::make_unique<SceneObject>(*organic)});
  for (Case& c : cases) {
    for (double share : {0.3, 1.0}) {
      SCOPED_TRACE(std::string(c.name) + (share == 1.0 ? " inside out" : " mixed"));
      ASSERT_TRUE(c.object);
      Scramble(*c.object, share, 7);
      services.shown.clear();
      ASSERT_TRUE(CorrectNormals(c.object.get()));
      EXPECT_TRUE(test::ClosedAndOutward(*c.object));
      EXPECT_TRUE(test::ListsMatchTriangles(*c.object));
      EXPECT_EQ(c.object->isOrganic, 0);
      EXPECT_EQ(services.Texts(ShownKind::Progress),
                (std::vector<std::string>{"Correcting normals (pass 1/3)...", "Correcting normals (pass 2/3)...",
                                          "Correcting normals (pass 3/3)..."}));
      EXPECT_FALSE(services.progressVisible);
    }
  }
}

TEST_F(MeshNormals, AMeshAlreadyRightIsLeftAlone) {
  SceneObject* sphere = NewObjectInTable(true);
  ASSERT_TRUE(sphere && FillOrganicShape(*sphere, 0));
  sphere->hasUnsavedChanges = 0;
  ASSERT_TRUE(CorrectNormals(sphere));
  EXPECT_EQ(sphere->topology, scene.organicTopology);
  EXPECT_EQ(sphere->isOrganic, 1);
  EXPECT_EQ(sphere->hasUnsavedChanges, 0);

  auto cylinder = Shape(kSyntheticCylinder, 12, 4, 3);
  ASSERT_TRUE(cylinder);
  const std::vector<Triangle> before = TrianglesOf(*cylinder);
  ASSERT_TRUE(CorrectNormals(cylinder.get()));
  EXPECT_EQ(TrianglesOf(*cylinder), before);
}

TEST_F(MeshNormals, EachPieceIsOrientedFromItsOwnExtremes) {
  // An inside-out cube left of a scrambled sphere, a right cube on the right; the extreme points
  // along every axis belong to different pieces.
  auto left = Shape(kSyntheticCube, 2, 2), middle = Shape(kSyntheticSphere, 10, 8), right = Shape(kSyntheticCube, 3, 1);
  ASSERT_TRUE(left && middle && right);
  InvertWinding(left.get());
  Scramble(*middle, 0.5, 3);
  auto object = Side({left.get(), middle.get(), right.get()}, {-400.0f, 0.0f, 400.0f});
  ASSERT_TRUE(object);
  ASSERT_TRUE(CorrectNormals(object.get()));
  EXPECT_TRUE(test::ConsistentlyWound(Triangles(*object), true));
  // Each piece encloses its own positive volume.
  const int32_t counts[] = {left->triangleCount, middle->triangleCount, right->triangleCount};
  size_t first = 0;
  for (int32_t count : counts) {
    SceneObject piece;
    piece.points = object->points;
    auto block = std::make_shared<Topology>();
    block->triangles.assign(Triangles(*object).begin() + long(first), Triangles(*object).begin() + long(first + size_t(count)));
    piece.topology = block;
    EXPECT_GT(test::SignedVolume6(piece), 0) << "piece from triangle " << first;
    first += size_t(count);
  }
}

TEST_F(MeshNormals, OpenSheetsEndConsistent) {
  // A sheet has no extreme along x or y that tells a side: the x pass keeps the facing of its seed
  // triangle, the y pass agrees, and when the z pass turns the sheet (the seed included) the vote
  // turns it back. So a sheet facing -z stays facing -z, every triangle of it.
  for (bool inverted : {false, true}) {
    SCOPED_TRACE(inverted ? "facing -z" : "facing +z");
    auto sheet = Shape(kFrontSidePlainMesh, 5, 4);
    ASSERT_TRUE(sheet);
    if (inverted) InvertWinding(sheet.get());
    ASSERT_TRUE(CorrectNormals(sheet.get()));
    EXPECT_TRUE(test::ConsistentlyWound(Triangles(*sheet), false));
    for (const Triangle& t : Triangles(*sheet)) {
      EXPECT_EQ(test::FaceNormal(*sheet, t).z > 0, !inverted);
    }
  }
  // A scrambled sheet comes out agreeing with itself, whichever way its seed looked.
  auto sheet = Shape(kFrontSidePlainMesh, 7, 6);
  ASSERT_TRUE(sheet);
  Scramble(*sheet, 0.4, 11);
  ASSERT_TRUE(CorrectNormals(sheet.get()));
  EXPECT_TRUE(test::ConsistentlyWound(Triangles(*sheet), false));
  const bool front = test::FaceNormal(*sheet, Triangles(*sheet)[0]).z > 0;
  for (const Triangle& t : Triangles(*sheet)) EXPECT_EQ(test::FaceNormal(*sheet, t).z > 0, front);
}

TEST_F(MeshNormals, EverySeparateTriangleFacesWithTwoOfTheThreeAxes) {
  // A soup: every triangle its own piece, seeded on its own. Each pass turns it to face its axis;
  // the vote at the end leaves it facing the positive side of at least two axes.
  std::mt19937 random(5);
  std::uniform_real_distribution<float> coordinate(-256.0f, 256.0f), offset(-20.0f, 20.0f);
  std::vector<Vec3f> points;
  std::vector<Triangle> triangles;
  for (uint32_t t = 0; t < 600; ++t) {
    const Vec3f c{coordinate(random), coordinate(random), coordinate(random)};
    for (int k = 0; k < 3; ++k) points.push_back({c.x + offset(random), c.y + offset(random), c.z + offset(random)});
    triangles.push_back({3 * t, 3 * t + 1, 3 * t + 2});
  }
  auto soup = test::MakeMeshAt(points, triangles);
  ASSERT_TRUE(soup);
  ASSERT_TRUE(CorrectNormals(soup.get()));
  for (const Triangle& t : Triangles(*soup)) {
    const Vec3f n = test::FaceNormal(*soup, t);
    EXPECT_GE(int(n.x >= 0) + int(n.y >= 0) + int(n.z >= 0), 2);
  }
}

TEST_F(MeshNormals, RefusalsLeaveTheObjectAsItWas) {
  EXPECT_FALSE(CorrectNormals(nullptr));
  auto damaged = Shape(kSyntheticSphere, 6, 4);
  ASSERT_TRUE(damaged);
  damaged->pointCount -= 1;  // the arrays no longer match
  EXPECT_FALSE(CorrectNormals(damaged.get()));

  for (int32_t failing : {1, 2, 3}) {
    auto cube = Shape(kSyntheticCube, 2, 2);
    ASSERT_TRUE(cube);
    InvertWinding(cube.get());
    const std::vector<Triangle> before = TrianglesOf(*cube);
    services.shown.clear();
    scene.failAllocationCountdown = failing;
    EXPECT_FALSE(CorrectNormals(cube.get())) << "allocation " << failing;
    scene.failAllocationCountdown = 0;
    EXPECT_EQ(Stops(), std::vector<std::string>{"Error: Not enough memory."});
    EXPECT_EQ(TrianglesOf(*cube), before);
    EXPECT_FALSE(services.progressVisible);
  }
}

}  // namespace
}  // namespace tsv
