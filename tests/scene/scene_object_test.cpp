// The scene object record: defaults, preview placeholder, type texts, header copy, optics words,
// planar texture coordinates, import completion and the interim shade ramp.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/canvas.h"
#include "platform/counted_string.h"
#include "scene/shade_ramp.h"
#include "tests/scene/scene_fixture.h"

namespace tsv {
namespace {

using SceneObjectRecord = test::SceneFixture;

TEST_F(SceneObjectRecord, NewObjectHasEveryDefault) {
  preferences.defaultObjectColour = {0x1234, 0xAB00, 0x00FF};
  auto object = NewSceneObject(10, 4);
  ASSERT_TRUE(object);
  const SceneObject& o = *object;
  EXPECT_EQ(o.signature, FourCC("CMF "));
  EXPECT_EQ(o.version, 100u);
  EXPECT_FALSE(IsFileSpecSet(o.fileSpec));
  EXPECT_EQ(CountedToText(o.name), "Untitled");
  EXPECT_EQ(std::count(o.description.begin(), o.description.end(), 0), 1024);
  EXPECT_EQ(o.headerFlagA, 1);
  EXPECT_EQ(o.headerFlagB, 0);
  EXPECT_EQ(o.isOrganic, 0);
  EXPECT_EQ(o.isFastSynthetic, 0);
  EXPECT_EQ(std::count(o.snapPoints.begin(), o.snapPoints.end(), -1), 64);
  EXPECT_EQ(o.pointCount, 10);
  EXPECT_EQ(o.triangleCount, 4);
  EXPECT_TRUE(HasConsistentArrays(o));
  EXPECT_TRUE(o.hierarchy.empty());
  EXPECT_EQ(o.importScale, 1.0f);
  EXPECT_EQ(o.scale, 1.0f);
  EXPECT_EQ(o.textureUsesAlpha, 1);
  EXPECT_EQ(o.textureFlags, 3);
  EXPECT_EQ(o.textureZoom, 1.0f);
  EXPECT_EQ(o.textureParams, (std::array<uint16_t, 5>{128, 128, 128, 128, 0}));
  EXPECT_FALSE(IsFileSpecSet(o.textureFile));
  EXPECT_TRUE(o.textureImage.empty());

  const OpticsWordArray expected = {0,      128,    256,    128,    1,      1,
                                    0,      0,      0,      0x9000, 0x9000, 0x9000,
                                    0x1234, 0xAB00, 0x00FF, 0x3000, 0x3000, 0x3000};
  EXPECT_EQ(OpticsWords(o.optics), expected);
  // Paint takes the high bytes of the diffuse colour; every point is free for the tools.
  for (const Rgb8& c : o.pointColors) {
    EXPECT_EQ((std::array<int, 3>{c.red, c.green, c.blue}), (std::array<int, 3>{0x12, 0xAB, 0x00}));
  }
  EXPECT_EQ(std::count(o.pointMask.begin(), o.pointMask.end(), 255), 10);
  EXPECT_EQ(o.shadeRamp.size(), 256u);
}

TEST_F(SceneObjectRecord, ViewDefaultsUseTheSinglePrecisionAngles) {
  auto object = NewSceneObject(0, 0);
  ASSERT_TRUE(object);
  const uint32_t halfPi = std::bit_cast<uint32_t>(1.5707964f);
  const uint32_t pi = std::bit_cast<uint32_t>(3.1415927f);
  const uint32_t threeHalfPi = std::bit_cast<uint32_t>(4.712389f);
  const std::array<std::array<uint32_t, 3>, 7> angles = {{{0, 0, 0},
                                                          {0, threeHalfPi, 0},
                                                          {halfPi, 0, 0},
                                                          {0, pi, 0},
                                                          {0, halfPi, 0},
                                                          {threeHalfPi, 0, 0},
                                                          {0, 0, 0}}};
  for (int i = 0; i < 7; ++i) {
    const ObjectView& view = object->views[size_t(i)];
    EXPECT_EQ(view.centerX, 200);
    EXPECT_EQ(view.centerY, 200);
    EXPECT_EQ(view.zoom, 1.0f);
    EXPECT_EQ(view.mode, 0);
    for (int a = 0; a < 3; ++a) {
      EXPECT_EQ(std::bit_cast<uint32_t>(view.angles[size_t(a)]), angles[size_t(i)][size_t(a)])
          << "view " << i << " angle " << a;
      EXPECT_EQ(view.offset[size_t(a)], 0.0f);
    }
  }
}

TEST_F(SceneObjectRecord, PreviewIsBlackWithThreeLinesOfText) {
  auto object = NewSceneObject(3, 1);
  ASSERT_TRUE(object);
  ASSERT_EQ(object->preview.size(), 10000u);
  Canvas preview{100, 100, object->preview};
  auto litPixels = [&](int top, int bottom, int left, int right) {
    int lit = 0;
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) lit += PixelAt(preview, x, y) != 0;
    }
    return lit;
  };
  // One line of text in each band below its top (20, 40, 60), none left of x = 9 or above row 20.
  EXPECT_GT(litPixels(20, 40, 9, 100), 0);
  EXPECT_GT(litPixels(40, 60, 9, 100), 0);
  EXPECT_GT(litPixels(60, 80, 9, 100), 0);
  EXPECT_EQ(litPixels(0, 100, 0, 9), 0);
  EXPECT_EQ(litPixels(0, 20, 0, 100), 0);
  EXPECT_EQ(litPixels(85, 100, 0, 100), 0);
  // "available" is the widest of the three lines.
  auto rightmost = [&](int top, int bottom) {
    int right = 0;
    for (int y = top; y < bottom; ++y) {
      for (int x = 0; x < 100; ++x) {
        if (PixelAt(preview, x, y) != 0) right = std::max(right, x);
      }
    }
    return right;
  };
  EXPECT_GT(rightmost(60, 80), rightmost(40, 60));
}

