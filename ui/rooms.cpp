// rooms.cpp: placing, hit testing and drawing the current room.
#include "ui/rooms.h"

#include <algorithm>
#include <cmath>

#include "platform/clock.h"
#include "platform/fonts.h"
#include "platform/platform_state.h"
#include "platform/settings.h"
#include "platform/preferences.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/window.h"
#include "render/render_state.h"
#include "render/soft_draw.h"
#include "render/view_screen.h"
#include "scene/native_files.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "scene/vec3.h"
#include "ui/brush_panel.h"
#include "ui/object_commands.h"
#include "ui/object_list.h"
#include "ui/composer_panel.h"
#include "ui/layout_ids.h"
#include "ui/panel_table.h"
#include "ui/panels.h"
#include "ui/quorvel_panel.h"
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

// The composer's light ball: a ball lit as the scene is, by the light of `angles` (fixed to the
// camera: x right, y up, z towards the viewer), with the light's highlight on it, so that the
// ball shows where the light comes from as it is turned.
void DrawLightBall(Canvas& canvas, Rect rect, const ControlLook& look, const std::array<float, 3>& angles) {
  const Rotation3 r = ViewRotationMatrix(angles);
  const Vec3f light = Normalised(Vec3f{r[2], r[5], r[8]});
  const int radius = std::min(rect.width, rect.height) / 2 - 2;
  if (radius <= 0) return;
  const int cx = rect.left + rect.width / 2, cy = rect.top + rect.height / 2;
  for (int y = -radius; y <= radius; ++y) {
    for (int x = -radius; x <= radius; ++x) {
      const int d2 = x * x + y * y;
      if (d2 > radius * radius) continue;
      const Vec3f n{float(x) / float(radius), -float(y) / float(radius),
                    std::sqrt(float(radius * radius - d2)) / float(radius)};
      const float diffuse = std::max(0.0f, Dot(n, light));
      // The mirror of the light about the normal, seen along the viewing axis.
      const float mirror = 2.0f * Dot(n, light) * n.z - light.z;
      const float highlight = mirror > 0 ? std::pow(mirror, 24.0f) : 0.0f;
      const float level = std::clamp(0.18f + 0.62f * diffuse + 0.5f * highlight, 0.0f, 1.0f);
      const uint8_t g = uint8_t((look.enabled ? 40 : 140) + level * (look.enabled ? 210 : 90));
      const uint8_t b = uint8_t(std::min(255, g + (look.enabled ? 18 : 0)));
      const int px = cx + x, py = cy + y;
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

void DrawSliderItem(Canvas& canvas, const PanelLayout& panel, const PanelItem& item, Rect rect, const std::string& label,
                    const ControlLook& look) {
  const SliderParts parts = SliderPartsOf(rect, !label.empty());
  if (parts.label.width > 0) DrawLabel(canvas, parts.label, label, {TextAlign::Left, FontKind::Normal, look.enabled});
  const int value = ItemValue(panel, item), maximum = ItemMaximum(panel, item);
  DrawSlider(canvas, parts.track, value, maximum, look);
  const PanelHandlers& handlers = PanelHandlersOf(panel);
  // The neutral value's mark: a short line across the track.
  const int neutral = handlers.neutral != nullptr ? handlers.neutral(item.id) : -1;
  if (neutral >= 0 && neutral <= maximum && maximum > 0) {
    const SliderTrackGeometry g = SliderTrackGeometryOf(parts.track);
    const int x = g.left + int(int64_t(g.width) * neutral / maximum);
    const uint32_t colour = look.enabled ? Rgb(60, 60, 60) : Rgb(160, 160, 160);
    FillRect(canvas, {x, g.centre - Scaled(7), 1, Scaled(3)}, colour);
    FillRect(canvas, {x, g.centre + Scaled(5), 1, Scaled(3)}, colour);
  }
  std::string shown = std::to_string(value);
  if (handlers.valueText != nullptr) (void)handlers.valueText(item.id, value, shown);  // false keeps the number
  DrawLabel(canvas, parts.value, shown, {TextAlign::Right, FontKind::Small, look.enabled});
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
    case ItemKind::Drag: {
      DrawPushButton(canvas, rect, text, look);
      const PanelHandlers& handlers = PanelHandlersOf(panel);
      const uint32_t mark = handlers.colour != nullptr ? handlers.colour(item.id) : kNoItemColour;
      if (mark != kNoItemColour) {
        const int inset = Scaled(3), height = Scaled(4);
        FillRect(canvas, {rect.left + inset, rect.top + rect.height - inset - height, rect.width - 2 * inset, height}, mark);
      }
      break;
    }
    case ItemKind::Toggle:
      DrawCheckBox(canvas, rect, text, ItemChecked(panel, item), look);
      break;
    case ItemKind::Menu:
      DrawMenuItem(canvas, rect, text, look);
      break;
    case ItemKind::Slider:
      DrawSliderItem(canvas, panel, item, rect, text, look);
      break;
    case ItemKind::Swatch: {
      const int labelHeight = Scaled(14);
      DrawLabel(canvas, {rect.left, rect.top, rect.width, labelHeight}, text, {TextAlign::Left, FontKind::Small, look.enabled});
      DrawColourSwatch(canvas, {rect.left, rect.top + labelHeight, rect.width, rect.height - labelHeight},
                       ItemColour(panel, item), look);
      break;
    }
    case ItemKind::Trackball:
      if (panel.index == layout::SceneObjects::kLayout && item.id == layout::SceneObjects::kLight) {
        DrawLightBall(canvas, rect, look, nativeFiles.project.lightAngles);
      } else {
        DrawTrackball(canvas, rect, look);
      }
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
        const int labelHeight = Scaled(14);
        DrawLabel(canvas, {rect.left, rect.top, rect.width, labelHeight}, text, {TextAlign::Left, FontKind::Small, look.enabled});
        rect = {rect.left, rect.top + labelHeight, rect.width, rect.height - labelHeight};
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
  options.maskRoom = MaskShown();
  options.fullDetail = ui.fullDetail;
  options.updateThumbnail = true;
  options.renderer = uint8_t(preferences.rendererWord & 0xFF);
  if (!SoftDraw(scene.currentObject, options)) return;
  DrawViewLayers(canvas);
}

void DrawStrip(Canvas& canvas) {
  FillRect(canvas, ui.stripRect, kPanelColour);
  if (ui.currentRoom == kQuorvelsRoomNumber) {
    DrawLabel(canvas, {ui.stripRect.left, ui.stripRect.top, ui.viewRect.width, ui.stripRect.height}, KelvaneTitle(),
              {TextAlign::Left, FontKind::Bold, true});
    return;
  }
  const SceneObject* object = scene.currentObject;
  std::string title = object ? CountedToText(object->name) + "  (" + ObjectTypeText(*object) + ")"
                             : GetString(kUiNoCurrentObject);
  if (object && object->hasUnsavedChanges) title += "  " + GetString(kUiModifiedMark);
  DrawLabel(canvas, {ui.stripRect.left, ui.stripRect.top, ui.viewRect.width, ui.stripRect.height}, title,
            {TextAlign::Left, FontKind::Bold, object != nullptr});
}

// A panel's picture at the interface scale, made once per scale. The pictures are flat colour
// and frame lines: the nearest design pixel keeps the lines sharp.
const Canvas& PanelPictureAtScale(const PanelLayout& panel) {
  if (ui.scale == 1.0f) return panel.picture;
  if (ui.scaledPicturesScale != ui.scale || ui.scaledPanelPictures.size() != ui.layout.panels.size()) {
    ui.scaledPanelPictures.assign(ui.layout.panels.size(), Canvas{});
    ui.scaledPicturesScale = ui.scale;
  }
  Canvas& scaled = ui.scaledPanelPictures[size_t(panel.index)];
  const int width = Scaled(panel.width), height = Scaled(panel.height);
  if (scaled.width == width && scaled.height == height) return scaled;
  ResizeCanvas(scaled, width, height);
  for (int y = 0; y < height; ++y) {
    const int sy = std::min(panel.height - 1, int(float(y) / ui.scale));
    for (int x = 0; x < width; ++x) {
      const int sx = std::min(panel.width - 1, int(float(x) / ui.scale));
      scaled.pixels[size_t(y) * size_t(width) + size_t(x)] = panel.picture.pixels[size_t(sy) * size_t(panel.width) + size_t(sx)];
    }
  }
  return scaled;
}

void DrawViews(Canvas& canvas) {
  const uint32_t background = ColourOf(preferences.modelingBackground);
  if (ui.currentRoom == kComposerRoomNumber) {
    DrawComposerView(canvas);
    return;
  }
  DrawStrip(canvas);
  FillRect(canvas, ui.viewRect, background);
  FillRect(canvas, ui.thumbnailRect, background);
  if (ui.currentRoom == kQuorvelsRoomNumber) {
    if (DrawKelvane()) DrawViewLayers(canvas);
    if (scene.currentObject != nullptr) DrawThumbnailPicture(canvas, ViewOnScreen(), scene.currentObject->preview);
    return;
  }
  if (scene.currentObject == nullptr) return;
  DrawModelingView(canvas);
  DrawThumbnailPicture(canvas, ViewOnScreen(), scene.currentObject->preview);
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

void DrawViewLayers(Canvas& canvas) {
  ui.outlineDrawn = false;
  if (ui.currentRoom == kQuorvelsRoomNumber) {
    // The balls' own view: no object over it, no brush.
    DrawViewPicture(canvas, ViewOnScreen(), renderState.viewPicture);
    return;
  }
  if (ui.currentRoom == kComposerRoomNumber || scene.currentObject == nullptr) return;
  DrawViewPicture(canvas, ViewOnScreen(), renderState.viewPicture);
  DrawViewOverlay(canvas);
  DrawMergePrompt(canvas);
  const std::string readout = RedrawReadoutText(preferences.displayChoice);
  if (!readout.empty()) {
    DrawLabel(canvas, {ui.viewRect.left + Scaled(6), ui.viewRect.top + Scaled(4), Scaled(120), Scaled(16)}, readout,
              {TextAlign::Left, FontKind::Small, true, Rgb(200, 200, 200)});
  }
  DrawBrushOutline(canvas);
  ui.outlineDrawn = BrushOutlineShown();
}

float InterfaceScaleFor(int setting, int frameWidth, int frameHeight) {
  const float fits = std::min(float(frameWidth) / float(kDesignWidth), float(frameHeight) / float(kDesignHeight));
  // Steps of 5 %, the largest that fits.
  const float largest = std::clamp(std::floor(fits * 20.0f + 1e-4f) / 20.0f, 1.0f, 2.0f);
  if (setting == kInterfaceScaleAuto) return largest;
  return std::clamp(float(setting) / 100.0f, 1.0f, largest);
}

int Scaled(int designPixels) { return int(std::lround(float(designPixels) * ui.scale)); }

Rect ScaledRect(Rect design) {
  const int left = Scaled(design.left), top = Scaled(design.top);
  return {left, top, Scaled(design.left + design.width) - left, Scaled(design.top + design.height) - top};
}

SliderParts SliderPartsOf(Rect rect, bool hasLabel) {
  const int labelWidth = hasLabel ? std::min(Scaled(92), rect.width / 3) : 0;
  const int valueWidth = std::min(Scaled(34), rect.width / 5);
  SliderParts parts;
  parts.label = {rect.left, rect.top, std::max(0, labelWidth - Scaled(4)), rect.height};
  parts.track = {rect.left + labelWidth, rect.top, rect.width - labelWidth - valueWidth, rect.height};
  parts.value = {rect.left + rect.width - valueWidth, rect.top, valueWidth, rect.height};
  return parts;
}

Rect ItemRectOnScreen(const PlacedPanel& placed, const PanelItem& item) {
  const Rect r = ScaledRect(item.rect);
  return {placed.rect.left + r.left, placed.rect.top + r.top, r.width, r.height};
}

ViewScreen ViewOnScreen() { return {ui.viewRect, ui.thumbnailRect}; }

void PlaceRoom(int frameWidth, int frameHeight, bool force) {
  const float scale = InterfaceScaleFor(platform.settings.interfaceScale, frameWidth, frameHeight);
  if (!force && frameWidth == ui.frameWidth && frameHeight == ui.frameHeight && scale == ui.scale &&
      !ui.placed.empty()) {
    return;
  }
  ui.frameWidth = frameWidth;
  ui.frameHeight = frameHeight;
  ui.scale = scale;
  // The window's text and controls follow the scale; dialogs and pop-ups set the design's own.
  SetFontScale(scale);
  // The view block stays centred between the columns, and vertically in the space below the top
  // strip when the window is taller than the design at this scale.
  const int centreWidth = frameWidth - Scaled(kRightColumnWidth) - Scaled(kLeftColumnRight);
  const int viewLeft = Scaled(kLeftColumnRight) + std::max(0, (centreWidth - Scaled(kViewBlockWidth)) / 2);
  const int viewTop = Scaled(kViewTop) + std::max(0, (frameHeight - Scaled(kDesignHeight)) / 2);
  ui.viewRect = {viewLeft, viewTop, Scaled(kViewSize), Scaled(kViewSize)};
  ui.thumbnailRect = {viewLeft + Scaled(kThumbnailOffset), viewTop, Scaled(kThumbnailSize), Scaled(kThumbnailSize)};
  ui.stripRect = {viewLeft, viewTop - Scaled(kStripHeight) - Scaled(2), Scaled(kViewBlockWidth), Scaled(kStripHeight)};
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
    placed.rect.width = Scaled(panel.width);
    placed.rect.height = Scaled(panel.height);
    placed.rect.left = place.xAnchor == Anchor::Right  ? frameWidth - placed.rect.width - Scaled(place.dx)
                       : place.xAnchor == Anchor::View ? viewLeft + Scaled(place.dx)
                                                       : Scaled(place.dx);
    placed.rect.top = place.yAnchor == Anchor::Bottom ? frameHeight - placed.rect.height - Scaled(place.dy)
                      : place.yAnchor == Anchor::View ? viewTop + Scaled(place.dy)
                                                      : Scaled(place.dy);
    ui.placed.push_back(placed);
  }
}

void SetCurrentRoom(int room) {
  if (room < 1 || room > kRoomCount) return;
  ui.currentRoom = room;
  ui.hoverPanel = ui.hoverItem = 0;
  // Objects may have changed in the other rooms: the composer shows the scene as it is now.
  if (room == kComposerRoomNumber) ui.composerPreviewStale = true;
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
    // The item map is the design's: the point goes back to design pixels.
    const int mapX = std::min(panel.width - 1, int(float(x - r.left) / ui.scale));
    const int mapY = std::min(panel.height - 1, int(float(y - r.top) / ui.scale));
    uint8_t item = panel.itemMap[size_t(mapY) * size_t(panel.width) + size_t(mapX)];
    if (item != 0) code = uint16_t(panel.number * 256 + item);
  }
  if (ui.currentRoom != kComposerRoomNumber) {
    // The strip over the view: the object's title, and over the thumbnail when the preference says so.
    const Rect& s = ui.stripRect;
    if (y >= s.top && y < s.top + s.height) {
      if (x >= s.left && x < s.left + ui.viewRect.width) code = kStripPanel * 256 + 1;
      const int second = s.left + Scaled(kThumbnailOffset);
      if (preferences.showSecondStripItem && x >= second && x < second + ui.viewRect.width) {
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
  if (partCode == kPartModelingView) {
    if (ui.currentRoom == kQuorvelsRoomNumber) return GetString(kHoverKelvaneView);
    return GetString(ui.currentRoom == kMaskRoomNumber ? kHoverMaskView : kHoverModelingView);
  }
  if (partCode == kPartComposerView) return GetString(kHoverComposerView);
  if (panelNumber == kStripPanel) return GetString(kHoverStrip);
  const PlacedPanel* placed = FindPlacedPanel(panelNumber);
  if (placed == nullptr) return {};
  const PanelItem* item = FindItem(LayoutOf(*placed), itemId);
  if (item == nullptr || item->hover == 0) return {};
  const PanelHandlers& handlers = PanelHandlersOf(LayoutOf(*placed));
  const int32_t changed = handlers.hover != nullptr ? handlers.hover(item->id) : 0;
  return SubstitutePlaceholder(GetStringById(changed != 0 ? changed : item->hover), 0, ItemText(LayoutOf(*placed), *item));
}

void DrawInterface(Canvas& canvas) {
  if (canvas.width == 0) return;
  PlaceRoom(canvas.width, canvas.height);
  FillRect(canvas, {0, 0, canvas.width, canvas.height}, kPanelColour);
  DrawViews(canvas);
  for (const PlacedPanel& placed : ui.placed) {
    const PanelLayout& panel = LayoutOf(placed);
    PasteArea(canvas, PanelPictureAtScale(panel), placed.rect.left, placed.rect.top);
    // The frames themselves are part of the panel's picture; their titles sit on the top line.
    for (const PanelFrame& frame : panel.frames) {
      if (frame.title == 0) continue;
      const std::string title = GetStringById(frame.title);
      const int left = placed.rect.left + Scaled(frame.rect.left + 8), top = placed.rect.top + Scaled(frame.rect.top - 7);
      const int width = std::min(TextWidth(FontKind::Bold, title) + Scaled(8), Scaled(frame.rect.width - 16));
      FillRect(canvas, {left, top, width, Scaled(14)}, kPanelColour);
      DrawLabel(canvas, {left + Scaled(4), top, width - Scaled(4), Scaled(14)}, title, {TextAlign::Left, FontKind::Bold, true});
    }
    for (const PanelItem& item : panel.items) DrawItem(canvas, panel, item, ItemRectOnScreen(placed, item), panel.number);
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
