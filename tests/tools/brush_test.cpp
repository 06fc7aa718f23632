// The brush stroke engine and the stroke session: profiles and falloff, visibility, spacing, the
// dabs of every room and brush type, the side and repeat copies, the session's steps, paint
// switch, commit and undo, and the tablet layer's answers without a tablet.
#include <gtest/gtest.h>

#include "platform/events.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "platform/preferences.h"
#include "platform/string_ids.h"
#include "platform/tablet.h"
#include "render/rasterisers.h"
#include "render/render_state.h"
#include "render/work_data.h"
#include "scene/task_steps.h"
#include "tests/render/render_fixture.h"
#include "tests/tools/tool_fixture.h"
#include "tools/brush.h"
#include "tools/brush_session.h"
#include "tools/brush_settings.h"
#include "tools/deform_tools.h"
#include "tests/support/reset_all_state.h"

namespace tsv::test {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class Brush : public ToolFixture {
 protected:
  void SetUp() override {
    ToolFixture::SetUp();
    // One dab exactly where a segment starts, unless a test asks for spacing.
    brushSettings.spacing = 256;
  }


  // The view's depth buffer of the object as it is now, drawn in full detail.
  static std::vector<float> ViewDepth(SceneObject& object) {
    RefreshWorkData(object);
    std::vector<float> depth(size_t(kViewPixelCount), kEmptyDepth);
    DrawDepthTriangles(depth, kViewClip, &object, true);
    return depth;
  }

  // One segment of the current settings in `room`, with the depth buffer of the object as drawn.
  static void Stroke(SceneObject& object, int room, float x, float y, float dx = 0, float dy = 0,
                     float pressure = 0.25f, float size = 1.0f) {
    const std::vector<float> depth = ViewDepth(object);
    BrushStroke(&object, room, x, y, dx, dy, pressure, size, depth);
  }

  // The point whose object-space position is nearest `target`.
  static size_t Nearest(const SceneObject& object, Vec3f target) {
    size_t best = 0;
    float bestDistance = std::numeric_limits<float>::max();
    for (size_t i = 0; i < size_t(object.pointCount); ++i) {
      const float d = Distance(object.points[i], target);
      if (d < bestDistance) {
        bestDistance = d;
        best = i;
      }
    }
    return best;
  }

  static Vec3f WorkPosition(const SceneObject& object, size_t i) {
    const PointWork& w = (*object.pointWork)[i];
    return {w.x, w.y, w.z};
  }
  static bool Moved(const SceneObject& object, size_t i) {
    return !SamePosition(WorkPosition(object, i), object.points[i]);
  }
  static size_t MovedCount(const SceneObject& object) {
    size_t moved = 0;
    for (size_t i = 0; i < size_t(object.pointCount); ++i) moved += Moved(object, i) ? 1 : 0;
    return moved;
  }

  // A flat square of two triangles facing the viewer at depth z, centred on (cx, cy), half side h.
  static void AddSquare(std::vector<Vec3f>& points, std::vector<Triangle>& triangles, float cx,
                        float cy, float z, float h) {
    const uint32_t base = uint32_t(points.size());
    points.push_back({cx - h, cy - h, z});
    points.push_back({cx + h, cy - h, z});
    points.push_back({cx + h, cy + h, z});
    points.push_back({cx - h, cy + h, z});
    triangles.push_back({base, base + 1, base + 2});
    triangles.push_back({base, base + 2, base + 3});
  }
};

// ---------------------------------------------------------------- profile and falloff

struct ProfileCase {
  int shape;
  float u, v;     // offset in units of R
  float expected;  // -1: outside
};

TEST_F(Brush, ProfilesAndPolygonsGiveTheirWeights) {
  const float e = std::exp(-4.58f * 0.25f);
  const ProfileCase cases[] = {
      {1, 0, 0, 1},        {1, 0.5f, 0, e},     {1, 0, -0.5f, e},      {1, 1.01f, 0, -1},
      {2, 0.75f, 0, 0.5f},  {3, 0.99f, 0, 1},    {4, 1, 0, std::sqrt(0.5f)},
      {5, 1, 0, 0},        {5, 0.6f, 0, 0.8f},  {6, 0.5f, 0, 0.5f},    {6, 1, 0, 0},
      {7, 0.5f, 0, std::exp(-2.29f)},           {8, 0.25f, 0, 1},      {8, 0.75f, 0, 0.5f},
      {16, 0.3f, 0, 0.75f}, {16, 0.9f, 0, 0.25f}, {18, 0.5f, 0, 0.666f}, {19, 0.5f, 0, 0},
      {19, 0.8f, 0, 1},    {20, 0.25f, 0, 0},   {21, 0.5f, 0, 1},      {21, 0, 0, 0},
      {22, 0.75f, 0, 0.5f}, {23, 1, 0, 1 - std::sqrt(0.5f)},            {24, 1, 0, 1},
      {26, 1.0f / 6, 0, 0}, {26, 1.0f / 3, 0, std::exp(-4.58f / 3)},
      // Cones over the polygons, first vertex of the triangle at pi/2, of the hexagon at 0, of
      // the square at pi/4, of the pentagon at -18 degrees (so one vertex points straight down).
      {9, 0, 0, 1},        {9, 0, 0.96f, 0.04f}, {9, 0, -0.25f, 0.5f},  {9, 0, -0.6f, -1},
      {10, 0.96f, 0, 0.04f}, {10, 0, 0.9f, -1},   {11, 0.68f, 0.68f, 0.0383f}, {11, 0.9f, 0, -1},
      {12, 0, -0.96f, 0.04f}, {12, 0, 0.85f, -1},
      // The same polygons hard-edged.
      {14, 0, 0.96f, 1},   {14, 0, -0.6f, -1},  {13, 0.96f, 0, 1},     {13, 0, 0.9f, -1},
      {15, 0.68f, 0.68f, 1}, {15, 0.9f, 0, -1},  {17, 0, -0.96f, 1},    {17, 0, 0.85f, -1},
  };
  constexpr float R = 100;
  for (const ProfileCase& c : cases) {
    BuildBrushProfile(c.shape);
    const float f = BrushFalloff(c.u * R, c.v * R, R);
    if (c.expected < 0) {
      EXPECT_LT(f, 0) << "shape " << c.shape << " at " << c.u << ", " << c.v;
    } else {
      EXPECT_NEAR(f, c.expected, 2e-3) << "shape " << c.shape << " at " << c.u << ", " << c.v;
    }
  }
}

TEST_F(Brush, ShapesOutOfRangeBuildTheRoundProfileAndShape25IsRandomised) {
  BuildBrushProfile(0);
  EXPECT_EQ(brushEngine.profileShape, 1);
  EXPECT_NEAR(BrushFalloff(50, 0, 100), std::exp(-4.58f * 0.25f), 1e-3);
  BuildBrushProfile(27);
  EXPECT_EQ(brushEngine.profileShape, 1);

  BuildBrushProfile(25);
  float low = 10, high = -10;
  for (int i = 0; i < 200; ++i) {
    const float f = BrushFalloff(0, 0, 100);
    low = std::min(low, f);
    high = std::max(high, f);
  }
  EXPECT_GE(low, -0.5f);
  EXPECT_LE(high, 1.5f);
  EXPECT_GT(high - low, 0.5f);
}

TEST_F(Brush, TiltMeasuresTheOffsetInATurnedAndNarrowedFrame) {
  BuildBrushProfile(3);  // 1 everywhere inside
  constexpr float R = 100;
  EXPECT_LT(BrushFalloff(0, 120, R), 0);
  // Tilt (0, 32): theta = 0, g = cos(atan(1)); across = -g v, so offsets along v count 0.707.
  brushEngine.tilt = MakeBrushTilt(0, 32);
  ASSERT_TRUE(brushEngine.tilt.active);
  EXPECT_NEAR(brushEngine.tilt.across, std::sqrt(0.5f), 1e-5);
  EXPECT_EQ(BrushFalloff(0, 120, R), 1.0f);
  EXPECT_LT(BrushFalloff(0, 150, R), 0);
  // Along u the offset is stretched by exp(across m 0.00015) = 1 for across = 0.
  EXPECT_EQ(BrushFalloff(99, 0, R), 1.0f);
  EXPECT_LT(BrushFalloff(101, 0, R), 0);
  // a < 0 turns theta to 2 pi - theta: tilt (-32, 0) has theta = 3 pi / 2.
  const BrushTilt left = MakeBrushTilt(-32, 0);
  EXPECT_NEAR(left.sinTheta, -1, 1e-5);
  EXPECT_NEAR(left.cosTheta, 0, 1e-5);
  EXPECT_FALSE(MakeBrushTilt(0, 0).active);

  // The manual tilt counts unless the tablet reports one with tilt enabled.
  brushSettings.tilt = {0, 32};
  EXPECT_NEAR(CurrentBrushTilt().cosTheta, 1, 1e-6);
  preferences.tabletFlags = 4;
  ReportTabletPacket({true, true, 1.0f, -32, 0, kTabletCursorPen});
  EXPECT_NEAR(CurrentBrushTilt().sinTheta, -1, 1e-5);
  preferences.tabletFlags = 0;
  EXPECT_NEAR(CurrentBrushTilt().cosTheta, 1, 1e-6);
}

// ---------------------------------------------------------------- visibility

TEST_F(Brush, DepthVisibilityFadesBehindTheSurfaceAndNeverReadsOutside) {
  std::vector<float> depth(size_t(kViewPixelCount), kEmptyDepth);
  depth[20 * 400 + 10] = 50;
  struct Case {
    int sx, sy;
    float depth;
    float expected;
  };
  const Case cases[] = {
      {11, 20, 0, 1},                   // nothing drawn there
      {10, 20, 60, 1},                  // in front of the surface
      {10, 20, 50, 1},                  // on it
      {10, 20, 40, 0.5f},               // 10 behind: half
      {10, 20, 30, std::exp(-kBrushVisibilitySoftness * 400)},  // at the limit
      {10, 20, 29.9f, 0},               // beyond it
      {10, 20, kNaN, 0},
      {400, 20, 0, 1}, {-1, 20, 0, 1}, {10, 400, 0, 1}, {10, -5, 0, 1},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(DepthVisibility(depth, c.sx, c.sy, c.depth), c.expected, 1e-4)
        << c.sx << ", " << c.sy << " at " << c.depth;
  }
  EXPECT_EQ(DepthVisibility(std::span<const float>(depth.data(), 1000), 10, 20, 0), 1.0f);
}

// ---------------------------------------------------------------- spacing

TEST_F(Brush, SpacingPlacesDabsAlongTheMotion) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  brushSettings.spacing = 128;
  // step = 2 x 42.91932 x (128 / 256) + 1 = 43.919 pixels at size 1.
  struct Case {
    float dx, dy;
    uint64_t dabs;
  };
  const Case cases[] = {
      {0.6f, 0.7f, 0},  // shorter than a pixel: nothing, the accumulator untouched
      {100, 0, 3},      // dabs at 0, 43.9 and 87.8 along it
      {30, 0, 0},       // -31.8 + 30 < 0
      {0, -2, 1},
      {0.5f, 0, 0},
  };
  brushEngine.accumulator = 0;
  const std::vector<float> depth = ViewDepth(*sphere);
  for (const Case& c : cases) {
    const uint64_t before = brushEngine.dabCount;
    BrushSegment(sphere, kBrushRoomModeling, 150, 150, c.dx, c.dy, 0.25f, 1.0f, depth);
    EXPECT_EQ(brushEngine.dabCount - before, c.dabs) << c.dx << ", " << c.dy;
  }
  // With spacing 256 every call makes one dab, even without motion.
  brushSettings.spacing = 256;
  const uint64_t before = brushEngine.dabCount;
  BrushSegment(sphere, kBrushRoomModeling, 150, 150, 0, 0, 0.25f, 1.0f, depth);
  EXPECT_EQ(brushEngine.dabCount - before, 1u);
  EXPECT_EQ(brushEngine.accumulator, 0.0f);
}

