// Recording into the working files, the buffer, the merge in front of the cursor, the cursor,
// deleting steps, editing strokes, the list lines and task files.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>

#include "platform/events.h"
#include "platform/preferences.h"
#include "platform/tablet.h"
#include "tests/tasks/task_fixture.h"

namespace tsv::test {
namespace {

using TaskRecorder = TaskFixture;

TEST_F(TaskRecorder, RecordsStepsWithTheLiveStateAndEndsTheListOnStop) {
  SceneObject* sphere = AddSphere();
  ASSERT_NE(sphere, nullptr);
  sphere->views[0].angles = {0.25f, 0.5f, 0.75f};
  sphere->views[0].zoom = 1.25f;
  sphere->views[0].centerX = 190;
  brushSettings.size = 90;
  brushSettings.depth = 40;
  brushSettings.shape = 7;
  brushSettings.side = brush_side::kThrough;
  brushSettings.repeat = 5;
  brushSettings.spacing = 300 & 0x1FF;
  brushSettings.type = brush_type::kSmudge;
  brushSettings.tilt = {3, -4};
  brushSettings.paintColour = Rgb16{0x1200, 0x3400, 0x5600};
  taskRecorder.currentRoom = [] { return 4; };
  taskRecorder.brushDragValues = [] { return std::array<int16_t, 2>{200, 100}; };

  RecordTaskStep(TaskStepCode("TT"), 17);  // idle: not recorded
  NewTaskList();
  SetRecording(kRecordStart);
  RecordTaskStep(TaskStepCode("ST"), 10, 20, 30, 40);
  SetRecording(kRecordStop);

  const std::vector<TaskStep> list = ListOnDisk();
  ASSERT_EQ(Codes(list), Codes({"ST", "EN"}));
  const TaskStep& s = list[0];
  EXPECT_EQ(s.value1, 10);
  EXPECT_EQ(s.value2, 20);
  EXPECT_EQ(s.value3, 30);
  EXPECT_EQ(s.value4, 40);
  EXPECT_EQ(s.viewAngles, (std::array<float, 3>{0.25f, 0.5f, 0.75f}));
  EXPECT_EQ(s.viewZoom, 1.25f);
  EXPECT_EQ(s.centerX, 190);
  EXPECT_EQ(s.brushSize, 90);
  EXPECT_EQ(s.brushDepth, 40);
  EXPECT_EQ(s.Shape(), 7);
  EXPECT_EQ(s.Side(), brush_side::kThrough);
  EXPECT_EQ(s.Repeat(), 5);
  EXPECT_EQ(s.Spacing(), 300 & 0x1FF);
  EXPECT_EQ(s.BrushType(), brush_type::kSmudge);
  EXPECT_EQ(s.tiltFirst, 3);
  EXPECT_EQ(s.tiltSecond, -4);
  EXPECT_EQ(s.room, 4);
  EXPECT_EQ(s.dragFirst, 200);
  EXPECT_EQ(s.dragSecond, 100);
  EXPECT_EQ(s.red, 0x1200);
  EXPECT_EQ(s.blue, 0x5600);
  EXPECT_EQ(taskRecorder.taskState, kTaskIdle);
  EXPECT_TRUE(taskRecorder.taskHasEnd);
  EXPECT_EQ(taskRecorder.taskStepCount, 2);

  // Paused steps are not recorded; a second stop adds no second end.
  SetRecording(kRecordStart);
  SetRecording(kRecordPauseResume);
  EXPECT_EQ(taskRecorder.taskState, kTaskPaused);
  RecordTaskStep(TaskStepCode("TT"), 5);
  SetRecording(kRecordPauseResume);
  RecordTaskStep(TaskStepCode("TW"), 6);
  SetRecording(kRecordStop);
  EXPECT_EQ(Codes(ListOnDisk()), Codes({"TW", "ST", "EN"}));
}

// A step keeps the colour and tilt the brush works with, so that its replay paints and leans
// alike: the alternate colour while Alt is held or the pen's second end is near, the pen's tilt
// while tilt is enabled and the pen is near.
TEST_F(TaskRecorder, StepsRecordTheColourAndTiltTheBrushTakes) {
  ASSERT_NE(AddSphere(), nullptr);
  brushSettings.paintColour = Rgb16{0x1200, 0x3400, 0x5600};
  brushSettings.alternateColour = Rgb16{0x7000, 0x8000, 0x9000};
  brushSettings.tilt = {3, -4};
  preferences.tabletFlags = 4;  // "Tilt enable"
  NewTaskList();
  SetRecording(kRecordStart);
  input.modifiers = kAltBit;
  RecordTaskStep(TaskStepCode("ST"), 1);
  input.modifiers = 0;
  TabletReport pen;
  pen.present = pen.inProximity = true;
  pen.tiltA = 20;
  pen.tiltB = -10;
  pen.cursorType = kTabletCursorEraser;
  ReportTabletPacket(pen);
  RecordTaskStep(TaskStepCode("ST"), 2);
  ResetTablet();
  RecordTaskStep(TaskStepCode("ST"), 3);
  SetRecording(kRecordStop);

  const std::vector<TaskStep> list = ListOnDisk();
  ASSERT_EQ(Codes(list), Codes({"ST", "ST", "ST", "EN"}));
  struct Expected {
    uint16_t red, blue;
    int16_t tiltFirst, tiltSecond;
  };
  const Expected expected[] = {{0x7000, 0x9000, 3, -4}, {0x7000, 0x9000, 20, -10},
                               {0x1200, 0x5600, 3, -4}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(list[i].red, expected[i].red) << i;
    EXPECT_EQ(list[i].blue, expected[i].blue) << i;
    EXPECT_EQ(list[i].tiltFirst, expected[i].tiltFirst) << i;
    EXPECT_EQ(list[i].tiltSecond, expected[i].tiltSecond) << i;
  }
}

TEST_F(TaskRecorder, The128thBufferedStepFlushesAtOnce) {
  ASSERT_NE(AddSphere(), nullptr);
  NewTaskList();
  SetRecording(kRecordStart);
  for (int i = 0; i < 127; ++i) RecordTaskStep(TaskStepCode("TT"), int16_t(i));
  EXPECT_EQ(taskRecorder.bufferCount, 127);
  EXPECT_EQ(std::filesystem::file_size(TaskStepsSessionPath()), 0u);
  RecordTaskStep(TaskStepCode("TT"), 127);
  EXPECT_EQ(taskRecorder.bufferCount, 0);
  EXPECT_EQ(std::filesystem::file_size(TaskStepsSessionPath()), 128u * kTaskStepSize);
  RecordTaskStep(TaskStepCode("TW"), 1);
  EXPECT_EQ(taskRecorder.bufferCount, 1);
  SetRecording(kRecordStop);
  const std::vector<TaskStep> list = ListOnDisk();
  ASSERT_EQ(list.size(), 130u);
  for (int i = 0; i < 128; ++i) ASSERT_EQ(list[size_t(i)].value1, i);
  EXPECT_EQ(list[128].code, TaskStepCode("TW"));
  EXPECT_EQ(list[129].code, kStepEnd);
}

TEST_F(TaskRecorder, RecordingWithTheCursorMidListInsertsBeforeTheSelectedStep) {
  ASSERT_NE(AddSphere(), nullptr);
  NewTaskList();
  SetRecording(kRecordStart);
  RecordTaskStep(TaskStepCode("SC"), 200);
  RecordTaskStep(TaskStepCode("RO"));
  RecordTaskStep(TaskStepCode("RX"), 3, 4);
  RecordTaskStep(TaskStepCode("TT"), 30);
  SetRecording(kRecordStop);
  ASSERT_EQ(Codes(ListOnDisk()), Codes({"SC", "RO", "RX", "TT", "EN"}));
  CursorDown();
  CursorDown();  // past the RX onto TT
  EXPECT_EQ(taskRecorder.taskCursor, 3 * int64_t(kTaskStepSize));
  EXPECT_EQ(CursorLine(), 2);

  SetRecording(kRecordStart);
  RecordTaskStep(TaskStepCode("BL"), 9);
  SetRecording(kRecordStop);
  EXPECT_EQ(Codes(ListOnDisk()), Codes({"SC", "RO", "RX", "BL", "TT", "EN"}));
  EXPECT_EQ(taskRecorder.taskStepCount, 5);
}

TEST_F(TaskRecorder, DeletingAStrokeRemovesItsSegmentsAndTheCursorLandsOnTheNextStep) {
  const std::vector<TaskStep> list = {Step("SC", 200), Step("BR", 10, 10, 2, 0), Step("BS", 12, 10, 2, 0),
                                      Step("BS", 14, 10, 2, 0), Step("BE"), Step("TT", 20), Step("EN")};
  ASSERT_TRUE(WriteTaskSteps(list));
  EXPECT_EQ(CountSteps(), 4);
  CursorDown();
  ASSERT_EQ(taskRecorder.taskCursor, int64_t(kTaskStepSize));
  CursorDown();  // skips BS, BS, BE
  EXPECT_EQ(taskRecorder.taskCursor, 5 * int64_t(kTaskStepSize));
  CursorUp();
  ASSERT_EQ(taskRecorder.taskCursor, int64_t(kTaskStepSize));

  DeleteStep();
  EXPECT_EQ(Codes(ListOnDisk()), Codes({"SC", "TT", "EN"}));
  EXPECT_EQ(taskRecorder.taskCursor, int64_t(kTaskStepSize));  // on TT
  EXPECT_EQ(taskRecorder.taskStepCount, 3);

  CursorDown();
  CursorDown();  // stays on EN, the last record
  EXPECT_EQ(taskRecorder.taskCursor, 2 * int64_t(kTaskStepSize));
  DeleteStep();  // the end is never deleted
  EXPECT_EQ(Codes(ListOnDisk()), Codes({"SC", "TT", "EN"}));
}

TEST_F(TaskRecorder, AChosenLineSetsTheCursorOnItsVisibleStep) {
  ASSERT_TRUE(WriteTaskSteps({Step("SC", 200), Step("BR", 10, 10, 2, 0), Step("BS", 12, 10, 2, 0), Step("BE"),
                              Step("TT", 20), Step("EN")}));
  SetCursorLine(2);  // SC, the stroke, then TT
  EXPECT_EQ(taskRecorder.taskCursor, 4 * int64_t(kTaskStepSize));
  EXPECT_EQ(CursorLine(), 2);
  SetCursorLine(1);
  EXPECT_EQ(taskRecorder.taskCursor, int64_t(kTaskStepSize));
  SetCursorLine(99);  // beyond the end: the last step
  EXPECT_EQ(taskRecorder.taskCursor, 5 * int64_t(kTaskStepSize));
  SetCursorLine(0);
  EXPECT_EQ(taskRecorder.taskCursor, 0);
}

TEST_F(TaskRecorder, EditingAStrokeRewritesItsSegmentsOnly) {
  ASSERT_TRUE(WriteTaskSteps({Step("BR", 1, 1, 1, 1), Step("BS"), Step("BE"), Step("BR"), Step("EN")}));
  BrushStepEdit edit;
  edit.kind = 6;  // right morph fusion
  edit.paintColour = Rgb16{0x1000, 0x2000, 0x3000};
  edit.shape = 9;
  edit.side = brush_side::kSymmetric;
  edit.pressure = 2.0f;  // clamped: depth 256
  edit.size = 0.5f;
  edit.spacing = -1.0f;  // clamped: 0
  EXPECT_FALSE(EditBrushStep(int64_t(kTaskStepSize), edit));  // a BS is no stroke's start
  EXPECT_FALSE(EditBrushStep(7, edit));
  ASSERT_TRUE(EditBrushStep(0, edit));
  const std::vector<TaskStep> list = ListOnDisk();
  for (size_t i : {0u, 1u}) {
    EXPECT_EQ(list[i].room, 3);
    EXPECT_EQ(list[i].FusionSide(), kFusionSideRight);
    EXPECT_EQ(BrushStepKind(list[i]), 6);
    EXPECT_EQ(list[i].Shape(), 9);
    EXPECT_EQ(list[i].Side(), brush_side::kSymmetric);
    EXPECT_EQ(list[i].brushDepth, 256);
    EXPECT_EQ(list[i].brushSize, 128);
    EXPECT_EQ(list[i].Spacing(), 0);
    EXPECT_EQ(list[i].green, 0x2000);
  }
  EXPECT_EQ(list[2].room, 1);  // BE and the next stroke are left alone
  EXPECT_EQ(list[3].room, 1);
  EXPECT_EQ(TaskStepName(list[0]), "Right morph object fusion");
}

TEST_F(TaskRecorder, ListLinesShowNamesReadoutsSwatchesAndTheCursor) {
  TaskStep paint = Step("BR");
  paint.room = 4;
  TaskStep smooth = Step("BR");
  smooth.typeFusion = uint16_t(brush_type::kSmooth << 8);
  ASSERT_TRUE(WriteTaskSteps({Step("SC", 192), Step("TT", -64), Step("FL", 128), Step("ST", 64, 192), paint,
                              Step("BS"), Step("BE"), smooth, Step("MA", 2, 160),
                              Step("KD", 0x1234, 0x5678, 0x9ABC), Step("CP", 1), Step("PM"), Step("EN")}));
  taskRecorder.visibleLineCount = 20;
  CursorDown();
  const std::vector<TaskListLine> lines = VisibleTaskLines();
  std::vector<std::string> texts;
  for (const TaskListLine& l : lines) texts.push_back(l.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"Scale    50", "Twist    -50", "Flatten    50", "Stretch    -50   50",
                                             "Paint session", "Smooth session", "Map apply: Spheric    25",
                                             "Diffuse color    18   86   154", "Paintable object", "Add Marble",
                                             "<The End>"}));
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_TRUE(lines[1].selected);
  EXPECT_EQ(lines[1].textColour.red, 0);
  EXPECT_EQ(lines[0].textColour.red, 16384);
  ASSERT_TRUE(lines[7].swatch.has_value());
  EXPECT_EQ(lines[7].swatch->blue, 0x9ABC);

