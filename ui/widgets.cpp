// widgets.cpp: the flat look of the interface controls. Everything is drawn through a clip
// rectangle no larger than the control's own, so a control never paints over a neighbour.
#include "ui/widgets.h"

#include <algorithm>
#include <cmath>

#include "platform/counted_string.h"

namespace tsv {
namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";  // U+2026

// Colours of the parts that only the drawing here uses.
constexpr uint32_t kGroupFill = Rgb(226, 226, 229);
constexpr uint32_t kGroupEdge = Rgb(186, 186, 192);
constexpr uint32_t kWindowEdge = Rgb(92, 94, 102);
constexpr uint32_t kTitleBar = Rgb(60, 66, 80);
constexpr uint32_t kButtonFill = Rgb(244, 244, 246);
constexpr uint32_t kButtonHoverFill = Rgb(253, 253, 253);
constexpr uint32_t kButtonHoverEdge = Rgb(104, 138, 190);
constexpr uint32_t kButtonPressedFill = Rgb(194, 203, 218);
constexpr uint32_t kDefaultEdge = Rgb(28, 80, 156);
constexpr uint32_t kDefaultHoverFill = Rgb(64, 130, 216);
constexpr uint32_t kDefaultPressedFill = Rgb(30, 86, 168);
constexpr uint32_t kGreyedFill = Rgb(229, 229, 231);
constexpr uint32_t kGreyedEdge = Rgb(194, 194, 198);
constexpr uint32_t kFocusRing = Rgb(122, 164, 226);
constexpr uint32_t kSelectionFill = Rgb(172, 202, 242);
constexpr uint32_t kListHoverFill = Rgb(230, 238, 250);
constexpr uint32_t kListSelectedUnfocused = Rgb(200, 205, 214);
constexpr uint32_t kTrackFill = Rgb(236, 236, 238);
constexpr uint32_t kThumbFill = Rgb(174, 174, 180);
constexpr uint32_t kThumbHoverFill = Rgb(146, 146, 154);
constexpr uint32_t kSliderTrack = Rgb(182, 182, 188);
constexpr uint32_t kTickColour = Rgb(132, 132, 138);
constexpr uint32_t kTabFill = Rgb(202, 202, 207);
constexpr uint32_t kTabHoverFill = Rgb(226, 226, 231);
constexpr uint32_t kTabSelectedFill = Rgb(247, 247, 249);
constexpr uint32_t kHoverBoxEdge = Rgb(118, 118, 118);
constexpr int kHoverBoxMaxTextWidth = 300;

bool Empty(Rect r) { return r.width <= 0 || r.height <= 0; }

Rect CanvasRect(const Canvas& canvas) { return {0, 0, canvas.width, canvas.height}; }

// Fills `rect` limited to `clip`.
void FillClipped(Canvas& canvas, Rect clip, Rect rect, uint32_t colour) {
  Rect r = IntersectRects(clip, rect);
  if (!Empty(r)) FillRect(canvas, r, colour);
}

void FrameClipped(Canvas& canvas, Rect clip, Rect rect, uint32_t colour) {
  if (Empty(rect)) return;
  FillClipped(canvas, clip, {rect.left, rect.top, rect.width, 1}, colour);
  FillClipped(canvas, clip, {rect.left, rect.top + rect.height - 1, rect.width, 1}, colour);
  FillClipped(canvas, clip, {rect.left, rect.top, 1, rect.height}, colour);
  FillClipped(canvas, clip, {rect.left + rect.width - 1, rect.top, 1, rect.height}, colour);
}

// A box with its four corner pixels left out, which reads as slightly rounded at this size.
void RoundedBox(Canvas& canvas, Rect clip, Rect rect, uint32_t fill, uint32_t edge) {
  if (rect.width < 3 || rect.height < 3) {
    FillClipped(canvas, clip, rect, fill);
    return;
  }
  FillClipped(canvas, clip, InsetRect(rect, 1), fill);
  int right = rect.left + rect.width - 1, bottom = rect.top + rect.height - 1;
  FillClipped(canvas, clip, {rect.left + 1, rect.top, rect.width - 2, 1}, edge);
  FillClipped(canvas, clip, {rect.left + 1, bottom, rect.width - 2, 1}, edge);
  FillClipped(canvas, clip, {rect.left, rect.top + 1, 1, rect.height - 2}, edge);
  FillClipped(canvas, clip, {right, rect.top + 1, 1, rect.height - 2}, edge);
}

void BlendPixel(Canvas& canvas, Rect clip, int x, int y, uint32_t colour, int coverage /* 0..256 */) {
  if (coverage <= 0 || !RectContains(clip, x, y) || !RectContains(CanvasRect(canvas), x, y)) return;
  uint32_t& pixel = canvas.pixels[size_t(y) * size_t(canvas.width) + size_t(x)];
  pixel = MixColours(pixel, colour, std::min(coverage, 256));
}

// An anti-aliased disc, sampled 4 x 4 per pixel.
void DrawDisc(Canvas& canvas, Rect clip, float cx, float cy, float radius, uint32_t colour) {
  int x0 = int(std::floor(cx - radius)), x1 = int(std::ceil(cx + radius));
  int y0 = int(std::floor(cy - radius)), y1 = int(std::ceil(cy + radius));
  float r2 = radius * radius;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      int inside = 0;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          float dx = float(x) + (float(sx) + 0.5f) / 4.0f - cx;
          float dy = float(y) + (float(sy) + 0.5f) / 4.0f - cy;
          if (dx * dx + dy * dy <= r2) ++inside;
        }
      }
      BlendPixel(canvas, clip, x, y, colour, inside * 16);
    }
  }
}

