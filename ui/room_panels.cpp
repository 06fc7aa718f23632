// room_panels.cpp: the height-map, morph, mask and paint panels' items that the brushes use.
#include "ui/room_panels.h"

#include <algorithm>
#include <array>

#include "formats/picture.h"
#include "formats/picture_files.h"
#include "paint/map_apply.h"
#include "paint/object_paint.h"
#include "paint/paint_state.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "render/object_depth.h"
#include "render/render_state.h"
#include "scene/object_table.h"
#include "scene/project.h"
#include "scene/scene_state.h"
#include "scene/task_steps.h"
#include "tools/brush_settings.h"
#include "tools/tool_frame.h"
#include "tools/tool_state.h"
#include "ui/brush_panel.h"
#include "ui/layout_ids.h"
#include "ui/loop_result.h"
#include "ui/material_panels.h"
#include "ui/object_list.h"
#include "ui/panels.h"
#include "ui/rooms.h"
#include "ui/widgets.h"

namespace tsv {
namespace {

// The map preview is made no larger than this; the panel shows it in a smaller square.
constexpr int kMapPreviewSide = 96;

}  // namespace

// ------------------------------------------------------------------------------------ height map

void SetHeightMapFromPixels(const uint32_t* pixels, int width, int height) {
  // The same grey as the map apply's map, so one picture raises the same relief in both rooms.
  const GreyMap grey = GreyMapFromPixels({pixels, size_t(std::max(width, 0)) * size_t(std::max(height, 0))}, width, height);
  HeightMap& map = brushSettings.heightMap;
  map = HeightMap{0, 0, {}, map.level, map.contrast};
  ui.heightMapGrey = Canvas{};
  if (!HasGreyMap(grey)) return;
  map.width = grey.width;
  map.height = grey.height;
  map.bytes.resize(grey.bytes.size());
  ResizeCanvas(ui.heightMapGrey, grey.width, grey.height);
  for (int y = 0; y < grey.height; ++y) {
    // The brush reads the rows bottom-up.
    const uint8_t* from = grey.bytes.data() + size_t(y) * size_t(grey.width);
    std::copy_n(from, grey.width, map.bytes.data() + size_t(grey.height - 1 - y) * size_t(grey.width));
    for (int x = 0; x < grey.width; ++x) {
      ui.heightMapGrey.pixels[size_t(y) * size_t(grey.width) + size_t(x)] = Rgb(from[x], from[x], from[x]);
    }
  }
}

bool HeightMapItemEnabled(int item) {
  using namespace layout::HeightMap;
  if (item == kOpenPicture) return true;
  return HasHeightMap(brushSettings.heightMap) || item == kLevel || item == kContrast;
}

bool HeightMapItemChecked(int item) { return item == layout::HeightMap::kShowPicture && ui.heightMapShown; }

int HeightMapItemValue(int item) {
  using namespace layout::HeightMap;
  if (item == kLevel) return std::clamp<int>(brushSettings.heightMap.level, 0, 256);
  if (item == kContrast) return std::clamp<int>(brushSettings.heightMap.contrast, 0, 256);
  return 0;
}

void SetHeightMapItemValue(int item, int value) {
  using namespace layout::HeightMap;
  value = std::clamp(value, 0, 256);
  if (item == kLevel) brushSettings.heightMap.level = int16_t(value);
  if (item == kContrast) brushSettings.heightMap.contrast = int16_t(value);
}

int HeightMapItemClick(int item) {
  using namespace layout::HeightMap;
  if (item == kShowPicture) {
    ui.heightMapShown = !ui.heightMapShown;
    return kLoopRedrawViewFull;
  }
  if (item != kOpenPicture) return 0;
  const OpenedPicture opened = AskAndOpenPicture();
  if (opened.status != kNoError) return kLoopRedrawViewFull;  // cancelled, or the loader has said why
  SetHeightMapFromPixels(opened.picture.pixels.data(), opened.picture.width, opened.picture.height);
  ui.heightMapShown = true;
  return kLoopRedrawViewFull;
}

const Canvas& HeightMapPicture() {
  static const Canvas kNone;
  return HasHeightMap(brushSettings.heightMap) ? ui.heightMapGrey : kNone;
}

// ----------------------------------------------------------------------------------------- morph

SceneObject* MorphObject(int side) {
  if (side < 0 || side > 1) return nullptr;
  return FindObjectBySerial(ui.morphChoices[size_t(side)].serial);
}

void SetMorphObject(int side, SceneObject* object) {
  if (side < 0 || side > 1) return;
  MorphChoice& choice = ui.morphChoices[size_t(side)];
  choice = {};
  if (object == nullptr || SlotOfObject(object) < 0) return;
  choice.serial = object->serial;
  if (object->preview.size() == size_t(kThumbnailSize) * kThumbnailSize) {
    choice.picture = Canvas{kThumbnailSize, kThumbnailSize, object->preview};
  }
}

bool MorphItemEnabled(int item) {
  using namespace layout::Morphing;
  return item == kLeftObject || item == kRightObject || item == kFusionSide;
}

bool MorphItemChecked(int item) {
  return item == layout::Morphing::kFusionSide && brushSettings.fusionSide == kFusionSideRight;
}

int MorphItemClick(int item, int left, int bottom) {
  using namespace layout::Morphing;
  if (item == kFusionSide) {
    brushSettings.fusionSide = brushSettings.fusionSide == kFusionSideRight ? kFusionSideLeft : kFusionSideRight;
    return kLoopRedrawViewFull;
  }
  if (item != kLeftObject && item != kRightObject) return 0;
  SceneObject* chosen = ObjectPopUp(left, bottom);
  if (chosen != nullptr) SetMorphObject(item == kLeftObject ? 0 : 1, chosen);
  return kLoopRedrawViewFull;
}

const Canvas& MorphObjectPicture(int item) {
  static const Canvas kNone;
  const int side = item == layout::Morphing::kLeftObject ? 0 : item == layout::Morphing::kRightObject ? 1 : -1;
  if (side < 0 || MorphObject(side) == nullptr) return kNone;
  return ui.morphChoices[size_t(side)].picture;
}

void RefreshMorphFusionSource() {
  for (int side = 0; side < 2; ++side) {
    MorphFusionSource& source = brushSettings.morphObjects[size_t(side)];
    const SceneObject* object = MorphObject(side);
    const SceneObject* current = scene.currentObject;
    // Only the side the brush uses is drawn; the other keeps nothing.
    if (object == nullptr || current == nullptr || object == current || side != brushSettings.fusionSide) {
      source = MorphFusionSource{};
      continue;
    }
    const ObjectView& view = CurrentView(*current);
    if (!RenderObjectDepth(*object, view, source.depthBuffer, source.depthMax, source.depthMin)) {
      source = MorphFusionSource{};
    }
  }
}

// ------------------------------------------------------------------------------------------ mask

bool MaskItemEnabled(int) { return scene.currentObject != nullptr; }

bool MaskItemChecked(int item) {
  return item == layout::MaskTools::kErase && brushSettings.maskErase == kMaskEraseOn;
}

int MaskItemClick(int item) {
  using namespace layout::MaskTools;
  SceneObject* object = scene.currentObject;
  if (object == nullptr) return 0;
  if (item == kErase) {
    brushSettings.maskErase = brushSettings.maskErase == kMaskEraseOn ? 0 : kMaskEraseOn;
    return kLoopRedrawViewFull;
  }
  if (item != kFill && item != kClear) return 0;
  // Fill protects every point (mask 0), clear frees every point (mask 255).
  std::fill(object->pointMask.begin(), object->pointMask.end(), uint8_t(item == kFill ? 0 : 255));
  if (object->pointWork != nullptr) {
    for (size_t i = 0; i < object->pointWork->size() && i < object->pointMask.size(); ++i) {
      (*object->pointWork)[i].mask = object->pointMask[i];
    }
  }
  object->dirtyFlags |= 31;
  MarkObjectChanged(*object);
  return kLoopRedrawViewFull;
}

// ----------------------------------------------------------------------------------------- paint

bool PaintItemEnabled(int item) {
  using namespace layout::PaintTools;
  const bool hasObject = scene.currentObject != nullptr;
  if (item == kPaintColor || item == kAlternateColor) return true;
  if (item == kPainted || (item >= layout::PaintTools::kPaintObject && item <= kAddGradient)) return hasObject;
  if (item >= kFlat && item <= kContrast) return true;
  if (item == kMapPicture) return true;
  if (item == kMapPreview) return HasGreyMap(paintState.map);
  if (item == kApply) return hasObject && HasGreyMap(paintState.map);
  return false;
}

bool PaintItemChecked(int item) {
  using namespace layout::PaintTools;
  if (item >= kFlat && item <= kSpheric) return paintState.mappingKind == item - kFlat;
  return item == kPainted && OpticsItemChecked(layout::OpticsTools::kPainted);
}

int PaintItemValue(int item) {
  using namespace layout::PaintTools;
  if (item == kBrightness) return std::clamp<int>(paintState.mapBrightness, 0, 256);
  if (item == kContrast) return std::clamp<int>(paintState.mapContrast, 0, 256);
  return 0;
}

void SetPaintItemValue(int item, int value) {
  using namespace layout::PaintTools;
  value = std::clamp(value, 0, 256);
  if (item == kBrightness) paintState.mapBrightness = int16_t(value);
  if (item == kContrast) paintState.mapContrast = int16_t(value);
}

// The paint panel's swatches show and set the brush colours.
static int BrushColourItem(int paintItem) {
  using namespace layout::PaintTools;
  return paintItem == kPaintColor       ? layout::Brushes::kPaintColor
         : paintItem == kAlternateColor ? layout::Brushes::kAlternateColor
                                        : 0;
}

uint32_t PaintItemColour(int item) {
  const int brushItem = BrushColourItem(item);
  return brushItem != 0 ? BrushItemColour(brushItem) : 0x808080;
}

int PaintItemClick(int item) {
  using namespace layout::PaintTools;
  if (const int brushItem = BrushColourItem(item)) return BrushItemClick(brushItem, 0, 0);
  if (item >= kFlat && item <= kSpheric) {
    paintState.mappingKind = int16_t(item - kFlat);
    return kLoopRedrawViewFull;
  }
  if (item == kMapPicture) {
    const OpenedPicture opened = AskAndOpenPicture();
    if (opened.status != kNoError) return kLoopRedrawViewFull;  // cancelled, or the loader has said why
    // A loaded picture always has pixels; only memory can fail here.
    if (!SetMapPicture(opened.picture.pixels, opened.picture.width, opened.picture.height)) {
      ShowStopMessage(GetString(kErrNotEnoughMemory));
    }
    return kLoopRedrawViewFull;
  }
  SceneObject* object = scene.currentObject;
  if (object == nullptr) return 0;
  SceneObject* undo = scene.workObject.get();
  // The painted switch is the optics panel's.
  if (item == kPainted) return OpticsItemClick(layout::OpticsTools::kPainted);
  if (item >= layout::PaintTools::kPaintObject && item <= kAddGradient) {
    const std::span<const PaintCommand> commands = PaintCommands();
    const size_t index = size_t(item - layout::PaintTools::kPaintObject);
    if (index >= commands.size()) return 0;
    // Colour on an object that shows no paint would be invisible: it is made painted first.
    (void)EnsurePaintable(object, undo, false);  // without asking it always succeeds
    if (RunPaintCommand(commands[index], object, undo)) MarkObjectChanged(*object);
    return kLoopRedrawViewFull;
  }
  return 0;
}

void RunMapApplyDrag() {
  SceneObject* object = scene.currentObject;
  if (RunMapApply(object, scene.workObject.get(), kAmountInteractive, 0) && object != nullptr) MarkObjectChanged(*object);
}

const Canvas& MapPicture() {
  static const Canvas kNone;
  const GreyMap& map = paintState.map;
  if (!HasGreyMap(map)) return kNone;
  // Made afresh each time the panel shows it, so it always shows the map in force.
  ScalePictureDown(map.width, map.height, kMapPreviewSide, ui.mapPreview, [&](size_t x, size_t y) {
    const uint8_t grey = map.bytes[y * size_t(map.width) + x];
    return Rgb(grey, grey, grey);
  });
  return ui.mapPreview;
}

// ------------------------------------------------------------------------------------ the view

void DrawViewOverlay(Canvas& canvas) {
  if (ui.currentRoom != kBrushRoomHeightMap || !ui.heightMapShown || !HasHeightMap(brushSettings.heightMap)) return;
  // The map is stretched over the view as the fusion brush reads it, half see-through.
  const Canvas& grey = ui.heightMapGrey;
  const Rect& view = ui.viewRect;
  for (int y = 0; y < view.height; ++y) {
    const int py = view.top + y;
    if (py < 0 || py >= canvas.height) continue;
    const size_t sy = size_t(int64_t(y) * grey.height / view.height);
    for (int x = 0; x < view.width; ++x) {
      const int px = view.left + x;
      if (px < 0 || px >= canvas.width) continue;
      const size_t sx = size_t(int64_t(x) * grey.width / view.width);
      uint32_t& pixel = canvas.pixels[size_t(py) * size_t(canvas.width) + size_t(px)];
      const uint32_t map = grey.pixels[sy * size_t(grey.width) + sx] & 0xFF;
      const uint32_t red = (((pixel >> 16) & 255) + map) / 2, green = (((pixel >> 8) & 255) + map) / 2,
                     blue = ((pixel & 255) + map) / 2;
      pixel = (red << 16) | (green << 8) | blue;
    }
  }
}

}  // namespace tsv
