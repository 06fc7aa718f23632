// The control drawing: each control stays inside its rectangle, greyed controls look different,
// and text that does not fit is cut with an ellipsis.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/fonts.h"
#include "ui/widgets.h"

namespace tsv {
namespace {

constexpr uint32_t kMarker = Rgb(1, 2, 3);
const std::string kLongText = "A label far too long for the little control it has to live in";

struct WidgetCase {
  const char* name;
  std::function<void(Canvas&, Rect, bool enabled)> draw;
  bool greys = true;  // has a greyed look for commands not available now
};

Canvas Picture(int width, int height, uint32_t colour) {
  Canvas c;
  ResizeCanvas(c, width, height, colour);
  return c;
}

std::vector<WidgetCase> AllWidgets() {
  static const std::vector<std::string> rows = {"First row", "Second row with a long name", "Third", "Fourth",
                                                "Fifth",     "Sixth",                       "Seventh"};
  static const Canvas picture = Picture(40, 20, Rgb(200, 30, 30));
  return {
      {"panel", [](Canvas& c, Rect r, bool) { DrawPanel(c, r); }, false},
      {"group", [](Canvas& c, Rect r, bool e) { DrawGroupFrame(c, r, kLongText, e); }},
      {"window", [](Canvas& c, Rect r, bool) { DrawWindowFrame(c, r, kLongText); }, false},
      {"hoverBox", [](Canvas& c, Rect r, bool) { DrawHoverBox(c, r, kLongText); }, false},
      {"button", [](Canvas& c, Rect r, bool e) { DrawPushButton(c, r, kLongText, {e, true, false, true}); }},
      {"defaultButton", [](Canvas& c, Rect r, bool e) { DrawPushButton(c, r, kLongText, {e, false, true, false}, true); }},
      {"checkBox", [](Canvas& c, Rect r, bool e) { DrawCheckBox(c, r, kLongText, true, {e, false, false, true}); }},
      {"radio", [](Canvas& c, Rect r, bool e) { DrawRadioButton(c, r, kLongText, true, {e, true, false, true}); }},
      {"labelRight",
       [](Canvas& c, Rect r, bool e) { DrawLabel(c, r, kLongText, {TextAlign::Right, FontKind::Bold, e}); }},
      {"field", [](Canvas& c, Rect r, bool e) { DrawEditField(c, r, kLongText, {{e, false, false, false}, 0, 0}); }},
      {"focusedField",
       [](Canvas& c, Rect r, bool e) { DrawEditField(c, r, kLongText, {{e, false, false, true}, kLongText.size(), 3}); }},
      {"list", [](Canvas& c, Rect r, bool e) { DrawListBox(c, r, rows, {{e, true, false, true}, 1, 1, 2}); }},
      {"scrollBar", [](Canvas& c, Rect r, bool e) { DrawScrollBar(c, r, 40, 5, 10, {e, false, false, false}); }},
      {"swatch", [](Canvas& c, Rect r, bool e) { DrawColourSwatch(c, r, Rgb(0, 160, 90), {e, false, false, false}); }},
      {"picture", [](Canvas& c, Rect r, bool e) { DrawPictureBox(c, r, picture, {e, false, false, false}); }},
      {"slider", [](Canvas& c, Rect r, bool e) { DrawSlider(c, r, 2, 3, {e, true, false, true}); }},
      {"tab", [](Canvas& c, Rect r, bool e) { DrawTabButton(c, r, kLongText, true, {e, false, false, true}); }},
  };
}

class Widgets : public testing::TestWithParam<WidgetCase> {
 protected:
  void SetUp() override { ASSERT_TRUE(InitInterfaceFonts()) << "DejaVu Sans is needed to draw text"; }
};

TEST_P(Widgets, DrawOnlyInsideTheirRectangle) {
  const WidgetCase& widget = GetParam();
  // A roomy rectangle, a cramped one, and ones hanging over the canvas edges.
  for (Rect rect : {Rect{20, 15, 120, 60}, Rect{30, 30, 40, 18}, Rect{-10, -6, 60, 30}, Rect{140, 40, 60, 30}}) {
    Canvas canvas = Picture(180, 100, kMarker);
    widget.draw(canvas, rect, true);
    int changedInside = 0;
    for (int y = 0; y < canvas.height; ++y) {
      for (int x = 0; x < canvas.width; ++x) {
        bool inside = RectContains(rect, x, y);
        uint32_t pixel = PixelAt(canvas, x, y);
        if (!inside) {
          ASSERT_EQ(pixel, kMarker) << widget.name << " drew outside at " << x << "," << y;
        }
        if (inside && pixel != kMarker) ++changedInside;
      }
    }
    EXPECT_GT(changedInside, 0) << widget.name << " drew nothing";
  }
}

INSTANTIATE_TEST_SUITE_P(EveryControl, Widgets, testing::ValuesIn(AllWidgets()),
                         [](const testing::TestParamInfo<WidgetCase>& info) { return std::string(info.param.name); });

TEST(WidgetLooks, GreyedLooksDifferentFromEnabled) {
  ASSERT_TRUE(InitInterfaceFonts());
  for (const WidgetCase& widget : AllWidgets()) {
    if (!widget.greys) continue;
    Rect rect = {10, 10, 140, 70};
    Canvas enabled = Picture(160, 90, kPanelColour), greyed = enabled;
    widget.draw(enabled, rect, true);
    widget.draw(greyed, rect, false);
    EXPECT_NE(enabled.pixels, greyed.pixels) << widget.name;
  }
}

TEST(WidgetText, LongTextIsCutWithAnEllipsisAndFits) {
  ASSERT_TRUE(InitInterfaceFonts());
  const std::string ellipsis = "\xE2\x80\xA6";
  EXPECT_EQ(FitText(FontKind::Normal, "OK", 100), "OK");
  for (int width : {30, 60, 120}) {
    std::string cut = FitText(FontKind::Normal, kLongText, width);
    EXPECT_LE(TextWidth(FontKind::Normal, cut), width);
    ASSERT_GE(cut.size(), ellipsis.size());
    EXPECT_EQ(cut.substr(cut.size() - ellipsis.size()), ellipsis);
    EXPECT_EQ(kLongText.compare(0, cut.size() - ellipsis.size(), cut, 0, cut.size() - ellipsis.size()), 0);
  }
  EXPECT_EQ(FitText(FontKind::Normal, kLongText, 2), "");  // not even the ellipsis fits
  // Multi-byte characters are never split.
  std::string umlauts = "\xC3\x84\xC3\x96\xC3\x9C\xC3\x84\xC3\x96\xC3\x9C\xC3\x84\xC3\x96\xC3\x9C\xC3\x84\xC3\x96\xC3\x9C";
  for (int width = 8; width < 60; width += 3) {
    std::string cut = FitText(FontKind::Normal, umlauts, width);
    std::string start = cut.size() >= ellipsis.size() ? cut.substr(0, cut.size() - ellipsis.size()) : cut;
    EXPECT_EQ(start.size() % 2, 0u) << width;
  }
}

TEST(WidgetText, KeyLetterMarksAreTakenOutAndRemembered) {
  struct Case {
    const char* text;
    const char* shown;
    int index;
  };
  for (const Case& c : {Case{"&Join Vertices", "Join Vertices", 0}, Case{"Bring to c&enter", "Bring to center", 10},
                        Case{"Salt && pepper", "Salt & pepper", -1}, Case{"A && &B", "A & B", 4},
                        Case{"Plain", "Plain", -1}, Case{"Ends with &", "Ends with &", -1}}) {
    int index = -2;
    EXPECT_EQ(TakeKeyLetter(c.text, index), c.shown) << c.text;
    EXPECT_EQ(index, c.index) << c.text;
  }
}

TEST(WidgetText, HoverTextsWrapAndStayOnTheScreen) {
  ASSERT_TRUE(InitInterfaceFonts());
  Rect screen = {0, 0, 640, 480};
  std::string text = "Breaking Angle: edges sharper than this many degrees stay sharp in the composer";
  Rect beside = HoverBoxRect(screen, 100, 100, text);
  EXPECT_GT(beside.left, 100);
  EXPECT_GT(beside.top, 100);
  EXPECT_GT(beside.height, LineHeight(FontKind::Normal) + 6) << "a long text takes more than one line";
  // Near the right and bottom edges the box moves left and above the pointer.
  Rect corner = HoverBoxRect(screen, 630, 470, text);
  EXPECT_LE(corner.left + corner.width, 640);
  EXPECT_LE(corner.top + corner.height, 470);
  EXPECT_GE(corner.left, 0);
  EXPECT_GE(corner.top, 0);
}

TEST(WidgetGeometry, PointerPositionsMapBackToValues) {
  Rect slider = {10, 0, 112, 20};
  EXPECT_EQ(SliderValueAt(slider, 3, 0), 0);
  EXPECT_EQ(SliderValueAt(slider, 3, 16), 0);
  EXPECT_EQ(SliderValueAt(slider, 3, 16 + 100), 3);
  EXPECT_EQ(SliderValueAt(slider, 3, 500), 3);
  EXPECT_EQ(SliderValueAt(slider, 3, 16 + 67), 2);

  Rect bar = {0, 0, 12, 200};
  for (int first : {0, 7, 35}) {
    Rect thumb = ScrollThumbRect(bar, 40, 5, first);
    EXPECT_EQ(ScrollFirstForThumbTop(bar, 40, 5, thumb.top), first);
  }
  EXPECT_EQ(ScrollFirstForThumbTop(bar, 40, 5, 10000), 35);

  Rect list = {0, 0, 100, 2 + 4 * kListRowHeight};  // four rows show
  EXPECT_TRUE(ListHasScrollBar(list, 7));
  EXPECT_EQ(ListRowAt(list, 7, 2, 10, 1 + kListRowHeight + 3), 3);
  EXPECT_EQ(ListRowAt(list, 7, 2, 95, 5), -1) << "the scroll bar is no row";
  EXPECT_EQ(ListRowAt(list, 2, 0, 10, 1 + 3 * kListRowHeight), -1) << "below the last row";
}

TEST(WidgetPictures, PictureKeepsItsProportions) {
  Canvas canvas = Picture(60, 60, kMarker);
  Canvas wide = Picture(40, 20, Rgb(200, 30, 30));
  DrawPictureBox(canvas, {0, 0, 42, 42}, wide, {});
  EXPECT_EQ(PixelAt(canvas, 21, 21), Rgb(200, 30, 30));
  EXPECT_EQ(PixelAt(canvas, 2, 21), Rgb(200, 30, 30)) << "fills the width";
  EXPECT_NE(PixelAt(canvas, 21, 4), Rgb(200, 30, 30)) << "but not the height";
}

}  // namespace
}  // namespace tsv
