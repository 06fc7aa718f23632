// "Paint object" and the procedural colours: the mask, the formulas, the recorded steps, the
// paintable question and the way the panel and the replay run a command.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "render/noise.h"
#include "paint/object_paint.h"
#include "paint/paint_state.h"
#include "platform/string_table.h"
#include "render/work_data.h"
#include "tests/paint/paint_fixture.h"
#include "tools/brush.h"

namespace tsv::test {
namespace {

constexpr const char* kQuestion =
    "Warning: Operation requires object to be paintable. Do you want to make object paintable ?";

class ObjectPaint : public PaintFixture {
 protected:
  // Colours that differ from point to point, so that keeping them is visible.
  static std::vector<Rgb8> VariedColours(size_t count) {
    std::vector<Rgb8> colours(count);
    for (size_t i = 0; i < count; ++i) {
      colours[i] = {uint8_t(i * 7), uint8_t(i * 13 + 50), uint8_t(255 - i * 29)};
    }
    return colours;
  }
  static bool Same(const Rgb8& a, const Rgb8& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
  }
  // A small non-organic object with the given points and one triangle.
  SceneObject* AddPoints(const std::vector<Vec3f>& points) { return AddMesh(points, {{0, 1, 2}}); }
};

TEST_F(ObjectPaint, MaskedColourCountsTheTopMaskAsFullWeight) {
  struct Case {
    uint8_t mask, expected;  // old 100, new 200
  };
  const Case cases[] = {
      {0, 100}, {255, 200},
      {127, uint8_t((200 * 127 + 100 * 129) >> 8)},  // below 128: the mask itself
      {128, uint8_t((200 * 129 + 100 * 127) >> 8)},  // from 128: one more
      {254, uint8_t((200 * 255 + 100 * 1) >> 8)},
  };
  for (const Case& c : cases) {
    Rgb8 colour{100, 100, 100};
    ApplyMaskedColour(colour, c.mask, 200, 200, 200);
    EXPECT_EQ(colour.red, c.expected) << int(c.mask);
    EXPECT_EQ(colour.green, c.expected);
    EXPECT_EQ(colour.blue, c.expected);
  }
  Rgb8 colour{255, 0, 9};
  ApplyMaskedColour(colour, 255, 0, 255, 77);
  EXPECT_TRUE(Same(colour, {0, 255, 77}));
}

TEST_F(ObjectPaint, AMaskOfZeroKeepsTheColourAndAFreePointTakesTheNewOneUnderEveryCommand) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  sphere->currentView = 1;  // a turned view, which clouds and gradient go by
  SetPaintColour(200, 90, 30);
  const std::vector<Rgb8> old = VariedColours(sphere->pointColors.size());
  for (const PaintCommand& command : PaintCommands()) {
    SCOPED_TRACE(GetString(command.name));
    // Every point free: the new colour itself.
    sphere->pointColors = old;
    std::fill(sphere->pointMask.begin(), sphere->pointMask.end(), uint8_t(255));
    SeedPaintRandom(11);
    ASSERT_TRUE(command.run(sphere));
    const std::vector<Rgb8> fresh = sphere->pointColors;
    size_t changed = 0;
    for (size_t i = 0; i < old.size(); ++i) changed += Same(fresh[i], old[i]) ? 0 : 1;
    EXPECT_GT(changed, old.size() / 100) << "the command hardly painted";

    // Protected, free and half-free points, with the same random draws.
    sphere->pointColors = old;
    for (size_t i = 0; i < old.size(); ++i) {
      sphere->pointMask[i] = i % 3 == 0 ? 0 : i % 3 == 1 ? 255 : 77;
    }
    SeedPaintRandom(11);
    ASSERT_TRUE(command.run(sphere));
    for (size_t i = 0; i < old.size(); ++i) {
      const Rgb8& got = sphere->pointColors[i];
      if (i % 3 == 0) {
        ASSERT_TRUE(Same(got, old[i])) << "protected point " << i;
      } else if (i % 3 == 1) {
        ASSERT_TRUE(Same(got, fresh[i])) << "free point " << i;
      } else {
        ASSERT_EQ(got.red, (fresh[i].red * 77 + old[i].red * 179) >> 8) << i;
      }
    }
    if (command.code == kStepPaintObject) {
      for (size_t i = 0; i < old.size(); i += 97) ASSERT_TRUE(Same(fresh[i], {200, 90, 30})) << i;
    }
  }
}

TEST_F(ObjectPaint, EveryCommandRecordsItsStepAndMarksThePaint) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const char* codes[] = {"CC", "PN", "PC", "PM", "PV", "PG"};
  const char* names[] = {"Paint object", "Add Noise", "Add Clouds", "Add Marble", "Add Veins",
                         "Add Gradient"};
  ASSERT_EQ(PaintCommands().size(), 6u);
  for (size_t c = 0; c < 6; ++c) {
    const PaintCommand& command = PaintCommands()[c];
    EXPECT_EQ(TaskStepCodeText(command.code), codes[c]);
    EXPECT_EQ(GetString(command.name), names[c]);
    EXPECT_EQ(FindPaintCommand(command.code), &command);
    steps.clear();
    sphere->dirtyFlags = kDirtyNormals;  // a tool's redraw still pending
    ASSERT_TRUE(command.run(sphere));
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(TaskStepCodeText(steps[0].code), codes[c]);
    EXPECT_EQ(steps[0].value1, 0);
    EXPECT_EQ(steps[0].value2, 0);
    EXPECT_EQ(sphere->dirtyFlags, kDirtyNormals | kDirtyPointPaint) << "pending bits are kept";
  }
  EXPECT_EQ(FindPaintCommand(TaskStepCode("MA")), nullptr);
  EXPECT_EQ(FindPaintCommand(TaskStepCode("CP")), nullptr);
}