// ---------------------------------------------------------------- reach of a dab

TEST_F(Brush, PointsOutsideTheViewAreNeverTouched) {
  std::vector<Vec3f> points = {{190, 0, 0}, {210, 0, 0}, {-205, 0, 0}, {195, 5, 0}};
  std::vector<Triangle> triangles = {{0, 1, 3}, {0, 3, 2}};
  SceneObject* mesh = AddMesh(points, triangles);
  ASSERT_NE(mesh, nullptr);
  brushSettings.side = brush_side::kThrough;
  brushSettings.shape = 3;
  Stroke(*mesh, kBrushRoomModeling, 399, 200, 0, 0, 0.5f, 4.0f);  // R = 171 pixels
  EXPECT_TRUE(Moved(*mesh, 0));   // column 390
  EXPECT_FALSE(Moved(*mesh, 1));  // column 410
  EXPECT_FALSE(Moved(*mesh, 2));  // column -5
  EXPECT_TRUE(Moved(*mesh, 3));
  Stroke(*mesh, kBrushRoomModeling, 0, 200, 0, 0, 0.5f, 4.0f);
  EXPECT_FALSE(Moved(*mesh, 2));
}

struct PressureCase {
  int16_t type;
  int16_t depth;
  int direction;  // sign of the front pole's change in view depth; 0: no change at all
};

TEST_F(Brush, DepthSettingChoosesInNeutralOrOutForPushNormalAndSpheric) {
  const PressureCase cases[] = {
      {brush_type::kBrush, 96, -1},   {brush_type::kBrush, 128, 0},
      {brush_type::kBrush, 200, 1},   {brush_type::kNormal, 96, -1},
      {brush_type::kNormal, 128, 0},  {brush_type::kNormal, 200, 1},
      {brush_type::kSpheric, 96, -1}, {brush_type::kSpheric, 128, 0},
      {brush_type::kSpheric, 200, 1},
  };
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const size_t pole = Nearest(*sphere, {0, 0, 128});
  for (const PressureCase& c : cases) {
    EXPECT_TRUE(ActivateSceneObject(sphere));  // every case from the committed sphere
    brushSettings.type = c.type;
    Stroke(*sphere, kBrushRoomModeling, 200, 200, 0, 0, BrushPressureFromDepth(c.depth));
    const float change = WorkPosition(*sphere, pole).z - sphere->points[pole].z;
    if (c.direction == 0) {
      EXPECT_EQ(MovedCount(*sphere), 0u) << c.type;
    } else {
      EXPECT_GT(change * float(c.direction), 0.1f) << c.type << " depth " << c.depth;
    }
  }
}