  taskRecorder.visibleLineCount = 3;
  taskRecorder.firstVisibleLine = 0;
  for (int i = 0; i < 4; ++i) CursorDown();  // line 5 (Smooth session)
  EXPECT_EQ(CursorLine(), 5);
  EXPECT_EQ(taskRecorder.firstVisibleLine, 3);
  EXPECT_EQ(VisibleTaskLines().back().text, "Smooth session");
}

TEST_F(TaskRecorder, TaskFilesRoundTripAndBadFilesAreHandled) {
  ASSERT_TRUE(WriteTaskSteps({Step("TT", 20), Step("SC", 100), Step("EN")}));
  const std::string path = temp / "list.tsks";
  ASSERT_EQ(SaveTaskFileTo(path), kNoError);
  EXPECT_EQ(std::filesystem::file_size(path), 180u);
  NewTaskList();
  EXPECT_TRUE(ListOnDisk().empty());
  ASSERT_EQ(OpenTaskFileAt(path), kNoError);
  EXPECT_EQ(Codes(ListOnDisk()), Codes({"TT", "SC", "EN"}));
  EXPECT_TRUE(taskRecorder.taskHasEnd);
  EXPECT_EQ(taskRecorder.taskStepCount, 3);

  // A file whose length is no multiple of 60 keeps its whole records, and says so.
  std::vector<uint8_t> bytes = ReadFileBytes(path);
  bytes.resize(150);
  WriteFileBytes(path, bytes);
  ASSERT_EQ(OpenTaskFileAt(path), kNoError);
  EXPECT_EQ(Codes(ListOnDisk()), Codes({"TT", "SC"}));
  EXPECT_EQ(services.Texts(ShownKind::Alert),
            std::vector<std::string>{"Note: " + path + " ends inside a step; its last 30 bytes were left out."});

  // A save that cannot be made leaves the previous file; a missing file cannot be opened.
  EXPECT_NE(SaveTaskFileTo(temp / "missing-folder/list.tsks"), kNoError);
  EXPECT_EQ(std::filesystem::file_size(path), 150u);
  services.shown.clear();
  EXPECT_EQ(OpenTaskFileAt(temp / "nothing.tsks"), kFileNotFound);
  EXPECT_EQ(Stops(), std::vector<std::string>{"Error: File error has occured."});
  EXPECT_EQ(Codes(ListOnDisk()), Codes({"TT", "SC"}));
}

