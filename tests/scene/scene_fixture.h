// scene_fixture.h: a fresh scene for every test (default preferences, the generated resource folder,
// scripted user services that record every text shown) and a small-mesh builder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/scripted_services.h"
#include "scene/object_table.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "tests/support/reset_all_state.h"

namespace tsv::test {

class SceneFixture : public testing::Test {
 protected:
  void SetUp() override {
    test::ResetAllState();
    platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
  }
  void TearDown() override { test::ResetAllState(); }
  std::vector<std::string> Stops() const { return services.Texts(ShownKind::Stop); }

  ScriptedServices services;
};

// A synthetic object over `pointCount` points with the given triangles and its corner lists built.
inline std::unique_ptr<SceneObject> MakeMesh(int32_t pointCount,
                                             const std::vector<Triangle>& triangles) {
  std::unique_ptr<SceneObject> object = NewSceneObject(pointCount, int32_t(triangles.size()));
  if (!object) return nullptr;
  Topology* topology = MutableTopology(*object);
  topology->triangles = triangles;
  (void)BuildCornerLists(*object);  // some tests build meshes with indices out of range on purpose
  return object;
}

}  // namespace tsv::test
