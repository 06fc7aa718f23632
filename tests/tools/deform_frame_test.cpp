// The frame every deformation tool runs in, checked over the whole tool table: the mask, drags
// that come back, saturation at the range ends, the guards, the recorded steps and the readout.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/fonts.h"
#include "platform/string_table.h"
#include "platform/window.h"
#include "render/projection.h"
#include "render/soft_draw.h"
#include "scene/task_steps.h"
#include "tests/render/render_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/tool_fixture.h"
#include "tools/deform_table.h"
#include "tools/deform_tools.h"
#include "tools/trackball.h"

namespace tsv::test {
namespace {

std::string NameOf(const DeformToolEntry& tool) { return GetString(tool.name); }

// The deforming tools: every entry but "To undo" and the trackball.
std::vector<const DeformToolEntry*> ShapeTools() {
  std::vector<const DeformToolEntry*> tools;
  for (const DeformToolEntry& tool : DeformTools()) {
    if (tool.kind != DeformKind::Trackball && tool.code != TaskStepCode("UN")) tools.push_back(&tool);
  }
  return tools;
}

// An amount that visibly changes a sphere.
int16_t StrongAmount(const DeformToolEntry& tool) {
  switch (tool.kind) {
    case DeformKind::Signed: return 128;
    case DeformKind::Flatten: return 0;
    default: return 256;
  }
}

class DeformFrame : public ToolFixture {
 protected:
  // The sphere made uneven and moved off the origin, so that the tools which even out distances
  // or move toward the centre have something to do.
  SceneObject* AddLumpySphere() {
    SceneObject* sphere = AddSphere();
    if (sphere == nullptr) return nullptr;
    for (Vec3f& p : sphere->points) p = {p.x + 30, p.y * (p.y > 0 ? 1.5f : 1.0f) + 10, p.z};
    return ActivateSceneObject(sphere) ? sphere : nullptr;
  }
};

TEST_F(DeformFrame, TheTableFollowsThePanelAndFindsToolsByItemCodeAndName) {
  ASSERT_EQ(DeformTools().size(), 24u);
  for (const DeformToolEntry& tool : DeformTools()) {
    EXPECT_EQ(FindDeformToolByItem(tool.item), &tool);
    EXPECT_EQ(FindDeformToolByCode(tool.code), &tool);
    EXPECT_EQ(FindDeformTool(NameOf(tool)), &tool) << NameOf(tool);
    EXPECT_EQ(FindDeformTool(TaskStepCodeText(tool.code)), &tool);
    EXPECT_NE(tool.deform == nullptr, tool.deformTwo == nullptr) << NameOf(tool);
  }
  EXPECT_EQ(NameOf(*FindDeformToolByItem(1)), "Scale");
  EXPECT_EQ(NameOf(*FindDeformToolByItem(23)), "Stretch");
  EXPECT_EQ(FindDeformTool("radial-shear"), FindDeformToolByCode(TaskStepCode("RS")));
  EXPECT_EQ(FindDeformTool("tt"), FindDeformTool("Twist"));
  EXPECT_EQ(FindDeformToolByCode(TaskStepCode("RX")), FindDeformToolByItem(24));
  EXPECT_EQ(FindDeformTool("Sculpt"), nullptr);
  EXPECT_EQ(FindDeformTool(""), nullptr);
  EXPECT_EQ(FindDeformToolByItem(25), nullptr);
}

TEST_F(DeformFrame, AMaskOfZeroLeavesThePointInPlace) {
  SceneObject* sphere = AddLumpySphere();
  ASSERT_NE(sphere, nullptr);
  for (size_t i = 0; i < sphere->pointMask.size(); i += 3) sphere->pointMask[i] = 0;
  for (const DeformToolEntry* tool : ShapeTools()) {
    ASSERT_TRUE(ActivateSceneObject(sphere));
    RunDeformTool(*tool, sphere, Undo(), StrongAmount(*tool), 256);
    const std::vector<Vec3f> edited = Edited(*sphere);
    float largestMove = 0;
    for (size_t i = 0; i < edited.size(); ++i) {
      if (sphere->pointMask[i] == 0) {
        ASSERT_TRUE(SamePosition(edited[i], sphere->points[i])) << NameOf(*tool) << " moved point " << i;
      } else {
        largestMove = std::max(largestMove, Distance(edited[i], sphere->points[i]));
      }
    }
    EXPECT_GT(largestMove, 1.0f) << NameOf(*tool) << " did nothing to the free points";
  }
}

TEST_F(DeformFrame, DraggingRightAndBackRestoresTheExactStartingShape) {
  SceneObject* sphere = AddLumpySphere();
  ASSERT_NE(sphere, nullptr);
  for (const DeformToolEntry& tool : DeformTools()) {
    if (tool.kind == DeformKind::Trackball) continue;
    SCOPED_TRACE(NameOf(tool));
    ASSERT_TRUE(ActivateSceneObject(sphere));
    steps.clear();
    // The largest change any pass made, seen through the present hook.
    float largestMove = 0;
    toolState.present = [&] {
      for (size_t i = 0; i < size_t(sphere->pointCount); i += 7) {
        const PointWork& w = (*sphere->pointWork)[i];
        largestMove = std::max(largestMove, Distance({w.x, w.y, w.z}, sphere->points[i]));
      }
    };
    ScriptDrag({{20, 10}, {60, 25}, {30, 5}, {0, 0}});
    RunDeformTool(tool, sphere, Undo(), kAmountInteractive);
    // "To undo" blends toward the undo copy, which is the sphere itself here.
    if (tool.code != TaskStepCode("UN")) {
      EXPECT_GT(largestMove, 0.1f);
    }
    const std::vector<Vec3f> edited = Edited(*sphere);
    for (size_t i = 0; i < edited.size(); ++i) {
      ASSERT_TRUE(SamePosition(edited[i], sphere->points[i])) << "point " << i;
    }
    ASSERT_EQ(steps.size(), 1u);
    const AmountRange range = RangeOfKind(tool.kind);
    EXPECT_EQ(steps[0].code, tool.code);
    EXPECT_EQ(steps[0].value1, range.start);
    EXPECT_EQ(steps[0].value2, tool.kind == DeformKind::TwoAxis ? range.start : 0);
  }
}

// Far past the end of the range, then 10 pixels back: the amount moves off the end at once.
struct Saturation {
  const char* code;
  int16_t recorded;  // after +400 and back 10
  int readout;       // the readout of that amount
};

TEST_F(DeformFrame, AmountsSaturateAtTheRangeEndsAndComeBackAtOnce) {
  const Saturation cases[] = {
      {"SC", 246, (118 * 200) >> 8}, {"NO", 246, (246 * 100) >> 8}, {"TT", 118, (118 * 200) >> 8},
      {"FL", 10, (246 * 100) >> 8},  // a rightward drag lowers Flatten's amount
      {"TA", -118, (-118 * -200) >> 8},  // and Taper's
      {"UN", 246, (246 * 100) >> 8},
  };
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  for (const Saturation& c : cases) {
    SCOPED_TRACE(c.code);
    const DeformToolEntry* tool = FindDeformTool(c.code);
    ASSERT_NE(tool, nullptr);
    ASSERT_TRUE(ActivateSceneObject(sphere));
    steps.clear();
    int lastReadout = 0;
    toolState.present = [&] { if (toolState.readoutValue1 != kNoReadoutValue) lastReadout = toolState.readoutValue1; };
    ScriptDrag({{200, 0}, {400, 0}, {390, 0}});
    RunDeformTool(*tool, sphere, Undo(), kAmountInteractive);
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].value1, c.recorded);
    EXPECT_EQ(lastReadout, c.readout);
    EXPECT_EQ(toolState.readoutValue1, kNoReadoutValue);  // cleared on release
  }
  toolState.present = nullptr;
  // The full tool table saturates the same way at both ends.
  for (const DeformToolEntry& tool : DeformTools()) {
    if (tool.kind == DeformKind::Trackball) continue;
    SCOPED_TRACE(NameOf(tool));
    const AmountRange range = RangeOfKind(tool.kind);
    const bool leftRaises = tool.code == TaskStepCode("FL") || tool.code == TaskStepCode("TA");
    for (int direction : {1, -1}) {
      ASSERT_TRUE(ActivateSceneObject(sphere));
      steps.clear();
      ScriptDrag({{500 * direction, 500 * direction}, {700 * direction, 700 * direction}});
      RunDeformTool(tool, sphere, Undo(), kAmountInteractive);
      ASSERT_EQ(steps.size(), 1u);
      const bool raised = (direction > 0) != leftRaises;
      EXPECT_EQ(steps[0].value1, raised ? range.maximum : range.minimum);
      if (tool.kind == DeformKind::TwoAxis) {
        EXPECT_EQ(steps[0].value2, direction > 0 ? range.maximum : range.minimum);
      }
    }
  }
}

