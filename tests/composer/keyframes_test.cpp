// Keyframe animation: key times, windows and weights, the frame order, the blend of keys into the
// owner, the turn the short way, the key buttons and the slots, and the owner put back after a run.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "composer/keyframes.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "render/composer_frame.h"
#include "render/render_state.h"
#include "scene/keyframe_file.h"
#include "scene/native_files.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"
#include "tests/render/render_fixture.h"

namespace tsv {
namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kDegree = kPi / 180.0f;

// Settings with keys in the given slots (their shapes not needed for times and weights).
AnimationSettings WithKeys(std::initializer_list<int> slots, int frameCount, uint16_t method) {
  AnimationSettings s;
  s.frameCount = frameCount;
  s.method = method;
  for (int k : slots) {
    s.keyValid[size_t(k)] = 1;
    if (s.firstKey < 0) s.firstKey = int16_t(k);
    s.lastKey = int16_t(k);
  }
  ComputeKeyTimes(s);
  return s;
}

TEST(KeyTimes, KeysArePlacedBySlotAndWeighedByTheirWindows) {
  // Slots 0, 2 and 7 over 30 frames: the places follow the slot numbers, not the ranks.
  AnimationSettings spaced = WithKeys({0, 2, 7}, 30, kMethodSharp);
  EXPECT_FLOAT_EQ(spaced.keyTime[0], 0.0f);
  EXPECT_FLOAT_EQ(spaced.keyTime[2], 2.0f * 31.0f / 7.0f);
  EXPECT_FLOAT_EQ(spaced.keyTime[7], 31.0f);
  ComputeFrameWeights(spaced, 4);
  EXPECT_FLOAT_EQ(spaced.keyWeight[1], -1.0f);  // no key there
  EXPECT_NEAR(spaced.keyWeight[0] + spaced.keyWeight[2], 1.0f, 1e-6f);
  EXPECT_FLOAT_EQ(spaced.keyWeight[7], -1.0f);  // outside its window

  // "Sharp": linear between two keys; "Gentle": eased, 3t^2 - 2t^3.
  for (int f = 0; f <= 9; ++f) {
    AnimationSettings sharp = WithKeys({0, 1}, 9, kMethodSharp);
    ComputeFrameWeights(sharp, f);
    EXPECT_NEAR(sharp.keyWeight[1], float(f) / 10.0f, 1e-6f) << f;
    EXPECT_NEAR(sharp.keyWeight[0], 1.0f - float(f) / 10.0f, 1e-6f) << f;
    AnimationSettings gentle = WithKeys({0, 1}, 9, kMethodGentle);
    ComputeFrameWeights(gentle, f);
    const float t = float(f) / 10.0f;
    EXPECT_NEAR(gentle.keyWeight[1], (3.0f - 2.0f * t) * t * t, 1e-5f) << f;
  }

  // "Smooth" windows reach two keys each way: three keys overlap in the middle.
  AnimationSettings smooth = WithKeys({0, 1, 2, 3}, 29, kMethodSmooth);
  ComputeFrameWeights(smooth, 14);  // keys at 0, 10, 20, 30
  int weighing = 0;
  float sum = 0;
  for (float w : smooth.keyWeight) {
    if (w > 0) ++weighing;
    if (w > 0) sum += w;
  }
  EXPECT_EQ(weighing, 3);
  EXPECT_NEAR(sum, 1.0f, 1e-6f);

  // One key alone sits at frame 0 and takes every frame whole: a still animation.
  AnimationSettings alone = WithKeys({3}, 30, kMethodSmooth);
  EXPECT_EQ(alone.keyTime[3], 0.0f);
  for (int f : {0, 14, 29}) {
    ComputeFrameWeights(alone, f);
    EXPECT_EQ(alone.keyWeight[3], 1.0f) << f;
  }
}

TEST(KeyTimes, ForthAndBackRunsEveryOtherFrameOutAndTheRestBack) {
  AnimationSettings s;
  s.frameCount = 30;
  s.forthAndBack = 1;
  std::vector<int> order;
  for (int i = 0; i < 30; ++i) order.push_back(AnimationFrameNumber(i, s));
  std::vector<int> expected;
  for (int f = 0; f <= 28; f += 2) expected.push_back(f);
  for (int f = 29; f >= 1; f -= 2) expected.push_back(f);
  EXPECT_EQ(order, expected);
  s.forthAndBack = 0;
  EXPECT_EQ(AnimationFrameNumber(17, s), 17);
  s.forthAndBack = 1;
  s.frameCount = 1;
  EXPECT_EQ(AnimationFrameNumber(0, s), 0);
}

TEST(KeyRotations, AnglesGoThroughQuaternionsAndBlendTheShortWay) {
  for (const std::array<float, 3> angles : {std::array<float, 3>{0.3f, 1.2f, 2.5f}, {5.0f, 0.1f, 4.0f}, {0, 0, 0}}) {
    const std::array<float, 3> back = AnglesOfQuaternion(QuaternionOfAngles(angles));
    const Rotation3 a = ViewRotationMatrix(angles), b = ViewRotationMatrix(back);
    for (size_t i = 0; i < 9; ++i) EXPECT_NEAR(a[i], b[i], 1e-5f) << i;
    for (float angle : back) EXPECT_TRUE(angle >= 0 && angle < 2 * kPi);
  }
  // Nearly equal and opposite quaternions take their own branches and stay finite.
  const Quaternion q = QuaternionOfAngles({0, 0.5f, 0});
  const Quaternion same = BlendQuaternions(q, q, 1.0f, 0.5f);
  EXPECT_NEAR(same.w, 1.5f * q.w, 1e-5f);
  const Quaternion opposite = BlendQuaternions(Quaternion{-q.x, -q.y, -q.z, -q.w}, q, 1.0f, 0.5f);
  EXPECT_TRUE(std::isfinite(opposite.x) && std::isfinite(opposite.w));
}

class KeyframeAnimation : public test::RenderFixture {
 protected:
  void SetUp() override {
    RenderFixture::SetUp();
    owner = AddOrganicSphere();
    ASSERT_NE(owner, nullptr);
    owner->optics.isPainted = 1;
  }

