// The brush panel and strokes over the modeling view.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/scripted_services.h"
#include "render/render_state.h"
#include "render/soft_draw.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"
#include "scene/task_steps.h"
#include "tools/brush.h"
#include "tools/brush_session.h"
#include "tools/brush_settings.h"
#include "tests/ui/panel_fixture.h"
#include "ui/brush_panel.h"
#include "ui/layout_ids.h"
#include "tools/tool_state.h"
#include "ui/loop_result.h"
#include "ui/main_panels.h"
#include "ui/panels.h"
#include "ui/room_panels.h"
#include "ui/rooms.h"

namespace tsv {
namespace {

class BrushPanel : public test::PanelFixture {
 protected:
  void SetUp() override {
    PanelFixture::SetUp();
    ui.viewRect = {300, 84, 400, 400};
  }
};

TEST_F(BrushPanel, ItemsSetTheBrushAndOnlyWhereTheyApply) {
  using namespace layout::Brushes;
  ui.currentRoom = 1;
  BrushItemClick(kTypeSmooth, 0, 0);
  EXPECT_EQ(brushSettings.type, brush_type::kSmooth);
  EXPECT_TRUE(BrushItemChecked(kTypeSmooth));
  BrushItemClick(kSideSymmetric, 0, 0);
  EXPECT_EQ(brushSettings.side, brush_side::kSymmetric);
  SetBrushItemValue(kSize, 999);
  EXPECT_EQ(brushSettings.size, 256);
  SetBrushItemValue(kDepth, -3);
  EXPECT_EQ(BrushItemValue(kDepth), 0);
  BrushItemClick(kTilt, 0, 0);
  EXPECT_TRUE(BrushItemChecked(kTilt));
  EXPECT_TRUE(MakeBrushTilt(brushSettings.tilt[0], brushSettings.tilt[1]).active);
  BrushItemClick(kTilt, 0, 0);
  EXPECT_FALSE(BrushItemChecked(kTilt));
  // The modeling room's types, the paint room's colours and the mask room's erase switch.
  EXPECT_TRUE(BrushItemEnabled(kTypeBrush));
  EXPECT_FALSE(BrushItemEnabled(kPaintColor));
  EXPECT_FALSE(BrushItemEnabled(kMaskErase));
  ui.currentRoom = 4;
  EXPECT_FALSE(BrushItemEnabled(kTypeBrush));
  EXPECT_TRUE(BrushItemEnabled(kPaintColor));
  services.colorAnswers = {Rgb16{0xFF00, 0, 0}};
  BrushItemClick(kPaintColor, 0, 0);
  EXPECT_EQ(BrushItemColour(kPaintColor), 0xFF0000u);
  ui.currentRoom = 10;
  BrushItemClick(kMaskErase, 0, 0);
  EXPECT_EQ(brushSettings.maskErase, kMaskEraseOn);
  ui.currentRoom = 6;
  EXPECT_FALSE(BrushItemEnabled(kSize));
  EXPECT_EQ(BrushItemText(kRepeat), "No repeat");
}

TEST_F(BrushPanel, EveryShapeHasAPictureDarkestAtItsCentre) {
  for (int shape = 1; shape <= kBrushShapeCount; ++shape) {
    const Canvas& picture = BrushShapePictureOf(shape);
    ASSERT_EQ(picture.width, 32) << shape;
    const uint32_t centre = PixelAt(picture, 16, 16), corner = PixelAt(picture, 0, 0);
    // The ring shapes are empty in the middle; shape 25 is random.
    if (shape != 19 && shape != 20 && shape != 22 && shape != 23 && shape != 24 && shape != 25) {
      EXPECT_LT(centre & 0xFF00, corner & 0xFF00) << "shape " << shape;
    }
  }
  // Drawing the pictures leaves the profile of the shape in force.
  brushSettings.shape = 7;
  BuildBrushProfile(7);
  const float before = brushEngine.brushProfile[100];
  (void)BrushShapePictureOf(1);
  EXPECT_EQ(brushEngine.brushProfile[100], before);
}

TEST_F(BrushPanel, AStrokeOverTheViewIsRecordedAndCommittedAsOneChange) {
  ui.currentRoom = 1;
  SceneObject* object = scene.currentObject;
  const std::vector<Vec3f> before = object->points;
  EXPECT_EQ(HandleModelingView(kPhasePress, 480, 260), 0);
  EXPECT_TRUE(ui.trackingMouse);
  for (int i = 1; i <= 10; ++i) HandleModelingView(kPhaseDrag, 480 + 4 * i, 260 + 2 * i);
  EXPECT_EQ(HandleModelingView(kPhaseRelease, 530, 285), 4);
  EXPECT_FALSE(ui.trackingMouse);
  ASSERT_GE(Codes().size(), 3u);
  EXPECT_EQ(Codes().front(), kStepBrushFirst);
  EXPECT_EQ(Codes()[1], kStepBrushSegment);
  EXPECT_EQ(Codes().back(), kStepBrushEnd);
  size_t moved = 0, pressed = 0;
  for (size_t i = 0; i < before.size(); ++i) {
    moved += before[i].z != object->points[i].z ? 1 : 0;
    auto radius = [](const Vec3f& p) { return p.x * p.x + p.y * p.y + p.z * p.z; };
    pressed += before[i].z != object->points[i].z && radius(object->points[i]) < radius(before[i]) ? 1 : 0;
  }
  EXPECT_GT(moved, 0u);
  // The depth left of the neutral middle (64 by default) presses the surface in, as the Depth
  // slider's hover text says.
  ASSERT_LT(brushSettings.depth, kBrushNeutralDepth);
  EXPECT_EQ(pressed, moved);
  // Ctrl+Z takes the whole stroke back.
  UndoLastChange();
  for (size_t i = 0; i < before.size(); ++i) ASSERT_NEAR(object->points[i].z, before[i].z, 1e-3f) << i;
}

TEST_F(BrushPanel, TheMorphRoomFusesWithTheChosenObjectOnly) {
  ui.currentRoom = 3;
  SceneObject* sphere = scene.currentObject;
  // A second, larger sphere to press against: the morph object.
  NewOrganicObject(0);
  SceneObject* other = scene.currentObject;
  ASSERT_NE(other, sphere);
  for (Vec3f& p : other->points) p = {p.x * 1.5f, p.y * 1.5f, p.z * 1.5f};
  EXPECT_TRUE(SetCurrentObject(SlotOfObject(sphere)));
  ASSERT_EQ(scene.currentObject, sphere);
  auto strokeMoves = [&] {
    const std::vector<Vec3f> before = sphere->points;
    HandleModelingView(kPhasePress, 480, 260);
    for (int i = 1; i <= 8; ++i) HandleModelingView(kPhaseDrag, 480 + 4 * i, 260 + 2 * i);
    HandleModelingView(kPhaseRelease, 512, 276);
    size_t moved = 0;
    for (size_t i = 0; i < before.size(); ++i) moved += before[i].z != sphere->points[i].z ? 1 : 0;
    return moved;
  };
  EXPECT_EQ(strokeMoves(), 0u) << "no morph object chosen: nothing to fuse with";
  SetMorphObject(0, other);
  brushSettings.fusionSide = kFusionSideLeft;
  EXPECT_GT(strokeMoves(), 0u);
  EXPECT_FALSE(brushSettings.morphObjects[0].depthBuffer.empty());
  // The other side has no object: nothing moves.
  brushSettings.fusionSide = kFusionSideRight;
  EXPECT_EQ(strokeMoves(), 0u);
}

TEST_F(BrushPanel, AChosenMorphObjectIsNeverTakenForTheOneThatReplacedIt) {
  SceneObject* chosen = NewObjectInTable(false, 3, 1);
  ASSERT_NE(chosen, nullptr);
  const int slot = SlotOfObject(chosen);
  SetMorphObject(1, chosen);
  EXPECT_EQ(MorphObject(1), chosen);
  DisposeSceneObject(scene.objectTable[size_t(slot)]);
  EXPECT_EQ(MorphObject(1), nullptr);
  // A new object in the same slot (perhaps at the same address) is another object.
  SceneObject* next = NewObjectInTable(false, 3, 1);
  ASSERT_NE(next, nullptr);
  ASSERT_EQ(SlotOfObject(next), slot);
  EXPECT_EQ(MorphObject(1), nullptr);
  EXPECT_EQ(MorphObjectPicture(layout::Morphing::kRightObject).width, 0);
}

TEST_F(BrushPanel, TheMaskIsFilledAndClearedAndTheHeightMapReadBottomUp) {
  SceneObject* object = scene.currentObject;
  MaskItemClick(layout::MaskTools::kFill);
  EXPECT_TRUE(std::all_of(object->pointMask.begin(), object->pointMask.end(), [](uint8_t m) { return m == 0; }));
  EXPECT_EQ((*object->pointWork)[5].mask, 0);
  MaskItemClick(layout::MaskTools::kClear);
  EXPECT_TRUE(std::all_of(object->pointMask.begin(), object->pointMask.end(), [](uint8_t m) { return m == 255; }));

  // A 2 x 2 picture: white over black. The brush reads rows from the bottom up.
  const std::vector<uint32_t> pixels = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFF000000u, 0xFF000000u};
  SetHeightMapFromPixels(pixels.data(), 2, 2);
  ASSERT_TRUE(HasHeightMap(brushSettings.heightMap));
  EXPECT_EQ(brushSettings.heightMap.bytes, (std::vector<uint8_t>{0, 0, 255, 255}));
  EXPECT_EQ(HeightMapPicture().pixels[0], 0xFFFFFFu);
}

TEST_F(BrushPanel, TheOutlineFollowsThePointerAtTheBrushesReachAndShape) {
  // A black view, the pointer at its middle: the outline is white where the dabs stop reaching.
  renderState.viewPicture.assign(size_t(kViewPixelCount), Rgb(0, 0, 0));
  Canvas canvas;
  ResizeCanvas(canvas, 1024, 768, Rgb(0, 0, 0));
  auto white = [&](int x, int y) { return (canvas.pixels[size_t(y) * 1024 + size_t(x)] & 0xFFFFFF) == 0xFFFFFF; };
  auto whiteNear = [&](int x, int y) {
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        if (white(x + dx, y + dy)) return true;
      }
    }
    return false;
  };
  ui.currentRoom = 1;
  ui.pointerX = 500;
  ui.pointerY = 284;
  brushSettings.size = 128;  // 42.9 pixels
  DrawViewLayers(canvas);
  EXPECT_TRUE(ui.outlineDrawn);
  EXPECT_TRUE(whiteNear(543, 284));
  EXPECT_TRUE(whiteNear(500, 241));
  EXPECT_FALSE(whiteNear(500, 284));
  EXPECT_FALSE(whiteNear(520, 284));

  // Half the size, half the reach; a square shape has its corners on the circle.
  brushSettings.size = 64;
  brushSettings.shape = 11;
  DrawViewLayers(canvas);
  EXPECT_FALSE(whiteNear(543, 284));
  EXPECT_TRUE(whiteNear(500 + 15, 284 - 15));
  EXPECT_TRUE(whiteNear(515, 284));  // the side, R cos 45 degrees from the middle
  EXPECT_FALSE(whiteNear(521, 284));

  // Nothing in a room without a brush, nor with the pointer off the view.
  for (const auto& [room, x] : {std::pair{6, 500}, std::pair{1, 200}}) {
    ui.currentRoom = room;
    ui.pointerX = x;
    ResizeCanvas(canvas, 1024, 768, Rgb(0, 0, 0));
    DrawViewLayers(canvas);
    EXPECT_FALSE(ui.outlineDrawn) << room;
    EXPECT_EQ(std::count(canvas.pixels.begin(), canvas.pixels.end(), Rgb(255, 255, 255)), 0) << room;
  }
}

