// The trackball: its rotation step, the angles it keeps, and "Rotate session" driven and replayed.
#include <gtest/gtest.h>

#include <cmath>

#include "render/work_data.h"
#include "scene/task_steps.h"
#include "tests/tools/tool_fixture.h"
#include "tools/trackball.h"

namespace tsv::test {
namespace {

std::array<float, 3> Apply(const std::array<float, 9>& m, const std::array<float, 3>& p) {
  return {m[0] * p[0] + m[1] * p[1] + m[2] * p[2], m[3] * p[0] + m[4] * p[1] + m[5] * p[2],
          m[6] * p[0] + m[7] * p[1] + m[8] * p[2]};
}

TEST(TrackballAngles, TheAnglesOfARotationRebuildIt) {
  const float kHalfPi = 1.5707964f;
  const std::array<float, 3> cases[] = {{0.3f, -1.2f, 2.5f}, {-2.0f, 0.4f, -0.1f}, {kHalfPi, 0.7f, 0.2f},
                                        {-kHalfPi, -0.5f, 1.0f}, {0, 3.1f, 0}, {1.0f, 0, -3.0f}};
  for (const auto& angles : cases) {
    const std::array<float, 9> m = ViewRotationMatrix(angles);
    std::array<double, 9> md;
    std::copy(m.begin(), m.end(), md.begin());
    const std::array<float, 9> rebuilt = ViewRotationMatrix(AnglesOfRotation(md));
    for (size_t k = 0; k < 9; ++k) EXPECT_NEAR(rebuilt[k], m[k], 2e-4) << angles[0] << " " << k;
  }
}

TEST(TrackballAngles, MotionTurnsTheFrontTheWayThePointerGoes) {
  const std::array<float, 9> identity{1, 0, 0, 0, 1, 0, 0, 0, 1};
  const struct {
    int dx, dy;
    std::array<float, 3> front;  // where (0, 0, 1) goes
  } cases[] = {{157, 0, {1, 0, 0}}, {-157, 0, {-1, 0, 0}}, {0, 157, {0, -1, 0}}, {0, 0, {0, 0, 1}}};
  for (const auto& c : cases) {
    std::array<float, 3> angles{};
    TrackballRotate(identity, angles, c.dx, c.dy);
    const std::array<float, 3> front = Apply(ViewRotationMatrix(angles), {0, 0, 1});
    for (size_t k = 0; k < 3; ++k) EXPECT_NEAR(front[k], c.front[k], 2e-3) << c.dx << "," << c.dy;
  }
  // A motion composes with the rotation it is given: two quarter turns make a half turn.
  std::array<float, 3> angles{};
  TrackballRotate(identity, angles, 0, 157);
  TrackballRotate(ViewRotationMatrix(angles), angles, 0, 157);
  EXPECT_NEAR(Apply(ViewRotationMatrix(angles), {0, 0, 1})[2], -1.0f, 2e-3);
}

class RotateSessionTest : public ToolFixture {};

TEST_F(RotateSessionTest, ADirectMotionTurnsTheObjectOnce) {
  SceneObject* mesh = AddMesh(OctahedronPoints(), OctahedronTriangles());
  ASSERT_NE(mesh, nullptr);
  RotateSession(mesh, Undo(), 157, 0);
  const Vec3f front = Edited(*mesh)[4];  // was (0, 0, 1)
  EXPECT_NEAR(front.x, 1.0f, 2e-3);
  EXPECT_NEAR(front.z, 0.0f, 2e-3);
  EXPECT_TRUE(steps.empty());
}

TEST_F(RotateSessionTest, ADragRecordsEachMotionAndItsReplayGivesTheSameShape) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const std::vector<Vec3f> start = sphere->points;
  ScriptDrag({{30, 0}, {30, 40}, {-20, 90}, {-20, 90}, {60, 10}});
  RotateSession(sphere, Undo(), kAmountInteractive, 0);
  ASSERT_EQ(steps.size(), 5u);  // RO, then one RX per motion (the repeated place is no motion)
  EXPECT_EQ(steps[0].code, TaskStepCode("RO"));
  const int expected[][2] = {{30, 0}, {0, 40}, {-50, 50}, {80, -80}};
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(steps[k + 1].code, TaskStepCode("RX"));
    EXPECT_EQ(steps[k + 1].value1, expected[k][0]);
    EXPECT_EQ(steps[k + 1].value2, expected[k][1]);
  }
  const std::vector<Vec3f> dragged = Edited(*sphere);
  EXPECT_GT(Distance(dragged[0], start[0]), 10.0f);

  // Replay: each RX step applied to the then-current positions, committed as replay does.
  ASSERT_TRUE(ActivateSceneObject(sphere));
  for (size_t k = 1; k < steps.size(); ++k) {
    RotateSession(sphere, Undo(), steps[k].value1, steps[k].value2);
    CommitObjectChange(sphere, Undo());
  }
  for (size_t i = 0; i < dragged.size(); i += 17) EXPECT_LT(Distance(sphere->points[i], dragged[i]), 0.05f) << i;
}

TEST_F(RotateSessionTest, TheAxisLockDropsMotionAlongTheLockedAxes) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  toolState.axisLock = kLockVerticalAxis;
  ScriptDrag({{30, 0}, {30, 25}});
  RotateSession(sphere, Undo(), kAmountInteractive, 0);
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[1].value1, 0);
  EXPECT_EQ(steps[1].value2, 25);

  steps.clear();
  ASSERT_TRUE(ActivateSceneObject(sphere));
  toolState.axisLock = kLockVerticalAxis | kLockHorizontalAxis;
  ScriptDrag({{30, 0}, {30, 25}});
  RotateSession(sphere, Undo(), kAmountInteractive, 0);
  ASSERT_EQ(steps.size(), 1u);  // only "RO"
  const std::vector<Vec3f> edited = Edited(*sphere);
  for (size_t i = 0; i < edited.size(); ++i) ASSERT_TRUE(SamePosition(edited[i], sphere->points[i]));
}

}  // namespace
}  // namespace tsv::test
