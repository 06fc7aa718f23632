// The optics and texture panels: settings, colours, switches, laying on and taking off a texture,
// and panning it.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "formats/picture_files.h"
#include "formats/picture_writers.h"
#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/scripted_services.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"
#include "scene/task_steps.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/panel_fixture.h"
#include "ui/layout_ids.h"
#include "ui/material_panels.h"
#include "ui/panels.h"
#include "ui/rooms.h"

namespace tsv {
namespace {

class MaterialPanels : public test::PanelFixture {
 protected:
  void SetUp() override {
    PanelFixture::SetUp();
    if (HasFatalFailure()) return;
    object = scene.currentObject;
    object->hasUnsavedChanges = 0;
  }
  // A 4 x 2 picture file: red, green, blue, white over black, grey, yellow, cyan.
  std::string WritePicture(const std::string& name) {
    const std::string path = (dir.path / name).string();
    const std::vector<uint32_t> pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF,
                                          0x000000, 0x808080, 0xFFFF00, 0x00FFFF};
    EXPECT_EQ(WriteBmpFile(path, pixels, 4, 2), kNoError);
    return path;
  }
  test::TempDir dir;
  SceneObject* object = nullptr;
};

TEST_F(MaterialPanels, SlidersClampAndTheShadeRampFollowsTheMaterial) {
  using namespace layout::OpticsTools;
  const auto rampBefore = object->shadeRamp;
  SetOpticsItemValue(kShininess, 900);
  EXPECT_EQ(object->optics.shininess, 256);
  EXPECT_EQ(OpticsItemValue(kShininess), 256);
  SetOpticsItemValue(kAmbient, -5);
  EXPECT_EQ(object->optics.ambientLevel, 0);
  SetOpticsItemValue(kDiffuse, 40);
  SetOpticsItemValue(kTransparency, 77);
  EXPECT_EQ(object->optics.diffuseStrength, 40);
  EXPECT_EQ(object->optics.transparency, 77);
  EXPECT_NE(object->shadeRamp, rampBefore);
  EXPECT_NE(object->hasUnsavedChanges, 0);
}

TEST_F(MaterialPanels, ColourSwatchesAskRecordTheirStepAndAreDrawnInTheChosenColour) {
  using namespace layout::OpticsTools;
  services.colorAnswers = {Rgb16{0x1200, 0x3400, 0x5600}, std::nullopt};
  OpticsItemClick(kDiffuseColor);
  EXPECT_EQ(object->optics.diffuseColor.red, 0x1200);
  EXPECT_EQ(OpticsItemColour(kDiffuseColor), 0x123456u);
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].code, TaskStepCode("KD"));
  EXPECT_EQ(steps[0].a, 0x1200);
  EXPECT_EQ(steps[0].c, 0x5600);
  // Cancelled: nothing changes and nothing is recorded.
  const Rgb16 ambient = object->optics.ambientColor;
  OpticsItemClick(kAmbientColor);
  EXPECT_EQ(object->optics.ambientColor.red, ambient.red);
  EXPECT_EQ(steps.size(), 1u);
}

TEST_F(MaterialPanels, SwitchesToggleAndPaintedIsRecorded) {
  using namespace layout::OpticsTools;
  OpticsItemClick(kCastsShadow);
  EXPECT_EQ(object->optics.castsShadow, 0);
  EXPECT_FALSE(OpticsItemChecked(kCastsShadow));
  OpticsItemClick(kPainted);
  EXPECT_TRUE(OpticsItemChecked(kPainted));
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].code, TaskStepCode("CP"));
  EXPECT_EQ(steps[0].a, 1);
}

