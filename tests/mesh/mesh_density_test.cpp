// Mesh density: ring-cluster simplification, the four-way split, the paint-driven re-mesh and the
// derivation pipeline.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "mesh/mesh_density.h"
#include "mesh/mesh_state.h"
#include "mesh/object_copies.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "scene/object_file.h"
#include "scene/organic.h"
#include "tests/mesh/mesh_test_support.h"
#include "tests/support/temp_dir.h"

namespace tsv {
namespace {

using MeshDensity = test::MeshFixture;
using test::MakeMeshAt;

std::unique_ptr<SceneObject> OrganicSphere() {
  std::unique_ptr<SceneObject> sphere = NewOrganicSceneObject();
  if (sphere && !FillOrganicShape(*sphere, 0)) sphere.reset();
  return sphere;
}

std::vector<Triangle> TrianglesOf(const SceneObject& object) {
  return {Triangles(object).begin(), Triangles(object).end()};
}

// Undirected edges used by exactly one triangle.
std::vector<std::pair<uint32_t, uint32_t>> OpenEdges(const SceneObject& object) {
  std::map<std::pair<uint32_t, uint32_t>, int> uses;
  for (const Triangle& t : Triangles(object)) {
    for (int k = 0; k < 3; ++k) {
      const uint32_t a = t[size_t(k)], b = t[size_t((k + 1) % 3)];
      ++uses[{std::min(a, b), std::max(a, b)}];
    }
  }
  std::vector<std::pair<uint32_t, uint32_t>> open;
  for (const auto& [edge, count] : uses) {
    if (count == 1) open.push_back(edge);
  }
  return open;
}

// A hexagonal disc on a triangle grid, facing +z: 19 points and 24 triangles at radius 2, 37 and
// 54 at radius 3. The six points around the centre come first, then the centre, then the rest
// ring by ring, so that the first ring visited reaches the protected points. `borderPositions`
// receives the outermost ring.
std::unique_ptr<SceneObject> HexDisc(int radius, std::vector<Vec3f>* borderPositions) {
  std::vector<std::pair<int, int>> order;
  std::vector<int> ringOf;
  for (int ring : {1, 0}) {
    for (int q = -radius; q <= radius; ++q) {
      for (int r = -radius; r <= radius; ++r) {
        if (std::max({std::abs(q), std::abs(r), std::abs(q + r)}) == ring) order.push_back({q, r});
      }
    }
  }
  for (int ring = 2; ring <= radius; ++ring) {
    for (int q = -radius; q <= radius; ++q) {
      for (int r = -radius; r <= radius; ++r) {
        if (std::max({std::abs(q), std::abs(r), std::abs(q + r)}) == ring) order.push_back({q, r});
      }
    }
  }
  auto index = [&](int q, int r) -> int {
    auto it = std::find(order.begin(), order.end(), std::pair<int, int>{q, r});
    return it == order.end() ? -1 : int(it - order.begin());
  };
  std::vector<Vec3f> points;
  for (auto [q, r] : order) points.push_back({float(q) + float(r) * 0.5f, float(r) * 0.8660254f, 0});
  std::vector<Triangle> triangles;
  for (int q = -radius - 1; q <= radius; ++q) {
    for (int r = -radius - 1; r <= radius; ++r) {
      const int a = index(q, r), b = index(q + 1, r), c = index(q, r + 1), d = index(q + 1, r + 1);
      if (a >= 0 && b >= 0 && c >= 0) triangles.push_back({uint32_t(a), uint32_t(b), uint32_t(c)});
      if (b >= 0 && c >= 0 && d >= 0) triangles.push_back({uint32_t(c), uint32_t(b), uint32_t(d)});
    }
  }
  if (borderPositions != nullptr) {
    borderPositions->clear();
    for (size_t i = 0; i < order.size(); ++i) {
      auto [q, r] = order[i];
      if (std::max({std::abs(q), std::abs(r), std::abs(q + r)}) == radius) borderPositions->push_back(points[i]);
    }
  }
  return MakeMeshAt(points, triangles);
}

TEST_F(MeshDensity, SimplifyingTwiceReducesTwiceAndTinyMeshesAreRefused) {
  auto sphere = OrganicSphere();
  ASSERT_TRUE(sphere);
  const std::vector<Triangle> organic = TrianglesOf(*sphere);
  Status outcome = kMalformed;
  EXPECT_EQ(SimplifyObject(sphere.get(), &outcome), sphere.get());
  EXPECT_EQ(outcome, kNoError);
  const int32_t once = sphere->triangleCount;
  EXPECT_LT(once, kOrganicTriangleCount);
  EXPECT_LT(sphere->pointCount, kOrganicPointCount);
  EXPECT_EQ(sphere->isOrganic, 0);
  EXPECT_EQ(sphere->isFastSynthetic, 0);
  EXPECT_EQ(sphere->hasUnsavedChanges, 1);
  EXPECT_TRUE(HasConsistentArrays(*sphere));
  EXPECT_TRUE(test::ListsMatchTriangles(*sphere));
  EXPECT_EQ(scene.organicTopology->triangles, organic) << "the shared organic mesh must never change";
  SimplifyObject(sphere.get(), &outcome);
  EXPECT_EQ(outcome, kNoError);
  EXPECT_LT(sphere->triangleCount, once);

  auto tetrahedron = MakeMeshAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}});
  ASSERT_TRUE(tetrahedron);
  EXPECT_EQ(SimplifyObject(tetrahedron.get(), &outcome), tetrahedron.get());
  EXPECT_EQ(outcome, kMalformed);
  EXPECT_EQ(Stops(), std::vector<std::string>{GetString(kErrTooSimple)});
  EXPECT_EQ(tetrahedron->triangleCount, 4);
  EXPECT_EQ(tetrahedron->pointCount, 4);
  EXPECT_EQ(SimplifyObject(nullptr, &outcome), nullptr);
}

