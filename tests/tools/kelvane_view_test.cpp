// kelvane_view_test.cpp: the Kelvane view: what it draws and where, that drawing leaves the
// current object alone, picking the ball under a point, and the mouse edits of balls and view.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "platform/platform_state.h"
#include "render/render_state.h"
#include "render/soft_draw.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"
#include "tests/support/reset_all_state.h"
#include "tools/kelvane_view.h"
#include "tools/quorvels.h"

namespace tsv::test {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

class KelvaneViewTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
    ASSERT_TRUE(InitSoftDraw());
  }
  void TearDown() override {
    ShutdownSoftDraw();
    ResetAllState();
  }
  static uint32_t Pixel(int x, int y) { return renderState.viewPicture[size_t(y) * kViewSide + size_t(x)]; }
  // Where a world point lands in the view (columns right, rows down).
  static std::pair<int, int> OnView(const Vec3f& world) {
    const Vec3f v = Rotate(ViewRotationMatrix(quorvelState.view.angles), world * kMetaballObjectScale);
    const float zoom = KelvaneViewZoom(quorvelState.view.zoom);
    return {int(std::lround(200.0f + zoom * v.x)), int(std::lround(200.0f - zoom * v.y))};
  }
};

TEST_F(KelvaneViewTest, DrawsTheBallsWhereTheyAreAndTheSelectedOneInItsColour) {
  quorvelState.balls = {MakeBall({0, 0, 0}), MakeBall({120, 0, 0}, 40)};
  quorvelState.selected = 1;
  ASSERT_TRUE(DrawKelvaneView(SoftDrawOptions{}));
  const uint32_t background = ModelingBackgroundPixel();
  EXPECT_EQ(Pixel(2, 2), background);
  const auto [cx, cy] = OnView({0, 0, 0});
  const auto [sx, sy] = OnView({120, 0, 0});
  const uint32_t plain = Pixel(cx, cy), selected = Pixel(sx, sy);
  ASSERT_NE(plain, background);
  ASSERT_NE(selected, background);
  const auto red = [](uint32_t p) { return int(p >> 16 & 255); };
  const auto blue = [](uint32_t p) { return int(p & 255); };
  EXPECT_GT(red(selected), blue(selected));  // the highlight is warm
  EXPECT_LT(red(plain), blue(plain));        // the others cool

  // Every ellipsoid is closed and faces outward, so back faces drop and the front shows.
  const SceneObject& drawn = *quorvelState.drawing.object;
  const std::span<const Triangle> triangles = Triangles(drawn);
  ASSERT_FALSE(triangles.empty());
  const size_t perBall = triangles.size() / 2;
  for (size_t t = 0; t < triangles.size(); ++t) {
    const Vec3f a = drawn.points[triangles[t][0]], b = drawn.points[triangles[t][1]], c = drawn.points[triangles[t][2]];
    const Vec3f centre = t < perBall ? Vec3f{} : Vec3f{120, 0, 0} * kMetaballObjectScale;
    const Vec3f middle = (a + b + c) * (1.0f / 3.0f) - centre;
    ASSERT_GT(Dot(Cross(b - a, c - a), middle), 0.0f) << t;
  }

  // No balls: the background only.
  quorvelState.balls.clear();
  quorvelState.selected = -1;
  ASSERT_TRUE(DrawKelvaneView(SoftDrawOptions{}));
  EXPECT_EQ(Pixel(cx, cy), background);
}

TEST_F(KelvaneViewTest, DrawingLeavesTheCurrentObjectAndTheTableAsTheyWere) {
  SceneObject* object = NewObjectInTable(false, 3, 1);
  ASSERT_NE(object, nullptr);
  object->points = {{0, 0, 0}, {50, 0, 0}, {0, 50, 0}};
  ASSERT_TRUE(ActivateSceneObject(object));
  std::vector<PointWork> work(object->pointWork->begin(), object->pointWork->begin() + 3);
  quorvelState.balls = {MakeBall({0, 0, 0}), MakeBall({80, 0, 0})};
  quorvelState.previewOn = true;
  ASSERT_TRUE(PreviewMetaballMesh(24));
  ASSERT_TRUE(DrawKelvaneView(SoftDrawOptions{}));
  EXPECT_EQ(quorvelState.drawing.object->triangleCount, int32_t(quorvelState.preview.triangles.size()));
  EXPECT_EQ(ObjectCount(), 1);
  EXPECT_EQ(scene.currentObject, object);
  EXPECT_EQ(object->pointWork, &scene.pointWork);
  EXPECT_EQ(std::memcmp(work.data(), object->pointWork->data(), 3 * sizeof(PointWork)), 0);
}

