// The per-point preparation of a redraw: the view rotation and light vector against their written
// out formulas, the orthographic projection with truncation, point normals and shades on the
// organic sphere, and the refresh step the tools call after moving points.
#include "render/work_data.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "render/projection.h"
#include "tests/render/render_fixture.h"

namespace tsv {
namespace {

using WorkData = test::RenderFixture;
using Matrix = std::array<std::array<double, 3>, 3>;

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix m{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) m[i][j] += a[i][k] * b[k][j];
  return m;
}

// R = Rz(gamma) Rx(alpha) Ry(beta), composed from the three right-handed axis rotations.
Matrix Composed(double alpha, double beta, double gamma) {
  const Matrix rx = {
      {{1, 0, 0}, {0, std::cos(alpha), -std::sin(alpha)}, {0, std::sin(alpha), std::cos(alpha)}}};
  const Matrix ry = {
      {{std::cos(beta), 0, std::sin(beta)}, {0, 1, 0}, {-std::sin(beta), 0, std::cos(beta)}}};
  const Matrix rz = {
      {{std::cos(gamma), -std::sin(gamma), 0}, {std::sin(gamma), std::cos(gamma), 0}, {0, 0, 1}}};
  return Multiply(rz, Multiply(rx, ry));
}

const std::array<float, 3> kAngleCases[] = {
    {0, 0, 0},         {0.3f, -1.1f, 2.5f},          {1.5707964f, 0, 0},
    {0, 4.712389f, 0}, {-0.7853982f, 0, 0.7853982f}, {2.9f, 0.4f, -0.6f}};

TEST_F(WorkData, ViewRotationIsRzRxRyAndItsInverseTheTranspose) {
  for (const auto& angles : kAngleCases) {
    const Matrix expected = Composed(angles[0], angles[1], angles[2]);
    BuildViewRotation(angles);
    const std::array<float, 9> r = renderState.viewRotation;
    BuildInverseViewRotation(angles);
    const std::array<float, 9> inverse = renderState.viewRotation;
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) {
        EXPECT_NEAR(r[size_t(i * 3 + j)], expected[i][j], 1e-6) << i << j;
        EXPECT_EQ(inverse[size_t(i * 3 + j)], r[size_t(j * 3 + i)]);
      }
    }
  }
}

TEST_F(WorkData, LightVectorHasLength126AndFollowsItsAngles) {
  for (const auto& angles : kAngleCases) {
    BuildLightVector(angles);
    const double a = angles[0], b = angles[1], g = angles[2];
    const std::array<float, 3>& l = renderState.lightVector;
    EXPECT_NEAR(l[0], 126 * (std::sin(a) * std::sin(g) * std::cos(b) + std::cos(g) * std::sin(b)),
                1e-4);
    EXPECT_NEAR(l[1], 126 * (std::sin(g) * std::sin(b) - std::sin(a) * std::cos(g) * std::cos(b)),
                1e-4);
    EXPECT_NEAR(l[2], 126 * std::cos(a) * std::cos(b), 1e-4);
    EXPECT_NEAR(std::sqrt(l[0] * l[0] + l[1] * l[1] + l[2] * l[2]), 126.0, 1e-3);
  }
  // A new project's light comes from the upper left, in front.
  BuildLightVector(kDefaultLightAngles);
  EXPECT_NEAR(renderState.lightVector[0], -63.0f, 0.01f);
  EXPECT_NEAR(renderState.lightVector[1], 63.0f, 0.01f);
  EXPECT_NEAR(renderState.lightVector[2], 89.1f, 0.01f);
}

TEST_F(WorkData, ProjectionIsOrthographicWithTruncationTowardZero) {
  SceneObject* object = AddScreenMesh({{0, 0}, {0, 0}, {0, 0}, {0, 0}}, {{0, 1, 2}});
  ASSERT_NE(object, nullptr);
  const Vec3f positions[] = {
      {10.9f, -20.3f, 5}, {-3.7f, 2.6f, -40}, {100, 80, 60}, {-0.4f, -0.9f, 0}};
  for (size_t i = 0; i < 4; ++i) {
    PointWork& p = (*object->pointWork)[i];
    p.x = positions[i].x;
    p.y = positions[i].y;
    p.z = positions[i].z;
  }
  for (const auto& angles : kAngleCases) {
    ObjectView& view = object->views[5];
    object->currentView = 5;
    view.angles = angles;
    view.zoom = 1.5f;
    view.centerX = 180;
    view.centerY = 220;
    BuildViewRotation(angles);
    ProjectPoints(*object, 399);
    const Matrix r = Composed(angles[0], angles[1], angles[2]);
    for (size_t i = 0; i < 4; ++i) {
      const PointWork& p = (*object->pointWork)[i];
      const double v[3] = {
          r[0][0] * positions[i].x + r[0][1] * positions[i].y + r[0][2] * positions[i].z,
          r[1][0] * positions[i].x + r[1][1] * positions[i].y + r[1][2] * positions[i].z,
          r[2][0] * positions[i].x + r[2][1] * positions[i].y + r[2][2] * positions[i].z};
      EXPECT_NEAR(p.vx, v[0], 1e-3);
      EXPECT_NEAR(p.vy, v[1], 1e-3);
      EXPECT_NEAR(p.vz, v[2], 1e-3);
      EXPECT_EQ(p.sx, int(std::trunc(1.5f * p.vx)) + 180) << i;
      EXPECT_EQ(p.sy, int(std::trunc(1.5f * p.vy)) + (399 - 220)) << i;
      EXPECT_FLOAT_EQ(p.depth, 1.5f * p.vz);
    }
  }
  // Truncation toward zero: -3.7 x 1.5 = -5.55 gives -5, not -6.
  object->views[5].angles = {0, 0, 0};
  BuildViewRotation(object->views[5].angles);
  ProjectPoints(*object, 399);
  EXPECT_EQ((*object->pointWork)[1].sx, 180 - 5);
  EXPECT_EQ((*object->pointWork)[3].sy, 179 - 1);
}

