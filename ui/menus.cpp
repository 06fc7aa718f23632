// menus.cpp: the pop-up menu.
#include "ui/menus.h"

#include <algorithm>

#include "platform/events.h"
#include "platform/window.h"
#include "ui/widgets.h"

namespace tsv {

int PopUpMenu(const std::vector<std::string>& entries, int left, int top) {
  if (entries.empty()) return -1;
  Canvas& screen = mainWindow.frame;
  constexpr int kRowHeight = 20;
  int width = 120;
  for (const std::string& e : entries) width = std::max(width, TextWidth(FontKind::Normal, e) + 24);
  const int height = int(entries.size()) * kRowHeight + 2;
  // Keep the menu on the screen: above the item when there is no room below.
  if (top + height > screen.height) top = std::max(0, top - height - 24);
  left = std::clamp(left, 0, std::max(0, screen.width - width));
  const Rect menu{left, top, width, height};
  const Rect saveArea{left, top, width + 4, height + 4};
  Canvas saved = CopyArea(screen, saveArea);

  bool pressed = input.buttonDown;
  int chosen = -1;
  for (int idle = 0;;) {
    FillRect(screen, {left + 4, top + 4, width, height}, Rgb(120, 120, 126));
    FillRect(screen, menu, kFieldColour);
    FrameRect(screen, menu, kEdgeColour);
    const int row = input.mouseX >= left && input.mouseX < left + width && input.mouseY > top
                        ? (input.mouseY - top - 1) / kRowHeight
                        : -1;
    for (int i = 0; i < int(entries.size()); ++i) {
      const Rect r{left + 1, top + 1 + i * kRowHeight, width - 2, kRowHeight};
      const bool hot = i == row;
      if (hot) FillRect(screen, r, kAccentColour);
      DrawLabel(screen, {r.left + 10, r.top, r.width - 12, r.height}, entries[size_t(i)],
                {TextAlign::Left, FontKind::Normal, true, hot ? Rgb(255, 255, 255) : kTextColour});
    }
    PresentFrame();
    if (GetNextEvent(20)) {
      idle = 0;
      if (input.event.what == kMouseDown) pressed = true;
      if (input.event.what == kMouseUp && pressed) {
        const int x = input.event.whereH, y = input.event.whereV;
        const int at = x >= left && x < left + width && y > top ? (y - top - 1) / kRowHeight : -1;
        chosen = at >= 0 && at < int(entries.size()) ? at : -1;
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

int PopUpPictureGrid(const std::vector<Canvas>& pictures, int columns, int cell, int current, int left, int top) {
  if (pictures.empty() || columns <= 0 || cell <= 4) return -1;
  Canvas& screen = mainWindow.frame;
  const int count = int(pictures.size());
  const int rows = (count + columns - 1) / columns;
  const int width = columns * cell + 2, height = rows * cell + 2;
  if (top + height > screen.height) top = std::max(0, top - height - 24);
  left = std::clamp(left, 0, std::max(0, screen.width - width));
  const Rect grid{left, top, width, height};
  const Rect saveArea{left, top, width + 4, height + 4};
  Canvas saved = CopyArea(screen, saveArea);
  auto cellAt = [&](int x, int y) {
    if (x <= left || y <= top || x >= left + width - 1 || y >= top + height - 1) return -1;
    const int index = ((y - top - 1) / cell) * columns + (x - left - 1) / cell;
    return index < count ? index : -1;
  };

  bool pressed = input.buttonDown;
  int chosen = -1;
  for (int idle = 0;;) {
    FillRect(screen, {left + 4, top + 4, width, height}, Rgb(120, 120, 126));
    FillRect(screen, grid, kFieldColour);
    FrameRect(screen, grid, kEdgeColour);
    const int hot = cellAt(input.mouseX, input.mouseY);
    for (int i = 0; i < count; ++i) {
      const Rect r{left + 1 + (i % columns) * cell, top + 1 + (i / columns) * cell, cell, cell};
      if (i == hot) FillRect(screen, r, kAccentColour);
      DrawPictureBox(screen, InsetRect(r, 2), pictures[size_t(i)], ControlLook{});
      if (i == current) FrameRect(screen, InsetRect(r, 1), kAccentColour);
    }
    PresentFrame();
    if (GetNextEvent(20)) {
      idle = 0;
      if (input.event.what == kMouseDown) pressed = true;
      if (input.event.what == kMouseUp && pressed) {
        chosen = cellAt(input.event.whereH, input.event.whereV);
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

}  // namespace tsv
