// The colour chooser: RGB and HSV convert into each other without loss, typed components and
// presses in the square and the strip reach the chosen colour, and Cancel chooses nothing.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/events.h"
#include "platform/fonts.h"
#include "platform/window.h"
#include "tests/support/dialog_fixture.h"
#include "ui/colour_dialog.h"
#include "ui/dialog_script.h"

namespace tsv {
namespace {

bool Same(Rgb8 a, Rgb8 b) { return a.red == b.red && a.green == b.green && a.blue == b.blue; }

TEST(ColourConversion, RgbAndHsvRoundTripForEveryColour) {
  for (int r = 0; r < 256; r += 3) {
    for (int g = 0; g < 256; g += 5) {
      for (int b = 0; b < 256; ++b) {
        const Rgb8 colour{uint8_t(r), uint8_t(g), uint8_t(b)};
        const Rgb8 back = RgbFromHsv(HsvFromRgb(colour));
        ASSERT_TRUE(Same(back, colour)) << r << " " << g << " " << b;
      }
    }
  }
  struct Case {
    Rgb8 rgb;
    double hue, saturation, value;
  } cases[] = {
      {{255, 0, 0}, 0, 1, 1},      {{0, 255, 0}, 120, 1, 1},      {{0, 0, 255}, 240, 1, 1},
      {{255, 0, 255}, 300, 1, 1},  {{255, 128, 0}, 30.1176, 1, 1}, {{0, 0, 128}, 240, 1, 128 / 255.0},
  };
  for (const Case& c : cases) {
    const Hsv hsv = HsvFromRgb(c.rgb);
    EXPECT_NEAR(hsv.hue, c.hue, 1e-3);
    EXPECT_NEAR(hsv.saturation, c.saturation, 1e-9);
    EXPECT_NEAR(hsv.value, c.value, 1e-9);
  }
  // Grey keeps the hue it came from, black also the saturation.
  const Hsv grey = HsvFromRgb({90, 90, 90}, {200, 0.7, 0.4});
  EXPECT_EQ(grey.hue, 200);
  EXPECT_EQ(grey.saturation, 0);
  const Hsv black = HsvFromRgb({0, 0, 0}, {200, 0.7, 0.4});
  EXPECT_EQ(black.hue, 200);
  EXPECT_EQ(black.saturation, 0.7);
  EXPECT_EQ(black.value, 0);
}

class ColourDialogTest : public test::DialogFixture {
 protected:
  void SetUp() override {
    DialogFixture::SetUp();
    if (HasFatalFailure()) return;
    dialogState.observer = [this](const Canvas&, const Dialog& d) { last = d; };
    Rgb16 ignored;
    EXPECT_FALSE(ChooseColour({}, ignored));
    shown = last;
  }
  void TearDown() override {
    DialogFixture::TearDown();
  }
  Rect On(int id) { return ItemOnScreen(shown, FindDialogItem(shown, id)); }
  std::string Text(int id) { return last.items[size_t(FindDialogItem(last, id))].text; }
  void TypeInto(int id, std::string_view text) {
    QueueClickOn(On(id));
    QueueKey('a', kControlBit);
    QueueText(text);
  }
  // Runs the chooser from `initial` over the queued input; the chosen colour as 8-bit components.
  bool Choose(Rgb8 initial, Rgb8& chosen) {
    Rgb16 picked{0x1111, 0x2222, 0x3333};
    bool ok = ChooseColour({uint16_t(initial.red << 8), uint16_t(initial.green << 8), uint16_t(initial.blue << 8)}, picked);
    if (ok) {
      EXPECT_EQ(picked.red & 0xFF, 0);
      EXPECT_EQ(picked.green & 0xFF, 0);
      EXPECT_EQ(picked.blue & 0xFF, 0);
      chosen = {uint8_t(picked.red >> 8), uint8_t(picked.green >> 8), uint8_t(picked.blue >> 8)};
    }
    return ok;
  }

