// Replaying steps: strength, the recorded view, trackball drags, the record/save/open/replay round
// trip on a second object, and the replay batch procedure.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

#include "paint/object_paint.h"
#include "paint/paint_state.h"
#include "scene/object_file.h"
#include "tests/tasks/task_fixture.h"
#include "tools/deform_batch.h"
#include "tools/deform_table.h"
#include "tools/deform_tools.h"
#include "tools/trackball.h"

namespace tsv::test {
namespace {

using TaskReplay = TaskFixture;

void ExpectSamePoints(const std::vector<Vec3f>& a, const std::vector<Vec3f>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) ASSERT_TRUE(SamePosition(a[i], b[i])) << i;
}

TEST_F(TaskReplay, StrengthZeroLeavesTheObjectUnchanged) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const std::vector<Vec3f> before = sphere->points;
  ASSERT_TRUE(WriteTaskSteps({Step("SC", 220), Step("TT", 90), Step("FL", 40), Step("ST", 30, 250),
                              Step("NO", 200), Step("BU", 10), Step("RO"), Step("RX", 30, -12), Step("UN", 256),
                              Step("EN"), Step("TW", 100)}));
  taskRecorder.replayStrength = 0;
  RunAllSteps();
  ExpectSamePoints(sphere->points, before);
  EXPECT_TRUE(Stops().empty());

  // At full strength the same list changes it; the run stops at the end step.
  taskRecorder.replayStrength = 256;
  RunAllSteps();
  EXPECT_FALSE(SamePosition(sphere->points[5], before[5]) && SamePosition(sphere->points[900], before[900]));
}

TEST_F(TaskReplay, ScalingFollowsTheAmountKinds) {
  EXPECT_EQ(ScaleNeutralAmount(-100, 128), -50);
  EXPECT_EQ(ScaleNeutralAmount(-3, 128), -1);  // toward zero
  EXPECT_EQ(ScaleCentredAmount(200, 0), 128);
  EXPECT_EQ(ScaleCentredAmount(27, 128), 78);  // (-101) * 128 / 256 = -50
  EXPECT_EQ(ScaleFlattenAmount(0, 64), 192);
  EXPECT_EQ(ScaleFlattenAmount(0, 0), 256);
}

TEST_F(TaskReplay, AStepRunsAtTheStrengthThroughTheTool) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const std::vector<Vec3f> start = sphere->points;
  DeformTwist(sphere, Undo(), 45);  // 90 at half strength
  CommitObjectChange(sphere, Undo());
  const std::vector<Vec3f> expected = sphere->points;
  sphere->points = start;
  ASSERT_TRUE(ActivateSceneObject(sphere));
  taskRecorder.replayStrength = 128;
  EXPECT_EQ(RunTaskStep(Step("TT", 90)), 1);
  ExpectSamePoints(sphere->points, expected);
  EXPECT_EQ(RunTaskStep(Step("EN")), 0);
  EXPECT_EQ(RunTaskStep(Step("ZZ", 5)), 1);  // unknown codes are passed over
  ExpectSamePoints(sphere->points, expected);
}

TEST_F(TaskReplay, ARecordedViewIsTakenBeforeItsStepAndTheViewRestoredAfterwards) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const std::vector<Vec3f> start = sphere->points;
  sphere->views[0].angles = {0.7f, 0.2f, 0.0f};
  DeformBend(sphere, Undo(), 80);
  CommitObjectChange(sphere, Undo());
  const std::vector<Vec3f> expected = sphere->points;
  sphere->views[0] = DefaultObjectView(0);
  sphere->points = start;
  ASSERT_TRUE(ActivateSceneObject(sphere));

  TaskStep bend = Step("BA", 80);
  bend.viewAngles = {0.7f, 0.2f, 0.0f};
  ASSERT_TRUE(WriteTaskSteps({bend, Step("EN")}));
  RunStep();
  ExpectSamePoints(sphere->points, expected);
  EXPECT_EQ(sphere->views[0].angles, DefaultObjectView(0).angles);
}

