// quorvels_test.cpp: the ball list, the set file, the field, the surface extraction (closed,
// consistently wound bodies on the analytic surface), the generated object and the preview.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <numeric>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/byte_order.h"
#include "platform/events.h"
#include "platform/file_spec.h"
#include "platform/platform_state.h"
#include "platform/scripted_services.h"
#include "scene/object_table.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "tests/support/reset_all_state.h"
#include "tests/support/temp_dir.h"
#include "tools/quorvels.h"

namespace tsv::test {
namespace {

const std::string kCouldntPerform = "Error: Couldn't perform operation.";

class Quorvels : public testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
  }
  void TearDown() override { ResetAllState(); }
  std::vector<std::string> Stops() const { return services.Texts(ShownKind::Stop); }

  ScriptedServices services;
};

// The radius at which a lone ball's field meets threshold t (q = (w - 0.11111 t) / (w + t)).
float SurfaceRadius(float r1, float w, float t) { return r1 * std::sqrt((w - 0.11111f * t) / (w + t)); }

struct MeshShape {
  bool closed = true;            // every edge in exactly two triangles, wound oppositely
  bool repeatsCorner = false;    // a triangle naming one point twice
  int bodies = 0;                // connected pieces
  bool duplicatePoints = false;  // two points at the same spot
  double volume = 0;             // signed: positive when the triangles face outward
};

MeshShape ShapeOf(const std::vector<Vec3f>& points, const std::vector<Triangle>& triangles) {
  MeshShape s;
  std::map<std::pair<uint32_t, uint32_t>, int> directed;
  std::vector<uint32_t> parent(points.size());
  std::iota(parent.begin(), parent.end(), 0u);
  auto find = [&](uint32_t p) {
    while (parent[p] != p) p = parent[p] = parent[parent[p]];
    return p;
  };
  for (const Triangle& t : triangles) {
    if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2]) s.repeatsCorner = true;
    for (int c = 0; c < 3; ++c) {
      ++directed[{t[c], t[(c + 1) % 3]}];
      parent[find(t[c])] = find(t[(c + 1) % 3]);
    }
    const Vec3f a = points[t[0]], b = points[t[1]], c = points[t[2]];
    s.volume += double(Dot(a, Cross(b, c))) / 6.0;
  }
  for (const auto& [edge, count] : directed) {
    const auto back = directed.find({edge.second, edge.first});
    if (count != 1 || back == directed.end() || back->second != 1) s.closed = false;
  }
  std::set<uint32_t> roots;
  for (uint32_t p = 0; p < points.size(); ++p) roots.insert(find(p));
  s.bodies = int(roots.size());
  std::set<std::tuple<float, float, float>> seen;
  for (const Vec3f& p : points) s.duplicatePoints |= !seen.insert({p.x, p.y, p.z}).second;
  return s;
}

MeshShape ExtractedShape() { return ShapeOf(quorvelState.grid.points, quorvelState.grid.triangles); }

TEST_F(Quorvels, FieldOfALoneBallRunsFromHundredAtTheCentreToNothingAtItsReach) {
  quorvelState.threshold = 0;
  // Stretched along a turned axis: r1 = 50 along it, r1 r2 = 100 across it.
  const Vec3f axis = Normalised({1, 1, 0});
  const Vec3f across = Normalised({1, -1, 0});
  quorvelState.balls = {MakeBall({10, 20, 30}), MakeBall({500, 0, 0}, 50, 2, axis)};
  const Vec3f second{500, 0, 0};
  struct Case {
    Vec3f p;
    float expected;
  } cases[] = {
      {{10, 20, 30}, 100.0f},                 // the centre: w / 0.11111
      {{10, 120, 30}, 0.0f},                  // q = 1 exactly
      {{10, 20, 131}, 0.0f},                  // beyond the reach
      {second + axis * 50.0f, 0.0f},          // along the axis at r1
      {second + across * 99.99f, 0.0f},       // across it at r1 r2
      {second + axis * 25.0f, kNewBallStrength * 0.75f / 0.36111f},
  };
  for (const Case& c : cases) EXPECT_NEAR(MetaballField(c.p), c.expected, 0.02f) << c.p.x << " " << c.p.y;
  EXPECT_GT(MetaballField(second + across * 90.0f), 1.0f);  // inside across where the axis would end it
  quorvelState.threshold = 7;
  EXPECT_NEAR(MetaballField({10, 120, 30}), -7.0f, 1e-6f);
}

