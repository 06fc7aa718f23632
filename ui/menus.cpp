// menus.cpp: the pop-up menu and the pop-up picture grid.
#include "ui/menus.h"

#include <algorithm>
#include <functional>

#include "platform/events.h"
#include "platform/window.h"
#include "ui/widgets.h"

namespace tsv {
namespace {

// A pop-up of `width` x `height` below (left, top) (above the item when there is no room below),
// following the pointer until the button is released (or pressed and released again when it was
// up); Escape or a release outside closes it. `entryAt` gives the entry under a point (or -1),
// `drawEntries` draws the entries inside the frame with the one under the pointer highlighted.
// The screen under the pop-up is put back afterwards. The chosen entry or -1.
int RunPopUp(int width, int height, int left, int top, const std::function<int(Rect box, int x, int y)>& entryAt,
             const std::function<void(Canvas& screen, Rect box, int hot)>& drawEntries) {
  Canvas& screen = mainWindow.frame;
  if (top + height > screen.height) top = std::max(0, top - height - 24);
  left = std::clamp(left, 0, std::max(0, screen.width - width));
  const Rect box{left, top, width, height};
  const Rect saveArea{left, top, width + 4, height + 4};
  Canvas saved = CopyArea(screen, saveArea);

  bool pressed = input.buttonDown;
  int chosen = -1;
  for (int idle = 0;;) {
    FillRect(screen, {left + 4, top + 4, width, height}, Rgb(120, 120, 126));  // the shadow
    FillRect(screen, box, kFieldColour);
    FrameRect(screen, box, kEdgeColour);
    drawEntries(screen, box, entryAt(box, input.mouseX, input.mouseY));
    PresentFrame();
    if (GetNextEvent(20)) {
      idle = 0;
      if (input.event.what == kMouseDown) pressed = true;
      if (input.event.what == kMouseUp && pressed) {
        chosen = entryAt(box, input.event.whereH, input.event.whereV);
        break;
      }
      if (input.event.what == kKeyDown && input.event.message == kCharCancel) break;
    } else if (!HasProgramWindow() && ++idle > 50) {
      break;
    }
  }
  PasteArea(screen, saved, saveArea.left, saveArea.top);
  PresentFrame();
  return chosen;
}

}  // namespace

int PopUpMenu(const std::vector<std::string>& entries, int left, int top, int marked) {
  const ScopedFontScale designSize(1.0f);
  if (entries.empty()) return -1;
  constexpr int kRowHeight = 20;
  int width = 120;
  for (const std::string& e : entries) width = std::max(width, TextWidth(FontKind::Normal, e) + 24);
  const int count = int(entries.size());
  auto rowAt = [count](Rect box, int x, int y) {
    if (x < box.left || x >= box.left + box.width || y <= box.top) return -1;
    const int row = (y - box.top - 1) / kRowHeight;
    return row < count ? row : -1;
  };
  auto draw = [&](Canvas& screen, Rect box, int hot) {
    for (int i = 0; i < count; ++i) {
      const Rect r{box.left + 1, box.top + 1 + i * kRowHeight, box.width - 2, kRowHeight};
      if (i == hot) FillRect(screen, r, kAccentColour);
      if (i == marked) FillRect(screen, {r.left + 3, r.top + r.height / 2 - 2, 4, 4}, i == hot ? Rgb(255, 255, 255) : kTextColour);
      DrawLabel(screen, {r.left + 10, r.top, r.width - 12, r.height}, entries[size_t(i)],
                {TextAlign::Left, FontKind::Normal, true, i == hot ? Rgb(255, 255, 255) : kTextColour});
    }
  };
  return RunPopUp(width, count * kRowHeight + 2, left, top, rowAt, draw);
}

int PopUpPictureGrid(const std::vector<Canvas>& pictures, int columns, int cell, int current, int left, int top) {
  if (pictures.empty() || columns <= 0 || cell <= 4) return -1;
  const int count = int(pictures.size());
  const int rows = (count + columns - 1) / columns;
  auto cellAt = [=](Rect box, int x, int y) {
    if (x <= box.left || y <= box.top || x >= box.left + box.width - 1 || y >= box.top + box.height - 1) return -1;
    const int index = ((y - box.top - 1) / cell) * columns + (x - box.left - 1) / cell;
    return index < count ? index : -1;
  };
  auto draw = [&](Canvas& screen, Rect box, int hot) {
    for (int i = 0; i < count; ++i) {
      const Rect r{box.left + 1 + (i % columns) * cell, box.top + 1 + (i / columns) * cell, cell, cell};
      if (i == hot) FillRect(screen, r, kAccentColour);
      DrawPictureBox(screen, InsetRect(r, 2), pictures[size_t(i)], ControlLook{});
      if (i == current) FrameRect(screen, InsetRect(r, 1), kAccentColour);
    }
  };
  return RunPopUp(columns * cell + 2, rows * cell + 2, left, top, cellAt, draw);
}

}  // namespace tsv