// A 16-bit sum would wrap a point far right of the view around to the far left, where it would
// drag its triangles across the view; the screen position saturates instead.
TEST_F(WorkData, ScreenPositionsSaturateInsteadOfWrapping) {
  SceneObject* object = AddScreenMesh({{0, 0}, {0, 0}, {0, 0}}, {{0, 1, 2}});
  ASSERT_NE(object, nullptr);
  const Vec3f positions[] = {{300, -300, 0}, {40000, 0, 0}, {NAN, 0, 0}};
  for (size_t i = 0; i < 3; ++i) {
    PointWork& p = (*object->pointWork)[i];
    p.x = positions[i].x;
    p.y = positions[i].y;
    p.z = positions[i].z;
  }
  object->views[0].zoom = 200.0f;
  BuildViewRotation(object->views[0].angles);
  ProjectPoints(*object, 399);
  EXPECT_EQ((*object->pointWork)[0].sx, 32767);
  EXPECT_EQ((*object->pointWork)[0].sy, -32768);
  EXPECT_EQ((*object->pointWork)[1].sx, 32767);
  EXPECT_EQ((*object->pointWork)[2].sx, -32768);  // a damaged coordinate goes off the view
}

// Every float has a screen coordinate: truncation toward zero inside the 16-bit range, its ends
// beyond it, and the low end for NaN.
TEST(ScreenCoordinate, TruncatesWithinAndSaturatesBeyondTheSixteenBitRange) {
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  struct Case {
    float value;
    int32_t offset;
    int expected;
  };
  const Case cases[] = {
      {-0.7f, 200, 200},     {12.9f, 200, 212},          {-12.9f, 179, 167},
      {32567.0f, 200, 32767}, {32568.5f, 200, 32767},     {-32968.0f, 200, -32768},
      {1e30f, 199, 32767},    {-1e30f, 199, -32768},      {kInfinity, 0, 32767},
      {-kInfinity, 0, -32768}, {std::nanf(""), 200, -32768}, {std::nanf(""), -5000, -32768},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScreenCoordinate(c.value, c.offset), c.expected) << c.value << " + " << c.offset;
  }
  EXPECT_EQ(ClampedTrunc(std::nanf(""), 0, 255), 0);
  EXPECT_EQ(ClampedTrunc(255.99f, 0, 255), 255);
  EXPECT_EQ(ClampedTrunc(-kInfinity, -126, 126), -126);
}

TEST_F(WorkData, SphereNormalsPointOutwardAndShadesStayWithin2And253) {
  SceneObject* sphere = AddOrganicSphere();
  ASSERT_NE(sphere, nullptr);
  RefreshWorkData(*sphere);
  EXPECT_EQ(sphere->dirtyFlags & kDirtyNormals, 0);

  for (int32_t t = 0; t < sphere->triangleCount; ++t) {
    const TriangleWork& face = (*sphere->triangleWork)[size_t(t)];
    const Vec3f& p = sphere->points[Triangles(*sphere)[size_t(t)][0]];
    ASSERT_NEAR(face.nx * face.nx + face.ny * face.ny + face.nz * face.nz, 1.0f, 1e-4f) << t;
    ASSERT_GT(face.nx * p.x + face.ny * p.y + face.nz * p.z, 0.0f) << t;
  }
  int lowest = 255, highest = 0;
  for (int32_t i = 0; i < sphere->pointCount; ++i) {
    const PointWork& w = (*sphere->pointWork)[size_t(i)];
    const Vec3f& p = sphere->points[size_t(i)];
    const double length =
        std::sqrt(double(w.nx) * w.nx + double(w.ny) * w.ny + double(w.nz) * w.nz);
    ASSERT_NEAR(length, 32767.0, 1.0) << i;
    const double cosine = (w.nx * p.x + w.ny * p.y + w.nz * p.z) / (length * 128.0);
    ASSERT_GT(cosine, 0.995) << i;
    lowest = std::min<int>(lowest, w.shade);
    highest = std::max<int>(highest, w.shade);
  }
  EXPECT_GE(lowest, 2);
  EXPECT_LE(highest, 253);
  EXPECT_LT(lowest, 10);  // the sphere turns every way, so both ends of the range are reached
  EXPECT_GT(highest, 245);
}

