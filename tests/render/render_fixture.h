// render_fixture.h: a fresh scene and renderer for every test (default preferences with a
// background colour of their own, the generated resource folder, scripted user services), and
// small hand-built meshes whose work records are set straight to screen positions, depths and
// shades, so a test controls exactly what the rasterisers see.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/scripted_services.h"
#include "render/render_state.h"
#include "scene/object_table.h"
#include "scene/organic.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"

namespace tsv::test {

inline constexpr uint32_t kTestBackground = 0x112233;

// A corner as the rasterisers see it.
struct ScreenPoint {
  int sx = 0, sy = 0;
  float depth = 0;
  int shade = 128;
};

class RenderFixture : public testing::Test {
 protected:
  void SetUp() override {
    ResetPlatformState();
    platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
    SetDefaultPreferences(preferences);
    preferences.modelingBackground = {0x1100, 0x2200, 0x3300};
    ResetScene();
    ResetRenderState();
  }
  void TearDown() override {
    ShutdownSoftDraw();
    ResetScene();
    ResetPlatformState();
  }

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