TEST_F(TaskReplay, OneRotateStepRunsEveryMotionOfItsDrag) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const std::vector<Vec3f> start = sphere->points;
  for (auto [dx, dy] : {std::pair{12, -5}, std::pair{-3, 20}, std::pair{7, 7}}) {
    RotateSession(sphere, Undo(), int16_t(dx), int16_t(dy));
    CommitObjectChange(sphere, Undo());
  }
  const std::vector<Vec3f> expected = sphere->points;
  sphere->points = start;
  ASSERT_TRUE(ActivateSceneObject(sphere));
  ASSERT_TRUE(WriteTaskSteps({Step("SC", 128), Step("RO"), Step("RX", 12, -5), Step("RX", -3, 20),
                              Step("RX", 7, 7), Step("TT", 100), Step("EN")}));
  CursorDown();
  ASSERT_EQ(taskRecorder.taskCursor, int64_t(kTaskStepSize));
  RunStep();
  ExpectSamePoints(sphere->points, expected);  // and not the Twist after it
}

TEST_F(TaskReplay, ReplayWithoutAListSaysSo) {
  ASSERT_NE(AddSphere(), nullptr);
  std::filesystem::remove(TaskStepsPath());
  RunAllSteps();
  EXPECT_EQ(Stops(), std::vector<std::string>{"Error: There are no recorded Task steps."});
}

TEST_F(TaskReplay, ARecordedSessionReplaysExactlyOnASecondObject) {
  SceneObject* first = AddSphere();
  ASSERT_NE(first, nullptr);
  brushSettings.depth = 20;
  brushSettings.size = 160;
  brushSettings.spacing = 64;
  SetPaintColour(200, 40, 90);
  NewTaskList();
  SetRecording(kRecordStart);
  // A tool by drag, a brush stroke, a paint command.
  ScriptDrag({{25, 0}, {60, 0}});
  DeformTwist(first, Undo(), kAmountInteractive);
  CommitObjectChange(first, Undo());
  ASSERT_TRUE(BeginStroke(1, 180, 190));
  ContinueStroke(180, 190, 15, 4);
  ContinueStroke(195, 194, 12, -6);
  EndStroke();
  ASSERT_TRUE(EnsurePaintable(first, Undo(), false));
  ASSERT_TRUE(RunPaintCommand(*FindPaintCommand(kStepAddClouds), first, Undo()));
  SetRecording(kRecordStop);
  EXPECT_EQ(Codes(ListOnDisk()), Codes({"TT", "BR", "BS", "BE", "CP", "PC", "EN"}));
  const std::string path = temp / "session.tsks";
  ASSERT_EQ(SaveTaskFileTo(path), kNoError);

  // Other settings now: the replay takes the recorded ones and gives these back.
  ResetBrushSettings();
  SetPaintColour(0, 0, 0);
  SeedPaintRandom(1);
  NewTaskList();
  ASSERT_EQ(OpenTaskFileAt(path), kNoError);
  SceneObject* second = AddSphere();
  ASSERT_NE(second, nullptr);
  ASSERT_EQ(scene.currentObject, second);
  // The first run drew its paint offsets after the seed the fixture set; so does the replay.
  SeedPaintRandom(1);
  const std::vector<Vec3f> firstPoints = first->points;
  const std::vector<Rgb8> firstColours = first->pointColors;
  RunAllSteps();
  ExpectSamePoints(second->points, firstPoints);
  ASSERT_EQ(second->pointColors.size(), firstColours.size());
  for (size_t i = 0; i < firstColours.size(); ++i) {
    ASSERT_TRUE(second->pointColors[i].red == firstColours[i].red && second->pointColors[i].green == firstColours[i].green &&
                second->pointColors[i].blue == firstColours[i].blue) << i;
  }
  EXPECT_EQ(second->optics.isPainted, 1);
  EXPECT_EQ(brushSettings.depth, 64);  // the settings in force before the replay
  EXPECT_EQ(brushSettings.paintColour.red, 0);
}

