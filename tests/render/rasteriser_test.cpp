// The shared triangle set-up and the pixel variants, on hand-built meshes whose work records are
// set straight to screen positions: the rows drawn, error-term edges, back faces, the strict depth
// test, clipping, the four-to-one outline and the colour each variant computes.
#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "render/rasterisers.h"
#include "tests/render/render_fixture.h"

namespace tsv {
namespace {

using test::ScreenPoint;
using Pixels = std::set<std::pair<int, int>>;  // (row, column)

class Rasteriser : public test::RenderFixture {
 protected:
  void DrawShaded(SceneObject* object, const ClipRect& clip = kViewClip, bool fullDetail = true) {
    DrawShadedTriangles(renderState.shadeBuffer, renderState.depthBuffer, clip, object, fullDetail);
  }
  static Pixels ShadedPixels() {
    Pixels drawn;
    for (int row = 0; row < kViewSide; ++row) {
      for (int column = 0; column < kViewSide; ++column) {
        if (Shade(row, column) != 0) drawn.insert({row, column});
      }
    }
    return drawn;
  }
  // Every pixel the colour variants wrote (they leave the cleared value 0 elsewhere).
  static std::set<uint32_t> ColoursDrawn() {
    std::set<uint32_t> colours;
    for (uint32_t pixel : renderState.colourBuffer) {
      if (pixel != 0) colours.insert(pixel);
    }
    return colours;
  }
};

TEST_F(Rasteriser, TriangleOnOneRowDrawsNothing) {
  SceneObject* object = AddScreenMesh({{10, 50, 1, 100},
                                       {300, 50, 1, 100},
                                       {150, 50, 1, 100},
                                       {0, 120, 1, 90},
                                       {399, 120, 1, 90},
                                       {200, 120, 1, 90}},
                                      {{0, 1, 2}, {3, 4, 5}});
  ASSERT_NE(object, nullptr);
  ClearBuffers();
  DrawShaded(object);
  EXPECT_EQ(DrawnShadePixels(), 0);
}

// Rows run from the top corner's row + 1 to the bottom corner's; each edge steps by the floor
// quotient plus an error-term carry, so the slanted edge below lands on 12, 11, 11, 10 (a plain
// floor walk would give 12, 11, 10, 10 and lose the pixel of row 13).
TEST_F(Rasteriser, EdgesWalkWithErrorTermsAndTheTopRowStaysEmpty) {
  struct Case {
    const char* name;
    std::vector<ScreenPoint> corners;
    Pixels expected;
  };
  const Case cases[] = {
      {"long edge on the left",
       {{10, 10, 1, 100}, {13, 10, 1, 100}, {10, 14, 1, 100}},
       {{11, 10}, {11, 11}, {12, 10}, {13, 10}}},
      {"long edge on the right",
       {{20, 10, 1, 100}, {20, 14, 1, 100}, {17, 10, 1, 100}},
       {{11, 18}, {11, 19}, {12, 19}}},
      {"right angle",
       {{10, 10, 1, 100}, {14, 10, 1, 100}, {10, 14, 1, 100}},
       {{11, 10}, {11, 11}, {11, 12}, {12, 10}, {12, 11}, {13, 10}}},
  };
  for (const Case& c : cases) {
    ResetScene();
    SceneObject* object = AddScreenMesh(c.corners, {{0, 1, 2}});
    ASSERT_NE(object, nullptr) << c.name;
    ClearBuffers();
    DrawShaded(object);
    EXPECT_EQ(ShadedPixels(), c.expected) << c.name;
  }
}

TEST_F(Rasteriser, BackFacesAreNotDrawn) {
  // Drawn as (p0, p2, p1): this order faces the viewer, the reverse does not.
  SceneObject* object =
      AddScreenMesh({{10, 10, 1, 100}, {40, 10, 1, 100}, {10, 40, 1, 100}}, {{0, 2, 1}});
  ASSERT_NE(object, nullptr);
  ClearBuffers();
  DrawShaded(object);
  EXPECT_EQ(DrawnShadePixels(), 0);

  MutableTopology(*object)->triangles[0] = {0, 1, 2};
  DrawShaded(object);
  EXPECT_GT(DrawnShadePixels(), 400);
}

TEST_F(Rasteriser, FirstOfTwoEqualDepthsKeepsThePixel) {
  std::vector<ScreenPoint> points = {{50, 50, 5, 50},  {150, 50, 5, 50},  {50, 150, 5, 50},
                                     {50, 50, 5, 200}, {150, 50, 5, 200}, {50, 150, 5, 200}};
  SceneObject* object = AddScreenMesh(points, {{0, 1, 2}, {3, 4, 5}});
  ASSERT_NE(object, nullptr);
  ClearBuffers();
  DrawShaded(object);
  const Pixels drawn = ShadedPixels();
  ASSERT_GT(drawn.size(), 4000u);
  for (const auto& [row, column] : drawn) ASSERT_EQ(Shade(row, column), 50) << row << "," << column;

  // A hair nearer, the second triangle wins everywhere.
  for (int i = 3; i < 6; ++i) points[size_t(i)].depth = 5.001f;
  SetScreenPoints(*object, points);
  ClearBuffers();
  DrawShaded(object);
  for (const auto& [row, column] : drawn)
    ASSERT_EQ(Shade(row, column), 200) << row << "," << column;
}

// A span cut by the clip starts with the shade and depth the unclipped span has at that column,
// and rows cut at the top start where the unclipped edges are on that row.
TEST_F(Rasteriser, ClippedSpansStartWithTheAttributesOfTheClipColumn) {
  SceneObject* object =
      AddScreenMesh({{20, 20, -300, 10}, {380, 60, 250, 250}, {60, 380, 40, 130}}, {{0, 1, 2}});
  ASSERT_NE(object, nullptr);
  ClearBuffers();
  DrawShaded(object);
  const std::vector<uint8_t> shades = renderState.shadeBuffer;
  const std::vector<float> depths = renderState.depthBuffer;
  ASSERT_GT(DrawnShadePixels(), 30000);

  const ClipRect clips[] = {{157, 0, 400, 400}, {0, 93, 400, 400}, {157, 93, 301, 250}};
  for (const ClipRect& clip : clips) {
    ClearBuffers();
    DrawShaded(object, clip);
    for (int row = 0; row < kViewSide; ++row) {
      for (int column = 0; column < kViewSide; ++column) {
        const size_t i = size_t(row) * kViewSide + size_t(column);
        const bool inside =
            column >= clip.left && column < clip.right && row >= clip.top && row < clip.bottom;
        if (!inside) {
          ASSERT_EQ(renderState.shadeBuffer[i], 0) << row << "," << column;
          ASSERT_EQ(renderState.depthBuffer[i], kEmptyDepth) << row << "," << column;
          continue;
        }
        ASSERT_EQ(renderState.shadeBuffer[i], shades[i]) << row << "," << column;
        ASSERT_NEAR(renderState.depthBuffer[i], depths[i], 0.01f) << row << "," << column;
      }
    }
  }
}

TEST_F(Rasteriser, CornersFarOutsideTheViewStillFillItExactly) {
  SceneObject* object = AddScreenMesh(
      {{-1000, -1000, 1, 90}, {32767, -1000, 1, 90}, {-1000, 32767, 1, 90}}, {{0, 1, 2}});
  ASSERT_NE(object, nullptr);
  ClearBuffers();
  DrawShaded(object);
  EXPECT_EQ(DrawnShadePixels(), kViewPixelCount);
}

// Children of (a, b, c) in the stored order (a, ab, ca), (ab, b, bc), (ab, bc, ca), (ca, bc, c),
// with the midpoints pulled off the parent's edges so the full mesh and the outline differ.
TEST_F(Rasteriser, QuarterDetailDrawsTheOutlineOfEachGroupOfFour) {
  const ScreenPoint a{100, 100, 1, 40}, b{300, 100, 1, 220}, c{100, 300, 1, 130};
  const std::vector<ScreenPoint> points = {a,
                                           b,
                                           c,
                                           {200, 90, 1, 70},
                                           {210, 210, 1, 180},
                                           {95, 200, 1, 20},
                                           {320, 320, 1, 99},
                                           {380, 320, 1, 99},
                                           {320, 380, 1, 99}};
  const std::vector<Triangle> children = {{0, 3, 5}, {3, 1, 4}, {3, 4, 5}, {5, 4, 2}};
  std::vector<Triangle> withTail = children;
  withTail.push_back({6, 7, 8});  // a fifth triangle that belongs to no group

  // The parent triangle and the tail, drawn in full.
  SceneObject* reference =
      AddScreenMesh({a, b, c, points[6], points[7], points[8]}, {{0, 1, 2}, {3, 4, 5}});
  ASSERT_NE(reference, nullptr);
  ClearBuffers();
  DrawShaded(reference);
  const std::vector<uint8_t> outline = renderState.shadeBuffer;

  SceneObject* object = AddScreenMesh(points, withTail);
  ASSERT_NE(object, nullptr);
  object->isFastSynthetic = 1;
  ClearBuffers();
  DrawShaded(object, kViewClip, false);
  EXPECT_EQ(renderState.shadeBuffer, outline);

  ClearBuffers();
  DrawShaded(object, kViewClip, true);
  const std::vector<uint8_t> full = renderState.shadeBuffer;
  EXPECT_NE(full, outline);

  // Without the flag the triangles are not known to come in groups: always full detail.
  object->isFastSynthetic = 0;
  ClearBuffers();
  DrawShaded(object, kViewClip, false);
  EXPECT_EQ(renderState.shadeBuffer, full);
}

// Default optics: ambient colour 0x3000, specular 0x9000, shininess 128 (n = 99), ambient level
// 128, diffuse strength 256. At shade 200: diffuse weight 72 x 256 / 127 = 145, specular 3.
TEST_F(Rasteriser, PaintedCornersAreLitFromTheLightTables) {
  SceneObject* object =
      AddScreenMesh({{50, 50, 1, 200}, {150, 50, 1, 200}, {50, 150, 1, 200}}, {{0, 1, 2}});
  ASSERT_NE(object, nullptr);
  std::fill(object->pointColors.begin(), object->pointColors.end(), Rgb8{200, 100, 50});
  object->optics.isPainted = 1;
  BuildLightTables(*object);
  EXPECT_EQ(renderState.diffuseRamp[200], 145);
  EXPECT_EQ(renderState.specularRamp[200], 3);

  // red: ((0x3000 x 111 >> 16) + 145) x 200 >> 8 = 128, plus 0x9000 x 3 >> 16 = 1.
  ClearBuffers();
  DrawPaintedTriangles(renderState.colourBuffer, renderState.depthBuffer, kViewClip, object, true);
  EXPECT_EQ(ColoursDrawn(), std::set<uint32_t>{0x814121});

  // A painted object without a texture picture goes the same way through the textured entry.
  ClearBuffers();
  DrawTexturedTriangles(renderState.colourBuffer, renderState.depthBuffer, kViewClip, object, true,
                        true);
  EXPECT_EQ(ColoursDrawn(), std::set<uint32_t>{0x814121});
}

// u = 256.7 truncates to 256 and keeps its low 8 bits: column 0, not 1 (rounding) or 255
// (clamping).
TEST_F(Rasteriser, TextureCoordinatesTruncateAndRepeatEvery256Texels) {
  SceneObject* object =
      AddScreenMesh({{50, 50, 1, 200}, {150, 50, 1, 200}, {50, 150, 1, 200}}, {{0, 1, 2}});
  ASSERT_NE(object, nullptr);
  object->optics.diffuseColor = {0xC800, 0x6400, 0x3200};
  object->textureZoom = 2.0f;  // coordinates are u x zoom / 2 + offset
  std::vector<uint32_t>& texels = renderState.textureWorkImage;
  std::fill(texels.begin(), texels.end(), 0x00FFFFFFu);  // opaque white
  for (int row = 0; row < kTextureSide; ++row) texels[size_t(row) * kTextureSide] = 0x80402010u;
  BuildLightTables(*object);

  struct Case {
    float u;
    uint32_t expected;
  };
  // Column 0: half the vertex colour (200, 100, 50) plus (0x40, 0x20, 0x10) = (164, 82, 41),
  // lit by ((145 << 8) + 0x30 x 111) >> 16 plus 0x90 x 3 >> 8 = 1.
  const Case cases[] = {
      {256.7f, 0x6B361B}, {-0.5f, 0x6B361B}, {255.9f, 0xA6A6A6}, {1.0f, 0xA6A6A6}};
  for (const Case& c : cases) {
    std::fill(object->pointUV.begin(), object->pointUV.end(), Uv{c.u, 3.2f});
    ClearBuffers();
    DrawTexturedTriangles(renderState.colourBuffer, renderState.depthBuffer, kViewClip, object,
                          true, true);
    EXPECT_EQ(ColoursDrawn(), std::set<uint32_t>{c.expected}) << "u = " << c.u;
  }
}

TEST_F(Rasteriser, MaskShowsGreyWhereFreeAndRedWhereProtected) {
  SceneObject* object =
      AddScreenMesh({{50, 50, 1, 200}, {150, 50, 1, 200}, {50, 150, 1, 200}}, {{0, 1, 2}});
  ASSERT_NE(object, nullptr);
  struct Case {
    int shade;
    uint8_t mask;
    uint32_t expected;
  };
  // Grey 64 + (72 x 192 >> 7) = 172 at shade 200, 64 on the unlit side; masked grey m x g >> 8.
  const Case cases[] = {
      {200, 255, 0xACABAB}, {200, 0, 0xAC0000}, {100, 255, 0x403F3F}, {200, 128, 0xAC5656}};
  for (const Case& c : cases) {
    for (int i = 0; i < 3; ++i) (*object->pointWork)[size_t(i)].shade = int16_t(c.shade);
    std::fill(object->pointMask.begin(), object->pointMask.end(), c.mask);
    ClearBuffers();
    DrawMaskTriangles(renderState.colourBuffer, renderState.depthBuffer, kViewClip, object, true);
    EXPECT_EQ(ColoursDrawn(), std::set<uint32_t>{c.expected}) << c.shade << " " << int(c.mask);
  }
}

TEST_F(Rasteriser, DepthVariantWritesOnlyTheDepth) {
  SceneObject* object =
      AddScreenMesh({{50, 50, 7, 200}, {150, 50, 7, 200}, {50, 150, 7, 200}}, {{0, 1, 2}});
  ASSERT_NE(object, nullptr);
  ClearBuffers();
  DrawDepthTriangles(renderState.depthBuffer, kViewClip, object, true);
  EXPECT_EQ(DrawnShadePixels(), 0);
  EXPECT_EQ(renderState.depthBuffer[size_t(60) * kViewSide + 60], 7.0f);
  EXPECT_EQ(renderState.depthBuffer[size_t(10) * kViewSide + 10], kEmptyDepth);
}

TEST_F(Rasteriser, DamagedInputDrawsNothingInsteadOfReadingBeyondTheArrays) {
  SceneObject* object =
      AddScreenMesh({{50, 50, 1, 200}, {150, 50, 1, 200}, {50, 150, 1, 200}}, {{0, 1, 2}});
  ASSERT_NE(object, nullptr);
  MutableTopology(*object)->triangles[0] = {0, 1, 3};  // names a point that does not exist
  ClearBuffers();
  DrawShaded(object);
  DrawShadedTriangles(renderState.shadeBuffer, renderState.depthBuffer, kViewClip, nullptr, true);
  std::vector<uint8_t> small(100);
  DrawShadedTriangles(small, renderState.depthBuffer, kViewClip, object, true);
  EXPECT_EQ(DrawnShadePixels(), 0);
}

}  // namespace
}  // namespace tsv
