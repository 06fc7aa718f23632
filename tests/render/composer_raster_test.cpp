// Tests of the composer's object rasteriser: where an object lands in the picture and how it is
// lit, clipping, depth order, the shading terms, shadows and the texel sampler.
#include "render/composer_raster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "platform/preferences.h"
#include "render/render_state.h"
#include "render/soft_draw.h"
#include "render/work_data.h"
#include "scene/native_files.h"
#include "scene/object_table.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "scene/vec3.h"
#include "tests/render/render_fixture.h"

namespace tsv::test {
namespace {

// A picture of one band, its colour and depth rows, drawn a band at a time.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> colour;
  std::vector<float> depth;

  Picture(int w, int h) : width(w), height(h), colour(size_t(w) * size_t(h), 0u), depth(size_t(w) * size_t(h), kEmptyComposerDepth) {}

  ComposerBand Band(int firstRow, int rows) {
    ComposerBand band;
    band.colour = colour.data() + size_t(firstRow) * size_t(width);
    band.depth = depth.data() + size_t(firstRow) * size_t(width);
    band.firstRow = firstRow;
    band.width = width;
    band.rows = rows;
    band.pictureWidth = width;
    band.pictureHeight = height;
    band.orthographicScale = 1.0f;
    return band;
  }
  // Draws the object band by band (bands of `bandRows` rows, the last one shorter).
  void Draw(SceneObject* object, int bandRows, const ComposerTexture* texture = nullptr,
            const ShadowBuffer* shadow = nullptr) {
    for (int first = 0; first < height; first += bandRows)
      RenderObjectIntoBand(Band(first, std::min(bandRows, height - first)), object, texture, shadow);
  }
  bool Drawn(int column, int row) const { return depth[size_t(row) * size_t(width) + size_t(column)] > -99000.0f; }
  uint32_t At(int column, int row) const { return colour[size_t(row) * size_t(width) + size_t(column)] & 0xFFFFFFu; }
  int Grey(int column, int row) const { return int((At(column, row) >> 8) & 255u); }
  int DrawnCount() const {
    return int(std::count_if(depth.begin(), depth.end(), [](float d) { return d > -99000.0f; }));
  }
};

// A mesh of its own, not entered in the table unless asked.
std::unique_ptr<SceneObject> NewMesh(const std::vector<Vec3f>& points, const std::vector<Triangle>& triangles) {
  std::unique_ptr<SceneObject> object = NewSceneObject(int32_t(points.size()), int32_t(triangles.size()));
  if (!object) return nullptr;
  object->points = points;
  MutableTopology(*object)->triangles = triangles;
  EXPECT_TRUE(BuildCornerLists(*object));
  return object;
}

// A square of side `side` about the origin in the plane z = `z`, facing +z.
std::unique_ptr<SceneObject> NewSquare(float side, float z = 0) {
  const float h = side / 2;
  return NewMesh({{-h, -h, z}, {h, -h, z}, {h, h, z}, {-h, h, z}}, {{0, 1, 2}, {0, 2, 3}});
}

// A latitude-longitude sphere of radius `radius`, faces outward.
std::unique_ptr<SceneObject> NewSphere(float radius, int rings = 16, int segments = 24) {
  std::vector<Vec3f> points;
  std::vector<Triangle> triangles;
  const double pi = 3.14159265358979;
  points.push_back({0, radius, 0});
  for (int r = 1; r < rings; ++r) {
    const double polar = pi * r / rings;
    for (int s = 0; s < segments; ++s) {
      const double azimuth = 2 * pi * s / segments;
      points.push_back({float(radius * std::sin(polar) * std::sin(azimuth)), float(radius * std::cos(polar)),
                        float(radius * std::sin(polar) * std::cos(azimuth))});
    }
  }
  points.push_back({0, -radius, 0});
  const uint32_t south = uint32_t(points.size() - 1);
  auto at = [segments](int ring, int s) { return uint32_t(1 + (ring - 1) * segments + (s % segments)); };
  for (int s = 0; s < segments; ++s) triangles.push_back({0, at(1, s), at(1, s + 1)});
  for (int r = 1; r < rings - 1; ++r)
    for (int s = 0; s < segments; ++s) {
      triangles.push_back({at(r, s), at(r + 1, s), at(r + 1, s + 1)});
      triangles.push_back({at(r, s), at(r + 1, s + 1), at(r, s + 1)});
    }
  for (int s = 0; s < segments; ++s) triangles.push_back({south, at(rings - 1, s + 1), at(rings - 1, s)});
  return NewMesh(points, triangles);
}

class ComposerRaster : public RenderFixture {
 protected:
  void SetUp() override {
    RenderFixture::SetUp();
    camera().angles = {0, 0, 0};
    camera().offset = {0, 0, 0};
  }
  static ObjectView& camera() { return nativeFiles.project.composerViews[nativeFiles.project.cameraViewIndex]; }
  // Puts `object` into the table (for the shadow buffer) and returns it.
  static SceneObject* Enter(std::unique_ptr<SceneObject> object) {
    const int slot = FindFreeObjectSlot();
    EXPECT_TRUE(StoreObjectInSlot(slot, std::move(object)));
    return scene.objectTable[size_t(slot)].get();
  }
};

TEST_F(ComposerRaster, ObjectPlacedRightAndUpAppearsRightAndUpInEveryBandCut) {
  std::unique_ptr<SceneObject> square = NewSquare(40);
  square->position = {100, 100, 0};
  Picture whole(200, 200), banded(200, 200);
  whole.Draw(square.get(), 200);
  banded.Draw(square.get(), 33);  // bands meeting inside the square
  ASSERT_GT(whole.DrawnCount(), 0);
  // Perspective camera 700 back: the centre lands 100 x focal / 700 right of and above the middle.
  const float focal = 200 * camera().zoom * 0.5f;
  const int column = int(100 + 100 * focal / 700), row = int(100 - 100 * focal / 700);
  EXPECT_TRUE(whole.Drawn(column, row));
  EXPECT_FALSE(whole.Drawn(200 - column, 200 - row));
  EXPECT_EQ(whole.colour, banded.colour);
  EXPECT_EQ(whole.depth, banded.depth);
}

// The light is fixed to the camera, as in the modeling view: from the upper left and in front by
// default, whichever way the camera and the object are turned.
TEST_F(ComposerRaster, SphereIsLitFromTheLightBallsSideWhateverTheTurns) {
  const std::array<float, 3> turns[] = {{0, 0, 0}, {0.7f, -1.2f, 2.5f}, {3.0f, 0.4f, -0.9f}};
  for (const auto& cameraTurn : turns) {
    for (const auto& objectTurn : turns) {
      std::unique_ptr<SceneObject> sphere = NewSphere(120);
      sphere->rotation = {objectTurn[0], objectTurn[1], objectTurn[2]};
      camera().angles = cameraTurn;
      Picture picture(200, 200);
      picture.Draw(sphere.get(), 64);
      // Upper left (towards the light) against lower right.
      EXPECT_GT(picture.Grey(80, 80), picture.Grey(120, 120) + 40)
          << cameraTurn[0] << " " << cameraTurn[1] << " " << objectTurn[0];
      EXPECT_GT(picture.Grey(80, 80), picture.Grey(120, 80));
      EXPECT_GT(picture.Grey(80, 80), picture.Grey(80, 120));
    }
  }
}

// The shading light comes from the upper left and the front: a ball's shadow on a wall behind it
// falls to the lower right, where the ball blocks that light.
TEST_F(ComposerRaster, ShadowFallsWhereTheShadingLightIsBlocked) {
  nativeFiles.project.shadowsOn = 1;
  Enter(NewSphere(50));
  SceneObject* wall = Enter(NewSquare(800, -200));
  wall->optics.castsShadow = 0;
  ShadowBuffer shadow;
  ASSERT_TRUE(BuildShadowBuffer(200, 200, shadow));
  ASSERT_FALSE(shadow.cells.empty());
  Picture picture(200, 200);
  picture.Draw(wall, 200, nullptr, &shadow);  // the wall alone, so the ball hides nothing
  ASSERT_TRUE(picture.Drawn(139, 139) && picture.Drawn(61, 61));
  EXPECT_LT(picture.Grey(139, 139) + 20, picture.Grey(61, 61));
  EXPECT_EQ(picture.Grey(61, 61), picture.Grey(20, 20));  // far from the ball: the same light
}

}  // namespace
}  // namespace tsv::test
