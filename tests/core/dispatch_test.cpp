// The main loop's dispatch: press, drag and release to panels, keys, and the quit question.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cmath>

#include "core/app_state.h"
#include "core/main_loop.h"
#include "platform/events.h"
#include "platform/folders.h"
#include "platform/platform_state.h"
#include "platform/scripted_services.h"
#include "platform/window.h"
#include "render/render_state.h"
#include "render/soft_draw.h"
#include "scene/native_files.h"
#include "scene/object_table.h"
#include "scene/organic.h"
#include "scene/scene_state.h"
#include "mesh/object_copies.h"
#include "tasks/task_recorder.h"
#include "tools/quorvels.h"
#include "tests/support/temp_dir.h"
#include "ui/layout_ids.h"
#include "ui/loop_result.h"
#include "ui/object_commands.h"
#include "ui/panel_table.h"
#include "ui/panels.h"
#include "tests/support/interface_fixture.h"
#include "ui/rooms.h"
#include "tests/support/reset_all_state.h"

namespace tsv {
namespace {

class Dispatch : public test::InterfaceFixture {
 protected:
  // The interface fixture resets everything, the application record included.
};

TEST_F(Dispatch, APressDragAndReleaseReachThePanelInOrder) {
  std::vector<std::pair<int, int>> calls;
  app.panelHandler = [&](int panel, int phase, uint16_t part) {
    if (phase == kPhasePress && (part >> 8) != panel) return kNotMine;
    calls.push_back({panel, phase});
    ui.trackingMouse = phase != kPhaseRelease;
    return 0;
  };
  const PlacedPanel* tools = FindPlacedPanel(5);
  ASSERT_NE(tools, nullptr);
  const int x = tools->rect.left + 20, y = tools->rect.top + 30;  // on the first tool
  Push(SDL_MOUSEMOTION, x, y);
  Push(SDL_MOUSEBUTTONDOWN, x, y);
  Push(SDL_MOUSEMOTION, x + 5, y);
  Push(SDL_MOUSEMOTION, x + 9, y + 2);
  Push(SDL_MOUSEBUTTONUP, x + 9, y + 2);
  for (int step = 0; step < 20 && (calls.empty() || calls.back().second != kPhaseRelease); ++step) MainLoopStep(0);
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls.front(), std::make_pair(5, int(kPhasePress)));
  for (size_t i = 1; i + 1 < calls.size(); ++i) EXPECT_EQ(calls[i], std::make_pair(5, int(kPhaseDrag)));
  EXPECT_EQ(calls.back(), std::make_pair(5, int(kPhaseRelease)));
  EXPECT_EQ(app.partCode, (5 << 8) | 1);
  EXPECT_FALSE(ui.trackingMouse);
}

TEST_F(Dispatch, ThreeChoosesTheThirdViewOfTheCurrentObject) {
  ASSERT_NE(NewObjectInTable(false, 3, 1), nullptr);
  PushKey(SDLK_3);
  int result = 0;
  for (int step = 0; step < 5 && result == 0; ++step) result = MainLoopStep(0);
  EXPECT_EQ(result, 4);
  EXPECT_EQ(scene.currentObject->currentView, 2);
}

TEST_F(Dispatch, KeysWithoutAnObjectOrMeaningAreNotUsed) {
  input.event = EventRecord{kKeyDown, '3', 0, 0, 0, 0};
  EXPECT_EQ(HandleKey(0), -1);  // no current object
  input.event = EventRecord{kKeyDown, 'x', 0, 0, 0, 0};
  EXPECT_EQ(HandleKey(0), -1);
  input.event = EventRecord{kKeyDown, 'y', 0, 0, 0, 0};
  EXPECT_EQ(HandleKey(0), 4);
  EXPECT_EQ(ui.currentRoom, 4);  // 'y' is the paint room's tab
  input.event = EventRecord{kKeyDown, kCharTab, 0, 0, 0, 0};
  EXPECT_EQ(HandleKey(0), 4);
  EXPECT_EQ(ui.axisLock, 1);
}

TEST_F(Dispatch, ClosingWhileRecordingAsksAndKeepsRunningWhenRefused) {
  // A real recording: the recorder's working files go to a folder of this test's own.
  test::TempDir temp;
  test::ScopedEnv tmp("TMPDIR", temp.str());
  ASSERT_EQ(CreateTempFolder(), kNoError);
  NewTaskList();
  SetRecording(kRecordStart);
  ASSERT_EQ(taskRecorder.taskState, kTaskRecording);
  services.messageAnswers = {false, true};
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_PushEvent(&close);
  int result = 0;
  for (int step = 0; step < 5 && services.Texts(ShownKind::Message).empty(); ++step) result = MainLoopStep(0);
  EXPECT_NE(result, 1);
  ASSERT_EQ(services.Texts(ShownKind::Message).size(), 1u);
  EXPECT_EQ(services.Texts(ShownKind::Message)[0],
            "Warning: Proceeding will stop recording tasks. Do you want to continue?");
  SDL_PushEvent(&close);
  for (int step = 0; step < 5 && result != 1; ++step) result = MainLoopStep(0);
  EXPECT_EQ(result, 1);
  ResetTaskRecorder();
}

TEST_F(Dispatch, TheQuorvelsRoomsViewKeysAndDeleteActOnTheBalls) {
  ASSERT_TRUE(InitSoftDraw());
  SceneObject* object = NewObjectInTable(false, 3, 1);
  ASSERT_NE(object, nullptr);
  SetCurrentRoom(kQuorvelsRoomNumber);
  quorvelState.balls = {MakeBall({0, 0, 0}), MakeBall({0, 0, 0}, 30)};
  quorvelState.selected = 0;
  // A drag from the ball through the main loop moves it.
  const int x = ui.viewRect.left + ui.viewRect.width / 2, y = ui.viewRect.top + ui.viewRect.height / 2;
  Push(SDL_MOUSEMOTION, x, y);
  Push(SDL_MOUSEBUTTONDOWN, x, y);
  for (int step = 1; step <= 10; ++step) Push(SDL_MOUSEMOTION, x + 3 * step, y);
  Push(SDL_MOUSEBUTTONUP, x + 30, y);
  for (int step = 0; step < 20; ++step) MainLoopStep(0);
  EXPECT_FALSE(ui.trackingMouse);
  EXPECT_GT(quorvelState.balls[quorvelState.selected].centre.x, 10.0f);
  // '3' turns the Kelvane view, not the object's; Delete takes the ball, not the object.
  input.event = EventRecord{kKeyDown, '3', 0, 0, 0, 0};
  EXPECT_EQ(HandleKey(0), 4);
  EXPECT_EQ(quorvelState.view.angles, DefaultObjectView(2).angles);
  EXPECT_EQ(object->currentView, 0);
  input.event = EventRecord{kKeyDown, kCharDelete, 0, 0, 0, 0};
  EXPECT_EQ(HandleKey(0), 4);
  EXPECT_EQ(quorvelState.balls.size(), 1u);
  EXPECT_EQ(ObjectCount(), 1);
  ShutdownSoftDraw();
}

TEST_F(Dispatch, TheComposersPlacementLightAndReturnWorkThroughTheMainLoop) {
  ASSERT_TRUE(InitSoftDraw());
  SceneObject* sphere = NewObjectInTable(true);
  ASSERT_NE(sphere, nullptr);
  ASSERT_TRUE(FillOrganicShape(*sphere, 0));
  ASSERT_TRUE(SetCurrentObject(0));
  ComposerPicture& picture = renderState.composerPicture;
  picture.width = 80;
  picture.height = 60;
  picture.pixels.assign(size_t(80) * 60, 0);
  nativeFiles.project.supersampling = 0;
  SetCurrentRoom(kComposerRoomNumber);
  const auto drag = [&](int item, int dx, int dy) {
    const PlacedPanel* panel = FindPlacedPanel(9);
    ASSERT_NE(panel, nullptr);
    const PanelItem* at = FindItem(LayoutOf(*panel), item);
    ASSERT_NE(at, nullptr);
    const int x = panel->rect.left + at->rect.left + 20, y = panel->rect.top + at->rect.top + 20;
    Push(SDL_MOUSEMOTION, x, y);
    Push(SDL_MOUSEBUTTONDOWN, x, y);
    for (int step = 1; step <= 5; ++step) Push(SDL_MOUSEMOTION, x + dx * step / 5, y + dy * step / 5);
    Push(SDL_MOUSEBUTTONUP, x + dx, y + dy);
    for (int step = 0; step < 15; ++step) MainLoopStep(0);
  };
  drag(layout::SceneObjects::kPlacement, 30, 0);
  EXPECT_GT(sphere->position.x, 1.0f);
  const auto light = nativeFiles.project.lightAngles;
  drag(layout::SceneObjects::kLight, 0, 20);
  EXPECT_NE(nativeFiles.project.lightAngles, light);
  EXPECT_FALSE(ui.trackingMouse);
  input.event = EventRecord{kKeyDown, kCharReturn, 0, 0, 0, 0};
  EXPECT_EQ(HandleKey(0), 4);
  size_t covered = 0;
  for (const uint32_t pixel : picture.pixels) covered += (pixel >> 24) == 255;
  EXPECT_GT(covered, 100u);
  EXPECT_EQ(scene.currentObject, sphere);
  ShutdownSoftDraw();
}

TEST_F(Dispatch, QuitWithoutRecordingAsksNothing) {
  input.event = EventRecord{kKeyDown, 'q', 0, 0, 0, kControlBit};
  EXPECT_EQ(HandleKey(0), 1);
  EXPECT_TRUE(services.shown.empty());
}

TEST_F(Dispatch, SpinningTurnsTheFreeViewByTheSpinRatesAndWraps) {
  ASSERT_NE(NewObjectInTable(false, 3, 1), nullptr);
  ui.freeViewMode = FreeViewMode::Spinning;
  ObjectView& view = scene.currentObject->views[6];
  view.angles[1] = 6.28f;
  EXPECT_EQ(FreeViewStep(), 2);
  EXPECT_FLOAT_EQ(view.angles[0], 1.0822536f * 3.14159265f / 1000.0f);
  EXPECT_LT(view.angles[1], 0.03f);  // past a whole turn it starts again from 0
  ui.freeViewMode = FreeViewMode::Off;
  EXPECT_EQ(FreeViewStep(), 0);
}

TEST_F(Dispatch, ADragTheToolIgnoresLeavesTheObjectUnmarkedAndTheListShowsEachStepAtOnce) {
  ASSERT_TRUE(InitSoftDraw());
  SceneObject* sphere = NewObjectInTable(true);
  ASSERT_NE(sphere, nullptr);
  ASSERT_TRUE(FillOrganicShape(*sphere, 0));
  ASSERT_TRUE(SetCurrentObject(0));
  sphere->hasUnsavedChanges = 0;
  const std::vector<Vec3f> before = sphere->points;
  InstallTaskRecorder();
  NewTaskList();
  SetRecording(kRecordStart);
  const int32_t steps = ShownStepCount();
  ASSERT_EQ(steps, 0);
  const PlacedPanel* tools = FindPlacedPanel(5);
  const PanelItem* scale = FindItem(LayoutOf(*tools), layout::DeformTools::kScale);
  const int x = tools->rect.left + scale->rect.left + 10, y = tools->rect.top + scale->rect.top + 10;
  // Scale follows horizontal motion only: straight down, then right and back again.
  int32_t expected = steps;
  for (const int sideways : {0, 12}) {
    Push(SDL_MOUSEMOTION, x, y);
    Push(SDL_MOUSEBUTTONDOWN, x, y);
    for (int step = 1; step <= 20; ++step) Push(SDL_MOUSEMOTION, x + (step <= 10 ? step : 20 - step) * sideways / 10, y + step);
    Push(SDL_MOUSEBUTTONUP, x, y + 20);
    for (int step = 0; step < 10; ++step) MainLoopStep(0);
    EXPECT_EQ(sphere->hasUnsavedChanges, 0) << sideways;
    EXPECT_EQ(ShownStepCount(), ++expected) << sideways;  // recorded as the drag it was
    for (size_t i = 0; i < before.size(); ++i) ASSERT_EQ(sphere->points[i].x, before[i].x) << i;
  }
  // A drag to the right changes it: marked; the list shows each step while recording goes on.
  Push(SDL_MOUSEMOTION, x, y);
  Push(SDL_MOUSEBUTTONDOWN, x, y);
  for (int step = 1; step <= 10; ++step) Push(SDL_MOUSEMOTION, x + step, y);
  Push(SDL_MOUSEBUTTONUP, x + 10, y);
  for (int step = 0; step < 10; ++step) MainLoopStep(0);
  EXPECT_EQ(sphere->hasUnsavedChanges, 1);
  EXPECT_EQ(ShownStepCount(), ++expected);
  SetRecording(kRecordStop);
  ShutdownSoftDraw();
}

TEST_F(Dispatch, DraggingTheScaleControlGrowsTheObjectAndTheUndoKeysStepThroughIt) {
  ASSERT_TRUE(InitSoftDraw());
  SceneObject* sphere = NewObjectInTable(true);
  ASSERT_NE(sphere, nullptr);
  ASSERT_TRUE(FillOrganicShape(*sphere, 0));
  ASSERT_TRUE(SetCurrentObject(0));
  const float radius = std::hypot(sphere->points[0].x, sphere->points[0].y, sphere->points[0].z);

  const PlacedPanel* tools = FindPlacedPanel(5);
  const PanelItem* scale = FindItem(LayoutOf(*tools), layout::DeformTools::kScale);
  const int x = tools->rect.left + scale->rect.left + 10, y = tools->rect.top + scale->rect.top + 10;
  Push(SDL_MOUSEMOTION, x, y);
  Push(SDL_MOUSEBUTTONDOWN, x, y);
  for (int step = 1; step <= 30; ++step) Push(SDL_MOUSEMOTION, x + step, y);
  Push(SDL_MOUSEBUTTONUP, x + 30, y);
  for (int step = 0; step < 10; ++step) MainLoopStep(0);
  const float grown = std::hypot(sphere->points[0].x, sphere->points[0].y, sphere->points[0].z);
  EXPECT_GT(grown, radius * 1.05f);

  const auto key = [](uint32_t letter, uint16_t modifiers) {
    input.event = EventRecord{kKeyDown, letter, 0, 0, 0, modifiers};
    return HandleKey(0);
  };
  const auto size = [&] { return std::hypot(sphere->points[0].x, sphere->points[0].y, sphere->points[0].z); };
  EXPECT_EQ(key('z', kControlBit), 4);
  EXPECT_NEAR(size(), radius, 0.01f);
  EXPECT_EQ(key('z', kControlBit), 0);  // no step further back
  EXPECT_NEAR(size(), radius, 0.01f);
  EXPECT_EQ(key('z', kControlBit | kShiftBit), 4);  // forward again
  EXPECT_NEAR(size(), grown, 0.01f);
  EXPECT_EQ(key('z', kControlBit), 4);
  EXPECT_EQ(key('y', kControlBit), 4);  // forward again, the other way
  EXPECT_NEAR(size(), grown, 0.01f);
  ShutdownSoftDraw();
}

TEST_F(Dispatch, TheWheelOverTheViewZoomsAndHomeFramesTheObject) {
  SceneObject* sphere = NewObjectInTable(true);
  ASSERT_NE(sphere, nullptr);
  ASSERT_TRUE(FillOrganicShape(*sphere, 0));
  ASSERT_TRUE(SetCurrentObject(0));
  ObjectView& view = CurrentView(*sphere);
  view.zoom = 0.3f;
  auto wheel = [](int steps) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = steps;
    SDL_PushEvent(&e);
    for (int step = 0; step < 5; ++step) MainLoopStep(0);
  };
  // Over a panel the wheel does nothing to the view; over the view, two steps nearer.
  const PlacedPanel* tools = FindPlacedPanel(5);
  Push(SDL_MOUSEMOTION, tools->rect.left + 2, tools->rect.top + 2);
  wheel(2);
  EXPECT_FLOAT_EQ(view.zoom, 0.3f);
  Push(SDL_MOUSEMOTION, ui.viewRect.left + 200, ui.viewRect.top + 200);
  wheel(2);
  EXPECT_NEAR(view.zoom, ZoomFromPosition(PositionFromZoom(0.3f) + 32.0f), 1e-4f);
  wheel(-2);
  EXPECT_NEAR(view.zoom, 0.3f, 1e-4f);