TEST_F(SceneObjectRecord, TypeTexts) {
  struct Case {
    uint16_t isOrganic, isFastSynthetic;
    const char* text;
  };
  const Case cases[] = {
      {0, 0, "Synthetic"}, {0, 1, "Fast Synthetic"}, {1, 1, "Organic"}, {1, 0, "Organic"}};
  for (const Case& c : cases) {
    SceneObject object;
    object.isOrganic = c.isOrganic;
    object.isFastSynthetic = c.isFastSynthetic;
    EXPECT_EQ(ObjectTypeText(object), c.text) << c.isOrganic << "/" << c.isFastSynthetic;
  }
}

TEST_F(SceneObjectRecord, HeaderCopyTakesTheHeaderAndNoArrays) {
  auto source = NewSceneObject(4, 2);
  auto target = NewSceneObject(4, 2);
  ASSERT_TRUE(source && target);
  source->headerFlagA = 7;
  source->headerFlagB = 8;
  source->isFastSynthetic = 1;
  source->ghostState = kGhosted;
  source->hasUnsavedChanges = 1;
  source->currentView = 6;
  source->views[6].zoom = 2.5f;
  source->views[3].offset = {1, 2, 3};
  source->optics.shininess = 17;
  source->textureUsesAlpha = 2;
  source->textureBump = 200;
  source->textureFlags = 1;
  source->textureZoom = 0.5f;
  source->textureParams = {1, 2, 3, 4, 5};
  source->textureOffset = {10, 20};
  source->scale = 3.0f;
  source->position = {1, 2, 3};
  source->rotation = {0.1f, 0.2f, 0.3f};
  source->depthMax = 40.0f;
  source->depthMin = -40.0f;
  source->snapPoints[0] = 3;
  std::strcpy(source->description.data(), "a rock");
  source->name = TextToCountedString("Rock");
  source->fileSpec = FileSpecForPath("/tmp/Rock.cmf", FourCC("CMF "));
  source->points[0] = {9, 9, 9};
  source->pointColors[0] = {1, 2, 3};
  source->pointMask[0] = 0;
  source->hierarchy.resize(1);

  CopySceneObjectHeader(*target, *source);
  EXPECT_EQ(target->headerFlagA, 7);
  EXPECT_EQ(target->headerFlagB, 8);
  EXPECT_EQ(target->isFastSynthetic, 1);
  EXPECT_EQ(target->ghostState, kGhosted);
  EXPECT_EQ(target->hasUnsavedChanges, 1);
  EXPECT_EQ(target->currentView, 6);
  EXPECT_EQ(target->views[6].zoom, 2.5f);
  EXPECT_EQ(target->views[3].offset, (std::array<float, 3>{1, 2, 3}));
  EXPECT_EQ(target->optics.shininess, 17);
  EXPECT_EQ(target->textureUsesAlpha, 2);
  EXPECT_EQ(target->textureBump, 200);
  EXPECT_EQ(target->textureFlags, 1);
  EXPECT_EQ(target->textureZoom, 0.5f);
  EXPECT_EQ(target->textureParams, (std::array<uint16_t, 5>{1, 2, 3, 4, 5}));
  EXPECT_EQ(target->textureOffset, (std::array<uint16_t, 2>{10, 20}));
  EXPECT_EQ(target->scale, 3.0f);
  EXPECT_EQ(target->position.z, 3.0f);
  EXPECT_EQ(target->rotation.y, 0.2f);
  EXPECT_EQ(target->depthMax, 40.0f);
  EXPECT_EQ(target->depthMin, -40.0f);
  EXPECT_EQ(target->snapPoints[0], 3);
  EXPECT_STREQ(target->description.data(), "a rock");

  // Name, file, arrays and topology stay the target's own.
  EXPECT_EQ(CountedToText(target->name), "Untitled");
  EXPECT_FALSE(IsFileSpecSet(target->fileSpec));
  EXPECT_EQ(target->points[0].x, 0.0f);
  EXPECT_EQ(target->pointColors[0].red, source->pointColors[1].red);  // still the default paint
  EXPECT_EQ(target->pointMask[0], 255);
  EXPECT_TRUE(target->hierarchy.empty());
  EXPECT_NE(target->topology, source->topology);
}