TEST_F(DeformFrame, StretchFollowsBothAxesAndShowsTwoValues) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  int readout2 = kNoReadoutValue;
  toolState.present = [&] { if (toolState.readoutValue1 != kNoReadoutValue) readout2 = toolState.readoutValue2; };
  ScriptDrag({{10, 0}, {20, -15}, {20, 30}});  // down raises the vertical amount
  DeformStretch(sphere, Undo(), kAmountInteractive, 0);
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].code, TaskStepCode("ST"));
  EXPECT_EQ(steps[0].value1, 148);
  EXPECT_EQ(steps[0].value2, 158);
  EXPECT_EQ(readout2, (30 * 200) >> 8);
}

TEST_F(DeformFrame, TheReadoutBoxIsDrawnIntoTheFrameAndClearedAtTheEnd) {
  ResizeCanvas(mainWindow.frame, 200, 100, 0xFFFFFF);
  toolState.readoutRect = {20, 10, kReadoutWidth, kReadoutHeight};
  const bool fonts = InitInterfaceFonts();
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  auto box = [] {
    int dark = 0, other = 0;
    for (int y = 10; y < 40; ++y) {
      for (int x = 20; x < 65; ++x) (PixelAt(mainWindow.frame, x, y) == kReadoutColour ? dark : other)++;
    }
    return std::pair{dark, other};
  };
  std::pair<int, int> during{0, 0};  // the most printed pixels any redraw showed
  toolState.present = [&] {
    const auto shown = box();
    if (shown.second >= during.second) during = shown;
  };
  ScriptDrag({{-100, 0}});
  DeformTwist(sphere, Undo(), kAmountInteractive);
  EXPECT_GT(during.first, 0);
  if (fonts) {
    EXPECT_GT(during.second, 0) << "the amount is printed in the box";
  }
  EXPECT_EQ(box(), std::make_pair(kReadoutWidth * kReadoutHeight, 0));
  EXPECT_EQ(PixelAt(mainWindow.frame, 19, 10), 0xFFFFFFu);  // nothing outside the box
  EXPECT_EQ(PixelAt(mainWindow.frame, 65, 10), 0xFFFFFFu);
  ShutdownInterfaceFonts();
  mainWindow.frame = Canvas{};
}