  // Home: the sphere's outline spans 90 % of the view, around its middle.
  view.centerX = 50;
  input.event = EventRecord{kKeyDown, kCharHome, 0, 0, 0, 0};
  EXPECT_EQ(HandleKey(0), kLoopRedrawViewFull);
  float minX = 1e9f, maxX = -1e9f;
  for (const Vec3f& p : sphere->points) {
    minX = std::min(minX, view.zoom * p.x + view.centerX);
    maxX = std::max(maxX, view.zoom * p.x + view.centerX);
  }
  EXPECT_NEAR(maxX - minX, 360.0f, 1.0f);
  EXPECT_NEAR((maxX + minX) / 2, 200.0f, 1.0f);
  EXPECT_NEAR(view.centerY, 200, 1);

  // An object without points leaves the view as it was.
  sphere->points.clear();
  sphere->pointCount = 0;
  const float framed = view.zoom;
  EXPECT_EQ(HandleKey(0), -1);
  EXPECT_EQ(view.zoom, framed);
}

TEST(ZoomScale, PositionsAndZoomsConvertBothWays) {
  EXPECT_NEAR(ZoomFromPosition(0), 0.1f, 1e-6);
  EXPECT_NEAR(ZoomFromPosition(128), 1.0f, 1e-3);
  EXPECT_NEAR(ZoomFromPosition(256), 10.0f, 1e-2);
  EXPECT_NEAR(PositionFromZoom(1.0f), 128.0f, 0.05f);
  EXPECT_EQ(PositionFromZoom(1000.0f), 256.0f);  // clamped
  EXPECT_EQ(PositionFromZoom(0.0f), 0.0f);
  EXPECT_NEAR(ZoomFromPosition(-40), 0.1f, 1e-6);

  // The view's slider keeps the ends and the middle, moves half as fast there, and goes back.
  EXPECT_NEAR(ZoomFromSlider(0), 0.1f, 1e-6);
  EXPECT_NEAR(ZoomFromSlider(128), 1.0f, 1e-3);
  EXPECT_NEAR(ZoomFromSlider(256), 10.0f, 1e-2);
  EXPECT_NEAR(std::log(ZoomFromSlider(136)), std::log(ZoomFromPosition(132)), 0.01f);
  for (float slider : {0.0f, 17.0f, 100.0f, 128.0f, 140.0f, 250.0f, 256.0f}) {
    EXPECT_NEAR(SliderFromZoom(ZoomFromSlider(slider)), slider, 0.05f) << slider;
  }
}