  // A key of the owner as it is now, turned and moved as given.
  std::shared_ptr<KeyframeShape> KeyOf(float dx, float turnY, float fogStrength) {
    auto key = std::make_shared<KeyframeShape>();
    key->pointCount = uint32_t(owner->pointCount);
    key->triangleCount = uint32_t(owner->triangleCount);
    key->points = owner->points;
    for (Vec3f& p : key->points) p.x += dx;
    key->pointUV = owner->pointUV;
    key->pointColors.assign(owner->points.size(), Rgb8{uint8_t(dx > 0 ? 200 : 100), 0, 0});
    key->record.optics = owner->optics;
    key->record.scale = owner->scale;
    key->record.position = {dx, 0, 0};
    key->record.rotation = {0, turnY, 0};
    key->record.textureZoom = owner->textureZoom;
    key->record.textureParams = owner->textureParams;
    key->scene = nativeFiles.project;
    key->scene.fogSmoke.fogStrength = fogStrength;
    return key;
  }

  AnimationSettings TwoKeys(float turnA, float turnB) {
    AnimationSettings s;
    s.frameCount = 9;
    s.method = kMethodSharp;
    s.object = owner;
    s.keys[0] = KeyOf(-10, turnA, 0);
    s.keys[1] = KeyOf(10, turnB, 100);
    for (int k : {0, 1}) {
      s.keyValid[size_t(k)] = 1;
      s.keyRotation[size_t(k)] = {s.keys[size_t(k)]->record.rotation.x, s.keys[size_t(k)]->record.rotation.y,
                                  s.keys[size_t(k)]->record.rotation.z};
      s.keyLight[size_t(k)] = nativeFiles.project.lightAngles;
    }
    s.firstKey = 0;
    s.lastKey = 1;
    ComputeKeyTimes(s);
    PrepareKeyRotations(s);
    return s;
  }