// What the panel shows is worked out when the list or the cursor changes: a look in between
// reads nothing, so a list changed behind the recorder's back shows only after the next change.
TEST_F(TaskRecorder, ThePanelsLinesAreWorkedOutOncePerChange) {
  ASSERT_TRUE(WriteTaskSteps({Step("SC", 192), Step("TT", 64), Step("EN")}));
  EXPECT_EQ(VisibleTaskLines().size(), 3u);
  EXPECT_EQ(ShownStepCount(), 3);
  WriteFileBytes(TaskStepsPath(), EncodeTaskSteps(std::vector<TaskStep>{Step("TW", 10), Step("EN")}));
  EXPECT_EQ(VisibleTaskLines().size(), 3u);
  EXPECT_EQ(VisibleTaskLines()[1].text, "Twist    50");
  EXPECT_EQ(ShownStepCount(), 3);
  EXPECT_EQ(CursorLine(), 0);
  CursorDown();  // a change: the list is read again
  ASSERT_EQ(VisibleTaskLines().size(), 2u);
  EXPECT_EQ(VisibleTaskLines()[0].text, "Twirl    7");
  EXPECT_EQ(CursorLine(), 1);
  EXPECT_EQ(ShownStepCount(), 2);

  // Each kind of change shows at once.
  ASSERT_TRUE(EditAmountStep(0, 64));
  EXPECT_EQ(VisibleTaskLines()[0].text, "Twirl    50");
  SetCursorLine(0);
  DeleteStep();
  EXPECT_EQ(ShownStepCount(), 1);
  NewTaskList();
  EXPECT_TRUE(VisibleTaskLines().empty());
  SetRecording(kRecordStart);
  SetRecording(kRecordStop);  // no object: the list gets its end
  EXPECT_EQ(VisibleTaskLines().size(), 1u);
  SetVisibleLineCount(5);
  EXPECT_EQ(taskRecorder.visibleLineCount, 5);
}