TEST_F(TaskReplay, TheBatchProcedureReplaysATaskFileAtAStrength) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const std::string in = temp / "in.cmf";
  ASSERT_TRUE(SaveObjectToFile(*sphere, FileSpecForPath(in, kObjectFileType)));
  const std::string tasks = temp / "twist.tsks";
  // An unknown step and a trailing partial record are passed over.
  std::vector<uint8_t> bytes = EncodeTaskSteps(std::vector<TaskStep>{Step("ZZ", 3), Step("TT", 64), Step("EN")});
  bytes.resize(bytes.size() + 17, 0x41);
  WriteFileBytes(tasks, bytes);

  const std::string out = temp / "out.cmf";
  const std::string expectedPath = temp / "expected.cmf";
  ASSERT_EQ(ReplayTaskFile(tasks, in, out, 128), kNoError);
  ASSERT_EQ(DeformObjectFile(in, expectedPath, "TT", 32, 0, 0), kNoError);
  const auto replayed = ReadObjectFile(FileSpecForPath(out, kObjectFileType));
  const auto expected = ReadObjectFile(FileSpecForPath(expectedPath, kObjectFileType));
  ASSERT_TRUE(replayed && expected);
  ExpectSamePoints(replayed->points, expected->points);
  EXPECT_EQ(taskRecorder.replayStrength, 256);

  services.shown.clear();
  EXPECT_EQ(ReplayTaskFile(tasks, in, out, 257), kMalformed);
  EXPECT_EQ(Stops(), std::vector<std::string>{"Error: The replay strength must lie between 0 and 256."});
  EXPECT_EQ(ReplayTaskFile(temp / "none.tsks", in, out, 256), kFileNotFound);
  EXPECT_NE(ReplayTaskFile(tasks, temp / "none.cmf", out, 256), kNoError);
}

// The batch command reads its task file as the panel opens one: damaged steps and a cut-off end
// are left out with a note, the rest is replayed; a file with no end is refused.
TEST_F(TaskReplay, TheBatchProcedureLeavesOutDamagedStepsAndRefusesEndlessFiles) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const std::string in = temp / "in.cmf";
  ASSERT_TRUE(SaveObjectToFile(*sphere, FileSpecForPath(in, kObjectFileType)));
  TaskStep nanAngle = Step("TT", 90);
  nanAngle.viewAngles[0] = std::numeric_limits<float>::quiet_NaN();
  TaskStep hugeZoom = Step("SC", 220);
  hugeZoom.viewZoom = 1.0e30f;
  std::vector<uint8_t> bytes = EncodeTaskSteps(std::vector<TaskStep>{nanAngle, hugeZoom, Step("TT", 64), Step("EN")});
  bytes.resize(bytes.size() + 23, 0x42);  // cut off inside a fifth step
  const std::string tasks = temp / "damaged.tsks";
  WriteFileBytes(tasks, bytes);

  const std::string out = temp / "out.cmf";
  const std::string expectedPath = temp / "expected.cmf";
  ASSERT_EQ(ReplayTaskFile(tasks, in, out, 128), kNoError);
  EXPECT_EQ(services.Texts(ShownKind::Alert),
            std::vector<std::string>{"Note: Damaged steps left out of " + tasks +
                                     ": 2. Their view or pen tilt lies outside what the program can show.\n"
                                     "Note: " + tasks + " ends inside a step; its last 23 bytes were left out."});
  ASSERT_EQ(DeformObjectFile(in, expectedPath, "TT", 32, 0, 0), kNoError);
  const auto replayed = ReadObjectFile(FileSpecForPath(out, kObjectFileType));
  const auto expected = ReadObjectFile(FileSpecForPath(expectedPath, kObjectFileType));
  ASSERT_TRUE(replayed && expected);
  ExpectSamePoints(replayed->points, expected->points);

  const std::string none = temp / "none.cmf";
  EXPECT_EQ(ReplayTaskFile("/dev/zero", in, none, 256), kMalformed);
  EXPECT_EQ(Stops(), std::vector<std::string>{
                         "Can't open /dev/zero: it holds more steps than a task list can take (at most 1000000)"});
  EXPECT_FALSE(std::filesystem::exists(none));
}

// A step in the list whose view is damaged (recorded from an object whose view was) is passed over
// with a note, and the renderer never sees it.
TEST_F(TaskReplay, AStepWithADamagedViewIsSkippedWithANote) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  const std::vector<Vec3f> start = sphere->points;
  DeformTwirl(sphere, Undo(), 40);
  CommitObjectChange(sphere, Undo());
  const std::vector<Vec3f> expected = sphere->points;
  sphere->points = start;
  ASSERT_TRUE(ActivateSceneObject(sphere));

  TaskStep damaged = Step("TT", 90);
  damaged.viewAngles[2] = std::numeric_limits<float>::infinity();
  EXPECT_EQ(RunTaskStep(damaged), 1);
  ExpectSamePoints(sphere->points, start);
  ASSERT_TRUE(WriteTaskSteps({damaged, Step("TW", 40), Step("EN")}));
  RunAllSteps();
  ExpectSamePoints(sphere->points, expected);
  EXPECT_EQ(services.Texts(ShownKind::Alert),
            std::vector<std::string>{"Note: Task steps skipped: 1. Their view or pen tilt lies outside what the program can show."});
  EXPECT_EQ(sphere->views[0].angles, DefaultObjectView(0).angles);
}

