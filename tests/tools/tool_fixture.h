// tool_fixture.h: a fresh scene, renderer, input layer and tool state for every tool test, the
// task steps the tools record, scripted drags (real SDL events through the input layer, as the
// main loop would see them) and a few hand-built meshes.
#pragma once

#include <gtest/gtest.h>

#include <SDL.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/events.h"
#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/relative_drag.h"
#include "platform/scripted_services.h"
#include "render/render_state.h"
#include "scene/object_table.h"
#include "scene/organic.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "scene/task_steps.h"
#include "scene/vec3.h"
#include "tools/tool_frame.h"
#include "tools/tool_state.h"
#include "tests/support/reset_all_state.h"

namespace tsv::test {

struct RecordedStep {
  uint16_t code;
  int16_t value1, value2, value3, value4;
};

// Where scripted drags press; motions are offsets from here.
inline constexpr int kPressX = 300, kPressY = 200;

class ToolFixture : public testing::Test {
 protected:
  void SetUp() override {
    test::ResetAllState();
    platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
    ASSERT_TRUE(InitSoftDraw());
    taskSteps.hook = [this](uint16_t code, int16_t a, int16_t b, int16_t c, int16_t d) {
      steps.push_back({code, a, b, c, d});
    };
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  }
  void TearDown() override {
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
    test::ResetAllState();
  }

  // The start-up sphere, stored, current and bound to the work arrays.
  SceneObject* AddSphere() {
    std::unique_ptr<SceneObject> sphere = NewOrganicSceneObject();
    if (!sphere || !FillOrganicShape(*sphere, 0)) return nullptr;
    return Store(std::move(sphere));
  }

  // A non-organic object of the given points and triangles, stored, current and bound.
  SceneObject* AddMesh(const std::vector<Vec3f>& points, const std::vector<Triangle>& triangles) {
    std::unique_ptr<SceneObject> object =
        NewSceneObject(int32_t(points.size()), int32_t(triangles.size()));
    if (!object) return nullptr;
    object->points = points;
    MutableTopology(*object)->triangles = triangles;
    EXPECT_TRUE(BuildCornerLists(*object));
    SetPlanarTextureCoordinates(*object);
    return Store(std::move(object));
  }

  static SceneObject* Store(std::unique_ptr<SceneObject> object) {
    const int slot = FindFreeObjectSlot();
    if (!StoreObjectInSlot(slot, std::move(object))) return nullptr;
    return scene.objectTable[size_t(slot)].get();
  }

  static SceneObject* Undo() { return scene.workObject.get(); }
  std::vector<std::string> Stops() const { return services.Texts(ShownKind::Stop); }

  // The object-space positions the tools left in the work records.
  static std::vector<Vec3f> Edited(const SceneObject& object) {
    std::vector<Vec3f> positions;
    for (int32_t i = 0; i < object.pointCount; ++i) {
      const PointWork& w = (*object.pointWork)[size_t(i)];
      positions.push_back({w.x, w.y, w.z});
    }
    return positions;
  }

  // Pushes a press at kPress and takes it as the main loop would, then queues motions to the
  // given offsets from the press and the release at the last one. The tool called next drags.
  static void ScriptDrag(const std::vector<std::pair<int, int>>& offsets) {
    input.queue.clear();  // the release of an earlier drag, which the main loop would have taken
    PushButton(SDL_MOUSEBUTTONDOWN, kPressX, kPressY);
    ASSERT_TRUE(GetNextEvent());
    ASSERT_EQ(input.event.what, kMouseDown);
    int x = kPressX, y = kPressY;
    for (const auto& [dx, dy] : offsets) {
      x = kPressX + dx;
      y = kPressY + dy;
      SDL_Event motion{};
      motion.type = SDL_MOUSEMOTION;
      motion.motion.x = x;
      motion.motion.y = y;
      motion.motion.state = SDL_BUTTON_LMASK;
      SDL_PushEvent(&motion);
    }
    PushButton(SDL_MOUSEBUTTONUP, x, y);
  }

  static void PushButton(uint32_t type, int x, int y) {
    SDL_Event e{};
    e.type = type;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = x;
    e.button.y = y;
    SDL_PushEvent(&e);
  }

  std::vector<RecordedStep> steps;
  ScriptedServices services;
};

inline float Distance(const Vec3f& a, const Vec3f& b) { return Length(a - b); }
inline bool SamePosition(const Vec3f& a, const Vec3f& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}

// A closed octahedron of "radius" 1 around the origin: points +x, -x, +y, -y, +z, -z, with its
// faces wound outward.
inline std::vector<Vec3f> OctahedronPoints() {
  return {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
}
inline std::vector<Triangle> OctahedronTriangles() {
  return {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4}, {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}};
}

}  // namespace tsv::test