TEST_F(ObjectPaint, AMissingObjectOrMissingArraysPaintNothingAndRecordNothing) {
  for (const PaintCommand& command : PaintCommands()) EXPECT_FALSE(command.run(nullptr));
  SceneObject* mesh = AddPoints({{0, 0, 0}, {1, 1, 0}, {0, 2, 0}});
  ASSERT_NE(mesh, nullptr);
  mesh->pointColors.resize(2);  // fewer colours than points
  for (const PaintCommand& command : PaintCommands()) EXPECT_FALSE(command.run(mesh));
  mesh->pointColors.resize(3, Rgb8{1, 2, 3});
  mesh->points.resize(2);  // the commands that read positions need them all
  EXPECT_FALSE(AddClouds(mesh));
  EXPECT_FALSE(AddMarble(mesh));
  EXPECT_FALSE(AddVeins(mesh));
  EXPECT_FALSE(AddGradient(mesh));
  EXPECT_TRUE(Same(mesh->pointColors[2], {1, 2, 3}));
  EXPECT_TRUE(steps.empty());
  // Without mask bytes every point is free.
  mesh->points.resize(3);
  mesh->pointMask.clear();
  SetPaintColour(9, 8, 7);
  EXPECT_TRUE(PaintObject(mesh));
  EXPECT_TRUE(Same(mesh->pointColors[2], {9, 8, 7}));
}

TEST_F(ObjectPaint, PaintObjectTakesTheHighBytesAndMakesThemTheAlternateColour) {
  SceneObject* mesh = AddPoints({{0, 0, 0}, {1, 1, 0}, {0, 2, 0}});
  ASSERT_NE(mesh, nullptr);
  brushSettings.paintColour = Rgb16{0x12FF, 0xAB01, 0xFFFF};
  brushSettings.alternateColour = Rgb16{1, 2, 3};
  ASSERT_TRUE(PaintObject(mesh));
  for (const Rgb8& colour : mesh->pointColors) EXPECT_TRUE(Same(colour, {0x12, 0xAB, 0xFF}));
  EXPECT_EQ(brushSettings.alternateColour.red, 0x12FF);
  EXPECT_EQ(brushSettings.alternateColour.green, 0xAB01);
  EXPECT_EQ(brushSettings.alternateColour.blue, 0xFFFF);
}

