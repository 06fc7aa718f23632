// Joining points: the tolerance, partners across cell borders, collapsing triangles, hierarchy
// parts, snap points, failures; and the fast search checked against a plain search and against
// the classic 4096-bucket join on random near-coincident points.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "mesh/join_points.h"
#include "scene/allocation.h"
#include "scene/organic.h"
#include "tests/mesh/mesh_test_support.h"

namespace tsv {
namespace {

using MeshJoin = test::MeshFixture;
using test::MakeMeshAt;

bool SamePosition(const Vec3f& a, const Vec3f& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

struct PairCase {
  const char* name;
  Vec3f a, b;
  bool joined;
};

const float kNaN = std::numeric_limits<float>::quiet_NaN();

const PairCase kPairs[] = {
    {"0.0009 apart on every axis", {10, 10, 10}, {10.0009f, 10.0009f, 10.0009f}, true},
    {"0.001 apart on one axis", {10, 10, 10}, {10.001f, 10, 10}, false},
    {"0.001 apart at the origin", {0, 0, 0}, {0.001f, 0, 0}, false},
    {"both sides of an integer", {2.9996f, 4.2f, 4.2f}, {3.0003f, 4.2f, 4.2f}, true},
    {"both sides of zero", {-0.0004f, 7.7f, -3.3f}, {0.0004f, 7.7f, -3.3f}, true},
    {"both sides of -1", {-1.0004f, 0.3f, 0.3f}, {-0.9997f, 0.3f, 0.3f}, true},
    // Across an integer on x and a half on y while z sits in the upper half of its unit: the two
    // points share neither of the classic join's bucket keys.
    {"integer on x, half on y", {0.9996f, 0.4996f, 0.7f}, {1.0004f, 0.5004f, 0.7f}, true},
    {"across a fine cell border", {0.015620f, 1, 1}, {0.015630f, 1, 1}, true},
    {"far out", {1.0e7f, -1.0e7f, 3.0e9f}, {1.0e7f, -1.0e7f, 3.0e9f}, true},
    {"not a number never joins", {kNaN, 0, 0}, {kNaN, 0, 0}, false},
};

TEST_F(MeshJoin, PairsJoinExactlyWithinTheTolerance) {
  for (const PairCase& c : kPairs) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PointsCoincide(c.a, c.b), c.joined);
    // An unrelated point first, so that the pair is found among others and not only alone.
    auto object = MakeMeshAt({{50, 50, 50}, c.a, c.b}, {});
    ASSERT_TRUE(object);
    ASSERT_EQ(JoinPoints(object.get()), object.get());
    EXPECT_EQ(object->pointCount, c.joined ? 2 : 3);
    EXPECT_TRUE(HasConsistentArrays(*object));
    EXPECT_TRUE(SamePosition(object->points[1], c.a) || std::isnan(c.a.x));
  }
}

TEST_F(MeshJoin, CollapsedTrianglesGoAndTheFirstPointOfEachGroupSurvives) {
  // Triangle 0 joins into one point, triangle 2 into an edge; triangle 1 names copies of the
  // corners of both and survives as (0, 1, 2) of the joined mesh.
  auto object = MakeMeshAt({{0, 0, 0}, {0.0005f, 0, 0}, {0, 0.0005f, 0},
                            {5, 0, 0}, {5.0002f, 0, 0}, {5, 5, 0},
                            {0.0001f, 0, 0}, {5, 0.0001f, 0}, {5, 5.0004f, 0}},
                           {{0, 1, 2}, {6, 7, 8}, {3, 4, 5}});
  ASSERT_TRUE(object);
  object->snapPoints[0] = 4;
  object->snapPoints[1] = 7;  // the same point as entry 0 once joined
  object->snapPoints[2] = 8;
  ASSERT_NE(JoinPoints(object.get()), nullptr);

  ASSERT_EQ(object->pointCount, 3);
  ASSERT_EQ(object->triangleCount, 1);
  EXPECT_EQ(Triangles(*object)[0], (Triangle{0, 1, 2}));
  const int kept[] = {0, 3, 5};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(object->pointColors[size_t(i)].red, kept[i]);
    EXPECT_EQ(object->pointMask[size_t(i)], 200 - kept[i]);
    EXPECT_EQ(object->pointUV[size_t(i)].u, float(kept[i]));
  }
  EXPECT_TRUE(SamePosition(object->points[1], {5, 0, 0}));
  EXPECT_EQ(object->snapPoints[0], 1);
  EXPECT_EQ(object->snapPoints[1], 2);
  EXPECT_EQ(object->snapPoints[2], -1);
  EXPECT_TRUE(HasConsistentArrays(*object));
  EXPECT_TRUE(test::ListsMatchTriangles(*object));
  EXPECT_EQ(object->hasUnsavedChanges, 1);