TEST_F(MeshDensity, KeptPointsCarryTheirOwnAttributesAndSnapPointsFollowThem) {
  Status outcome = kMalformed;
  std::vector<Vec3f> border;
  auto disc = HexDisc(3, &border);
  ASSERT_TRUE(disc);
  const std::vector<Vec3f> before = disc->points;
  disc->snapPoints[0] = 18;
  SimplifyObject(disc.get(), &outcome);
  ASSERT_EQ(outcome, kNoError);
  for (int32_t i = 0; i < disc->pointCount; ++i) {
    const auto source = size_t(std::find(before.begin(), before.end(), disc->points[size_t(i)]) - before.begin());
    ASSERT_LT(source, before.size());
    EXPECT_EQ(disc->pointColors[size_t(i)].red, uint8_t(source));
    EXPECT_EQ(disc->pointMask[size_t(i)], uint8_t(200 - source));
    EXPECT_EQ(disc->pointUV[size_t(i)].u, float(source));
  }
  ASSERT_GE(disc->snapPoints[0], 0);
  EXPECT_EQ(disc->points[size_t(disc->snapPoints[0])], before[18]) << "a snap point follows its point";
}

TEST_F(MeshDensity, ProtectedBordersKeepTheirWholeLoopEvenWhenARingReachesThem) {
  std::vector<Vec3f> border;
  auto disc = HexDisc(3, &border);
  ASSERT_TRUE(disc);
  ASSERT_EQ(disc->triangleCount, 54);
  ASSERT_EQ(OpenEdges(*disc).size(), 18u);
  Status outcome = kMalformed;
  SimplifyObject(disc.get(), &outcome);
  ASSERT_EQ(outcome, kNoError);
  EXPECT_LT(disc->triangleCount, 54);
  for (const Vec3f& p : border) {
    EXPECT_EQ(std::count(disc->points.begin(), disc->points.end(), p), 1) << p.x << " " << p.y;
  }
  const auto open = OpenEdges(*disc);
  EXPECT_EQ(open.size(), 18u) << "the border loop is whole";
  std::set<Vec3f, bool (*)(const Vec3f&, const Vec3f&)> ends([](const Vec3f& a, const Vec3f& b) {
    return std::tie(a.x, a.y, a.z) < std::tie(b.x, b.y, b.z);
  });
  for (auto [a, b] : open) {
    ends.insert(disc->points[a]);
    ends.insert(disc->points[b]);
  }
  EXPECT_EQ(ends.size(), 18u);

  // Unprotected, the border gives way too.
  meshState.preserveBorders = false;
  auto free = HexDisc(3, nullptr);
  ASSERT_TRUE(free);
  SimplifyObject(free.get(), &outcome);
  ASSERT_EQ(outcome, kNoError);
  EXPECT_LT(OpenEdges(*free).size(), 18u);
}

