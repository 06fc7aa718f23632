// The Quorvels room: the Balls panel's controls and scales, the name dialog, the preview that
// follows edits, the mesh that ends in the modeling room, the view's mouse, and set files opened
// into the room.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "platform/events.h"
#include "platform/file_spec.h"
#include "platform/fonts.h"
#include "platform/preferences.h"
#include "render/soft_draw.h"
#include "render/view_screen.h"
#include "scene/object_table.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "tests/support/interface_fixture.h"
#include "tests/support/temp_dir.h"
#include "tools/kelvane_view.h"
#include "tools/quorvels.h"
#include "ui/dialog.h"
#include "ui/dialog_script.h"
#include "ui/file_commands.h"
#include "ui/layout_ids.h"
#include "ui/loop_result.h"
#include "ui/panel_table.h"
#include "ui/panels.h"
#include "ui/quorvel_panel.h"
#include "ui/rooms.h"

namespace tsv {
namespace {

using namespace layout::Balls;

class QuorvelPanel : public test::InterfaceFixture {
 protected:
  void SetUp() override {
    InterfaceFixture::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(InitSoftDraw());
    SetCurrentRoom(kQuorvelsRoomNumber);
  }
  void TearDown() override {
    ShutdownSoftDraw();
    InterfaceFixture::TearDown();
  }
  // A screen point over view point (x, y).
  static std::pair<int, int> OnScreen(int x, int y) {
    const Rect& v = ui.viewRect;
    return {v.left + x * v.width / kViewSide, v.top + y * v.height / kViewSide};
  }
  // A press on an item of the Balls panel, as the panel protocol passes it on.
  static void PressItem(int id) {
    const PanelLayout& balls = ui.layout.panels[layout::Balls::kLayout];
    const PanelItem* item = FindItem(balls, id);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(PanelHandlersOf(balls).press(PlacedPanel{}, *item, kPhasePress), kNotMine);
  }
  QuorvelState& q = quorvelState;
};

TEST_F(QuorvelPanel, SlidersMapTheirRangesBothWays) {
  // The defaults sit where the sliders show them, and positions come back as they went.
  EXPECT_EQ(StrengthSlider(kNewBallStrength), 156);
  EXPECT_EQ(RadiusSlider(kNewBallRadius), 171);
  EXPECT_EQ(AcrossSlider(1.0f), 128);
  EXPECT_EQ(ThresholdSlider(kDefaultQuorvelThreshold), 128);
  for (int v : {0, 1, 64, 128, 200, 255, 256}) {
    EXPECT_EQ(StrengthSlider(StrengthFromSlider(v)), v) << v;
    EXPECT_EQ(RadiusSlider(RadiusFromSlider(v)), v) << v;
    EXPECT_EQ(AcrossSlider(AcrossFromSlider(v)), v) << v;
  }
  // The ends, and values beyond them held there.
  EXPECT_FLOAT_EQ(StrengthFromSlider(0), -50.0f);
  EXPECT_FLOAT_EQ(RadiusFromSlider(256), 1000.0f);
  EXPECT_NEAR(AcrossFromSlider(0), 0.1f, 1e-6f);
  EXPECT_EQ(ThresholdFromSlider(0), 1);
  EXPECT_EQ(ThresholdFromSlider(256), 100);
  EXPECT_EQ(ThresholdFromSlider(999), 100);
  EXPECT_EQ(RadiusSlider(5000.0f), 256);
  EXPECT_EQ(AcrossSlider(0.0f), 0);

  // Through the panel: the selected ball's values, shown as they are.
  ASSERT_TRUE(AddBall());
  SetBallsItemValue(kRadius, 128);
  EXPECT_NEAR(q.balls[0].r1, 31.62f, 0.01f);
  SetBallsItemValue(kStrength, 0);
  EXPECT_FLOAT_EQ(q.balls[0].strength, -50.0f);
  SetBallsItemValue(kThreshold, 256);
  EXPECT_EQ(q.threshold, 100);
  q.balls[0].r2 = 2.345f;
  std::string text;
  ASSERT_TRUE(BallsItemValueText(kAcross, BallsItemValue(kAcross), text));
  EXPECT_EQ(text, "2.35");  // its own value where the slider stands on it
  ASSERT_TRUE(BallsItemValueText(kAcross, 128, text));
  EXPECT_EQ(text, "1.00");  // the slider's value while it is dragged elsewhere
}

TEST_F(QuorvelPanel, ButtonsEditTheListAndFollowTheSelection) {
  EXPECT_FALSE(BallsItemEnabled(kDelete));
  EXPECT_FALSE(BallsItemEnabled(kMesh));
  EXPECT_TRUE(BallsItemEnabled(kAdd));
  BallsItemClick(kAdd, {});
  ASSERT_EQ(q.balls.size(), 1u);
  EXPECT_EQ(q.selected, 0);
  q.balls[0].r1 = 50;
  q.balls[0].name = "Head";
  // Duplicate copies the selected ball a little to the right; Add makes a default one.
  BallsItemClick(kDuplicate, {});
  ASSERT_EQ(q.balls.size(), 2u);
  EXPECT_EQ(q.selected, 1);
  EXPECT_EQ(q.balls[1].name, "Head");
  EXPECT_FLOAT_EQ(q.balls[1].r1, 50.0f);
  EXPECT_GT(q.balls[1].centre.x, 1.0f);
  BallsItemClick(kAdd, {});
  ASSERT_EQ(q.balls.size(), 3u);
  EXPECT_FLOAT_EQ(q.balls[2].r1, kNewBallRadius);
  EXPECT_EQ(q.balls[2].centre, (Vec3f{}));
  // Next wraps; Delete keeps the index and ends at none.
  BallsItemClick(kNext, {});
  EXPECT_EQ(q.selected, 0);
  BallsItemClick(kDelete, {});
  EXPECT_EQ(q.selected, 0);
  EXPECT_EQ(q.balls[0].name, "Head");  // the duplicate moved down into its place
  EXPECT_EQ(DeleteSelectedBall(), kLoopRedrawViewFull);
  EXPECT_EQ(DeleteSelectedBall(), kLoopRedrawViewFull);
  EXPECT_TRUE(q.balls.empty());
  EXPECT_EQ(q.selected, -1);
  EXPECT_EQ(DeleteSelectedBall(), kLoopContinue);

  // The axis menu's text names the axis, or says it was turned freely; switches toggle.
  ASSERT_TRUE(AddBall());
  std::string text;
  ASSERT_TRUE(BallsItemText(kAxis, text));
  EXPECT_EQ(text, "Along y");
  TurnBallAxisInView(0, 0, 30);
  ASSERT_TRUE(BallsItemText(kAxis, text));
  EXPECT_EQ(text, "Turned");
  BallsItemClick(kRefine, {});
  EXPECT_FALSE(q.refine);
  EXPECT_FALSE(BallsItemChecked(kRefine));
}

TEST_F(QuorvelPanel, TheNameDialogKeepsNamesWithinThirtyOneBytes) {
  ASSERT_TRUE(InitInterfaceFonts());
  dialogState.idleStepLimit = 3;
  Ball ball = MakeBall({});
  const Dialog d = MakeBallNameDialog(ball);
  const Rect field = ItemOnScreen(d, FindDialogItem(d, kBallNameField));
  struct Case {
    std::string typed, stored;
  };
  // 31 bytes at most, never half a character; a blank name keeps the old one.
  for (const Case& c : {Case{"Nose", "Nose"}, Case{std::string(40, 'x'), std::string(31, 'x')},
                        Case{std::string(30, 'a') + "\xC3\xA9", std::string(30, 'a')}, Case{"   ", std::string(30, 'a')}}) {
    QueueClickOn(field);
    QueueKey('a', kControlBit);
    QueueText(c.typed);
    QueueKey(kCharReturn);
    (void)AskBallName(ball);
    EXPECT_EQ(ball.name, c.stored) << c.typed;
  }
  QueueClickOn(field);
  QueueText("Ear");
  QueueEscape();
  EXPECT_FALSE(AskBallName(ball));
  EXPECT_EQ(ball.name, std::string(30, 'a'));
}

TEST_F(QuorvelPanel, UndoAndRedoStepThroughTheEditsOfTheBalls) {
  SceneObject* object = NewObjectInTable(true);
  ASSERT_NE(object, nullptr);
  BallsItemClick(kAdd, {});
  BallsItemClick(kDuplicate, {});
  const Vec3f duplicated = q.balls[1].centre;
  // A slider drag is one step, from its press.
  PressItem(kRadius);
  SetBallsItemValue(kRadius, 100);
  SetBallsItemValue(kRadius, 110);
  // A drag of a ball in the view is one step; turning the view is none.
  const auto [sx, sy] = OnScreen(200, 200);
  HandleKelvaneView(kPhasePress, sx, sy);
  HandleKelvaneView(kPhaseDrag, sx + 20, sy);
  HandleKelvaneView(kPhaseRelease, sx + 30, sy);
  EXPECT_GT(q.balls[0].centre.x, 5.0f);  // the big first ball was under the pointer
  HandleKelvaneView(kPhasePress, OnScreen(5, 5).first, OnScreen(5, 5).second);
  HandleKelvaneView(kPhaseRelease, OnScreen(40, 5).first, OnScreen(40, 5).second);
  EXPECT_EQ(q.undoSteps.size(), 4u);
  const std::vector<Ball> last = q.balls;

  // The undo keys and buttons act on the balls here, never on the object.
  std::string text;
  ASSERT_TRUE(PanelHandlersOf(ui.layout.panels[layout::TopStrip::kLayout]).text(layout::TopStrip::kUndo, text));
  EXPECT_EQ(text, "Undo 4");
  EXPECT_EQ(UndoLastChange(), kLoopRedrawViewFull);  // the drag
  EXPECT_EQ(q.balls[0].centre, (Vec3f{}));
  EXPECT_EQ(q.balls[1].centre, duplicated);
  EXPECT_NE(q.balls[1].r1, kNewBallRadius);
  EXPECT_EQ(UndoLastChange(), kLoopRedrawViewFull);  // the slider
  EXPECT_FLOAT_EQ(q.balls[1].r1, kNewBallRadius);
  EXPECT_EQ(UndoLastChange(), kLoopRedrawViewFull);  // the duplicate
  EXPECT_EQ(q.balls.size(), 1u);
  EXPECT_EQ(q.selected, 0);
  EXPECT_EQ(UndoLastChange(), kLoopRedrawViewFull);  // the first ball
  EXPECT_TRUE(q.balls.empty());
  EXPECT_EQ(q.selected, -1);
  EXPECT_EQ(UndoLastChange(), kLoopContinue);
  for (int step = 0; step < 4; ++step) EXPECT_EQ(RedoLastChange(), kLoopRedrawViewFull);
  EXPECT_EQ(RedoLastChange(), kLoopContinue);
  ASSERT_EQ(q.balls.size(), last.size());
  EXPECT_EQ(q.balls[1].centre, last[1].centre);
  EXPECT_FLOAT_EQ(q.balls[1].r1, last[1].r1);
  // A new edit drops the steps forward.
  ASSERT_EQ(UndoLastChange(), kLoopRedrawViewFull);
  EXPECT_EQ(DeleteSelectedBall(), kLoopRedrawViewFull);
  EXPECT_TRUE(q.redoSteps.empty());
  EXPECT_EQ(object->pointCount, kOrganicPointCount);
}

TEST_F(QuorvelPanel, ThePreviewFollowsEditsAndLeavesTheObjectsAlone) {
  SceneObject* object = NewObjectInTable(true);
  ASSERT_NE(object, nullptr);
  ASSERT_TRUE(AddBall());
  BallsItemClick(kPreview, {});
  ASSERT_TRUE(q.previewOn);
  const auto reach = [&] {
    float most = 0;
    for (const Vec3f& p : q.preview.points) most = std::max(most, Length(p));
    return most;
  };
  const float first = reach();
  ASSERT_GT(first, 0.0f);
  SetBallsItemValue(kRadius, RadiusSlider(200.0f));  // a bigger ball: a bigger mesh
  EXPECT_NEAR(reach() / first, 2.0f, 0.05f);
  ASSERT_TRUE(DrawKelvane());
  EXPECT_EQ(ObjectCount(), 1);
  EXPECT_EQ(scene.currentObject, object);
  // Weakened below the threshold there is no surface: the preview empties, the balls show.
  SetBallsItemValue(kStrength, StrengthSlider(0.5f));
  EXPECT_TRUE(q.preview.triangles.empty());
  BallsItemClick(kPreview, {});
  EXPECT_FALSE(q.previewOn);
}

TEST_F(QuorvelPanel, MakeMeshEndsInTheModelingRoomWithTheNewObject) {
  ASSERT_TRUE(AddBall());
  preferences.quorvelFinalResolution = 16;
  EXPECT_EQ(BallsItemClick(kMesh, {}), kLoopRedrawViewFull);
  ASSERT_NE(scene.currentObject, nullptr);
  EXPECT_EQ(ui.currentRoom, 1);
  EXPECT_EQ(scene.currentObject->currentView, kFreeView);
  // A ball too weak for a surface: the message, no object, the room kept.
  SetCurrentRoom(kQuorvelsRoomNumber);
  q.balls[0].strength = 0.5f;
  BallsItemClick(kAtomize, {});
  EXPECT_EQ(ObjectCount(), 2);  // Atomize meshes the sphere of r1 whatever its strength
  SetCurrentRoom(kQuorvelsRoomNumber);
  BallsItemClick(kMesh, {});
  EXPECT_EQ(ObjectCount(), 2);
  EXPECT_EQ(ui.currentRoom, kQuorvelsRoomNumber);
  EXPECT_EQ(services.Texts(ShownKind::Stop).size(), 1u);
}

TEST_F(QuorvelPanel, TheViewSelectsMovesScalesAndTurns) {
  q.balls = {MakeBall({0, 0, 0}, 60), MakeBall({100, 0, 0}, 40)};
  q.selected = -1;
  const auto press = [&](int x, int y, uint16_t modifiers = 0) {
    const auto [sx, sy] = OnScreen(x, y);
    input.modifiers = modifiers;
    return HandleKelvaneView(kPhasePress, sx, sy);
  };
  const auto move = [&](int x, int y, int phase = kPhaseDrag) {
    const auto [sx, sy] = OnScreen(x, y);
    return HandleKelvaneView(phase, sx, sy);
  };
  const int second = 200 + int(std::lround(100 * kMetaballObjectScale * KelvaneViewZoom(q.view.zoom)));
  press(second, 200);
  EXPECT_EQ(q.selected, 1);
  EXPECT_TRUE(ui.trackingMouse);
  move(second + 40, 200);
  move(second + 40, 200, kPhaseRelease);
  EXPECT_FALSE(ui.trackingMouse);
  EXPECT_GT(q.balls[1].centre.x, 100.0f + 20.0f);
  EXPECT_EQ(KelvaneBallAt(second + 40, 200), 1);
  // Shift scales, Ctrl turns the axis.
  press(200, 200, kShiftBit);
  EXPECT_EQ(q.selected, 0);
  move(200, 100, kPhaseRelease);
  EXPECT_FLOAT_EQ(q.balls[0].r1, 120.0f);
  press(200, 200, kControlBit);
  move(200, 300, kPhaseRelease);
  EXPECT_NEAR(q.balls[0].axis.z, 1.0f, 1e-4f);  // a quarter turn down: the top comes forward
  EXPECT_EQ(q.balls[0].centre, (Vec3f{}));
  // Beside the balls: a drag turns the view, a click clears the selection.
  press(10, 10);
  move(60, 10, kPhaseRelease);
  EXPECT_GT(q.view.angles[1], 0.5f);
  EXPECT_EQ(q.selected, 0);
  press(10, 10);
  move(10, 10, kPhaseRelease);
  EXPECT_EQ(q.selected, -1);
}

TEST_F(QuorvelPanel, ViewControlsActOnTheKelvaneView) {
  EXPECT_EQ(ChooseView(4), kLoopRedrawViewFull);  // no object needed here
  EXPECT_EQ(q.view.angles, DefaultObjectView(4).angles);
  const float before = KelvaneViewZoom(q.view.zoom);
  StepZoom(1);
  EXPECT_NEAR(KelvaneViewZoom(q.view.zoom) / before, std::exp2(16 * 0.0179889f), 1e-3f);
  // Home fits the balls: the farthest shown point lands near the view's edge.
  q.balls = {MakeBall({300, 0, 0}, 100)};
  q.view.angles = {};
  EXPECT_EQ(FrameCurrentObject(), kLoopRedrawViewFull);
  const float shown = (300 + BallDisplayFactor(q.balls[0], q.threshold) * 100) * kMetaballObjectScale;
  EXPECT_NEAR(shown * KelvaneViewZoom(q.view.zoom), 170.0f, 3.0f);
}

TEST_F(QuorvelPanel, ASetFileOpensIntoTheRoomAndABadOneChangesNothing) {
  test::TempDir dir;
  const std::string path = (dir.path / "Body.bsph").string();
  q.balls = {MakeBall({1, 2, 3}), MakeBall({4, 5, 6})};
  ASSERT_EQ(QuorvelFile(QuorvelCommand::Save, FileSpecForPath(path, FourCC("MTBL"))), kNoError);
  q.balls.clear();
  SetCurrentRoom(1);
  ASSERT_TRUE(OpenFileOfType(path));
  EXPECT_EQ(ui.currentRoom, kQuorvelsRoomNumber);
  EXPECT_EQ(q.balls.size(), 2u);
  EXPECT_EQ(KelvaneTitle(), "Kelvane: Body.bsph (2 balls)");
  // A damaged set: the message, the balls and the room as they were.
  const std::string bad = (dir.path / "Bad.bsph").string();
  std::filesystem::copy_file(path, bad);
  std::filesystem::resize_file(bad, 100);
  SetCurrentRoom(1);
  EXPECT_FALSE(OpenFileOfType(bad));
  EXPECT_EQ(ui.currentRoom, 1);
  EXPECT_EQ(q.balls.size(), 2u);
  EXPECT_EQ(services.Texts(ShownKind::Stop).size(), 1u);
}

}  // namespace
}  // namespace tsv
