// The composer room: the camera projection the view picks and places through, the scene panel's
// placement, light, cameras and switches, the background and fog dialogs, and the render and
// view commands.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/events.h"
#include "platform/fonts.h"
#include "render/composer_frame.h"
#include "render/render_state.h"
#include "render/soft_draw.h"
#include "scene/native_files.h"
#include "scene/object_table.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "tests/support/interface_fixture.h"
#include "ui/composer_panel.h"
#include "ui/dialog.h"
#include "ui/dialog_script.h"
#include "ui/layout_ids.h"
#include "ui/loop_result.h"
#include "ui/panels.h"
#include "ui/rooms.h"

namespace tsv {
namespace {

class ComposerPanel : public test::InterfaceFixture {
 protected:
  void SetUp() override {
    InterfaceFixture::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(InitSoftDraw());
    ComposerPicture& picture = renderState.composerPicture;
    picture.width = 400;
    picture.height = 300;
    picture.pixels.assign(size_t(400) * 300, 0);
    SetCurrentRoom(kComposerRoomNumber);
    // A small closed box of 8 points around the origin, 40 units a side.
    box = NewObjectInTable(false, 8, 12);
    ASSERT_NE(box, nullptr);
    for (int i = 0; i < 8; ++i) box->points[size_t(i)] = {(i & 1) ? 20.0f : -20.0f, (i & 2) ? 20.0f : -20.0f, (i & 4) ? 20.0f : -20.0f};
    const Triangle faces[12] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                                {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    Topology* topology = MutableTopology(*box);
    ASSERT_NE(topology, nullptr);
    topology->triangles.assign(std::begin(faces), std::end(faces));
    ASSERT_TRUE(BuildCornerLists(*box));
  }
  void TearDown() override {
    ShutdownSoftDraw();
    InterfaceFixture::TearDown();
  }
  ProjectRecord& project = nativeFiles.project;
  SceneObject* box = nullptr;
};

TEST_F(ComposerPanel, TheCameraShowsXRightAndYUpAndPicksTheNearestObject) {
  for (const uint16_t mode : {uint16_t(1), uint16_t(0)}) {
    project.composerViews[project.cameraViewIndex].mode = mode;
    project.composerViews[project.cameraViewIndex].angles = {};
    PicturePosition centre, right, up, near;
    ASSERT_TRUE(ProjectForCamera({0, 0, 0}, 400, 300, centre));
    ASSERT_TRUE(ProjectForCamera({50, 0, 0}, 400, 300, right));
    ASSERT_TRUE(ProjectForCamera({0, 50, 0}, 400, 300, up));
    ASSERT_TRUE(ProjectForCamera({0, 0, 50}, 400, 300, near));
    EXPECT_FLOAT_EQ(centre.x, 200.0f) << mode;
    EXPECT_FLOAT_EQ(centre.y, 150.0f) << mode;
    EXPECT_GT(right.x, centre.x) << mode;
    EXPECT_LT(up.y, centre.y) << mode;
    EXPECT_GT(near.depth, centre.depth) << mode;  // larger is nearer
  }
  // Behind the camera nothing lands; non-numbers neither.
  project.composerViews[project.cameraViewIndex].mode = 1;
  PicturePosition at;
  EXPECT_FALSE(ProjectForCamera({0, 0, 800}, 400, 300, at));
  EXPECT_FALSE(ProjectForCamera({NAN, 0, 0}, 400, 300, at));

  // Two boxes on one line of sight: the nearer one is picked; beside them none; ghosts never.
  SceneObject* other = NewObjectInTable(false, 8, 12);
  ASSERT_NE(other, nullptr);
  other->points = box->points;
  ASSERT_NE(MutableTopology(*other), nullptr);
  MutableTopology(*other)->triangles.assign(Triangles(*box).begin(), Triangles(*box).end());
  ASSERT_TRUE(BuildCornerLists(*other));
  other->position = {0, 0, 100};
  EXPECT_EQ(ObjectAtPicturePoint(200, 150, 400, 300), other);
  EXPECT_EQ(ObjectAtPicturePoint(5, 5, 400, 300), nullptr);
  other->ghostState = kGhosted;
  EXPECT_EQ(ObjectAtPicturePoint(200, 150, 400, 300), box);
}

TEST_F(ComposerPanel, PlacementMovesTurnsAndScalesThroughTheCamera) {
  ASSERT_TRUE(SetCurrentObject(SlotOfObject(box)));
  ObjectView& camera = project.composerViews[project.cameraViewIndex];
  camera.angles = {0, 1.2f, 0};  // turned: a drag still moves the object across the picture
  PicturePosition before, after;
  ASSERT_TRUE(ProjectForCamera(box->position, 400, 300, before));
  MoveObjectInScene(*box, 30, -20, 0, 400, 300);
  ASSERT_TRUE(ProjectForCamera(box->position, 400, 300, after));
  EXPECT_NEAR(after.x - before.x, 30.0f, 0.5f);
  EXPECT_NEAR(after.y - before.y, -20.0f, 0.5f);
  EXPECT_NE(project.projectModified, 0);
  // Shift: towards the camera when dragged down.
  MoveObjectInScene(*box, 0, 40, kShiftBit, 400, 300);
  PicturePosition nearer;
  ASSERT_TRUE(ProjectForCamera(box->position, 400, 300, nearer));
  EXPECT_GT(nearer.depth, after.depth);
  // Alt: twice the size for 100 pixels up; Ctrl: turned, the placement kept.
  MoveObjectInScene(*box, 0, -100, kAltBit, 400, 300);
  EXPECT_FLOAT_EQ(box->scale, 2.0f);
  const Vec3f position = box->position;
  MoveObjectInScene(*box, 40, 0, kControlBit, 400, 300);
  EXPECT_GT(std::fabs(box->rotation.x) + std::fabs(box->rotation.y) + std::fabs(box->rotation.z), 0.1f);
  EXPECT_EQ(box->position, position);
}

TEST_F(ComposerPanel, CamerasSwitchesAndGhostFollowTheirControls) {
  using namespace layout::SceneObjects;
  EXPECT_EQ(ChooseCamera(2), kLoopRedrawViewFull);
  EXPECT_EQ(project.cameraViewIndex, 2);
  EXPECT_TRUE(SceneItemChecked(kCamera3));
  EXPECT_EQ(ChooseCamera(7), -1);
  const float zoom = project.composerViews[2].zoom;
  ZoomCamera(1);
  EXPECT_GT(project.composerViews[2].zoom, zoom);
  SceneItemClick(kPerspective, {});
  EXPECT_EQ(SceneItemChecked(kPerspective), project.composerViews[2].mode != 0);
  ASSERT_TRUE(SetCurrentObject(SlotOfObject(box)));
  SceneItemClick(kGhost, {});
  EXPECT_EQ(box->ghostState & kGhosted, kGhosted);
  using namespace layout::RenderSettings;
  const uint16_t shadows = project.shadowsOn;
  RenderSettingsItemClick(kShadows, {});
  EXPECT_NE(project.shadowsOn, shadows);
  RenderSettingsItemClick(kTextures, {});
  EXPECT_EQ(project.texturesOn, 1);
  EXPECT_TRUE(RenderSettingsItemChecked(kTextures));
}

TEST_F(ComposerPanel, RenderFillsThePictureWherePickingLooksAndKeepsTheCurrentObject) {
  ASSERT_TRUE(SetCurrentObject(SlotOfObject(box)));
  project.supersampling = 0;
  box->position = {60, 40, 0};  // right and up
  EXPECT_EQ(AnimationItemClick(layout::Animation::kRender), kLoopRedrawViewFull);
  EXPECT_EQ(scene.currentObject, box);
  const ComposerPicture& picture = renderState.composerPicture;
  const auto alpha = [&](float x, float y) { return picture.pixels[size_t(y) * 400 + size_t(x)] >> 24; };
  PicturePosition centre, corner;
  ASSERT_TRUE(ProjectForCamera(box->position, 400, 300, centre));
  ASSERT_TRUE(ProjectForCamera(ScenePointOf(*box, {20, 20, 20}), 400, 300, corner));
  EXPECT_GT(centre.x, 200.0f);
  EXPECT_LT(centre.y, 150.0f);
  EXPECT_EQ(alpha(centre.x, centre.y), 255u);  // drawn where the view picks it
  EXPECT_EQ(ObjectAtPicturePoint(centre.x, centre.y, 400, 300), box);
  EXPECT_EQ(alpha(5, 295), 0u);                // the background is not covered
  // The view shows a quick render after a change, and the picture fitted into its area.
  Canvas canvas;
  ResizeCanvas(canvas, 1024, 768, 0);
  MoveObjectInScene(*box, -200, 0, 0, 400, 300);
  EXPECT_TRUE(ui.composerPreviewStale);
  DrawComposerView(canvas);
  EXPECT_FALSE(ui.composerPreviewStale);
  EXPECT_EQ(alpha(centre.x, centre.y), 0u);    // moved away
  EXPECT_EQ(scene.currentObject, box);
}

TEST_F(ComposerPanel, TheFogDialogHoldsValuesToTheirRangesAndCancelKeepsThem) {
  ASSERT_TRUE(InitInterfaceFonts());
  dialogState.idleStepLimit = 3;
  Canvas preview;
  const Dialog d = MakeFogDialog(&preview);
  const FogSmokeSettings before = project.fogSmoke;
  // Cancel: nothing changes, and the preview thread has been stopped.
  QueueEscape();
  EXPECT_FALSE(RunFogDialog());
  EXPECT_EQ(project.fogSmoke.fogStart, before.fogStart);
  // OK with a start beyond its range: held at 32000; the switch on.
  const int start = FindDialogItem(d, 3);
  ASSERT_GE(start, 0);
  QueueClickOn(ItemOnScreen(d, start));
  QueueKey('a', kControlBit);
  QueueText("99999");
  QueueClickOn(ItemOnScreen(d, FindDialogItem(d, 1)));
  QueueKey(kCharReturn);
  EXPECT_TRUE(RunFogDialog());
  EXPECT_FLOAT_EQ(project.fogSmoke.fogStart, 32000.0f);
  EXPECT_NE(project.fogAndSmokeOn, 0);
}

TEST_F(ComposerPanel, FittingKeepsThePicturesShape) {
  struct Case {
    Rect area;
    int width, height;
    Rect fitted;
  };
  for (const Case& c : {Case{{0, 0, 400, 300}, 400, 300, {0, 0, 400, 300}}, Case{{10, 20, 400, 300}, 800, 300, {10, 95, 400, 150}},
                        Case{{0, 0, 400, 300}, 100, 400, {162, 0, 75, 300}}, Case{{0, 0, 400, 300}, 0, 300, {0, 0, 0, 0}}}) {
    const Rect f = FittedPictureRect(c.area, c.width, c.height);
    EXPECT_EQ(f.left, c.fitted.left) << c.width << "x" << c.height;
    EXPECT_EQ(f.top, c.fitted.top) << c.width << "x" << c.height;
    EXPECT_EQ(f.width, c.fitted.width) << c.width << "x" << c.height;
    EXPECT_EQ(f.height, c.fitted.height) << c.width << "x" << c.height;
  }
}

}  // namespace
}  // namespace tsv
