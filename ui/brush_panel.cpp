// brush_panel.cpp: the brush panel and the strokes over the modeling view.
#include "ui/brush_panel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "platform/events.h"
#include "platform/preferences.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "render/view_screen.h"
#include "scene/scene_state.h"
#include "tools/brush.h"
#include "tools/brush_session.h"
#include "tools/brush_settings.h"
#include "tools/tool_state.h"
#include "ui/layout_ids.h"
#include "ui/main_panels.h"
#include "ui/menus.h"
#include "ui/panels.h"
#include "ui/room_panels.h"
#include "ui/rooms.h"

namespace tsv {
namespace {

constexpr int kShapePictureSide = 32;
constexpr uint16_t kTabletTiltBit = 4;
// The slant the Tilt switch gives the mouse: a pen leaning half-way to the right and forward.
constexpr std::array<int16_t, 2> kMouseTilt{16, 16};

int16_t* SliderSetting(int item) {
  using namespace layout::Brushes;
  switch (item) {
    case kSize: return &brushSettings.size;
    case kDepth: return &brushSettings.depth;
    case kSpacing: return &brushSettings.spacing;
    default: return nullptr;
  }
}

Rgb16* ColourSetting(int item) {
  using namespace layout::Brushes;
  if (item == kPaintColor) return &brushSettings.paintColour;
  if (item == kAlternateColor) return &brushSettings.alternateColour;
  return nullptr;
}

// Draws every tip shape once. The engine's profile is built for each in turn and then put back
// for the shape in force, so a stroke never sees the pictures' work.
void BuildShapePictures() {
  const BrushTilt tilt = brushEngine.tilt;
  brushEngine.tilt = BrushTilt{};
  constexpr float kHalf = kShapePictureSide / 2.0f;
  ui.brushShapePictures.assign(size_t(kBrushShapeCount), Canvas{});
  for (int shape = 1; shape <= kBrushShapeCount; ++shape) {
    BuildBrushProfile(shape);
    Canvas& picture = ui.brushShapePictures[size_t(shape - 1)];
    ResizeCanvas(picture, kShapePictureSide, kShapePictureSide, Rgb(255, 255, 255));
    for (int y = 0; y < kShapePictureSide; ++y) {
      for (int x = 0; x < kShapePictureSide; ++x) {
        // Screen y runs down, the brush's v up.
        const float u = (float(x) + 0.5f - kHalf) / kHalf, v = (kHalf - float(y) - 0.5f) / kHalf;
        const float weight = BrushFalloff(u, v, 1.0f);
        if (weight < 0) continue;
        const int shade = 255 - int(std::clamp(weight, 0.0f, 1.0f) * 215.0f);
        picture.pixels[size_t(y) * kShapePictureSide + size_t(x)] =
            Rgb(uint8_t(shade), uint8_t(shade), uint8_t(std::min(255, shade + 20)));
      }
    }
  }
  brushEngine.tilt = tilt;
  BuildBrushProfile(std::clamp<int>(brushSettings.shape, 1, kBrushShapeCount));
}

}  // namespace

bool RoomStrokes(int room) {
  return room == kBrushRoomModeling || room == kBrushRoomHeightMap || room == kBrushRoomMorph ||
         room == kBrushRoomPaint || room == kBrushRoomLiquify || room == kBrushRoomMask;
}

bool MaskShown() {
  return ui.currentRoom == kMaskRoomNumber || (ui.showMask && RoomStrokes(ui.currentRoom));
}

bool BrushItemEnabled(int item) {
  using namespace layout::Brushes;
  const int room = ui.currentRoom;
  if (item >= kTypeBrush && item <= kTypeNormal) return room == kBrushRoomModeling;
  if (item == kPaintColor || item == kAlternateColor) return room == kBrushRoomPaint;
  if (item == kMaskErase) return room == kBrushRoomMask;
  if (item == kShowMask) return RoomStrokes(room) && room != kBrushRoomMask;  // the mask room always shows it
  return RoomStrokes(room);
}

bool BrushItemChecked(int item) {
  using namespace layout::Brushes;
  if (item >= kTypeBrush && item <= kTypeNormal) return brushSettings.type == item - kTypeBrush;
  if (item >= kSideFront && item <= kSideSymmetric) return brushSettings.side == item - kSideFront;
  if (item == kTilt) return brushSettings.tilt != std::array<int16_t, 2>{0, 0};
  if (item == kMaskErase) return brushSettings.maskErase == kMaskEraseOn;
  if (item == kShowMask) return ui.showMask || ui.currentRoom == kMaskRoomNumber;
  return false;
}

int BrushItemValue(int item) {
  const int16_t* setting = SliderSetting(item);
  return setting ? std::clamp<int>(*setting, 0, kBrushSettingMax) : 0;
}

void SetBrushItemValue(int item, int value) {
  if (int16_t* setting = SliderSetting(item)) *setting = int16_t(std::clamp(value, 0, int(kBrushSettingMax)));
}

uint32_t BrushItemColour(int item) {
  const Rgb16* colour = ColourSetting(item);
  if (colour == nullptr) return 0x808080;
  return Rgb(uint8_t(colour->red >> 8), uint8_t(colour->green >> 8), uint8_t(colour->blue >> 8));
}

std::string BrushItemText(int item) {
  if (item == layout::Brushes::kRepeat) return GetString(BrushRepeatModeName(brushSettings.repeat));
  return {};
}

int BrushItemClick(int item, int left, int bottom) {
  using namespace layout::Brushes;
  if (item >= kTypeBrush && item <= kTypeNormal) {
    brushSettings.type = int16_t(item - kTypeBrush);
    return kLoopRedrawViewFull;
  }
  if (item >= kSideFront && item <= kSideSymmetric) {
    brushSettings.side = int16_t(item - kSideFront);
    return kLoopRedrawViewFull;
  }
  if (Rgb16* colour = ColourSetting(item)) {
    Rgb16 chosen;
    if (AskColor(*colour, chosen)) *colour = chosen;
    return kLoopRedrawViewFull;
  }
  switch (item) {
    case kShape: {
      std::vector<Canvas> pictures;
      for (int shape = 1; shape <= kBrushShapeCount; ++shape) pictures.push_back(BrushShapePictureOf(shape));
      const int chosen = PopUpPictureGrid(pictures, 9, 36, brushSettings.shape - 1, left, bottom);
      if (chosen >= 0) {
        brushSettings.shape = int16_t(chosen + 1);
        BuildBrushProfile(brushSettings.shape);
      }
      return kLoopRedrawViewFull;
    }
    case kRepeat: {
      std::vector<std::string> entries;
      for (int mode = 0; mode < kBrushRepeatModeCount; ++mode) {
        entries.push_back((mode == brushSettings.repeat ? "\xE2\x9C\x93 " : "    ") + GetString(BrushRepeatModeName(mode)));
      }
      const int chosen = PopUpMenu(entries, left, bottom);
      if (chosen >= 0) brushSettings.repeat = int16_t(chosen);
      return kLoopRedrawViewFull;
    }
    case kTilt: {
      const bool on = !BrushItemChecked(kTilt);
      brushSettings.tilt = on ? kMouseTilt : std::array<int16_t, 2>{0, 0};
      preferences.tabletFlags = uint16_t(on ? preferences.tabletFlags | kTabletTiltBit
                                            : preferences.tabletFlags & ~kTabletTiltBit);
      return kLoopRedrawViewFull;
    }
    case kMaskErase:
      brushSettings.maskErase = brushSettings.maskErase == kMaskEraseOn ? 0 : kMaskEraseOn;
      return kLoopRedrawViewFull;
    case kShowMask:
      ui.showMask = !ui.showMask;
      return kLoopRedrawViewFull;
    default:
      return 0;
  }
}

const Canvas& BrushShapePictureOf(int shape) {
  if (ui.brushShapePictures.size() != size_t(kBrushShapeCount)) BuildShapePictures();
  return ui.brushShapePictures[size_t(std::clamp(shape, 1, kBrushShapeCount) - 1)];
}

const Canvas& BrushShapePicture() { return BrushShapePictureOf(brushSettings.shape); }

int HandleModelingView(int phase, int mouseX, int mouseY) {
  int x = 0, y = 0;
  ScreenToView(ViewOnScreen(), mouseX, mouseY, x, y);  // the brush works in the view's 400 units
  switch (phase) {
    case kPhasePress:
      if (!RoomStrokes(ui.currentRoom)) return 0;
      // The stroke's redraws draw as the view does now (textures, depth view, the mask).
      SetUpToolDrag(toolState.readoutRect);
      if (ui.currentRoom == kBrushRoomMorph) RefreshMorphFusionSource();
      if (!BeginStroke(ui.currentRoom, x, y)) return 0;
      ui.strokeX = x;
      ui.strokeY = y;
      ui.trackingMouse = true;
      return 0;
    case kPhaseDrag:
      if (!brushSession.active) {
        ui.trackingMouse = false;
        return 0;
      }
      if (x != ui.strokeX || y != ui.strokeY) {
        ContinueStroke(ui.strokeX, ui.strokeY, x - ui.strokeX, y - ui.strokeY);
        ui.strokeX = x;
        ui.strokeY = y;
      }
      return 0;
    default:
      ui.trackingMouse = false;
      if (!brushSession.active) return 0;
      if (x != ui.strokeX || y != ui.strokeY) {
        ContinueStroke(ui.strokeX, ui.strokeY, x - ui.strokeX, y - ui.strokeY);
      }
      EndStroke();
      return kLoopRedrawViewFull;
  }
}

bool BrushOutlineShown() {
  if (!RoomStrokes(ui.currentRoom) || scene.currentObject == nullptr) return false;
  const Rect& v = ui.viewRect;
  return ui.pointerX >= v.left && ui.pointerY >= v.top && ui.pointerX < v.left + v.width && ui.pointerY < v.top + v.height;
}

namespace {

// One pixel of the outline: black over light pixels, white over dark ones.
void PlotOutlinePixel(Canvas& canvas, const Rect& clip, int x, int y) {
  if (x < clip.left || y < clip.top || x >= clip.left + clip.width || y >= clip.top + clip.height) return;
  if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) return;
  uint32_t& pixel = canvas.pixels[size_t(y) * size_t(canvas.width) + size_t(x)];
  const uint32_t light = ((pixel >> 16) & 0xFF) * 3 + ((pixel >> 8) & 0xFF) * 6 + (pixel & 0xFF);
  pixel = light >= 128 * 10 ? Rgb(0, 0, 0) : Rgb(255, 255, 255);
}

void PlotOutlineLine(Canvas& canvas, const Rect& clip, float x0, float y0, float x1, float y1) {
  const int steps = std::max(1, int(std::ceil(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0)))));
  for (int i = 0; i < steps; ++i) {  // the end point is the next line's start
    const float t = float(i) / float(steps);
    PlotOutlinePixel(canvas, clip, int(std::floor(x0 + (x1 - x0) * t)), int(std::floor(y0 + (y1 - y0) * t)));
  }
}