  Dialog shown, last;
};

TEST_F(ColourDialogTest, OpensShowingTheInitialColour) {
  Rgb16 chosen;
  EXPECT_FALSE(ChooseColour({0xFF00, 0x8000, 0x00FF}, chosen));  // no input: cancelled
  EXPECT_EQ(Text(kColourItemRed), "255");
  EXPECT_EQ(Text(kColourItemGreen), "128");
  EXPECT_EQ(Text(kColourItemBlue), "0");  // only the high byte counts
  EXPECT_EQ(Text(kColourItemHue), "30");
  EXPECT_EQ(Text(kColourItemSaturation), "100");
  EXPECT_EQ(Text(kColourItemValue), "100");
}

TEST_F(ColourDialogTest, TypedComponentsKeepTheOtherFieldsInStep) {
  struct Case {
    const char* name;
    std::function<void()> script;
    Rgb8 expected;
    std::vector<std::pair<int, std::string>> fields;
  } cases[] = {
      {"rgb",
       [&] {
         TypeInto(kColourItemRed, "255");
         TypeInto(kColourItemGreen, "128");
         TypeInto(kColourItemBlue, "0");
       },
       {255, 128, 0},
       {{kColourItemHue, "30"}, {kColourItemSaturation, "100"}, {kColourItemValue, "100"}}},
      {"hsv",
       [&] {
         TypeInto(kColourItemHue, "240");
         TypeInto(kColourItemSaturation, "100");
         TypeInto(kColourItemValue, "50");
       },
       {0, 0, 128},
       {{kColourItemRed, "0"}, {kColourItemGreen, "0"}, {kColourItemBlue, "128"}}},
      {"out of range",
       [&] { TypeInto(kColourItemGreen, "999"); },
       {10, 255, 30},
       {{kColourItemGreen, "255"}}},
  };
  for (const Case& c : cases) {
    c.script();
    QueueKey(kCharTab);
    QueueKey(kCharReturn);
    Rgb8 chosen;
    ASSERT_TRUE(Choose({10, 20, 30}, chosen)) << c.name;
    EXPECT_TRUE(Same(chosen, c.expected)) << c.name << ": " << int(chosen.red) << " " << int(chosen.green) << " "
                                          << int(chosen.blue);
    for (const auto& [id, text] : c.fields) EXPECT_EQ(Text(id), text) << c.name << " field " << id;
  }
}

TEST_F(ColourDialogTest, TheSquareAndTheStripFollowThePointer) {
  const Rect square = On(kColourItemSquare);
  const Rect strip = On(kColourItemHueStrip);
  const int left = square.left + 1, top = square.top + 1;
  const int right = square.left + square.width - 2, bottom = square.top + square.height - 2;
  const int stripY = strip.top + strip.height / 2;
  const int hueAtMiddle = SliderValueAt(strip, 359, strip.left + strip.width / 2);
  struct Case {
    const char* name;
    std::function<void()> script;
    Rgb8 expected;
  } cases[] = {
      {"top right is the pure hue", [&] { QueueClick(right, top); }, {255, 0, 0}},
      {"top left is white", [&] { QueueClick(left, top); }, {255, 255, 255}},
      {"bottom is black", [&] { QueueClick(right, bottom); }, {0, 0, 0}},
      // Straight down: the column never changes, the row does.
      {"drag down", [&] { QueueMouseDown(right, top); QueueMouseUp(right, bottom); }, {0, 0, 0}},
      {"drag past the corner", [&] { QueueMouseDown(right, top); QueueMouseUp(left - 50, bottom + 50); }, {0, 0, 0}},
      {"strip", [&] { QueueClick(right, top); QueueClick(strip.left + strip.width / 2, stripY); },
       RgbFromHsv({double(hueAtMiddle), 1, 1})},
      {"strip ends", [&] { QueueClick(right, top); QueueClick(strip.left + strip.width - 2, stripY); },
       RgbFromHsv({359, 1, 1})},
      {"keys", [&] { QueueClick(right, top); QueueKey(kCharDown); QueueKey(kCharDown); QueueKey(kCharLeft); },
       RgbFromHsv({0, 0.99, 0.98})},
  };
  for (const Case& c : cases) {
    c.script();
    QueueKey(kCharReturn);
    Rgb8 chosen;
    ASSERT_TRUE(Choose({255, 0, 0}, chosen)) << c.name;
    EXPECT_TRUE(Same(chosen, c.expected)) << c.name << ": " << int(chosen.red) << " " << int(chosen.green) << " "
                                          << int(chosen.blue);
  }
}

TEST_F(ColourDialogTest, CancelChoosesNothing) {
  TypeInto(kColourItemRed, "1");
  QueueEscape();
  Rgb16 chosen{1, 2, 3};
  EXPECT_FALSE(ChooseColour({0x8000, 0x8000, 0x8000}, chosen));
  EXPECT_EQ(chosen.red, 1);
  EXPECT_EQ(chosen.green, 2);
  EXPECT_EQ(chosen.blue, 3);
}

TEST_F(ColourDialogTest, LayoutKeepsTheControlsApart) {
  EXPECT_LE(DialogWindowRect(shown, 800, 600).width, 800);
  for (size_t i = 0; i < shown.items.size(); ++i) {
    const DialogItem& a = shown.items[i];
    EXPECT_TRUE(a.rect.left >= 0 && a.rect.top >= 0 && a.rect.left + a.rect.width <= shown.width &&
                a.rect.top + a.rect.height <= shown.height)
        << i;
    for (size_t j = i + 1; j < shown.items.size(); ++j) {
      const DialogItem& b = shown.items[j];
      // Each picture lies exactly over its control; nothing else may overlap.
      const bool pair = (a.id == kColourItemSquareControl && b.id == kColourItemSquare) ||
                        (a.id == kColourItemHueControl && b.id == kColourItemHueStrip);
      const Rect overlap = IntersectRects(a.rect, b.rect);
      if (!pair) {
        EXPECT_FALSE(overlap.width > 0 && overlap.height > 0) << i << " and " << j;
      }
    }
  }
}

}  // namespace
}  // namespace tsv
