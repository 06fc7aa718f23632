// panel_fixture.h: the room a panel test works in: the preferences and the resource folder, a
// fresh interface state, the renderer, the brush engine and the paint lattice, a recorder hook that
// keeps every task step, and the start-up sphere as the current object. Dialogs answer from
// `services`.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "paint/paint_state.h"
#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/scripted_services.h"
#include "render/soft_draw.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"
#include "scene/task_steps.h"
#include "tools/brush.h"
#include "tools/brush_session.h"
#include "tools/brush_settings.h"
#include "ui/panels.h"
#include "ui/rooms.h"
#include "tests/support/reset_all_state.h"

namespace tsv::test {

struct RecordedStep {
  uint16_t code;
  int16_t a, b, c;
};

class PanelFixture : public testing::Test {
 protected:
  void SetUp() override {
    test::ResetAllState();
    platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
    InitPaint();
    ASSERT_TRUE(InitSoftDraw());
    ASSERT_TRUE(PrepareBrushEngine());
    taskSteps.hook = [this](uint16_t code, int16_t a, int16_t b, int16_t c, int16_t) { steps.push_back({code, a, b, c}); };
    NewOrganicObject(0);
    ASSERT_NE(scene.currentObject, nullptr);
  }
  void TearDown() override { test::ResetAllState(); }
  // The codes of the steps recorded so far, in order.
  std::vector<uint16_t> Codes() const {
    std::vector<uint16_t> codes;
    for (const RecordedStep& step : steps) codes.push_back(step.code);
    return codes;
  }
  ScriptedServices services;
  std::vector<RecordedStep> steps;
};

}  // namespace tsv::test
