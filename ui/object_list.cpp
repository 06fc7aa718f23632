// object_list.cpp: the object list panel and the object pop-up list.
#include "ui/object_list.h"

#include <algorithm>
#include <new>

#include "platform/clock.h"
#include "platform/fonts.h"
#include "platform/events.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "platform/window.h"
#include "render/view_screen.h"
#include "scene/preview_file.h"
#include "scene/scene_state.h"
#include "ui/rooms.h"
#include "ui/widgets.h"

namespace tsv {
namespace {

constexpr uint32_t kCurrentRowColour = Rgb(255, 207, 207);
constexpr int kPopUpWidth = 200;
constexpr int kPopUpMaxRows = 10;
constexpr uint32_t kScrollRepeatMs = 80;

// One row, at the text's scale (the panel's list grows with the interface; the pop-up keeps the
// design's size).
int RowHeight() { return ScaledPixels(kObjectRowHeight); }

void DrawObjectRow(Canvas& canvas, int left, int top, int width, const SceneObject& object, bool current) {
  const int row = RowHeight(), textLeft = left + ScaledPixels(35), textWidth = width - ScaledPixels(37);
  if (current) FillRect(canvas, {left, top, width, row}, kCurrentRowColour);
  DrawObjectListThumbnail(canvas, object, left + ScaledPixels(2), top + ScaledPixels(2));
  DrawTextClipped(canvas, {textLeft, top, textWidth, row}, FontKind::Normal, textLeft, top + ScaledPixels(2),
                  FitText(FontKind::Normal, CountedToText(object.name), textWidth), kTextColour);
  DrawTextClipped(canvas, {textLeft, top, textWidth, row}, FontKind::Small, textLeft, top + ScaledPixels(14),
                  PopUpTypeText(object), kTextColour);
}

void InvertArea(Canvas& canvas, Rect rect) {
  for (int y = std::max(rect.top, 0); y < std::min(rect.top + rect.height, canvas.height); ++y) {
    for (int x = std::max(rect.left, 0); x < std::min(rect.left + rect.width, canvas.width); ++x) {
      uint32_t& p = canvas.pixels[size_t(y) * size_t(canvas.width) + size_t(x)];
      p ^= 0xFFFFFF;
    }
  }
}

}  // namespace

std::vector<int> ListedSlots() {
  std::vector<int> slots;
  for (int slot = 0; slot < kObjectSlotCount; ++slot) {
    if (scene.objectTable[size_t(slot)]) slots.push_back(slot);
  }
  return slots;
}

void DrawObjectListThumbnail(Canvas& canvas, const SceneObject& object, int left, int top) {
  const int side = ScaledPixels(kObjectThumbnailSide);
  if (object.preview.size() != size_t(kThumbnailSize) * kThumbnailSize) {
    FillRect(canvas, {left, top, side, side}, 0);
    return;
  }
  // At a larger text scale the preview is drawn smoothly at the thumbnail's scaled size.
  if (side != kObjectThumbnailSide) {
    DrawScaledPicture(canvas, object.preview, kPreviewSide, {left, top, side, side});
    return;
  }
  // At the design's size each thumbnail pixel is the mean of a 4 x 4 block of the 100 x 100 preview.
  for (int y = 0; y < kObjectThumbnailSide; ++y) {
    for (int x = 0; x < kObjectThumbnailSide; ++x) {
      uint32_t r = 0, g = 0, b = 0;
      for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 4; ++i) {
          uint32_t p = object.preview[size_t(y * 4 + j) * kThumbnailSize + size_t(x * 4 + i)];
          r += (p >> 16) & 0xFF;
          g += (p >> 8) & 0xFF;
          b += p & 0xFF;
        }
      }
      int px = left + x, py = top + y;
      if (px >= 0 && py >= 0 && px < canvas.width && py < canvas.height) {
        canvas.pixels[size_t(py) * size_t(canvas.width) + size_t(px)] = Rgb(uint8_t(r / 16), uint8_t(g / 16), uint8_t(b / 16));
      }
    }
  }
}

std::string PopUpTypeText(const SceneObject& object) {
  if (object.isOrganic) return GetString(kInfoPopupOrganic);
  if (object.isFastSynthetic) return GetString(kInfoPopupFastSynthetic);
  return GetString(kInfoPopupSynthetic);
}

void DrawObjectList(Canvas& canvas, Rect rect) {
  FillRect(canvas, rect, kFieldColour);
  FrameRect(canvas, rect, kEdgeColour);
  const std::vector<int> slots = ListedSlots();
  const int visible = rect.height / RowHeight();
  ui.objectListFirst = std::clamp(ui.objectListFirst, 0, std::max(0, int(slots.size()) - visible));
  const bool scrolls = int(slots.size()) > visible;
  const int rowWidth = rect.width - 2 - (scrolls ? ScrollBarWidth() : 0);
  for (int row = 0; row < visible && ui.objectListFirst + row < int(slots.size()); ++row) {
    const int slot = slots[size_t(ui.objectListFirst + row)];
    DrawObjectRow(canvas, rect.left + 1, rect.top + 1 + row * RowHeight(), rowWidth,
                  *scene.objectTable[size_t(slot)], slot == scene.currentObjectIndex);
  }
  if (scrolls) {
    DrawScrollBar(canvas, {rect.left + rect.width - 1 - ScrollBarWidth(), rect.top + 1, ScrollBarWidth(), rect.height - 2},
                  int(slots.size()), visible, ui.objectListFirst, ControlLook{});
  }
}

