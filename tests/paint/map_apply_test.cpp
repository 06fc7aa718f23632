// "Map apply": the grey value, where a point falls on the map, the two ends, direct and
// interactive mode, the recorded step, and the cases that leave the object alone.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "paint/map_apply.h"
#include "paint/paint_state.h"
#include "platform/string_table.h"
#include "tests/paint/paint_fixture.h"

namespace tsv::test {
namespace {

class MapApplyTest : public PaintFixture {
 protected:
  // A map of `width` x `height` whose byte at (column, row) is grey(column, row).
  template <class Grey>
  static void SetMap(int width, int height, Grey grey) {
    GreyMap map;
    map.width = width;
    map.height = height;
    for (int row = 0; row < height; ++row) {
      for (int column = 0; column < width; ++column) {
        map.bytes.push_back(uint8_t(grey(column, row)));
      }
    }
    paintState.map = map;
  }
  static void SetWhiteMap() {
    SetMap(4, 4, [](int, int) { return 255; });
  }
  static MapFrame FrameOf(const std::vector<Vec3f>& points) {
    MapFrame frame{points[0].x, points[0].x, points[0].y, points[0].y};
    for (const Vec3f& p : points) {
      frame.xmin = std::min(frame.xmin, p.x);
      frame.xmax = std::max(frame.xmax, p.x);
      frame.ymin = std::min(frame.ymin, p.y);
      frame.ymax = std::max(frame.ymax, p.y);
    }
    return frame;
  }
  static void ExpectUnmoved(const SceneObject& object) {
    const std::vector<Vec3f> edited = Edited(object);
    for (size_t i = 0; i < edited.size(); ++i) {
      ASSERT_TRUE(SamePosition(edited[i], object.points[i])) << "point " << i;
    }
  }
};

TEST_F(MapApplyTest, TheGreyValueFollowsBrightnessAndContrast) {
  struct Case {
    int byte, brightness, contrast, grey;
  };
  const Case cases[] = {
      {0, 128, 0, 0},       {77, 128, 0, 77},     {255, 128, 0, 255},  // the defaults: the byte
      {127, 128, 256, 0},   {128, 128, 256, 255},  // full contrast: black and white only
      {0, 128, 256, 0},     {255, 128, 256, 255},
      {200, 128, 128, 255 - ((55 * 128) >> 8)},  // half contrast pulls toward the ends
      {50, 128, 128, (50 * 128) >> 8},
      {100, 156, 0, 128},   {250, 200, 0, 255},   {10, 0, 0, 0},  // brightness, kept in 0..255
      {100, -500, 0, 0},    {100, 9999, 0, 228},  // settings beyond 0..256 count as the ends
      {100, 128, -40, 100}, {100, 128, 999, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MapGrey(uint8_t(c.byte), c.brightness, c.contrast), c.grey)
        << c.byte << " " << c.brightness << " " << c.contrast;
  }
}

TEST_F(MapApplyTest, PointsFallOnTheMapAsEachMappingLaysIt) {
  const MapFrame frame{-10, 10, -5, 5};
  struct Case {
    int kind;
    Vec3f p;
    int width, height, column, row;
  };
  const Case cases[] = {
      {kMapFlat, {-10, 5, 0}, 8, 4, 0, 0},    // the top left corner
      {kMapFlat, {10, -5, 0}, 8, 4, 7, 3},    // the far edges belong to the last column and row
      {kMapFlat, {0, 0, 99}, 8, 4, 4, 2},     // depth plays no part
      {kMapFlat, {-2.6f, 2.4f, 0}, 8, 4, 2, 1},
      // On the vertical axis: the middle column (W / 2, truncated for odd widths).
      {kMapCylindric, {0, 5, 0}, 6, 4, 3, 0},
      {kMapCylindric, {0, -3, 0}, 5, 4, 2, 3},
      {kMapCylindric, {0, 0, 7}, 8, 4, 4, 2},   // facing the viewer: the middle too
      {kMapCylindric, {-7, 0, 0}, 8, 4, 2, 2},  // left: a quarter across
      {kMapCylindric, {7, 0, 0}, 8, 4, 6, 2},   // right: three quarters
      {kMapCylindric, {0, 0, -7}, 8, 4, 7, 2},  // straight behind: the last column
      {kMapSpheric, {0, 5, 0}, 5, 10, 2, 0},    // straight up reads the top row
      {kMapSpheric, {0, -5, 0}, 5, 10, 2, 9},
      {kMapSpheric, {3, 0, 0}, 8, 10, 6, 5},
      {kMapSpheric, {0, 0, 0}, 5, 7, 2, 3},     // the centre: the middle of the map
  };
  for (const Case& c : cases) {
    const MapCell cell = MapCellOf(c.kind, c.p, frame, c.width, c.height);
    EXPECT_EQ(cell.column, c.column) << c.kind << " " << c.p.x << " " << c.p.y << " " << c.p.z;
    EXPECT_EQ(cell.row, c.row) << c.kind << " " << c.p.x << " " << c.p.y << " " << c.p.z;
  }
  // A frame without extent: the first column and row, never a division by zero.
  const MapCell first = MapCellOf(kMapFlat, {3, 3, 0}, MapFrame{1, 1, 2, 2}, 8, 4);
  EXPECT_EQ(first.column, 0);
  EXPECT_EQ(first.row, 0);
  // Whatever the position, the cell lies on the map.
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  constexpr float kInf = std::numeric_limits<float>::infinity();
  for (int kind : {kMapFlat, kMapCylindric, kMapSpheric}) {
    for (const Vec3f& p : {Vec3f{kNaN, kNaN, kNaN}, Vec3f{kInf, -kInf, kInf},
                           Vec3f{1e30f, -1e30f, 3}, Vec3f{-1e30f, 1e30f, -1e30f}}) {
      const MapCell cell = MapCellOf(kind, p, frame, 8, 4);
      EXPECT_TRUE(cell.column >= 0 && cell.column < 8 && cell.row >= 0 && cell.row < 4) << kind;
    }
  }
}

TEST_F(MapApplyTest, TheNeutralAmountLeavesEveryPointWhereItWas) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  SetMap(16, 9, [](int column, int row) { return (column * 37 + row * 101) % 256; });
  for (int kind : {kMapFlat, kMapCylindric, kMapSpheric}) {
    SCOPED_TRACE(kind);
    ASSERT_TRUE(ActivateSceneObject(sphere));
    ASSERT_TRUE(MapApply(sphere, Undo(), int16_t(kind), 128));
    ExpectUnmoved(*sphere);
    // The two ends lie either side of the start by the same amount.
    ASSERT_TRUE(MapApply(sphere, Undo(), int16_t(kind), 256));
    const std::vector<Vec3f> out = Edited(*sphere);
    ASSERT_TRUE(ActivateSceneObject(sphere));
    ASSERT_TRUE(MapApply(sphere, Undo(), int16_t(kind), 0));
    const std::vector<Vec3f> in = Edited(*sphere);
    float largest = 0;
    for (size_t i = 0; i < in.size(); ++i) {
      const Vec3f& p = sphere->points[i];
      ASSERT_NEAR((out[i].x + in[i].x) / 2, p.x, 1e-3f) << i;
      ASSERT_NEAR((out[i].y + in[i].y) / 2, p.y, 1e-3f) << i;
      ASSERT_NEAR((out[i].z + in[i].z) / 2, p.z, 1e-3f) << i;
      largest = std::max(largest, Distance(out[i], p));
    }
    EXPECT_GT(largest, 1.0f);
  }
}

TEST_F(MapApplyTest, FlatReliefMovesAlongTheDepthExceptProtectedPointsAndBlackPixels) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  SetMap(8, 8, [](int column, int) { return column < 4 ? 0 : 255; });
  for (size_t i = 0; i < sphere->pointMask.size(); i += 4) sphere->pointMask[i] = 0;
  const MapFrame frame = FrameOf(sphere->points);
  float zmin = sphere->points[0].z, zmax = zmin;
  for (const Vec3f& p : sphere->points) {
    zmin = std::min(zmin, p.z);
    zmax = std::max(zmax, p.z);
  }
  const float halfExtent =
      0.5f * std::max({frame.xmax - frame.xmin, frame.ymax - frame.ymin, zmax - zmin});

