// The modal dialog toolkit driven by queued input: buttons and keys close it, the focus moves
// with Tab, fields take typing within their limits, and the screen beneath comes back.
#include <SDL.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/events.h"
#include "platform/fonts.h"
#include "platform/scripted_services.h"
#include "platform/window.h"
#include "ui/dialog.h"
#include "ui/dialog_script.h"
#include "tests/support/reset_all_state.h"

namespace tsv {
namespace {

class DialogTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitInterfaceFonts());
    test::ResetAllState();
    dialogState.idleStepLimit = 3;
    // A screen with a pattern, so a restored area is told apart from a repainted one.
    ResizeCanvas(mainWindow.frame, 800, 600);
    for (size_t i = 0; i < mainWindow.frame.pixels.size(); ++i) mainWindow.frame.pixels[i] = uint32_t(i * 2654435761u) & 0xFFFFFF;

    dialog.title = "Settings";
    dialog.width = 320;
    dialog.height = 200;
    check = AddCheckBox(dialog, {12, 12, 140, 20}, "Smooth", false, "Smooth: blend the edges");
    number = AddNumberField(dialog, {12, 40, 80, 20}, 10, 0, 100, 0, "Amount: 0 to 100");
    text = AddTextField(dialog, {12, 68, 160, 20}, "Rock", "Name");
    radio = AddRadioGroup(dialog, {180, 12, 120, 60}, {"Low", "Middle", "High"}, 0, "Quality");
    list = AddList(dialog, {12, 96, 160, 2 + 3 * kListRowHeight}, {"a", "b", "c", "d", "e", "f"}, 0, "Rows");
    swatch = AddSwatch(dialog, {180, 96, 40, 20}, {0x1000, 0x2000, 0x3000}, "Colour");
    AddOkCancel(dialog);
    ok = int(dialog.items.size()) - 2;
    cancel = ok + 1;
  }
  void TearDown() override {
    test::ResetAllState();
    mainWindow.frame = Canvas{};
  }
  DialogItem& Item(int index) { return dialog.items[size_t(index)]; }

  Dialog dialog;
  int check = 0, number = 0, text = 0, radio = 0, list = 0, swatch = 0, ok = 0, cancel = 0;
};

TEST_F(DialogTest, ButtonsAndKeysClose) {
  struct Case {
    const char* name;
    std::function<void()> script;
    ButtonRole role;
    bool okItem;
  };
  std::vector<Case> cases = {
      {"click OK", [this] { QueueClickOn(ItemOnScreen(dialog, ok)); }, ButtonRole::Ok, true},
      {"click Cancel", [this] { QueueClickOn(ItemOnScreen(dialog, cancel)); }, ButtonRole::Cancel, false},
      {"Return", [] { QueueKey(kCharReturn); }, ButtonRole::Ok, true},
      {"Escape", [] { QueueEscape(); }, ButtonRole::Cancel, false},
      {"events run out", [] {}, ButtonRole::Cancel, false},
  };
  for (const Case& c : cases) {
    ResetInput();
    c.script();
    DialogResult result = RunDialog(dialog);
    EXPECT_EQ(result.role, c.role) << c.name;
    EXPECT_EQ(result.item, c.okItem ? ok : cancel) << c.name;
    EXPECT_TRUE(input.queue.empty()) << c.name;
  }
}

TEST_F(DialogTest, ScreenBeneathIsRestoredAndNothingOutsideIsTouched) {
  Canvas before = mainWindow.frame;
  Rect window = DialogWindowRect(dialog, 800, 600);
  int frames = 0;
  dialogState.observer = [&](const Canvas& screen, const Dialog&) {
    ++frames;
    for (int y = 0; y < 600; y += 3) {
      for (int x = 0; x < 800; x += 3) {
        if (!RectContains(window, x, y)) {
          ASSERT_EQ(PixelAt(screen, x, y), PixelAt(before, x, y));
        }
      }
    }
    EXPECT_NE(CopyArea(screen, window).pixels, CopyArea(before, window).pixels) << "the dialog is shown";
  };
  QueueClickOn(ItemOnScreen(dialog, check));
  QueueKey(kCharReturn);
  RunDialog(dialog);
  EXPECT_GE(frames, 2);
  EXPECT_EQ(mainWindow.frame.pixels, before.pixels);
}

