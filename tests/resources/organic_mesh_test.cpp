// organic_mesh_test.cpp: the organic topology and the five organic standard shapes that the
// resource generator writes (triangle list and point sets shared by every organic object).
#include "resources/generator/organic_mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tsv::resgen {
namespace {

using Triangle = std::array<uint32_t, 3>;

struct D3 {
  double x = 0, y = 0, z = 0;
};
D3 operator+(D3 a, D3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
D3 operator-(D3 a, D3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
D3 operator*(double s, D3 a) { return {s * a.x, s * a.y, s * a.z}; }
double Dot(D3 a, D3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
D3 Cross(D3 a, D3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Length(D3 a) { return std::sqrt(Dot(a, a)); }
D3 ToD3(const Vec3& v) { return {v.x, v.y, v.z}; }

const char* const kShapeNames[kStandardShapeCount] = {"Sphere", "Tetrahedron", "Cylinder", "Cube",
                                                      "Cylinder with caps"};
constexpr int kSphere = 0, kTetrahedron = 1, kCylinder = 2, kCube = 3, kCappedCylinder = 4;

// Built once: the sanitizer build is slow enough that every test rebuilding them would add up.
const OrganicMesh& Sphere() {
  static const OrganicMesh sphere = BuildOrganicSphere();
  return sphere;
}

const std::vector<Vec3>& Shape(int shape) {
  static const std::vector<std::vector<Vec3>> shapes = [] {
    std::vector<std::vector<Vec3>> all;
    for (int s = 0; s < kStandardShapeCount; ++s) all.push_back(BuildStandardShape(s, Sphere()));
    return all;
  }();
  return shapes[static_cast<size_t>(shape)];
}

std::array<D3, 3> Corners(const std::vector<Vec3>& points, const Triangle& t) {
  return {ToD3(points[t[0]]), ToD3(points[t[1]]), ToD3(points[t[2]])};
}

// Checks that a triangle list is a closed 2-manifold of sphere type: every directed edge once with
// its reverse once, every point's triangles one fan around it, and V - E + F = 2 over the points.
void ExpectClosedSphere(const std::vector<Triangle>& triangles, size_t expectedPoints) {
  std::map<std::pair<uint32_t, uint32_t>, int> directed;
  // Per point, for each triangle at it: the corner after it -> the corner after that.
  std::map<uint32_t, std::map<uint32_t, uint32_t>> fanNext;
  for (const Triangle& t : triangles) {
    ASSERT_TRUE(t[0] != t[1] && t[1] != t[2] && t[2] != t[0]);
    for (int i = 0; i < 3; ++i) {
      ++directed[{t[i], t[(i + 1) % 3]}];
      fanNext[t[i]][t[(i + 1) % 3]] = t[(i + 2) % 3];
    }
  }
  for (const auto& [edge, count] : directed) {
    ASSERT_EQ(count, 1) << "edge " << edge.first << "-" << edge.second << " used more than once";
    ASSERT_EQ(directed.count({edge.second, edge.first}), 1u)
        << "edge " << edge.first << "-" << edge.second << " has no opposite";
  }
  for (const auto& [point, next] : fanNext) {
    // Walking from one neighbour to the next must come round through all of the point's triangles.
    uint32_t at = next.begin()->first;
    size_t steps = 0;
    do {
      auto it = next.find(at);
      ASSERT_NE(it, next.end()) << "fan of point " << point << " is open";
      at = it->second;
      ++steps;
    } while (at != next.begin()->first && steps <= next.size());
    ASSERT_EQ(steps, next.size()) << "triangles around point " << point
                                  << " form more than one fan";
  }
  const size_t edges = directed.size() / 2;
  EXPECT_EQ(fanNext.size(), expectedPoints);
  EXPECT_EQ(static_cast<long>(fanNext.size()) - static_cast<long>(edges) +
                static_cast<long>(triangles.size()),
            2);
}

D3 GreatCircleMidpoint(D3 a, D3 b) {
  const D3 sum = a + b;
  return (128.0 / Length(sum)) * sum;
}

TEST(OrganicTopology, CountsAndIndices) {
  const OrganicMesh& mesh = Sphere();
  ASSERT_EQ(mesh.points.size(), static_cast<size_t>(kOrganicPointCount));
  ASSERT_EQ(mesh.triangles.size(), static_cast<size_t>(kOrganicTriangleCount));
  for (const Triangle& t : mesh.triangles) {
    for (uint32_t i : t) ASSERT_LT(i, static_cast<uint32_t>(kOrganicPointCount));
  }
  // The apexes are the first two points, on the y axis.
  EXPECT_EQ(mesh.points[0].x, 0.0f);
  EXPECT_EQ(mesh.points[0].y, 128.0f);
  EXPECT_EQ(mesh.points[0].z, 0.0f);
  EXPECT_EQ(mesh.points[1].x, 0.0f);
  EXPECT_EQ(mesh.points[1].y, -128.0f);
  EXPECT_EQ(mesh.points[1].z, 0.0f);
}

TEST(OrganicTopology, IsAClosedSurfaceOfSphereType) {
  ExpectClosedSphere(Sphere().triangles, kOrganicPointCount);
}

// Reads the groups of four back level by level: each group must be the four-way split of its parent
// in the fixed child order, the midpoints must halve the parent's edges on the sphere, and the
// parents must again form a closed sphere, down to the 16 triangles of the bipyramid.
TEST(OrganicTopology, GroupsOfFourSplitTheirParentsOnEveryLevel) {
  const OrganicMesh& mesh = Sphere();
  std::vector<Triangle> level = mesh.triangles;
  size_t pointsUsed = kOrganicPointCount;
  while (level.size() > 16) {
    SCOPED_TRACE("level of " + std::to_string(level.size()) + " triangles");
    std::vector<Triangle> parents;
    for (size_t g = 0; g < level.size(); g += 4) {
      const uint32_t a = level[g][0], b = level[g + 1][1], c = level[g + 3][2];
      const uint32_t ab = level[g][1], ca = level[g][2], bc = level[g + 1][2];
      const std::array<Triangle, 4> expected = {
          {{a, ab, ca}, {ab, b, bc}, {ab, bc, ca}, {ca, bc, c}}};
      for (int i = 0; i < 4; ++i) ASSERT_EQ(level[g + i], expected[i]) << "group " << g / 4;
      const std::set<uint32_t> used = {a, b, c, ab, bc, ca};
      ASSERT_EQ(used.size(), 6u) << "group " << g / 4;
      const std::pair<uint32_t, std::pair<uint32_t, uint32_t>> halves[3] = {
          {ab, {a, b}}, {bc, {b, c}}, {ca, {c, a}}};
      for (const auto& [mid, ends] : halves) {
        const D3 want =
            GreatCircleMidpoint(ToD3(mesh.points[ends.first]), ToD3(mesh.points[ends.second]));
        ASSERT_LT(Length(ToD3(mesh.points[mid]) - want), 1e-3) << "group " << g / 4;
      }
      parents.push_back({a, b, c});
    }
    pointsUsed = (pointsUsed - 2) / 4 + 2;  // 8194 -> 2050 -> 514 -> 130 -> 34 -> 10
    ExpectClosedSphere(parents, pointsUsed);
    if (HasFatalFailure()) return;
    level = std::move(parents);
  }
  EXPECT_EQ(pointsUsed, 10u);
}

TEST(OrganicSphere, PointsOnTheSphereAndEdgesEven) {
  const OrganicMesh& mesh = Sphere();
  for (const Vec3& p : mesh.points) ASSERT_NEAR(Length(ToD3(p)), 128.0, 1e-4);
  double shortest = 1e30, longest = 0;
  for (const Triangle& t : mesh.triangles) {
    const auto c = Corners(mesh.points, t);
    for (int i = 0; i < 3; ++i) {
      const double length = Length(c[(i + 1) % 3] - c[i]);
      shortest = std::min(shortest, length);
      longest = std::max(longest, length);
    }
  }
  EXPECT_LE(longest / shortest, 2.0);
  RecordProperty("EdgeRatio", std::to_string(longest / shortest));
}

class StandardShape : public testing::TestWithParam<int> {};

std::string ShapeTestName(const testing::TestParamInfo<int>& info) {
  std::string name = kShapeNames[info.param];
  name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
  return name;
}

// The outward normal test: (P1 - P0) x (P2 - P0) . P0 is the distance of the triangle's plane from
// the centre times twice its area; it must be clearly positive on a convex shape around the centre.
// With a minimum area and a minimum angle this rules out flipped, collapsed and needle triangles.
TEST_P(StandardShape, EveryTriangleFacesOutwardAndKeepsItsShape) {
  const std::vector<Vec3>& points = Shape(GetParam());
  ASSERT_EQ(points.size(), static_cast<size_t>(kOrganicPointCount));
  double smallestArea = 1e30, smallestAngle = 180;
  for (const Triangle& t : Sphere().triangles) {
    const auto c = Corners(points, t);
    const D3 normal = Cross(c[1] - c[0], c[2] - c[0]);
    const double area = Length(normal) / 2;
    ASSERT_GT(area, 1.0) << "triangle " << t[0] << " " << t[1] << " " << t[2];
    ASSERT_GT(Dot(normal, c[0]) / Length(normal), 1.0)
        << "triangle " << t[0] << " " << t[1] << " " << t[2] << " faces inward";
    for (int i = 0; i < 3; ++i) {
      const D3 u = c[(i + 1) % 3] - c[i], v = c[(i + 2) % 3] - c[i];
      const double degrees =
          std::acos(Dot(u, v) / (Length(u) * Length(v))) * 180 / 3.14159265358979;
      smallestAngle = std::min(smallestAngle, degrees);
    }
    smallestArea = std::min(smallestArea, area);
  }
  EXPECT_GT(smallestAngle, 25.0);
  RecordProperty("SmallestArea", std::to_string(smallestArea));
  RecordProperty("SmallestAngle", std::to_string(smallestAngle));
}

TEST_P(StandardShape, FillsTheCubeFromMinus128To128) {
  const std::vector<Vec3>& points = Shape(GetParam());
  ASSERT_FALSE(points.empty());
  D3 low{1e30, 1e30, 1e30}, high{-1e30, -1e30, -1e30};
  for (const Vec3& p : points) {
    low = {std::min<double>(low.x, p.x), std::min<double>(low.y, p.y),
           std::min<double>(low.z, p.z)};
    high = {std::max<double>(high.x, p.x), std::max<double>(high.y, p.y),
            std::max<double>(high.z, p.z)};
  }
  // Every shape reaches all six faces of the cube (the tetrahedron along its edges, which are
  // diagonals of the cube's faces) and none goes past them.
  for (double v : {low.x, low.y, low.z}) EXPECT_DOUBLE_EQ(v, -128.0);
  for (double v : {high.x, high.y, high.z}) EXPECT_DOUBLE_EQ(v, 128.0);
}

// How far a point is from the shape's surface, in coordinate units.
double OffSurface(int shape, const Vec3& p) {
  const double radial = std::sqrt(double{p.x} * p.x + double{p.z} * p.z);
  const double ay = std::fabs(double{p.y});
  switch (shape) {
    case kSphere: return std::fabs(Length(ToD3(p)) - 128.0);
    case kTetrahedron: {
      // Inside: all four face forms >= -128; on the surface the smallest is -128.
      const double forms[4] = {p.x + p.y + p.z, -p.x + p.y - p.z, p.x - p.y - p.z,
                               -p.x - p.y + p.z};
      return std::fabs(*std::min_element(forms, forms + 4) + 128.0) / std::sqrt(3.0);
    }
    case kCylinder: {
      // A straight tube for |y| <= 64, closed by half-ellipse domes 64 high.
      if (ay <= 64.0) return std::fabs(radial - 128.0);
      const double u = radial / 128, v = (ay - 64) / 64;
      return std::fabs(std::sqrt(u * u + v * v) - 1) * 64;
    }
    case kCube:
      return std::fabs(std::max({std::fabs(double{p.x}), ay, std::fabs(double{p.z})}) - 128.0);
    default: return std::fabs(std::max(radial, ay) - 128.0);
  }
}

TEST_P(StandardShape, PointsLieOnTheShapesSurface) {
  const std::vector<Vec3>& points = Shape(GetParam());
  for (size_t i = 0; i < points.size(); ++i) {
    ASSERT_LT(OffSurface(GetParam(), points[i]), 1e-3) << "point " << i;
  }
}

// --- Self-intersection: every pair of triangles without a common point, found through a grid.

constexpr double kTouch = 1e-4;  // closer than this counts as touching

D3 Project2(D3 p, int dropAxis) {
  if (dropAxis == 0) return {p.y, p.z, 0};
  if (dropAxis == 1) return {p.z, p.x, 0};
  return {p.x, p.y, 0};
}

double Orient2(D3 a, D3 b, D3 c) { return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x); }

bool Segments2Touch(D3 p, D3 q, D3 a, D3 b) {
  const double o1 = Orient2(p, q, a), o2 = Orient2(p, q, b);
  const double o3 = Orient2(a, b, p), o4 = Orient2(a, b, q);
  // Orient2 over the segment's length is the distance from its line.
  const double pq = Length(q - p);
  if (std::fabs(o1) <= kTouch * pq && std::fabs(o2) <= kTouch * pq) {
    // Overlap of the two intervals along the segment's direction.
    const D3 d = q - p;
    const double len2 = Dot(d, d);
    const double ta = Dot(a - p, d) / len2, tb = Dot(b - p, d) / len2;
    return std::max(ta, tb) >= -kTouch && std::min(ta, tb) <= 1 + kTouch;
  }
  return ((o1 <= 0 && o2 >= 0) || (o1 >= 0 && o2 <= 0)) &&
         ((o3 <= 0 && o4 >= 0) || (o3 >= 0 && o4 <= 0));
}

bool Inside2(D3 p, D3 a, D3 b, D3 c) {
  const double o1 = Orient2(a, b, p), o2 = Orient2(b, c, p), o3 = Orient2(c, a, p);
  return (o1 >= 0 && o2 >= 0 && o3 >= 0) || (o1 <= 0 && o2 <= 0 && o3 <= 0);
}

bool InsideTriangle(D3 x, D3 a, D3 b, D3 c, D3 normal) {
  const double n = Length(normal);
  const D3 corner[3] = {a, b, c};
  for (int i = 0; i < 3; ++i) {
    const D3 e = corner[(i + 1) % 3] - corner[i];
    if (Dot(normal, Cross(e, x - corner[i])) < -kTouch * n * Length(e)) return false;
  }
  return true;
}

bool SegmentTouchesTriangle(D3 p, D3 q, D3 a, D3 b, D3 c) {
  const D3 normal = Cross(b - a, c - a);
  const double n = Length(normal);
  const double dp = Dot(normal, p - a) / n, dq = Dot(normal, q - a) / n;
  if ((dp > kTouch && dq > kTouch) || (dp < -kTouch && dq < -kTouch)) return false;
  if (std::fabs(dp) <= kTouch && std::fabs(dq) <= kTouch) {
    // The segment lies in the triangle's plane: decide in 2D, dropping the normal's largest axis.
    const double ax = std::fabs(normal.x), ay = std::fabs(normal.y), az = std::fabs(normal.z);
    const int drop = ax >= ay && ax >= az ? 0 : (ay >= az ? 1 : 2);
    const D3 p2 = Project2(p, drop), q2 = Project2(q, drop);
    const D3 a2 = Project2(a, drop), b2 = Project2(b, drop), c2 = Project2(c, drop);
    return Inside2(p2, a2, b2, c2) || Inside2(q2, a2, b2, c2) || Segments2Touch(p2, q2, a2, b2) ||
           Segments2Touch(p2, q2, b2, c2) || Segments2Touch(p2, q2, c2, a2);
  }
  const D3 x = std::fabs(dp) <= kTouch   ? p
               : std::fabs(dq) <= kTouch ? q
                                         : p + (dp / (dp - dq)) * (q - p);
  return InsideTriangle(x, a, b, c, normal);
}

// Two triangles meet exactly when an edge of one meets the other.
bool TrianglesTouch(const std::array<D3, 3>& t, const std::array<D3, 3>& u) {
  for (int i = 0; i < 3; ++i) {
    if (SegmentTouchesTriangle(t[i], t[(i + 1) % 3], u[0], u[1], u[2])) return true;
    if (SegmentTouchesTriangle(u[i], u[(i + 1) % 3], t[0], t[1], t[2])) return true;
  }
  return false;
}

// Counts the pairs of triangles that share no point but touch or cross. Each triangle goes into the
// grid cells its bounding box covers; a pair is tested only in the cell that holds the low corner
// of the overlap of their boxes, so it is tested once.
int CountCrossingPairs(const std::vector<Vec3>& points, const std::vector<Triangle>& triangles) {
  constexpr double kOrigin = -140.0, kCell = 8.0;
  constexpr int kCells = 35;
  auto cellOf = [](double v) {
    return std::clamp(static_cast<int>(std::floor((v - kOrigin) / kCell)), 0, kCells - 1);
  };
  struct Box {
    D3 low, high;
  };
  std::vector<Box> boxes;
  std::vector<std::vector<int>> cells(kCells * kCells * kCells);
  for (size_t i = 0; i < triangles.size(); ++i) {
    const auto c = Corners(points, triangles[i]);
    Box b{{std::min({c[0].x, c[1].x, c[2].x}) - kTouch, std::min({c[0].y, c[1].y, c[2].y}) - kTouch,
           std::min({c[0].z, c[1].z, c[2].z}) - kTouch},
          {std::max({c[0].x, c[1].x, c[2].x}) + kTouch, std::max({c[0].y, c[1].y, c[2].y}) + kTouch,
           std::max({c[0].z, c[1].z, c[2].z}) + kTouch}};
    boxes.push_back(b);
    for (int x = cellOf(b.low.x); x <= cellOf(b.high.x); ++x) {
      for (int y = cellOf(b.low.y); y <= cellOf(b.high.y); ++y) {
        for (int z = cellOf(b.low.z); z <= cellOf(b.high.z); ++z) {
          cells[(x * kCells + y) * kCells + z].push_back(static_cast<int>(i));
        }
      }
    }
  }
  int crossings = 0;
  for (int x = 0; x < kCells; ++x) {
    for (int y = 0; y < kCells; ++y) {
      for (int z = 0; z < kCells; ++z) {
        const std::vector<int>& cell = cells[(x * kCells + y) * kCells + z];
        for (size_t i = 0; i < cell.size(); ++i) {
          for (size_t j = i + 1; j < cell.size(); ++j) {
            const Triangle& t = triangles[cell[i]];
            const Triangle& u = triangles[cell[j]];
            bool sharePoint = false;
            for (uint32_t a : t) sharePoint = sharePoint || a == u[0] || a == u[1] || a == u[2];
            if (sharePoint) continue;
            const Box& bt = boxes[cell[i]];
            const Box& bu = boxes[cell[j]];
            const D3 low{std::max(bt.low.x, bu.low.x), std::max(bt.low.y, bu.low.y),
                         std::max(bt.low.z, bu.low.z)};
            const D3 high{std::min(bt.high.x, bu.high.x), std::min(bt.high.y, bu.high.y),
                          std::min(bt.high.z, bu.high.z)};
            if (low.x > high.x || low.y > high.y || low.z > high.z) continue;
            if (cellOf(low.x) != x || cellOf(low.y) != y || cellOf(low.z) != z) continue;
            if (TrianglesTouch(Corners(points, t), Corners(points, u))) ++crossings;
          }
        }
      }
    }
  }
  return crossings;
}

TEST_P(StandardShape, DoesNotIntersectItself) {
  EXPECT_EQ(CountCrossingPairs(Shape(GetParam()), Sphere().triangles), 0);
}

INSTANTIATE_TEST_SUITE_P(OrganicShapes, StandardShape, testing::Range(0, kStandardShapeCount),
                         ShapeTestName);

// The intersection check itself must see a fault: push the top face's centre of the cube down
// through the bottom face, and the triangles around it must cross the bottom and the sides.
TEST(OrganicShapeCheck, FindsACubeWithAPointPushedThrough) {
  std::vector<Vec3> points = Shape(kCube);
  ASSERT_EQ(points[0].y, 128.0f);
  points[0].y = -200.0f;
  EXPECT_GT(CountCrossingPairs(points, Sphere().triangles), 0);
  // Touching counts as well: two coplanar triangles sharing no point but overlapping.
  const std::vector<Vec3> flat = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0},
                                  {2, 2, 0}, {12, 2, 0}, {2, 12, 0}};
  EXPECT_EQ(CountCrossingPairs(flat, {{0, 1, 2}, {3, 4, 5}}), 1);
  const std::vector<Vec3> apart = {{0, 0, 0},  {10, 0, 0}, {0, 10, 0},
                                   {20, 0, 0}, {30, 0, 0}, {20, 10, 0}};
  EXPECT_EQ(CountCrossingPairs(apart, {{0, 1, 2}, {3, 4, 5}}), 0);
}

TEST(OrganicShapeForms, SphereIsTheOrganicSphere) {
  const std::vector<Vec3>& points = Shape(kSphere);
  ASSERT_EQ(points.size(), Sphere().points.size());
  for (size_t i = 0; i < points.size(); ++i) {
    ASSERT_EQ(std::bit_cast<uint32_t>(points[i].x), std::bit_cast<uint32_t>(Sphere().points[i].x));
    ASSERT_EQ(std::bit_cast<uint32_t>(points[i].y), std::bit_cast<uint32_t>(Sphere().points[i].y));
    ASSERT_EQ(std::bit_cast<uint32_t>(points[i].z), std::bit_cast<uint32_t>(Sphere().points[i].z));
  }
}

bool HasPoint(const std::vector<Vec3>& points, double x, double y, double z) {
  return std::any_of(points.begin(), points.end(),
                     [&](const Vec3& p) { return p.x == x && p.y == y && p.z == z; });
}

// Sharp features are carried by points and edges of the mesh, not cut off between them.
TEST(OrganicShapeForms, CornersAndRimsAreMeshPoints) {
  for (double x : {-128.0, 128.0}) {
    for (double y : {-128.0, 128.0}) {
      for (double z : {-128.0, 128.0}) {
        EXPECT_TRUE(HasPoint(Shape(kCube), x, y, z)) << x << " " << y << " " << z;
        // The tetrahedron takes the corners whose coordinates multiply to +128^3.
        EXPECT_EQ(HasPoint(Shape(kTetrahedron), x, y, z), x * y * z > 0)
            << x << " " << y << " " << z;
      }
    }
  }
  // Capped: a flat cap of many points at each end, and a rim ring on the cap's edge. Rounded: only
  // the apex reaches the end planes; the side is straight only for |y| <= 64.
  auto count = [](const std::vector<Vec3>& points, auto&& pick) {
    return std::count_if(points.begin(), points.end(), pick);
  };
  auto radial = [](const Vec3& p) { return std::sqrt(double{p.x} * p.x + double{p.z} * p.z); };
  for (float end : {128.0f, -128.0f}) {
    EXPECT_GT(count(Shape(kCappedCylinder), [&](const Vec3& p) { return p.y == end; }), 2000);
    EXPECT_EQ(count(Shape(kCappedCylinder),
                    [&](const Vec3& p) { return p.y == end && std::fabs(radial(p) - 128) < 1e-3; }),
              128);
    EXPECT_EQ(count(Shape(kCylinder), [&](const Vec3& p) { return p.y == end; }), 1);
  }
  EXPECT_GT(count(Shape(kCylinder), [&](const Vec3& p) { return std::fabs(p.y) > 64.001f; }), 1000);
}

// The triangle list ships as the organic topology that every saved organic object relies on, and
// the shapes ship with it: two builds must agree bit for bit, and so must every machine (the
// digests pin the generated data; changing them would break objects saved before).
uint64_t Digest(const std::vector<uint32_t>& words) {
  uint64_t h = 14695981039346656037ull;
  for (uint32_t w : words) {
    for (int i = 0; i < 4; ++i) {
      h ^= (w >> (8 * i)) & 0xFF;
      h *= 1099511628211ull;
    }
  }
  return h;
}

std::vector<uint32_t> Words(const std::vector<Vec3>& points) {
  std::vector<uint32_t> words;
  for (const Vec3& p : points) {
    words.push_back(std::bit_cast<uint32_t>(p.x));
    words.push_back(std::bit_cast<uint32_t>(p.y));
    words.push_back(std::bit_cast<uint32_t>(p.z));
  }
  return words;
}

std::vector<uint32_t> Words(const std::vector<Triangle>& triangles) {
  std::vector<uint32_t> words;
  for (const Triangle& t : triangles) words.insert(words.end(), t.begin(), t.end());
  return words;
}

TEST(OrganicDeterminism, RebuildingGivesTheSameBits) {
  const OrganicMesh again = BuildOrganicSphere();
  EXPECT_EQ(Words(again.triangles), Words(Sphere().triangles));
  EXPECT_EQ(Words(again.points), Words(Sphere().points));
  for (int s = 0; s < kStandardShapeCount; ++s) {
    EXPECT_EQ(Words(BuildStandardShape(s, again)), Words(Shape(s))) << kShapeNames[s];
  }
}

TEST(OrganicDeterminism, GeneratedDataIsPinned) {
  EXPECT_EQ(Digest(Words(Sphere().triangles)), 9508564011423318101ull);
  const uint64_t shapes[kStandardShapeCount] = {10528492454056852141ull, 6082077919701159197ull,
                                                13088834053276805109ull, 985704768468268085ull,
                                                6005873900246690709ull};
  for (int s = 0; s < kStandardShapeCount; ++s) {
    EXPECT_EQ(Digest(Words(Shape(s))), shapes[s]) << kShapeNames[s];
  }
}

TEST(OrganicShapeInput, RejectsUnknownShapesAndForeignTopologies) {
  EXPECT_TRUE(BuildStandardShape(-1, Sphere()).empty());
  EXPECT_TRUE(BuildStandardShape(kStandardShapeCount, Sphere()).empty());
  EXPECT_TRUE(BuildStandardShape(kCube, OrganicMesh{}).empty());

  // Same points, but one triangle turned so its group no longer reads as a split.
  OrganicMesh turned = Sphere();
  std::rotate(turned.triangles[4101].begin(), turned.triangles[4101].begin() + 1,
              turned.triangles[4101].end());
  EXPECT_TRUE(BuildStandardShape(kCube, turned).empty());
  EXPECT_TRUE(BuildStandardShape(kSphere, turned).empty());

  // Each group still splits its parent, but two groups are swapped, so their parents no longer
  // read as a group one level up.
  OrganicMesh shuffled = Sphere();
  std::swap_ranges(shuffled.triangles.begin(), shuffled.triangles.begin() + 4,
                   shuffled.triangles.begin() + 4);
  EXPECT_TRUE(BuildStandardShape(kTetrahedron, shuffled).empty());
}

}  // namespace
}  // namespace tsv::resgen
