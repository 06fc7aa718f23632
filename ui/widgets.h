// widgets.h: drawing of the interface controls on a canvas, in the one flat style that the room
// panels and the dialogs share. Every function is a pure function of (canvas, rectangle, state):
// it draws only inside the rectangle it is given and keeps nothing; input handling belongs to the
// panels and to the dialog toolkit. Text that does not fit is cut with an ellipsis.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/canvas.h"
#include "platform/fonts.h"

namespace tsv {

// The palette of the interface.
inline constexpr uint32_t kPanelColour = Rgb(218, 218, 218);
inline constexpr uint32_t kTextColour = Rgb(28, 28, 30);
inline constexpr uint32_t kGreyedTextColour = Rgb(150, 150, 152);
inline constexpr uint32_t kAccentColour = Rgb(45, 110, 196);
inline constexpr uint32_t kEdgeColour = Rgb(146, 146, 150);
inline constexpr uint32_t kFieldColour = Rgb(255, 255, 255);
inline constexpr uint32_t kHoverBoxColour = Rgb(255, 255, 225);

inline constexpr int kListRowHeight = 16;  // at the design's size; ListRowHeight() at the text's scale
inline constexpr int kScrollBarWidth = 12;
int ListRowHeight();
int ScrollBarWidth();
inline constexpr int kWindowTitleHeight = 22;
inline constexpr int kWindowShadow = 5;  // the drop shadow's width right of and below a window

// How a control looks at this moment.
struct ControlLook {
  bool enabled = true;   // false: greyed, the command is not available now
  bool hover = false;    // the pointer is over it
  bool pressed = false;  // the button is held on it and the pointer is still inside
  bool focused = false;  // it has the keyboard focus
};

enum class TextAlign { Left, Centre, Right };

struct LabelStyle {
  TextAlign align = TextAlign::Left;
  FontKind font = FontKind::Normal;
  bool enabled = true;
  uint32_t colour = kTextColour;
};

// A text field's look: the control, and the caret and selection as byte offsets into the text
// (the selection is the range between them; equal offsets select nothing).
struct EditLook {
  ControlLook control;
  size_t caret = 0;
  size_t anchor = 0;
};

// A list box: the selected row (-1 none), the first row shown and the row under the pointer.
struct ListLook {
  ControlLook control;
  int selected = -1;
  int firstRow = 0;
  int hoverRow = -1;
};

// --- Text ---------------------------------------------------------------------------------------

// `text` itself when it fits in `maxWidth` pixels, else its longest start that fits with "…" after it
// (cut between characters, never inside one); empty when not even the ellipsis fits.
std::string FitText(FontKind font, std::string_view text, int maxWidth);
// Breaks `text` into lines of at most `maxWidth` pixels at spaces and at '\n'; a single word wider
// than that is cut with an ellipsis.
std::vector<std::string> WrapText(FontKind font, std::string_view text, int maxWidth);
// Draws text with its top-left corner at (left, top), leaving every pixel outside `clip` untouched.
void DrawTextClipped(Canvas& canvas, Rect clip, FontKind font, int left, int top, std::string_view text,
                     uint32_t colour);
// The top of a line of `font` centred vertically in `rect`.
int CentredTextTop(FontKind font, Rect rect);

// --- Surfaces -----------------------------------------------------------------------------------

void DrawPanel(Canvas& canvas, Rect rect);
// A group frame with its title in bold on the top edge; the group's items go inside
// GroupContentRect.
void DrawGroupFrame(Canvas& canvas, Rect rect, std::string_view title, bool enabled = true);
Rect GroupContentRect(Rect frame);
// A window: a drop shadow over what lies beneath (the last kWindowShadow pixels right and below
// darken the canvas, so draw it once over the saved background), a 1-pixel border, the title bar
// with the title and the panel below it.
void DrawWindowFrame(Canvas& canvas, Rect rect, std::string_view title);
// Where a window's items go: below the title bar, inside the border, clear of the shadow.
Rect WindowContentRect(Rect rect);
// The hover text box: light yellow, a 1-pixel frame, the text in the normal font. HoverBoxRect
// places it beside the pointer and keeps it inside `screen`; long texts are wrapped.
Rect HoverBoxRect(Rect screen, int pointerX, int pointerY, std::string_view text);
void DrawHoverBox(Canvas& canvas, Rect box, std::string_view text);

// --- Controls -----------------------------------------------------------------------------------

// Where a slider's track runs inside its rectangle: from `left`, `width` pixels, at row `centre`.
struct SliderTrackGeometry {
  int left = 0, width = 0, centre = 0;
};
SliderTrackGeometry SliderTrackGeometryOf(Rect rect);

// `isDefault` marks the button that Return presses.
void DrawPushButton(Canvas& canvas, Rect rect, std::string_view label, ControlLook look, bool isDefault = false);
void DrawCheckBox(Canvas& canvas, Rect rect, std::string_view label, bool checked, ControlLook look);
// Where a check box's label starts, from the check box's left edge.
inline constexpr int kCheckBoxTextOffset = 20;
// A label with its key-letter mark taken out: '&' before a character marks that character ("&&"
// stands for '&' itself). `index` receives the marked character's place in the result, -1 when
// there is none.
std::string TakeKeyLetter(std::string_view text, int& index);
void DrawRadioButton(Canvas& canvas, Rect rect, std::string_view label, bool selected, ControlLook look);
void DrawLabel(Canvas& canvas, Rect rect, std::string_view text, LabelStyle style = {});
// A one-line edit field (number or text). While focused it scrolls so the caret stays visible.
void DrawEditField(Canvas& canvas, Rect rect, std::string_view text, const EditLook& look);
// The caret offset (a character boundary of `text`) nearest to the window column `x`.
size_t EditCaretAt(Rect rect, std::string_view text, const EditLook& look, int x);
void DrawListBox(Canvas& canvas, Rect rect, std::span<const std::string> rows, const ListLook& look);
int ListVisibleRows(Rect rect);
[[nodiscard]] bool ListHasScrollBar(Rect rect, int rowCount);
Rect ListScrollBarRect(Rect rect);
// The row under (x, y), or -1 (outside, over the scroll bar, or below the last row).
int ListRowAt(Rect rect, int rowCount, int firstRow, int x, int y);
// A vertical scroll bar over `total` rows of which `visible` show from `first` on.
void DrawScrollBar(Canvas& canvas, Rect rect, int total, int visible, int first, ControlLook look);
Rect ScrollThumbRect(Rect bar, int total, int visible, int first);
// The first row that puts the thumb's top at `thumbTop` (clamped to the possible range).
int ScrollFirstForThumbTop(Rect bar, int total, int visible, int thumbTop);
void DrawColourSwatch(Canvas& canvas, Rect rect, uint32_t colour, ControlLook look);
// The picture scaled to fit inside the frame with its proportions kept; an empty canvas shows an
// empty box.
void DrawPictureBox(Canvas& canvas, Rect rect, const Canvas& picture, ControlLook look);
// A horizontal slider over 0..maximum, with a tick per step when there are few steps.
void DrawSlider(Canvas& canvas, Rect rect, int value, int maximum, ControlLook look);
int SliderValueAt(Rect rect, int maximum, int x);
// A room tab: one segment of a row of tabs; the selected one stands out.
void DrawTabButton(Canvas& canvas, Rect rect, std::string_view label, bool selected, ControlLook look);

// Small geometry helpers shared by panels and dialogs.
[[nodiscard]] bool RectContains(Rect rect, int x, int y);
Rect IntersectRects(Rect a, Rect b);
Rect InsetRect(Rect rect, int by);
uint32_t MixColours(uint32_t a, uint32_t b, int weightOfB);  // weight 0..256

// A picture of width x height made small for a panel: its longer side at most `maxSide` (a
// smaller picture keeps its size), each pixel taken from `sample(x, y)` of the source (nearest).
template <typename Sample>
void ScalePictureDown(int width, int height, int maxSide, Canvas& out, Sample sample) {
  const int longest = width > height ? width : height;
  const double scale = longest > maxSide ? double(maxSide) / longest : 1.0;
  const int w = int(width * scale) > 1 ? int(width * scale) : 1;
  const int h = int(height * scale) > 1 ? int(height * scale) : 1;
  ResizeCanvas(out, w, h);
  for (int y = 0; y < h; ++y) {
    const size_t sy = size_t(int64_t(y) * height / h);
    for (int x = 0; x < w; ++x) out.pixels[size_t(y) * size_t(w) + size_t(x)] = sample(size_t(int64_t(x) * width / w), sy);
  }
}

}  // namespace tsv