  for (int amount : {256, 0}) {
    ASSERT_TRUE(ActivateSceneObject(sphere));
    ASSERT_TRUE(MapApply(sphere, Undo(), kMapFlat, int16_t(amount)));
    const std::vector<Vec3f> edited = Edited(*sphere);
    int moved = 0;
    for (size_t i = 0; i < edited.size(); ++i) {
      const Vec3f& p = sphere->points[i];
      const bool black = MapCellOf(kMapFlat, p, frame, 8, 8).column < 4;
      if (sphere->pointMask[i] == 0 || black) {
        ASSERT_TRUE(SamePosition(edited[i], p)) << "point " << i;
        continue;
      }
      const float d = 255.0f * halfExtent / 512.0f;
      ASSERT_FLOAT_EQ(edited[i].x, p.x);
      ASSERT_FLOAT_EQ(edited[i].y, p.y);
      ASSERT_NEAR(edited[i].z, amount == 256 ? p.z + d : p.z - d, 1e-3f) << i;
      ++moved;
    }
    EXPECT_GT(moved, 1000);
  }
}

TEST_F(MapApplyTest, TheBrightnessAndContrastSettingsShapeTheRelief) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  SetMap(4, 4, [](int, int) { return 100; });
  paintState.mapContrast = 256;
  ASSERT_TRUE(MapApply(sphere, Undo(), kMapSpheric, 256));
  ExpectUnmoved(*sphere);  // 100 lies below middle grey: black

  paintState.mapBrightness = 156;  // 100 + 28 = 128: white
  ASSERT_TRUE(ActivateSceneObject(sphere));
  ASSERT_TRUE(MapApply(sphere, Undo(), kMapSpheric, 256));
  const std::vector<Vec3f> edited = Edited(*sphere);
  for (size_t i = 0; i < edited.size(); i += 13) {
    ASSERT_NEAR(Length(edited[i]) / Length(sphere->points[i]), 1.0f + 255.0f / 512.0f, 1e-5f) << i;
  }
}