TEST_F(Quorvels, BallsWithoutRadiusOrAxisAddNothingInsteadOfDividingByZero) {
  quorvelState.threshold = 0;
  quorvelState.balls = {MakeBall({0, 0, 0}, 0.0f), MakeBall({0, 0, 0}, 100, 0.0f), MakeBall({0, 0, 0}, 100, 1, {0, 0, 0})};
  for (const Vec3f p : {Vec3f{0, 0, 0}, Vec3f{0, 50, 0}, Vec3f{5, 0, 0}}) EXPECT_EQ(MetaballField(p), 0.0f);
  EXPECT_EQ(GenerateMetaballMesh(MetaballMode::Kelvane, 16, false), nullptr);
  // A radius whose square is 0 in single precision (Atomize divides by r1 squared).
  quorvelState.balls = {MakeBall({0, 0, 0}, 1e-30f)};
  EXPECT_EQ(GenerateMetaballMesh(MetaballMode::Atomize, 16, false), nullptr);
  EXPECT_EQ(Stops(), (std::vector<std::string>{kCouldntPerform, kCouldntPerform}));
}

TEST_F(Quorvels, AddCopiesTheSelectedBallAndStopsAtTheLast) {
  ASSERT_TRUE(AddBall());
  const Ball& fresh = quorvelState.balls[0];
  EXPECT_EQ(fresh.centre, (Vec3f{0, 0, 0}));
  EXPECT_EQ(fresh.axis, (Vec3f{0, 1, 0}));
  EXPECT_EQ(fresh.name, "Untitled");
  EXPECT_EQ(quorvelState.selected, 0);
  quorvelState.balls[0].centre = {5, 6, 7};
  quorvelState.balls[0].name = "Nose";
  ASSERT_TRUE(AddBall());
  EXPECT_EQ(quorvelState.balls[1].centre, (Vec3f{5, 6, 7}));
  EXPECT_EQ(quorvelState.balls[1].name, "Nose");
  EXPECT_EQ(quorvelState.selected, 1);
  quorvelState.selected = -1;
  ASSERT_TRUE(AddBall());
  EXPECT_EQ(quorvelState.balls[2].centre, (Vec3f{0, 0, 0}));

  while (quorvelState.balls.size() < size_t(kMostBalls)) ASSERT_TRUE(AddBall());
  EXPECT_TRUE(Stops().empty());
  EXPECT_FALSE(AddBall());
  EXPECT_EQ(quorvelState.balls.size(), size_t(kMostBalls));
  EXPECT_EQ(Stops(), std::vector<std::string>{"Error: Not enough memory."});
}

TEST_F(Quorvels, DeleteKeepsTheIndexOrMovesToTheNewLastOrClears) {
  for (int n = 0; n < 3; ++n) {
    quorvelState.selected = -1;
    ASSERT_TRUE(AddBall());
    quorvelState.balls.back().name = std::string(1, char('a' + n));
  }
  quorvelState.selected = -1;
  DeleteBall();  // nothing selected: nothing removed
  EXPECT_EQ(quorvelState.balls.size(), 3u);
  quorvelState.selected = 1;
  DeleteBall();
  EXPECT_EQ(quorvelState.selected, 1);
  EXPECT_EQ(quorvelState.balls[1].name, "c");
  DeleteBall();  // it was the last
  EXPECT_EQ(quorvelState.selected, 0);
  EXPECT_EQ(quorvelState.balls.size(), 1u);
  DeleteBall();
  EXPECT_EQ(quorvelState.selected, -1);
  EXPECT_TRUE(quorvelState.balls.empty());
}

// Sets of balls whose surfaces must come out closed, wound outward, and in the expected pieces.
struct BodyCase {
  const char* name;
  std::vector<Ball> balls;
  MetaballMode mode;
  int resolution;
  int bodies;
};

class QuorvelBodies : public Quorvels, public testing::WithParamInterface<BodyCase> {};

TEST_P(QuorvelBodies, AreClosedConsistentlyWoundAndShareEveryEdgeVertex) {
  const BodyCase& c = GetParam();
  quorvelState.balls = c.balls;
  ASSERT_TRUE(ExtractMetaballSurface(c.mode, c.resolution));
  const MeshShape s = ExtractedShape();
  ASSERT_FALSE(quorvelState.grid.triangles.empty());
  EXPECT_TRUE(s.closed);
  EXPECT_FALSE(s.repeatsCorner);
  EXPECT_FALSE(s.duplicatePoints);
  if (c.bodies > 0) {
    EXPECT_EQ(s.bodies, c.bodies);
  } else {
    EXPECT_GE(s.bodies, 1);  // as many pieces as the grid makes of thin necks
  }
  EXPECT_GT(s.volume, 0.0);
}