TEST_F(BrushPanel, ShowMaskTintsTheMaskInTheRoomsWhereToolsAct) {
  using namespace layout::Brushes;
  struct Case {
    int room;
    bool showMask, shown;
  };
  for (const Case& c : {Case{1, false, false}, Case{1, true, true}, Case{kBrushRoomPaint, true, true},
                        Case{kMaskRoomNumber, false, true}, Case{6, true, false}}) {
    ui.currentRoom = c.room;
    ui.showMask = false;
    if (c.showMask) {
      EXPECT_EQ(BrushItemClick(kShowMask, 0, 0), kLoopRedrawViewFull);
    }
    EXPECT_EQ(MaskShown(), c.shown) << c.room;
    EXPECT_EQ(BrushItemChecked(kShowMask), c.showMask || c.room == kMaskRoomNumber) << c.room;
  }
  // The tools' redraws follow it.
  ui.currentRoom = 1;
  ui.showMask = true;
  SetUpToolDrag({});
  EXPECT_TRUE(toolState.drawOptions.maskRoom);
}

TEST_F(BrushPanel, RoomsWithoutABrushDoNotStroke) {
  ui.currentRoom = 6;
  EXPECT_EQ(HandleModelingView(kPhasePress, 480, 260), 0);
  EXPECT_FALSE(ui.trackingMouse);
  EXPECT_TRUE(Codes().empty());
}

}  // namespace
}  // namespace tsv
