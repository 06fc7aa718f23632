// What the individual deformation tools do to a shape, on small hand-built meshes where the
// expected positions can be worked out, and on the sphere where a property must hold everywhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "render/work_data.h"
#include "tests/tools/tool_fixture.h"
#include "tools/deform_table.h"
#include "tools/deform_tools.h"

namespace tsv::test {
namespace {

class DeformFormulas : public ToolFixture {
 protected:
  // A square column of height 10 with corners at x, z = +-1 and three layers (y = 0, 5, 10).
  SceneObject* AddColumn() {
    std::vector<Vec3f> points;
    for (float y : {0.0f, 5.0f, 10.0f}) {
      for (auto [x, z] : {std::pair{-1.0f, -1.0f}, {1.0f, -1.0f}, {1.0f, 1.0f}, {-1.0f, 1.0f}}) {
        points.push_back({x, y, z});
      }
    }
    std::vector<Triangle> triangles;
    for (uint32_t layer = 0; layer < 2; ++layer) {
      for (uint32_t k = 0; k < 4; ++k) {
        const uint32_t a = layer * 4 + k, b = layer * 4 + (k + 1) % 4;
        triangles.push_back({a, b, b + 4});
        triangles.push_back({a, b + 4, a + 4});
      }
    }
    return AddMesh(points, triangles);
  }
};

TEST_F(DeformFormulas, TaperAndBulgeActLessOnTheNegativeSide) {
  SceneObject* column = AddColumn();
  ASSERT_NE(column, nullptr);
  // Taper: the top narrows to nothing at +128 and widens by 1.75 at -128; the bottom stays.
  // Bulge: the middle layer doubles at +128 and keeps 1 - 96/128 at -128.
  const struct {
    void (*tool)(SceneObject*, SceneObject*, int16_t);
    int16_t amount;
    size_t point;  // a corner of the layer that shows it
    float factor;
  } cases[] = {{DeformTaper, 128, 8, 0.0f},  {DeformTaper, -128, 8, 1.75f}, {DeformTaper, -128, 0, 1.0f},
               {DeformTaper, -1, 8, 1.0f},   // -1 x 96/128 truncates to 0
               {DeformBulge, 128, 4, 2.0f},  {DeformBulge, -128, 4, 0.25f}, {DeformBulge, 128, 8, 1.0f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "amount " << c.amount << " point " << c.point);
    ASSERT_TRUE(ActivateSceneObject(column));
    c.tool(column, Undo(), c.amount);
    const Vec3f p = Edited(*column)[c.point];
    const Vec3f start = column->points[c.point];
    EXPECT_NEAR(p.x, start.x * c.factor, 1e-5);
    EXPECT_NEAR(p.z, start.z * c.factor, 1e-5);
    EXPECT_FLOAT_EQ(p.y, start.y);
  }
}

TEST_F(DeformFormulas, BendNeedsMoreThanOneUnitOfMaskTimesAmount) {
  SceneObject* column = AddColumn();
  ASSERT_NE(column, nullptr);
  const struct {
    uint8_t mask;
    int16_t amount;
    bool moves;
  } cases[] = {{255, 1, false}, {255, -1, false}, {255, 2, true}, {127, 2, false}, {128, 2, true}, {0, 128, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mask " << int(c.mask) << " amount " << c.amount);
    std::fill(column->pointMask.begin(), column->pointMask.end(), c.mask);
    ASSERT_TRUE(ActivateSceneObject(column));
    DeformBend(column, Undo(), c.amount);
    const Vec3f top = Edited(*column)[10];
    EXPECT_EQ(!SamePosition(top, column->points[10]), c.moves);
  }
}

TEST_F(DeformFormulas, BendAtFullAmountTurnsTheTopThroughAWholeCircle) {
  // A thin vertical strip on the view's centre line: the top comes round to the bottom.
  SceneObject* strip = AddMesh({{0, 0, 0}, {0, 5, 0}, {0, 10, 0}, {0.001f, 0, 0}}, {{0, 3, 1}, {1, 3, 2}});
  ASSERT_NE(strip, nullptr);
  for (int16_t amount : {128, -128}) {
    ASSERT_TRUE(ActivateSceneObject(strip));
    DeformBend(strip, Undo(), amount);
    const std::vector<Vec3f> edited = Edited(*strip);
    EXPECT_NEAR(edited[2].x, 0.0f, 1e-3);
    EXPECT_NEAR(edited[2].y, 0.0f, 1e-3);
    EXPECT_TRUE(SamePosition(edited[0], strip->points[0]));  // the bottom stays
    // Half way up is half way round: the opposite side of the circle, of diameter h / pi.
    EXPECT_NEAR(std::abs(edited[1].x - 0.0005f), 10.0f / float(M_PI), 1e-3);
    EXPECT_NEAR(edited[1].y, 0.0f, 1e-3);
  }
}

TEST_F(DeformFormulas, FlattenPressesTheFrontOntoAPlaneThatMovesBackToTheMiddle) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  auto depths = [&] {
    float front = -1e9f, back = 1e9f;
    for (const Vec3f& p : Edited(*sphere)) {
      front = std::max(front, p.z);
      back = std::min(back, p.z);
    }
    return std::pair{front, back};
  };
  const auto [front, back] = depths();
  DeformFlatten(sphere, Undo(), 256);
  const std::vector<Vec3f> edited = Edited(*sphere);
  for (size_t i = 0; i < edited.size(); ++i) ASSERT_TRUE(SamePosition(edited[i], sphere->points[i]));
  ASSERT_TRUE(ActivateSceneObject(sphere));
  DeformFlatten(sphere, Undo(), 128);
  EXPECT_NEAR(depths().first, front - (front - back) / 4, 1e-3);
  EXPECT_EQ(depths().second, back);
  ASSERT_TRUE(ActivateSceneObject(sphere));
  DeformFlatten(sphere, Undo(), 0);  // at most half the depth: the middle
  EXPECT_NEAR(depths().first, (front + back) / 2, 1e-3);
}

TEST_F(DeformFormulas, StretchAndTwistActAlongTheAxesOfTheViewInUse) {
  SceneObject* column = AddColumn();
  ASSERT_NE(column, nullptr);
  // The third view (from above: the object's -z runs up the view): a vertical stretch lengthens the
  // column's depth, not its height.
  column->currentView = 2;
  ASSERT_TRUE(ActivateSceneObject(column));
  DeformStretch(column, Undo(), 128, 256);
  std::vector<Vec3f> edited = Edited(*column);
  EXPECT_NEAR(edited[10].z, 1.666f, 1e-4);
  EXPECT_NEAR(edited[10].y, 10.0f, 1e-4);
  EXPECT_NEAR(edited[10].x, 1.0f, 1e-4);
  // In the front view the same stretch lengthens the height about the origin.
  column->currentView = 0;
  ASSERT_TRUE(ActivateSceneObject(column));
  DeformStretch(column, Undo(), 128, 256);
  edited = Edited(*column);
  EXPECT_NEAR(edited[10].y, 16.66f, 1e-3);
  EXPECT_NEAR(edited[10].z, 1.0f, 1e-5);
}

TEST_F(DeformFormulas, NoisePushesAlongTheOutwardNormalInEveryView) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  for (uint16_t view : {0, 1, 2}) {
    SCOPED_TRACE(::testing::Message() << "view " << view);
    sphere->currentView = view;
    ASSERT_TRUE(ActivateSceneObject(sphere));
    std::srand(7);
    DeformNoise(sphere, Undo(), 128);  // the full drawn push
    const std::vector<Vec3f> edited = Edited(*sphere);
    int pushed = 0;
    for (size_t i = 0; i < edited.size(); ++i) {
      const Vec3f& p = sphere->points[i];
      const Vec3f move{edited[i].x - p.x, edited[i].y - p.y, edited[i].z - p.z};
      const float size = Length(move);
      ASSERT_LE(size, 32.77f);
      if (size < 0.5f) continue;
      ++pushed;
      // The sphere's normals point away from its centre.
      const float along = (move.x * p.x + move.y * p.y + move.z * p.z) / (size * Length(p));
      ASSERT_GT(along, 0.95f) << "point " << i;
    }
    EXPECT_GT(pushed, 8000);
  }
}

TEST_F(DeformFormulas, SmoothMovesAPointTowardTheMeanOfItsNeighbours) {
  std::vector<Vec3f> points = OctahedronPoints();
  points[4] = {0, 0, 3};  // a spike in front
  SceneObject* spike = AddMesh(points, OctahedronTriangles());
  ASSERT_NE(spike, nullptr);
  const struct {
    int16_t amount;
    uint8_t mask;
    float z;
  } cases[] = {{256, 255, 0.0f}, {128, 255, 1.5f}, {256, 0, 3.0f}, {0, 255, 3.0f}};
  for (const auto& c : cases) {
    spike->pointMask[4] = c.mask;
    ASSERT_TRUE(ActivateSceneObject(spike));
    DeformSmooth(spike, Undo(), c.amount);
    EXPECT_NEAR(Edited(*spike)[4].z, c.z, 1e-5) << "amount " << c.amount << " mask " << int(c.mask);
  }
}

TEST_F(DeformFormulas, EqualizeContrastAndToCenterMeetTheirTargetsAtTheTop) {
  SceneObject* mesh = AddMesh({{2, 0, 0}, {-1, 0, 0}, {0, 4, 0}, {0, -3, 0}, {0, 0, 1}, {0, 0, -1}},
                              OctahedronTriangles());
  ASSERT_NE(mesh, nullptr);
  DeformEqualize(mesh, Undo(), 256);  // every point at the mean distance, 2
  for (const Vec3f& p : Edited(*mesh)) EXPECT_NEAR(Length(p), 2.0f, 1e-5);
  ASSERT_TRUE(ActivateSceneObject(mesh));
  DeformContrast(mesh, Undo(), 256);  // every point at the nearer of the extremes, 1 or 4
  const float expected[] = {1, 1, 4, 4, 1, 1};
  const std::vector<Vec3f> contrasted = Edited(*mesh);
  for (size_t i = 0; i < 6; ++i) EXPECT_NEAR(Length(contrasted[i]), expected[i], 1e-5) << i;
  ASSERT_TRUE(ActivateSceneObject(mesh));
  DeformToCenter(mesh, Undo(), 128);  // half way: the centroid (1/6, 1/6, 0) moves half way in
  EXPECT_NEAR(Edited(*mesh)[0].x, 2.0f - 1.0f / 12.0f, 1e-5);
  EXPECT_NEAR(Edited(*mesh)[0].y, -1.0f / 12.0f, 1e-5);
}

TEST_F(DeformFormulas, APointAtTheOriginStaysFinite) {
  // The centre point of a fan: length 0, where Spikes, Equalize and Contrast would divide by it.
  SceneObject* fan = AddMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-1, -1, 1}}, {{0, 1, 2}, {0, 2, 3}, {0, 3, 1}});
  ASSERT_NE(fan, nullptr);
  for (const DeformToolEntry& tool : DeformTools()) {
    ASSERT_TRUE(ActivateSceneObject(fan));
    const int16_t amount = tool.kind == DeformKind::Signed ? 128 : tool.kind == DeformKind::Flatten ? 0 : 256;
    RunDeformTool(tool, fan, Undo(), amount, 200);
    for (const Vec3f& p : Edited(*fan)) {
      ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << tool.item;
    }
  }
  ASSERT_TRUE(ActivateSceneObject(fan));
  DeformContrast(fan, Undo(), 256);
  EXPECT_TRUE(SamePosition(Edited(*fan)[0], Vec3f{0, 0, 0}));
}

TEST_F(DeformFormulas, ScaleAndTwistFollowTheirFormulas) {
  SceneObject* column = AddColumn();
  ASSERT_NE(column, nullptr);
  DeformScale(column, Undo(), 256);
  EXPECT_NEAR(Edited(*column)[10].y, 10.0f * 1.666f, 1e-4);
  EXPECT_NEAR(Edited(*column)[10].x, 1.666f, 1e-5);
  ASSERT_TRUE(ActivateSceneObject(column));
  DeformScale(column, Undo(), 0);
  EXPECT_NEAR(Edited(*column)[10].x, 0.334f, 1e-5);
  ASSERT_TRUE(ActivateSceneObject(column));
  // Twist 64: the top layer (half a height above the centre) turns by 64 pi/128 x 1/2 = pi/4.
  DeformTwist(column, Undo(), 64);
  const Vec3f top = Edited(*column)[10];  // was (1, 10, 1)
  EXPECT_NEAR(top.x, 0.0f, 1e-5);
  EXPECT_NEAR(top.z, std::sqrt(2.0f), 1e-5);
  EXPECT_TRUE(SamePosition(Edited(*column)[6], column->points[6]));  // the centre layer stays
}

}  // namespace
}  // namespace tsv::test