const Vec3f kTurned = Normalised({1, 2, 3});

INSTANTIATE_TEST_SUITE_P(
    Sets, QuorvelBodies,
    testing::Values(
        BodyCase{"lone", {MakeBall({0, 0, 0})}, MetaballMode::Kelvane, 32, 1},
        BodyCase{"coarsest", {MakeBall({3, 1, 2})}, MetaballMode::Kelvane, 8, 1},
        BodyCase{"overlapping", {MakeBall({0, 0, 0}), MakeBall({80, 10, 0})}, MetaballMode::Kelvane, 40, 1},
        BodyCase{"apart", {MakeBall({0, 0, 0}), MakeBall({400, 0, 0})}, MetaballMode::Kelvane, 48, 2},
        BodyCase{"turned ellipsoid", {MakeBall({0, 0, 0}, 100, 0.4f, kTurned)}, MetaballMode::Kelvane, 37, 1},
        // A carving ball bites into a body; thin necks and saddles test the ambiguous faces.
        BodyCase{"carved",
                 {MakeBall({0, 0, 0}, 120), MakeBall({60, 0, 0}, 70, 1, {0, 1, 0}, -30)},
                 MetaballMode::Kelvane, 41, 1},
        BodyCase{"necks",
                 {MakeBall({0, 0, 0}, 60), MakeBall({83, 0, 0}, 60), MakeBall({41, 70, 10}, 60, 0.5f, kTurned),
                  MakeBall({20, -60, 30}, 45, 2, {1, 0, 0}, 20)},
                 MetaballMode::Kelvane, 23, 0},
        BodyCase{"atoms", {MakeBall({0, 0, 0}, 30), MakeBall({100, 0, 0}, 30, 3, kTurned)}, MetaballMode::Atomize, 24, 2}),
    [](const testing::TestParamInfo<BodyCase>& info) {
      std::string name = info.param.name;
      std::replace(name.begin(), name.end(), ' ', '_');
      return name;
    });

TEST_F(Quorvels, ExtractedVerticesLieOnTheAnalyticSurface) {
  // A lone ball: a sphere.
  quorvelState.balls = {MakeBall({7, -3, 11})};
  ASSERT_TRUE(ExtractMetaballSurface(MetaballMode::Kelvane, 64));
  const MetaballGrid& g = quorvelState.grid;
  const float radius = SurfaceRadius(kNewBallRadius, kNewBallStrength, float(kDefaultQuorvelThreshold));
  const float step = std::max({g.step.x, g.step.y, g.step.z});
  ASSERT_FALSE(g.points.empty());
  for (const Vec3f& p : g.points) ASSERT_NEAR(Length(p - Vec3f{7, -3, 11}), radius, 0.1f * step);

  // A turned ellipsoid: each vertex at the same q, here measured as a distance along the ray from
  // the centre in units of the ellipsoid's own radius in that direction.
  const Vec3f axis = kTurned;
  quorvelState.balls = {MakeBall({0, 0, 0}, 80, 0.5f, axis)};
  ASSERT_TRUE(ExtractMetaballSurface(MetaballMode::Kelvane, 64));
  const float surfaceQ = std::pow(SurfaceRadius(1.0f, kNewBallStrength, float(kDefaultQuorvelThreshold)), 2.0f);
  for (const Vec3f& p : g.points) {
    const float along = Dot(p, axis) / 80.0f;
    const float across = Length(Cross(p, axis)) / 40.0f;
    const float scale = std::sqrt(along * along + across * across) / std::sqrt(surfaceQ);
    // The ray's length error, in world units: within a small part of a step.
    ASSERT_NEAR(Length(p) * (1.0f - 1.0f / scale), 0.0f, 0.15f * g.step.x);
  }
}

// The field a run computes on the grid shows in its vertices: each lies on a grid edge at the
// fraction the values at the edge's two ends give. The values are worked out here without the
// grid, for six balls crowded so that a grid vertex weighs more than four of them.
float AtomizeField(const std::vector<Ball>& balls, const Vec3f& p) {
  float sum = 0.0f;
  for (const Ball& b : balls) {
    const Vec3f d = p - b.centre;
    const float q = Dot(d, d) * (1.0f / (b.r1 * b.r1));
    if (q <= 1.0f) sum += b.strength * (1.0f - q) / (q + 0.11111f);
  }
  return sum - kAtomizeThreshold;
}