TEST_F(SceneObjectRecord, OpticsWordsRoundTrip) {
  Optics optics;
  optics.isPainted = 1;
  optics.transparency = 77;
  optics.opticsExtra2 = 99;
  optics.specularColor = {1, 2, 3};
  optics.diffuseColor = {4, 5, 6};
  optics.ambientColor = {7, 8, 9};
  const OpticsWordArray words = OpticsWords(optics);
  EXPECT_EQ(words[0], 1);
  EXPECT_EQ(words[6], 77);
  EXPECT_EQ(words[8], 99);
  EXPECT_EQ((std::array<uint16_t, 9>{words[9], words[10], words[11], words[12], words[13], words[14],
                                     words[15], words[16], words[17]}),
            (std::array<uint16_t, 9>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(OpticsWords(OpticsFromWords(words)), words);
}

TEST_F(SceneObjectRecord, ImportCompletionGivesPlanarCoordinatesAndCornerLists) {
  auto object = test::MakeMesh(4, {{0, 1, 2}, {0, 2, 3}});
  ASSERT_TRUE(object);
  object->isOrganic = 1;  // as an importer might have left it
  object->points = {{-10, 5, 0}, {30, 5, 0}, {30, 25, 0}, {0, 15, 9}};
  MutableTopology(*object)->pointFirstCorner.assign(4, 12345);  // stale lists
  std::fill(object->shadeRamp.begin(), object->shadeRamp.end(), 0xDEADu);

  EXPECT_TRUE(CompleteImportedObject(object.get()));
  EXPECT_EQ(object->isOrganic, 0);
  EXPECT_EQ(PointFirstCorner(*object)[0], CornerReference(0, 0));
  EXPECT_EQ(PointFirstCorner(*object)[3], CornerReference(1, 2));
  EXPECT_NE(object->shadeRamp[200], 0xDEADu);
  const float expected[4][2] = {{0, 256}, {256, 256}, {256, 0}, {64, 128}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_FLOAT_EQ(object->pointUV[size_t(i)].u, expected[i][0]) << i;
    EXPECT_FLOAT_EQ(object->pointUV[size_t(i)].v, expected[i][1]) << i;
  }
  EXPECT_FALSE(CompleteImportedObject(nullptr));  // nothing happens
}

TEST_F(SceneObjectRecord, FlatObjectGetsZeroInsteadOfDividingByZero) {
  auto object = test::MakeMesh(3, {{0, 1, 2}});
  ASSERT_TRUE(object);
  object->points = {{0, 7, 0}, {10, 7, 5}, {20, 7, 10}};  // a floor: no extent in y
  EXPECT_TRUE(CompleteImportedObject(object.get()));
  for (int i = 0; i < 3; ++i) {
    EXPECT_FLOAT_EQ(object->pointUV[size_t(i)].u, 128.0f * float(i));
    EXPECT_EQ(object->pointUV[size_t(i)].v, 0.0f);
  }
}

TEST_F(SceneObjectRecord, ShadeRampRunsFromAmbientToHighlight) {
  preferences.modelingBackground = {0x1100, 0x2200, 0x3300};
  auto object = NewSceneObject(0, 0);
  ASSERT_TRUE(object);
  object->optics.ambientColor = {0x2000, 0x2000, 0x2000};
  object->optics.diffuseColor = {0xC000, 0x8000, 0x4000};
  BuildShadeRamp(*object);
  const std::vector<uint32_t>& ramp = object->shadeRamp;
  EXPECT_EQ(ramp[0], Rgb(0x11, 0x22, 0x33));
  EXPECT_EQ(ramp[64], Rgb(0x18, 0x10, 0x08));  // below the ambient level: the ambient tint of the colour
  // Brightness never falls along the ramp, and the top carries the highlight above the diffuse.
  auto sum = [](uint32_t c) { return int((c >> 16) & 255) + int((c >> 8) & 255) + int(c & 255); };
  for (int i = 2; i < 256; ++i) EXPECT_GE(sum(ramp[size_t(i)]), sum(ramp[size_t(i - 1)])) << i;
  EXPECT_GT(sum(ramp[255]), 0xC0 + 0x80 + 0x40);

  SceneObject withoutRamp;  // the work object has no ramp array: nothing to fill
  BuildShadeRamp(withoutRamp);
  EXPECT_TRUE(withoutRamp.shadeRamp.empty());
}

TEST_F(SceneObjectRecord, HierarchyNodeNameJoinsObjectAndPart) {
  SceneObject object;
  object.name = TextToCountedString("Robot");
  HierarchyNode node;
  node.partName = TextToCountedString("Arm");
  EXPECT_EQ(HierarchyNodeDisplayName(object, node), "Robot : Arm");
  EXPECT_EQ(node.matrix[0] + node.matrix[5] + node.matrix[10] + node.matrix[15], 4.0f);
}

}  // namespace
}  // namespace tsv