TEST_F(ObjectPaint, NoiseDrawsOneValueForEveryPointInOrder) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  SetPaintColour(250, 125, 0);
  std::fill(sphere->pointColors.begin(), sphere->pointColors.end(), Rgb8{0, 0, 0});
  sphere->pointMask[5] = 0;  // protected points draw too: the sequence does not depend on the mask
  SeedPaintRandom(5);
  std::vector<double> draws;
  for (size_t i = 0; i < sphere->pointColors.size(); ++i) draws.push_back(PaintRandom() / 32767.0);
  const int next = PaintRandom();
  SeedPaintRandom(5);
  ASSERT_TRUE(AddNoise(sphere));
  for (size_t i = 0; i < draws.size(); ++i) {
    if (i == 5) continue;
    ASSERT_EQ(sphere->pointColors[i].red, int(draws[i] * 250.0)) << i;
    ASSERT_EQ(sphere->pointColors[i].green, int(draws[i] * 125.0)) << i;
    ASSERT_EQ(sphere->pointColors[i].blue, 0);
  }
  EXPECT_EQ(PaintRandom(), next);
}

// The offset a clouds, marble or veins command draws first.
std::array<float, 3> DrawnOffset() {
  std::array<float, 3> offset{};
  for (float& o : offset) o = float(1000.0 + 64.0 * (PaintRandom() / 32767.0));
  return offset;
}

TEST_F(ObjectPaint, CloudsFollowTheViewPositionAndMarbleTheObjectPosition) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  sphere->currentView = 2;
  SetPaintColour(250, 0, 0);
  const std::array<float, 9> m = ViewRotationMatrix(sphere->views[2].angles);
  const std::vector<Rgb8> black(sphere->pointColors.size(), Rgb8{0, 0, 0});

  SeedPaintRandom(99);
  const std::array<float, 3> cloudOffset = DrawnOffset();
  sphere->pointColors = black;
  SeedPaintRandom(99);
  ASSERT_TRUE(AddClouds(sphere));
  int differentFromObjectSpace = 0;
  for (size_t i = 0; i < black.size(); ++i) {
    const Vec3f& p = sphere->points[i];
    const float vx = m[0] * p.x + m[1] * p.y + m[2] * p.z;
    const float vy = m[3] * p.x + m[4] * p.y + m[5] * p.z;
    const float vz = m[6] * p.x + m[7] * p.y + m[8] * p.z;
    const float t = Turbulence(cloudOffset[0] + 0.01f * vx, cloudOffset[1] + 0.01f * vy,
                               cloudOffset[2] + 0.01f * vz, 0.5f, 0.01f);
    ASSERT_NEAR(sphere->pointColors[i].red, int(t * 250.0), 1) << i;
    const float unturned = Turbulence(cloudOffset[0] + 0.01f * p.x, cloudOffset[1] + 0.01f * p.y,
                                      cloudOffset[2] + 0.01f * p.z, 0.5f, 0.01f);
    differentFromObjectSpace += std::abs(int(unturned * 250.0) - sphere->pointColors[i].red) > 1;
  }
  EXPECT_GT(differentFromObjectSpace, 1000) << "the view made no difference";

  SeedPaintRandom(42);
  const std::array<float, 3> marbleOffset = DrawnOffset();
  sphere->pointColors = black;
  SeedPaintRandom(42);
  ASSERT_TRUE(AddMarble(sphere));
  for (size_t i = 0; i < black.size(); ++i) {
    const Vec3f& p = sphere->points[i];
    const float t = Turbulence(marbleOffset[0] + 0.01f * p.x, marbleOffset[1] + 0.01f * p.y,
                               marbleOffset[2] + 0.01f * p.z, 0.5f, 0.01f);
    const double v = std::min(std::fabs((double(t) - 0.5) * 20.0), 1.0);
    ASSERT_NEAR(sphere->pointColors[i].red, int(v * 250.0), 1) << i;
  }
}