TEST_F(MaterialPanels, OpeningATextureLaysThePictureOnAndShowsIt) {
  using namespace layout::TextureTools;
  ui.texturedObjects = false;
  EXPECT_FALSE(TextureItemEnabled(kRemoveTexture));
  const std::string path = WritePicture("bricks.bmp");
  services.openAnswers = {FileChoice{path, 3}};
  TextureItemClick(kOpenTexture);
  ASSERT_EQ(object->textureImageSize[0], 4);
  ASSERT_EQ(object->textureImageSize[1], 2);
  ASSERT_EQ(object->textureImage.size(), 8u);
  EXPECT_EQ(object->textureImage[0] & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(object->textureImage[7] & 0xFFFFFF, 0x00FFFFu);
  EXPECT_EQ(PathOfSpec(object->textureFile), path);
  EXPECT_TRUE(ui.texturedObjects);
  EXPECT_NE(object->hasUnsavedChanges, 0);
  EXPECT_TRUE(TextureItemEnabled(kRemoveTexture));
  // The dialog offered the picture types.
  ASSERT_EQ(services.fileRequests.size(), 1u);
  EXPECT_EQ(services.fileRequests[0].types.size(), std::size(kOpenPictureTypes));
  const Canvas& shown = TextureThumbnail();
  EXPECT_EQ(shown.width, 4);
  EXPECT_EQ(shown.height, 2);
  EXPECT_EQ(shown.pixels[1] & 0xFFFFFF, 0x00FF00u);

  TextureItemClick(kRemoveTexture);
  EXPECT_TRUE(object->textureImage.empty());
  EXPECT_FALSE(IsFileSpecSet(object->textureFile));
  EXPECT_EQ(TextureThumbnail().width, 0);
}

TEST_F(MaterialPanels, APictureThatCannotBeLoadedLeavesThePreviousTexture) {
  using namespace layout::TextureTools;
  services.openAnswers = {FileChoice{WritePicture("good.bmp"), 1}};
  TextureItemClick(kOpenTexture);
  ASSERT_EQ(object->textureImage.size(), 8u);
  const std::string bad = (dir.path / "bad.bmp").string();
  const std::string junk = "BMnot really a picture";
  test::WriteFileBytes(bad, std::vector<uint8_t>(junk.begin(), junk.end()));
  services.openAnswers = {FileChoice{bad, 1}};
  TextureItemClick(kOpenTexture);
  EXPECT_EQ(object->textureImage.size(), 8u);
  EXPECT_EQ(FileNameOfPath(PathOfSpec(object->textureFile)), "good.bmp");
  EXPECT_FALSE(services.Texts(ShownKind::Stop).empty());
}

TEST_F(MaterialPanels, TextureSettingsAndTheOffsetDragFollowThePointer) {
  using namespace layout::TextureTools;
  SetTextureItemValue(kStrength, 300);
  EXPECT_EQ(object->textureParams[0], 256);
  SetTextureItemValue(kAngle, 64);
  EXPECT_EQ(object->textureParams[4], 64);
  SetTextureItemValue(kBump, 12);
  EXPECT_EQ(object->textureBump, 12);
  SetTextureItemValue(kZoom, 128);
  EXPECT_NEAR(object->textureZoom, 1.0f, 1e-3f);
  TextureItemClick(kRepeat);
  EXPECT_EQ(object->textureFlags & 2, 0);
  TextureItemClick(kAlpha);
  EXPECT_EQ(object->textureUsesAlpha & 1, 0);

  object->hasUnsavedChanges = 0;
  TextureOffsetDrag(kPhasePress, 100, 100);
  TextureOffsetDrag(kPhaseDrag, 110, 95);
  EXPECT_EQ(int16_t(object->textureOffset[0]), -10);
  EXPECT_EQ(int16_t(object->textureOffset[1]), 5);
  TextureOffsetDrag(kPhaseRelease, 130, 90);
  EXPECT_EQ(int16_t(object->textureOffset[0]), -30);
  EXPECT_EQ(int16_t(object->textureOffset[1]), 10);
  EXPECT_NE(object->hasUnsavedChanges, 0);
  // A drag that never began moves nothing.
  TextureOffsetDrag(kPhaseDrag, 0, 0);
  EXPECT_EQ(int16_t(object->textureOffset[0]), -30);
}

TEST_F(MaterialPanels, WithoutAnObjectEveryItemIsGreyed) {
  DisposeSceneObject(scene.objectTable[scene.currentObjectIndex]);
  scene.currentObject = nullptr;
  for (int item = 1; item <= 14; ++item) {
    EXPECT_FALSE(OpticsItemEnabled(item)) << item;
    EXPECT_FALSE(TextureItemEnabled(item)) << item;
  }
  EXPECT_EQ(OpticsItemClick(layout::OpticsTools::kPainted), 0);
  EXPECT_EQ(TextureItemClick(layout::TextureTools::kOpenTexture), 0);
}

}  // namespace
}  // namespace tsv