float DistanceToSegment(float px, float py, float ax, float ay, float bx, float by) {
  float vx = bx - ax, vy = by - ay;
  float t = std::clamp(((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy), 0.0f, 1.0f);
  float dx = px - (ax + t * vx), dy = py - (ay + t * vy);
  return std::sqrt(dx * dx + dy * dy);
}

// The tick of a check box, drawn as two anti-aliased strokes inside `box`.
void DrawCheckMark(Canvas& canvas, Rect clip, Rect box, uint32_t colour) {
  float ax = float(box.left) + 3.0f, ay = float(box.top) + 6.5f;
  float bx = float(box.left) + 5.5f, by = float(box.top) + 9.0f;
  float cx = float(box.left) + 10.0f, cy = float(box.top) + 3.5f;
  for (int y = box.top; y < box.top + box.height; ++y) {
    for (int x = box.left; x < box.left + box.width; ++x) {
      float px = float(x) + 0.5f, py = float(y) + 0.5f;
      float d = std::min(DistanceToSegment(px, py, ax, ay, bx, by), DistanceToSegment(px, py, bx, by, cx, cy));
      float coverage = std::clamp(1.6f - d, 0.0f, 1.0f);
      BlendPixel(canvas, clip, x, y, colour, int(coverage * 256.0f));
    }
  }
}

// Start offsets of the characters of `text`, and its end.
std::vector<size_t> CharacterBoundaries(std::string_view text) {
  std::vector<size_t> bounds;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!IsTrailByte(text[i])) bounds.push_back(i);
  }
  bounds.push_back(text.size());
  return bounds;
}

int AlignedLeft(Rect rect, int textWidth, TextAlign align) {
  switch (align) {
    case TextAlign::Centre: return rect.left + (rect.width - textWidth) / 2;
    case TextAlign::Right: return rect.left + rect.width - textWidth;
    case TextAlign::Left: break;
  }
  return rect.left;
}

// The horizontal scroll of a focused edit field: just enough to keep the caret inside.
int EditScroll(Rect inner, std::string_view text, size_t caret) {
  int caretX = TextWidth(FontKind::Normal, text.substr(0, std::min(caret, text.size())));
  return std::max(0, caretX - (inner.width - 2));
}

Rect EditTextRect(Rect rect) { return {rect.left + 4, rect.top + 2, rect.width - 8, rect.height - 4}; }

Rect ListInnerRect(Rect rect, int rowCount) {
  Rect inner = InsetRect(rect, 1);
  if (ListHasScrollBar(rect, rowCount)) inner.width -= ScrollBarWidth();
  return inner;
}

}  // namespace

// --- Geometry -----------------------------------------------------------------------------------

