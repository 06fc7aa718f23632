// organic_mesh.cpp: the organic topology (a gyroelongated square bipyramid split four ways five
// times on the sphere of radius 128) and the standard shapes laid out on it. Build-time only.
//
// Point order of the topology: point 0 is the north apex (0, 128, 0) and point 1 the south apex
// (0, -128, 0); points 2..5 are the upper square and 6..9 the lower square of the bipyramid; every
// further point is an edge midpoint, numbered in the order the splits first meet its edge (parents
// in order, edges (a, b), (b, c), (c, a)). Every split stores the children of each parent as one
// group of four, so the grouping holds on all five levels, not only the last.
//
// Everything is computed in double with +, -, *, / and sqrt only (our own sine and cosine below),
// so every machine writes the same bits: the resource files must never change under a saved object.
// Fusing a * b + c into one rounding (on machines with fused multiply-add) would change the bits,
// so contraction is switched off for this file.
#include "resources/generator/organic_mesh.h"

#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#elif defined(__GNUC__)
#pragma GCC optimize("fp-contract=off")
#endif

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <map>
#include <utility>

namespace tsv::resgen {
namespace {

using Triangle = std::array<uint32_t, 3>;

struct Vec3d {
  double x = 0, y = 0, z = 0;
};

Vec3d operator+(Vec3d a, Vec3d b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3d operator*(double s, Vec3d a) { return {s * a.x, s * a.y, s * a.z}; }

constexpr double kRadius = 128.0;
constexpr int kSplitCount = 5;
// Barycentric weights of a point within its base triangle count in 32nds: five halvings.
constexpr int kWeightUnit = 1 << kSplitCount;

constexpr int kBasePointCount = 10;
constexpr uint32_t kNorth = 0;
constexpr uint32_t kSouth = 1;
constexpr uint32_t kUpper = 2;  // first point of the upper square
constexpr uint32_t kLower = 6;  // first point of the lower square

// Upper square point k sits at azimuth 22.5 + 90k degrees, lower square point k at -22.5 + 90k,
// so upper point k lies between lower points k and k + 1. Azimuth a points along (cos a, 0, sin a).
constexpr double kUpperAzimuth = 22.5;
constexpr double kLowerAzimuth = -22.5;

// The 16 triangles of the bipyramid, wound outward: the fan around the north apex, the band of
// eight between the squares, the fan around the south apex.
// clang-format off
constexpr std::array<Triangle, 16> kBaseTriangles = {{
    {0, 3, 2}, {0, 4, 3}, {0, 5, 4}, {0, 2, 5},
    {2, 7, 6}, {7, 2, 3}, {3, 8, 7}, {8, 3, 4}, {4, 9, 8}, {9, 4, 5}, {5, 6, 9}, {6, 5, 2},
    {1, 6, 7}, {1, 7, 8}, {1, 8, 9}, {1, 9, 6}}};
// clang-format on

uint32_t UpperPoint(int k) { return kUpper + static_cast<uint32_t>(k); }
uint32_t LowerPoint(int k) { return kLower + static_cast<uint32_t>(k); }

// Sine and cosine of an angle in degrees by reduction to a quarter turn and a Taylor series, so
// that the result does not depend on the platform's mathematics library. Multiples of 90 degrees
// are exact, and the error elsewhere is below one unit in the last place of a float by far.
void SinCosDegrees(double degrees, double& sine, double& cosine) {
  const double quarter = std::floor(degrees / 90.0 + 0.5);
  const double x = (degrees - quarter * 90.0) * (3.14159265358979323846 / 180.0);  // |x| <= pi/4
  const double x2 = x * x;
  // Taylor series in nested form, up to x^17 for the sine and x^16 for the cosine.
  double s = 1, c = 1;
  for (int n = 16; n >= 2; n -= 2) {
    s = 1 - x2 / (n * (n + 1)) * s;
    c = 1 - x2 / ((n - 1) * n) * c;
  }
  s *= x;
  switch (((static_cast<long long>(quarter) % 4) + 4) % 4) {
    case 0:
      sine = s;
      cosine = c;
      break;
    case 1:
      sine = c;
      cosine = -s;
      break;
    case 2:
      sine = -s;
      cosine = -c;
      break;
    default:
      sine = -c;
      cosine = s;
      break;
  }
}

Vec3d AtAzimuth(double degrees, double radius, double y) {
  double s = 0, c = 0;
  SinCosDegrees(degrees, s, c);
  return {radius * c, y, radius * s};
}

Vec3d OntoSphere(Vec3d p) {
  const double length = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
  return (kRadius / length) * p;
}

// The four children of (a, b, c) in their stored order. Corner 0 of the first, corner 1 of the
// second and corner 2 of the fourth give the parent back: renderers draw coarse outlines from them.
std::array<Triangle, 4> Children(uint32_t a, uint32_t b, uint32_t c, uint32_t ab, uint32_t bc,
                                 uint32_t ca) {
  return {{{a, ab, ca}, {ab, b, bc}, {ab, bc, ca}, {ca, bc, c}}};
}

std::vector<Triangle> SplitOnSphere(const std::vector<Triangle>& parents,
                                    std::vector<Vec3d>& points) {
  std::map<std::pair<uint32_t, uint32_t>, uint32_t> midpoints;
  auto midpointOf = [&](uint32_t a, uint32_t b) {
    const std::pair<uint32_t, uint32_t> edge = std::minmax(a, b);
    const auto [it, isNew] = midpoints.try_emplace(edge, static_cast<uint32_t>(points.size()));
    if (isNew) points.push_back(OntoSphere(points[a] + points[b]));
    return it->second;
  };
  std::vector<Triangle> children;
  children.reserve(parents.size() * 4);
  for (const Triangle& t : parents) {
    const uint32_t ab = midpointOf(t[0], t[1]);
    const uint32_t bc = midpointOf(t[1], t[2]);
    const uint32_t ca = midpointOf(t[2], t[0]);
    for (const Triangle& child : Children(t[0], t[1], t[2], ab, bc, ca)) children.push_back(child);
  }
  return children;
}

// Where a point of the topology lies in the bipyramid: the base triangle it was made in and its
// barycentric weights there (in 32nds, summing to 32). The shapes place points from it.
struct BasePlace {
  int triangle = -1;
  std::array<int, 3> weight{};
};

// Recovers every point's base place from the triangle list alone, reading the groups of four back
// up to the 16 base triangles. False when the list is not the five-level split of the bipyramid.
bool LocateInBase(const std::vector<Triangle>& triangles, size_t pointCount,
                  std::vector<BasePlace>& places) {
  struct Midpoints {
    uint32_t ab, bc, ca;
  };
  std::array<std::vector<Triangle>, kSplitCount + 1> levels;
  std::array<std::vector<Midpoints>, kSplitCount> midpoints;
  levels[kSplitCount] = triangles;
  for (int level = kSplitCount; level > 0; --level) {
    const std::vector<Triangle>& children = levels[level];
    if (children.size() % 4 != 0) return false;
    for (size_t g = 0; g < children.size(); g += 4) {
      const uint32_t a = children[g][0], ab = children[g][1], ca = children[g][2];
      const uint32_t b = children[g + 1][1], bc = children[g + 1][2];
      const uint32_t c = children[g + 3][2];
      const std::array<Triangle, 4> expected = Children(a, b, c, ab, bc, ca);
      for (int i = 0; i < 4; ++i) {
        if (children[g + i] != expected[i]) return false;
      }
      levels[level - 1].push_back({a, b, c});
      midpoints[level - 1].push_back({ab, bc, ca});
    }
  }
  if (levels[0].size() != kBaseTriangles.size()) return false;
  for (size_t i = 0; i < kBaseTriangles.size(); ++i) {
    if (levels[0][i] != kBaseTriangles[i]) return false;
  }

  places.assign(pointCount, BasePlace{});
  auto place = [&](uint32_t point, int baseTriangle, const std::array<int, 3>& weight) {
    if (point >= pointCount) return false;
    if (places[point].triangle < 0) places[point] = {baseTriangle, weight};
    return true;
  };
  // Per triangle of the current level: its base triangle and the weights of its three corners.
  struct Located {
    int base;
    std::array<std::array<int, 3>, 3> corner;
  };
  std::vector<Located> current;
  for (int t = 0; t < static_cast<int>(kBaseTriangles.size()); ++t) {
    Located l{t, {{{kWeightUnit, 0, 0}, {0, kWeightUnit, 0}, {0, 0, kWeightUnit}}}};
    for (int i = 0; i < 3; ++i) {
      if (!place(kBaseTriangles[t][i], t, l.corner[i])) return false;
    }
    current.push_back(l);
  }
  for (int level = 0; level < kSplitCount; ++level) {
    std::vector<Located> next;
    next.reserve(current.size() * 4);
    for (size_t j = 0; j < current.size(); ++j) {
      const Located& p = current[j];
      auto half = [](const std::array<int, 3>& u, const std::array<int, 3>& v) {
        return std::array<int, 3>{(u[0] + v[0]) / 2, (u[1] + v[1]) / 2, (u[2] + v[2]) / 2};
      };
      const std::array<int, 3> ab = half(p.corner[0], p.corner[1]);
      const std::array<int, 3> bc = half(p.corner[1], p.corner[2]);
      const std::array<int, 3> ca = half(p.corner[2], p.corner[0]);
      const Midpoints& m = midpoints[level][j];
      if (!place(m.ab, p.base, ab) || !place(m.bc, p.base, bc) || !place(m.ca, p.base, ca)) {
        return false;
      }
      next.push_back({p.base, {{p.corner[0], ab, ca}}});
      next.push_back({p.base, {{ab, p.corner[1], bc}}});
      next.push_back({p.base, {{ab, bc, ca}}});
      next.push_back({p.base, {{ca, bc, p.corner[2]}}});
    }
    current = std::move(next);
  }
  for (const BasePlace& p : places) {
    if (p.triangle < 0) return false;
  }
  return true;
}

// --- Flat shapes: every base triangle lies in one face, and its points are spread evenly over it.

using BaseLayout = std::array<Vec3d, kBasePointCount>;

Vec3d FlatPlace(const BaseLayout& layout, const BasePlace& p) {
  const Triangle& t = kBaseTriangles[p.triangle];
  Vec3d sum;
  for (int i = 0; i < 3; ++i) sum = sum + static_cast<double>(p.weight[i]) * layout[t[i]];
  return (1.0 / kWeightUnit) * sum;
}

Vec3d CubeCorner(double azimuth, double y) {
  double s = 0, c = 0;
  SinCosDegrees(azimuth, s, c);
  return {c > 0 ? kRadius : -kRadius, y, s > 0 ? kRadius : -kRadius};
}

// The cube: the apexes at the centres of the top and bottom faces, the upper square on the top
// corners and the lower square on the bottom corners. Turning the squares 22.5 degrees each, in
// opposite senses, puts every lower point under an upper one, so each band triangle becomes half of
// a side face and the fans become the top and bottom faces.
BaseLayout CubeLayout() {
  BaseLayout layout;
  layout[kNorth] = {0, kRadius, 0};
  layout[kSouth] = {0, -kRadius, 0};
  for (int k = 0; k < 4; ++k) {
    layout[UpperPoint(k)] = CubeCorner(kUpperAzimuth + 22.5 + 90.0 * k, kRadius);
    layout[LowerPoint(k)] = CubeCorner(kLowerAzimuth - 22.5 + 90.0 * k, -kRadius);
  }
  return layout;
}

// The tetrahedron on the cube corners A (128, 128, 128), B (-128, 128, -128), C (128, -128, -128)
// and D (-128, -128, 128), the corners that the cube layout gives upper points 0 and 2 and lower
// points 0 and 2. The apexes halve the edges AB and CD and upper points 1 and 3 halve AD and BC
// (the band edges upper 0 - lower 0 and upper 2 - lower 2 are the edges AC and BD themselves);
// lower points 1 and 3 sit at the centres of the faces ACD and BCD. Faces ABD and ABC hold three
// base triangles each, faces ACD and BCD five. A search over where these points may go along their
// edges and inside their faces found none with a larger smallest angle: no triangle has an angle
// below 30 degrees.
BaseLayout TetrahedronLayout() {
  const Vec3d a{kRadius, kRadius, kRadius}, b{-kRadius, kRadius, -kRadius};
  const Vec3d c{kRadius, -kRadius, -kRadius}, d{-kRadius, -kRadius, kRadius};
  auto along = [](Vec3d from, Vec3d to, double t) { return (1.0 - t) * from + t * to; };
  // A half turn about the y axis swaps A with B and C with D, and upper/lower point k with k + 2.
  auto halfTurn = [](Vec3d p) { return Vec3d{-p.x, p.y, -p.z}; };
  BaseLayout layout;
  layout[kNorth] = along(a, b, 0.5);
  layout[kSouth] = along(c, d, 0.5);
  layout[UpperPoint(0)] = a;
  layout[UpperPoint(1)] = along(a, d, 0.5);
  layout[UpperPoint(2)] = b;
  layout[UpperPoint(3)] = halfTurn(layout[UpperPoint(1)]);
  layout[LowerPoint(0)] = c;
  layout[LowerPoint(1)] = (1.0 / 3.0) * (a + c + d);
  layout[LowerPoint(2)] = d;
  layout[LowerPoint(3)] = halfTurn(layout[LowerPoint(1)]);
  return layout;
}

// --- Shapes of revolution about the y axis: a point is placed by its azimuth and by a profile
// parameter s that runs from the north apex (0) over the upper square (kUpperProfile) and the lower
// square (1 - kUpperProfile) to the south apex (1). Both are interpolated linearly over the base
// triangle (the azimuth only over corners off the axis), so the fans keep rings of equal spacing.

constexpr double kUpperProfile = 0.25;

struct ProfilePoint {
  double radius, y;
};
using Profile = ProfilePoint (*)(double s);

Vec3d RevolvedPlace(Profile profile, const BasePlace& p) {
  const Triangle& t = kBaseTriangles[p.triangle];
  double s = 0, azimuthSum = 0, azimuthWeight = 0, reference = 0;
  bool haveReference = false;
  for (int i = 0; i < 3; ++i) {
    const uint32_t corner = t[i];
    const double w = p.weight[i];
    if (corner == kNorth) continue;
    if (corner == kSouth) {
      s += w;
      continue;
    }
    const bool upper = corner < kLower;
    s += w * (upper ? kUpperProfile : 1.0 - kUpperProfile);
    const int k = static_cast<int>(corner - (upper ? kUpper : kLower));
    double azimuth = (upper ? kUpperAzimuth : kLowerAzimuth) + 90.0 * k;
    // Keep the corners of one triangle on the same side of the seam at 360 degrees.
    if (!haveReference) {
      reference = azimuth;
      haveReference = true;
    } else if (azimuth - reference > 180.0) {
      azimuth -= 360.0;
    } else if (reference - azimuth > 180.0) {
      azimuth += 360.0;
    }
    azimuthSum += w * azimuth;
    azimuthWeight += w;
  }
  const ProfilePoint q = profile(s / kWeightUnit);
  // On the axis the azimuth does not matter (the radius is 0).
  const double azimuth = azimuthWeight > 0 ? azimuthSum / azimuthWeight : 0.0;
  return AtAzimuth(azimuth, q.radius, q.y);
}

// "Cylinder with caps": flat caps with a sharp rim. The fans are the caps (rings of growing radius
// in the planes y = +-128), the band is the side; the rim is the squares' edge loops.
ProfilePoint CappedCylinderProfile(double s) {
  if (s <= kUpperProfile) return {kRadius * s / kUpperProfile, kRadius};
  if (s >= 1.0 - kUpperProfile) return {kRadius * (1.0 - s) / kUpperProfile, -kRadius};
  return {kRadius, kRadius - 2.0 * kRadius * (s - kUpperProfile) / (1.0 - 2.0 * kUpperProfile)};
}

// "Cylinder": a tube whose ends round off and close towards the axis. The band is the straight
// side for |y| <= 128 - kCylinderDomeHeight; each fan is a half-ellipse dome of that height whose
// rings narrow to the apex on the axis, meeting the side without a crease. The dome angle grows
// as u (a + (1 - a) u) over the fan (u = 0 at the apex, 1 at the joint): with a = 2 / pi the rings
// near the apex are spaced like those of a flat cap, and they close up towards the joint where the
// dome turns steep, which keeps the triangles near equal in size and shape.
constexpr double kCylinderDomeHeight = 64.0;
constexpr double kDomeStartSlope = 2.0 / 3.14159265358979323846;

ProfilePoint RoundedCylinderProfile(double s) {
  const double joint = kRadius - kCylinderDomeHeight;
  if (s > kUpperProfile && s < 1.0 - kUpperProfile) {
    return {kRadius, joint - 2.0 * joint * (s - kUpperProfile) / (1.0 - 2.0 * kUpperProfile)};
  }
  const bool north = s <= kUpperProfile;
  const double fromApex = north ? s : 1.0 - s;  // 0 on the axis .. kUpperProfile at the joint
  double sine = 0, cosine = 0;
  const double u = fromApex / kUpperProfile;
  SinCosDegrees(90.0 * u * (kDomeStartSlope + (1.0 - kDomeStartSlope) * u), sine, cosine);
  const double y = joint + kCylinderDomeHeight * cosine;
  return {kRadius * sine, north ? y : -y};
}

std::vector<Vec3> ToFloat(const std::vector<Vec3d>& points) {
  std::vector<Vec3> out;
  out.reserve(points.size());
  for (const Vec3d& p : points) {
    out.push_back({static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
  }
  return out;
}

}  // namespace

OrganicMesh BuildOrganicSphere() {
  // With the squares at height (sqrt 2 - 1) x 128 the apex edges are exactly as long as the band
  // edges; that start gives the split sphere its most even edges (longest / shortest about 1.45).
  const double height = std::sqrt(2.0) - 1.0;
  const double ring = std::sqrt(1.0 - height * height);
  std::vector<Vec3d> points(kBasePointCount);
  points[kNorth] = {0, kRadius, 0};
  points[kSouth] = {0, -kRadius, 0};
  for (int k = 0; k < 4; ++k) {
    points[UpperPoint(k)] = AtAzimuth(kUpperAzimuth + 90.0 * k, kRadius * ring, kRadius * height);
    points[LowerPoint(k)] = AtAzimuth(kLowerAzimuth + 90.0 * k, kRadius * ring, -kRadius * height);
  }
  std::vector<Triangle> triangles(kBaseTriangles.begin(), kBaseTriangles.end());
  for (int level = 0; level < kSplitCount; ++level) triangles = SplitOnSphere(triangles, points);

  OrganicMesh mesh;
  mesh.points = ToFloat(points);
  mesh.triangles = std::move(triangles);
  return mesh;
}

std::vector<Vec3> BuildStandardShape(int shape, const OrganicMesh& sphere) {
  if (shape < 0 || shape >= kStandardShapeCount) return {};
  if (sphere.points.size() != static_cast<size_t>(kOrganicPointCount) ||
      sphere.triangles.size() != static_cast<size_t>(kOrganicTriangleCount)) {
    return {};
  }
  std::vector<BasePlace> places;
  if (!LocateInBase(sphere.triangles, sphere.points.size(), places)) return {};
  if (shape == 0) return sphere.points;

  std::vector<Vec3d> points;
  points.reserve(places.size());
  switch (shape) {
    case 1: {
      const BaseLayout layout = TetrahedronLayout();
      for (const BasePlace& p : places) points.push_back(FlatPlace(layout, p));
      break;
    }
    case 2:
      for (const BasePlace& p : places) points.push_back(RevolvedPlace(RoundedCylinderProfile, p));
      break;
    case 3: {
      const BaseLayout layout = CubeLayout();
      for (const BasePlace& p : places) points.push_back(FlatPlace(layout, p));
      break;
    }
    default:
      for (const BasePlace& p : places) points.push_back(RevolvedPlace(CappedCylinderProfile, p));
      break;
  }
  return ToFloat(points);
}

}  // namespace tsv::resgen