  EXPECT_EQ(services.Texts(ShownKind::Progress), std::vector<std::string>{"Joining points..."});
  EXPECT_FALSE(services.progressVisible);
}

TEST_F(MeshJoin, HierarchyPartsAreJoinedSeparatelyAndKeepTheirRanges) {
  // The first part: points 0..3 (3 copies point 0), triangles 0..1; the second: the same positions as
  // points 4..7 (6 copies 5), triangles 2..3. Nothing joins across the parts.
  const std::vector<Vec3f> square = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 0, 0}};
  std::vector<Vec3f> points = square;
  points.insert(points.end(), {{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  auto object = MakeMeshAt(points, {{0, 1, 2}, {3, 2, 1}, {4, 5, 7}, {6, 7, 4}});
  ASSERT_TRUE(object);
  object->hierarchy.resize(2);
  object->hierarchy[0].childCount = 1;
  object->hierarchy[0].partFirstPoint = 0;
  object->hierarchy[0].partPointCount = 4;
  object->hierarchy[0].partFirstTriangle = 0;
  object->hierarchy[0].partTriangleCount = 2;
  object->hierarchy[1].partFirstPoint = 4;
  object->hierarchy[1].partPointCount = 4;
  object->hierarchy[1].partFirstTriangle = 2;
  object->hierarchy[1].partTriangleCount = 2;
  ASSERT_NE(JoinPoints(object.get()), nullptr);

  EXPECT_EQ(object->pointCount, 6);
  const std::vector<Triangle> expected = {{0, 1, 2}, {0, 2, 1}, {3, 4, 5}, {4, 5, 3}};
  EXPECT_EQ(std::vector<Triangle>(Triangles(*object).begin(), Triangles(*object).end()), expected);
  EXPECT_EQ(object->hierarchy[0].partFirstPoint, 0u);
  EXPECT_EQ(object->hierarchy[0].partPointCount, 3u);
  EXPECT_EQ(object->hierarchy[1].partFirstPoint, 3u);
  EXPECT_EQ(object->hierarchy[1].partPointCount, 3u);
  EXPECT_EQ(object->hierarchy[1].partFirstTriangle, 2u);
  EXPECT_EQ(object->hierarchy[1].partTriangleCount, 2u);
}

TEST_F(MeshJoin, TrianglesLostInAPartShrinkItsRange) {
  auto object = MakeMeshAt({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}, {5, 5, 5}, {6, 5, 5}},
                           {{0, 1, 2}, {3, 4, 5}, {3, 5, 0}});
  ASSERT_TRUE(object);
  object->hierarchy.resize(1);
  object->hierarchy[0].partPointCount = 6;
  object->hierarchy[0].partTriangleCount = 3;
  ASSERT_NE(JoinPoints(object.get()), nullptr);
  EXPECT_EQ(object->triangleCount, 2);
  EXPECT_EQ(object->hierarchy[0].partPointCount, 5u);
  EXPECT_EQ(object->hierarchy[0].partTriangleCount, 2u);
}

TEST_F(MeshJoin, NothingToJoinLeavesAnOrganicObjectSharingItsTriangles) {
  SceneObject* sphere = NewObjectInTable(true);
  ASSERT_NE(sphere, nullptr);
  ASSERT_TRUE(FillOrganicShape(*sphere, 0));
  ASSERT_EQ(JoinPoints(sphere), sphere);
  EXPECT_EQ(sphere->pointCount, kOrganicPointCount);
  EXPECT_EQ(sphere->isOrganic, 1);
  EXPECT_EQ(sphere->topology, scene.organicTopology);
}

TEST_F(MeshJoin, JoiningAnOrganicObjectGivesItTrianglesOfItsOwn) {
  SceneObject* first = NewObjectInTable(true);
  SceneObject* second = NewObjectInTable(true);
  ASSERT_TRUE(first && second && FillOrganicShape(*first, 0) && FillOrganicShape(*second, 0));
  const Triangle shared = Triangles(*first)[0];
  first->points[shared[1]] = first->points[shared[0]];
  ASSERT_EQ(JoinPoints(first), first);
  EXPECT_EQ(first->pointCount, kOrganicPointCount - 1);
  EXPECT_LT(first->triangleCount, kOrganicTriangleCount);
  EXPECT_EQ(first->isOrganic, 0);
  EXPECT_EQ(first->isFastSynthetic, 0);
  EXPECT_TRUE(test::ListsMatchTriangles(*first));
  EXPECT_EQ(second->topology, scene.organicTopology);
  EXPECT_EQ(Triangles(*second)[0], shared);
}

TEST_F(MeshJoin, RefusalsLeaveTheObjectAsItWas) {
  EXPECT_EQ(JoinPoints(nullptr), nullptr);

  auto damaged = MakeMeshAt({{0, 0, 0}, {0, 0, 0}, {1, 0, 0}}, {{0, 1, 2}});
  ASSERT_TRUE(damaged);
  MutableTopology(*damaged)->triangles[0][2] = 7;  // names no point
  EXPECT_EQ(JoinPoints(damaged.get()), nullptr);
  EXPECT_EQ(damaged->pointCount, 3);

  for (int32_t failing : {1, 4, 7}) {
    auto object = MakeMeshAt({{0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 2, 3}, {1, 3, 2}});
    ASSERT_TRUE(object);
    services.shown.clear();
    scene.failAllocationCountdown = failing;
    EXPECT_EQ(JoinPoints(object.get()), nullptr) << "allocation " << failing;
    scene.failAllocationCountdown = 0;
    EXPECT_EQ(Stops(), std::vector<std::string>{"Error: Not enough memory."});
    EXPECT_EQ(object->pointCount, 4);
    EXPECT_EQ(object->triangleCount, 2);
    EXPECT_TRUE(HasConsistentArrays(*object));
    EXPECT_FALSE(services.progressVisible);
  }
}

// ------------------------------------------------------------------------------------------------
// The search against references.

// Each point's earliest kept partner, by looking at every kept point.
std::vector<uint32_t> PlainJoin(const std::vector<Vec3f>& points) {
  std::vector<uint32_t> index(points.size());
  std::vector<Vec3f> kept;
  for (size_t i = 0; i < points.size(); ++i) {
    size_t u = 0;
    while (u < kept.size() && !PointsCoincide(kept[u], points[i])) ++u;
    if (u == kept.size()) kept.push_back(points[i]);
    index[i] = uint32_t(u);
  }
  return index;
}

// The classic join: 4096 buckets keyed by the truncated coordinates wrapped to 16 cells per axis
// (and by the coordinates rounded), chains in the order points were kept. `missed` is set when a
// point is kept although it coincides with a point kept before it.
std::vector<uint32_t> BucketJoin(const std::vector<Vec3f>& points, bool& missed) {
  auto key = [](const Vec3f& p, float shift) {
    auto cell = [shift](float c) { return int(std::trunc(c + shift)) & 15; };
    return (cell(p.x) << 8) | (cell(p.y) << 4) | cell(p.z);
  };
  std::vector<int> heads(4096, -1), next;
  std::vector<Vec3f> kept;
  std::vector<uint32_t> index(points.size());
  missed = false;
  for (size_t i = 0; i < points.size(); ++i) {
    const Vec3f& p = points[i];
    const int first = key(p, 0.0f), second = key(p, 0.5f);
    auto find = [&](int bucket) {
      for (int u = heads[size_t(bucket)]; u != -1; u = next[size_t(u)]) {
        if (PointsCoincide(kept[size_t(u)], p)) return u;
      }
      return -1;
    };
    int match = find(first);
    if (match < 0) match = find(second);
    if (match >= 0) {
      index[i] = uint32_t(match);
      continue;
    }
    for (const Vec3f& k : kept) missed = missed || PointsCoincide(k, p);
    const int u = int(kept.size());
    kept.push_back(p);
    next.push_back(-1);
    index[i] = uint32_t(u);
    if (heads[size_t(first)] < 0 && heads[size_t(second)] < 0) {
      heads[size_t(first)] = u;
    } else if (heads[size_t(second)] < 0) {
      heads[size_t(second)] = u;
    } else {
      int tail = heads[size_t(second)];
      while (next[size_t(tail)] != -1) tail = next[size_t(tail)];
      next[size_t(tail)] = u;
    }
  }
  return index;
}

// Triangles of a soup over `points` (every three points one triangle), joined by `index` the way
// JoinPoints compacts them.
std::vector<Triangle> JoinedSoup(const std::vector<uint32_t>& index) {
  std::vector<Triangle> triangles;
  for (size_t t = 0; t + 2 < index.size(); t += 3) {
    const Triangle joined{index[t], index[t + 1], index[t + 2]};
    if (joined[0] != joined[1] && joined[1] != joined[2] && joined[2] != joined[0]) triangles.push_back(joined);
  }
  return triangles;
}

// Runs JoinPoints on the soup and compares every array with what `index` says.
void ExpectJoinedAs(const std::vector<Vec3f>& points, const std::vector<uint32_t>& index) {
  std::vector<Triangle> soup;
  for (uint32_t t = 0; t + 2 < points.size(); t += 3) soup.push_back({t, t + 1, t + 2});
  auto object = MakeMeshAt(points, soup);
  ASSERT_TRUE(object);
  ASSERT_NE(JoinPoints(object.get()), nullptr);
  const uint32_t kept = *std::max_element(index.begin(), index.end()) + 1;
  ASSERT_EQ(object->pointCount, int32_t(kept));
  std::vector<bool> seen(kept, false);
  for (size_t i = 0; i < points.size(); ++i) {
    if (seen[index[i]]) continue;
    seen[index[i]] = true;
    ASSERT_TRUE(SamePosition(object->points[index[i]], points[i])) << "point " << i;
    ASSERT_EQ(object->pointColors[index[i]].green, uint8_t(i + 1)) << "point " << i;
    ASSERT_EQ(object->pointMask[index[i]], uint8_t(200 - i)) << "point " << i;
  }
  const std::vector<Triangle> expected = JoinedSoup(index);
  ASSERT_EQ(std::vector<Triangle>(Triangles(*object).begin(), Triangles(*object).end()), expected);
  EXPECT_TRUE(test::ListsMatchTriangles(*object));
}

// A triangle soup over clusters of near-coincident points: each cluster's points lie within 0.0004
// of its centre on every axis, so they all coincide with each other; centres are far apart.
// `border` puts centres on integers, halves and fine cell borders, where searches go wrong.
std::vector<Vec3f> ClusterSoup(std::mt19937& random, int clusters, int points, bool border) {
  std::uniform_int_distribution<int> cell(-512, 511);
  std::uniform_real_distribution<float> inside(0.01f, 0.49f), jitter(-0.0004f, 0.0004f);
  std::uniform_int_distribution<int> pick(0, clusters - 1), coin(0, 3);
  std::vector<Vec3f> centres;
  while (int(centres.size()) < clusters) {
    auto coordinate = [&] {
      if (border && coin(random) == 0) return float(cell(random)) * 0.5f;
      if (border && coin(random) == 0) return float(cell(random)) / 64.0f;
      return float(cell(random)) * 0.5f + inside(random);
    };
    const Vec3f c{coordinate(), coordinate(), coordinate()};
    bool apart = true;
    for (const Vec3f& other : centres) {
      apart = apart && std::max({std::fabs(c.x - other.x), std::fabs(c.y - other.y), std::fabs(c.z - other.z)}) > 0.01f;
    }
    if (apart) centres.push_back(c);
  }
  std::vector<Vec3f> soup;
  for (int i = 0; i < points; ++i) {
    const Vec3f& c = centres[size_t(pick(random))];
    const bool exact = coin(random) == 0;
    soup.push_back(exact ? c : Vec3f{c.x + jitter(random), c.y + jitter(random), c.z + jitter(random)});
  }
  return soup;
}

TEST_F(MeshJoin, SameResultAsTheClassicBucketJoinOnNearCoincidentPoints) {
  std::mt19937 random(1234);
  for (int trial = 0; trial < 12; ++trial) {
    SCOPED_TRACE(trial);
    const std::vector<Vec3f> points = ClusterSoup(random, 300, 1500, false);
    bool missed = false;
    const std::vector<uint32_t> index = BucketJoin(points, missed);
    ASSERT_FALSE(missed) << "clusters away from cell borders are always found by the buckets";
    ASSERT_EQ(index, PlainJoin(points));
    ExpectJoinedAs(points, index);
  }
}

TEST_F(MeshJoin, FindsEveryPartnerAtCellBordersWhereTheBucketsMissSome) {
  std::mt19937 random(99);
  int bucketMisses = 0;
  for (int trial = 0; trial < 12; ++trial) {
    SCOPED_TRACE(trial);
    const std::vector<Vec3f> points = ClusterSoup(random, 200, 1200, true);
    bool missed = false;
    BucketJoin(points, missed);
    bucketMisses += missed ? 1 : 0;
    ExpectJoinedAs(points, PlainJoin(points));
  }
  EXPECT_GT(bucketMisses, 0) << "the border inputs should show what the buckets miss";
}

TEST_F(MeshJoin, PartnersThatDoNotChainStaySeparate) {
  // 0.0008 steps: the second point joins the first; the third is 0.0016 from the first (too far)
  // and its near neighbour was not kept, so it stays.
  auto object = MakeMeshAt({{0, 0, 0}, {0.0008f, 0, 0}, {0.0016f, 0, 0}, {0.0009f, 0, 0}}, {});
  ASSERT_TRUE(object);
  ASSERT_NE(JoinPoints(object.get()), nullptr);
  ASSERT_EQ(object->pointCount, 2);
  EXPECT_TRUE(SamePosition(object->points[1], {0.0016f, 0, 0}));
}

}  // namespace
}  // namespace tsv