// A paint stroke replayed on an object that is not paintable asks once, at its first segment.
TEST_F(TaskReplay, APaintStrokeAsksOncePerStroke) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  ASSERT_EQ(sphere->optics.isPainted, 0);
  std::vector<TaskStep> stroke = {Step("BR", 180, 190, 15, 4), Step("BS", 195, 194, 12, -6), Step("BS", 207, 188, 9, 3),
                                  Step("BE")};
  for (TaskStep& s : stroke) s.room = 4;
  std::vector<TaskStep> list = stroke;
  list.insert(list.end(), stroke.begin(), stroke.end());
  list.push_back(Step("EN"));
  ASSERT_TRUE(WriteTaskSteps(list));
  services.messageAnswers = {false, false};
  RunAllSteps();
  const std::string question = "Warning: Operation requires object to be paintable. Do you want to make object paintable ?";
  EXPECT_EQ(services.Texts(ShownKind::Message), (std::vector<std::string>{question, question}));
  EXPECT_EQ(sphere->optics.isPainted, 0);

  // Yes at the first stroke makes the object paintable: the second stroke asks nothing.
  services.shown.clear();
  services.messageAnswers = {true};
  RunAllSteps();
  EXPECT_EQ(services.Texts(ShownKind::Message), std::vector<std::string>{question});
  EXPECT_EQ(sphere->optics.isPainted, 1);
}

// "Paint object" makes the alternate colour the paint colour; replayed, it leaves the user's
// colours as they were.
TEST_F(TaskReplay, ReplayedPaintLeavesTheUsersColours) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  ASSERT_TRUE(EnsurePaintable(sphere, Undo(), false));
  brushSettings.paintColour = Rgb16{0x1000, 0x2000, 0x3000};
  brushSettings.alternateColour = Rgb16{0x7000, 0x8000, 0x9000};
  TaskStep fill = Step("CC");
  fill.room = 4;
  fill.red = 0xAA00;
  fill.green = 0xBB00;
  fill.blue = 0xCC00;
  ASSERT_TRUE(WriteTaskSteps({fill, Step("EN")}));
  RunAllSteps();
  EXPECT_EQ(sphere->pointColors[0].red, 0xAA);  // painted with the recorded colour
  EXPECT_EQ(sphere->pointColors[0].blue, 0xCC);
  EXPECT_EQ(brushSettings.alternateColour.red, 0x7000);
  EXPECT_EQ(brushSettings.alternateColour.blue, 0x9000);
  EXPECT_EQ(brushSettings.paintColour.red, 0x1000);
}

// Only the three map kinds are applied: the interactive marker (or any other value) in a damaged
// list never starts the map-apply drag.
TEST_F(TaskReplay, AMapApplyOfAnUnknownKindIsSkipped) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  GreyMap map;
  map.width = map.height = 4;
  map.bytes.assign(16, 255);
  paintState.map = map;
  const std::vector<Vec3f> start = sphere->points;
  ASSERT_TRUE(WriteTaskSteps({Step("MA", kAmountInteractive, 200), Step("MA", 3, 200), Step("MA", -1, 200), Step("EN")}));
  // The drag would end on the button's release and record the map apply it made.
  std::vector<uint16_t> recorded;
  taskSteps.hook = [&](uint16_t code, int16_t, int16_t, int16_t, int16_t) { recorded.push_back(code); };
  RunAllSteps();
  EXPECT_TRUE(recorded.empty());
  ExpectSamePoints(sphere->points, start);
  EXPECT_EQ(TaskStepName(Step("MA", kAmountInteractive)), "Map apply");

  // A known kind still applies.
  ASSERT_TRUE(WriteTaskSteps({Step("MA", 2, 192), Step("EN")}));
  RunAllSteps();
  EXPECT_FALSE(SamePosition(sphere->points[0], start[0]));
}

}  // namespace
}  // namespace tsv::test
