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

// A dialog a user can read: it fits a 1024 x 768 screen, every item lies inside it, labels and
// check boxes are wide enough for their texts, every control but a button has a hover text, and
// no two items overlap (group frames aside, which hold items by design).
inline void ExpectReadableDialog(const Dialog& dialog) {
  const Rect window = DialogWindowRect(dialog, 1024, 768);
  EXPECT_LE(window.width, 1024);
  EXPECT_LE(window.height, 768);
  auto overlap = [](Rect a, Rect b) { return IntersectRects(a, b).width > 0 && IntersectRects(a, b).height > 0; };
  for (size_t i = 0; i < dialog.items.size(); ++i) {
    const DialogItem& item = dialog.items[i];
    EXPECT_TRUE(item.rect.left >= 0 && item.rect.top >= 0 && item.rect.left + item.rect.width <= dialog.width &&
                item.rect.top + item.rect.height <= dialog.height)
        << item.text;
    if (item.kind == DialogItemKind::Group) continue;
    if (item.kind == DialogItemKind::Label) {
      EXPECT_LE(TextWidth(FontKind::Normal, item.text), item.rect.width) << item.text;
    } else if (item.kind != DialogItemKind::Button) {
      EXPECT_FALSE(item.hover.empty()) << item.text;
    }
    if (item.kind == DialogItemKind::CheckBox) {
      EXPECT_LE(TextWidth(FontKind::Normal, item.text) + 24, item.rect.width) << item.text;
    }
    for (size_t j = i + 1; j < dialog.items.size(); ++j) {
      if (dialog.items[j].kind == DialogItemKind::Group) continue;
      EXPECT_FALSE(overlap(item.rect, dialog.items[j].rect)) << item.text << " and " << dialog.items[j].text;
    }
  }
}

}  // namespace tsv::test