TEST_F(ObjectPaint, MarbleAndVeinsAreComplementaryForTheSameOffset) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  SetPaintColour(200, 200, 200);
  const std::vector<Rgb8> black(sphere->pointColors.size(), Rgb8{0, 0, 0});
  sphere->pointColors = black;
  SeedPaintRandom(3);
  ASSERT_TRUE(AddMarble(sphere));
  const std::vector<Rgb8> marble = sphere->pointColors;
  sphere->pointColors = black;
  SeedPaintRandom(3);
  ASSERT_TRUE(AddVeins(sphere));
  int fullMarble = 0, between = 0;
  for (size_t i = 0; i < black.size(); ++i) {
    const int m = marble[i].red, v = sphere->pointColors[i].red;
    // v P + (1 - v) P, each truncated.
    ASSERT_GE(m + v, 199) << i;
    ASSERT_LE(m + v, 200) << i;
    if (m == 200) {
      ASSERT_EQ(v, 0) << "full paint under marble, the old colour under veins: " << i;
      ++fullMarble;
    }
    if (v == 200) {
      ASSERT_EQ(m, 0) << "full paint under veins, the old colour under marble: " << i;
    }
    if (m > 5 && m < 195) ++between;
  }
  EXPECT_GT(fullMarble, 0);
  EXPECT_GT(between, 0);
}

TEST_F(ObjectPaint, GradientRunsUpTheCurrentViewAndLeavesAFlatObjectAlone) {
  SetPaintColour(200, 100, 40);
  SceneObject* ramp = AddPoints({{0, 0, 0}, {1, 1, 0}, {0, 2, 0}, {1, 4, 0}});
  ASSERT_NE(ramp, nullptr);
  std::fill(ramp->pointColors.begin(), ramp->pointColors.end(), Rgb8{0, 0, 0});
  ASSERT_TRUE(AddGradient(ramp));
  const uint8_t reds[] = {0, 50, 100, 200}, greens[] = {0, 25, 50, 100}, blues[] = {0, 10, 20, 40};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_TRUE(Same(ramp->pointColors[i], {reds[i], greens[i], blues[i]})) << i;
  }

  // Level in the front view: nothing changes; seen from above, the same points run up the view.
  SceneObject* flat = AddPoints({{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {1, 0, 3}});
  ASSERT_NE(flat, nullptr);
  const std::vector<Rgb8> old = VariedColours(4);
  flat->pointColors = old;
  ASSERT_TRUE(AddGradient(flat));
  for (size_t i = 0; i < 4; ++i) EXPECT_TRUE(Same(flat->pointColors[i], old[i])) << i;
  flat->currentView = 2;
  ASSERT_TRUE(AddGradient(flat));
  int changed = 0;
  for (size_t i = 0; i < 4; ++i) changed += Same(flat->pointColors[i], old[i]) ? 0 : 1;
  EXPECT_GE(changed, 2);
}

