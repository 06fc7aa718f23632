// Whole redraws: the start-up sphere lit from the light's side, the picture's orientation, the
// choice between the shaded, colour, mask and depth paths, the thumbnail, the redraw time, the
// hardware hand-over and the batch view.
#include "render/soft_draw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "render/rasterisers.h"
#include "render/texture_work_image.h"
#include "render/work_data.h"
#include "scene/topology.h"
#include "tests/render/render_fixture.h"

namespace tsv {
namespace {

using test::kTestBackground;

class SoftDrawView : public test::RenderFixture {
 protected:
  static uint32_t Pixel(const std::vector<uint32_t>& picture, int row, int column, int side = 400) {
    return picture[size_t(row) * size_t(side) + size_t(column)];
  }
  static int Brightness(uint32_t pixel) {
    return int((pixel >> 16) & 255) + int((pixel >> 8) & 255) + int(pixel & 255);
  }
  // Mean brightness of the object's pixels in a square of the picture.
  static double MeanBrightness(const std::vector<uint32_t>& picture, int top, int left, int size) {
    double sum = 0;
    int count = 0;
    for (int row = top; row < top + size; ++row) {
      for (int column = left; column < left + size; ++column) {
        const uint32_t pixel = Pixel(picture, row, column);
        if (pixel == kTestBackground) continue;
        sum += Brightness(pixel);
        ++count;
      }
    }
    return count > 0 ? sum / count : 0;
  }
  static int CountPixels(const std::vector<uint32_t>& picture, uint32_t value) {
    return int(std::count(picture.begin(), picture.end(), value));
  }
};

TEST_F(SoftDrawView, StartupSphereIsLitOnTheSideOfTheLight) {
  SceneObject* sphere = AddOrganicSphere();
  ASSERT_NE(sphere, nullptr);
  ASSERT_TRUE(SoftDraw(sphere, SoftDrawOptions{}));
  EXPECT_EQ(sphere->dirtyFlags & (kDirtyNormals | kDirtyShadeRamp), 0);
  const std::vector<uint32_t>& picture = renderState.viewPicture;

  // A disc of radius 128 about the centre of the view, background around it.
  EXPECT_NE(Pixel(picture, 200, 200), kTestBackground);
  for (int d : {-124, 124}) {
    EXPECT_NE(Pixel(picture, 200, 200 + d), kTestBackground) << d;
    EXPECT_NE(Pixel(picture, 200 + d, 200), kTestBackground) << d;
  }
  for (int d : {-133, 133}) {
    EXPECT_EQ(Pixel(picture, 200, 200 + d), kTestBackground) << d;
    EXPECT_EQ(Pixel(picture, 200 + d, 200), kTestBackground) << d;
  }
  EXPECT_EQ(Pixel(picture, 0, 0), kTestBackground);
  const int covered = kViewPixelCount - CountPixels(picture, kTestBackground);
  EXPECT_NEAR(covered, 3.14159 * 128 * 128, 1500);

  // The light of a new project comes from the upper left and in front: that quarter is bright,
  // the opposite one dark, and the brightest pixel lies toward the light.
  const double upperLeft = MeanBrightness(picture, 90, 90, 60);
  const double lowerRight = MeanBrightness(picture, 250, 250, 60);
  EXPECT_GT(upperLeft, 2 * lowerRight);
  int brightest = 0, brightestRow = 0, brightestColumn = 0;
  for (int row = 0; row < kViewSide; ++row) {
    for (int column = 0; column < kViewSide; ++column) {
      const int b = Brightness(Pixel(picture, row, column));
      if (Pixel(picture, row, column) != kTestBackground && b > brightest) {
        brightest = b;
        brightestRow = row;
        brightestColumn = column;
      }
    }
  }
  // Toward (-63, 63, 89) / 126 from the centre: about 64 pixels left and up.
  EXPECT_NEAR(brightestColumn, 200 - 64, 20);
  EXPECT_NEAR(brightestRow, 200 - 64, 20);
}

// Object y points up; buffer rows grow with it and the picture is top row first, so an object
// part above the origin shows in the upper half of the picture, and centreY counts from the top.
TEST_F(SoftDrawView, PictureShowsUpAsUpAndCentreFromTheTop) {
  SceneObject* object = AddScreenMesh({{150, 300, 1, 0}, {250, 300, 1, 0}, {150, 380, 1, 0}},
                                      {{0, 1, 2}});  // object y 101..181
  ASSERT_NE(object, nullptr);
  ASSERT_TRUE(SoftDraw(object, SoftDrawOptions{}));
  const std::vector<uint32_t>& picture = renderState.viewPicture;
  EXPECT_NE(Pixel(picture, 399 - 320, 160), kTestBackground);  // row 79 from the top
  EXPECT_EQ(Pixel(picture, 320, 160), kTestBackground);

  object->views[0].centerY = 150;  // centre 50 pixels higher: the triangle moves up by 50
  ASSERT_TRUE(SoftDraw(object, SoftDrawOptions{}));
  EXPECT_NE(Pixel(picture, 399 - 320 - 50, 160), kTestBackground);
  EXPECT_EQ(Pixel(picture, 399 - 320 + 20, 160), kTestBackground);
}

TEST_F(SoftDrawView, PaintedTexturedAndMaskObjectsTakeTheColourPath) {
  SceneObject* sphere = AddOrganicSphere();
  ASSERT_NE(sphere, nullptr);
  ASSERT_TRUE(SoftDraw(sphere, SoftDrawOptions{}));
  const std::vector<uint32_t> shaded = renderState.viewPicture;

  // Painted in pure green: the lit colour of every pixel has no red above the specular share.
  sphere->optics.isPainted = 1;
  std::fill(sphere->pointColors.begin(), sphere->pointColors.end(), Rgb8{0, 255, 0});
  ASSERT_TRUE(SoftDraw(sphere, SoftDrawOptions{}));
  EXPECT_NE(renderState.viewPicture, shaded);
  EXPECT_GT((Pixel(renderState.viewPicture, 200, 200) >> 8) & 255,
            (Pixel(renderState.viewPicture, 200, 200) >> 16) & 255);

  // A texture picture shows only with "Textured Objects" on.
  sphere->optics.isPainted = 0;
  sphere->textureImage = {0xFFFF00FFu};
  sphere->textureImageSize = {1, 1};
  PrepareTextureWorkImage(*sphere);
  SoftDrawOptions options;
  options.texturedObjects = false;
  ASSERT_TRUE(SoftDraw(sphere, options));
  EXPECT_EQ(renderState.viewPicture, shaded);
  options.texturedObjects = true;
  ASSERT_TRUE(SoftDraw(sphere, options));
  const uint32_t centre = Pixel(renderState.viewPicture, 200, 200);
  EXPECT_GT((centre >> 16) & 255, (centre >> 8) & 255);  // magenta texture: red over green

  // The mask room shows protected points red.
  for (int32_t i = 0; i < sphere->pointCount; ++i) {
    sphere->pointMask[size_t(i)] = sphere->points[size_t(i)].x < 0 ? 0 : 255;
  }
  options.maskRoom = true;
  ASSERT_TRUE(SoftDraw(sphere, options));
  const uint32_t left = Pixel(renderState.viewPicture, 200, 120);
  const uint32_t right = Pixel(renderState.viewPicture, 200, 280);
  EXPECT_EQ(left & 0xFFFF, 0u);
  EXPECT_GT(left >> 16, 0u);
  EXPECT_EQ((right >> 8) & 255, right & 255);
  EXPECT_GT(right & 255, 0u);
}

TEST_F(SoftDrawView, DepthViewShowsNearerLighterAndAnEmptyViewStaysBackground) {
  // Everything outside the view: nothing drawn.
  SceneObject* outside =
      AddScreenMesh({{500, 500, 1, 0}, {600, 500, 1, 0}, {500, 600, 1, 0}}, {{0, 1, 2}});
  ASSERT_NE(outside, nullptr);
  outside->depthMin = 12345.0f;
  outside->depthMax = 12345.0f;
  SoftDrawOptions options;
  options.depthView = true;
  std::fill(renderState.shadeBuffer.begin(), renderState.shadeBuffer.end(), uint8_t(9));
  ASSERT_TRUE(SoftDraw(outside, options));
  EXPECT_EQ(DrawnShadePixels(), 0);
  EXPECT_EQ(CountPixels(renderState.viewPicture, kTestBackground), kViewPixelCount);
  EXPECT_EQ(outside->depthMin, 12345.0f);

  SceneObject* sphere = AddOrganicSphere();
  ASSERT_NE(sphere, nullptr);
  ASSERT_TRUE(SoftDraw(sphere, options));
  // Nearest in the middle (depth 128), farthest at the rim.
  EXPECT_NEAR(sphere->depthMax, 128.0f, 0.5f);
  EXPECT_LT(sphere->depthMin, 20.0f);
  EXPECT_GT(Shade(199, 200), 240);
  EXPECT_LT(Shade(199, 326), 100);
  EXPECT_GT(Brightness(Pixel(renderState.viewPicture, 200, 200)),
            Brightness(Pixel(renderState.viewPicture, 200, 320)));

  // A clip reaching past the buffers is held within them.
  DrawDepthView(*sphere, {-50, -50, 900, 900}, true, false);
  EXPECT_GT(Shade(199, 200), 240);
}

TEST_F(SoftDrawView, ThumbnailIsTheViewAtAQuarterOfItsSize) {
  SceneObject* sphere = AddOrganicSphere();
  ASSERT_NE(sphere, nullptr);
  SoftDrawOptions options;
  options.updateThumbnail = true;
  ASSERT_TRUE(SoftDraw(sphere, options));
  const std::vector<uint32_t>& preview = sphere->preview;
  ASSERT_EQ(preview.size(), 10000u);
  EXPECT_NE(Pixel(preview, 50, 50, 100), kTestBackground);
  EXPECT_NE(Pixel(preview, 50, 50 + 29, 100), kTestBackground);
  EXPECT_EQ(Pixel(preview, 50, 50 + 35, 100), kTestBackground);
  EXPECT_EQ(Pixel(preview, 0, 0, 100), kTestBackground);
  // Lit from the upper left as in the view.
  EXPECT_GT(Brightness(Pixel(preview, 38, 38, 100)), Brightness(Pixel(preview, 62, 62, 100)));

  // Standing alone it leaves the work records as a view redraw has them.
  const std::vector<PointWork> records(sphere->pointWork->begin(),
                                       sphere->pointWork->begin() + sphere->pointCount);
  ASSERT_TRUE(DrawObjectThumbnail(*sphere, options));
  for (int32_t i = 0; i < sphere->pointCount; i += 101) {
    EXPECT_EQ((*sphere->pointWork)[size_t(i)].sx, records[size_t(i)].sx);
    EXPECT_EQ((*sphere->pointWork)[size_t(i)].shade, records[size_t(i)].shade);
  }
}

TEST_F(SoftDrawView, RedrawTimeAndFramesPerSecondAreKept) {
  SceneObject* sphere = AddOrganicSphere();
  ASSERT_NE(sphere, nullptr);
  ASSERT_TRUE(SoftDraw(sphere, SoftDrawOptions{}));
  const RedrawTiming timing = LastRedrawTiming();
  if (timing.microseconds == 0) {
    EXPECT_EQ(timing.framesPerSecond, 9999u);
  } else {
    EXPECT_EQ(timing.framesPerSecond, std::min(9999u, 1000000u / timing.microseconds));
  }
  EXPECT_GE(timing.framesPerSecond, 1u);

  renderState.lastRedraw = {800, 1250};
  EXPECT_EQ(RedrawReadoutText(1), "0.8 ms");
  EXPECT_EQ(RedrawReadoutText(2), "1250 fps");
  EXPECT_EQ(RedrawReadoutText(0), "");
}

void FakeOpenGLView(const ClipRect& clip, SceneObject& object, bool fullDetail) {
  renderState.viewPicture.assign(size_t(kViewPixelCount), 0xABCDEFu);
  EXPECT_EQ(clip.right, 400);
  EXPECT_TRUE(fullDetail);
  EXPECT_GT(object.pointCount, 0);
}

TEST_F(SoftDrawView, HardwareRenderersTakeOverOnlyWhenStarted) {
  SceneObject* sphere = AddOrganicSphere();
  ASSERT_NE(sphere, nullptr);
  SoftDrawOptions options;
  options.renderer = kRendererChoiceOpenGL;
  ASSERT_TRUE(SoftDraw(sphere, options));  // no OpenGL entry: drawn in software
  EXPECT_NE(Pixel(renderState.viewPicture, 200, 200), kTestBackground);
  EXPECT_NE(Pixel(renderState.viewPicture, 200, 200), 0xABCDEFu);
  const int16_t projected = (*sphere->pointWork)[0].sx;

  renderState.openGLDrawView = FakeOpenGLView;
  ASSERT_TRUE(SoftDraw(sphere, options));
  EXPECT_EQ(Pixel(renderState.viewPicture, 200, 200), 0xABCDEFu);
  EXPECT_EQ((*sphere->pointWork)[0].sx, projected);  // projected and shaded for the back end

  // QuickDraw3D draws nothing and only clears the depth buffer.
  options.renderer = kRendererChoiceQuickDraw3D;
  renderState.depthBuffer[1234] = 5.0f;
  ASSERT_TRUE(SoftDraw(sphere, options));
  EXPECT_EQ(renderState.depthBuffer[1234], kEmptyDepth);
  EXPECT_EQ(Pixel(renderState.viewPicture, 200, 200), 0xABCDEFu);
}

// Far points, points too deep to scale and points that are not numbers: every path of the redraw
// turns them into screen positions at the ends of the 16-bit range and depths and shades it can
// hold, and the square among them is drawn as always.
TEST_F(SoftDrawView, FarAndDamagedPointsLandAtTheEndsOfTheScreenRange) {
  std::unique_ptr<SceneObject> made = test::NewFarAndDamagedObject();
  ASSERT_TRUE(made);
  const int slot = FindFreeObjectSlot();
  ASSERT_TRUE(StoreObjectInSlot(slot, std::move(made)));
  SceneObject* object = scene.objectTable[size_t(slot)].get();
  ASSERT_TRUE(HasWorkRecords(*object));

  struct Variant {
    const char* name;
    void (*set)(SoftDrawOptions&, SceneObject&);
  };
  const Variant variants[] = {
      {"shaded", [](SoftDrawOptions&, SceneObject&) {}},
      {"quarter", [](SoftDrawOptions& o, SceneObject&) { o.fullDetail = false; }},
      {"painted", [](SoftDrawOptions&, SceneObject& s) { s.optics.isPainted = 1; }},
      {"textured",
       [](SoftDrawOptions&, SceneObject& s) {
         s.textureImage = {0xFF808080u};
         s.textureImageSize = {1, 1};
         PrepareTextureWorkImage(s);
       }},
      {"mask room", [](SoftDrawOptions& o, SceneObject&) { o.maskRoom = true; }},
      {"thumbnail", [](SoftDrawOptions& o, SceneObject&) { o.updateThumbnail = true; }},
      {"light not a number", [](SoftDrawOptions& o, SceneObject&) { o.lightAngles = {NAN, 0, 0}; }},
      {"depth view", [](SoftDrawOptions& o, SceneObject&) { o.depthView = true; }},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.name);
    SoftDrawOptions options;
    object->optics.isPainted = 0;
    object->textureImage.clear();
    v.set(options, *object);
    ASSERT_TRUE(SoftDraw(object, options));
    // The depth view spreads the range up to 3e38 over the shades: the square shows darkest.
    if (!options.depthView) {
      EXPECT_NE(Pixel(renderState.viewPicture, 200, 200), kTestBackground);
    }
    const PointWork* work = object->pointWork->data();
    EXPECT_EQ(work[4].sx, INT16_MAX);
    EXPECT_EQ(work[4].sy, INT16_MAX);
    EXPECT_EQ(work[5].sx, INT16_MIN);
    EXPECT_EQ(work[5].sy, INT16_MIN);
    EXPECT_EQ(work[6].sx, INT16_MIN);
    EXPECT_EQ(work[6].sy, INT16_MIN);
    EXPECT_EQ(work[7].sx, 200 + 150);
    EXPECT_EQ(work[7].depth, 3e38f);
  }
}

// The redraw after a refresh takes the refresh's projection; where the refresh shaded with
// another light, it shades again, and the picture is the one a redraw of its own would make.
TEST_F(SoftDrawView, ARedrawAfterARefreshTakesItsProjection) {
  SceneObject* sphere = AddOrganicSphere();
  ASSERT_NE(sphere, nullptr);
  SoftDrawOptions options;
  options.lightAngles = {0.3f, -0.6f, 0.2f};
  ASSERT_TRUE(SoftDraw(sphere, options));
  const std::vector<uint32_t> ownProjection = renderState.viewPicture;
  const std::vector<PointWork> records(sphere->pointWork->begin(),
                                       sphere->pointWork->begin() + sphere->pointCount);

  for (const bool sameLight : {true, false}) {
    SCOPED_TRACE(sameLight ? "refreshed with the redraw's light" : "refreshed with another light");
    BuildLightVector(sameLight ? options.lightAngles : kDefaultLightAngles);
    RefreshWorkData(*sphere);
    const uint64_t before = renderState.projectionPasses;
    options.workDataCurrent = true;
    ASSERT_TRUE(SoftDraw(sphere, options));
    EXPECT_EQ(renderState.projectionPasses, before);
    EXPECT_EQ(renderState.viewPicture, ownProjection);
    for (int32_t i = 0; i < sphere->pointCount; i += 97) {
      EXPECT_EQ((*sphere->pointWork)[size_t(i)].sx, records[size_t(i)].sx) << i;
      EXPECT_EQ((*sphere->pointWork)[size_t(i)].shade, records[size_t(i)].shade) << i;
    }
  }

  // With normals still to recompute, or without the word of a refresh, the redraw projects.
  for (const bool refreshed : {true, false}) {
    SCOPED_TRACE(refreshed ? "normals dirty after the refresh" : "no refresh");
    options.workDataCurrent = refreshed;
    if (refreshed) sphere->dirtyFlags = uint16_t(sphere->dirtyFlags | kDirtyNormals);
    const uint64_t before = renderState.projectionPasses;
    ASSERT_TRUE(SoftDraw(sphere, options));
    EXPECT_EQ(renderState.projectionPasses, before + 1);
    EXPECT_EQ(renderState.viewPicture, ownProjection);
  }
}

TEST_F(SoftDrawView, NothingToDrawIsRefused) {
  EXPECT_FALSE(SoftDraw(nullptr, SoftDrawOptions{}));
  SceneObject* first = AddOrganicSphere();
  SceneObject* second = AddOrganicSphere();  // takes the work arrays from the first
  ASSERT_TRUE(first && second);
  EXPECT_FALSE(SoftDraw(first, SoftDrawOptions{}));
  ShutdownSoftDraw();
  EXPECT_FALSE(SoftDraw(second, SoftDrawOptions{}));
}

TEST_F(SoftDrawView, BatchViewDrawsEachModeAndLeavesTheObjectAsItWas) {
  SceneObject* first = AddOrganicSphere();
  SceneObject* sphere = AddOrganicSphere();
  ASSERT_TRUE(first && sphere);
  std::fill(first->pointColors.begin(), first->pointColors.end(), Rgb8{255, 0, 0});
  first->optics.isPainted = 1;

  // The first object is no longer bound to the work arrays; the batch view binds it again.
  std::vector<uint32_t> shaded, painted, quarter, depth, mask, turned;
  ASSERT_TRUE(RenderObjectView(*first, 0, 1.0f, ViewMode::Shaded, false, shaded));
  ASSERT_TRUE(RenderObjectView(*first, 0, 1.0f, ViewMode::Painted, false, painted));
  ASSERT_TRUE(RenderObjectView(*first, 0, 1.0f, ViewMode::Shaded, true, quarter));
  ASSERT_TRUE(RenderObjectView(*first, 0, 1.0f, ViewMode::Depth, false, depth));
  ASSERT_TRUE(RenderObjectView(*first, 0, 1.0f, ViewMode::Mask, false, mask));
  ASSERT_TRUE(RenderObjectView(*first, 6, 0.5f, ViewMode::Shaded, false, turned));
  ASSERT_EQ(shaded.size(), size_t(kViewPixelCount));
  EXPECT_EQ(first->optics.isPainted, 1);
  EXPECT_EQ(first->currentView, 0);
  EXPECT_EQ(first->views[6].zoom, 1.0f);

  const uint32_t paintedCentre = Pixel(painted, 200, 200);
  EXPECT_EQ(paintedCentre & 0xFFFF, Pixel(painted, 200, 200) & 0xFFFF);
  EXPECT_GT((paintedCentre >> 16) & 255, 3 * (paintedCentre & 255));  // red paint
  EXPECT_NE(shaded, painted);
  EXPECT_NE(shaded, depth);
  EXPECT_NE(shaded, mask);
  EXPECT_NE(shaded, quarter);
  // Half the zoom: a disc of radius 64.
  EXPECT_NE(Pixel(turned, 200, 200 + 60), kTestBackground);
  EXPECT_EQ(Pixel(turned, 200, 200 + 70), kTestBackground);

  // The quarter picture is the redraw an interactive tool gets.
  SoftDrawOptions options;
  options.fullDetail = false;
  options.texturedObjects = false;
  first->optics.isPainted = 0;
  ASSERT_TRUE(SoftDraw(first, options));
  EXPECT_EQ(renderState.viewPicture, quarter);

  std::vector<uint32_t> untouched{1, 2, 3};
  EXPECT_FALSE(RenderObjectView(*first, 7, 1.0f, ViewMode::Shaded, false, untouched));
  EXPECT_FALSE(RenderObjectView(*first, 0, 0.0f, ViewMode::Shaded, false, untouched));
  EXPECT_FALSE(RenderObjectView(*first, 0, NAN, ViewMode::Shaded, false, untouched));
  EXPECT_EQ(untouched, (std::vector<uint32_t>{1, 2, 3}));

  EXPECT_EQ(ViewModeFromName("textured"), ViewMode::Textured);
  EXPECT_EQ(ViewModeFromName("depth"), ViewMode::Depth);
  EXPECT_EQ(ViewModeFromName("Shaded"), std::nullopt);
}

}  // namespace
}  // namespace tsv