bool RectContains(Rect rect, int x, int y) {
  return x >= rect.left && y >= rect.top && x < rect.left + rect.width && y < rect.top + rect.height;
}

Rect IntersectRects(Rect a, Rect b) {
  int left = std::max(a.left, b.left), top = std::max(a.top, b.top);
  int right = std::min(a.left + a.width, b.left + b.width), bottom = std::min(a.top + a.height, b.top + b.height);
  return {left, top, std::max(0, right - left), std::max(0, bottom - top)};
}

Rect InsetRect(Rect rect, int by) {
  return {rect.left + by, rect.top + by, std::max(0, rect.width - 2 * by), std::max(0, rect.height - 2 * by)};
}

uint32_t MixColours(uint32_t a, uint32_t b, int weightOfB) {
  uint32_t w = uint32_t(std::clamp(weightOfB, 0, 256));
  auto channel = [&](int shift) {
    uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    return ((ca * (256 - w) + cb * w) >> 8) << shift;
  };
  return channel(16) | channel(8) | channel(0);
}

// --- Text ---------------------------------------------------------------------------------------

std::string FitText(FontKind font, std::string_view text, int maxWidth) {
  if (maxWidth <= 0) return {};
  if (TextWidth(font, text) <= maxWidth) return std::string(text);
  int room = maxWidth - TextWidth(font, kEllipsis);
  if (room < 0) return {};
  // The longest start that leaves room for the ellipsis; trailing spaces go with the cut. Text
  // widths are sums of advances, so the start grows one character at a time.
  std::vector<size_t> bounds = CharacterBoundaries(text);
  size_t fits = 0;
  int width = 0;
  for (size_t k = 0; k + 1 < bounds.size(); ++k) {
    width += TextWidth(font, text.substr(bounds[k], bounds[k + 1] - bounds[k]));
    if (width > room) break;
    fits = bounds[k + 1];
  }
  std::string_view start = text.substr(0, fits);
  while (!start.empty() && start.back() == ' ') start.remove_suffix(1);
  return std::string(start) + std::string(kEllipsis);
}

std::vector<std::string> WrapText(FontKind font, std::string_view text, int maxWidth) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    std::string_view paragraph = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    std::string line;
    size_t i = 0;
    while (i <= paragraph.size()) {
      size_t space = paragraph.find(' ', i);
      std::string_view word = paragraph.substr(i, space == std::string_view::npos ? std::string_view::npos : space - i);
      std::string candidate = line.empty() ? std::string(word) : line + " " + std::string(word);
      if (!line.empty() && TextWidth(font, candidate) > maxWidth) {
        lines.push_back(line);
        line = std::string(word);
      } else {
        line = std::move(candidate);
      }
      if (space == std::string_view::npos) break;
      i = space + 1;
    }
    lines.push_back(FitText(font, line, maxWidth));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return lines;
}

void DrawTextClipped(Canvas& canvas, Rect clip, FontKind font, int left, int top, std::string_view text,
                     uint32_t colour) {
  Rect area = IntersectRects(clip, CanvasRect(canvas));
  if (Empty(area) || text.empty()) return;
  // Glyphs may reach past their advance; drawing into a copy of the area keeps them inside it.
  Canvas scratch = CopyArea(canvas, area);
  DrawText(scratch, font, left - area.left, top - area.top, text, colour);
  PasteArea(canvas, scratch, area.left, area.top);
}

int CentredTextTop(FontKind font, Rect rect) { return rect.top + (rect.height - LineHeight(font)) / 2; }

// --- Surfaces -----------------------------------------------------------------------------------

void DrawPanel(Canvas& canvas, Rect rect) { FillClipped(canvas, rect, rect, kPanelColour); }

void DrawGroupFrame(Canvas& canvas, Rect rect, std::string_view title, bool enabled) {
  int titleHeight = title.empty() ? 0 : LineHeight(FontKind::Bold) + 3;
  Rect card = {rect.left, rect.top + titleHeight, rect.width, rect.height - titleHeight};
  RoundedBox(canvas, rect, card, kGroupFill, kGroupEdge);
  if (!title.empty()) {
    std::string fitted = FitText(FontKind::Bold, title, rect.width - 4);
    DrawTextClipped(canvas, rect, FontKind::Bold, rect.left + 2, rect.top, fitted,
                    enabled ? kTextColour : kGreyedTextColour);
  }
}