TEST_F(DialogTest, TabMovesTheFocusAndTypingGoesToTheFocusedField) {
  // The focus starts on the check box; Tab reaches the number field and selects its text.
  QueueKey(kCharTab);
  QueueText("42");
  QueueKey(kCharTab);
  QueueKey(kCharTab, kShiftBit);  // back to the number field
  QueueText("7");
  QueueKey(kCharTab);
  QueueKey(kCharTab);  // past the text field to the radio group
  QueueKey(kCharDown);
  QueueKey(' ');  // a space on a radio group is no click on another item
  QueueKey(kCharReturn);
  ASSERT_EQ(RunDialog(dialog).role, ButtonRole::Ok);
  EXPECT_EQ(Item(number).number, 7);
  EXPECT_EQ(Item(number).text, "7");
  EXPECT_EQ(Item(text).text, "Rock");
  EXPECT_EQ(Item(radio).selected, 1);
  EXPECT_FALSE(Item(check).checked);
}

TEST_F(DialogTest, NumberFieldsRefuseNonNumbersAndClampOnOk) {
  struct Case {
    const char* typed;
    double expected;
  };
  for (Case c : {Case{"4a2", 42}, Case{"250", 100}, Case{"-5", 5}, Case{"3.7", 37}, Case{"", 10}}) {
    Dialog d = dialog;
    ResetInput();
    QueueClickOn(ItemOnScreen(d, number));
    QueueKey('a', kControlBit);  // select all
    QueueKey(kCharDelete);
    QueueText(c.typed);
    QueueKey(kCharReturn);
    ASSERT_EQ(RunDialog(d).role, ButtonRole::Ok) << c.typed;
    EXPECT_EQ(d.items[size_t(number)].number, c.expected) << c.typed;
    EXPECT_EQ(d.items[size_t(number)].text, FormatNumber(c.expected, 0)) << c.typed;
  }
}

TEST_F(DialogTest, FieldShowsTheClampedValueWhenTheFocusLeaves) {
  std::string shown;
  dialogState.observer = [&](const Canvas&, const Dialog& d) { shown = d.items[size_t(number)].text; };
  QueueClickOn(ItemOnScreen(dialog, number));
  QueueKey('a', kControlBit);
  QueueText("999");
  QueueKey(kCharTab);
  QueueEscape();
  EXPECT_EQ(RunDialog(dialog).role, ButtonRole::Cancel);
  EXPECT_EQ(shown, "100");
  EXPECT_EQ(Item(number).number, 10) << "Cancel writes nothing back";
}

TEST_F(DialogTest, TextEditingWithCaretAndSelection) {
  QueueClickOn(ItemOnScreen(dialog, text));  // caret lands inside the word
  QueueKey('a', kControlBit);
  QueueText("Stone");
  QueueKey(kCharLeft);
  QueueKey(kCharLeft);
  QueueKey(kCharDelete);
  QueueText("\xC3\xA9");  // e acute, two bytes
  QueueKey(kCharLeft, kShiftBit);  // selects the whole two-byte character
  QueueText("X");
  QueueKey(kCharReturn);
  ASSERT_EQ(RunDialog(dialog).role, ButtonRole::Ok);
  EXPECT_EQ(Item(text).text, "StXne");
}

TEST_F(DialogTest, ReleaseAwayFromThePressDoesNothing) {
  Rect okRect = ItemOnScreen(dialog, ok);
  Rect checkRect = ItemOnScreen(dialog, check);
  QueueMouseDown(okRect.left + 5, okRect.top + 5);
  QueueMouseUp(okRect.left - 40, okRect.top + 5);
  QueueMouseDown(checkRect.left + 5, checkRect.top + 10);
  QueueMouseUp(checkRect.left + 5, checkRect.top + 60);
  QueueMouseDown(okRect.left - 40, okRect.top + 5);  // a press elsewhere, released on OK
  QueueMouseUp(okRect.left + 5, okRect.top + 5);
  EXPECT_EQ(RunDialog(dialog).role, ButtonRole::Cancel) << "only running out of events ended it";

  QueueClickOn(checkRect);
  QueueKey(kCharReturn);
  ASSERT_EQ(RunDialog(dialog).role, ButtonRole::Ok);
  EXPECT_TRUE(Item(check).checked);
}

TEST_F(DialogTest, ChoicesFollowClicksAndKeys) {
  ScriptedServices services;
  services.colorAnswers.push_back(Rgb16{0xAB00, 0xCD00, 0xEF00});
  QueueClickOn(RadioEntryOnScreen(dialog, radio, 2));
  QueueClickOn(ItemOnScreen(dialog, swatch));
  Rect listRect = ItemOnScreen(dialog, list);
  QueueClick(listRect.left + 20, listRect.top + 1 + kListRowHeight + 4);  // the second row
  QueueKey(kCharDown);
  QueueKey(kCharDown);
  QueueKey(kCharDown);  // row 4 of 6: the list scrolls to show it
  QueueKey(kCharReturn);
  ASSERT_EQ(RunDialog(dialog).role, ButtonRole::Ok);
  EXPECT_EQ(Item(radio).selected, 2);
  EXPECT_EQ(Item(swatch).colour.red, 0xAB00);
  EXPECT_EQ(Item(swatch).colour.blue, 0xEF00);
  EXPECT_EQ(Item(list).selected, 4);
  EXPECT_EQ(Item(list).firstRow, 2);
}