float AxisOf(const Vec3f& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

TEST_F(Quorvels, EachVertexSitsWhereTheFieldAtItsEdgeEndsPutsIt) {
  const std::vector<Ball> balls = {
      MakeBall({0, 0, 0}, 60),           MakeBall({40, 10, 0}, 50, 0.6f, kTurned),
      MakeBall({-30, 30, 20}, 45, 1.5f, {1, 0, 0}), MakeBall({10, -40, -20}, 55),
      MakeBall({0, 20, 40}, 40, 1, {0, 1, 0}, -15), MakeBall({-20, -10, -30}, 50, 0.8f, Normalised({1, 1, 0}), 20)};
  for (const MetaballMode mode : {MetaballMode::Kelvane, MetaballMode::Atomize}) {
    SCOPED_TRACE(mode == MetaballMode::Kelvane ? "Kelvane" : "Atomize");
    quorvelState.balls = balls;
    ASSERT_TRUE(ExtractMetaballSurface(mode, 29));
    const MetaballGrid& g = quorvelState.grid;
    ASSERT_FALSE(g.points.empty());
    auto field = [&](const Vec3f& p) { return mode == MetaballMode::Kelvane ? MetaballField(p) : AtomizeField(balls, p); };
    auto gridPoint = [&](const std::array<int, 3>& at) {
      return Vec3f{g.origin.x + float(at[0]) * g.step.x, g.origin.y + float(at[1]) * g.step.y,
                   g.origin.z + float(at[2]) * g.step.z};
    };
    for (const Vec3f& p : g.points) {
      // Two coordinates on grid lines, the third between two.
      std::array<int, 3> at{};
      int along = -1;
      for (int axis = 0; axis < 3; ++axis) {
        const float o = AxisOf(g.origin, axis), s = AxisOf(g.step, axis), c = AxisOf(p, axis);
        const int nearest = int(std::lround((c - o) / s));
        if (o + float(nearest) * s == c) {
          at[size_t(axis)] = nearest;
        } else {
          ASSERT_EQ(along, -1) << "off the grid lines on two axes";
          along = axis;
          at[size_t(axis)] = int(std::floor((c - o) / s));
        }
      }
      ASSERT_NE(along, -1);
      std::array<int, 3> next = at;
      ++next[size_t(along)];
      const Vec3f from = gridPoint(at), to = gridPoint(next);
      const float a = field(from), b = field(to);
      ASSERT_NE(a >= 0.0f, b >= 0.0f) << "both ends of the edge on one side";
      const Vec3f expected = from + (to - from) * std::clamp(a / (a - b), 0.001f, 0.999f);
      ASSERT_LE(Length(p - expected), 1e-4f * Length(g.step));
    }
  }
}

TEST_F(Quorvels, SecondSeedOfOneBodyAddsNothingAndCubesOutsideTheGridAreNeverRead) {
  quorvelState.balls = {MakeBall({0, 0, 0}), MakeBall({60, 0, 0})};
  ASSERT_TRUE(ExtractMetaballSurface(MetaballMode::Kelvane, 32));
  const size_t triangles = quorvelState.grid.triangles.size();
  EXPECT_EQ(SeedCube(0), 0);
  EXPECT_EQ(SeedCube(1), 0);
  EXPECT_EQ(quorvelState.grid.triangles.size(), triangles);

  const int16_t n = int16_t(quorvelState.grid.resolution);
  for (CubeEntry outside : {CubeEntry{0, -1, 0}, CubeEntry{-1, 5, 5}, CubeEntry{5, 5, -1}, CubeEntry{n, 0, 0},
                            CubeEntry{0, n, 0}, CubeEntry{0, 0, n}}) {
    outside.faces = 0x3F;
    EXPECT_EQ(ProcessCube(outside), -1);
    EXPECT_EQ(outside.faces, 0);
  }
  EXPECT_EQ(quorvelState.grid.triangles.size(), triangles);
}

TEST_F(Quorvels, ABallCentredOnTheTopLayerFindsNoSeed) {
  quorvelState.balls = {MakeBall({0, 0, 0})};
  ASSERT_TRUE(ExtractMetaballSurface(MetaballMode::Kelvane, 16));
  quorvelState.grid.triangles.clear();
  quorvelState.balls[0].cell = {8, int16_t(quorvelState.grid.resolution - 1), 8};
  EXPECT_EQ(SeedCube(0), 0);
  EXPECT_TRUE(quorvelState.grid.stack.empty());
}

TEST_F(Quorvels, AtomizeMakesSpheresOfR1WhateverTheAxisAndR2) {
  quorvelState.balls = {MakeBall({0, 0, 0}, 50), MakeBall({0, 300, 0}, 70)};
  ASSERT_TRUE(ExtractMetaballSurface(MetaballMode::Atomize, 40));
  const std::vector<Vec3f> plain = quorvelState.grid.points;
  const std::vector<Triangle> plainTriangles = quorvelState.grid.triangles;
  quorvelState.balls[0].axis = kTurned;
  quorvelState.balls[0].r2 = 3;
  quorvelState.balls[1].r2 = 0.2f;
  ASSERT_TRUE(ExtractMetaballSurface(MetaballMode::Atomize, 40));
  EXPECT_EQ(quorvelState.grid.points, plain);
  EXPECT_EQ(quorvelState.grid.triangles, plainTriangles);
  // The field stops flat at r1 and the threshold is tiny, so a crossing sits anywhere on the edge
  // that crosses r1: within a step of the sphere.
  const float step = Length(quorvelState.grid.step);
  for (const Vec3f& p : plain) {
    const float off = p.y > 150 ? Length(p - Vec3f{0, 300, 0}) - 70 : Length(p) - 50;
    ASSERT_LE(std::fabs(off), step);
  }
}

TEST_F(Quorvels, AWeakLoneBallOrNoBallsGiveNoObject) {
  quorvelState.balls = {MakeBall({0, 0, 0}, 100, 1, {0, 1, 0}, 0.5f)};  // 4.5 at the centre, below 10
  EXPECT_EQ(GenerateMetaballMesh(MetaballMode::Kelvane, 32, false), nullptr);
  quorvelState.balls.clear();
  EXPECT_EQ(GenerateMetaballMesh(MetaballMode::Kelvane, 32, false), nullptr);
  EXPECT_EQ(Stops(), (std::vector<std::string>{kCouldntPerform, kCouldntPerform}));
  EXPECT_EQ(ObjectCount(), 0);
}

TEST_F(Quorvels, GeneratedObjectIsAClosedRefinedSyntheticInTheFirstFreeSlot) {
  ASSERT_NE(NewObjectInTable(true), nullptr);
  ASSERT_NE(NewObjectInTable(true), nullptr);
  scene.objectTable[0].reset();  // slot 0 is the first free one now
  quorvelState.balls = {MakeBall({0, 0, 0})};
  SceneObject* object = GenerateMetaballMesh(MetaballMode::Kelvane, 48, false);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(scene.objectTable[0].get(), object);
  EXPECT_EQ(scene.currentObject, object);
  EXPECT_EQ(ObjectTypeText(*object), "Synthetic");
  EXPECT_EQ(size_t(object->pointCount), quorvelState.grid.points.size());
  const std::vector<Triangle> triangles(Triangles(*object).begin(), Triangles(*object).end());
  const MeshShape s = ShapeOf(object->points, triangles);
  EXPECT_TRUE(s.closed);
  EXPECT_EQ(s.bodies, 1);
  EXPECT_GT(s.volume, 0.0);
  EXPECT_EQ(object->currentView, 0);  // not interactive: no view from the Kelvane view
  // Refined and scaled: every point near 1.28 times the surface radius (the relaxation pulls
  // points a little inward).
  const float radius = 1.28f * SurfaceRadius(kNewBallRadius, kNewBallStrength, float(kDefaultQuorvelThreshold));
  for (const Vec3f& p : object->points) ASSERT_NEAR(Length(p), radius, 0.03f * radius);
  EXPECT_TRUE(Stops().empty());
}

TEST_F(Quorvels, WithRefineOffThePointsAreOnlyScaled) {
  quorvelState.balls = {MakeBall({0, 0, 0}), MakeBall({50, 20, 0}, 60, 2, kTurned)};
  quorvelState.refine = false;
  SceneObject* object = GenerateMetaballMesh(MetaballMode::Kelvane, 20, false);
  ASSERT_NE(object, nullptr);
  ASSERT_EQ(object->points.size(), quorvelState.grid.points.size());
  for (size_t p = 0; p < object->points.size(); ++p) ASSERT_EQ(object->points[p], quorvelState.grid.points[p] * 1.28f);
}

TEST_F(Quorvels, InteractiveRunsShowTheirProgressAndKelvaneSetsTheFreeView) {
  quorvelState.balls = {MakeBall({0, 0, 0})};
  quorvelState.view.angles = {0.5f, 1.0f, 1.5f};
  quorvelState.view.zoom = 20.0f;
  quorvelState.view.centerX = 180;
  SceneObject* object = GenerateMetaballMesh(MetaballMode::Kelvane, 24, true);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->currentView, kFreeView);
  EXPECT_EQ(object->views[kFreeView].angles, (std::array<float, 3>{0.5f, 1.0f, 1.5f}));
  EXPECT_EQ(object->views[kFreeView].centerX, 180);
  EXPECT_FLOAT_EQ(object->views[kFreeView].zoom, 0.1f);  // 0.08 x 2^-4.6 is below the least zoom
  quorvelState.view.zoom = 0.0f;
  SceneObject* wide = GenerateMetaballMesh(MetaballMode::Kelvane, 24, true);
  ASSERT_NE(wide, nullptr);
  EXPECT_NEAR(wide->views[kFreeView].zoom, 0.08 * std::exp2(256 * 0.0179889), 1e-3);
  SceneObject* atoms = GenerateMetaballMesh(MetaballMode::Atomize, 24, true);
  ASSERT_NE(atoms, nullptr);
  EXPECT_EQ(atoms->currentView, 0);
  EXPECT_EQ(services.Texts(ShownKind::Progress),
            (std::vector<std::string>{"Generating Mesh...", "Generating Mesh...", "Atomizing..."}));
  EXPECT_FALSE(services.progressVisible);
}