Rect GroupContentRect(Rect frame) {
  int titleHeight = LineHeight(FontKind::Bold) + 3;
  return {frame.left + 8, frame.top + titleHeight + 6, std::max(0, frame.width - 16),
          std::max(0, frame.height - titleHeight - 12)};
}

void DrawWindowFrame(Canvas& canvas, Rect rect, std::string_view title) {
  Rect body = {rect.left, rect.top, rect.width - kWindowShadow, rect.height - kWindowShadow};
  if (Empty(body)) return;
  // The shadow darkens what lies beneath, most strongly next to the window.
  int right = body.left + body.width, bottom = body.top + body.height;
  for (int y = rect.top + kWindowShadow; y < rect.top + rect.height; ++y) {
    for (int x = rect.left + kWindowShadow; x < rect.left + rect.width; ++x) {
      if (x < right && y < bottom) continue;
      int distance = std::max(x - right, y - bottom) + 1;  // 1..kWindowShadow
      BlendPixel(canvas, rect, x, y, Rgb(0, 0, 0), 96 * (kWindowShadow + 1 - distance) / (kWindowShadow + 1));
    }
  }
  FillRect(canvas, body, kPanelColour);
  FrameRect(canvas, body, kWindowEdge);
  Rect bar = {body.left + 1, body.top + 1, body.width - 2, kWindowTitleHeight - 1};
  FillClipped(canvas, body, bar, kTitleBar);
  std::string fitted = FitText(FontKind::Bold, title, bar.width - 20);
  DrawTextClipped(canvas, bar, FontKind::Bold, bar.left + 10, CentredTextTop(FontKind::Bold, bar), fitted,
                  Rgb(255, 255, 255));
}

Rect WindowContentRect(Rect rect) {
  return {rect.left + 1, rect.top + kWindowTitleHeight, std::max(0, rect.width - kWindowShadow - 2),
          std::max(0, rect.height - kWindowShadow - kWindowTitleHeight - 1)};
}

Rect HoverBoxRect(Rect screen, int pointerX, int pointerY, std::string_view text) {
  std::vector<std::string> lines = WrapText(FontKind::Normal, text, kHoverBoxMaxTextWidth);
  int textWidth = 0;
  for (const std::string& line : lines) textWidth = std::max(textWidth, TextWidth(FontKind::Normal, line));
  int width = std::min(textWidth + 10, screen.width);
  int height = std::min(int(lines.size()) * LineHeight(FontKind::Normal) + 6, screen.height);
  int left = pointerX + 12, top = pointerY + 20;
  // Beside the pointer; left of it or above it where the screen ends.
  if (left + width > screen.left + screen.width) left = screen.left + screen.width - width;
  if (top + height > screen.top + screen.height) top = pointerY - height - 4;
  left = std::max(left, screen.left);
  top = std::max(top, screen.top);
  return {left, top, width, height};
}

void DrawHoverBox(Canvas& canvas, Rect box, std::string_view text) {
  FillClipped(canvas, box, box, kHoverBoxColour);
  FrameClipped(canvas, box, box, kHoverBoxEdge);
  Rect inside = InsetRect(box, 1);
  int lineHeight = LineHeight(FontKind::Normal);
  std::vector<std::string> lines = WrapText(FontKind::Normal, text, box.width - 10);
  for (size_t i = 0; i < lines.size(); ++i) {
    DrawTextClipped(canvas, inside, FontKind::Normal, box.left + 5, box.top + 3 + int(i) * lineHeight, lines[i],
                    kTextColour);
  }
}

// --- Controls -----------------------------------------------------------------------------------

