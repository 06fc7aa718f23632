// rooms.cpp: placing, hit testing and drawing the current room.
#include "ui/rooms.h"

#include <algorithm>
#include <cmath>

#include "platform/clock.h"
#include "platform/preferences.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/window.h"
#include "render/render_state.h"
#include "render/soft_draw.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "ui/object_list.h"
#include "ui/panel_table.h"
#include "ui/panels.h"
#include "ui/room_panels.h"
#include "ui/task_panel.h"
#include "ui/widgets.h"

namespace tsv {

UiState ui;

namespace {

// The design the panels are laid out for: left column, view block, right column.
constexpr int kLeftColumnRight = 304;
constexpr int kRightColumnWidth = 200;
constexpr int kViewBlockWidth = kThumbnailOffset + kThumbnailSize;
constexpr int kViewTop = 84;
// The hover text appears when the pointer has rested this long on an item.
constexpr uint32_t kHoverDelayMs = 600;

uint32_t ColourOf(const Rgb16& c) { return Rgb(uint8_t(c.red >> 8), uint8_t(c.green >> 8), uint8_t(c.blue >> 8)); }

void DrawTrackball(Canvas& canvas, Rect rect, const ControlLook& look) {
  // A shaded ball: lighter toward the upper left, as if lit from there.
  const int r = std::min(rect.width, rect.height) / 2 - 2;
  const int cx = rect.left + rect.width / 2, cy = rect.top + rect.height / 2;
  for (int y = -r; y <= r; ++y) {
    for (int x = -r; x <= r; ++x) {
      int d2 = x * x + y * y;
      if (d2 > r * r) continue;
      double z = std::sqrt(double(r * r - d2)) / r;
      double light = std::clamp(0.35 + 0.5 * z + 0.25 * (-x - y) / (1.4 * r), 0.0, 1.0);
      uint8_t g = uint8_t((look.enabled ? 60 : 140) + light * (look.enabled ? 180 : 90));
      uint8_t b = uint8_t(std::min(255, g + (look.enabled ? 20 : 0)));
      int px = cx + x, py = cy + y;
      if (px >= 0 && py >= 0 && px < canvas.width && py < canvas.height) {
        canvas.pixels[size_t(py) * size_t(canvas.width) + size_t(px)] = Rgb(g, g, b);
      }
    }
  }
}

void DrawReadout(Canvas& canvas, Rect rect) {
  // The amount readout: a dark box the tools print their amounts into while they run.
  FillRect(canvas, rect, 0x222222);
}

void DrawSliderItem(Canvas& canvas, Rect rect, const std::string& label, int value, int maximum, const ControlLook& look) {
  const int labelWidth = label.empty() ? 0 : std::min(92, rect.width / 3);
  if (labelWidth > 0) {
    DrawLabel(canvas, {rect.left, rect.top, labelWidth - 4, rect.height}, label, {TextAlign::Left, FontKind::Normal, look.enabled});
  }
  DrawSlider(canvas, {rect.left + labelWidth, rect.top, rect.width - labelWidth, rect.height}, value, maximum, look);
}

void DrawMenuItem(Canvas& canvas, Rect rect, const std::string& text, const ControlLook& look) {
  DrawPushButton(canvas, rect, text + "  \xE2\x96\xBE", look);  // a small down-pointing triangle
}

void DrawItem(Canvas& canvas, const PanelLayout& panel, const PanelItem& item, Rect rect, int panelNumber) {
  ControlLook look;
  look.enabled = ItemEnabled(panel, item);
  look.hover = look.enabled && ui.hoverPanel == panelNumber && ui.hoverItem == item.id;
  look.pressed = ui.pressedPanel == panelNumber && ui.pressedItem == item.id && ui.pressedInside;
  const std::string text = ItemText(panel, item);
  switch (item.kind) {
    case ItemKind::Tab:
      DrawTabButton(canvas, rect, text, ItemChecked(panel, item), look);
      break;
    case ItemKind::Button:
    case ItemKind::Drag:
      DrawPushButton(canvas, rect, text, look);
      break;
    case ItemKind::Toggle:
      DrawCheckBox(canvas, rect, text, ItemChecked(panel, item), look);
      break;
    case ItemKind::Menu:
      DrawMenuItem(canvas, rect, text, look);
      break;
    case ItemKind::Slider:
      DrawSliderItem(canvas, rect, text, ItemValue(panel, item), ItemMaximum(panel, item), look);
      break;
    case ItemKind::Swatch: {
      DrawLabel(canvas, {rect.left, rect.top, rect.width, 14}, text, {TextAlign::Left, FontKind::Small, look.enabled});
      DrawColourSwatch(canvas, {rect.left, rect.top + 14, rect.width, rect.height - 14}, ItemColour(panel, item), look);
      break;
    }
    case ItemKind::Trackball:
      DrawTrackball(canvas, rect, look);
      break;
    case ItemKind::Readout:
      DrawReadout(canvas, rect);
      break;
    case ItemKind::Label:
      DrawLabel(canvas, rect, text, {TextAlign::Left, FontKind::Bold, true});
      break;
    case ItemKind::List:
      if (const PanelHandlers& handlers = PanelHandlersOf(panel); handlers.drawList != nullptr) {
        handlers.drawList(canvas, rect, look.enabled);
      } else {
        DrawListBox(canvas, rect, {}, ListLook{look});
      }
      break;
    case ItemKind::Picture: {
      if (!text.empty()) {
        DrawLabel(canvas, {rect.left, rect.top, rect.width, 14}, text, {TextAlign::Left, FontKind::Small, look.enabled});
        rect = {rect.left, rect.top + 14, rect.width, rect.height - 14};
      }
      DrawPictureBox(canvas, rect, ItemPicture(panel, item), look);
      break;
    }
    case ItemKind::Field:
      DrawEditField(canvas, rect, text, EditLook{look});
      break;
    case ItemKind::View:
      break;
  }
}

// The current object through the renderer, its thumbnail redrawn with it, and the time or speed
// of the redraw in the view's corner when the preferences ask for it.
void DrawModelingView(Canvas& canvas) {
  SoftDrawOptions options;
  options.texturedObjects = ui.texturedObjects;
  options.depthView = ui.depthView;
  options.maskRoom = ui.currentRoom == kMaskRoomNumber;
  options.fullDetail = ui.fullDetail;
  options.updateThumbnail = true;
  options.renderer = uint8_t(preferences.rendererWord & 0xFF);
  if (!SoftDraw(scene.currentObject, options)) return;
  Canvas picture{kViewSize, kViewSize, renderState.viewPicture};
  PasteArea(canvas, picture, ui.viewRect.left, ui.viewRect.top);
  DrawViewOverlay(canvas);
  const std::string readout = RedrawReadoutText(preferences.displayChoice);
  if (!readout.empty()) {
    DrawLabel(canvas, {ui.viewRect.left + 6, ui.viewRect.top + 4, 120, 16}, readout,
              {TextAlign::Left, FontKind::Small, true, Rgb(200, 200, 200)});
  }
}

void DrawStrip(Canvas& canvas) {
  FillRect(canvas, ui.stripRect, kPanelColour);
  const SceneObject* object = scene.currentObject;
  std::string title = object ? CountedToText(object->name) + "  (" + ObjectTypeText(*object) + ")"
                             : GetString(kUiNoCurrentObject);
  if (object && object->hasUnsavedChanges) title += "  " + GetString(kUiModifiedMark);
  DrawLabel(canvas, {ui.stripRect.left, ui.stripRect.top, kViewSize, ui.stripRect.height}, title,
            {TextAlign::Left, FontKind::Bold, object != nullptr});
}

void DrawViews(Canvas& canvas) {
  const uint32_t background = ColourOf(preferences.modelingBackground);
  if (ui.currentRoom == kComposerRoomNumber) {
    FillRect(canvas, ui.composerViewRect, ColourOf(preferences.composerBackground));
    return;
  }
  DrawStrip(canvas);
  FillRect(canvas, ui.viewRect, background);
  FillRect(canvas, ui.thumbnailRect, background);
  if (scene.currentObject == nullptr) return;
  DrawModelingView(canvas);
  if (scene.currentObject->preview.size() == size_t(kThumbnailSize) * kThumbnailSize) {
    Canvas preview{kThumbnailSize, kThumbnailSize, scene.currentObject->preview};
    PasteArea(canvas, preview, ui.thumbnailRect.left, ui.thumbnailRect.top);
  }
}

}  // namespace

void ResetUiState() {
  InterfaceLayout layout = std::move(ui.layout);
  ui = UiState{};
  ui.layout = std::move(layout);
}

bool LoadInterface() { return LoadInterfaceLayout(ui.layout); }

const RoomLayout* CurrentRoomLayout() {
  for (const RoomLayout& room : ui.layout.rooms) {
    if (room.number == ui.currentRoom) return &room;
  }
  return nullptr;
}

void PlaceRoom(int frameWidth, int frameHeight, bool force) {
  if (!force && frameWidth == ui.frameWidth && frameHeight == ui.frameHeight && !ui.placed.empty()) return;
  ui.frameWidth = frameWidth;
  ui.frameHeight = frameHeight;
  // The view block stays centred between the columns, and vertically in the space below the top
  // strip when the window is taller than the design.
  const int centreWidth = frameWidth - kRightColumnWidth - kLeftColumnRight;
  const int viewLeft = kLeftColumnRight + std::max(0, (centreWidth - kViewBlockWidth) / 2);
  const int viewTop = kViewTop + std::max(0, (frameHeight - kDesignHeight) / 2);
  ui.viewRect = {viewLeft, viewTop, kViewSize, kViewSize};
  ui.thumbnailRect = {viewLeft + kThumbnailOffset, viewTop, kThumbnailSize, kThumbnailSize};
  ui.stripRect = {viewLeft, viewTop - kStripHeight - 2, kViewBlockWidth, kStripHeight};
  // The composer view: the rectangle of the preferences (height, width, top, left) when it was
  // ever set, else the composer picture's size at the view's place.
  const auto& r = preferences.composerViewRect;
  if (r[0] > 0 && r[1] > 0) {
    ui.composerViewRect = {r[3], r[2], r[1], r[0]};
  } else {
    ui.composerViewRect = {viewLeft, viewTop - kStripHeight, kViewSize, 300};
  }

  ui.placed.clear();
  const RoomLayout* room = CurrentRoomLayout();
  if (room == nullptr) return;
  for (const PanelPlace& place : room->places) {
    const PanelLayout& panel = ui.layout.panels[size_t(place.layout)];
    PlacedPanel placed;
    placed.layout = place.layout;
    placed.rect.width = panel.width;
    placed.rect.height = panel.height;
    placed.rect.left = place.xAnchor == Anchor::Right  ? frameWidth - panel.width - place.dx
                       : place.xAnchor == Anchor::View ? viewLeft + place.dx
                                                       : place.dx;
    placed.rect.top = place.yAnchor == Anchor::Bottom ? frameHeight - panel.height - place.dy
                      : place.yAnchor == Anchor::View ? viewTop + place.dy
                                                      : place.dy;
    ui.placed.push_back(placed);
  }
}

void SetCurrentRoom(int room) {
  if (room < 1 || room > kRoomCount) return;
  ui.currentRoom = room;
  ui.hoverPanel = ui.hoverItem = 0;
  PlaceRoom(ui.frameWidth, ui.frameHeight, true);
}

const PlacedPanel* FindPlacedPanel(int panelNumber) {
  for (const PlacedPanel& placed : ui.placed) {
    if (ui.layout.panels[size_t(placed.layout)].number == panelNumber) return &placed;
  }
  return nullptr;
}

const PanelLayout& LayoutOf(const PlacedPanel& placed) { return ui.layout.panels[size_t(placed.layout)]; }

uint16_t HitTest(int x, int y) {
  uint16_t code = 0;
  for (const PlacedPanel& placed : ui.placed) {
    const Rect& r = placed.rect;
    if (x < r.left || y < r.top || x >= r.left + r.width || y >= r.top + r.height) continue;
    const PanelLayout& panel = LayoutOf(placed);
    uint8_t item = panel.itemMap[size_t(y - r.top) * size_t(panel.width) + size_t(x - r.left)];
    if (item != 0) code = uint16_t(panel.number * 256 + item);
  }
  if (ui.currentRoom != kComposerRoomNumber) {
    // The strip over the view: the object's title, and over the thumbnail when the preference says so.
    const Rect& s = ui.stripRect;
    if (y >= s.top && y < s.top + s.height) {
      if (x >= s.left && x < s.left + kViewSize) code = kStripPanel * 256 + 1;
      if (preferences.showSecondStripItem && x >= s.left + kThumbnailOffset && x < s.left + kThumbnailOffset + kViewSize) {
        code = kStripPanel * 256 + 2;
      }
    }
    const Rect& v = ui.viewRect;
    if (x >= v.left && y >= v.top && x < v.left + v.width && y < v.top + v.height) code = kPartModelingView;
  } else {
    const Rect& c = ui.composerViewRect;
    if (x >= c.left && y >= c.top && x < c.left + c.width && y < c.top + c.height) code = kPartComposerView;
  }
  return code;
}

std::string HoverTextOf(uint16_t partCode) {
  const int panelNumber = partCode >> 8, itemId = partCode & 0xFF;
  if (partCode == kPartModelingView) return GetString(kHoverModelingView);
  if (partCode == kPartComposerView) return GetString(kHoverComposerView);
  if (panelNumber == kStripPanel) return GetString(kHoverStrip);
  const PlacedPanel* placed = FindPlacedPanel(panelNumber);
  if (placed == nullptr) return {};
  const PanelItem* item = FindItem(LayoutOf(*placed), itemId);
  if (item == nullptr || item->hover == 0) return {};
  return SubstitutePlaceholder(GetStringById(item->hover), 0, ItemText(LayoutOf(*placed), *item));
}

void DrawInterface(Canvas& canvas) {
  if (canvas.width == 0) return;
  PlaceRoom(canvas.width, canvas.height);
  FillRect(canvas, {0, 0, canvas.width, canvas.height}, kPanelColour);
  DrawViews(canvas);
  for (const PlacedPanel& placed : ui.placed) {
    const PanelLayout& panel = LayoutOf(placed);
    PasteArea(canvas, panel.picture, placed.rect.left, placed.rect.top);
    // The frames themselves are part of the panel's picture; their titles sit on the top line.
    for (const PanelFrame& frame : panel.frames) {
      if (frame.title == 0) continue;
      const std::string title = GetStringById(frame.title);
      const int left = placed.rect.left + frame.rect.left + 8, top = placed.rect.top + frame.rect.top - 7;
      const int width = std::min(TextWidth(FontKind::Bold, title) + 8, frame.rect.width - 16);
      FillRect(canvas, {left, top, width, 14}, kPanelColour);
      DrawLabel(canvas, {left + 4, top, width - 4, 14}, title, {TextAlign::Left, FontKind::Bold, true});
    }
    for (const PanelItem& item : panel.items) {
      Rect r{placed.rect.left + item.rect.left, placed.rect.top + item.rect.top, item.rect.width, item.rect.height};
      DrawItem(canvas, panel, item, r, panel.number);
    }
  }
  // The hover text of the item the pointer rests on.
  if (ui.hoverPanel != 0 && ui.pressedPanel == 0 && TickCount() - ui.hoverSince >= kHoverDelayMs) {
    std::string text = HoverTextOf(uint16_t(ui.hoverPanel * 256 + ui.hoverItem));
    if (!text.empty()) {
      Rect box = HoverBoxRect({0, 0, canvas.width, canvas.height}, ui.pointerX, ui.pointerY, text);
      DrawHoverBox(canvas, box, text);
    }
  }
}

}  // namespace tsv