TEST_F(DialogTest, ChangesReachTheDialogsOwnCode) {
  // The dialog keeps its number field enabled only while the check box is checked.
  Item(number).enabled = false;
  dialog.onChange = [this](Dialog& d, int index) {
    if (index == check) d.items[size_t(number)].enabled = d.items[size_t(check)].checked;
  };
  QueueClickOn(ItemOnScreen(dialog, number));  // greyed: takes no click
  QueueText("5");
  QueueClickOn(ItemOnScreen(dialog, check));
  QueueClickOn(ItemOnScreen(dialog, number));
  QueueKey('a', kControlBit);
  QueueText("55");
  QueueKey(kCharReturn);
  ASSERT_EQ(RunDialog(dialog).role, ButtonRole::Ok);
  EXPECT_TRUE(Item(number).enabled);
  EXPECT_EQ(Item(number).number, 55);
}

TEST_F(DialogTest, HoverTextAppearsWhenThePointerRests) {
  dialogState.hoverDelayMs = 0;
  Rect checkRect = ItemOnScreen(dialog, check);
  input.mouseX = checkRect.left + 4;
  input.mouseY = checkRect.top + 4;
  Rect tip = HoverBoxRect({0, 0, 800, 600}, input.mouseX, input.mouseY, Item(check).hover);
  bool seen = false;
  dialogState.observer = [&](const Canvas& screen, const Dialog&) {
    seen = seen || (PixelAt(screen, tip.left + 1, tip.top + tip.height - 2) == kHoverBoxColour &&
                    PixelAt(screen, tip.left, tip.top) != kHoverBoxColour);
  };
  Canvas before = mainWindow.frame;
  RunDialog(dialog);
  EXPECT_TRUE(seen);
  EXPECT_EQ(mainWindow.frame.pixels, before.pixels) << "the hover box is gone with the dialog";
}

TEST_F(DialogTest, CloseRequestCancelsAndStaysQueuedForTheMainLoop) {
  input.quitRequested = true;
  QueueKey('q', kControlBit);
  EXPECT_EQ(RunDialog(dialog).role, ButtonRole::Cancel);
  ASSERT_EQ(input.queue.size(), 1u);
  EXPECT_EQ(input.queue.front().message, uint32_t('q'));
}

TEST_F(DialogTest, TakesRealSdlInputWithoutAWindow) {
  ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
  auto push = [](SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); };
  Rect field = ItemOnScreen(dialog, number);
  Rect okRect = ItemOnScreen(dialog, ok);
  for (Rect target : {field, okRect}) {
    for (Uint32 type : {Uint32(SDL_MOUSEBUTTONDOWN), Uint32(SDL_MOUSEBUTTONUP)}) {
      SDL_Event e{};
      e.type = type;
      e.button.button = SDL_BUTTON_LEFT;
      e.button.x = target.left + target.width - 3;  // right of the text: the caret goes to its end
      e.button.y = target.top + target.height / 2;
      push(e);
    }
    if (target.left == field.left) {
      SDL_Event text{};
      text.type = SDL_TEXTINPUT;
      SDL_strlcpy(text.text.text, "5x", sizeof text.text.text);
      push(text);
    }
  }
  DialogResult result = RunDialog(dialog);
  SDL_Quit();
  EXPECT_EQ(result.role, ButtonRole::Ok);
  EXPECT_EQ(Item(number).number, 100) << "10 and a typed 5 make 105, held to the limit";
}

TEST(DialogNumbers, FormatAndParse) {
  EXPECT_EQ(FormatNumber(7, 1), "7");
  EXPECT_EQ(FormatNumber(0.1f, 2), "0.1");
  EXPECT_EQ(FormatNumber(-1.5, 2), "-1.5");
  EXPECT_EQ(FormatNumber(-0.001, 2), "0");
  double v = 0;
  for (const char* good : {"12", "-0.5", ".5", "5."}) EXPECT_TRUE(ParseNumberText(good, v)) << good;
  for (const char* bad : {"", "-", ".", "1e3", "inf", "0x10", "1-2", "1.2.3", " 1"}) {
    EXPECT_FALSE(ParseNumberText(bad, v)) << bad;
  }
}

}  // namespace
}  // namespace tsv