void DrawPushButton(Canvas& canvas, Rect rect, std::string_view label, ControlLook look, bool isDefault) {
  uint32_t fill = kButtonFill, edge = kEdgeColour, text = kTextColour;
  if (!look.enabled) {
    fill = kGreyedFill;
    edge = kGreyedEdge;
    text = kGreyedTextColour;
  } else if (isDefault) {
    fill = look.pressed ? kDefaultPressedFill : look.hover ? kDefaultHoverFill : kAccentColour;
    edge = kDefaultEdge;
    text = Rgb(255, 255, 255);
  } else if (look.pressed) {
    fill = kButtonPressedFill;
    edge = kAccentColour;
  } else if (look.hover) {
    fill = kButtonHoverFill;
    edge = kButtonHoverEdge;
  }
  RoundedBox(canvas, rect, rect, fill, edge);
  if (look.focused && look.enabled) FrameClipped(canvas, rect, InsetRect(rect, 2), isDefault ? Rgb(190, 214, 250) : kFocusRing);
  Rect inside = InsetRect(rect, 3);
  std::string fitted = FitText(FontKind::Normal, label, inside.width);
  int shift = look.pressed && look.enabled ? 1 : 0;
  DrawTextClipped(canvas, inside, FontKind::Normal, AlignedLeft(rect, TextWidth(FontKind::Normal, fitted), TextAlign::Centre),
                  CentredTextTop(FontKind::Normal, rect) + shift, fitted, text);
}

std::string TakeKeyLetter(std::string_view text, int& index) {
  std::string result;
  index = -1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) {
      ++i;
      if (text[i] != '&' && index < 0) index = int(result.size());
    }
    result += text[i];
  }
  return result;
}

void DrawCheckBox(Canvas& canvas, Rect rect, std::string_view label, bool checked, ControlLook look) {
  Rect box = {rect.left + 1, rect.top + (rect.height - 13) / 2, 13, 13};
  static_assert(kCheckBoxTextOffset == 1 + 13 + 6, "the label starts 6 pixels right of the box");
  uint32_t edge = !look.enabled ? kGreyedEdge : (look.hover || look.pressed) ? kAccentColour : kEdgeColour;
  uint32_t fill = !look.enabled ? kGreyedFill : look.pressed ? kButtonPressedFill : kFieldColour;
  if (checked) {
    fill = look.enabled ? (look.hover ? kDefaultHoverFill : kAccentColour) : Rgb(182, 182, 188);
    edge = look.enabled ? kDefaultEdge : kGreyedEdge;
  }
  if (look.focused && look.enabled) RoundedBox(canvas, rect, InsetRect(box, -1), kFocusRing, kFocusRing);
  RoundedBox(canvas, rect, box, fill, edge);
  if (checked) DrawCheckMark(canvas, rect, box, Rgb(255, 255, 255));
  Rect textArea = {box.left + box.width + 6, rect.top, rect.left + rect.width - (box.left + box.width + 6), rect.height};
  std::string fitted = FitText(FontKind::Normal, label, textArea.width);
  DrawTextClipped(canvas, IntersectRects(rect, textArea), FontKind::Normal, textArea.left,
                  CentredTextTop(FontKind::Normal, rect), fitted, look.enabled ? kTextColour : kGreyedTextColour);
}

void DrawRadioButton(Canvas& canvas, Rect rect, std::string_view label, bool selected, ControlLook look) {
  float cx = float(rect.left) + 7.5f, cy = float(rect.top) + float(rect.height) / 2.0f;
  uint32_t edge = !look.enabled ? kGreyedEdge : (selected || look.hover || look.pressed) ? kAccentColour : kEdgeColour;
  uint32_t fill = !look.enabled ? kGreyedFill : look.pressed ? kButtonPressedFill : kFieldColour;
  if (look.focused && look.enabled) DrawDisc(canvas, rect, cx, cy, 7.5f, kFocusRing);
  DrawDisc(canvas, rect, cx, cy, 6.5f, edge);
  DrawDisc(canvas, rect, cx, cy, 5.5f, fill);
  if (selected) DrawDisc(canvas, rect, cx, cy, 3.0f, look.enabled ? kAccentColour : Rgb(150, 150, 156));
  int textLeft = rect.left + 21;
  Rect textArea = {textLeft, rect.top, rect.left + rect.width - textLeft, rect.height};
  std::string fitted = FitText(FontKind::Normal, label, textArea.width);
  DrawTextClipped(canvas, IntersectRects(rect, textArea), FontKind::Normal, textLeft,
                  CentredTextTop(FontKind::Normal, rect), fitted, look.enabled ? kTextColour : kGreyedTextColour);
}

