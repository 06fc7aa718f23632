// The step dialogs: what a recorded stroke, amount or colour shows and what its dialog hands back.
#include <gtest/gtest.h>

#include "platform/events.h"
#include "platform/fonts.h"
#include "platform/scripted_services.h"
#include "platform/window.h"
#include "tests/support/dialog_fixture.h"
#include "tests/tasks/task_step_builder.h"
#include "ui/brush_step_dialog.h"
#include "ui/dialog_script.h"
#include "ui/step_dialog.h"
#include "ui/widgets.h"

namespace tsv {
namespace {

class BrushStepDialog : public test::DialogFixture {
 protected:
  void SetUp() override {
    DialogFixture::SetUp();
    if (HasFatalFailure()) return;
    step.code = kStepStrokeFirst;
    step.room = 4;  // a paint stroke
    step.brushDepth = 64;
    step.brushSize = 128;
    step.spacingRepeat = uint16_t((3 << 9) | 64);
    step.sideShape = uint16_t((1 << 8) | 7);
    step.red = 0x1100;
    step.green = 0x2200;
    step.blue = 0x3300;
  }
  void TearDown() override {
    DialogFixture::TearDown();
  }
  ScriptedServices services;
  TaskStep step;
};

TEST_F(BrushStepDialog, ShowsTheStrokeAndHandsBackWhatItShows) {
  const Dialog dialog = MakeBrushStepDialog(step);
  const Rect window = DialogWindowRect(dialog, 800, 600);
  EXPECT_LE(window.width, 800);
  EXPECT_LE(window.height, 600);
  EXPECT_EQ(dialog.title, "Brush step");
  const BrushStepEdit edit = ReadBrushStepDialog(dialog);
  EXPECT_EQ(edit.kind, 7);  // Paint
  EXPECT_EQ(edit.side, 1);
  EXPECT_EQ(edit.shape, 7);
  ASSERT_TRUE(edit.pressure && edit.size && edit.spacing);
  EXPECT_FLOAT_EQ(*edit.pressure, -0.5f);
  EXPECT_FLOAT_EQ(*edit.size, 0.5f);
  EXPECT_FLOAT_EQ(*edit.spacing, 0.25f);
  EXPECT_EQ(edit.paintColour.green, 0x2200);
}

TEST_F(BrushStepDialog, AChosenKindComesBack) {
  Dialog dialog = MakeBrushStepDialog(step);
  const int kind = FindDialogItem(dialog, kBrushStepKind);
  ASSERT_GE(kind, 0);
  QueueClickOn(RadioEntryOnScreen(dialog, kind, 1));  // Smudge
  QueueKey(kCharReturn);
  ASSERT_NE(RunDialog(dialog).role, ButtonRole::Cancel);
  EXPECT_EQ(ReadBrushStepDialog(dialog).kind, 2);
}

double FieldNumber(const Dialog& dialog, int id) {
  const int index = FindDialogItem(dialog, id);
  return index >= 0 ? dialog.items[size_t(index)].number : -9999;
}

// Amounts show as the tool's readout; one left as it was keeps its recorded value exactly, one
// changed comes back as the amount nearest the neutral one that shows it.
TEST_F(BrushStepDialog, AnAmountStepShowsAndTakesItsReadout) {
  const TaskStep stretch = test::MakeTaskStep("ST", 142, 37);  // readouts 10 and -71
  Dialog dialog = MakeAmountStepDialog(stretch);
  EXPECT_EQ(dialog.title, "Step: Stretch");
  EXPECT_EQ(FieldNumber(dialog, kAmountStepFirst), 10);
  EXPECT_EQ(FieldNumber(dialog, kAmountStepSecond), -71);
  EXPECT_LE(DialogWindowRect(dialog, 800, 600).width, 800);
  EXPECT_EQ(ReadAmountStepDialog(dialog, stretch), (std::array<int, 2>{142, 37}));
  dialog.items[size_t(FindDialogItem(dialog, kAmountStepFirst))].number = 11;
  dialog.items[size_t(FindDialogItem(dialog, kAmountStepSecond))].number = -300;
  EXPECT_EQ(ReadAmountStepDialog(dialog, stretch), (std::array<int, 2>{143, 0}));

  const TaskStep flatten = test::MakeTaskStep("FL", 100);
  dialog = MakeAmountStepDialog(flatten);
  EXPECT_EQ(dialog.title, "Step: Flatten");
  EXPECT_EQ(FieldNumber(dialog, kAmountStepFirst), 60);
  EXPECT_LT(FindDialogItem(dialog, kAmountStepSecond), 0);
  QueueClickOn(ItemOnScreen(dialog, FindDialogItem(dialog, kAmountStepFirst)));
  QueueKey('a', kControlBit);
  QueueText("100");
  QueueKey(kCharReturn);
  ASSERT_EQ(RunDialog(dialog).role, ButtonRole::Ok);
  EXPECT_EQ(ReadAmountStepDialog(dialog, flatten)[0], 0);  // Flatten's full amount is its low end
}

TEST_F(BrushStepDialog, AColourStepShowsItsColourAndTakesTheChosenOne) {
  Dialog dialog = MakeColourStepDialog(test::MakeTaskStep("KA", 0x1200, 0x3400, int16_t(0xF600)));
  EXPECT_EQ(dialog.title, "Step: Ambient color");
  EXPECT_EQ(ReadColourStepDialog(dialog).blue, 0xF600);
  TaskStep noise = test::MakeTaskStep("PN");
  noise.red = 0x4400;
  dialog = MakeColourStepDialog(noise);
  EXPECT_EQ(dialog.title, "Step: Add Noise");
  EXPECT_EQ(ReadColourStepDialog(dialog).red, 0x4400);
  services.colorAnswers = {Rgb16{0x0100, 0x0200, 0x0300}};
  QueueClickOn(ItemOnScreen(dialog, FindDialogItem(dialog, kColourStepColour)));
  QueueKey(kCharReturn);
  ASSERT_EQ(RunDialog(dialog).role, ButtonRole::Ok);
  EXPECT_EQ(ReadColourStepDialog(dialog).green, 0x0200);
}

}  // namespace
}  // namespace tsv