// The object panel's commands through the keys and presses that reach them: Ctrl+D duplicates,
// Ctrl+Z right after a mirror takes it back, and a merge waits for a click on another object's row
// of the object list (Escape or a click elsewhere ends the wait).
TEST_F(Dispatch, DuplicateMirrorAndMergeAnswerTheirKeysAndClicks) {
  SceneObject* sphere = NewObjectInTable(true);
  ASSERT_NE(sphere, nullptr);
  ASSERT_TRUE(FillOrganicShape(*sphere, 0));
  ASSERT_TRUE(SetCurrentObject(0));
  const auto key = [](uint32_t letter, uint16_t modifiers) {
    input.event = EventRecord{kKeyDown, letter, 0, 0, 0, modifiers};
    return HandleKey(0);
  };
  EXPECT_EQ(key('d', kControlBit), 4);
  EXPECT_EQ(ObjectCount(), 2);
  EXPECT_EQ(scene.currentObjectIndex, 1);
  SceneObject* copy = scene.currentObject;

  for (Vec3f& p : copy->points) p.x += 1;
  const std::vector<Vec3f> before = copy->points;
  ASSERT_TRUE(MirrorObject(copy, 0));
  EXPECT_EQ(key('z', kControlBit), 4);
  EXPECT_EQ(copy->points, before);
  EXPECT_EQ(copy->isOrganic, 1);
  EXPECT_EQ(key('z', kControlBit), 4);  // again: mirrored once more
  EXPECT_EQ(copy->points[0].x, -before[0].x);

  // The merge waits; Escape ends the wait, nothing made.
  const PlacedPanel* list = FindPlacedPanel(layout::ObjectList::kPanel);
  const PlacedPanel* objects = FindPlacedPanel(9);
  ASSERT_TRUE(list != nullptr && objects != nullptr);
  const auto pressItem = [](const PlacedPanel& placed, int item) {
    const Rect r = ItemRectOnScreen(placed, *FindItem(LayoutOf(placed), item));
    input.mouseX = r.left + 5;
    input.mouseY = r.top + 5;
    return DispatchPress(HitTest(input.mouseX, input.mouseY));
  };
  pressItem(*objects, layout::ObjectTools::kMerge);
  EXPECT_EQ(HandlePanel(9, kPhaseRelease, 0), 4);
  EXPECT_TRUE(MergeWaiting());
  EXPECT_EQ(key(kCharCancel, kControlBit), 4);
  EXPECT_FALSE(MergeWaiting());
  EXPECT_EQ(ObjectCount(), 2);

  // Again, and the first row of the list (the sphere) is the second object: a third object.
  pressItem(*objects, layout::ObjectTools::kMerge);
  (void)HandlePanel(9, kPhaseRelease, 0);
  ASSERT_TRUE(MergeWaiting());
  pressItem(*list, layout::ObjectList::kList);
  EXPECT_FALSE(MergeWaiting());
  EXPECT_EQ(ObjectCount(), 3);
  EXPECT_EQ(scene.currentObject->pointCount, 2 * kOrganicPointCount);
}

}  // namespace
}  // namespace tsv
