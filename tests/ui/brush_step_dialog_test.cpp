// The brush step dialog: what a recorded stroke shows and what the dialog hands back.
#include <gtest/gtest.h>

#include "platform/events.h"
#include "platform/fonts.h"
#include "platform/scripted_services.h"
#include "platform/window.h"
#include "tests/support/dialog_fixture.h"
#include "ui/brush_step_dialog.h"
#include "ui/dialog_script.h"
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

}  // namespace
}  // namespace tsv