// Every amount is shown as its tool's readout shows it, and a readout entered in a step dialog
// comes back as an amount that shows it, within the tool's range.
TEST_F(TaskRecorder, AmountReadoutsConvertBothWays) {
  struct Case {
    DeformKind kind;
    int readoutMin, readoutMax;
  };
  for (const Case& c : {Case{DeformKind::Centred, -100, 100}, Case{DeformKind::Rising, 0, 100},
                        Case{DeformKind::Signed, -100, 100}, Case{DeformKind::Flatten, 0, 100},
                        Case{DeformKind::TwoAxis, -100, 100}}) {
    const AmountRange range = RangeOfKind(c.kind);
    EXPECT_EQ(StepReadoutRange(c.kind).minimum, c.readoutMin) << int(c.kind);
    EXPECT_EQ(StepReadoutRange(c.kind).maximum, c.readoutMax) << int(c.kind);
    for (int readout = c.readoutMin; readout <= c.readoutMax; ++readout) {
      const int amount = StepAmountFromReadout(c.kind, readout);
      ASSERT_GE(amount, range.minimum);
      ASSERT_LE(amount, range.maximum);
      ASSERT_EQ(StepAmountReadout(c.kind, amount), readout) << int(c.kind) << " " << readout;
    }
    EXPECT_EQ(StepAmountFromReadout(c.kind, c.readoutMin - 50), StepAmountFromReadout(c.kind, c.readoutMin));
    EXPECT_EQ(StepAmountFromReadout(c.kind, c.readoutMax + 50), StepAmountFromReadout(c.kind, c.readoutMax));
  }
  EXPECT_EQ(StepAmountFromReadout(DeformKind::Flatten, 0), 256);   // Flatten's neutral end
  EXPECT_EQ(StepAmountFromReadout(DeformKind::Centred, 0), 128);
  EXPECT_EQ(StepAmountFromReadout(DeformKind::Rising, 1), 3);      // 3 x 25 / 64 = 1, 2 shows 0
}