void DrawOutlineAt(Canvas& canvas, const Rect& clip, float centreX, float centreY, float radius,
                   const BrushOutline& shape) {
  // A circle is a polygon fine enough that its sides are a few pixels long.
  const int corners = shape.sides > 0 ? shape.sides : std::clamp(int(radius), 16, 256);
  const float first = shape.sides > 0 ? shape.firstAngle : 0.0f;
  auto corner = [&](int k, float& x, float& y) {
    const float angle = first + 2.0f * std::numbers::pi_v<float> * float(k % corners) / float(corners);
    x = centreX + radius * std::cos(angle);
    y = centreY - radius * std::sin(angle);  // the view's y runs up, the screen's down
  };
  float x0 = 0, y0 = 0;
  corner(0, x0, y0);
  for (int k = 1; k <= corners; ++k) {
    float x1 = 0, y1 = 0;
    corner(k, x1, y1);
    PlotOutlineLine(canvas, clip, x0, y0, x1, y1);
    x0 = x1;
    y0 = y1;
  }
}

}  // namespace

void DrawBrushOutline(Canvas& canvas) {
  if (!BrushOutlineShown()) return;
  const ViewScreen screen = ViewOnScreen();
  const float radius = ViewUnitsToScreen(screen, BrushReachInViewPixels(brushSettings.size));
  if (!(radius >= 1.0f)) return;
  const BrushOutline shape = BrushOutlineOf(brushSettings.shape);
  const float x = float(ui.pointerX) + 0.5f, y = float(ui.pointerY) + 0.5f;
  DrawOutlineAt(canvas, screen.view, x, y, radius, shape);
}

}  // namespace tsv
