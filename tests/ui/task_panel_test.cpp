// The task panel: its cursor controls and the keyboard focus of its list, replaying from and up
// to the cursor, and the edit click that opens the dialog fitting the selected step.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/events.h"
#include "platform/folders.h"
#include "platform/fonts.h"
#include "platform/window.h"
#include "scene/scene_object.h"
#include "tasks/task_recorder.h"
#include "tasks/task_replay.h"
#include "tests/support/temp_dir.h"
#include "tests/tasks/task_step_builder.h"
#include "tests/ui/panel_fixture.h"
#include "tools/deform_tools.h"
#include "tools/tool_frame.h"
#include "ui/dialog.h"
#include "ui/dialog_script.h"
#include "ui/layout_ids.h"
#include "ui/loop_result.h"
#include "ui/step_dialog.h"
#include "ui/task_panel.h"
#include "ui/widgets.h"
#include "tests/support/reset_all_state.h"

namespace tsv {
namespace {

using namespace layout::Tasks;

bool SamePosition(const Vec3f& a, const Vec3f& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

class TaskPanel : public test::PanelFixture {
 protected:
  void SetUp() override {
    PanelFixture::SetUp();
    if (HasFatalFailure()) return;
    tmp.emplace("TMPDIR", temp.str());
    ASSERT_EQ(CreateTempFolder(), kNoError);
    if (ui.layout.panels.empty()) {
      ASSERT_TRUE(LoadInterface());
    }
    ASSERT_TRUE(InitInterfaceFonts());
    ResizeCanvas(mainWindow.frame, 1024, 768, kPanelColour);
    SetCurrentRoom(1);
    PlaceRoom(1024, 768, true);
    ResetInput();
    ResetDialogState();
    dialogState.idleStepLimit = 3;
    dialogState.observer = [this](const Canvas&, const Dialog& shown) {
      if (titles.empty() || titles.back() != shown.title) titles.push_back(shown.title);
    };
    NewTaskList();
  }
  void TearDown() override {
    mainWindow.frame = Canvas{};
    PanelFixture::TearDown();
    tmp.reset();
  }

  static TaskStep Step(const char (&code)[3], int a = 0, int b = 0, int g = 0) {
    return test::MakeTaskStep(code, a, b, g);
  }
  static std::vector<TaskStep> List() {
    std::vector<TaskStep> steps;
    EXPECT_EQ(ReadTaskSteps(steps), kNoError);
    return steps;
  }
  // The list item on the screen, and a press on one of its rows.
  static Rect ListRect() {
    const PlacedPanel* placed = FindPlacedPanel(kPanel);
    const PanelItem* item = placed ? FindItem(LayoutOf(*placed), kList) : nullptr;
    if (item == nullptr) return {};
    return {placed->rect.left + item->rect.left, placed->rect.top + item->rect.top, item->rect.width,
            item->rect.height};
  }
  static int PressRow(int row) {
    const Rect r = ListRect();
    return TaskListPress(r, r.left + 20, r.top + 2 + row * kListRowHeight + kListRowHeight / 2);
  }
  static std::vector<std::string> Lines() {
    std::vector<std::string> texts;
    for (const TaskListLine& line : VisibleTaskLines()) texts.push_back(line.text);
    return texts;
  }

  test::TempDir temp;
  std::optional<test::ScopedEnv> tmp;
  std::vector<std::string> titles;  // the dialogs shown, in order
};

TEST_F(TaskPanel, TheCursorControlsCarryLabelsAndHoverTextsWithTheirKeys) {
  struct Control {
    int item;
    const char* label;
    const char* hover;
  };
  for (const Control& c : {
           Control{kCursorUp, "\xE2\x96\xB2", "Select the step above (key Up while the list has the focus)"},
           Control{kCursorDown, "\xE2\x96\xBC", "Select the step below (key Down while the list has the focus)"},
           Control{kFromCursor, "From cursor", "Replay the task from the selected step to its end"},
           Control{kToCursor, "To cursor", "Replay the task from its first step up to the selected step, which is left out"},
       }) {
    const PlacedPanel* placed = FindPlacedPanel(kPanel);
    ASSERT_NE(placed, nullptr);
    const PanelItem* item = FindItem(LayoutOf(*placed), c.item);
    ASSERT_NE(item, nullptr) << c.label;
    EXPECT_EQ(ItemText(LayoutOf(*placed), *item), c.label);
    EXPECT_EQ(HoverTextOf(uint16_t((kPanel << 8) | c.item)), c.hover);
  }
}

TEST_F(TaskPanel, RecordReadsStopWhileRecordingAndAClickStopsIt) {
  const PlacedPanel* placed = FindPlacedPanel(kPanel);
  ASSERT_NE(placed, nullptr);
  const PanelItem* record = FindItem(LayoutOf(*placed), kRecord);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(ItemText(LayoutOf(*placed), *record), "Record");
  EXPECT_EQ(TaskItemClick(kRecord), kLoopRedrawViewFull);
  ASSERT_EQ(taskRecorder.taskState, kTaskRecording);
  EXPECT_EQ(ItemText(LayoutOf(*placed), *record), "Stop");
  EXPECT_EQ(HoverTextOf(uint16_t((kPanel << 8) | kRecord)), "Stop recording; the steps recorded so far stay in the list");
  (void)TaskItemClick(kRecord);
  EXPECT_EQ(taskRecorder.taskState, kTaskIdle);
  EXPECT_EQ(ItemText(LayoutOf(*placed), *record), "Record");
}

TEST_F(TaskPanel, ArrowsAndKeysMoveTheCursorWhileTheListHasTheFocus) {
  ASSERT_TRUE(WriteTaskSteps({Step("SC", 200), Step("BR"), Step("BS"), Step("BE"), Step("TT", 20), Step("EN")}));
  EXPECT_FALSE(TaskItemEnabled(kCursorUp));  // on the first step
  EXPECT_TRUE(TaskItemEnabled(kCursorDown));
  EXPECT_EQ(TaskPanelKey(kCharDown), -1);  // the list has no focus yet

  EXPECT_EQ(TaskItemClick(kCursorDown), 4);
  EXPECT_EQ(CursorLine(), 1);
  EXPECT_TRUE(TaskListHasFocus());
  EXPECT_EQ(TaskPanelKey(kCharDown), 4);  // past the stroke's segments onto TT
  EXPECT_EQ(taskRecorder.taskCursor, 4 * int64_t(kTaskStepSize));
  EXPECT_EQ(TaskPanelKey(kCharDown), 4);
  EXPECT_EQ(CursorLine(), 3);  // the end
  EXPECT_FALSE(TaskItemEnabled(kCursorDown));
  EXPECT_EQ(TaskPanelKey(kCharDown), 4);  // stays on the last step
  EXPECT_EQ(CursorLine(), 3);
  EXPECT_EQ(TaskPanelKey('a'), -1);
  EXPECT_EQ(TaskPanelKey(kCharLeft), -1);

  // A press elsewhere takes the focus away; the main loop's own Up and Down go on working.
  NoteTaskPanelPress(uint16_t((layout::Views::kPanel << 8) | layout::Views::kView1));
  EXPECT_EQ(TaskPanelKey(kCharUp), -1);
  EXPECT_EQ(CursorLine(), 3);
  NoteTaskPanelPress(uint16_t((kPanel << 8) | kList));
  EXPECT_EQ(TaskPanelKey(kCharUp), 4);
  EXPECT_EQ(CursorLine(), 2);
  EXPECT_EQ(TaskItemClick(kPause), 4);  // another control of the panel
  EXPECT_EQ(TaskPanelKey(kCharUp), -1);

  // A press in the list gives it the focus and selects the row; a room change takes it away, and
  // coming back does not return it.
  EXPECT_EQ(PressRow(0), 4);
  EXPECT_EQ(CursorLine(), 0);
  EXPECT_EQ(TaskPanelKey(kCharDown), 4);
  EXPECT_EQ(CursorLine(), 1);
  EXPECT_EQ(ChooseRoom(4), 4);
  EXPECT_EQ(TaskPanelKey(kCharDown), -1);
  EXPECT_EQ(ChooseRoom(1), 4);
  EXPECT_EQ(TaskPanelKey(kCharDown), -1);
  EXPECT_EQ(CursorLine(), 1);
}

TEST_F(TaskPanel, FromAndToCursorReplayTheirPartsOfTheList) {
  SceneObject* object = scene.currentObject;
  const std::vector<Vec3f> start = object->points;
  auto after = [&](auto deform) {
    object->points = start;
    deform();
    CommitObjectChange(object, scene.workObject.get());
    std::vector<Vec3f> result = object->points;
    object->points = start;
    EXPECT_TRUE(ActivateSceneObject(object));
    return result;
  };
  const std::vector<Vec3f> twirled = after([&] { DeformTwirl(object, scene.workObject.get(), 40); });
  const std::vector<Vec3f> twisted = after([&] { DeformTwist(object, scene.workObject.get(), 60); });
  ASSERT_TRUE(WriteTaskSteps({Step("TW", 40), Step("TT", 60), Step("EN")}));
  EXPECT_FALSE(TaskItemEnabled(kToCursor));  // nothing before the first step
  EXPECT_TRUE(TaskItemEnabled(kFromCursor));
  CursorDown();
  ASSERT_TRUE(TaskItemEnabled(kToCursor));

  EXPECT_EQ(TaskItemClick(kToCursor), 4);
  ASSERT_EQ(object->points.size(), twirled.size());
  for (size_t i = 0; i < start.size(); i += 97) EXPECT_TRUE(SamePosition(object->points[i], twirled[i])) << i;

  object->points = start;
  ASSERT_TRUE(ActivateSceneObject(object));
  EXPECT_EQ(TaskItemClick(kFromCursor), 4);
  for (size_t i = 0; i < start.size(); i += 97) EXPECT_TRUE(SamePosition(object->points[i], twisted[i])) << i;

  // Neither runs while recording.
  SetRecording(kRecordStart);
  EXPECT_FALSE(TaskItemEnabled(kFromCursor));
  EXPECT_FALSE(TaskItemEnabled(kToCursor));
  SetRecording(kRecordStop);
}

TEST_F(TaskPanel, AClickOnTheSelectedStepOpensTheDialogThatFitsIt) {
  TaskStep stroke = Step("BR", 10, 10);
  ASSERT_TRUE(WriteTaskSteps({Step("TT", 64), Step("KD", 0x1200, 0x3400, 0x5600), stroke, Step("CP", 1), Step("EN")}));

  // The amount, entered as the readout shows it.
  const Dialog amount = MakeAmountStepDialog(Step("TT", 64));
  QueueClickOn(ItemOnScreen(amount, FindDialogItem(amount, kAmountStepFirst)));
  QueueKey('a', kControlBit);
  QueueText("-25");
  QueueKey(kCharReturn);
  EXPECT_EQ(PressRow(0), 4);
  EXPECT_EQ(titles, std::vector<std::string>{"Step: Twist"});
  EXPECT_EQ(List()[0].value1, -32);
  EXPECT_EQ(Lines()[0], "Twist    -25");

  // The colour, through the colour chooser.
  EXPECT_EQ(PressRow(1), 4);  // the first click selects
  EXPECT_EQ(titles.size(), 1u);
  const Dialog colour = MakeColourStepDialog(Step("KD", 0x1200, 0x3400, 0x5600));
  QueueClickOn(ItemOnScreen(colour, FindDialogItem(colour, kColourStepColour)));
  QueueKey(kCharReturn);
  services.colorAnswers = {Rgb16{0xAA00, 0xBB00, 0xCC00}};
  EXPECT_EQ(PressRow(1), 4);
  EXPECT_EQ(titles.back(), "Step: Diffuse color");
  EXPECT_EQ(uint16_t(List()[1].value2), 0xBB00);
  EXPECT_EQ(Lines()[1], "Diffuse color    170   187   204");

  // A stroke opens the brush dialog; a step with nothing to change opens none.
  EXPECT_EQ(PressRow(2), 4);
  EXPECT_EQ(PressRow(2), 4);
  EXPECT_EQ(titles.back(), "Brush step");
  const size_t shown = titles.size();
  EXPECT_EQ(PressRow(3), 4);
  EXPECT_EQ(PressRow(3), 4);
  EXPECT_EQ(titles.size(), shown);
  EXPECT_EQ(List()[3].value1, 1);
}

// Drawing the list reads nothing: what it shows was worked out when the list last changed.
TEST_F(TaskPanel, DrawingTheListShowsWhatTheLastChangeWorkedOut) {
  const Rect rect{0, 0, 162, 110};
  SetVisibleLineCount(ListVisibleRows(rect));  // the room the list has is part of what it shows
  ASSERT_TRUE(WriteTaskSteps({Step("SC", 200), Step("EN")}));
  std::filesystem::remove(TaskStepsPath());
  Canvas canvas;
  ResizeCanvas(canvas, 200, 120, kPanelColour);
  DrawTaskList(canvas, rect, true);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"Scale    56", "<The End>"}));
  EXPECT_TRUE(TaskItemEnabled(kPlay));
}

}  // namespace
}  // namespace tsv