void DrawLabel(Canvas& canvas, Rect rect, std::string_view text, LabelStyle style) {
  std::string fitted = FitText(style.font, text, rect.width);
  int left = AlignedLeft(rect, TextWidth(style.font, fitted), style.align);
  DrawTextClipped(canvas, rect, style.font, left, CentredTextTop(style.font, rect), fitted,
                  style.enabled ? style.colour : kGreyedTextColour);
}

void DrawEditField(Canvas& canvas, Rect rect, std::string_view text, const EditLook& look) {
  const ControlLook& c = look.control;
  bool focused = c.focused && c.enabled;
  uint32_t edge = !c.enabled ? kGreyedEdge : focused ? kAccentColour : c.hover ? kButtonHoverEdge : kEdgeColour;
  FillClipped(canvas, rect, rect, c.enabled ? kFieldColour : kGreyedFill);
  FrameClipped(canvas, rect, rect, edge);
  if (focused) FrameClipped(canvas, rect, InsetRect(rect, 1), Rgb(206, 222, 246));
  Rect inner = EditTextRect(rect);
  int top = CentredTextTop(FontKind::Normal, rect);
  uint32_t colour = c.enabled ? kTextColour : kGreyedTextColour;
  if (!focused) {
    DrawTextClipped(canvas, inner, FontKind::Normal, inner.left, top, FitText(FontKind::Normal, text, inner.width), colour);
    return;
  }
  size_t caret = std::min(look.caret, text.size());
  size_t anchor = std::min(look.anchor, text.size());
  int scroll = EditScroll(inner, text, caret);
  auto xAt = [&](size_t offset) { return inner.left - scroll + TextWidth(FontKind::Normal, text.substr(0, offset)); };
  if (anchor != caret) {
    int x0 = xAt(std::min(anchor, caret)), x1 = xAt(std::max(anchor, caret));
    FillClipped(canvas, inner, {x0, inner.top + 1, x1 - x0, inner.height - 2}, kSelectionFill);
  }
  DrawTextClipped(canvas, inner, FontKind::Normal, inner.left - scroll, top, text, colour);
  FillClipped(canvas, inner, {xAt(caret), inner.top + 1, 1, inner.height - 2}, kTextColour);
}

size_t EditCaretAt(Rect rect, std::string_view text, const EditLook& look, int x) {
  Rect inner = EditTextRect(rect);
  int scroll = look.control.focused ? EditScroll(inner, text, look.caret) : 0;
  size_t best = 0;
  int bestDistance = -1;
  for (size_t offset : CharacterBoundaries(text)) {
    int distance = std::abs(inner.left - scroll + TextWidth(FontKind::Normal, text.substr(0, offset)) - x);
    if (bestDistance < 0 || distance < bestDistance) {
      best = offset;
      bestDistance = distance;
    }
  }
  return best;
}

int ListRowHeight() { return ScaledPixels(kListRowHeight); }
int ScrollBarWidth() { return ScaledPixels(kScrollBarWidth); }

int ListVisibleRows(Rect rect) { return std::max(0, (rect.height - 2) / ListRowHeight()); }

bool ListHasScrollBar(Rect rect, int rowCount) { return rowCount > ListVisibleRows(rect); }

Rect ListScrollBarRect(Rect rect) {
  return {rect.left + rect.width - 1 - ScrollBarWidth(), rect.top + 1, ScrollBarWidth(), std::max(0, rect.height - 2)};
}

int ListRowAt(Rect rect, int rowCount, int firstRow, int x, int y) {
  Rect inner = ListInnerRect(rect, rowCount);
  if (!RectContains(inner, x, y)) return -1;
  int row = firstRow + (y - inner.top) / ListRowHeight();
  return row >= 0 && row < rowCount ? row : -1;
}

