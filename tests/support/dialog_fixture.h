// dialog_fixture.h: what every test of a dialog or pop-up needs: the interface fonts, empty input,
// a fresh dialog state that gives up after a few idle steps (so that a dialog with no more queued
// input ends with Cancel), and a 1024 x 768 main window frame to draw into.
#pragma once

#include <gtest/gtest.h>

#include "platform/canvas.h"
#include "platform/events.h"
#include "platform/fonts.h"
#include "platform/window.h"
#include "ui/dialog.h"
#include "ui/widgets.h"
#include "tests/support/reset_all_state.h"

namespace tsv::test {

class DialogFixture : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitInterfaceFonts());
    test::ResetAllState();
    dialogState.idleStepLimit = 3;
    ResizeCanvas(mainWindow.frame, 1024, 768, kPanelColour);
  }
  void TearDown() override {
    test::ResetAllState();
    mainWindow.frame = Canvas{};
  }
};

}  // namespace tsv::test