TEST_F(WorkData, ShadeFollowsTheLightBroughtIntoObjectSpace) {
  SceneObject* object = AddScreenMesh({{0, 0}, {0, 0}, {0, 0}}, {{0, 1, 2}});
  ASSERT_NE(object, nullptr);
  const int16_t normals[3][3] = {{0, 0, 32767}, {0, 0, 0}, {-32767, 0, 0}};
  for (size_t i = 0; i < 3; ++i) {
    PointWork& p = (*object->pointWork)[i];
    p.nx = normals[i][0];
    p.ny = normals[i][1];
    p.nz = normals[i][2];
  }
  // Light straight from the viewer. View 4 (beta = pi/2) turns the object a quarter about y, so
  // that its -x side faces the viewer: L' = (-126, 0, 0).
  BuildLightVector({0, 0, 0});
  BuildInverseViewRotation({0, 1.5707964f, 0});
  ShadePoints(*object);
  EXPECT_EQ((*object->pointWork)[0].shade, 128);  // at right angles to the light
  EXPECT_EQ((*object->pointWork)[1].shade, 128);  // no normal
  EXPECT_EQ((*object->pointWork)[2].shade, 253);  // (32767 x 126) >> 15 = 125
  BuildInverseViewRotation({0, 0, 0});
  ShadePoints(*object);
  EXPECT_EQ((*object->pointWork)[0].shade, 253);
  EXPECT_EQ((*object->pointWork)[2].shade, 128);
}

TEST_F(WorkData, RefreshFollowsMovedPointsAndViewPositionsReturnToObjectSpace) {
  SceneObject* sphere = AddOrganicSphere();
  ASSERT_NE(sphere, nullptr);
  sphere->currentView = 4;
  RefreshWorkData(*sphere);
  std::vector<PointWork>& work = *sphere->pointWork;
  const int16_t before = work[0].sx;

  // A tool scales the view positions by two; the refresh step finds the object positions, the
  // screen positions and the normals again.
  for (int32_t i = 0; i < sphere->pointCount; ++i) {
    work[size_t(i)].vx *= 2;
    work[size_t(i)].vy *= 2;
    work[size_t(i)].vz *= 2;
  }
  UpdateObjectPositionsFromView(*sphere);
  for (int32_t i = 0; i < sphere->pointCount; i += 97) {
    const Vec3f& p = sphere->points[size_t(i)];
    ASSERT_NEAR(work[size_t(i)].x, 2 * p.x, 1e-3f) << i;
    ASSERT_NEAR(work[size_t(i)].y, 2 * p.y, 1e-3f) << i;
    ASSERT_NEAR(work[size_t(i)].z, 2 * p.z, 1e-3f) << i;
  }
  sphere->dirtyFlags = kAllDirty;
  RefreshWorkData(*sphere);
  EXPECT_NEAR(work[0].sx - 200, 2 * (before - 200), 1);
  EXPECT_EQ(sphere->dirtyFlags, kAllDirty & ~kDirtyNormals);
  const double length =
      std::sqrt(double(work[0].nx) * work[0].nx + double(work[0].ny) * work[0].ny +
                double(work[0].nz) * work[0].nz);
  EXPECT_NEAR(length, 32767.0, 1.0);
}

TEST_F(WorkData, PointsWithoutFacesGetNoNormal) {
  // Point 3 is used by no triangle; the triangle of points 0..2 is degenerate (all on one line).
  SceneObject* object = AddScreenMesh({{0, 0}, {10, 0}, {20, 0}, {5, 5}}, {{0, 1, 2}});
  ASSERT_NE(object, nullptr);
  (*object->pointWork)[3].nx = 99;
  RefreshWorkData(*object);
  const TriangleWork& face = (*object->triangleWork)[0];
  EXPECT_EQ(face.nx * face.nx + face.ny * face.ny + face.nz * face.nz, 0.0f);
  for (size_t i = 0; i < 4; ++i) {
    const PointWork& p = (*object->pointWork)[i];
    EXPECT_EQ(p.nx | p.ny | p.nz, 0) << i;
    EXPECT_EQ(p.shade, 128) << i;
  }
}

}  // namespace
}  // namespace tsv
