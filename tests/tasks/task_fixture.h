// task_fixture.h: the paint fixture with the task recorder installed, its working files in a
// private temporary folder, and helpers to build task lists by hand.
#pragma once

#include <optional>
#include <vector>

#include "paint/paint_state.h"
#include "platform/folders.h"
#include "tasks/task_recorder.h"
#include "tasks/task_replay.h"
#include "tests/paint/paint_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/tasks/task_step_builder.h"
#include "tools/brush.h"
#include "tools/brush_session.h"
#include "tests/support/reset_all_state.h"

namespace tsv::test {

class TaskFixture : public PaintFixture {
 protected:
  void SetUp() override {
    PaintFixture::SetUp();
    tmp.emplace("TMPDIR", temp.str());
    ASSERT_EQ(CreateTempFolder(), kNoError);
    InstallTaskRecorder();
  }
  void TearDown() override {
    PaintFixture::TearDown();
    tmp.reset();
  }

  static TaskStep Step(const char (&code)[3], int a = 0, int b = 0, int g = 0, int h = 0) {
    return MakeTaskStep(code, a, b, g, h);
  }
  static std::vector<uint16_t> Codes(const std::vector<TaskStep>& steps) {
    std::vector<uint16_t> codes;
    for (const TaskStep& s : steps) codes.push_back(s.code);
    return codes;
  }
  static std::vector<uint16_t> Codes(std::initializer_list<const char*> letters) {
    std::vector<uint16_t> codes;
    for (const char* l : letters) codes.push_back(uint16_t((uint8_t(l[0]) << 8) | uint8_t(l[1])));
    return codes;
  }
  static std::vector<TaskStep> ListOnDisk() {
    std::vector<TaskStep> steps;
    EXPECT_EQ(ReadTaskSteps(steps), kNoError);
    return steps;
  }

  TempDir temp;
  std::optional<ScopedEnv> tmp;
};

}  // namespace tsv::test