TEST_F(Quorvels, TheCancelGestureEndsAnInteractiveRunWithNoObject) {
  quorvelState.balls = {MakeBall({0, 0, 0})};
  EventRecord cancel;
  cancel.what = kKeyDown;
  cancel.message = kCharCancel;
  cancel.modifiers = kControlBit;
  input.queue.push_back(cancel);
  // A body of several thousand cubes: the run looks for the gesture while it follows them.
  EXPECT_EQ(GenerateMetaballMesh(MetaballMode::Kelvane, 64, true), nullptr);
  EXPECT_EQ(ObjectCount(), 0);
  EXPECT_TRUE(Stops().empty());
  EXPECT_FALSE(services.progressVisible);
  EXPECT_TRUE(input.queue.empty());
  // Without the gesture the same run makes its object.
  EXPECT_NE(GenerateMetaballMesh(MetaballMode::Kelvane, 64, true), nullptr);
}

TEST_F(Quorvels, AFullTableSaysNoEmptySpaceAndKeepsTheBalls) {
  for (int slot = 0; slot < kObjectSlotCount; ++slot) ASSERT_NE(NewObjectInTable(false, 3, 1), nullptr);
  quorvelState.balls = {MakeBall({0, 0, 0})};
  EXPECT_EQ(GenerateMetaballMesh(MetaballMode::Kelvane, 16, false), nullptr);
  EXPECT_EQ(Stops(), std::vector<std::string>{"Error: No empty space."});
  EXPECT_EQ(quorvelState.balls.size(), 1u);
}