TEST_F(Brush, SmudgeIgnoresThePressureSignAndSmoothThePressure) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  auto run = [&](int16_t type, float pressure) {
    EXPECT_TRUE(ActivateSceneObject(sphere));
    brushSettings.type = type;
    Stroke(*sphere, kBrushRoomModeling, 200, 200, 12, -5, pressure);
    return Edited(*sphere);
  };
  const std::vector<Vec3f> pushed = run(brush_type::kSmudge, 0.5f);
  const std::vector<Vec3f> pulled = run(brush_type::kSmudge, -0.5f);
  size_t moved = 0;
  for (size_t i = 0; i < pushed.size(); ++i) {
    ASSERT_TRUE(SamePosition(pushed[i], pulled[i])) << i;
    moved += SamePosition(pushed[i], sphere->points[i]) ? 0 : 1;
  }
  EXPECT_GT(moved, 10u);
  // The smudge drags along the motion: right on the screen and up (dy < 0 is upward).
  const size_t pole = Nearest(*sphere, {0, 0, 128});
  EXPECT_GT(pushed[pole].x, sphere->points[pole].x);
  EXPECT_GT(pushed[pole].y, sphere->points[pole].y);

  const std::vector<Vec3f> smooth = run(brush_type::kSmooth, 0.25f);
  for (const float pressure : {0.0f, -1.0f, 1.0f}) {
    const std::vector<Vec3f> other = run(brush_type::kSmooth, pressure);
    for (size_t i = 0; i < smooth.size(); ++i) ASSERT_TRUE(SamePosition(smooth[i], other[i])) << i;
  }
  // Relaxing a sphere pulls its surface in.
  EXPECT_LT(Length(smooth[pole]), Length(sphere->points[pole]));
}

TEST_F(Brush, HiddenPointsAreOutOfReachOnTheFrontSideOnly) {
  std::vector<Vec3f> points;
  std::vector<Triangle> triangles;
  AddSquare(points, triangles, 0, 0, 0, 100);    // the visible surface
  AddSquare(points, triangles, 20, 0, -30, 5);   // 30 behind it
  AddSquare(points, triangles, -20, 0, -10, 5);  // 10 behind it
  SceneObject* mesh = AddMesh(points, triangles);
  ASSERT_NE(mesh, nullptr);
  const std::vector<float> depth = ViewDepth(*mesh);
  ASSERT_NEAR(depth[200 * 400 + 200], 0, 1e-3);  // the front square was drawn

  brushSettings.shape = 3;  // flat: every point of the brush weighs 1
  auto push = [&](int16_t side) {
    EXPECT_TRUE(ActivateSceneObject(mesh));
    brushSettings.side = side;
    BrushStroke(mesh, kBrushRoomModeling, 200, 200, 0, 0, 0.5f, 1.0f, depth);
    std::vector<float> change;
    for (size_t i = 0; i < points.size(); ++i) {
      change.push_back(WorkPosition(*mesh, i).z - points[i].z);
    }
    return change;
  };
  const std::vector<float> front = push(brush_side::kFront);
  const std::vector<float> through = push(brush_side::kThrough);
  for (size_t i = 4; i < 8; ++i) {
    EXPECT_EQ(front[i], 0.0f) << i;
    EXPECT_LT(through[i], -1.0f) << i;
  }
  for (size_t i = 8; i < 12; ++i) EXPECT_NEAR(front[i] / through[i], 0.5f, 0.02f) << i;
}

TEST_F(Brush, AZeroWeightAtTheRimIsSkippedByThePushButVisitedByTheOthers) {
  // A point exactly R from the brush centre (zoom 1, size 1): u = 1, where shape 6 is 0.
  std::vector<Vec3f> points = {{kBrushExtentPerSize, 0, 0}, {5000, 0, 0}, {5000, 10, 0}};
  SceneObject* mesh = AddMesh(points, {{0, 1, 2}});
  ASSERT_NE(mesh, nullptr);
  mesh->optics.isPainted = 1;
  brushSettings.side = brush_side::kThrough;
  for (const int shape : {5, 6}) {
    brushSettings.shape = int16_t(shape);
    struct Case {
      int room;
      int16_t type;
      uint32_t visited;
    };
    const Case cases[] = {
        {kBrushRoomModeling, brush_type::kBrush, 0}, {kBrushRoomModeling, brush_type::kSmudge, 1},
        {kBrushRoomModeling, brush_type::kSmooth, 1}, {kBrushRoomPaint, 0, 1},
        {kBrushRoomMask, 0, 1},                   {kBrushRoomLiquify, 0, 1},
    };
    for (const Case& c : cases) {
      brushSettings.type = c.type;
      const Rgb8 paint = mesh->pointColors[0];
      const Uv uv = mesh->pointUV[0];
      Stroke(*mesh, c.room, 200, 200, 10, 0, 1.0f);
      EXPECT_EQ(brushEngine.lastDabPoints, c.visited) << "shape " << shape << " room " << c.room
                                                      << " type " << c.type;
      EXPECT_FALSE(Moved(*mesh, 0));
      EXPECT_EQ(mesh->pointColors[0].red, paint.red);
      EXPECT_EQ(mesh->pointMask[0], 255);
      EXPECT_EQ(mesh->pointUV[0].u, uv.u);
    }
  }
}

TEST_F(Brush, DegenerateZoomOrSizeDoesNothing) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const std::vector<float> depth = ViewDepth(*sphere);
  struct Case {
    float zoom, size, pressure;
  };
  const Case cases[] = {{0, 1, 0.25f},   {kNaN, 1, 0.25f}, {-1, 1, 0.25f},
                        {1, 0, 0.25f},   {1, kNaN, 0.25f}, {1, 1, kNaN},
                        {std::numeric_limits<float>::infinity(), 1, 0.25f}};
  for (const Case& c : cases) {
    sphere->views[0].zoom = c.zoom;
    for (const int16_t side : {brush_side::kFront, brush_side::kSymmetric}) {
      brushSettings.side = side;
      for (const int16_t type : {brush_type::kBrush, brush_type::kSmooth, brush_type::kNormal}) {
        brushSettings.type = type;
        BrushStroke(sphere, kBrushRoomModeling, 200, 200, 5, 5, c.pressure, c.size, depth);
      }
    }
    EXPECT_EQ(MovedCount(*sphere), 0u) << c.zoom << " " << c.size << " " << c.pressure;
  }
}

// Without a visible point on the view to pick, the normal and spheric brushes pick the last
// point: the dab pushes there, wherever the brush is. Only points on the view are ever pushed.
TEST_F(Brush, NormalAndSphericWithNoVisiblePointPickTheLastPoint) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  RefreshWorkData(*sphere);
  // A surface drawn in front of every point: nothing is visible to pick.
  const std::vector<float> wall(size_t(kViewPixelCount), 100000.0f);
  brushSettings.side = brush_side::kThrough;
  const size_t last = size_t(sphere->pointCount) - 1;
  const Vec3f lastPoint = sphere->points[last];
  for (const int16_t type : {brush_type::kNormal, brush_type::kSpheric}) {
    SCOPED_TRACE(type);
    ASSERT_TRUE(ActivateSceneObject(sphere));
    brushSettings.type = type;
    BrushStroke(sphere, kBrushRoomModeling, 60, 340, 0, 0, 0.5f, 1.0f, wall);
    // Pushed into the sphere, by about 10 / zoom x pressure at the middle of the brush.
    EXPECT_NEAR(Length(WorkPosition(*sphere, last)), Length(lastPoint) - 5.0f, 0.5f);
    // Everything moved lies under the brush about the last point's axis (the line from it
    // through the centre), not about the pointer.
    const Vec3f axis = Normalised(lastPoint);
    size_t moved = 0;
    for (size_t i = 0; i < size_t(sphere->pointCount); ++i) {
      if (!Moved(*sphere, i)) continue;
      ++moved;
      EXPECT_LT(Length(Cross(sphere->points[i], axis)), kBrushExtentPerSize + 2.0f) << i;
    }
    EXPECT_GT(moved, 10u);
  }
  // Every point off the view: the last one is picked, and nothing on the view is there to move.
  ASSERT_TRUE(ActivateSceneObject(sphere));
  sphere->views[0].centerX = 3000;
  for (const int16_t type : {brush_type::kNormal, brush_type::kSpheric}) {
    brushSettings.type = type;
    Stroke(*sphere, kBrushRoomModeling, 200, 200, 0, 0, 0.5f);
    EXPECT_EQ(MovedCount(*sphere), 0u) << type;
  }
}