// A flat object (no height in the view) or one on the view's z axis (no radius) is left alone
// by the tools that measure along it: no change, no readout, no step.
TEST_F(DeformFrame, GuardedToolsLeaveADegenerateObjectAloneAndRecordNothing) {
  SceneObject* flat = AddMesh({{-1, 0, -1}, {1, 0, -1}, {1, 0, 1}, {-1, 0, 1}}, {{0, 1, 2}, {0, 2, 3}});
  SceneObject* needle = AddMesh({{0, 0, -1}, {0, 0, 0}, {0, 0, 1}}, {{0, 1, 2}});
  ASSERT_NE(flat, nullptr);
  ASSERT_NE(needle, nullptr);
  const struct {
    const char* code;
    SceneObject* object;
  } cases[] = {{"BO", flat}, {"BL", flat}, {"TT", flat}, {"BA", flat}, {"WA", flat},
               {"TS", flat}, {"TA", flat}, {"BG", flat}, {"TW", needle}, {"BU", needle}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    const DeformToolEntry* tool = FindDeformTool(c.code);
    ASSERT_TRUE(ActivateSceneObject(c.object));
    steps.clear();
    bool drawn = false;
    toolState.present = [&] { drawn = true; };
    ScriptDrag({{40, 0}, {80, 0}});
    RunDeformTool(*tool, c.object, Undo(), kAmountInteractive);
    EXPECT_FALSE(input.buttonDown) << "returns once the button is released";
    RunDeformTool(*tool, c.object, Undo(), StrongAmount(*tool));
    EXPECT_TRUE(steps.empty());
    EXPECT_FALSE(drawn);
    const std::vector<Vec3f> edited = Edited(*c.object);
    for (size_t i = 0; i < edited.size(); ++i) EXPECT_TRUE(SamePosition(edited[i], c.object->points[i]));
  }
}

TEST_F(DeformFrame, WithoutAnObjectEveryToolWaitsForTheReleaseAndRecordsNothing) {
  for (const DeformToolEntry& tool : DeformTools()) {
    ScriptDrag({{30, 0}});
    RunDeformTool(tool, nullptr, Undo(), kAmountInteractive, 0);
    EXPECT_FALSE(input.buttonDown) << NameOf(tool);
    RunDeformTool(tool, nullptr, Undo(), 100, 0);
  }
  EXPECT_TRUE(steps.empty());
}