TEST_F(MapApplyTest, APointOnTheVerticalAxisReadsTheMiddleColumn) {
  SceneObject* octahedron = AddMesh(OctahedronPoints(), OctahedronTriangles());
  ASSERT_NE(octahedron, nullptr);
  SetMap(5, 3, [](int column, int) { return column == 2 ? 255 : 0; });
  ASSERT_TRUE(MapApply(octahedron, Undo(), kMapSpheric, 256));
  const std::vector<Vec3f> edited = Edited(*octahedron);
  const float k = 255.0f / 512.0f;
  // +x, -x, +y, -y, +z, -z: the two poles and the point facing the viewer read column 2.
  const Vec3f expected[] = {{1, 0, 0}, {-1, 0, 0}, {0, 1 + k, 0}, {0, -1 - k, 0}, {0, 0, 1 + k},
                            {0, 0, -1}};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_NEAR(edited[i].x, expected[i].x, 1e-5f) << i;
    EXPECT_NEAR(edited[i].y, expected[i].y, 1e-5f) << i;
    EXPECT_NEAR(edited[i].z, expected[i].z, 1e-5f) << i;
  }
}

TEST_F(MapApplyTest, ASphericReplayAt192PushesEveryWhitePointOutAQuarter) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  SetWhiteMap();
  ASSERT_TRUE(RunMapApply(sphere, Undo(), kMapSpheric, 192));
  // k = 255 / 512, t = 0.75: p (1 - k) / 4 + p (1 + k) 3 / 4 = p (1 + k / 2).
  const float ratio = 1.0f + 0.5f * 255.0f / 512.0f;
  for (size_t i = 0; i < sphere->points.size(); ++i) {
    ASSERT_NEAR(Length(sphere->points[i]) / Length(Undo()->points[i]), ratio, 1e-5f) << i;
  }
  EXPECT_EQ(sphere->hasUnsavedChanges, 1) << "committed";
  EXPECT_TRUE(steps.empty()) << "a direct application records nothing";
}

TEST_F(MapApplyTest, ADragFollowsTheMouseAndRecordsTheKindAndTheAmountReached) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  SetWhiteMap();
  paintState.mappingKind = kMapCylindric;
  std::vector<int> readouts;
  toolState.present = [&] { readouts.push_back(toolState.readoutValue1); };

  ScriptDrag({{15, 3}, {40, -2}});
  ASSERT_TRUE(MapApply(sphere, Undo(), kAmountInteractive, 0));
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].code, TaskStepCode("MA"));
  EXPECT_EQ(steps[0].value1, kMapCylindric);
  EXPECT_EQ(steps[0].value2, 168);
  ASSERT_GE(readouts.size(), 3u);
  EXPECT_EQ(readouts.front(), 0);
  EXPECT_EQ(readouts[readouts.size() - 2], ((168 - 128) * 200) >> 8);
  EXPECT_EQ(readouts.back(), -32000) << "cleared after the release";
  // The same shape as the amount applied directly.
  const std::vector<Vec3f> dragged = Edited(*sphere);
  ASSERT_TRUE(ActivateSceneObject(sphere));
  ASSERT_TRUE(MapApply(sphere, Undo(), kMapCylindric, 168));
  const std::vector<Vec3f> direct = Edited(*sphere);
  for (size_t i = 0; i < direct.size(); ++i) ASSERT_TRUE(SamePosition(dragged[i], direct[i])) << i;

  // Past the end and back: the amount turns at once; right and back to the start: unchanged.
  struct Drag {
    std::vector<std::pair<int, int>> offsets;
    int16_t amount;
  };
  const Drag drags[] = {{{{400, 0}, {390, 0}}, 246}, {{{-300, 0}}, 0}, {{{60, 0}, {0, 0}}, 128}};
  for (const Drag& drag : drags) {
    ASSERT_TRUE(ActivateSceneObject(sphere));
    steps.clear();
    ScriptDrag(drag.offsets);
    ASSERT_TRUE(MapApply(sphere, Undo(), kAmountInteractive, 0));
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].value2, drag.amount);
  }
  ExpectUnmoved(*sphere);
}