TEST_F(Brush, NormalPushesAlongTheSurfaceNotTheViewAxis) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  brushSettings.type = brush_type::kNormal;
  // At 45 degrees on the equator the normal points away from the view axis.
  const float at = 128 * std::sqrt(0.5f);
  Stroke(*sphere, kBrushRoomModeling, 200 + at, 200, 0, 0, 0.5f);
  const size_t picked = Nearest(*sphere, {at, 0, at});
  const Vec3f before = sphere->points[picked], after = WorkPosition(*sphere, picked);
  const Vec3f move{after.x - before.x, after.y - before.y, after.z - before.z};
  ASSERT_GT(Length(move), 0.5f);
  // Into the sphere along its radius: both x and z shrink about equally.
  EXPECT_LT(move.x, 0);
  EXPECT_LT(move.z, 0);
  EXPECT_NEAR(move.x / move.z, 1.0f, 0.25f);
}

// ---------------------------------------------------------------- copies

// Points of the front of the sphere under the screen position (x, y) in the front view.
Vec3f FrontPointAt(float x, float y) {
  const float px = x - 200, py = 200 - y;
  return {px, py, std::sqrt(128 * 128 - px * px - py * py)};
}

TEST_F(Brush, RepeatModesTouchTheTurnedAndMirroredPlaces) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  struct Case {
    int16_t repeat;
    std::vector<std::pair<float, float>> touched;  // screen places, y down
  };
  // From (260, 230): 60 right of the centre and 30 below it.
  const float r = std::sqrt(60.0f * 60 + 30 * 30), alpha = std::atan2(30.0f, 60.0f);
  auto at = [&](float angle) {
    return std::pair<float, float>{200 + r * std::cos(angle), 200 + r * std::sin(angle)};
  };
  const float third = float(2 * std::numbers::pi / 3);
  const Case cases[] = {
      {0, {{260, 230}}},
      {3, {{260, 230}, {170, 260}, {140, 170}, {230, 140}}},
      {6, {{260, 230}, {140, 230}}},
      {8, {at(alpha), at(-alpha), at(third + alpha), at(third - alpha), at(2 * third + alpha),
           at(2 * third - alpha)}},
  };
  brushSettings.size = 32;
  for (const Case& c : cases) {
    EXPECT_TRUE(ActivateSceneObject(sphere));
    brushSettings.repeat = c.repeat;
    Stroke(*sphere, kBrushRoomModeling, 260, 230, 0, 0, 0.5f, 0.25f);  // R = 10.7 pixels
    for (const auto& [x, y] : c.touched) {
      EXPECT_TRUE(Moved(*sphere, Nearest(*sphere, FrontPointAt(x, y))))
          << "repeat " << c.repeat << " at " << x << ", " << y;
    }
    EXPECT_FALSE(Moved(*sphere, Nearest(*sphere, FrontPointAt(200, 200)))) << c.repeat;
    // Nothing beyond the copies: every moved point lies under one of them.
    for (size_t i = 0; i < size_t(sphere->pointCount); ++i) {
      if (!Moved(*sphere, i)) continue;
      const PointWork& w = (*sphere->pointWork)[i];
      bool under = false;
      for (const auto& [x, y] : c.touched) {
        const float dx = float(w.sx) - x, dy = float(399 - w.sy) - y;
        under = under || dx * dx + dy * dy < 14 * 14;
      }
      ASSERT_TRUE(under) << "repeat " << c.repeat << " moved point " << i;
    }
  }
}

// Dabs on a large mesh look only at the points in the tiles near the brush (and those moved
// since the tiles were made); they must find exactly the points a walk over every point finds, in
// the same order. Random strokes of every brush type, room, side, shape and size, with and
// without spacing, repeats and tilt, end with the same positions, paint, mask and texture
// coordinates, and weigh the same number of points, either way.
TEST_F(Brush, TiledDabsEqualDabsOverEveryPoint) {
  struct Outcome {
    std::vector<float> positions;
    std::vector<Rgb8> colours;
    std::vector<uint8_t> mask;
    std::vector<Uv> uv;
    uint64_t weighed = 0;
  };
  auto run = [&](uint32_t tilesFrom) {
    ResetBrushEngine();
    brushEngine.pointTilesFrom = tilesFrom;
    SceneObject* sphere = AddSphere();
    EXPECT_TRUE(sphere != nullptr && PrepareBrushEngine());
    Outcome outcome;
    if (sphere == nullptr) return outcome;
    for (size_t i = 0; i < sphere->pointMask.size(); ++i) sphere->pointMask[i] = uint8_t(i * 37);
    std::mt19937 random(11);
    std::srand(5);  // the randomised shape draws from the C generator
    auto pick = [&](int n) { return int(random() % uint32_t(n)); };
    const int rooms[] = {kBrushRoomModeling, kBrushRoomModeling, kBrushRoomModeling, kBrushRoomPaint,
                         kBrushRoomMask, kBrushRoomLiquify};
    for (int stroke = 0; stroke < 48; ++stroke) {
      brushSettings.type = int16_t(pick(5));
      brushSettings.side = int16_t(pick(3));
      brushSettings.shape = int16_t(1 + pick(26));
      brushSettings.spacing = int16_t(pick(2) != 0 ? 256 : 96);
      brushSettings.repeat = int16_t(pick(4) == 0 ? 6 : 0);
      brushSettings.tilt = pick(5) == 0 ? std::array<int16_t, 2>{40, 90} : std::array<int16_t, 2>{0, 0};
      const int room = rooms[pick(6)];
      const float x = float(120 + pick(160)), y = float(120 + pick(160));
      const float size = 0.3f + float(pick(30)) / 10.0f, pressure = (pick(2) != 0 ? 0.3f : -0.3f);
      for (int segment = 0; segment < 3; ++segment) {
        Stroke(*sphere, room, x + float(6 * segment), y, 6, float(pick(5)) - 2.0f, pressure, size);
        outcome.weighed += brushEngine.lastDabPoints;
      }
    }
    for (const PointWork& w : *sphere->pointWork) outcome.positions.insert(outcome.positions.end(), {w.x, w.y, w.z});
    outcome.positions.resize(size_t(sphere->pointCount) * 3);
    outcome.colours = sphere->pointColors;
    outcome.mask = sphere->pointMask;
    outcome.uv = sphere->pointUV;
    return outcome;
  };
  const Outcome tiled = run(0);
  ASSERT_FALSE(HasFailure());
  EXPECT_GT(brushEngine.tiles.projection, 0u) << "the tiles were used";
  DisposeSceneObject(scene.objectTable[size_t(scene.currentObjectIndex)]);
  const Outcome whole = run(UINT32_MAX);
  EXPECT_EQ(brushEngine.tiles.projection, 0u);
  EXPECT_GT(tiled.weighed, 0u);
  EXPECT_EQ(tiled.weighed, whole.weighed);
  EXPECT_TRUE(tiled.positions == whole.positions);
  EXPECT_TRUE(tiled.colours == whole.colours);
  EXPECT_TRUE(tiled.mask == whole.mask);
  EXPECT_TRUE(tiled.uv == whole.uv);
}