TEST_F(ObjectPaint, EnsurePaintableAsksAndOnYesSetsRecordsAndCommits) {
  EXPECT_FALSE(EnsurePaintable(nullptr, Undo(), true));
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  sphere->optics.isPainted = 0;
  sphere->hasUnsavedChanges = 0;

  services.messageAnswers = {false};
  EXPECT_FALSE(EnsurePaintable(sphere, Undo(), true));
  EXPECT_EQ(sphere->optics.isPainted, 0);
  EXPECT_EQ(sphere->hasUnsavedChanges, 0);
  EXPECT_TRUE(steps.empty());

  services.messageAnswers = {true};
  EXPECT_TRUE(EnsurePaintable(sphere, Undo(), true));
  EXPECT_EQ(sphere->optics.isPainted, 1);
  EXPECT_EQ(sphere->hasUnsavedChanges, 1) << "committed";
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].code, TaskStepCode("CP"));
  EXPECT_EQ(steps[0].value1, 1);
  EXPECT_EQ(services.Texts(ShownKind::Message), (std::vector<std::string>{kQuestion, kQuestion}));

  // Painted already: no question, nothing recorded.
  EXPECT_TRUE(EnsurePaintable(sphere, Undo(), true));
  // Without asking the flag is simply set.
  sphere->optics.isPainted = 0;
  EXPECT_TRUE(EnsurePaintable(sphere, Undo(), false));
  EXPECT_EQ(sphere->optics.isPainted, 1);
  EXPECT_EQ(services.Texts(ShownKind::Message).size(), 2u);
  EXPECT_EQ(steps.size(), 2u);
}

TEST_F(ObjectPaint, RunPaintCommandCommitsSoThePaintCanBeUndone) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const std::vector<Rgb8> before = sphere->pointColors;
  SetPaintColour(10, 20, 30);
  ASSERT_TRUE(RunPaintCommand(*FindPaintCommand(kStepPaintObject), sphere, Undo()));
  for (size_t i = 0; i < before.size(); i += 101) {
    const PointWork& w = (*sphere->pointWork)[i];
    ASSERT_TRUE(Same({w.red, w.green, w.blue}, {10, 20, 30})) << "the committed paint, " << i;
    ASSERT_TRUE(Same(Undo()->pointColors[i], before[i])) << "the undo copy, " << i;
  }
  EXPECT_EQ(sphere->hasUnsavedChanges, 1);
  EXPECT_FALSE(RunPaintCommand(*FindPaintCommand(kStepAddNoise), nullptr, Undo()));
}

TEST_F(ObjectPaint, AReplayedStepAsksInThePaintRoomAndRunsWhateverTheAnswer) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  SetPaintColour(10, 20, 30);

  struct Case {
    bool paintRoom;
    bool answer;
    bool asked;
    uint16_t painted;
    std::vector<uint16_t> codes;
  };
  const Case cases[] = {
      {true, false, true, 0, {kStepPaintObject}},
      {true, true, true, 1, {TaskStepCode("CP"), kStepPaintObject}},
      {false, true, false, 0, {kStepPaintObject}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "paint room " << c.paintRoom << ", answer " << c.answer);
    sphere->optics.isPainted = 0;
    std::fill(sphere->pointColors.begin(), sphere->pointColors.end(), Rgb8{200, 200, 200});
    CommitObjectChange(sphere, Undo());
    steps.clear();
    services.shown.clear();
    services.messageAnswers = {c.answer};
    ASSERT_TRUE(ReplayPaintStep(kStepPaintObject, sphere, Undo(), c.paintRoom));
    EXPECT_EQ(services.Texts(ShownKind::Message).size(), c.asked ? 1u : 0u);
    EXPECT_EQ(sphere->optics.isPainted, c.painted);
    ASSERT_EQ(steps.size(), c.codes.size());
    for (size_t s = 0; s < steps.size(); ++s) EXPECT_EQ(steps[s].code, c.codes[s]);
    // The command ran and was committed.
    const PointWork& w = (*sphere->pointWork)[0];
    EXPECT_TRUE(Same({w.red, w.green, w.blue}, {10, 20, 30}));
  }
  steps.clear();
  EXPECT_FALSE(ReplayPaintStep(TaskStepCode("SC"), sphere, Undo(), true));
  EXPECT_FALSE(ReplayPaintStep(kStepAddNoise, nullptr, Undo(), true));
  EXPECT_TRUE(steps.empty());
}

}  // namespace
}  // namespace tsv::test
