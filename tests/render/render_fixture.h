// render_fixture.h: a fresh scene and renderer for every test (default preferences with a
// background colour of their own, the generated resource folder, scripted user services), and
// small hand-built meshes whose work records are set straight to screen positions, depths and
// shades, so a test controls exactly what the rasterisers see.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/scripted_services.h"
#include "render/render_state.h"
#include "scene/object_table.h"
#include "scene/organic.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "tests/support/reset_all_state.h"

namespace tsv::test {

inline constexpr uint32_t kTestBackground = 0x112233;

// A square of side 80 about the origin facing the viewer (points 0..3, triangles 0 and 1), and
// corners that no view can place on the screen: far out at +1e30 (4) and -1e30 (5), not a number
// (6), and 3e38 deep (7: on the view, but 256 times its depth is past the largest float). They
// form triangles of their own and with the square's edges, none of which covers the square's
// middle in the front view.
inline std::vector<Vec3f> FarAndDamagedPoints() {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  return {{-40, -40, 0},        {40, -40, 0},          {40, 40, 0},     {-40, 40, 0},
          {1e30f, 1e30f, 1e30f}, {-1e30f, -1e30f, -1e30f}, {nan, nan, nan}, {150, 0, 3e38f}};
}
inline std::vector<Triangle> FarAndDamagedTriangles() {
  return {{0, 1, 2}, {0, 2, 3}, {1, 4, 2}, {3, 5, 0}, {2, 6, 3}, {1, 7, 2}, {4, 5, 6}};
}
// The same as a synthetic object with its corner lists, not entered into the table.
inline std::unique_ptr<SceneObject> NewFarAndDamagedObject() {
  const std::vector<Vec3f> points = FarAndDamagedPoints();
  const std::vector<Triangle> triangles = FarAndDamagedTriangles();
  std::unique_ptr<SceneObject> object = NewSceneObject(int32_t(points.size()), int32_t(triangles.size()));
  if (!object) return nullptr;
  object->points = points;
  MutableTopology(*object)->triangles = triangles;
  if (!BuildCornerLists(*object)) return nullptr;
  return object;
}

// A corner as the rasterisers see it.
struct ScreenPoint {
  int sx = 0, sy = 0;
  float depth = 0;
  int shade = 128;
};

class RenderFixture : public testing::Test {
 protected:
  void SetUp() override {
    test::ResetAllState();
    platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
    preferences.modelingBackground = {0x1100, 0x2200, 0x3300};
    ASSERT_TRUE(InitSoftDraw());
  }
  void TearDown() override { test::ResetAllState(); }

  // A synthetic object with the given triangles, made current; its work records get the screen
  // points (the object-space positions are set to match view 0, so a redraw projects them the
  // same way).
  SceneObject* AddScreenMesh(const std::vector<ScreenPoint>& points,
                             const std::vector<Triangle>& triangles) {
    std::unique_ptr<SceneObject> object =
        NewSceneObject(int32_t(points.size()), int32_t(triangles.size()));
    if (!object) return nullptr;
    MutableTopology(*object)->triangles = triangles;
    EXPECT_TRUE(BuildCornerLists(*object));
    for (size_t i = 0; i < points.size(); ++i) {
      object->points[i] = {float(points[i].sx - 200), float(points[i].sy - 199), points[i].depth};
    }
    const int slot = FindFreeObjectSlot();
    if (!StoreObjectInSlot(slot, std::move(object))) return nullptr;
    SceneObject* stored = scene.objectTable[size_t(slot)].get();
    SetScreenPoints(*stored, points);
    return stored;
  }

  static void SetScreenPoints(SceneObject& object, const std::vector<ScreenPoint>& points) {
    for (size_t i = 0; i < points.size(); ++i) {
      PointWork& record = (*object.pointWork)[i];
      record.sx = int16_t(points[i].sx);
      record.sy = int16_t(points[i].sy);
      record.depth = points[i].depth;
      record.shade = int16_t(points[i].shade);
    }
  }

  // The start-up sphere, current and activated.
  SceneObject* AddOrganicSphere() {
    std::unique_ptr<SceneObject> sphere = NewOrganicSceneObject();
    if (!sphere || !FillOrganicShape(*sphere, 0)) return nullptr;
    const int slot = FindFreeObjectSlot();
    if (!StoreObjectInSlot(slot, std::move(sphere))) return nullptr;
    return scene.objectTable[size_t(slot)].get();
  }

  static void ClearBuffers() {
    std::fill(renderState.depthBuffer.begin(), renderState.depthBuffer.end(), kEmptyDepth);
    std::fill(renderState.shadeBuffer.begin(), renderState.shadeBuffer.end(), uint8_t(0));
    std::fill(renderState.colourBuffer.begin(), renderState.colourBuffer.end(), 0u);
  }

  static uint8_t Shade(int row, int column) {
    return renderState.shadeBuffer[size_t(row) * kViewSide + size_t(column)];
  }
  static uint32_t Colour(int row, int column) {
    return renderState.colourBuffer[size_t(row) * kViewSide + size_t(column)];
  }
  static int DrawnShadePixels() {
    return int(std::count_if(renderState.shadeBuffer.begin(), renderState.shadeBuffer.end(),
                             [](uint8_t s) { return s != 0; }));
  }

  ScriptedServices services;
};

}  // namespace tsv::test