TEST_F(TaskRecorder, AmountAndColourEditsRewriteTheirStepOnly) {
  TaskStep clouds = Step("PC");
  clouds.red = 0x1000;
  ASSERT_TRUE(WriteTaskSteps({Step("TT", 20), Step("ST", 10, 20), Step("RO"), Step("RX", 3, 4), Step("KS", 1, 2, 3),
                              clouds, Step("BR"), Step("EN")}));
  const int64_t at = int64_t(kTaskStepSize);
  ASSERT_TRUE(EditAmountStep(0, 500));  // kept within Twist's -128..128
  ASSERT_TRUE(EditAmountStep(at, -7, 300));
  EXPECT_FALSE(EditAmountStep(2 * at, 10));  // the trackball has no amount to edit
  EXPECT_FALSE(EditAmountStep(6 * at, 10));
  EXPECT_FALSE(EditAmountStep(3, 10));
  ASSERT_TRUE(EditColourStep(4 * at, Rgb16{0xAB00, 0xCD00, 0xEF00}));
  ASSERT_TRUE(EditColourStep(5 * at, Rgb16{0x1100, 0x2200, 0x3300}));
  EXPECT_FALSE(EditColourStep(0, Rgb16{}));
  const std::vector<TaskStep> list = ListOnDisk();
  EXPECT_EQ(list[0].value1, 128);
  EXPECT_EQ(list[1].value1, 0);
  EXPECT_EQ(list[1].value2, 256);
  EXPECT_EQ(list[3].value1, 3);
  EXPECT_EQ(uint16_t(list[4].value1), 0xAB00);
  EXPECT_EQ(uint16_t(list[4].value3), 0xEF00);
  EXPECT_EQ(list[4].red, 0);  // a colour step's colour lives in its values
  EXPECT_EQ(list[5].red, 0x1100);
  EXPECT_EQ(list[5].blue, 0x3300);
  EXPECT_EQ(list[5].value1, 0);

  EXPECT_EQ(StepEditKindOf(list[0]), StepEditKind::Amount);
  EXPECT_EQ(StepEditKindOf(list[2]), StepEditKind::None);
  EXPECT_EQ(StepEditKindOf(list[4]), StepEditKind::Colour);
  EXPECT_EQ(StepEditKindOf(list[5]), StepEditKind::Colour);
  EXPECT_EQ(StepEditKindOf(list[6]), StepEditKind::Brush);
  EXPECT_EQ(StepEditKindOf(list[7]), StepEditKind::None);
}