int ObjectListSlotAt(Rect rect, int x, int y) {
  if (x < rect.left || y < rect.top + 1 || x >= rect.left + rect.width - 1 || y >= rect.top + rect.height) return -1;
  const std::vector<int> slots = ListedSlots();
  const int index = ui.objectListFirst + (y - rect.top - 1) / RowHeight();
  return index >= 0 && index < int(slots.size()) ? slots[size_t(index)] : -1;
}

void ScrollObjectList(Rect rect, int rows) {
  const int visible = rect.height / RowHeight();
  ui.objectListFirst = std::clamp(ui.objectListFirst + rows, 0, std::max(0, int(ListedSlots().size()) - visible));
}

PopUpGeometry ObjectPopUpGeometry(int count, int left, int bottom) {
  PopUpGeometry g;
  g.rows = std::min(count, kPopUpMaxRows);
  // The list grows upwards: its lower edge is where a full list of ten rows would end.
  g.list = {left, bottom + (kPopUpMaxRows - g.rows) * kObjectRowHeight, kPopUpWidth, g.rows * kObjectRowHeight};
  return g;
}

SceneObject* ObjectPopUp(int left, int bottom) {
  const ScopedFontScale designSize(1.0f);  // the pop-up keeps the design's size
  const std::vector<int> slots = ListedSlots();
  if (slots.empty()) return nullptr;
  const PopUpGeometry g = ObjectPopUpGeometry(int(slots.size()), left, bottom);
  Canvas& screen = mainWindow.frame;
  const Rect saveArea{g.list.left - 2, g.list.top - 2, kPopUpWidth + 14, g.rows * kObjectRowHeight + 14};
  Canvas saved, buffer;
  try {
    saved = CopyArea(screen, saveArea);
    ResizeCanvas(buffer, kPopUpWidth, g.rows * kObjectRowHeight, kFieldColour);
  } catch (const std::bad_alloc&) {
    ShowAlert(GetString(kErrLeaveNow));
    return nullptr;
  }
  // Frame and drop shadow around the list.
  FillRect(screen, {g.list.left + 6, g.list.top + 6, kPopUpWidth, g.rows * kObjectRowHeight}, Rgb(90, 90, 96));
  FrameRect(screen, {g.list.left - 1, g.list.top - 1, kPopUpWidth + 2, g.rows * kObjectRowHeight + 2}, kEdgeColour);

  int first = 0;
  const int lastFirst = int(slots.size()) - g.rows;
  bool pressed = input.buttonDown;
  uint32_t lastScroll = 0;
  int chosen = -1;
  for (int idle = 0;;) {
    // Rows, the current one tinted, the one under the pointer inverted.
    FillRect(buffer, {0, 0, buffer.width, buffer.height}, kFieldColour);
    const int px = input.mouseX - g.list.left, py = input.mouseY - g.list.top;
    const bool inside = px >= 0 && px < kPopUpWidth && py >= 0 && py < g.list.height;
    for (int row = 0; row < g.rows; ++row) {
      const int slot = slots[size_t(first + row)];
      DrawObjectRow(buffer, 0, row * kObjectRowHeight, kPopUpWidth, *scene.objectTable[size_t(slot)],
                    slot == scene.currentObjectIndex);
      if (inside && py / kObjectRowHeight == row) InvertArea(buffer, {0, row * kObjectRowHeight, kPopUpWidth, kObjectRowHeight});
    }
    PasteArea(screen, buffer, g.list.left, g.list.top);
    PresentFrame();

    // Above or below the list, within the width of the list, scrolls it: one row within a row's
    // height of the edge, two further away, at most every 80 ms.
    const uint32_t now = TickCount();
    if (px >= 0 && px < kPopUpWidth && (py < 0 || py >= g.list.height) && now - lastScroll >= kScrollRepeatMs) {
      int step = py < 0 ? (py >= -kObjectRowHeight ? -1 : -2) : (py < g.list.height + kObjectRowHeight ? 1 : 2);
      int next = std::clamp(first + step, 0, lastFirst);
      if (next != first) {
        first = next;
        lastScroll = now;
        continue;
      }
    }
    if (GetNextEvent(20)) {
      idle = 0;
      if (input.event.what == kMouseDown) pressed = true;
      if (input.event.what == kMouseUp && pressed) {
        const int ux = input.event.whereH - g.list.left, uy = input.event.whereV - g.list.top;
        if (ux >= 0 && ux < kPopUpWidth && uy >= 0 && uy < g.list.height) chosen = slots[size_t(first + uy / kObjectRowHeight)];
        break;
      }
      if (input.event.what == kKeyDown && input.event.message == kCharCancel) break;
    } else if (!HasProgramWindow() && ++idle > 50) {
      break;  // no window and no more input: nothing can be chosen
    }
  }
  PasteArea(screen, saved, saveArea.left, saveArea.top);
  PresentFrame();
  return chosen >= 0 ? scene.objectTable[size_t(chosen)].get() : nullptr;
}

}  // namespace tsv
