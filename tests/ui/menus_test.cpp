// The pop-up menu and the pop-up picture grid: choosing, cancelling, and the screen put back.
#include <gtest/gtest.h>

#include <vector>

#include "platform/window.h"
#include "tests/support/dialog_fixture.h"
#include "ui/dialog_script.h"
#include "ui/menus.h"
#include "ui/widgets.h"

namespace tsv {
namespace {

// The pop-ups draw into the main window frame and take queued input like the dialogs.
using Menus = test::DialogFixture;

TEST_F(Menus, AReleaseOnARowChoosesItAndTheScreenIsPutBack) {
  const Canvas before = mainWindow.frame;
  // Rows of 20 pixels below (100, 200), after a one-pixel frame.
  QueueClick(150, 200 + 1 + 20 + 10);
  EXPECT_EQ(PopUpMenu({"One", "Two", "Three"}, 100, 200), 1);
  EXPECT_EQ(mainWindow.frame.pixels, before.pixels);
  QueueClick(150, 200 + 1 + 3 * 20 + 30);  // below the last row
  EXPECT_EQ(PopUpMenu({"One", "Two", "Three"}, 100, 200), -1);
  QueueEscape();
  EXPECT_EQ(PopUpMenu({"One", "Two"}, 100, 200), -1);
  // Near the bottom of the screen the menu opens above the item.
  QueueClick(150, 760 - 24 - 2 * 20 - 2 + 1 + 5);
  EXPECT_EQ(PopUpMenu({"One", "Two"}, 100, 760), 0);
}

TEST_F(Menus, AReleaseOnACellOfTheGridChoosesIt) {
  std::vector<Canvas> pictures(5);
  for (Canvas& c : pictures) ResizeCanvas(c, 8, 8, 0x336699);
  // Three columns of 30-pixel cells below (200, 100): cell 4 is the second of the second row.
  QueueClick(200 + 1 + 30 + 15, 100 + 1 + 30 + 15);
  EXPECT_EQ(PopUpPictureGrid(pictures, 3, 30, 0, 200, 100), 4);
  QueueClick(200 + 1 + 2 * 30 + 15, 100 + 1 + 30 + 15);  // the empty sixth cell
  EXPECT_EQ(PopUpPictureGrid(pictures, 3, 30, 0, 200, 100), -1);
  EXPECT_EQ(PopUpPictureGrid({}, 3, 30, 0, 200, 100), -1);
}

}  // namespace
}  // namespace tsv
