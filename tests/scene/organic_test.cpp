// Organic objects: the shared topology from the resource folder, the standard shapes, and damaged
// or missing resources.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/resources.h"
#include "scene/organic.h"
#include "tests/scene/scene_fixture.h"
#include "tests/support/temp_dir.h"

namespace tsv {
namespace {

using SceneOrganic = test::SceneFixture;

TEST_F(SceneOrganic, SphereFromTheResourceFolder) {
  SceneObject* sphere = NewObjectInTable(true);
  ASSERT_NE(sphere, nullptr);
  ASSERT_TRUE(FillOrganicShape(*sphere, 0));
  ASSERT_TRUE(SetCurrentObject(0));
  EXPECT_TRUE(Stops().empty());

  EXPECT_EQ(sphere->pointCount, 8194);
  EXPECT_EQ(sphere->triangleCount, 16384);
  EXPECT_EQ(sphere->isOrganic, 1);
  EXPECT_EQ(sphere->isFastSynthetic, 1);
  EXPECT_EQ(ObjectTypeText(*sphere), "Organic");
  EXPECT_EQ(sphere->topology, scene.organicTopology);
  EXPECT_TRUE(HasConsistentArrays(*sphere));

  float uMin = 1e9f, uMax = -1e9f, vMin = 1e9f, vMax = -1e9f;
  double corners = 0;
  for (size_t i = 0; i < 8194; ++i) {
    const Vec3f& p = sphere->points[i];
    ASSERT_NEAR(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), 128.0f, 0.01f) << "point " << i;
    const Uv& uv = sphere->pointUV[i];
    uMin = std::min(uMin, uv.u);
    uMax = std::max(uMax, uv.u);
    vMin = std::min(vMin, uv.v);
    vMax = std::max(vMax, uv.v);
    // v runs downward: the top of the sphere is v = 0.
    ASSERT_NEAR(uv.v, (128.0f - p.y), 0.01f) << "point " << i;
    ASSERT_GT(scene.pointWork[i].cornerCount, 0.0f) << "point " << i;
    corners += scene.pointWork[i].cornerCount;
  }
  EXPECT_FLOAT_EQ(uMin, 0.0f);
  EXPECT_FLOAT_EQ(uMax, 256.0f);
  EXPECT_FLOAT_EQ(vMin, 0.0f);
  EXPECT_FLOAT_EQ(vMax, 256.0f);
  EXPECT_EQ(corners, 3.0 * 16384);
}

TEST_F(SceneOrganic, OrganicObjectsShareOneTopologyThatOutlivesEachOfThem) {
  SceneObject* first = NewObjectInTable(true);
  SceneObject* second = NewObjectInTable(true);
  ASSERT_TRUE(first && second);
  ASSERT_TRUE(FillOrganicShape(*first, 3));
  ASSERT_TRUE(FillOrganicShape(*second, 1));
  ASSERT_EQ(first->topology, second->topology);
  const Topology before = *scene.organicTopology;

  // Editing one organic object's mesh gives it a copy; the shared block is not touched.
  Topology* edited = MutableTopology(*first);
  ASSERT_NE(edited, nullptr);
  edited->triangles[0] = {1, 2, 3};
  EXPECT_TRUE(BuildCornerLists(*first));
  EXPECT_EQ(scene.organicTopology->triangles, before.triangles);
  EXPECT_EQ(scene.organicTopology->pointFirstCorner, before.pointFirstCorner);

  DisposeSceneObject(scene.objectTable[0]);
  DisposeSceneObject(scene.objectTable[1]);
  ASSERT_TRUE(scene.organicTopology);
  EXPECT_EQ(scene.organicTopology->triangles, before.triangles);
  EXPECT_EQ(scene.organicTopology->triangleNextCorner, before.triangleNextCorner);

  // A later organic object still gets the whole block.
  SceneObject* third = NewObjectInTable(true);
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(third->topology, scene.organicTopology);
  EXPECT_EQ(Triangles(*third).size(), 16384u);
}

TEST_F(SceneOrganic, ShapesOutOfRangeOrOnTheWrongObjectAreRefused) {
  auto organic = NewOrganicSceneObject();
  auto small = NewSceneObject(10, 1);
  ASSERT_TRUE(organic && small);
  EXPECT_FALSE(FillOrganicShape(*organic, -1));
  EXPECT_FALSE(FillOrganicShape(*organic, 5));
  EXPECT_FALSE(FillOrganicShape(*small, 0));
  EXPECT_EQ(small->isOrganic, 0);
  EXPECT_TRUE(FillOrganicShape(*organic, 4));
}

class SceneOrganicResources : public test::SceneFixture {
 protected:
  void SetUp() override {
    test::SceneFixture::SetUp();
    platform.resourceDirectory = folder.str();
  }
  // Copies one resource of the generated folder into the test's own folder.
  std::vector<uint8_t> Copy(int id) {
    std::vector<uint8_t> bytes = test::ReadFileBytes(std::string(TESSIVAR_TEST_RESOURCE_ROOT) +
                                                     "/Resource/english/" + Name(id));
    test::WriteFileBytes(folder / ("Resource/english/" + Name(id)), bytes);
    return bytes;
  }
  void Write(int id, const std::vector<uint8_t>& bytes) {
    test::WriteFileBytes(folder / ("Resource/english/" + Name(id)), bytes);
  }
  static std::string Name(int id) {
    char name[16];
    std::snprintf(name, sizeof name, "res%04d", id);
    return name;
  }
  test::TempDir folder;
};

TEST_F(SceneOrganicResources, IndexBeyondThePointsIsADamagedTopology) {
  std::vector<uint8_t> bytes = Copy(3004);
  ASSERT_EQ(bytes.size(), 16384u * 12);
  // Triangle 100, corner 2 names point 8194 (big-endian word).
  bytes[100 * 12 + 8] = 0;
  bytes[100 * 12 + 9] = 0;
  bytes[100 * 12 + 10] = 0x20;
  bytes[100 * 12 + 11] = 0x02;
  Write(3004, bytes);
  EXPECT_EQ(NewOrganicSceneObject(), nullptr);
  EXPECT_EQ(Stops(), std::vector<std::string>{"Error reading resource 3004"});
  EXPECT_FALSE(scene.organicTopology);
  EXPECT_EQ(WorkPointCapacity(), 128);
}

TEST_F(SceneOrganicResources, ShortTopologyIsRefused) {
  std::vector<uint8_t> bytes = Copy(3004);
  ASSERT_EQ(bytes.size(), 16384u * 12);
  Write(3004, std::vector<uint8_t>(bytes.begin(), bytes.end() - 4));
  EXPECT_FALSE(LoadOrganicTopology());
  EXPECT_EQ(Stops(), std::vector<std::string>{"Error reading resource 3004"});
}

TEST_F(SceneOrganicResources, MissingOrDamagedShapeLeavesTheObjectAlone) {
  Copy(3004);
  auto object = NewOrganicSceneObject();
  ASSERT_TRUE(object);
  object->points[5] = {1, 2, 3};
  object->textureKind = 4;

  EXPECT_FALSE(FillOrganicShape(*object, 1));
  EXPECT_EQ(Stops(), (std::vector<std::string>{"Can't find data resource 201",
                                               "Error: Not enough memory."}));

  std::vector<uint8_t> shape = Copy(202);
  shape[40] = 0x7F;  // point 3's y becomes a NaN
  shape[41] = 0xC0;
  Write(202, shape);
  services.shown.clear();
  EXPECT_FALSE(FillOrganicShape(*object, 2));
  EXPECT_EQ(Stops(), (std::vector<std::string>{"Error reading resource 202",
                                               "Error: Not enough memory."}));

  EXPECT_EQ(object->points[5].y, 2.0f);
  EXPECT_EQ(object->points[0].x, 0.0f);
  EXPECT_EQ(object->textureKind, 4);
}

}  // namespace
}  // namespace tsv