void DrawListBox(Canvas& canvas, Rect rect, std::span<const std::string> rows, const ListLook& look) {
  const ControlLook& c = look.control;
  int rowCount = int(rows.size());
  FillClipped(canvas, rect, rect, c.enabled ? kFieldColour : kGreyedFill);
  FrameClipped(canvas, rect, rect, !c.enabled ? kGreyedEdge : c.focused ? kAccentColour : kEdgeColour);
  Rect inner = ListInnerRect(rect, rowCount);
  for (int row = std::max(0, look.firstRow); row < rowCount; ++row) {
    Rect line = {inner.left, inner.top + (row - look.firstRow) * ListRowHeight(), inner.width, ListRowHeight()};
    if (line.top >= inner.top + inner.height) break;
    uint32_t text = c.enabled ? kTextColour : kGreyedTextColour;
    if (row == look.selected) {
      bool strong = c.focused && c.enabled;
      FillClipped(canvas, inner, line, strong ? kAccentColour : kListSelectedUnfocused);
      if (strong) text = Rgb(255, 255, 255);
    } else if (row == look.hoverRow && c.enabled) {
      FillClipped(canvas, inner, line, kListHoverFill);
    }
    Rect textArea = IntersectRects(inner, {line.left + 4, line.top, line.width - 8, line.height});
    DrawTextClipped(canvas, textArea, FontKind::Normal, line.left + 4, CentredTextTop(FontKind::Normal, line),
                    FitText(FontKind::Normal, rows[size_t(row)], line.width - 8), text);
  }
  if (ListHasScrollBar(rect, rowCount)) {
    DrawScrollBar(canvas, ListScrollBarRect(rect), rowCount, ListVisibleRows(rect), look.firstRow,
                  {c.enabled, false, false, false});
  }
}

Rect ScrollThumbRect(Rect bar, int total, int visible, int first) {
  if (total <= visible || total <= 0) return bar;
  int height = std::max(std::min(16, bar.height), bar.height * visible / total);
  int range = bar.height - height;
  int top = bar.top + int(int64_t(range) * std::clamp(first, 0, total - visible) / (total - visible));
  return {bar.left, top, bar.width, height};
}

int ScrollFirstForThumbTop(Rect bar, int total, int visible, int thumbTop) {
  if (total <= visible) return 0;
  Rect thumb = ScrollThumbRect(bar, total, visible, 0);
  int range = bar.height - thumb.height;
  if (range <= 0) return 0;
  int offset = std::clamp(thumbTop - bar.top, 0, range);
  return std::clamp(int((int64_t(offset) * (total - visible) + range / 2) / range), 0, total - visible);
}

void DrawScrollBar(Canvas& canvas, Rect rect, int total, int visible, int first, ControlLook look) {
  FillClipped(canvas, rect, rect, kTrackFill);
  if (total <= visible) return;
  Rect thumb = ScrollThumbRect(rect, total, visible, first);
  uint32_t fill = !look.enabled ? kGreyedEdge : (look.hover || look.pressed) ? kThumbHoverFill : kThumbFill;
  RoundedBox(canvas, rect, {thumb.left + 2, thumb.top + 1, thumb.width - 4, thumb.height - 2}, fill, fill);
}

void DrawColourSwatch(Canvas& canvas, Rect rect, uint32_t colour, ControlLook look) {
  uint32_t edge = !look.enabled ? kGreyedEdge : (look.hover || look.pressed || look.focused) ? kAccentColour : Rgb(96, 96, 102);
  FrameClipped(canvas, rect, rect, edge);
  FrameClipped(canvas, rect, InsetRect(rect, 1), look.focused && look.enabled ? kFocusRing : Rgb(255, 255, 255));
  FillClipped(canvas, rect, InsetRect(rect, 2), look.enabled ? colour : MixColours(colour, kPanelColour, 170));
}

void DrawPictureBox(Canvas& canvas, Rect rect, const Canvas& picture, ControlLook look) {
  FrameClipped(canvas, rect, rect, look.enabled ? kEdgeColour : kGreyedEdge);
  Rect inner = InsetRect(rect, 1);
  FillClipped(canvas, rect, inner, look.enabled ? Rgb(246, 246, 246) : kGreyedFill);
  if (picture.width <= 0 || picture.height <= 0 || Empty(inner)) return;
  // Scale to fit, keeping the proportions; nearest sample is what a preview needs.
  double scale = std::min(double(inner.width) / picture.width, double(inner.height) / picture.height);
  int width = std::max(1, int(picture.width * scale)), height = std::max(1, int(picture.height * scale));
  int left = inner.left + (inner.width - width) / 2, top = inner.top + (inner.height - height) / 2;
  Rect area = IntersectRects(IntersectRects(inner, {left, top, width, height}), CanvasRect(canvas));
  for (int y = area.top; y < area.top + area.height; ++y) {
    int sy = std::min(picture.height - 1, int(int64_t(y - top) * picture.height / height));
    for (int x = area.left; x < area.left + area.width; ++x) {
      int sx = std::min(picture.width - 1, int(int64_t(x - left) * picture.width / width));
      uint32_t pixel = picture.pixels[size_t(sy) * size_t(picture.width) + size_t(sx)] & 0x00FFFFFF;
      canvas.pixels[size_t(y) * size_t(canvas.width) + size_t(x)] = look.enabled ? pixel : MixColours(pixel, kPanelColour, 170);
    }
  }
}