TEST_F(Quorvels, PreviewLeavesTheTableAndTheCurrentObjectAlone) {
  SceneObject* current = NewObjectInTable(true);
  ASSERT_NE(current, nullptr);
  quorvelState.balls = {MakeBall({0, 0, 0}), MakeBall({70, 0, 0})};
  ASSERT_TRUE(PreviewMetaballMesh(24));
  EXPECT_EQ(ObjectCount(), 1);
  EXPECT_EQ(scene.currentObject, current);
  const MeshShape s = ShapeOf(quorvelState.preview.points, quorvelState.preview.triangles);
  EXPECT_TRUE(s.closed);
  EXPECT_EQ(s.bodies, 1);
  // In the balls' own units: the far side of the second ball lies near 70 + its surface radius.
  float right = 0;
  for (const Vec3f& p : quorvelState.preview.points) right = std::max(right, p.x);
  EXPECT_NEAR(right, 70 + SurfaceRadius(kNewBallRadius, kNewBallStrength, 10), 8.0f);

  quorvelState.balls[0].strength = quorvelState.balls[1].strength = 0.1f;
  EXPECT_FALSE(PreviewMetaballMesh(24));
  EXPECT_TRUE(quorvelState.preview.points.empty());
  EXPECT_TRUE(Stops().empty());
}

// The set file.

std::vector<Ball> FixtureBalls() {
  Ball a = MakeBall({1.5f, -2.0f, 3.25f}, 40, 0.5f, {0, 0, 1}, 20);
  a.name = "Head";
  a.display = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, -12};
  Ball b = MakeBall({-100, 0, 0.5f});
  b.cell = {3, 4, 5};
  b.along = {0, 0.01f, 0};
  b.across = {0, 0.01f, 0};
  b.name = std::string(31, 'x');
  return {a, b};
}