TEST_F(Brush, SymmetricStrokesReachTheMirrorImageInAnyView) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  brushSettings.side = brush_side::kSymmetric;

  // Front view: the brush right of the centre; its mirror image lies left of it.
  Stroke(*sphere, kBrushRoomModeling, 260, 200, 0, 0, 0.5f, 0.5f);
  EXPECT_EQ(brushEngine.changedRect.left, 0);
  EXPECT_EQ(brushEngine.changedRect.right, kViewSide);
  const size_t right = Nearest(*sphere, FrontPointAt(260, 200));
  const size_t left = Nearest(*sphere, FrontPointAt(140, 200));
  ASSERT_TRUE(Moved(*sphere, right));
  ASSERT_TRUE(Moved(*sphere, left));
  EXPECT_LT(WorkPosition(*sphere, left).z, sphere->points[left].z);
  EXPECT_NEAR(WorkPosition(*sphere, left).z - sphere->points[left].z,
              WorkPosition(*sphere, right).z - sphere->points[right].z, 0.5f);

  // Side view 4 (turned pi/2 about y): the user sees the -x side, the mirror image is the +x
  // side, hidden behind the object.
  sphere->currentView = 4;
  EXPECT_TRUE(ActivateSceneObject(sphere));
  Stroke(*sphere, kBrushRoomModeling, 260, 200, 0, 0, 0.5f, 0.5f);
  const float side = std::sqrt(128.0f * 128 - 60 * 60);
  const size_t seen = Nearest(*sphere, {-side, 0, 60});
  const size_t mirrored = Nearest(*sphere, {side, 0, 60});
  EXPECT_TRUE(Moved(*sphere, seen));
  EXPECT_TRUE(Moved(*sphere, mirrored));
  EXPECT_GT(WorkPosition(*sphere, seen).x, sphere->points[seen].x);      // pushed in
  EXPECT_LT(WorkPosition(*sphere, mirrored).x, sphere->points[mirrored].x);  // its mirror too
  EXPECT_FALSE(Moved(*sphere, Nearest(*sphere, {-side, 0, -60})));
  EXPECT_FALSE(Moved(*sphere, Nearest(*sphere, {side, 0, -60})));
}

TEST_F(Brush, SymmetricSmudgeMovesTheMirrorImageByTheMirroredMotion) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  brushSettings.side = brush_side::kSymmetric;
  brushSettings.type = brush_type::kSmudge;
  Stroke(*sphere, kBrushRoomModeling, 260, 200, 20, 0, 0.5f, 0.5f);
  const size_t right = Nearest(*sphere, FrontPointAt(260, 200));
  const size_t left = Nearest(*sphere, FrontPointAt(140, 200));
  EXPECT_GT(WorkPosition(*sphere, right).x, sphere->points[right].x);
  EXPECT_LT(WorkPosition(*sphere, left).x, sphere->points[left].x);
}

// ---------------------------------------------------------------- rooms

TEST_F(Brush, PaintBlendsTheColourByOpacityMaskAndPen) {
  std::vector<Vec3f> points = {{0, 0, 0}, {5000, 0, 0}, {5000, 10, 0}};
  SceneObject* mesh = AddMesh(points, {{0, 1, 2}});
  ASSERT_NE(mesh, nullptr);
  brushSettings.shape = 3;
  brushSettings.side = brush_side::kThrough;
  brushSettings.paintColour = {0xFFFF, 0x80FF, 0x0000};
  brushSettings.alternateColour = {0x1000, 0x2000, 0x3000};
  struct Case {
    uint8_t mask;
    float pressure;
    bool eraserEnd;
    int alpha;
    bool altHeld = false;
  };
  const Case cases[] = {
      {255, 0.5f, false, 128}, {255, -0.5f, false, 128}, {128, 0.5f, false, 64},
      {255, 1.0f, false, 256}, {255, 2.0f, false, 256},  {0, 1.0f, false, 0},
      {255, 0.0f, false, 0},   {255, 0.5f, true, 128},   {255, 0.5f, false, 128, true},
  };
  for (const Case& c : cases) {
    mesh->pointColors[0] = {10, 100, 200};
    mesh->pointMask[0] = c.mask;
    mesh->dirtyFlags = 0;
    ResetTablet();
    if (c.eraserEnd) ReportTabletPacket({true, true, 1.0f, 0, 0, kTabletCursorEraser});
    input.modifiers = c.altHeld ? kAltBit : 0;
    Stroke(*mesh, kBrushRoomPaint, 200, 200, 0, 0, c.pressure);
    input.modifiers = 0;
    const Rgb8 target = c.eraserEnd || c.altHeld ? Rgb8{0x10, 0x20, 0x30} : Rgb8{0xFF, 0x80, 0x00};
    const Rgb8& got = mesh->pointColors[0];
    EXPECT_EQ(got.red, (10 * (256 - c.alpha) + target.red * c.alpha) >> 8) << c.pressure;
    EXPECT_EQ(got.green, (100 * (256 - c.alpha) + target.green * c.alpha) >> 8) << c.pressure;
    EXPECT_EQ(got.blue, (200 * (256 - c.alpha) + target.blue * c.alpha) >> 8) << c.pressure;
    if (c.alpha > 0) {
      EXPECT_TRUE(mesh->dirtyFlags & kDirtyPointPaint);
    }
  }
}

TEST_F(Brush, MaskBrushFreesOrProtectsWhateverTheMaskWas) {
  std::vector<Vec3f> points = {{0, 0, 0}, {5000, 0, 0}, {5000, 10, 0}};
  SceneObject* mesh = AddMesh(points, {{0, 1, 2}});
  ASSERT_NE(mesh, nullptr);
  brushSettings.shape = 3;
  brushSettings.side = brush_side::kThrough;
  struct Case {
    int16_t erase;
    uint8_t before;
    float pressure;
    uint8_t after;
  };
  const Case cases[] = {
      {kMaskEraseOn, 255, 0.5f, 127},  // toward 0
      {kMaskEraseOn, 255, 1.0f, 0},
      {0, 0, 0.5f, 127},               // a protected point can be freed again
      {0, 0, 1.0f, 255},
      {1, 100, 0.25f, (100 * 192 + 255 * 64) >> 8},  // only 2 erases
  };
  for (const Case& c : cases) {
    brushSettings.maskErase = c.erase;
    mesh->pointMask[0] = c.before;
    Stroke(*mesh, kBrushRoomMask, 200, 200, 0, 0, c.pressure);
    EXPECT_EQ(mesh->pointMask[0], c.after) << c.erase << " " << int(c.before);
  }
}

TEST_F(Brush, LiquifyMovesTheTextureAgainstTheStroke) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const std::vector<Uv> before = sphere->pointUV;
  sphere->dirtyFlags = 0;
  Stroke(*sphere, kBrushRoomLiquify, 200, 200, 10, 4, 0.5f);
  const size_t pole = Nearest(*sphere, {0, 0, 128});
  EXPECT_LT(sphere->pointUV[pole].u, before[pole].u);
  EXPECT_LT(sphere->pointUV[pole].v, before[pole].v);
  EXPECT_EQ(MovedCount(*sphere), 0u);
  EXPECT_EQ(sphere->dirtyFlags & kDirtyTextureCoordinates, kDirtyTextureCoordinates);
}

TEST_F(Brush, HeightMapFusionFollowsTheUprightPicture) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  brushSettings.shape = 3;
  // Without a map nothing happens.
  Stroke(*sphere, kBrushRoomHeightMap, 200, 150, 0, 0, 0.5f);
  EXPECT_EQ(MovedCount(*sphere), 0u);

  // 4 x 4, stored bottom-up: the bottom two rows black, the top two white.
  HeightMap& map = brushSettings.heightMap;
  map.width = 4;
  map.height = 4;
  map.bytes = {0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255};
  auto pushAt = [&](float y) {
    EXPECT_TRUE(ActivateSceneObject(sphere));
    Stroke(*sphere, kBrushRoomHeightMap, 200, y, 0, 0, 0.5f);
    const size_t i = Nearest(*sphere, FrontPointAt(200, y));
    return WorkPosition(*sphere, i).z - sphere->points[i].z;
  };
  const float top = pushAt(150), bottom = pushAt(250);
  ASSERT_LT(top, -0.5f);
  EXPECT_NEAR(bottom / top, std::exp(-kHeightMapFusionContrast), 0.01f);
  // The level lifts black to white.
  map.level = 128 + 255;
  EXPECT_NEAR(pushAt(250) / top, 1.0f, 0.02f);
  // A map of one cell is read at that cell wherever the point lies.
  map = HeightMap{1, 1, {255}, 128, 0};
  EXPECT_NEAR(pushAt(250) / top, 1.0f, 0.02f);
}