SliderTrackGeometry SliderTrackGeometryOf(Rect rect) {
  return {rect.left + 6, rect.width - 12, rect.top + rect.height / 2};
}

void DrawSlider(Canvas& canvas, Rect rect, int value, int maximum, ControlLook look) {
  const SliderTrackGeometry g = SliderTrackGeometryOf(rect);
  const int trackLeft = g.left, trackWidth = g.width, cy = g.centre;
  int position = maximum > 0 ? trackLeft + int(int64_t(trackWidth) * std::clamp(value, 0, maximum) / maximum) : trackLeft;
  RoundedBox(canvas, rect, {trackLeft, cy - 2, trackWidth, 4}, kSliderTrack, kSliderTrack);
  if (look.enabled) RoundedBox(canvas, rect, {trackLeft, cy - 2, position - trackLeft + 1, 4}, kAccentColour, kAccentColour);
  if (maximum > 0 && maximum <= 20) {
    for (int step = 0; step <= maximum; ++step) {
      int x = trackLeft + int(int64_t(trackWidth) * step / maximum);
      FillClipped(canvas, rect, {x, cy + 5, 1, 3}, look.enabled ? kTickColour : kGreyedEdge);
    }
  }
  int thumbHeight = std::min(14, rect.height);
  Rect thumb = {position - 4, cy - thumbHeight / 2 - 1, 9, thumbHeight};
  if (look.focused && look.enabled) RoundedBox(canvas, rect, InsetRect(thumb, -1), kFocusRing, kFocusRing);
  uint32_t fill = !look.enabled ? kGreyedFill : look.pressed ? kButtonPressedFill : kFieldColour;
  uint32_t edge = !look.enabled ? kGreyedEdge : (look.hover || look.pressed) ? kAccentColour : kEdgeColour;
  RoundedBox(canvas, rect, thumb, fill, edge);
}

int SliderValueAt(Rect rect, int maximum, int x) {
  const SliderTrackGeometry g = SliderTrackGeometryOf(rect);
  const int trackWidth = g.width;
  if (maximum <= 0 || trackWidth <= 0) return 0;
  const int offset = x - g.left;
  return std::clamp(int((int64_t(offset) * maximum * 2 + trackWidth) / (int64_t(trackWidth) * 2)), 0, maximum);
}

void DrawTabButton(Canvas& canvas, Rect rect, std::string_view label, bool selected, ControlLook look) {
  uint32_t fill = selected ? kTabSelectedFill : (look.hover && look.enabled) ? kTabHoverFill : kTabFill;
  FillClipped(canvas, rect, rect, fill);
  FrameClipped(canvas, rect, rect, kGroupEdge);
  if (selected) FillClipped(canvas, rect, {rect.left + 1, rect.top + rect.height - 3, rect.width - 2, 2}, kAccentColour);
  if (look.focused && look.enabled) FrameClipped(canvas, rect, InsetRect(rect, 2), kFocusRing);
  FontKind font = selected ? FontKind::Bold : FontKind::Normal;
  Rect inside = InsetRect(rect, 3);
  std::string fitted = FitText(font, label, inside.width);
  DrawTextClipped(canvas, inside, font, AlignedLeft(rect, TextWidth(font, fitted), TextAlign::Centre),
                  CentredTextTop(font, rect) - (selected ? 1 : 0), fitted,
                  look.enabled ? kTextColour : kGreyedTextColour);
}

}  // namespace tsv