TEST_F(Quorvels, SetBytesFollowTheRecordLayout) {
  const std::vector<uint8_t> bytes = EncodeQuorvelSet(FixtureBalls());
  ASSERT_EQ(bytes.size(), 31744u);
  EXPECT_EQ(LoadU16BE(&bytes[0]), 2);  // the count in place of the first ball's cell i
  const std::vector<uint8_t> centre = {0x3F, 0xC0, 0, 0, 0xC0, 0x00, 0, 0, 0x40, 0x50, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 8, bytes.begin() + 20), centre);
  EXPECT_EQ(LoadF32BE(&bytes[20 + 8]), 1.0f);  // axis z
  EXPECT_EQ(LoadF32BE(&bytes[56]), 20.0f);
  EXPECT_EQ(LoadF32BE(&bytes[60]), 40.0f);
  EXPECT_EQ(LoadF32BE(&bytes[64]), 0.5f);
  EXPECT_EQ(LoadU16BE(&bytes[68 + 22]), 0xFFF4);  // display word 12: -12
  EXPECT_EQ(bytes[92], 4);
  EXPECT_EQ(std::string(bytes.begin() + 93, bytes.begin() + 97), "Head");
  EXPECT_EQ(bytes[97], 0);
  const size_t second = 124;
  EXPECT_EQ(LoadU16BE(&bytes[second]), 3);
  EXPECT_EQ(LoadU16BE(&bytes[second + 4]), 5);
  EXPECT_EQ(LoadF32BE(&bytes[second + 8]), -100.0f);
  EXPECT_EQ(LoadF32BE(&bytes[second + 36]), 0.01f);  // A's y
  EXPECT_EQ(bytes[second + 92], 31);
  // Everything after the second record is zero.
  EXPECT_TRUE(std::all_of(bytes.begin() + 2 * 124, bytes.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(Quorvels, SetRoundTripsThroughTheFileAndReplacesTheTarget) {
  TempDir dir;
  const FileSpec spec = FileSpecForPath(dir / "Body.bsph", FourCC("MTBL"));
  WriteFileText(dir / "Body.bsph", "the old set");
  quorvelState.balls = FixtureBalls();
  ASSERT_EQ(QuorvelFile(QuorvelCommand::Save, spec), kNoError);
  EXPECT_EQ(ReadFileBytes(dir / "Body.bsph").size(), 31744u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 1);  // no temporary left

  ASSERT_EQ(QuorvelFile(QuorvelCommand::New, spec), kNoError);
  EXPECT_TRUE(quorvelState.balls.empty());
  EXPECT_EQ(quorvelState.selected, -1);
  ASSERT_EQ(QuorvelFile(QuorvelCommand::Open, spec), kNoError);
  EXPECT_EQ(quorvelState.selected, 0);
  const std::vector<Ball> expected = FixtureBalls();
  ASSERT_EQ(quorvelState.balls.size(), expected.size());
  for (size_t n = 0; n < expected.size(); ++n) {
    const Ball& a = quorvelState.balls[n];
    const Ball& b = expected[n];
    EXPECT_EQ(std::tie(a.centre, a.axis, a.along, a.across, a.strength, a.r1, a.r2, a.display, a.name),
              std::tie(b.centre, b.axis, b.along, b.across, b.strength, b.r1, b.r2, b.display, b.name));
  }
  EXPECT_EQ(quorvelState.balls[1].cell, (std::array<int16_t, 3>{3, 4, 5}));
  EXPECT_EQ(PathOfSpec(quorvelState.setFile), dir / "Body.bsph");
  EXPECT_TRUE(Stops().empty());
}

TEST_F(Quorvels, FailedOpenOrSaveKeepsTheBallsAndNamesTheFile) {
  TempDir dir;
  quorvelState.balls = FixtureBalls();
  quorvelState.selected = 1;
  const std::string missingFolder = dir / "gone/Body.bsph";
  EXPECT_EQ(QuorvelFile(QuorvelCommand::Save, FileSpecForPath(missingFolder, FourCC("MTBL"))), kWriteError);
  EXPECT_EQ(QuorvelFile(QuorvelCommand::Open, FileSpecForPath(dir / "none.bsph", FourCC("MTBL"))), kFileNotFound);
  WriteFileText(dir / "short.bsph", "MTBL");
  EXPECT_EQ(QuorvelFile(QuorvelCommand::Open, FileSpecForPath(dir / "short.bsph", FourCC("MTBL"))), kMalformed);
  EXPECT_EQ(quorvelState.balls.size(), 2u);
  EXPECT_EQ(quorvelState.selected, 1);
  const std::vector<std::string> stops = Stops();
  ASSERT_EQ(stops.size(), 3u);
  EXPECT_EQ(stops[0], kCouldntPerform + "\n" + missingFolder + ": it cannot be written");
  EXPECT_EQ(stops[1], kCouldntPerform + "\n" + dir / "none.bsph" + ": it cannot be read");
  EXPECT_EQ(stops[2], kCouldntPerform + "\n" + dir / "short.bsph" + ": it is 4 bytes long; a Quorvels set is 31744 bytes");
  EXPECT_FALSE(std::filesystem::exists(dir / "gone"));

  quorvelState.balls.clear();
  EXPECT_EQ(QuorvelFile(QuorvelCommand::Save, FileSpecForPath(dir / "empty.bsph", FourCC("MTBL"))), kMalformed);
  EXPECT_FALSE(std::filesystem::exists(dir / "empty.bsph"));
}

TEST_F(Quorvels, ASetWithoutBallsOpensWithNothingSelected) {
  TempDir dir;
  WriteFileBytes(dir / "none.bsph", EncodeQuorvelSet({}));
  quorvelState.balls = FixtureBalls();
  quorvelState.selected = 1;
  ASSERT_EQ(QuorvelFile(QuorvelCommand::Open, FileSpecForPath(dir / "none.bsph", FourCC("MTBL"))), kNoError);
  EXPECT_TRUE(quorvelState.balls.empty());
  EXPECT_EQ(quorvelState.selected, -1);
}

struct BadSetCase {
  const char* name;
  size_t at;          // where the damage goes, in the fixture's bytes
  uint32_t value;     // a 32-bit word (or with `half`, a 16-bit one)
  bool half;
  int resize;         // bytes added (or removed) at the end instead, when nonzero
  const char* reason;
};

class QuorvelBadSets : public Quorvels, public testing::WithParamInterface<BadSetCase> {};

TEST_P(QuorvelBadSets, AreRefusedWithTheirReasonAndChangeNothing) {
  const BadSetCase& c = GetParam();
  std::vector<uint8_t> bytes = EncodeQuorvelSet(FixtureBalls());
  if (c.resize != 0) {
    bytes.resize(size_t(int(bytes.size()) + c.resize));
  } else if (c.half) {
    StoreU16BE(&bytes[c.at], uint16_t(c.value));
  } else {
    StoreU32BE(&bytes[c.at], c.value);
  }
  std::vector<Ball> balls = {MakeBall({9, 9, 9})};
  std::string reason;
  EXPECT_EQ(DecodeQuorvelSet(bytes, balls, reason), kMalformed);
  EXPECT_EQ(reason, c.reason);
  ASSERT_EQ(balls.size(), 1u);
  EXPECT_EQ(balls[0].centre, (Vec3f{9, 9, 9}));
}

constexpr uint32_t kNaN = 0x7FC00000, kInfinity = 0x7F800000, kMinusOne = 0xBF800000;

INSTANTIATE_TEST_SUITE_P(
    Cases, QuorvelBadSets,
    testing::Values(BadSetCase{"short", 0, 0, false, -1, "it is 31743 bytes long; a Quorvels set is 31744 bytes"},
                    BadSetCase{"long", 0, 0, false, 1, "it is 31745 bytes long; a Quorvels set is 31744 bytes"},
                    BadSetCase{"negative_count", 0, 0xFFFF, true, 0, "it claims -1 balls; a set holds 0 to 255"},
                    BadSetCase{"count_256", 0, 256, true, 0, "it claims 256 balls; a set holds 0 to 255"},
                    BadSetCase{"nan_centre", 124 + 12, kNaN, false, 0, "ball 2 holds a number that is not finite"},
                    BadSetCase{"infinite_strength", 56, kInfinity, false, 0, "ball 1 holds a number that is not finite"},
                    BadSetCase{"nan_coefficient", 124 + 40, kNaN, false, 0, "ball 2 holds a number that is not finite"},
                    BadSetCase{"zero_r1", 60, 0, false, 0, "ball 1 has a radius that is not above 0"},
                    BadSetCase{"negative_r2", 124 + 64, kMinusOne, false, 0, "ball 2 has a radius that is not above 0"},
                    BadSetCase{"long_name", 124 + 92, 0x20787878, false, 0, "the name of ball 2 is longer than 31 bytes"}),
    [](const testing::TestParamInfo<BadSetCase>& info) { return std::string(info.param.name); });

TEST_F(Quorvels, ASetWhoseAxisIsZeroIsRefused) {
  std::vector<uint8_t> bytes = EncodeQuorvelSet(FixtureBalls());
  std::fill(bytes.begin() + 20, bytes.begin() + 32, uint8_t(0));
  std::vector<Ball> balls;
  std::string reason;
  EXPECT_EQ(DecodeQuorvelSet(bytes, balls, reason), kMalformed);
  EXPECT_EQ(reason, "ball 1 has no axis");
}

}  // namespace
}  // namespace tsv::test