TEST_F(Brush, MorphFusionPushesOnlyWhereTheMorphObjectIsDrawn) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  brushSettings.shape = 3;
  brushSettings.fusionSide = kFusionSideRight;
  MorphFusionSource& right = brushSettings.morphObjects[1];
  right.depthBuffer.assign(size_t(kViewPixelCount), kEmptyDepth);
  for (int row = 0; row < kViewSide; ++row) {
    for (int column = 0; column < 200; ++column) right.depthBuffer[size_t(row * 400 + column)] = 10;
  }
  right.depthMin = 10;
  right.depthMax = 10;  // an empty range: nothing
  Stroke(*sphere, kBrushRoomMorph, 200, 200, 0, 0, 0.5f);
  EXPECT_EQ(MovedCount(*sphere), 0u);

  right.depthMax = 20;
  Stroke(*sphere, kBrushRoomMorph, 200, 200, 0, 0, 0.5f);
  ASSERT_GT(MovedCount(*sphere), 0u);
  for (size_t i = 0; i < size_t(sphere->pointCount); ++i) {
    if (Moved(*sphere, i)) {
      ASSERT_LT((*sphere->pointWork)[i].sx, 200) << i;
    }
  }
  // The left object is absent.
  EXPECT_TRUE(ActivateSceneObject(sphere));
  brushSettings.fusionSide = kFusionSideLeft;
  Stroke(*sphere, kBrushRoomMorph, 200, 200, 0, 0, 0.5f);
  EXPECT_EQ(MovedCount(*sphere), 0u);
}

// Points far out or not numbers are off the view: no dab, side or repeat mode touches them, and
// nothing on the way turns them into an undefined integer. The square among them (and the deep
// corner on the view) takes the push as always.
TEST_F(Brush, FarAndDamagedPointsAreLeftAloneByEveryDab) {
  SceneObject* object = AddMesh(FarAndDamagedPoints(), FarAndDamagedTriangles());
  ASSERT_NE(object, nullptr);
  brushSettings.heightMap = HeightMap{2, 2, {0, 80, 160, 255}, 128, 0};
  const std::vector<float> depth = ViewDepth(*object);
  for (MorphFusionSource& source : brushSettings.morphObjects) {
    source.depthBuffer = depth;
    source.depthMin = -50;
    source.depthMax = 50;
  }
  Stroke(*object, kBrushRoomModeling, 200, 200, 0, 0, 0.5f, 2.0f);
  for (size_t corner = 0; corner < 4; ++corner) EXPECT_TRUE(Moved(*object, corner)) << corner;

  struct RoomType {
    int room;
    int16_t type;
  };
  const RoomType strokes[] = {
      {kBrushRoomModeling, brush_type::kBrush},  {kBrushRoomModeling, brush_type::kSmudge},
      {kBrushRoomModeling, brush_type::kSmooth}, {kBrushRoomModeling, brush_type::kSpheric},
      {kBrushRoomModeling, brush_type::kNormal}, {kBrushRoomHeightMap, brush_type::kBrush},
      {kBrushRoomMorph, brush_type::kBrush},     {kBrushRoomPaint, brush_type::kBrush},
      {kBrushRoomLiquify, brush_type::kBrush},   {kBrushRoomMask, brush_type::kBrush}};
  for (const int16_t side : {brush_side::kFront, brush_side::kThrough, brush_side::kSymmetric}) {
    for (const int16_t repeat : {0, 5, 9}) {
      for (const RoomType& stroke : strokes) {
        brushSettings.side = side;
        brushSettings.repeat = repeat;
        brushSettings.type = stroke.type;
        brushSettings.spacing = 64;
        Stroke(*object, stroke.room, 190, 210, 25, -10, 0.5f, 2.0f);
        // The dab at a pointer far off the view reaches nothing, but picks and measures all the same.
        BrushDab(DabKindOf(stroke.room, stroke.type), object, 1e30f, -1e30f, 3, 4, 0.5f, 2.0f, depth);
      }
    }
  }
  const PointWork* work = object->pointWork->data();
  EXPECT_EQ(work[4].x, 1e30f);
  EXPECT_EQ(work[4].y, 1e30f);
  EXPECT_EQ(work[5].z, -1e30f);
  EXPECT_TRUE(std::isnan(work[6].x) && std::isnan(work[6].y) && std::isnan(work[6].z));

  // A whole session over it: its refreshes, redraw rectangles and redraws.
  brushSettings.side = brush_side::kSymmetric;
  brushSettings.type = brush_type::kBrush;
  ASSERT_TRUE(BeginStroke(kBrushRoomModeling, 200, 200));
  ContinueStroke(200, 200, 20, 5);
  ContinueStroke(220, 205, -40, 0);
  EndStroke();
  EXPECT_EQ(object->points[4].x, 1e30f);
  EXPECT_TRUE(std::isnan(object->points[6].y));
}

TEST_F(Brush, MovedPointsKeepTheirObjectPositionAndDepthInStep) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  sphere->currentView = 2;  // turned, so the inverse rotation matters
  EXPECT_TRUE(ActivateSceneObject(sphere));
  brushSettings.type = brush_type::kSmudge;
  Stroke(*sphere, kBrushRoomModeling, 210, 190, 15, 5, 0.5f);
  ASSERT_GT(MovedCount(*sphere), 0u);
  const std::array<float, 9> r = ViewRotationMatrix(sphere->views[2].angles);
  for (size_t i = 0; i < size_t(sphere->pointCount); ++i) {
    const PointWork& w = (*sphere->pointWork)[i];
    ASSERT_NEAR(r[6] * w.x + r[7] * w.y + r[8] * w.z, w.vz, 1e-3) << i;
    ASSERT_NEAR(w.depth, w.vz * sphere->views[2].zoom, 1e-3) << i;
  }
  // Every triangle of a moved point is marked changed and inside the changed rectangle.
  const ClipRect rect = brushEngine.changedRect;
  ASSERT_LT(rect.left, rect.right);
  size_t marked = 0;
  for (size_t t = 0; t < size_t(sphere->triangleCount); ++t) {
    marked += (*sphere->triangleWork)[t].flags;
  }
  EXPECT_GT(marked, 0u);
  EXPECT_LT(marked, size_t(sphere->triangleCount) / 4);
}

// ---------------------------------------------------------------- session

