// Tests of the composer's object rasteriser: where an object lands in the picture and how it is
// lit, clipping, depth order, the shading terms, shadows and the texel sampler.
#include "render/composer_raster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "platform/preferences.h"
#include "render/rasterisers.h"
#include "render/render_state.h"
#include "render/soft_draw.h"
#include "render/work_data.h"
#include "scene/native_files.h"
#include "scene/object_table.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "scene/vec3.h"
#include "tests/render/render_fixture.h"

namespace tsv::test {
namespace {

// A picture of one band, its colour and depth rows, drawn a band at a time.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> colour;
  std::vector<float> depth;

  Picture(int w, int h) : width(w), height(h), colour(size_t(w) * size_t(h), 0u), depth(size_t(w) * size_t(h), kEmptyComposerDepth) {}

  ComposerBand Band(int firstRow, int rows) {
    ComposerBand band;
    band.colour = colour.data() + size_t(firstRow) * size_t(width);
    band.depth = depth.data() + size_t(firstRow) * size_t(width);
    band.firstRow = firstRow;
    band.width = width;
    band.rows = rows;
    band.pictureWidth = width;
    band.pictureHeight = height;
    band.orthographicScale = 1.0f;
    return band;
  }
  // Draws the object band by band (bands of `bandRows` rows, the last one shorter).
  void Draw(SceneObject* object, int bandRows, const ComposerTexture* texture = nullptr,
            const ShadowBuffer* shadow = nullptr) {
    for (int first = 0; first < height; first += bandRows)
      RenderObjectIntoBand(Band(first, std::min(bandRows, height - first)), object, texture, shadow);
  }
  bool Drawn(int column, int row) const { return depth[size_t(row) * size_t(width) + size_t(column)] > -99000.0f; }
  uint32_t At(int column, int row) const { return colour[size_t(row) * size_t(width) + size_t(column)] & 0xFFFFFFu; }
  int Grey(int column, int row) const { return int((At(column, row) >> 8) & 255u); }
  int DrawnCount() const {
    return int(std::count_if(depth.begin(), depth.end(), [](float d) { return d > -99000.0f; }));
  }
};

// A mesh of its own, not entered in the table unless asked.
std::unique_ptr<SceneObject> NewMesh(const std::vector<Vec3f>& points, const std::vector<Triangle>& triangles) {
  std::unique_ptr<SceneObject> object = NewSceneObject(int32_t(points.size()), int32_t(triangles.size()));
  if (!object) return nullptr;
  object->points = points;
  MutableTopology(*object)->triangles = triangles;
  EXPECT_TRUE(BuildCornerLists(*object));
  return object;
}

// A square of side `side` about the origin in the plane z = `z`, facing +z.
std::unique_ptr<SceneObject> NewSquare(float side, float z = 0) {
  const float h = side / 2;
  return NewMesh({{-h, -h, z}, {h, -h, z}, {h, h, z}, {-h, h, z}}, {{0, 1, 2}, {0, 2, 3}});
}

// A latitude-longitude sphere of radius `radius`, faces outward.
std::unique_ptr<SceneObject> NewSphere(float radius, int rings = 16, int segments = 24) {
  std::vector<Vec3f> points;
  std::vector<Triangle> triangles;
  const double pi = 3.14159265358979;
  points.push_back({0, radius, 0});
  for (int r = 1; r < rings; ++r) {
    const double polar = pi * r / rings;
    for (int s = 0; s < segments; ++s) {
      const double azimuth = 2 * pi * s / segments;
      points.push_back({float(radius * std::sin(polar) * std::sin(azimuth)), float(radius * std::cos(polar)),
                        float(radius * std::sin(polar) * std::cos(azimuth))});
    }
  }
  points.push_back({0, -radius, 0});
  const uint32_t south = uint32_t(points.size() - 1);
  auto at = [segments](int ring, int s) { return uint32_t(1 + (ring - 1) * segments + (s % segments)); };
  for (int s = 0; s < segments; ++s) triangles.push_back({0, at(1, s), at(1, s + 1)});
  for (int r = 1; r < rings - 1; ++r)
    for (int s = 0; s < segments; ++s) {
      triangles.push_back({at(r, s), at(r + 1, s), at(r + 1, s + 1)});
      triangles.push_back({at(r, s), at(r + 1, s + 1), at(r, s + 1)});
    }
  for (int s = 0; s < segments; ++s) triangles.push_back({south, at(rings - 1, s + 1), at(rings - 1, s)});
  return NewMesh(points, triangles);
}

class ComposerRaster : public RenderFixture {
 protected:
  void SetUp() override {
    RenderFixture::SetUp();
    camera().angles = {0, 0, 0};
    camera().offset = {0, 0, 0};
  }
  static ObjectView& camera() { return nativeFiles.project.composerViews[nativeFiles.project.cameraViewIndex]; }
  // A parallel camera of one pixel per unit: object (x, y) lands on column W/2 + x, row H/2 - y.
  static void UseParallelCamera() {
    camera().mode = 0;
    camera().zoom = 1;
  }
  // Puts `object` into the table (for the shadow buffer) and returns it.
  static SceneObject* Enter(std::unique_ptr<SceneObject> object) {
    const int slot = FindFreeObjectSlot();
    EXPECT_TRUE(StoreObjectInSlot(slot, std::move(object)));
    return scene.objectTable[size_t(slot)].get();
  }
};

TEST_F(ComposerRaster, ObjectPlacedRightAndUpAppearsRightAndUpInEveryBandCut) {
  std::unique_ptr<SceneObject> square = NewSquare(40);
  square->position = {100, 100, 0};
  Picture whole(200, 200), banded(200, 200);
  whole.Draw(square.get(), 200);
  banded.Draw(square.get(), 33);  // bands meeting inside the square
  ASSERT_GT(whole.DrawnCount(), 0);
  // Perspective camera 700 back: the centre lands 100 x focal / 700 right of and above the middle.
  const float focal = 200 * camera().zoom * 0.5f;
  const int column = int(100 + 100 * focal / 700), row = int(100 - 100 * focal / 700);
  EXPECT_TRUE(whole.Drawn(column, row));
  EXPECT_FALSE(whole.Drawn(200 - column, 200 - row));
  EXPECT_EQ(whole.colour, banded.colour);
  EXPECT_EQ(whole.depth, banded.depth);
}

// The light is fixed to the camera, as in the modeling view: from the upper left and in front by
// default, whichever way the camera and the object are turned.
TEST_F(ComposerRaster, SphereIsLitFromTheLightBallsSideWhateverTheTurns) {
  const std::array<float, 3> turns[] = {{0, 0, 0}, {0.7f, -1.2f, 2.5f}, {3.0f, 0.4f, -0.9f}};
  for (const auto& cameraTurn : turns) {
    for (const auto& objectTurn : turns) {
      std::unique_ptr<SceneObject> sphere = NewSphere(120);
      sphere->rotation = {objectTurn[0], objectTurn[1], objectTurn[2]};
      camera().angles = cameraTurn;
      Picture picture(200, 200);
      picture.Draw(sphere.get(), 64);
      // Upper left (towards the light) against lower right.
      EXPECT_GT(picture.Grey(80, 80), picture.Grey(120, 120) + 40)
          << cameraTurn[0] << " " << cameraTurn[1] << " " << objectTurn[0];
      EXPECT_GT(picture.Grey(80, 80), picture.Grey(120, 80));
      EXPECT_GT(picture.Grey(80, 80), picture.Grey(80, 120));
    }
  }
}

// The shading light comes from the upper left and the front: a ball's shadow on a wall behind it
// falls to the lower right, where the ball blocks that light.
TEST_F(ComposerRaster, ShadowFallsWhereTheShadingLightIsBlocked) {
  nativeFiles.project.shadowsOn = 1;
  Enter(NewSphere(50));
  SceneObject* wall = Enter(NewSquare(800, -200));
  wall->optics.castsShadow = 0;
  ShadowBuffer shadow;
  ASSERT_TRUE(BuildShadowBuffer(200, 200, shadow));
  ASSERT_FALSE(shadow.cells.empty());
  Picture picture(200, 200);
  picture.Draw(wall, 200, nullptr, &shadow);  // the wall alone, so the ball hides nothing
  ASSERT_TRUE(picture.Drawn(139, 139) && picture.Drawn(61, 61));
  EXPECT_LT(picture.Grey(139, 139) + 20, picture.Grey(61, 61));
  EXPECT_EQ(picture.Grey(61, 61), picture.Grey(20, 20));  // far from the ball: the same light
}

// The modeling view and the composer show the same object through the same angles alike: with a
// parallel camera of one pixel per unit both pictures are brightest in the same corner.
TEST_F(ComposerRaster, LitOnTheSameSideAsTheModelingView) {
  const std::array<float, 3> lights[] = {kDefaultLightAngles, {0.6f, 0.9f, 0.0f}, {-0.4f, -0.8f, 2.0f}};
  const std::array<float, 3> views[] = {{0, 0, 0}, {0.5f, 1.0f, 0.3f}};
  SceneObject* sphere = AddOrganicSphere();
  ASSERT_NE(sphere, nullptr);
  float radius = 0;
  for (const Vec3f& p : sphere->points) radius = std::max(radius, Length(p));
  const int reach = int(radius / 2);
  camera().mode = 0;
  camera().zoom = 1;
  for (const auto& light : lights) {
    for (const auto& view : views) {
      CurrentView(*sphere).angles = view;
      CurrentView(*sphere).zoom = 1;
      camera().angles = view;
      nativeFiles.project.lightAngles = light;
      SoftDrawOptions options;
      options.lightAngles = light;
      ASSERT_TRUE(SoftDraw(sphere, options));
      Picture picture(kViewSide, kViewSide);
      picture.Draw(sphere, 100);
      // Brightness at four probes around the middle (picture rows top first in both).
      auto brightest = [&](auto grey) {
        int best = 0;
        for (int i = 1; i < 4; ++i)
          if (grey(i) > grey(best)) best = i;
        return best;
      };
      auto probe = [&](int i, int& column, int& row) {
        column = 200 + ((i & 1) != 0 ? reach : -reach);
        row = 200 + ((i & 2) != 0 ? reach : -reach);
      };
      const int modeling = brightest([&](int i) {
        int column, row;
        probe(i, column, row);
        const uint32_t pixel = renderState.viewPicture[size_t(row) * kViewSide + size_t(column)];
        return int((pixel >> 16) & 255u) + int((pixel >> 8) & 255u) + int(pixel & 255u);
      });
      const int composer = brightest([&](int i) {
        int column, row;
        probe(i, column, row);
        EXPECT_TRUE(picture.Drawn(column, row));
        const uint32_t pixel = picture.At(column, row);
        return int((pixel >> 16) & 255u) + int((pixel >> 8) & 255u) + int(pixel & 255u);
      });
      EXPECT_EQ(composer, modeling) << light[0] << " " << light[1] << " " << view[0];
    }
  }
}

// A triangle facing the camera at depth z (camera space z - 700), 80 wide, about the middle.
std::unique_ptr<SceneObject> NewTriangleAt(float z0, float z1, float z2) {
  return NewMesh({{-40, -40, z0}, {40, -40, z1}, {0, 40, z2}}, {{0, 1, 2}});
}

// The near plane lies at camera z = -1 (object z = 699 here): a corner on it is outside, and a
// triangle clipped to less than three corners draws nothing.
TEST_F(ComposerRaster, NearPlaneClipsAndOnThePlaneIsOutside) {
  UseParallelCamera();
  struct Case {
    float z0, z1, z2;
    bool drawn;
  };
  const Case cases[] = {{0, 0, 0, true},         {698.5f, 698.5f, 698.5f, true}, {699, 699, 699, false},
                        {699, 750, 750, false},  {800, 800, 800, false},          {0, 699.5f, 699.5f, true}};
  for (const Case& c : cases) {
    std::unique_ptr<SceneObject> triangle = NewTriangleAt(c.z0, c.z1, c.z2);
    Picture picture(100, 100);
    picture.Draw(triangle.get(), 100);
    EXPECT_EQ(picture.DrawnCount() > 0, c.drawn) << c.z0 << " " << c.z1 << " " << c.z2;
  }
  // Clipped: only the part in front of the plane is left.
  std::unique_ptr<SceneObject> whole = NewTriangleAt(0, 0, 0), cut = NewTriangleAt(0, 1398, 1398);
  Picture a(100, 100), b(100, 100);
  a.Draw(whole.get(), 100);
  b.Draw(cut.get(), 100);
  EXPECT_LT(b.DrawnCount(), a.DrawnCount() * 3 / 4);
  EXPECT_GT(b.DrawnCount(), a.DrawnCount() / 8);
}

TEST_F(ComposerRaster, BackFacesAndZeroAreaTrianglesDrawNothing) {
  UseParallelCamera();
  struct Case {
    const char* name;
    std::vector<Vec3f> points;
    bool drawn;
  };
  const Case cases[] = {{"front", {{-40, -40, 0}, {40, -40, 0}, {0, 40, 0}}, true},
                        {"back", {{-40, -40, 0}, {0, 40, 0}, {40, -40, 0}}, false},
                        {"collinear", {{-40, -40, 0}, {0, 0, 0}, {40, 40, 0}}, false},
                        {"one point", {{5, 5, 0}, {5, 5, 0}, {5, 5, 0}}, false},
                        {"flat after rounding", {{-40, 0, 0}, {40, 0.2f, 0}, {0, 0.1f, 0}}, false}};
  for (const Case& c : cases) {
    std::unique_ptr<SceneObject> triangle = NewMesh(c.points, {{0, 1, 2}});
    Picture picture(100, 100);
    picture.Draw(triangle.get(), 100);
    EXPECT_EQ(picture.DrawnCount() > 0, c.drawn) << c.name;
  }
}

// Of two objects at the same depth the first drawn keeps the pixel; a nearer one replaces it.
TEST_F(ComposerRaster, OnlyAStrictlyNearerPixelReplaces) {
  UseParallelCamera();
  std::unique_ptr<SceneObject> red = NewSquare(40), green = NewSquare(40), nearer = NewSquare(20, 5);
  red->optics.diffuseColor = {0xFF00, 0, 0};
  green->optics.diffuseColor = {0, 0xFF00, 0};
  nearer->optics.diffuseColor = {0, 0, 0xFF00};
  Picture picture(100, 100);
  picture.Draw(red.get(), 100);
  const uint32_t first = picture.At(45, 45);
  picture.Draw(green.get(), 100);
  EXPECT_EQ(picture.At(45, 45), first);
  EXPECT_GT((first >> 16) & 255u, (first >> 8) & 255u);
  picture.Draw(nearer.get(), 100);
  EXPECT_GT(picture.At(50, 50) & 255u, (picture.At(50, 50) >> 16) & 255u);
  EXPECT_EQ(picture.At(35, 35), first);
}

// A roof of two faces folded at 90 degrees: with "Breaking Angle:" 0 (and the default 45) each
// face is one flat colour; with 180 the normals around the ridge are averaged and the light
// changes across each face.
TEST_F(ComposerRaster, BreakingAngleDecidesFlatOrSmooth) {
  UseParallelCamera();
  struct Case {
    float angle;
    bool flat;
  };
  for (const Case c : {Case{0, true}, Case{45, true}, Case{180, false}}) {
    preferences.breakingAngle = c.angle;
    std::unique_ptr<SceneObject> roof = NewMesh({{-40, -30, -40}, {0, -30, 0}, {0, 30, 0}, {-40, 30, -40},
                                                 {40, -30, -40}, {40, 30, -40}},
                                                {{0, 1, 2}, {0, 2, 3}, {1, 4, 5}, {1, 5, 2}});
    Picture picture(100, 100);
    picture.Draw(roof.get(), 100);
    ASSERT_TRUE(picture.Drawn(20, 50) && picture.Drawn(45, 50)) << c.angle;
    EXPECT_EQ(picture.At(20, 50) == picture.At(45, 50), c.flat) << c.angle;
    EXPECT_EQ(picture.At(55, 50) == picture.At(80, 50), c.flat) << c.angle;
  }
}

// The highlight of a flat face turned to the camera: shininess 256 spreads it over the face,
// shininess 0 makes it a needle that a face seen at 45 degrees to the light never shows, and a
// light from behind never adds one.
TEST_F(ComposerRaster, HighlightFollowsShininessAndNeverComesFromBehind) {
  UseParallelCamera();
  struct Case {
    uint16_t shininess;
    std::array<float, 3> light;
    bool highlight;
  };
  const Case cases[] = {{256, kDefaultLightAngles, true},
                        {0, kDefaultLightAngles, false},
                        {256, {3.1415927f, 0, 0}, false},
                        {256, {0, 0, 0}, true}};
  for (const Case& c : cases) {
    nativeFiles.project.lightAngles = c.light;
    std::unique_ptr<SceneObject> square = NewSquare(40), matte = NewSquare(40);
    square->optics.shininess = c.shininess;
    matte->optics.shininess = c.shininess;
    matte->optics.specularColor = {0, 0, 0};
    Picture shiny(100, 100), plain(100, 100);
    shiny.Draw(square.get(), 100);
    plain.Draw(matte.get(), 100);
    const int added = shiny.Grey(50, 50) - plain.Grey(50, 50);
    if (c.highlight) {
      EXPECT_GT(added, 50) << c.shininess;
    } else {
      EXPECT_EQ(added, 0) << c.shininess;
    }
  }
}

// An ambient level of 255 or 256 is held at 254 (the diffuse term divides by 255 minus it).
TEST_F(ComposerRaster, AmbientLevelAboveTheRangeShadesAs254) {
  UseParallelCamera();
  Picture reference(100, 100);
  std::unique_ptr<SceneObject> square = NewSquare(40);
  square->optics.ambientLevel = 254;
  reference.Draw(square.get(), 100);
  for (const uint16_t level : {uint16_t(255), uint16_t(256)}) {
    square->optics.ambientLevel = level;
    Picture picture(100, 100);
    picture.Draw(square.get(), 100);
    EXPECT_EQ(picture.colour, reference.colour) << level;
  }
}

// A wall behind a broad caster, the light straight from the front: the wall's middle is in full
// shadow. It keeps the "Lightness" fraction of its diffuse and highlight terms: none of them at
// 0 (the ambient part alone), all at 1, some between.
TEST_F(ComposerRaster, FullShadowKeepsTheLightnessFraction) {
  UseParallelCamera();
  nativeFiles.project.shadowsOn = 1;
  nativeFiles.project.lightAngles = {0, 0, 0};
  Enter(NewSquare(300, 100));
  SceneObject* wall = Enter(NewSquare(60));
  wall->optics.castsShadow = 0;
  wall->optics.diffuseColor = {0xC000, 0xC000, 0xC000};
  Picture lit(100, 100);
  lit.Draw(wall, 100);
  const int litGrey = lit.Grey(50, 50);
  const int ambientGrey = (0x30 * 256 * 0xC0) >> 16;  // ambient colour x base, nothing else
  ASSERT_GT(litGrey, ambientGrey + 50);
  struct Case {
    float lightness;
    int low, high;
  };
  for (const Case c : {Case{0, ambientGrey, ambientGrey}, Case{1, litGrey, litGrey},
                       Case{0.1f, ambientGrey + 1, litGrey - 1}}) {
    preferences.shadowLightness = c.lightness;
    ShadowBuffer shadow;
    ASSERT_TRUE(BuildShadowBuffer(100, 100, shadow));
    Picture picture(100, 100);
    picture.Draw(wall, 100, nullptr, &shadow);
    EXPECT_GE(picture.Grey(50, 50), c.low) << c.lightness;
    EXPECT_LE(picture.Grey(50, 50), c.high) << c.lightness;
  }
  wall->optics.receivesShadow = 0;  // the buffer passed in does not darken it
  ShadowBuffer shadow;
  ASSERT_TRUE(BuildShadowBuffer(100, 100, shadow));
  Picture unreceived(100, 100);
  unreceived.Draw(wall, 100, nullptr, &shadow);
  EXPECT_EQ(unreceived.colour, lit.colour);
}

// Shadow lookups against a buffer made by hand: cells of rows at or above `shadowedFrom` (counted
// from the top) hold a caster at depth 1000, the others are empty; the point is at depth 0.
class ShadowLookup : public ComposerRaster {
 protected:
  static ShadowBuffer Buffer(int shadowedFromRow) {
    ShadowBuffer shadow;
    shadow.width = 100;
    shadow.height = 100;
    shadow.floor = 0.1f;
    shadow.cells.assign(100 * 100, -3.0e38f);
    for (int row = 0; row < 100; ++row)
      for (int column = 0; column < 100; ++column)
        if (row <= shadowedFromRow) shadow.cells[size_t(99 - row) * 100 + size_t(column)] = 1000;
    return shadow;
  }
  static uint32_t Drawn(uint32_t before) { return renderState.composer.randomIndex - before; }
};

TEST_F(ShadowLookup, QualityPatternsEndEarlyOnlyWhenTheFirstSamplesAgree) {
  preferences.shadowSmoothness = 10;
  RestartRandomTable();
  struct Case {
    const char* name;
    uint16_t quality;
    int shadowedFromRow;  // -1: nothing shadows
    float expected;
    uint32_t randomsDrawn;
  };
  // Around row 50 with smoothness 10 the grid's rows land 10 x (y +- 0.2) rows away, y = -1,
  // -1/3, 0 (the middle sample), 1/3, 1: shadowing rows up to 41 catches the four samples of
  // y = -1 (the 13th sample is the first of them), rows up to 57 all but the four of y = 1.
  const float fourOfSeventeen = (0.1f * 256 + 0.9f * (512.0f * 4 / 17)) / 256;
  const Case cases[] = {
      {"Q0 all lit", 0, -1, 1.0f, 13 * 3},
      {"Q0 none lit", 0, 99, 0.1f, 13 * 3},
      {"Q0 13 of 17 lit", 0, 41, 1.0f, 17 * 3},  // the first 13 disagree: all 17 are taken
      {"Q0 4 of 17 lit", 0, 57, fourOfSeventeen, 17 * 3},
      {"Q1 all lit", 1, -1, 1.0f, 7 * 3},
      {"Q2 none lit", 2, 99, 0.1f, 17 * 3},
      {"Q3 all lit", 3, -1, 1.0f, 21 * 21},  // every cell within 10 either way, no early end
  };
  for (const Case& c : cases) {
    preferences.shadowQuality = c.quality;
    const ShadowBuffer shadow = Buffer(c.shadowedFromRow);
    const uint32_t before = renderState.composer.randomIndex;
    EXPECT_NEAR(ShadowFactor(50, 50, 0, shadow), c.expected, 1e-5f) << c.name;
    EXPECT_EQ(Drawn(before), c.randomsDrawn) << c.name;
  }
}

TEST_F(ShadowLookup, OutsideTheBufferOrWithoutCellsIsSafe) {
  preferences.shadowQuality = 3;
  preferences.shadowSmoothness = 40;
  const ShadowBuffer shadow = Buffer(99);
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  for (const float v : {-1e30f, 1e30f, nan, inf, -inf}) {
    const float factor = ShadowFactor(v, v, 0, shadow);
    EXPECT_GE(factor, 0.1f);
    EXPECT_LE(factor, 1.0f);
  }
  EXPECT_EQ(ShadowFactor(50, 50, 0, ShadowBuffer{}), 1.0f);
}

// The random table's index restarts with every frame's shadow buffer, so a frame renders the
// same alone or after others.
TEST_F(ComposerRaster, EveryFrameDrawsTheSameShadowJitter) {
  nativeFiles.project.shadowsOn = 1;
  preferences.shadowQuality = 0;
  Enter(NewSphere(50));
  SceneObject* wall = Enter(NewSquare(800, -200));
  wall->optics.castsShadow = 0;
  std::vector<uint32_t> frames[2];
  for (auto& frame : frames) {
    ShadowBuffer shadow;
    ASSERT_TRUE(BuildShadowBuffer(200, 200, shadow));
    EXPECT_EQ(renderState.composer.randomIndex, 0u);
    Picture picture(200, 200);
    picture.Draw(wall, 200, nullptr, &shadow);
    EXPECT_NE(renderState.composer.randomIndex, 0u);
    frame = picture.colour;
  }
  EXPECT_EQ(frames[0], frames[1]);
}

// Shadows off: no cells. No caster, or casters without width or height as the light sees them
// (all on one point, or a single flat line of points), give a buffer that lights everything
// instead of dividing by a zero extent.
TEST_F(ComposerRaster, ShadowBufferWithoutCastersOrWithoutExtentLightsEverything) {
  UseParallelCamera();
  SceneObject* wall = Enter(NewSquare(60));
  wall->optics.castsShadow = 0;
  Picture lit(100, 100);
  lit.Draw(wall, 100);
  ShadowBuffer shadow;
  ASSERT_TRUE(BuildShadowBuffer(100, 100, shadow));
  EXPECT_TRUE(shadow.cells.empty());  // shadows off
  nativeFiles.project.shadowsOn = 1;
  ASSERT_TRUE(BuildShadowBuffer(100, 100, shadow));
  EXPECT_TRUE(shadow.cells.empty());  // nothing casts
  Picture picture(100, 100);
  picture.Draw(wall, 100, nullptr, &shadow);
  EXPECT_EQ(picture.colour, lit.colour);

  nativeFiles.project.lightAngles = {0, 0, 0};
  SceneObject* point = Enter(NewMesh({{200, 200, 50}, {200, 200, 50}, {200, 200, 50}}, {{0, 1, 2}}));
  ASSERT_TRUE(BuildShadowBuffer(100, 100, shadow));
  ASSERT_FALSE(shadow.cells.empty());
  EXPECT_GT(shadow.ra, 0);
  EXPECT_GT(shadow.rb, 0);
  point->optics.castsShadow = 0;
  Enter(NewMesh({{-300, 200, 50}, {300, 200, 50}, {0, 200, 50}}, {{0, 1, 2}}));  // a line
  ASSERT_TRUE(BuildShadowBuffer(100, 100, shadow));
  ASSERT_FALSE(shadow.cells.empty());
  Picture front(100, 100), beside(100, 100);
  front.Draw(wall, 100);
  beside.Draw(wall, 100, nullptr, &shadow);
  EXPECT_EQ(beside.colour, front.colour);
}

// Texels of a 2 x 2 picture: red, green on the top row, blue, white below; alphas 255, 128, 0, 64.
ComposerTexture SmallTexture() {
  ComposerTexture texture;
  texture.width = 2;
  texture.height = 2;
  texture.pixels = {0xFFFF0000u, 0x8000FF00u, 0x000000FFu, 0x40FFFFFFu};
  return texture;
}

TEST_F(ComposerRaster, TexelsTileRepeatOrMirrorAndTakeTheirAlphaAsTheObjectSays) {
  const ComposerTexture texture = SmallTexture();
  preferences.textureQuality = 0;
  struct Case {
    const char* name;
    float u, v;
    uint16_t flags, usesAlpha, strength;
    ComposerTexel expected;
  };
  const Case cases[] = {
      {"top left", 0.5f, 0.5f, 3, 1, 128, {255, 255, 0, 0}},
      {"top right, its alpha", 1.5f, 0.5f, 3, 1, 128, {128, 0, 255, 0}},
      {"inverted alpha", 1.5f, 0.5f, 3, 3, 128, {127, 0, 255, 0}},
      {"alpha not used", 0.5f, 1.5f, 3, 0, 128, {255, 0, 0, 255}},
      {"strength 0 hides", 0.5f, 0.5f, 3, 1, 0, {0, 255, 0, 0}},
      {"strength 256 covers", 0.5f, 1.5f, 3, 1, 256, {255, 0, 0, 255}},
      {"next tile repeated", 2.5f, 0.5f, 2, 1, 128, {255, 255, 0, 0}},
      {"next tile mirrored", 2.5f, 0.5f, 1, 1, 128, {128, 0, 255, 0}},
      {"tile before mirrored", -0.5f, -0.5f, 1, 1, 128, {255, 255, 0, 0}},
      {"tile before repeated", -0.5f, -0.5f, 2, 1, 128, {64, 255, 255, 255}},
      {"far out", 1e30f, -1e30f, 2, 1, 128, {255, 255, 0, 0}},
      {"not a number", std::numeric_limits<float>::quiet_NaN(), 0.5f, 2, 1, 128, {255, 255, 0, 0}},
  };
  for (const Case& c : cases) {
    TextureMapping mapping;
    mapping.textureFlags = c.flags;
    mapping.textureUsesAlpha = c.usesAlpha;
    mapping.textureParams[0] = c.strength;
    const ComposerTexel t = SampleComposerTexture(texture, mapping, c.u, c.v);
    EXPECT_EQ(t.alpha, c.expected.alpha) << c.name;
    EXPECT_EQ(t.red, c.expected.red) << c.name;
    EXPECT_EQ(t.green, c.expected.green) << c.name;
    EXPECT_EQ(t.blue, c.expected.blue) << c.name;
  }
  TextureMapping shifted;
  shifted.textureParams[1] = 192;  // half a picture to the right
  EXPECT_EQ(SampleComposerTexture(texture, shifted, 0.5f, 0.5f).green, 255);
}

// Between two texels: "Bi-Linear" weighs by the fraction f, "Bi-Cubic" by 3f^2 - 2f^3, which
// agree at the half and differ at a quarter.
TEST_F(ComposerRaster, TexelFilteringWeighsTheNeighbours) {
  ComposerTexture texture;
  texture.width = 2;
  texture.height = 1;
  texture.pixels = {0xFF000000u, 0xFFC80000u};  // red 0 and 200
  TextureMapping mapping;
  mapping.textureFlags = 1;  // mirrored: the texel right of the last is the last again
  struct Case {
    uint16_t quality;
    float u;
    int red;
  };
  for (const Case c : {Case{0, 0.75f, 0}, Case{1, 0.5f, 100}, Case{1, 0.25f, 50}, Case{2, 0.5f, 100},
                       Case{2, 0.25f, 31}, Case{1, 1.5f, 200}}) {
    preferences.textureQuality = c.quality;
    EXPECT_EQ(SampleComposerTexture(texture, mapping, c.u, 0).red, c.red) << c.quality << " " << c.u;
  }
}

// A picture red on top and blue below on a square mapped once: it shows upright, and where it
// is transparent the object's own colour shows.
TEST_F(ComposerRaster, TextureShowsUprightOverTheObjectColour) {
  UseParallelCamera();
  preferences.textureQuality = 0;
  std::unique_ptr<SceneObject> square = NewSquare(60);
  SetPlanarTextureCoordinates(*square);
  square->optics.diffuseColor = {0, 0xFF00, 0};
  square->optics.specularColor = {0, 0, 0};
  ComposerTexture texture;
  texture.width = 1;
  texture.height = 2;
  texture.pixels = {0xFFFF0000u, 0x000000FFu};  // opaque red above transparent blue
  Picture picture(100, 100);
  picture.Draw(square.get(), 100, &texture);
  const uint32_t top = picture.At(50, 30), bottom = picture.At(50, 70);
  EXPECT_GT((top >> 16) & 255u, 100u);
  EXPECT_EQ((top >> 8) & 255u, 0u);
  EXPECT_EQ((bottom >> 16) & 255u, 0u);
  EXPECT_GT((bottom >> 8) & 255u, 100u);
}

// The bump strength reads the picture's brightness as heights: a step of bump / 256 x 8 texels
// either side finds the slope, rising toward the top left brightens, falling darkens; a flat picture
// or a strength of 0 leaves the light as it is. On a drawn square the relief reaches the picture.
TEST_F(ComposerRaster, TextureReliefShadesAlongTheSlopesOfItsBrightness) {
  preferences.textureQuality = 1;
  ComposerTexture edge;  // 16 x 16: black columns 0..7, white columns 8..15, repeated
  edge.width = edge.height = 16;
  for (int row = 0; row < 16; ++row)
    for (int column = 0; column < 16; ++column) edge.pixels.push_back(column < 8 ? 0xFF000000u : 0xFFFFFFFFu);
  struct Case {
    uint16_t bump;
    float u;
    float relief;
  };
  for (const Case c : {Case{0, 7.5f, 1.0f}, Case{64, 4.5f, 1.0f}, Case{64, 7.5f, 1.25f}, Case{64, 8.5f, 1.25f},
                       Case{64, 15.5f, 0.75f}, Case{8, 7.9f, 1.25f}, Case{8, 7.5f, 1.0f}}) {
    TextureMapping mapping;
    mapping.textureFlags = 2;  // repeated
    mapping.textureBump = c.bump;
    EXPECT_FLOAT_EQ(SampleComposerTexture(edge, mapping, c.u, 3.5f).relief, c.relief) << c.bump << " " << c.u;
  }
  ComposerTexture flat;
  flat.width = flat.height = 4;
  flat.pixels.assign(16, 0xFF808080u);
  TextureMapping full;
  full.textureBump = 256;
  EXPECT_FLOAT_EQ(SampleComposerTexture(flat, full, 1.5f, 1.5f).relief, 1.0f);

  UseParallelCamera();
  std::unique_ptr<SceneObject> square = NewSquare(60);
  SetPlanarTextureCoordinates(*square);
  square->optics.specularColor = {0, 0, 0};
  ComposerTexture stripes;  // grey with a brighter band across the middle
  stripes.width = 1;
  stripes.height = 32;
  for (int row = 0; row < 32; ++row) stripes.pixels.push_back(row >= 12 && row < 20 ? 0xFFB0B0B0u : 0xFF505050u);
  Picture plain(100, 100), raised(100, 100);
  plain.Draw(square.get(), 100, &stripes);
  square->textureBump = 256;
  raised.Draw(square.get(), 100, &stripes);
  int changed = 0;
  for (int y = 20; y < 80; ++y) changed += plain.At(50, y) != raised.At(50, y) ? 1 : 0;
  EXPECT_GT(changed, 0);
  EXPECT_EQ(plain.At(50, 50), raised.At(50, 50));  // inside the band the picture is flat
}

// Damaged points, placements, zooms and angles: nothing is drawn from a corner that is not a
// finite number, and nothing crashes (the sanitizers watch every conversion).
TEST_F(ComposerRaster, DamagedCornersAndPlacementsNeverCrash) {
  std::unique_ptr<SceneObject> damaged = NewFarAndDamagedObject();
  ASSERT_NE(damaged, nullptr);
  UseParallelCamera();
  Picture picture(100, 100);
  picture.Draw(damaged.get(), 100);
  EXPECT_TRUE(picture.Drawn(50, 50));  // the square in the middle

  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  nativeFiles.project.shadowsOn = 1;
  SceneObject* sphere = Enter(NewSphere(50));
  Enter(NewFarAndDamagedObject());
  for (const float bad : {nan, inf, -inf, 3e38f, -3e38f, 1e20f, 0.0f}) {
    for (int what = 0; what < 7; ++what) {
      sphere->position = {0, 0, 0};
      sphere->rotation = {0, 0, 0};
      sphere->scale = 1;
      camera() = DefaultComposerViews()[6];
      preferences.breakingAngle = 45;
      switch (what) {
        case 0: sphere->position = {bad, 1, bad}; break;
        case 1: sphere->scale = bad; break;
        case 2: sphere->rotation = {bad, 0, bad}; break;
        case 3: camera().zoom = bad; break;
        case 4: camera().angles = {0, bad, 0}; break;
        case 5: camera().offset = {bad, 0, 0}; break;
        default: camera().mode = 0; camera().zoom = bad; preferences.breakingAngle = bad; break;
      }
      ShadowBuffer shadow;
      ASSERT_TRUE(BuildShadowBuffer(64, 64, shadow));
      Picture frame(64, 64);
      frame.Draw(sphere, 20, nullptr, &shadow);
      for (float d : frame.depth) EXPECT_FALSE(std::isnan(d));
    }
  }
}

// The progress bar moves four times per object, also for a missing one.
TEST_F(ComposerRaster, ProgressMovesFourTimesPerObject) {
  Picture picture(50, 50);
  ComposerBand band = picture.Band(0, 50);
  band.progressStart = 0;
  band.progressEnd = 128;
  std::unique_ptr<SceneObject> square = NewSquare(20);
  for (SceneObject* object : {static_cast<SceneObject*>(nullptr), square.get()}) {
    services.progressValues.clear();
    RenderObjectIntoBand(band, object, nullptr, nullptr);
    EXPECT_EQ(services.progressValues, (std::vector<int>{32, 64, 96, 128}));
  }
}

// The shadow buffer's depth rasteriser on a buffer of its own size, not the view's: rows of its
// width, both windings drawn, nothing outside.
TEST_F(ComposerRaster, DepthTrianglesFillABufferOfAnySize) {
  constexpr int kWidth = 9, kHeight = 5;
  std::vector<float> buffer(kWidth * kHeight, -1000.0f);
  std::vector<PointWork> corners(6);
  auto set = [&](size_t i, int sx, int sy) {
    corners[i].sx = int16_t(sx);
    corners[i].sy = int16_t(sy);
    corners[i].depth = 7;
  };
  set(0, 0, 0), set(1, 4, 0), set(2, 0, 4);  // lower left, one way round
  set(3, 8, 0), set(4, 8, 4), set(5, 5, 4);  // right, the other way round
  const std::vector<Triangle> triangles = {{0, 1, 2}, {3, 4, 5}, {0, 1, 9}};
  DrawDepthTrianglesSized(buffer, kWidth, kHeight, corners, triangles);
  auto at = [&](int column, int row) { return buffer[size_t(row) * kWidth + size_t(column)]; };
  EXPECT_EQ(at(1, 1), 7.0f);
  EXPECT_EQ(at(7, 3), 7.0f);
  EXPECT_EQ(at(4, 4), -1000.0f);
  int drawn = 0;
  for (float d : buffer) drawn += d == 7.0f ? 1 : 0;
  EXPECT_GT(drawn, 8);
  EXPECT_LT(drawn, kWidth * kHeight / 2);
  DrawDepthTrianglesSized(std::span<float>(buffer).first(10), kWidth, kHeight, corners, triangles);  // too small
}

}  // namespace
}  // namespace tsv::test
