// Lighting tables and palettes: the specular and diffuse ramps at the ends of their settings, the
// object's shade palette, and the texture work image made from a texture picture.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/canvas.h"
#include "render/rasterisers.h"
#include "render/texture_work_image.h"
#include "scene/shade_ramp.h"
#include "tests/render/render_fixture.h"

namespace tsv {
namespace {

using LightTables = test::RenderFixture;

TEST_F(LightTables, ShininessRunsFromALinearRampToANeedle) {
  SceneObject object;
  object.optics.shininess = 256;  // n = 1: t / (1 - t + t) = t
  EXPECT_DOUBLE_EQ(SpecularExponent(256), 1.0);
  BuildLightTables(object);
  for (int i = 0; i < 128; ++i) ASSERT_EQ(renderState.specularRamp[size_t(i)], 0) << i;
  for (int i = 128; i < 256; ++i) {
    ASSERT_EQ(renderState.specularRamp[size_t(i)], int(255.0 * (i - 128) * 0.007874016)) << i;
  }
  EXPECT_EQ(renderState.specularRamp[191], 126);
  EXPECT_EQ(renderState.specularRamp[255], 255);

  object.optics.shininess = 0;  // n = 9801
  EXPECT_NEAR(SpecularExponent(0), 9801.0, 1e-6);
  BuildLightTables(object);
  EXPECT_EQ(renderState.specularRamp[255], 255);
  EXPECT_EQ(renderState.specularRamp[254], 3);
  EXPECT_EQ(renderState.specularRamp[240], 0);
  for (int i = 129; i < 256; ++i) {
    ASSERT_GE(renderState.specularRamp[size_t(i)], renderState.specularRamp[size_t(i - 1)]) << i;
  }
}

TEST_F(LightTables, AmbientLevelAboveTheTopActsAs254) {
  for (uint16_t level : {uint16_t(254), uint16_t(255), uint16_t(256)}) {
    SceneObject object;
    object.optics.ambientLevel = level;
    object.optics.diffuseStrength = 200;
    BuildLightTables(object);
    EXPECT_EQ(renderState.diffuseRamp[255], 200) << level;
    EXPECT_EQ(renderState.diffuseRamp[254], 0) << level;
    EXPECT_EQ(AmbientThreshold(level), 254);
  }
  SceneObject object;
  object.optics.ambientLevel = 0;
  object.optics.diffuseStrength = 256;
  BuildLightTables(object);
  EXPECT_EQ(renderState.diffuseRamp[0], 0);
  EXPECT_EQ(renderState.diffuseRamp[1], 1);  // 1 x 256 / 255
  EXPECT_EQ(renderState.diffuseRamp[255], 256);
}

// Ambient 0x30, diffuse (0xC0, 0x80, 0x40), specular 0x90, n = 99, ambient level 128.
TEST_F(LightTables, ShadePaletteMixesAmbientDiffuseAndHighlight) {
  std::unique_ptr<SceneObject> object = NewSceneObject(0, 0);
  ASSERT_TRUE(object);
  object->optics.diffuseColor = {0xC000, 0x8000, 0x4000};
  BuildShadeRamp(*object);
  const std::vector<uint32_t>& ramp = object->shadeRamp;
  EXPECT_EQ(ramp[0], test::kTestBackground);
  EXPECT_EQ(ramp[64], Rgb(36, 24, 12));      // only the ambient tint of the object colour
  EXPECT_EQ(ramp[128], Rgb(36, 24, 12));     // the threshold itself is still unlit
  EXPECT_EQ(ramp[200], Rgb(124, 83, 42));    // weight 145: (20 + 145) x colour >> 8, highlight 1
  EXPECT_EQ(ramp[255], Rgb(255, 255, 208));  // full colour + the whole specular colour, clamped

  // The top levels divide by 255 - 254 instead of by zero, and agree with 254.
  object->optics.ambientLevel = 254;
  BuildShadeRamp(*object);
  const std::vector<uint32_t> at254 = object->shadeRamp;
  for (uint16_t level : {uint16_t(255), uint16_t(256)}) {
    object->optics.ambientLevel = level;
    BuildShadeRamp(*object);
    EXPECT_EQ(object->shadeRamp, at254) << level;
  }
}

TEST_F(LightTables, TextureStrengthScalesOpacityAndRaisesItAbove128) {
  EXPECT_EQ(TexelOpacity(200, 0), 0);
  EXPECT_EQ(TexelOpacity(200, 64), 100);
  EXPECT_EQ(TexelOpacity(200, 128), 200);
  EXPECT_EQ(TexelOpacity(200, 192), 227);
  EXPECT_EQ(TexelOpacity(200, 256), 255);
  EXPECT_EQ(TexelOpacity(0, 256), 255);
}

TEST_F(LightTables, TextureWorkImageHoldsThePictureAsATileRepeatedOrMirrored) {
  std::unique_ptr<SceneObject> object = NewSceneObject(0, 0);
  ASSERT_TRUE(object);
  const std::vector<uint32_t>& work = renderState.textureWorkImage;

  // No picture: the vertex colour shows through everywhere.
  PrepareTextureWorkImage(*object);
  EXPECT_EQ(work[0], 0xFF000000u);
  EXPECT_EQ(work[kTexturePixelCount - 1], 0xFF000000u);

  // A 4 x 1 opaque picture: red, green, blue, white, stretched over a tile of 128 texels.
  object->textureImage = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
  object->textureImageSize = {4, 1};
  object->textureFlags = 2;  // repeat
  PrepareTextureWorkImage(*object);
  const uint32_t red = 0x00FF0000u, green = 0x0000FF00u, blue = 0x000000FFu, white = 0x00FFFFFFu;
  auto at = [&](int row, int column) { return work[size_t(row) * kTextureSide + size_t(column)]; };
  EXPECT_EQ(at(0, 0), red);
  EXPECT_EQ(at(0, 31), red);
  EXPECT_EQ(at(0, 32), green);
  EXPECT_EQ(at(0, 64), blue);
  EXPECT_EQ(at(0, 127), white);
  EXPECT_EQ(at(0, 128), red);    // the second tile repeats the first
  EXPECT_EQ(at(255, 200), blue);  // every row is the one picture row

  object->textureFlags = 0;  // mirror
  PrepareTextureWorkImage(*object);
  EXPECT_EQ(at(0, 127), white);
  EXPECT_EQ(at(0, 128), white);  // the second tile runs backwards, so the tiles meet without a seam
  EXPECT_EQ(at(0, 255), red);
  EXPECT_EQ(at(255, 255), red);

  // Alpha: used as it is, inverted, or ignored; strength 64 halves it.
  object->textureImage = {0x40FF0000u};
  object->textureImageSize = {1, 1};
  object->textureUsesAlpha = 1;
  PrepareTextureWorkImage(*object);
  EXPECT_EQ(work[77], 0xBF400000u);  // opacity 0x40: W = 0xBF, red 255 x 64 / 255
  object->textureUsesAlpha = 3;
  PrepareTextureWorkImage(*object);
  EXPECT_EQ(work[77], 0x40BF0000u);
  object->textureUsesAlpha = 0;
  object->textureParams[0] = 64;
  PrepareTextureWorkImage(*object);
  EXPECT_EQ(work[77], 0x807F0000u);  // opacity 127

  // Larger than a tile: sampled down. 512 columns, column c has blue = c / 4.
  object->textureParams[0] = 128;
  object->textureImage.assign(512, 0);
  for (uint32_t c = 0; c < 512; ++c) object->textureImage[c] = 0xFF000000u | (c / 4);
  object->textureImageSize = {512, 1};
  object->textureFlags = 2;
  PrepareTextureWorkImage(*object);
  for (int c = 0; c < kTextureSide; ++c) ASSERT_EQ(work[size_t(c)], uint32_t(c % 128)) << c;

  // Sizes that do not match the pixels count as no picture.
  object->textureImageSize = {600, 1};
  PrepareTextureWorkImage(*object);
  EXPECT_EQ(work[5], 0xFF000000u);
}

TEST_F(LightTables, ActivatingAnObjectPreparesItsTexture) {
  std::unique_ptr<SceneObject> object = NewSceneObject(3, 1);
  ASSERT_TRUE(object);
  MutableTopology(*object)->triangles = {{0, 1, 2}};
  EXPECT_TRUE(BuildCornerLists(*object));
  object->textureImage = {0xFF123456u};
  object->textureImageSize = {1, 1};
  ASSERT_TRUE(ActivateSceneObject(object.get()));
  EXPECT_EQ(renderState.textureWorkImage[1000], 0x00123456u);
  scene.activeObject = nullptr;
}

}  // namespace
}  // namespace tsv