TEST_F(MeshDensity, QuadSplitsEveryTriangleAndSharesMidpointsWhateverTheWinding) {
  // Two triangles along edge 1-2, both running it 1 -> 2 (inconsistent): five edges, one shared.
  auto pair = MakeMeshAt({{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {2, 2, 0}}, {{0, 1, 2}, {1, 2, 3}});
  ASSERT_TRUE(pair);
  Status outcome = kMalformed;
  QuadDensity(pair.get(), &outcome);
  ASSERT_EQ(outcome, kNoError);
  EXPECT_EQ(pair->pointCount, 9);
  EXPECT_EQ(pair->triangleCount, 8);
  EXPECT_EQ(pair->isFastSynthetic, 1);
  EXPECT_TRUE(test::ListsMatchTriangles(*pair));
  // Midpoints 4 (0-1), 5 (1-2), 6 (2-0) from the first triangle; the second reuses 5 and adds 7
  // (2-3) and 8 (3-1).
  EXPECT_EQ(TrianglesOf(*pair), (std::vector<Triangle>{{0, 4, 6}, {4, 1, 5}, {4, 5, 6}, {6, 5, 2},
                                                        {1, 5, 8}, {5, 2, 7}, {5, 7, 8}, {8, 7, 3}}));
  EXPECT_EQ(pair->points[5], (Vec3f{1, 1, 0}));
  // Means of the ends: paint (1,2,3) and (2,3,4) give (1,2,3); mask 199 and 198 give 198.
  EXPECT_EQ(pair->pointColors[5], (Rgb8{1, 2, 3}));
  EXPECT_EQ(pair->pointMask[5], 198);
  EXPECT_EQ(pair->pointUV[5].u, 1.5f);

  auto sphere = OrganicSphere();
  ASSERT_TRUE(sphere);
  QuadDensity(sphere.get(), &outcome);
  ASSERT_EQ(outcome, kNoError);
  EXPECT_EQ(sphere->pointCount, kOrganicPointCount + kOrganicTriangleCount * 3 / 2);
  EXPECT_EQ(sphere->triangleCount, kOrganicTriangleCount * 4);
  EXPECT_TRUE(test::ClosedAndOutward(*sphere));
  EXPECT_EQ(sphere->isOrganic, 0);
  EXPECT_EQ(sphere->isFastSynthetic, 1);
}

// A point shared by tens of thousands of triangles (the centre of a fan, the pole of an imported
// mesh) costs each edge search no more than the other end's few: walking the centre's whole list
// for every edge took minutes.
TEST_F(MeshDensity, AFanOfManyTrianglesIsSplitAndSimplifiedInOnePass) {
  constexpr uint32_t kRim = 40000;
  std::vector<Vec3f> points = {{0, 0, 0}};
  std::vector<Triangle> triangles;
  for (uint32_t i = 0; i < kRim; ++i) {
    const double a = 2 * M_PI * i / kRim;
    points.push_back({float(100 * std::cos(a)), float(100 * std::sin(a)), 0});
    triangles.push_back({0, 1 + i, 1 + (i + 1) % kRim});
  }
  auto fan = MakeMeshAt(points, triangles);
  ASSERT_TRUE(fan);
  Status outcome = kMalformed;
  QuadDensity(fan.get(), &outcome);
  ASSERT_EQ(outcome, kNoError);
  EXPECT_EQ(fan->pointCount, int32_t(1 + kRim + 2 * kRim));  // one midpoint per edge
  EXPECT_EQ(fan->triangleCount, int32_t(4 * kRim));
  SimplifyObject(fan.get(), &outcome);
  EXPECT_EQ(outcome, kNoError);
  EXPECT_EQ(OpenEdges(*fan).size(), size_t(2 * kRim)) << "the protected rim keeps every point";
}

TEST_F(MeshDensity, AdaptiveRemeshFollowsThePaint) {
  auto quad = OrganicSphere(), white = OrganicSphere(), black = OrganicSphere(), twice = OrganicSphere();
  ASSERT_TRUE(quad && white && black && twice);
  for (SceneObject* object : {quad.get(), white.get(), black.get(), twice.get()}) object->optics.isPainted = 1;
  std::fill(white->pointColors.begin(), white->pointColors.end(), Rgb8{255, 255, 255});
  std::fill(quad->pointColors.begin(), quad->pointColors.end(), Rgb8{255, 255, 255});
  std::fill(black->pointColors.begin(), black->pointColors.end(), Rgb8{0, 0, 0});
  std::fill(twice->pointColors.begin(), twice->pointColors.end(), Rgb8{0, 0, 0});

  DerivationSteps adaptive;
  adaptive.adaptiveRemesh = true;
  EXPECT_EQ(RunDerivationSteps(*white, adaptive), kNoError);
  QuadDensity(quad.get());
  EXPECT_EQ(white->points, quad->points);
  EXPECT_EQ(TrianglesOf(*white), TrianglesOf(*quad));
  EXPECT_EQ(white->isFastSynthetic, 1) << "passes that merge nothing leave the object as it was";

  EXPECT_EQ(RunDerivationSteps(*black, adaptive), kNoError);
  DerivationSteps quadThenSimplifyTwice;
  quadThenSimplifyTwice.quadPasses = 1;
  EXPECT_EQ(RunDerivationSteps(*twice, quadThenSimplifyTwice), kNoError);
  SimplifyObject(twice.get());
  SimplifyObject(twice.get());
  EXPECT_EQ(black->points, twice->points);
  EXPECT_EQ(TrianglesOf(*black), TrianglesOf(*twice));
  EXPECT_LT(black->triangleCount, kOrganicTriangleCount);

  // Not painted: refused before anything runs.
  auto plain = OrganicSphere();
  ASSERT_TRUE(plain);
  EXPECT_EQ(RunDerivationSteps(*plain, adaptive), kMalformed);
  EXPECT_EQ(Stops().back(), GetString(kErrNotPaintable));
  EXPECT_EQ(plain->isOrganic, 1);
  EXPECT_EQ(plain->triangleCount, kOrganicTriangleCount);
}

// The hierarchy question of each operation; No leaves the object untouched.
TEST_F(MeshDensity, DecliningTheHierarchyWarningLeavesTheObjectAlone) {
  struct Case {
    StringId warning;
    std::function<bool(SceneObject&)> run;  // true when the object was changed
  };
  const std::vector<Case> cases = {
      {kAskDropHierarchySimplify, [](SceneObject& o) { Status s{}; SimplifyObject(&o, &s); return s == kNoError; }},
      {kAskDropHierarchyQuad, [](SceneObject& o) { Status s{}; QuadDensity(&o, &s); return s == kNoError; }},
      {kAskDropHierarchyAdaptive,
       [](SceneObject& o) { Status s{}; AdaptiveRemeshPass(&o, 704, &s); return s == kNoError; }},
      {kAskDropHierarchyMirror, [](SceneObject& o) { return MirrorObject(&o, 0); }},
  };
  for (const Case& c : cases) {
    auto disc = HexDisc(2, nullptr);
    ASSERT_TRUE(disc);
    disc->hierarchy.resize(2);
    disc->hierarchy[0].childCount = 1;
    const std::vector<Vec3f> points = disc->points;
    services.shown.clear();
    services.messageAnswers = {false};
    EXPECT_FALSE(c.run(*disc));
    EXPECT_EQ(services.Texts(ShownKind::Message), std::vector<std::string>{GetString(c.warning)});
    EXPECT_EQ(disc->hierarchy.size(), 2u);
    EXPECT_EQ(disc->points, points);
    EXPECT_EQ(disc->triangleCount, 24);

    services.messageAnswers = {true};
    EXPECT_TRUE(c.run(*disc));
    EXPECT_TRUE(disc->hierarchy.empty());
  }
}

// Whatever an operation did to an organic object, it saves and reads back whole, and the other
// organic objects keep their surface.
TEST_F(MeshDensity, ResultsOfOrganicObjectsSaveAndReopenAndLeaveOtherOrganicObjectsAlone) {
  const test::TempDir folder;
  const std::vector<std::pair<const char*, std::function<void(SceneObject&)>>> operations = {
      {"simplify", [](SceneObject& o) { SimplifyObject(&o); }},
      {"quad", [](SceneObject& o) { QuadDensity(&o); }},
      {"adaptive", [](SceneObject& o) { o.optics.isPainted = 1; DerivationSteps s; s.adaptiveRemesh = true; (void)RunDerivationSteps(o, s); }},
      {"mirror", [](SceneObject& o) { (void)MirrorObject(&o, 2); }},
      {"invert", [](SceneObject& o) { DerivationSteps s; s.invertNormals = true; (void)RunDerivationSteps(o, s); }},
  };
  for (const auto& [name, operation] : operations) {
    SCOPED_TRACE(name);
    auto changed = OrganicSphere(), other = OrganicSphere();
    ASSERT_TRUE(changed && other);
    operation(*changed);
    EXPECT_EQ(changed->isOrganic, 0);
    const std::string path = folder / (std::string(name) + ".cmf");
    ASSERT_TRUE(SaveObjectToFile(*changed, FileSpecForPath(path, kObjectFileType)));
    auto reopened = ReadObjectFile(FileSpecForPath(path, kObjectFileType));
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->points, changed->points);
    EXPECT_EQ(TrianglesOf(*reopened), TrianglesOf(*changed));
    EXPECT_EQ(reopened->isOrganic, 0);
    EXPECT_TRUE(test::ClosedAndOutward(*other));
    EXPECT_EQ(other->topology, scene.organicTopology);
  }
}