TEST_F(Brush, TheSessionRecordsItsSegmentsAndCommitsOnRelease) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const std::vector<Vec3f> before = sphere->points;
  int presented = 0;
  brushSession.present = [&](const ClipRect& rect) {
    ++presented;
    EXPECT_LE(rect.right, kViewSide);
  };
  ASSERT_TRUE(BeginStroke(kBrushRoomModeling, 180, 200));
  ContinueStroke(180, 200, 10, 0);
  ContinueStroke(190, 200, 10, -3);
  ContinueStroke(200, 197, 5, 1);
  EXPECT_EQ(presented, 3);
  EXPECT_TRUE(SamePosition(sphere->points[0], before[0]));  // not committed yet
  EndStroke();
  ASSERT_EQ(steps.size(), 4u);
  const uint16_t codes[] = {TaskStepCode("BR"), TaskStepCode("BS"), TaskStepCode("BS"),
                            TaskStepCode("BE")};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(steps[i].code, codes[i]) << i;
  EXPECT_EQ(steps[0].value1, 180);
  EXPECT_EQ(steps[0].value2, 200);
  EXPECT_EQ(steps[0].value3, 10);
  EXPECT_EQ(steps[0].value4, 0);
  EXPECT_EQ(steps[1].value1, 190);
  EXPECT_EQ(steps[1].value4, -3);
  EXPECT_EQ(steps[2].value3, 5);
  EXPECT_FALSE(brushSession.active);
  EXPECT_EQ(sphere->hasUnsavedChanges, 1);
  size_t changed = 0;
  for (size_t i = 0; i < before.size(); ++i) {
    changed += SamePosition(sphere->points[i], before[i]) ? 0 : 1;
  }
  EXPECT_GT(changed, 10u);

  // A press without motion records and commits nothing.
  steps.clear();
  ASSERT_TRUE(BeginStroke(kBrushRoomModeling, 100, 100));
  EndStroke();
  EXPECT_TRUE(steps.empty());
}

TEST_F(Brush, TheSessionsRedrawRectangleCoversThePushButNotTheWholeView) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  ASSERT_TRUE(BeginStroke(kBrushRoomModeling, 200, 200));
  ContinueStroke(200, 200, 3, 0);
  const ClipRect rect = brushSession.redrawRect;
  EXPECT_LT(rect.left, 200);
  EXPECT_GT(rect.right, 200);
  EXPECT_LT(rect.right - rect.left, 150);
  EXPECT_GT(rect.right - rect.left, 40);
  // Smudge moves points sideways: the whole view.
  brushSettings.type = brush_type::kSmudge;
  ContinueStroke(203, 200, 3, 0);
  EXPECT_EQ(brushSession.redrawRect.left, 0);
  EXPECT_EQ(brushSession.redrawRect.bottom, kViewSide);
  // A motion the spacing puts no dab on leaves the view alone.
  int presented = 0;
  brushSession.present = [&](const ClipRect&) { ++presented; };
  brushSettings.spacing = 128;
  ContinueStroke(206, 200, 2, 0);  // the accumulator stood at 0: a dab
  ContinueStroke(208, 200, 2, 0);  // 2 - 43.9 + 2 < 0: none
  EXPECT_EQ(presented, 1);
  EXPECT_GE(brushSession.redrawRect.left, brushSession.redrawRect.right);
  EndStroke();
}

// A segment from the records the stroke kept projects nothing: its dabs start from them, its
// refresh reprojects only the corners it moved and its redraw takes them over. Without kept
// records (something projected since), a segment that moved points is projected by its dabs and
// its refresh, and the redraw takes that projection over; a segment that only painted leaves the
// projecting to its redraw. Either way the picture is the one a redraw of its own makes.
TEST_F(Brush, ASegmentsRedrawTakesTheProjectionOfItsRefresh) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  toolState.drawOptions.lightAngles = {0.2f, -0.5f, 0.1f};
  struct Case {
    int room;
    bool kept;
    uint64_t byRefresh, byRedraw;  // projections after the dabs'
  };
  const Case cases[] = {
      {kBrushRoomModeling, true, 0, 0},
      {kBrushRoomPaint, true, 0, 0},
      {kBrushRoomModeling, false, 1, 1},
      {kBrushRoomPaint, false, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "room " << c.room << " kept " << c.kept);
    ASSERT_TRUE(BeginStroke(c.room, 200, 200));
    if (!c.kept) ForgetBrushRecords();
    const uint64_t before = renderState.projectionPasses;
    BrushStroke(sphere, c.room, 200, 200, 4, 0, 0.5f, 1.0f, renderState.depthBuffer);
    EXPECT_EQ(brushEngine.segmentFromKept, c.kept);
    const uint64_t afterDabs = renderState.projectionPasses;
    EXPECT_EQ(afterDabs - before, c.kept ? 0u : 1u);
    EXPECT_GT(SegmentRedrawRect(*sphere, c.room).right, 0);
    const uint64_t afterRefresh = renderState.projectionPasses;
    ASSERT_TRUE(RedrawAfterSegment(*sphere, c.room));
    const uint64_t afterRedraw = renderState.projectionPasses;
    EXPECT_EQ(afterRefresh - afterDabs, c.byRefresh);
    EXPECT_EQ(afterRedraw - afterDabs, c.byRedraw);

    const std::vector<uint32_t> drawn = renderState.viewPicture;
    SoftDrawOptions options = toolState.drawOptions;
    options.maskRoom = false;
    ASSERT_TRUE(SoftDraw(sphere, options));
    EXPECT_EQ(renderState.viewPicture, drawn);
    EndStroke();
  }
}

// Segments after the first start from the records the segment before left, refresh only the
// triangles they marked and redraw only the changed part of the view. Random strokes of every
// room, type, side and shape (on a mesh looked at through the tiles) end with the records, the
// depth buffer and the picture of segments that project, refresh and redraw everything.
TEST_F(Brush, SegmentsFromKeptRecordsEqualSegmentsFromScratch) {
  struct Outcome {
    std::vector<PointWork> records;
    std::vector<float> depth;
    std::vector<uint32_t> picture;
    std::vector<Rgb8> colours;
    std::vector<uint8_t> mask;
    std::vector<Uv> uv;
    uint64_t partialRefreshes = 0;
    uint64_t partialRedraws = 0;
    std::vector<uint64_t> views;  // a hash of the picture and depth buffer after every segment
  };
  auto hash = [](const auto& values, uint64_t h) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(values.data());
    for (size_t i = 0; i < values.size() * sizeof(values[0]); ++i) h = (h ^ bytes[i]) * 1099511628211u;
    return h;
  };
  auto run = [&](bool keep) {
    ResetBrushEngine();
    brushEngine.pointTilesFrom = 0;
    brushSession.partialRedrawFrom = 0;
    SceneObject* sphere = AddSphere();
    EXPECT_TRUE(sphere != nullptr && PrepareBrushEngine());
    Outcome outcome;
    if (sphere == nullptr) return outcome;
    std::mt19937 random(23);
    std::srand(9);
    auto pick = [&](int n) { return int(random() % uint32_t(n)); };
    const int rooms[] = {kBrushRoomModeling, kBrushRoomModeling, kBrushRoomModeling, kBrushRoomPaint,
                         kBrushRoomMask, kBrushRoomLiquify};
    for (int stroke = 0; stroke < 24; ++stroke) {
      brushSettings.type = int16_t(pick(5));
      brushSettings.side = int16_t(pick(3));
      brushSettings.shape = int16_t(1 + pick(26));
      brushSettings.spacing = int16_t(pick(2) != 0 ? 256 : 200);
      brushSettings.size = int16_t(16 + pick(160));
      brushSettings.depth = int16_t(pick(2) != 0 ? 80 : 176);
      const int room = rooms[pick(6)];
      const int x = 120 + pick(160), y = 120 + pick(160);
      EXPECT_TRUE(BeginStroke(room, x, y));
      for (int segment = 0; segment < 5; ++segment) {
        if (!keep) ForgetBrushRecords();
        const uint64_t before = renderState.projectionPasses;
        ContinueStroke(x + 6 * segment, y, 6, pick(5) - 2);
        outcome.partialRefreshes += brushEngine.segmentFromKept ? 1 : 0;
        // Triangles noted as changed since the bins were built: the view was drawn in part.
        outcome.partialRedraws += renderState.bins.changedList.empty() ? 0 : 1;
        outcome.views.push_back(hash(renderState.depthBuffer, hash(renderState.viewPicture, 14695981039346656037u)));
        // A kept segment neither projects for its dabs nor for its refresh or redraw.
        if (keep && brushEngine.segmentFromKept && brushSettings.side != brush_side::kSymmetric) {
          EXPECT_EQ(renderState.projectionPasses, before);
        }
      }
      EndStroke();
    }
    outcome.records.assign(sphere->pointWork->begin(), sphere->pointWork->begin() + sphere->pointCount);
    outcome.depth = renderState.depthBuffer;
    outcome.picture = renderState.viewPicture;
    outcome.colours = sphere->pointColors;
    outcome.mask = sphere->pointMask;
    outcome.uv = sphere->pointUV;
    return outcome;
  };
  const Outcome kept = run(true);
  ASSERT_FALSE(HasFailure());
  DisposeSceneObject(scene.objectTable[size_t(scene.currentObjectIndex)]);
  const Outcome scratch = run(false);
  EXPECT_GT(kept.partialRefreshes, 24u);
  EXPECT_GT(kept.partialRedraws, 24u);
  EXPECT_EQ(scratch.partialRefreshes, 0u);
  EXPECT_EQ(scratch.partialRedraws, 0u);
  ASSERT_EQ(kept.records.size(), scratch.records.size());
  EXPECT_EQ(std::memcmp(kept.records.data(), scratch.records.data(), kept.records.size() * sizeof(PointWork)), 0);
  EXPECT_TRUE(kept.depth == scratch.depth);
  EXPECT_TRUE(kept.picture == scratch.picture);
  EXPECT_TRUE(kept.views == scratch.views);
  EXPECT_TRUE(kept.colours == scratch.colours);
  EXPECT_TRUE(kept.mask == scratch.mask);
  EXPECT_TRUE(kept.uv == scratch.uv);
}