TEST_F(MapApplyTest, WithoutMapObjectOrExtentNothingChangesAndNothingIsRecorded) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  // No map, in both modes; the drag only waits for the release.
  EXPECT_FALSE(MapApply(sphere, Undo(), kMapFlat, 256));
  ScriptDrag({{50, 0}});
  EXPECT_FALSE(MapApply(sphere, Undo(), kAmountInteractive, 0));
  EXPECT_FALSE(input.buttonDown);
  ExpectUnmoved(*sphere);
  // A map whose bytes do not cover its size is no map.
  paintState.map = GreyMap{4, 4, std::vector<uint8_t>(15, 255)};
  EXPECT_FALSE(MapApply(sphere, Undo(), kMapFlat, 256));

  SetWhiteMap();
  EXPECT_FALSE(MapApply(nullptr, Undo(), kMapFlat, 256));
  EXPECT_FALSE(MapApply(sphere, Undo(), 3, 256));  // no such mapping
  paintState.mappingKind = 7;
  ScriptDrag({{50, 0}});
  EXPECT_FALSE(MapApply(sphere, Undo(), kAmountInteractive, 0));
  ExpectUnmoved(*sphere);

  // Flat across (every x alike) or up (every y alike).
  for (const std::vector<Vec3f>& points : {std::vector<Vec3f>{{0, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                                           std::vector<Vec3f>{{0, 2, 0}, {1, 2, 0}, {0, 2, 1}}}) {
    SceneObject* flat = AddMesh(points, {{0, 1, 2}});
    ASSERT_NE(flat, nullptr);
    for (int kind : {kMapFlat, kMapCylindric, kMapSpheric}) {
      EXPECT_FALSE(MapApply(flat, Undo(), int16_t(kind), 0));
    }
    ExpectUnmoved(*flat);
  }
  EXPECT_TRUE(steps.empty());

  // Nothing committed either: the undo copy keeps the state before.
  ASSERT_TRUE(SetCurrentObject(SlotOfObject(sphere)));
  paintState.map = GreyMap{};
  sphere->hasUnsavedChanges = 0;
  EXPECT_FALSE(RunMapApply(sphere, Undo(), kMapFlat, 256));
  EXPECT_EQ(sphere->hasUnsavedChanges, 0);
}

TEST_F(MapApplyTest, MapApplyNamesFollowTheKind) {
  EXPECT_EQ(GetString(MapApplyName(kMapFlat)), "Map apply: Flat");
  EXPECT_EQ(GetString(MapApplyName(kMapCylindric)), "Map apply: Cylindric");
  EXPECT_EQ(GetString(MapApplyName(kMapSpheric)), "Map apply: Spheric");
  EXPECT_EQ(GetString(MapApplyName(9)), "Map apply");
}

TEST_F(MapApplyTest, PicturesBecomeGreyByLumaWithTheAlphaByteIgnored) {
  const std::vector<uint32_t> pixels = {
      0x00FFFFFF, 0xFF000000, 0x00FF0000, 0x0000FF00,  // top row
      0x000000FF, 0x80808080, 0xFFFFFFFF, 0x00000000,
  };
  const GreyMap map = GreyMapFromPixels(pixels, 4, 2);
  ASSERT_EQ(map.width, 4);
  ASSERT_EQ(map.height, 2);
  // (299 R + 587 G + 114 B) / 1000, rounded: red 76.2, green 149.7, blue 29.1.
  const std::vector<uint8_t> expected = {255, 0, 76, 150, 29, 128, 255, 0};
  EXPECT_EQ(map.bytes, expected);

  EXPECT_FALSE(HasGreyMap(GreyMapFromPixels(pixels, 4, 3)));  // too few pixels
  EXPECT_FALSE(HasGreyMap(GreyMapFromPixels(pixels, 0, 2)));
  EXPECT_FALSE(HasGreyMap(GreyMapFromPixels(pixels, -4, -2)));

  EXPECT_TRUE(SetMapPicture(pixels, 2, 4));
  EXPECT_EQ(paintState.map.width, 2);
  EXPECT_EQ(paintState.map.bytes[2], 76);
  EXPECT_FALSE(SetMapPicture(pixels, 100, 100));
  EXPECT_FALSE(HasGreyMap(paintState.map)) << "a picture that cannot serve leaves no map";
}

}  // namespace
}  // namespace tsv::test