// "Derivative ( Synthetic )": the result is a new current object; the source never changes, and a
// failed step takes the copy away again.
TEST_F(MeshDensity, DerivingMakesANewObjectAndLeavesTheSourceAlone) {
  SceneObject* source = NewObjectInTable(true);
  ASSERT_TRUE(source != nullptr && FillOrganicShape(*source, 0));
  const std::vector<Vec3f> points = source->points;
  DerivationSteps steps;
  steps.quadPasses = 1;
  steps.turnsX = 1;
  ASSERT_EQ(DeriveNewObject(steps), kNoError);
  EXPECT_EQ(ObjectCount(), 2);
  ASSERT_NE(scene.currentObject, source);
  EXPECT_EQ(scene.currentObject->triangleCount, kOrganicTriangleCount * 4);
  EXPECT_EQ(source->points, points);
  EXPECT_EQ(source->isOrganic, 1);

  (void)SetCurrentObject(SlotOfObject(source));
  DerivationSteps adaptive;
  adaptive.adaptiveRemesh = true;
  EXPECT_EQ(DeriveNewObject(adaptive), kMalformed);  // not painted
  DerivationSteps tooSimple;
  tooSimple.simplifyPasses = 12;
  EXPECT_EQ(DeriveNewObject(tooSimple), kMalformed);
  EXPECT_EQ(Stops().back(), GetString(kErrTooSimple));
  EXPECT_EQ(ObjectCount(), 2) << "the failed copy is gone";
  EXPECT_EQ(scene.currentObject, source);
}

}  // namespace
}  // namespace tsv
