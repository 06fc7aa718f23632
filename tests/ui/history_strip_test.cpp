// The top strip's Undo and Redo: the steps each way through the current object's history, and the
// single level that a task recording keeps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene/task_steps.h"
#include "tasks/task_record.h"
#include "tasks/task_recorder.h"
#include "tasks/task_replay.h"
#include "tests/ui/panel_fixture.h"
#include "tools/deform_tools.h"
#include "tools/tool_frame.h"
#include "ui/layout_ids.h"
#include "ui/loop_result.h"
#include "ui/main_panels.h"

namespace tsv::test {
namespace {

using layout::TopStrip::kRedo;
using layout::TopStrip::kUndo;

class HistoryStrip : public PanelFixture {
 protected:
  // The label the strip shows: its own text, or "" for the plain one of the layout.
  static std::string Label(int item) {
    std::string text;
    return TopStripItemText(item, text) ? text : std::string();
  }
  // A scale committed as the panel commits a tool; the positions it leaves.
  static std::vector<Vec3f> Grow(int16_t amount) {
    DeformScale(scene.currentObject, scene.workObject.get(), amount);
    CommitObjectChange(scene.currentObject, scene.workObject.get());
    return scene.currentObject->points;
  }
  static bool Same(const std::vector<Vec3f>& a, const std::vector<Vec3f>& b) {
    for (size_t i = 0; i < a.size(); ++i) {
      if (a[i].x != b[i].x || a[i].y != b[i].y || a[i].z != b[i].z) return false;
    }
    return a.size() == b.size();
  }
};

TEST_F(HistoryStrip, UndoAndRedoCountTheStepsAndTakeThem) {
  EXPECT_FALSE(TopStripItemEnabled(kUndo));
  EXPECT_FALSE(TopStripItemEnabled(kRedo));
  EXPECT_EQ(Label(kUndo), "");
  const std::vector<Vec3f> first = scene.currentObject->points;
  Grow(170);
  const std::vector<Vec3f> second = Grow(180);
  const std::vector<Vec3f> third = Grow(190);
  EXPECT_TRUE(TopStripItemEnabled(kUndo));
  EXPECT_FALSE(TopStripItemEnabled(kRedo));
  EXPECT_EQ(Label(kUndo), "Undo 3");
  EXPECT_EQ(Label(kRedo), "");

  EXPECT_EQ(TopStripItemClick(kUndo, Rect{}), kLoopRedrawViewFull);
  EXPECT_TRUE(Same(scene.currentObject->points, second));
  EXPECT_EQ(Label(kUndo), "Undo 2");
  EXPECT_EQ(Label(kRedo), "Redo 1");
  EXPECT_TRUE(TopStripItemEnabled(kRedo));
  (void)TopStripItemClick(kUndo, Rect{});
  (void)TopStripItemClick(kUndo, Rect{});
  EXPECT_TRUE(Same(scene.currentObject->points, first));
  EXPECT_FALSE(TopStripItemEnabled(kUndo));
  EXPECT_EQ(Label(kRedo), "Redo 3");

  EXPECT_EQ(TopStripItemClick(kRedo, Rect{}), kLoopRedrawViewFull);
  (void)TopStripItemClick(kRedo, Rect{});
  (void)TopStripItemClick(kRedo, Rect{});
  EXPECT_TRUE(Same(scene.currentObject->points, third));
  EXPECT_EQ(Label(kUndo), "Undo 3");
  EXPECT_FALSE(TopStripItemEnabled(kRedo));
  EXPECT_TRUE(steps.empty()) << "steps through the history are not recorded";

  // Without an object there is nothing to take.
  ClearCurrentObject();
  EXPECT_FALSE(TopStripItemEnabled(kUndo));
  EXPECT_EQ(UndoLastChange(), -1);
  EXPECT_EQ(RedoLastChange(), -1);
}

TEST_F(HistoryStrip, WhileTasksAreRecordedUndoIsTheSingleLevelRecordedAsToUndo) {
  const std::vector<Vec3f> first = Grow(170);
  const std::vector<Vec3f> second = Grow(190);
  taskRecorder.taskState = kTaskRecording;
  steps.clear();
  EXPECT_TRUE(TopStripItemEnabled(kUndo));
  EXPECT_EQ(Label(kUndo), "") << "one level: the plain label";
  EXPECT_FALSE(TopStripItemEnabled(kRedo));

  EXPECT_EQ(UndoLastChange(), kLoopRedrawViewFull);
  EXPECT_TRUE(Same(scene.currentObject->points, first));
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].code, TaskStepCode("UN"));
  EXPECT_EQ(steps[0].a, 256);
  // Again: redone, as the recorded list will replay it; forward is no command of its own.
  (void)TopStripItemClick(kUndo, Rect{});
  EXPECT_TRUE(Same(scene.currentObject->points, second));
  EXPECT_EQ(RedoLastChange(), kLoopContinue);
  EXPECT_TRUE(Same(scene.currentObject->points, second));
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[1].code, TaskStepCode("UN"));

  // Once the recording ends, the single-level undos are steps of the history like any commit.
  taskRecorder.taskState = kTaskIdle;
  EXPECT_EQ(Label(kUndo), "Undo 4");
}

// A replayed list commits every step as the tools do, so each joins the history; the recorded
// single-level undo replays as "To undo" and is a step of its own.
TEST_F(HistoryStrip, ReplayedStepsJoinTheHistory) {
  const std::vector<Vec3f> first = scene.currentObject->points;
  const std::vector<TaskStep> list = {{TaskStepCode("SC"), 200}, {TaskStepCode("TT"), 60},
                                      {TaskStepCode("UN"), 256}, {TaskStepCode("SP"), 170}};
  EXPECT_EQ(ReplaySteps(list, 0, list.size(), scene.currentObject, scene.workObject.get()), list.size());
  EXPECT_EQ(Label(kUndo), "Undo 4");
  for (int k = 0; k < 4; ++k) ASSERT_EQ(UndoLastChange(), kLoopRedrawViewFull);
  EXPECT_TRUE(Same(scene.currentObject->points, first));
  EXPECT_EQ(Label(kRedo), "Redo 4");
}

}  // namespace
}  // namespace tsv::test
