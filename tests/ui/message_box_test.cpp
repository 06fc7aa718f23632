// The message boxes drawn inside the window: their titles, marks and buttons, the keys that answer
// them, text wrapped to the box, and the window's hover text gone while a box is open.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/events.h"
#include "platform/fonts.h"
#include "platform/sdl_services.h"
#include "platform/string_table.h"
#include "platform/window.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/interface_fixture.h"
#include "ui/dialog_script.h"
#include "ui/message_box.h"
#include "ui/rooms.h"

namespace tsv {
namespace {

const std::vector<std::string> kThree = {"Save", "Don't Save", "Cancel"};

class MessageBoxTest : public test::DialogFixture {
 protected:
  // The screen rectangle of button `k` of the box RunMessageBox will show for `request`.
  Rect ButtonOnScreen(const MessageRequest& request, int k) {
    Canvas mark;
    const Dialog box = MakeMessageBox(request, mainWindow.frame.width, mainWindow.frame.height, mark);
    const int index = FindDialogItem(box, kBoxItemFirstButton + k);
    EXPECT_GE(index, 0) << "no button " << k;
    return ItemOnScreen(box, index);
  }
  // The texts of the items whose ids count up from `firstId`: the buttons, or the text's lines.
  static std::vector<std::string> TextsFrom(const Dialog& box, int firstId) {
    std::vector<std::string> texts;
    for (int k = 0;; ++k) {
      const int index = FindDialogItem(box, firstId + k);
      if (index < 0) return texts;
      texts.push_back(box.items[size_t(index)].text);
    }
  }
  static std::vector<std::string> Labels(const Dialog& box) { return TextsFrom(box, kBoxItemFirstButton); }
  static std::vector<std::string> Lines(const Dialog& box) { return TextsFrom(box, kBoxItemFirstLine); }
};

TEST_F(MessageBoxTest, EachBoxHasItsTitleMarkAndButtons) {
  struct Case {
    const char* name;
    MessageRequest request;
    const char* title;
    MessageMark mark;
    std::vector<std::string> buttons;
  };
  const std::vector<Case> cases = {
      {"stop", StopMessageRequest("Error: File error has occured."), "Tessivar 1.0", MessageMark::Stop, {"OK"}},
      {"question", QuestionRequest("Warning: Go on?"), "Message", MessageMark::Caution, {"OK", "Cancel"}},
      {"alert", AlertRequest("Error: Leave Tessivar now."), "Alert", MessageMark::Caution, {"OK"}},
      {"three answers", ChoiceRequest("Save first?", kThree), "Message", MessageMark::Caution, kThree},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.request.mark, c.mark) << c.name;
    Canvas mark;
    const Dialog box = MakeMessageBox(c.request, 1024, 768, mark);
    EXPECT_EQ(box.title, c.title) << c.name;
    EXPECT_EQ(Labels(box), c.buttons) << c.name;
    EXPECT_GE(FindDialogItem(box, kBoxItemMark), 0) << c.name;
    EXPECT_EQ(mark.width, kMessageMarkSize) << c.name;
    // Return answers the first button, Escape the last: the only one, or Cancel.
    EXPECT_EQ(c.request.defaultButton, 0) << c.name;
    EXPECT_EQ(c.request.cancelButton, int(c.buttons.size()) - 1) << c.name;
    for (const DialogItem& item : box.items) {
      EXPECT_LE(item.rect.left + item.rect.width, box.width) << c.name << " " << item.text;
      EXPECT_LE(item.rect.top + item.rect.height, box.height) << c.name << " " << item.text;
      if (item.kind == DialogItemKind::Button) {
        EXPECT_LE(TextWidth(FontKind::Normal, item.text), item.rect.width - 6) << item.text;
        EXPECT_FALSE(item.hover.empty()) << item.text;
      }
    }
  }
}

// The stop sign is red, the caution triangle amber: told apart at a glance.
TEST_F(MessageBoxTest, MarksDifferByKind) {
  Canvas stop, caution;
  DrawMessageMark(stop, MessageMark::Stop);
  DrawMessageMark(caution, MessageMark::Caution);
  auto countWhere = [](const Canvas& c, const std::function<bool(int, int, int)>& test) {
    int count = 0;
    for (uint32_t p : c.pixels) count += test(int(p >> 16 & 0xFF), int(p >> 8 & 0xFF), int(p & 0xFF)) ? 1 : 0;
    return count;
  };
  auto red = [](int r, int g, int b) { return r > 180 && g < 80 && b < 80; };
  auto amber = [](int r, int g, int b) { return r > 200 && g > 140 && g < 200 && b < 60; };
  EXPECT_GT(countWhere(stop, red), 300);
  EXPECT_EQ(countWhere(stop, amber), 0);
  EXPECT_GT(countWhere(caution, amber), 150);
  EXPECT_EQ(countWhere(caution, red), 0);
}

TEST_F(MessageBoxTest, KeysAndClicksAnswer) {
  struct Case {
    const char* name;
    MessageRequest request;
    std::function<void(const MessageRequest&)> script;
    int expected;
  };
  auto returnKey = [](const MessageRequest&) { QueueKey(kCharReturn); };
  auto escape = [](const MessageRequest&) { QueueEscape(); };
  auto space = [](const MessageRequest&) { QueueKey(' '); };  // the focused button: the default one
  auto tabSpace = [](const MessageRequest&) {
    QueueKey(kCharTab);
    QueueKey(' ');
  };
  auto nothing = [](const MessageRequest&) {};
  auto click = [this](int k) { return [this, k](const MessageRequest& r) { QueueClickOn(ButtonOnScreen(r, k)); }; };
  const MessageRequest question = QuestionRequest("Warning: Go on?");
  const MessageRequest alert = AlertRequest("Error: Leave Tessivar now.");
  const MessageRequest three = ChoiceRequest("Save first?", kThree);
  const std::vector<Case> cases = {
      {"question, Return", question, returnKey, 0},
      {"question, Escape", question, escape, 1},
      {"question, Space", question, space, 0},
      {"question, Tab and Space", question, tabSpace, 1},
      {"question, click Cancel", question, click(1), 1},
      {"question, no answer", question, nothing, 1},
      {"alert, Return", alert, returnKey, 0},
      {"alert, Escape", alert, escape, 0},
      {"three, Return", three, returnKey, 0},
      {"three, Escape", three, escape, 2},
      {"three, Tab and Space", three, tabSpace, 1},
      {"three, click Don't Save", three, click(1), 1},
      {"three, click Cancel", three, click(2), 2},
      {"three, click Save", three, click(0), 0},
  };
  for (const Case& c : cases) {
    ResetInput();
    c.script(c.request);
    EXPECT_EQ(RunMessageBox(c.request), c.expected) << c.name;
    EXPECT_TRUE(input.queue.empty()) << c.name;
  }
}

// Through the window's services: the OK/Cancel questions answer true only for OK, and every box is
// followed by the window's clean-up.
TEST_F(MessageBoxTest, WindowServicesShowTheBoxesAndCleanUpAfter) {
  SdlServices services;
  services.messageBox = RunMessageBox;
  int cleanUps = 0;
  services.afterModal = [&cleanUps] { ++cleanUps; };
  std::vector<std::string> titles;
  dialogState.observer = [&titles](const Canvas&, const Dialog& shown) {
    if (titles.empty() || titles.back() != shown.title) titles.push_back(shown.title);
  };
  QueueKey(kCharReturn);
  EXPECT_TRUE(services.AskMessage("Warning: Go on?"));
  QueueEscape();
  EXPECT_FALSE(services.AskMessage("Warning: Go on?"));
  QueueEscape();
  services.ShowAlert("Error: Leave Tessivar now.");
  QueueKey(kCharReturn);
  services.ShowStopMessage("Error: File error has occured.");
  QueueKey(kCharTab);
  QueueKey(' ');
  EXPECT_EQ(services.AskChoice("Save first?", kThree), 1);
  EXPECT_EQ(cleanUps, 5);
  EXPECT_EQ(titles, (std::vector<std::string>{"Message", "Alert", "Tessivar 1.0", "Message"}));
  EXPECT_TRUE(input.queue.empty());
}

TEST_F(MessageBoxTest, LongTextIsWrappedToTheBoxAndNothingIsLost) {
  const std::string path = "/home/ann/Projects/Sculptures of the northern coast/Objects/Driftwood with barnacles.cmf";
  const std::string text = "Error: The file \"" + path + "\" could not be read: its points chunk ends early.\nNothing was changed.";
  for (int screenWidth : {1024, 420}) {
    Canvas mark;
    const Dialog box = MakeMessageBox(AlertRequest(text), screenWidth, 768, mark);
    EXPECT_LE(DialogWindowRect(box, screenWidth, 768).width, screenWidth) << screenWidth;
    const std::vector<std::string> lines = Lines(box);
    ASSERT_GE(lines.size(), 3u) << screenWidth;
    std::string joined;
    for (size_t k = 0; k < lines.size(); ++k) {
      const DialogItem& item = box.items[size_t(FindDialogItem(box, kBoxItemFirstLine + int(k)))];
      EXPECT_LE(TextWidth(FontKind::Normal, lines[k]), item.rect.width) << lines[k];
      joined += lines[k];
    }
    std::string letters;
    for (char ch : text) {
      if (ch != ' ' && ch != '\n') letters += ch;
    }
    std::erase(joined, ' ');
    EXPECT_EQ(joined, letters) << screenWidth;
    EXPECT_EQ(lines.back(), "Nothing was changed.") << "a new line starts where the text says so";
  }
}

// A text far taller than the screen keeps to the screen; its last line says it goes on.
TEST_F(MessageBoxTest, TextTallerThanTheScreenIsCut) {
  std::string text;
  for (int k = 0; k < 200; ++k) text += "Line " + std::to_string(k) + "\n";
  Canvas mark;
  const Dialog box = MakeMessageBox(AlertRequest(text), 1024, 600, mark);
  EXPECT_LE(DialogWindowRect(box, 1024, 600).height, 600);
  const std::vector<std::string> lines = Lines(box);
  ASSERT_FALSE(lines.empty());
  EXPECT_LT(lines.size(), 200u);
  EXPECT_EQ(lines.back().substr(lines.back().size() - 3), "\xE2\x80\xA6");
}

TEST(MessageText, WrapsAtSpacesAndInsideOverlongWords) {
  ASSERT_TRUE(InitInterfaceFonts());
  EXPECT_TRUE(WrapMessageText("", 200).empty());
  EXPECT_EQ(WrapMessageText("one two", 1000), std::vector<std::string>{"one two"});
  EXPECT_EQ(WrapMessageText("one\n\ntwo", 1000), (std::vector<std::string>{"one", "", "two"}));
  const int oneWord = TextWidth(FontKind::Normal, "alpha beta");
  EXPECT_EQ(WrapMessageText("alpha beta gamma", oneWord), (std::vector<std::string>{"alpha beta", "gamma"}));
  // Narrower than one character: each line still takes one, so the wrap ends.
  EXPECT_EQ(WrapMessageText("abc", 1), (std::vector<std::string>{"a", "b", "c"}));
  // A long path breaks after a '/' where one lies far enough in.
  const std::vector<std::string> path = WrapMessageText("/home/ann/objects/rock.cmf", TextWidth(FontKind::Normal, "/home/ann/objects/ro"));
  EXPECT_EQ(path, (std::vector<std::string>{"/home/ann/objects/", "rock.cmf"}));
}

// The hover text of the window comes off the screen before a box opens (never two texts at once)
// and its rest starts afresh after the box closed.
class MessageBoxHover : public test::InterfaceFixture {};

TEST_F(MessageBoxHover, TheWindowsHoverTextGoesWhileABoxIsOpen) {
  ASSERT_TRUE(InitInterfaceFonts());
  dialogState.idleStepLimit = 3;
  // The first item of the first panel that has a hover text.
  int panelNumber = 0, itemId = 0;
  Rect itemRect;
  for (const PlacedPanel& placed : ui.placed) {
    const PanelLayout& panel = ui.layout.panels[size_t(placed.layout)];
    for (const PanelItem& item : panel.items) {
      if (panelNumber == 0 && !HoverTextOf(uint16_t(panel.number * 256 + item.id)).empty()) {
        panelNumber = panel.number;
        itemId = item.id;
        itemRect = {placed.rect.left + item.rect.left, placed.rect.top + item.rect.top, item.rect.width, item.rect.height};
      }
    }
  }
  ASSERT_NE(panelNumber, 0);
  DrawInterface(mainWindow.frame);
  const Canvas withoutHover = mainWindow.frame;
  ui.hoverPanel = panelNumber;
  ui.hoverItem = itemId;
  ui.pointerX = itemRect.left + itemRect.width / 2;
  ui.pointerY = itemRect.top + itemRect.height / 2;
  ui.hoverSince = TickCount() - 5000;
  ui.hoverShown = true;
  DrawInterface(mainWindow.frame);

  const MessageRequest request = QuestionRequest("Warning: Go on?");
  Canvas mark;
  const Rect window = DialogWindowRect(MakeMessageBox(request, 1024, 768, mark), 1024, 768);
  // Pixels beside the box (the window rectangle includes its shadow) that differ from the window
  // drawn without a hover text.
  auto differingBeside = [&](const Canvas& screen) {
    int count = 0;
    for (int y = 0; y < screen.height; ++y) {
      for (int x = 0; x < screen.width; ++x) {
        const bool inBox = x >= window.left && x < window.left + window.width && y >= window.top &&
                           y < window.top + window.height;
        const size_t at = size_t(y) * size_t(screen.width) + size_t(x);
        if (!inBox && screen.pixels[at] != withoutHover.pixels[at]) ++count;
      }
    }
    return count;
  };
  ASSERT_GT(differingBeside(mainWindow.frame), 0) << "the hover text is on the screen, beside the box";
  int differing = -1;
  dialogState.observer = [&](const Canvas& screen, const Dialog&) {
    if (differing < 0) differing = differingBeside(screen);
  };
  const uint32_t opened = TickCount();
  QueueEscape();
  EXPECT_EQ(RunMessageBox(request), 1);
  EXPECT_EQ(differing, 0) << "the window beside the box shows no hover text";
  EXPECT_EQ(ui.hoverPanel, 0);
  EXPECT_FALSE(ui.hoverShown);
  EXPECT_GE(ui.hoverSince, opened);
}

}  // namespace
}  // namespace tsv