TEST_F(KelvaneViewTest, PickingFindsTheNearestShownBallUnderThePoint) {
  // Two balls on one line of sight: the one nearer the viewer (larger z) is picked.
  quorvelState.balls = {MakeBall({0, 0, -150}), MakeBall({0, 0, 150}), MakeBall({200, 0, 0}, 30)};
  EXPECT_EQ(KelvaneBallAt(200, 200), 1);
  const auto [x, y] = OnView({200, 0, 0});
  EXPECT_EQ(KelvaneBallAt(x, y), 2);
  EXPECT_EQ(KelvaneBallAt(2, 2), -1);
  // Seen from the back, the other one is nearer.
  quorvelState.view.angles = {0, kPi, 0};
  EXPECT_EQ(KelvaneBallAt(200, 200), 0);
  // A ball is picked within the size it is shown at, not its reach r1.
  quorvelState.balls = {MakeBall({0, 0, 0})};
  const float shown = BallDisplayFactor(quorvelState.balls[0], quorvelState.threshold) * 100.0f;
  const auto [inside, unused1] = OnView({shown * 0.95f, 0, 0});
  const auto [outside, unused2] = OnView({shown * 1.05f, 0, 0});
  EXPECT_EQ(KelvaneBallAt(inside, 200), 0);
  EXPECT_EQ(KelvaneBallAt(outside, 200), -1);
}

TEST_F(KelvaneViewTest, AMovedBallFollowsThePointerInATurnedView) {
  quorvelState.view.angles = {0.4f, 1.1f, 0.2f};
  quorvelState.balls = {MakeBall({10, -20, 30}, 40)};
  const auto [x0, y0] = OnView(quorvelState.balls[0].centre);
  ASSERT_TRUE(DrawKelvaneView(SoftDrawOptions{}));  // the drawing after the move keeps this layout
  EXPECT_NE(Pixel(x0, y0), ModelingBackgroundPixel());
  MoveBallInView(0, 60, -40);
  const auto [x1, y1] = OnView(quorvelState.balls[0].centre);
  EXPECT_NEAR(x1 - x0, 60, 1);
  EXPECT_NEAR(y1 - y0, -40, 1);
  EXPECT_EQ(KelvaneBallAt(x1, y1), 0);
  ASSERT_TRUE(DrawKelvaneView(SoftDrawOptions{}));
  EXPECT_NE(Pixel(x1, y1), ModelingBackgroundPixel());
  EXPECT_EQ(Pixel(x0, y0), ModelingBackgroundPixel());
  // A ball more lays the triangles out again: both show.
  const size_t one = Triangles(*quorvelState.drawing.object).size();
  quorvelState.balls.push_back(MakeBall({10, -20, 30}, 40));
  ASSERT_TRUE(DrawKelvaneView(SoftDrawOptions{}));
  EXPECT_EQ(Triangles(*quorvelState.drawing.object).size(), 2 * one);
  EXPECT_NE(Pixel(x0, y0), ModelingBackgroundPixel());
  EXPECT_NE(Pixel(x1, y1), ModelingBackgroundPixel());
}

TEST_F(KelvaneViewTest, ScalingAndTurningKeepTheBallSound) {
  quorvelState.balls = {MakeBall({0, 0, 0}, 100)};
  Ball& ball = quorvelState.balls[0];
  ScaleBallInView(0, 0, -100);  // up: twice the size
  EXPECT_FLOAT_EQ(ball.r1, 200.0f);
  ScaleBallInView(0, -100, 0);  // left: half again
  EXPECT_FLOAT_EQ(ball.r1, 100.0f);
  ScaleBallInView(0, 0, 5000);
  EXPECT_FLOAT_EQ(ball.r1, 1.0f);
  ScaleBallInView(0, 0, -5000);
  EXPECT_FLOAT_EQ(ball.r1, 10000.0f);

  // Half a turn down flips the upright axis; a quarter turn right takes x to -z (front view).
  TurnBallAxisInView(0, 0, 200);
  EXPECT_NEAR(ball.axis.y, -1.0f, 1e-5f);
  ball.axis = {1, 0, 0};
  TurnBallAxisInView(0, 100, 0);
  EXPECT_NEAR(ball.axis.z, -1.0f, 1e-5f);
  EXPECT_NEAR(Length(ball.axis), 1.0f, 1e-5f);
  // Out of range: nothing happens.
  MoveBallInView(3, 10, 10);
  TurnBallAxisInView(-1, 10, 10);
  EXPECT_EQ(ball.centre, (Vec3f{0, 0, 0}));

  TurnKelvaneView(100, -300);
  EXPECT_NEAR(quorvelState.view.angles[1], kPi / 2, 1e-5f);
  EXPECT_NEAR(quorvelState.view.angles[0], kPi / 2, 1e-5f);  // three quarters back: wrapped
}

TEST_F(KelvaneViewTest, BallsShowAtTheSizeOfTheirOwnSurface) {
  struct Case {
    float strength, threshold, factor;
  };
  for (const Case c : {Case{kNewBallStrength, 10, 0.68825f}, Case{-kNewBallStrength, 10, 0.68825f},
                       Case{1, 10, 0.25f}, Case{kNewBallStrength, 0, 1.0f}, Case{0, 0, 0.25f}, Case{0, 10, 0.25f}}) {
    Ball ball = MakeBall({});
    ball.strength = c.strength;
    EXPECT_NEAR(BallDisplayFactor(ball, c.threshold), c.factor, 1e-4f) << c.strength << " " << c.threshold;
  }
  EXPECT_FLOAT_EQ(KelvaneViewZoom(10.0f), 0.1f);  // 0.08 held at 0.1
  EXPECT_NEAR(KelvaneViewZoom(0.0f), 0.08f * std::exp2(256 * 0.0179889f), 1e-3f);
}

}  // namespace
}  // namespace tsv::test