// A task file may come from anywhere: a step whose view or tilt the renderer could not use is
// left out with its whole group, and the user is told; the rest opens.
struct UnsoundCase {
  const char* name;
  void (*damage)(TaskStep& step);
};

class UnsoundTaskFile : public TaskFixture, public testing::WithParamInterface<UnsoundCase> {};

TEST_P(UnsoundTaskFile, LeavesTheStepOutWithANote) {
  TaskStep twist = Step("TT", 40);
  GetParam().damage(twist);
  TaskStep stroke = Step("BR", 10, 10, 2, 0);
  TaskStep segment = Step("BS", 12, 10, 2, 0);
  GetParam().damage(segment);
  const std::string path = temp / "damaged.tsks";
  WriteFileBytes(path, EncodeTaskSteps(std::vector<TaskStep>{Step("SC", 200), twist, stroke, segment, Step("BE"),
                                                             Step("TW", 9), Step("EN")}));
  ASSERT_EQ(OpenTaskFileAt(path), kNoError);
  EXPECT_EQ(Codes(ListOnDisk()), Codes({"SC", "TW", "EN"}));
  EXPECT_EQ(services.Texts(ShownKind::Alert),
            std::vector<std::string>{"Note: Damaged steps left out of " + path +
                                     ": 2. Their view or pen tilt lies outside what the program can show."});
  EXPECT_FALSE(HasSoundView(twist));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, UnsoundTaskFile,
    testing::Values(
        UnsoundCase{"NanAngle", [](TaskStep& s) { s.viewAngles[1] = std::numeric_limits<float>::quiet_NaN(); }},
        UnsoundCase{"InfiniteAngle", [](TaskStep& s) { s.viewAngles[2] = -std::numeric_limits<float>::infinity(); }},
        UnsoundCase{"HugeAngle", [](TaskStep& s) { s.viewAngles[0] = 3.0e9f; }},
        UnsoundCase{"NanZoom", [](TaskStep& s) { s.viewZoom = std::numeric_limits<float>::quiet_NaN(); }},
        UnsoundCase{"HugeZoom", [](TaskStep& s) { s.viewZoom = 1.0e30f; }},
        UnsoundCase{"ZeroZoom", [](TaskStep& s) { s.viewZoom = 0.0f; }},
        UnsoundCase{"NegativeZoom", [](TaskStep& s) { s.viewZoom = -1.0f; }},
        UnsoundCase{"CentreOutsideTheView", [](TaskStep& s) { s.centerX = 65535; }},
        UnsoundCase{"CentreBelowTheView", [](TaskStep& s) { s.centerY = 401; }},
        UnsoundCase{"WildTilt", [](TaskStep& s) { s.tiltFirst = -32768; }}),
    [](const testing::TestParamInfo<UnsoundCase>& info) { return std::string(info.param.name); });

