// message_box.cpp: the layout of a message box, its marks, and running it with the dialog toolkit.
#include "ui/message_box.h"

#include <algorithm>
#include <cmath>

#include "platform/counted_string.h"
#include "platform/fonts.h"
#include "platform/string_table.h"
#include "platform/window.h"
#include "ui/widgets.h"

namespace tsv {
namespace {

constexpr int kMargin = 16;
constexpr int kMarkGap = 14;               // between the mark and the text
constexpr int kMaxTextWidth = 400;
constexpr int kMinContentWidth = 300;
constexpr int kTextToButtons = 18;
constexpr int kButtonHeight = 24, kButtonGap = 8, kMinButtonWidth = 84, kButtonPadding = 28;
constexpr int kBottomMargin = 12;
// The room a box keeps free around itself on a small screen.
constexpr int kScreenMargin = 20;
constexpr uint32_t kStopRed = Rgb(204, 40, 40);
constexpr uint32_t kCautionAmber = Rgb(240, 176, 24);
constexpr uint32_t kCautionEdge = Rgb(170, 118, 0);

int LineStep() { return LineHeight(FontKind::Normal) + 3; }

// Paints `colour` over the pixels of the mark where `inside` holds, weighted by how many of 4 x 4
// samples per pixel fall inside, so that edges are smooth.
template <typename Inside>
void Cover(Canvas& mark, uint32_t colour, Inside inside) {
  for (int y = 0; y < mark.height; ++y) {
    for (int x = 0; x < mark.width; ++x) {
      int hits = 0;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) hits += inside(float(x) + (float(sx) + 0.5f) / 4, float(y) + (float(sy) + 0.5f) / 4);
      }
      if (hits == 0) continue;
      uint32_t& pixel = mark.pixels[size_t(y) * size_t(mark.width) + size_t(x)];
      pixel = MixColours(pixel, colour, hits * 16);
    }
  }
}

// Which side of the line from a to b the point lies on (positive: left, in screen coordinates).
float Side(float ax, float ay, float bx, float by, float x, float y) { return (bx - ax) * (y - ay) - (by - ay) * (x - ax); }

bool InTriangle(float inset, float x, float y) {
  // Apex at the top, base at the bottom; `inset` shrinks it evenly for the inner fill.
  const float ax = 16, ay = 2 + 2 * inset, bx = 30.5f - 1.8f * inset, by = 29.5f - inset, cx = 1.5f + 1.8f * inset, cy = by;
  return Side(ax, ay, bx, by, x, y) >= 0 && Side(bx, by, cx, cy, x, y) >= 0 && Side(cx, cy, ax, ay, x, y) >= 0;
}

// Where a word too wide for a line may be broken: after a '/' when one lies far enough in,
// else at the last character boundary that fits. Never at 0, so every line takes something.
size_t BreakInWord(std::string_view word, int maxWidth) {
  size_t fits = 0, slash = 0;
  for (size_t end = 1; end <= word.size(); ++end) {
    if (end < word.size() && IsTrailByte(word[end])) continue;
    if (TextWidth(FontKind::Normal, word.substr(0, end)) > maxWidth) break;
    fits = end;
    if (word[end - 1] == '/') slash = end;
  }
  if (fits == 0) {
    // Not even one character fits: take one whole character anyway.
    fits = 1;
    while (fits < word.size() && IsTrailByte(word[fits])) ++fits;
    return fits;
  }
  return fits < word.size() && slash * 2 > fits ? slash : fits;
}

std::string HoverOf(const MessageRequest& request, int button) {
  const std::string& label = request.buttons[size_t(button)];
  const int count = int(request.buttons.size());
  StringId id = kHoverBoxOther;
  if (count == 1) {
    id = kHoverBoxClose;
  } else if (button == request.defaultButton) {
    id = kHoverBoxDefault;
  } else if (button == request.cancelButton) {
    id = kHoverBoxCancel;
  }
  return FormatString(id, {label});
}

}  // namespace