  SceneObject* owner = nullptr;
};

TEST_F(KeyframeAnimation, AFrameBlendsShapePaintPlacementFogAndTurn) {
  const std::vector<Vec3f> original = owner->points;
  AnimationSettings s = TwoKeys(350 * kDegree, 10 * kDegree);
  BlendAnimationFrame(5, s);  // halfway
  for (size_t i = 0; i < original.size(); i += 997) {
    EXPECT_NEAR(owner->points[i].x, original[i].x, 1e-3f) << i;
    EXPECT_NEAR(owner->points[i].y, original[i].y, 1e-3f) << i;
  }
  EXPECT_NEAR(owner->position.x, 0.0f, 1e-5f);
  EXPECT_EQ(owner->pointColors[0].red, 150);  // 100 / 2 + 200 / 2
  EXPECT_NEAR(nativeFiles.project.fogSmoke.fogStrength, 50.0f, 1e-4f);
  // 350 degrees to 10 degrees turns through 0, the short way: halfway is 0, not 180.
  const float turn = owner->rotation.y;
  EXPECT_LT(std::min(turn, 2 * kPi - turn), 0.01f) << turn;
  EXPECT_NEAR(owner->rotation.x, 0.0f, 1e-4f);

  BlendAnimationFrame(0, s);
  EXPECT_NEAR(owner->position.x, -10.0f, 1e-5f);
  EXPECT_NEAR(owner->rotation.y, 350 * kDegree, 1e-4f);
}

TEST_F(KeyframeAnimation, TheOwnerAndTheSceneComeBackWhateverTheOutcome) {
  SceneObject* other = AddOrganicSphere();
  ASSERT_NE(other, nullptr);
  owner->position = {1, 2, 3};
  owner->rotation = {0.1f, 0.2f, 0.3f};
  owner->optics.shininess = 77;
  nativeFiles.project.fogSmoke.fogStrength = 33;
  const std::array<float, 3> light = nativeFiles.project.lightAngles;
  const std::vector<Vec3f> points = owner->points;
  const std::vector<Rgb8> colours = owner->pointColors;
  for (const int outcome : {0, kAnimationCancelled, 5}) {
    services.shown.clear();
    AnimationSettings s = TwoKeys(0, 1.0f);
    s.hideOthers = 1;
    bool hiddenDuringRun = false;
    const int result = RunAnimation(s, [&](AnimationSettings& run) {
      hiddenDuringRun = (other->ghostState & kHiddenForOperation) != 0 && (owner->ghostState & kHiddenForOperation) == 0;
      BlendAnimationFrame(3, run);
      return outcome;
    });
    EXPECT_EQ(result, outcome);
    EXPECT_TRUE(hiddenDuringRun) << outcome;
    EXPECT_EQ(other->ghostState & kHiddenForOperation, 0) << outcome;
    EXPECT_EQ(owner->points, points) << outcome;
    EXPECT_EQ(owner->pointColors, colours) << outcome;
    EXPECT_EQ(owner->position, (Vec3f{1, 2, 3})) << outcome;
    EXPECT_EQ(owner->rotation, (Vec3f{0.1f, 0.2f, 0.3f})) << outcome;
    EXPECT_EQ(owner->optics.shininess, 77) << outcome;
    EXPECT_EQ(nativeFiles.project.fogSmoke.fogStrength, 33.0f) << outcome;
    EXPECT_EQ(nativeFiles.project.lightAngles, light) << outcome;
    const std::vector<std::string> shown = services.Texts(ShownKind::Stop);
    EXPECT_EQ(shown, outcome == 5 ? std::vector<std::string>{GetString(kErrAnimationFailed)} : std::vector<std::string>{})
        << outcome;
  }
}

TEST_F(KeyframeAnimation, KeyButtonsStoreRecallAndBelongToOneObject) {
  ASSERT_TRUE(SetCurrentObject(SlotOfObject(owner)));
  owner->position = {5, 0, 0};
  ASSERT_TRUE(PressSetKeyButton(0));  // no owner yet: the slots are cleared, this object owns them
  EXPECT_EQ(scene.keyframeOwner, owner);
  EXPECT_TRUE(KeyframeExists(0));
  owner->position = {-5, 0, 0};
  const Vec3f moved = owner->points[0];
  owner->points[0].x += 40;
  nativeFiles.project.fogSmoke.fogStrength = 90;
  ASSERT_TRUE(PressSetKeyButton(0));  // set: recalled
  EXPECT_EQ(owner->position, (Vec3f{5, 0, 0}));
  EXPECT_EQ(owner->points[0], moved);
  EXPECT_EQ(nativeFiles.project.fogSmoke.fogStrength, 0.0f);

  // Another object's press is refused with its message; the keys stay.
  SceneObject* other = AddOrganicSphere();
  ASSERT_TRUE(SetCurrentObject(SlotOfObject(other)));
  EXPECT_FALSE(PressSetKeyButton(2));
  EXPECT_EQ(services.Texts(ShownKind::Stop), std::vector<std::string>{GetString(kErrKeysOwnedByOther)});
  EXPECT_FALSE(KeyframeExists(2));
  EXPECT_EQ(scene.keyframeOwner, owner);

  // Deleting the last key frees the keys for anyone.
  PressDeleteKeyButton(0);
  EXPECT_FALSE(KeyframeExists(0));
  EXPECT_EQ(scene.keyframeOwner, nullptr);
}

TEST_F(KeyframeAnimation, RecallRefusesAnotherShapeAndTheRunSkipsOrStopsOnIt) {
  ASSERT_EQ(SetOrRecallKeyframe(*owner, 1), kNoError);
  std::unique_ptr<SceneObject> small = NewSceneObject(3, 1);
  MutableTopology(*small)->triangles = {{0, 1, 2}};
  ASSERT_EQ(SetOrRecallKeyframe(*small, 4), kNoError);  // stored: another object's shape in slot 4
  EXPECT_NE(SetOrRecallKeyframe(*owner, 4), kNoError);
  EXPECT_EQ(services.Texts(ShownKind::Stop), std::vector<std::string>{GetString(kErrKeyCountsDiffer)});

  // The run: other counts are skipped without a word.
  scene.keyframeOwner = owner;
  AnimationSettings s;
  ASSERT_EQ(ReadAnimationKeys(s), kNoError);
  EXPECT_EQ(s.firstKey, 1);
  EXPECT_EQ(s.lastKey, 1);
  EXPECT_EQ(s.keyValid[4], 0);

  // Same counts, other triangles: the run stops with its message.
  services.shown.clear();
  SceneObject twisted;
  twisted.pointCount = owner->pointCount;
  twisted.triangleCount = owner->triangleCount;
  twisted.points = owner->points;
  twisted.pointUV = owner->pointUV;
  twisted.pointColors = owner->pointColors;
  auto topology = std::make_shared<Topology>(*owner->topology);
  std::swap(topology->triangles[0][0], topology->triangles[0][1]);
  twisted.topology = topology;
  DeleteKeyframe(4);
  ASSERT_EQ(SetOrRecallKeyframe(twisted, 4), kNoError);
  AnimationSettings stopped;
  EXPECT_NE(ReadAnimationKeys(stopped), kNoError);
  EXPECT_EQ(services.Texts(ShownKind::Stop), std::vector<std::string>{GetString(kErrCantCreateAnimation)});
}

}  // namespace
}  // namespace tsv