TEST_F(Brush, TheFirstPaintStrokeMakesTheObjectPaintedOnce) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  ASSERT_EQ(sphere->optics.isPainted, 0);
  ASSERT_TRUE(BeginStroke(kBrushRoomPaint, 200, 200));
  EXPECT_EQ(sphere->optics.isPainted, 1);
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].code, TaskStepCode("CP"));
  EXPECT_EQ(steps[0].value1, 1);
  EXPECT_EQ(sphere->hasUnsavedChanges, 1);  // committed
  brushSettings.depth = 0;  // fully opaque
  brushSettings.shape = 3;
  brushSettings.paintColour = {0x2000, 0x2000, 0x2000};
  const size_t pole = Nearest(*sphere, {0, 0, 128});
  const Rgb8 before = sphere->pointColors[pole];
  ContinueStroke(200, 200, 4, 0);
  EndStroke();
  EXPECT_NEAR(sphere->pointColors[pole].blue, 0x20, 2);  // dark grey over the default colour
  EXPECT_GT(before.blue, 0x40);
  steps.clear();
  ASSERT_TRUE(BeginStroke(kBrushRoomPaint, 200, 200));
  EndStroke();
  EXPECT_TRUE(steps.empty());
  // The modeling room never switches.
  sphere->optics.isPainted = 0;
  ASSERT_TRUE(BeginStroke(kBrushRoomModeling, 200, 200));
  EndStroke();
  EXPECT_EQ(sphere->optics.isPainted, 0);
}

TEST_F(Brush, AStrokeIsUndoneByCtrlZ) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const std::vector<Vec3f> before = sphere->points;
  brushSettings.spacing = 64;
  ASSERT_TRUE(BeginStroke(kBrushRoomModeling, 150, 200));
  for (int k = 0; k < 10; ++k) ContinueStroke(150 + 10 * k, 200, 10, 0);
  EndStroke();
  const std::vector<Vec3f> stroked = sphere->points;
  size_t changed = 0;
  for (size_t i = 0; i < before.size(); ++i) changed += SamePosition(stroked[i], before[i]) ? 0 : 1;
  ASSERT_GT(changed, 50u);

  UndoRedo();
  for (size_t i = 0; i < before.size(); ++i) {
    ASSERT_LT(Distance(sphere->points[i], before[i]), 1e-3f) << i;
  }
  UndoRedo();
  for (size_t i = 0; i < before.size(); ++i) {
    ASSERT_LT(Distance(sphere->points[i], stroked[i]), 1e-3f) << i;
  }
}

TEST_F(Brush, AMaskStrokeIsUndoneByCtrlZ) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  std::fill(sphere->pointMask.begin(), sphere->pointMask.end(), uint8_t(0));
  CommitObjectChange(sphere, scene.workObject.get());
  const std::vector<uint8_t> before = sphere->pointMask;
  brushSettings.spacing = 64;
  brushSettings.depth = 0;  // full opacity
  ASSERT_TRUE(BeginStroke(kBrushRoomMask, 150, 200));
  for (int k = 0; k < 10; ++k) ContinueStroke(150 + 10 * k, 200, 10, 0);
  EndStroke();
  const std::vector<uint8_t> stroked = sphere->pointMask;
  ASSERT_NE(stroked, before);
  UndoRedo();
  EXPECT_EQ(sphere->pointMask, before);
  UndoRedo();
  EXPECT_EQ(sphere->pointMask, stroked);
}

TEST_F(Brush, WithoutACurrentObjectNoStrokeBegins) {
  EXPECT_FALSE(BeginStroke(kBrushRoomModeling, 10, 10));
  ContinueStroke(10, 10, 5, 5);
  EndStroke();
  EXPECT_TRUE(steps.empty());
}

TEST_F(Brush, PressureAndSizeComeFromTheSettingsUnlessAPenIsNear) {
  EXPECT_FALSE(QueryTablet().present);
  brushSettings.depth = 96;
  brushSettings.size = 64;
  EXPECT_FLOAT_EQ(StrokePressure(), 0.25f);
  EXPECT_FLOAT_EQ(StrokeSize(), 0.5f);
  preferences.tabletFlags = 1 | 2;
  ReportTabletPacket({true, true, 0.5f, 0, 0, kTabletCursorPen});
  EXPECT_FLOAT_EQ(StrokePressure(), 0.125f);
  EXPECT_FLOAT_EQ(StrokeSize(), 0.25f);
  ReportTabletPacket({true, false, 0.5f, 0, 0, kTabletCursorPen});  // pen away
  EXPECT_FLOAT_EQ(StrokePressure(), 0.25f);
  ReportTabletPacket({true, true, kNaN, 0, 0, kTabletCursorPen});
  EXPECT_EQ(QueryTablet().pressure, 0.0f);
}

TEST_F(Brush, StrokeNamesFollowRoomTypeAndFusionSide) {
  struct Case {
    int room, type, side;
    StringId name;
  };
  const Case cases[] = {
      {1, 0, 0, kBrushSession},          {1, 1, 0, kBrushSmudgeSession},
      {1, 2, 0, kBrushSmoothSession},    {1, 3, 0, kBrushSphericSession},
      {1, 4, 0, kBrushNormalSession},    {4, 3, 0, kBrushPaintSession},
      {8, 0, 0, kBrushLiquifySession},   {2, 0, 0, kBrushHeightMapSession},
      {3, 0, 0, kBrushLeftMorphFusion},  {3, 0, 1, kBrushRightMorphFusion},
      {10, 2, 0, kBrushSmoothSession},
  };
  for (const Case& c : cases) EXPECT_EQ(BrushSessionName(c.room, c.type, c.side).id, c.name.id);
  EXPECT_EQ(BrushRepeatModeName(6).id, kBrushRepeatMirror.id);
  EXPECT_EQ(BrushRepeatModeName(40).id, kBrushRepeatNone.id);
}

}  // namespace
}  // namespace tsv::test