TEST_F(TaskRecorder, SoundViewsAtTheLimitsOpen) {
  TaskStep edge = Step("TT", 40);
  edge.viewAngles = {-kMaxStepAngle, kMaxStepAngle, 6.2f};
  edge.viewZoom = kMaxStepZoom;
  edge.centerX = kMaxStepCentre;
  edge.centerY = 0;
  edge.tiltFirst = -kMaxStepTilt;
  edge.tiltSecond = kMaxStepTilt;
  EXPECT_TRUE(HasSoundView(edge));
  edge.viewZoom = kMinStepZoom;
  EXPECT_TRUE(HasSoundView(edge));
}

// A file with no end (a device) or beyond what a list can hold is refused after reading no more
// than a list can take; the list in hand stays.
TEST_F(TaskRecorder, AFileLongerThanAListCanHoldIsRefused) {
  ASSERT_TRUE(WriteTaskSteps({Step("TT", 20), Step("EN")}));
  // Exactly as many steps as a list holds are read.
  const std::string huge = temp / "huge.tsks";
  WriteFileBytes(huge, EncodeTaskSteps(std::vector<TaskStep>(kMaxTaskSteps, Step("SC", 200))));
  std::vector<TaskStep> steps;
  ASSERT_EQ(ReadTaskFile(huge, steps), kNoError);
  EXPECT_EQ(steps.size(), kMaxTaskSteps);
  steps.push_back(Step("EN"));
  EXPECT_FALSE(WriteTaskSteps(steps));  // one more could not be read back
  EXPECT_EQ(Stops(), std::vector<std::string>{"Error: A task list holds at most 1000000 steps; the new steps were not added."});
  steps.clear();

  // One more, or a file with no end at all, is refused.
  std::filesystem::resize_file(huge, (kMaxTaskSteps + 1) * kTaskStepSize);
  for (const std::string& path : {std::string("/dev/zero"), huge}) {
    services.shown.clear();
    EXPECT_EQ(OpenTaskFileAt(path), kMalformed) << path;
    EXPECT_EQ(Stops(), std::vector<std::string>{"Can't open " + path +
                                                ": it holds more steps than a task list can take (at most 1000000)"});
    EXPECT_EQ(Codes(ListOnDisk()), Codes({"TT", "EN"}));
  }
}

TEST_F(TaskRecorder, ReplayStrengthStaysWithinItsRange) {
  ChangeReplayStrength(-300);
  EXPECT_EQ(taskRecorder.replayStrength, 0);
  ChangeReplayStrength(128);
  EXPECT_EQ(ReplayStrengthReadout(), 50);
  ChangeReplayStrength(1000);
  EXPECT_EQ(taskRecorder.replayStrength, 256);
}

}  // namespace
}  // namespace tsv::test