std::vector<std::string> WrapMessageText(std::string_view text, int maxWidth) {
  std::vector<std::string> lines;
  maxWidth = std::max(1, maxWidth);
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('\n', start);
    std::string_view paragraph = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    std::string line;
    size_t i = 0;
    for (;;) {
      const size_t space = paragraph.find(' ', i);
      std::string_view word = paragraph.substr(i, space == std::string_view::npos ? std::string_view::npos : space - i);
      for (;;) {
        const std::string candidate = line.empty() ? std::string(word) : line + " " + std::string(word);
        if (TextWidth(FontKind::Normal, candidate) <= maxWidth) {
          line = candidate;
          break;
        }
        if (!line.empty()) {
          // The word goes onto the next line, and may still need breaking there.
          lines.push_back(std::move(line));
          line.clear();
          continue;
        }
        const size_t cut = BreakInWord(word, maxWidth);
        lines.emplace_back(word.substr(0, cut));
        word.remove_prefix(cut);
        if (word.empty()) break;
      }
      if (space == std::string_view::npos) break;
      i = space + 1;
    }
    lines.push_back(std::move(line));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

void DrawMessageMark(Canvas& mark, MessageMark kind) {
  ResizeCanvas(mark, kMessageMarkSize, kMessageMarkSize, kPanelColour);
  constexpr float kCentre = kMessageMarkSize / 2.0f;
  if (kind == MessageMark::Stop) {
    // A red disc with a white cross.
    Cover(mark, kStopRed, [](float x, float y) {
      return (x - kCentre) * (x - kCentre) + (y - kCentre) * (y - kCentre) <= 15.0f * 15.0f;
    });
    Cover(mark, Rgb(255, 255, 255), [](float x, float y) {
      const float dx = x - kCentre, dy = y - kCentre;
      if (std::max(std::fabs(dx), std::fabs(dy)) > 7.5f) return false;
      return std::fabs(dx - dy) <= 3.2f || std::fabs(dx + dy) <= 3.2f;
    });
    return;
  }
  // An amber triangle with a dark edge and an exclamation mark.
  Cover(mark, kCautionEdge, [](float x, float y) { return InTriangle(0, x, y); });
  Cover(mark, kCautionAmber, [](float x, float y) { return InTriangle(1.2f, x, y); });
  Cover(mark, kTextColour, [](float x, float y) {
    const bool bar = std::fabs(x - kCentre) <= 1.6f && y >= 10.5f && y <= 21.5f;
    const bool dot = (x - kCentre) * (x - kCentre) + (y - 25.0f) * (y - 25.0f) <= 1.9f * 1.9f;
    return bar || dot;
  });
}

Dialog MakeMessageBox(const MessageRequest& request, int screenWidth, int screenHeight, Canvas& mark) {
  MessageRequest r = request;
  if (r.buttons.empty()) r.buttons = {GetString(kDialogOk)};
  const int count = int(r.buttons.size());
  r.defaultButton = std::clamp(r.defaultButton, 0, count - 1);
  r.cancelButton = std::clamp(r.cancelButton, 0, count - 1);

  Dialog box;
  box.title = r.title;
  const int textLeft = kMargin + kMessageMarkSize + kMarkGap;
  // A narrow screen narrows the text before anything else.
  const int chrome = 2 + kWindowShadow;
  const int textRoom = std::max(80, std::min(kMaxTextWidth, screenWidth - kScreenMargin - chrome - textLeft - kMargin));
  std::vector<std::string> lines = WrapMessageText(r.text, textRoom);
  int textWidth = 0;
  for (const std::string& line : lines) textWidth = std::max(textWidth, TextWidth(FontKind::Normal, line));

  std::vector<int> buttonWidths;
  int buttonsWidth = 0;
  for (const std::string& label : r.buttons) {
    buttonWidths.push_back(std::max(kMinButtonWidth, TextWidth(FontKind::Normal, label) + kButtonPadding));
    buttonsWidth += buttonWidths.back() + (buttonWidths.size() > 1 ? kButtonGap : 0);
  }
  box.width = std::max({kMinContentWidth, textLeft + textWidth + kMargin, kMargin + buttonsWidth + kMargin});

  // A text taller than the screen keeps the lines that fit; the last one shown says it goes on.
  const int step = LineStep();
  const int fixedHeight = kMargin + kTextToButtons + kButtonHeight + kBottomMargin;
  const int roomHeight = screenHeight - kScreenMargin - (kWindowTitleHeight + 1 + kWindowShadow) - fixedHeight;
  const size_t maxLines = size_t(std::max(1, roomHeight / step));
  if (lines.size() > maxLines) {
    lines.resize(maxLines);
    lines.back() = FitText(FontKind::Normal, lines.back() + " \xE2\x80\xA6", textRoom);
  }
  const int textHeight = int(lines.size()) * step;
  const int bodyHeight = std::max(kMessageMarkSize, textHeight);
  const int buttonsTop = kMargin + bodyHeight + kTextToButtons;
  box.height = buttonsTop + kButtonHeight + kBottomMargin;

  // The buttons first, the default one leading: it has the keyboard focus when the box opens.
  std::vector<int> order;
  order.push_back(r.defaultButton);
  for (int k = 0; k < count; ++k) {
    if (k != r.defaultButton) order.push_back(k);
  }
  std::vector<int> lefts(static_cast<size_t>(count));
  int left = box.width - kMargin - buttonsWidth;
  for (int k = 0; k < count; ++k) {
    lefts[size_t(k)] = left;
    left += buttonWidths[size_t(k)] + kButtonGap;
  }
  for (int k : order) {
    ButtonRole role = ButtonRole::Close;
    if (k == r.defaultButton) {
      role = ButtonRole::Ok;
    } else if (k == r.cancelButton) {
      role = ButtonRole::Cancel;
    }
    const int index = AddButton(box, {lefts[size_t(k)], buttonsTop, buttonWidths[size_t(k)], kButtonHeight},
                                r.buttons[size_t(k)], role, HoverOf(r, k));
    box.items[size_t(index)].id = kBoxItemFirstButton + k;
  }

  DrawMessageMark(mark, r.mark);
  const int markIndex = AddPicture(box, {kMargin, kMargin, kMessageMarkSize, kMessageMarkSize}, &mark);
  box.items[size_t(markIndex)].framed = false;
  box.items[size_t(markIndex)].id = kBoxItemMark;
  // A short text stands level with the middle of the mark.
  const int textTop = kMargin + (bodyHeight - textHeight) / 2;
  for (size_t k = 0; k < lines.size(); ++k) {
    const int index = AddLabel(box, {textLeft, textTop + int(k) * step, box.width - textLeft - kMargin, step}, lines[k]);
    box.items[size_t(index)].id = kBoxItemFirstLine + int(k);
  }
  return box;
}

int RunMessageBox(const MessageRequest& request) {
  Canvas mark;
  Dialog box = MakeMessageBox(request, mainWindow.frame.width, mainWindow.frame.height, mark);
  const int count = std::max(1, int(request.buttons.size()));
  const DialogResult result = RunDialog(box);
  if (result.item >= 0 && result.item < int(box.items.size())) {
    const int button = box.items[size_t(result.item)].id - kBoxItemFirstButton;
    if (button >= 0 && button < count) return button;
  }
  // Escape in a box without a Cancel button, or the window's close request.
  return std::clamp(request.cancelButton, 0, count - 1);
}

}  // namespace tsv