TEST_F(DeformFrame, AScriptedDragRecordsItsAmountAndRedrawsEachMotion) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  int redraws = 0;
  toolState.present = [&] { ++redraws; };
  ScriptDrag({{5, 0}, {12, 3}, {30, 3}});
  DeformTwist(sphere, Undo(), kAmountInteractive);
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].code, TaskStepCode("TT"));
  EXPECT_EQ(steps[0].value1, 30);
  EXPECT_EQ(redraws, 3 + 2);  // one per motion, and the readout shown and cleared
  // The redraws drew the quick outline into the view picture.
  EXPECT_NE(std::count(renderState.viewPicture.begin(), renderState.viewPicture.end(),
                       renderState.viewPicture[0]),
            kViewPixelCount);
}

// Each pass of a drag projects and shades the object once: the redraw draws from the refresh's
// projection, and its picture is what a redraw of its own makes of the same shape.
TEST_F(DeformFrame, EachPassOfADragProjectsTheObjectOnce) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  toolState.drawOptions.lightAngles = {0.4f, 0.9f, -0.3f};
  ScriptDrag({{5, 0}, {12, 3}, {30, 3}});
  const uint64_t before = renderState.projectionPasses;
  DeformTwist(sphere, Undo(), kAmountInteractive);
  // One for the starting shape, then one for each of the three motions.
  EXPECT_EQ(renderState.projectionPasses - before, 1u + 3u);

  const std::vector<uint32_t> drawnByThePass = renderState.viewPicture;
  const std::vector<PointWork> records(sphere->pointWork->begin(),
                                       sphere->pointWork->begin() + sphere->pointCount);
  SoftDrawOptions options = toolState.drawOptions;
  options.fullDetail = false;
  ASSERT_TRUE(SoftDraw(sphere, options));
  EXPECT_EQ(renderState.viewPicture, drawnByThePass);
  for (int32_t i = 0; i < sphere->pointCount; i += 89) {
    EXPECT_EQ((*sphere->pointWork)[size_t(i)].sy, records[size_t(i)].sy) << i;
    EXPECT_EQ((*sphere->pointWork)[size_t(i)].shade, records[size_t(i)].shade) << i;
  }
}

// Every tool runs over far points and points that are not numbers without an undefined integer
// on the way: whatever the formulas make of them, the refresh after each pass gives every point
// the saturated screen position of its view position.
TEST_F(DeformFrame, FarAndDamagedPointsGetDefinedScreenPositionsUnderEveryTool) {
  SceneObject* object = AddMesh(FarAndDamagedPoints(), FarAndDamagedTriangles());
  ASSERT_NE(object, nullptr);
  for (const DeformToolEntry& tool : DeformTools()) {
    SCOPED_TRACE(NameOf(tool));
    ASSERT_TRUE(ActivateSceneObject(object));
    object->views[0].zoom = 2;
    RunDeformTool(tool, object, Undo(), tool.kind == DeformKind::Trackball ? 40 : StrongAmount(tool), 200);
    const ObjectView& view = CurrentView(*object);
    for (int32_t i = 0; i < object->pointCount; ++i) {
      const PointWork& p = (*object->pointWork)[size_t(i)];
      EXPECT_EQ(p.sx, ScreenCoordinate(view.zoom * p.vx, view.centerX)) << i;
      EXPECT_EQ(p.sy, ScreenCoordinate(view.zoom * p.vy, kViewBottomRow - view.centerY)) << i;
    }
    CommitObjectChange(object, Undo());
  }
}

// With a program window whose video driver cannot hold the pointer (the offscreen driver the
// end-to-end runs use), a drag follows the input layer's pointer as it does without a window.
TEST_F(DeformFrame, AWindowWithoutPointerControlStillDragsByTheInputPointer) {
  ScopedEnv driver("SDL_VIDEODRIVER", "offscreen");
  ASSERT_TRUE(StartVideo());
  ASSERT_TRUE(CreateProgramWindow("Tessivar test", 0));
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  ScriptDrag({{15, 0}, {40, 9}});
  DeformTwist(sphere, Undo(), kAmountInteractive);
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].value1, 40);
  EXPECT_FALSE(relativeDrag.active);
  EXPECT_EQ(SDL_GetRelativeMouseMode(), SDL_FALSE);
  DestroyProgramWindow();
  StopVideo();
}

}  // namespace
}  // namespace tsv::test
