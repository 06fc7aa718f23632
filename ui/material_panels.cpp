// material_panels.cpp: the optics and texture panels.
#include "ui/material_panels.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "formats/object_texture.h"
#include "formats/picture_files.h"
#include "platform/status.h"
#include "platform/user_services.h"
#include "render/texture_work_image.h"
#include "scene/project.h"
#include "scene/scene_state.h"
#include "scene/shade_ramp.h"
#include "scene/task_steps.h"
#include "ui/layout_ids.h"
#include "ui/loop_result.h"
#include "ui/panels.h"
#include "ui/rooms.h"
#include "ui/widgets.h"

namespace tsv {
namespace {

constexpr int kSettingMaximum = 256;

uint32_t ColourOf(const Rgb16& colour) {
  return Rgb(uint8_t(colour.red >> 8), uint8_t(colour.green >> 8), uint8_t(colour.blue >> 8));
}

Rgb16* ColourOfItem(Optics& optics, int item) {
  using namespace layout::OpticsTools;
  switch (item) {
    case kSpecularColor: return &optics.specularColor;
    case kDiffuseColor: return &optics.diffuseColor;
    case kAmbientColor: return &optics.ambientColor;
    default: return nullptr;
  }
}

uint16_t* OpticsSetting(Optics& optics, int item) {
  using namespace layout::OpticsTools;
  switch (item) {
    case kShininess: return &optics.shininess;
    case kDiffuse: return &optics.diffuseStrength;
    case kAmbient: return &optics.ambientLevel;
    case kTransparency: return &optics.transparency;
    default: return nullptr;
  }
}

// After a change of the material: the shade ramp follows it.
void MaterialChanged(SceneObject& object) {
  BuildShadeRamp(object);
  MarkObjectChanged(object);
}

// After a change of the texture or its settings: the renderer's work image follows it.
void TextureChanged(SceneObject& object) {
  PrepareTextureWorkImage(object);
  MarkObjectChanged(object);
}

uint16_t* TextureSetting(SceneObject& object, int item) {
  using namespace layout::TextureTools;
  if (item >= kStrength && item <= kAngle) return &object.textureParams[size_t(item - kStrength)];
  if (item == kBump) return &object.textureBump;
  return nullptr;
}

constexpr int kTexturePreviewSize = 96;

}  // namespace

// ---------------------------------------------------------------------------------------------- optics

bool OpticsItemEnabled(int) { return scene.currentObject != nullptr; }

bool OpticsItemChecked(int item) {
  using namespace layout::OpticsTools;
  const SceneObject* object = scene.currentObject;
  if (object == nullptr) return false;
  switch (item) {
    case kCastsShadow: return object->optics.castsShadow != 0;
    case kReceivesShadow: return object->optics.receivesShadow != 0;
    case kPainted: return object->optics.isPainted != 0;
    default: return false;
  }
}

int OpticsItemValue(int item) {
  SceneObject* object = scene.currentObject;
  if (object == nullptr) return 0;
  const uint16_t* setting = OpticsSetting(object->optics, item);
  return setting ? std::min<int>(*setting, kSettingMaximum) : 0;
}

void SetOpticsItemValue(int item, int value) {
  SceneObject* object = scene.currentObject;
  if (object == nullptr) return;
  uint16_t* setting = OpticsSetting(object->optics, item);
  if (setting == nullptr) return;
  const uint16_t clamped = uint16_t(std::clamp(value, 0, kSettingMaximum));
  if (*setting == clamped) return;
  *setting = clamped;
  MaterialChanged(*object);
}

uint32_t OpticsItemColour(int item) {
  SceneObject* object = scene.currentObject;
  if (object == nullptr) return 0x808080;
  const Rgb16* colour = ColourOfItem(object->optics, item);
  return colour ? ColourOf(*colour) : 0x808080;
}

int OpticsItemClick(int item) {
  using namespace layout::OpticsTools;
  SceneObject* object = scene.currentObject;
  if (object == nullptr) return 0;
  Optics& optics = object->optics;
  if (Rgb16* colour = ColourOfItem(optics, item)) {
    Rgb16 chosen;
    if (!AskColor(*colour, chosen)) return kLoopRedrawViewFull;
    *colour = chosen;
    static constexpr uint16_t kCodes[3] = {TaskStepCode("KS"), TaskStepCode("KD"), TaskStepCode("KA")};
    RecordTaskStep(kCodes[item - kSpecularColor], int16_t(chosen.red), int16_t(chosen.green), int16_t(chosen.blue));
    MaterialChanged(*object);
    return kLoopRedrawViewFull;
  }
  switch (item) {
    case kCastsShadow:
      optics.castsShadow = optics.castsShadow ? 0 : 1;
      MarkObjectChanged(*object);
      return kLoopRedrawViewFull;
    case kReceivesShadow:
      optics.receivesShadow = optics.receivesShadow ? 0 : 1;
      MarkObjectChanged(*object);
      return kLoopRedrawViewFull;
    case kPainted:
      optics.isPainted = optics.isPainted ? 0 : 1;
      RecordTaskStep(TaskStepCode("CP"), int16_t(optics.isPainted));
      MaterialChanged(*object);
      object->dirtyFlags |= 31;
      return kLoopRedrawViewFull;
    default:
      return 0;
  }
}

// --------------------------------------------------------------------------------------------- texture

bool TextureItemEnabled(int item) {
  using namespace layout::TextureTools;
  const SceneObject* object = scene.currentObject;
  if (object == nullptr) return false;
  if (item == kOpenTexture) return true;
  // The settings may be prepared before a picture is laid on; moving and removing need one.
  if (item == kOffset || item == kRemoveTexture || item == kPicture) return !object->textureImage.empty();
  return true;
}

bool TextureItemChecked(int item) {
  using namespace layout::TextureTools;
  const SceneObject* object = scene.currentObject;
  if (object == nullptr) return false;
  if (item == kAlpha) return (object->textureUsesAlpha & 1) != 0;
  if (item == kRepeat) return (object->textureFlags & 2) != 0;
  return false;
}

int TextureItemValue(int item) {
  SceneObject* object = scene.currentObject;
  if (object == nullptr) return 0;
  if (item == layout::TextureTools::kZoom) return int(std::lround(PositionFromZoom(object->textureZoom)));
  const uint16_t* setting = TextureSetting(*object, item);
  return setting ? std::min<int>(*setting, kSettingMaximum) : 0;
}

void SetTextureItemValue(int item, int value) {
  SceneObject* object = scene.currentObject;
  if (object == nullptr) return;
  value = std::clamp(value, 0, kSettingMaximum);
  if (item == layout::TextureTools::kZoom) {
    const float zoom = ZoomFromPosition(float(value));
    if (zoom == object->textureZoom) return;
    object->textureZoom = zoom;
    MarkObjectChanged(*object);
    return;
  }
  uint16_t* setting = TextureSetting(*object, item);
  if (setting == nullptr || *setting == value) return;
  *setting = uint16_t(value);
  // Only the strength changes the work image; the others are read as the object is drawn.
  if (item == layout::TextureTools::kStrength) {
    TextureChanged(*object);
  } else {
    MarkObjectChanged(*object);
  }
}

int TextureItemClick(int item) {
  using namespace layout::TextureTools;
  SceneObject* object = scene.currentObject;
  if (object == nullptr) return 0;
  switch (item) {
    case kOpenTexture: {
      OpenedPicture opened = AskAndOpenPicture(&object->textureFile);
      if (opened.status != kNoError) return kLoopRedrawViewFull;  // cancelled, or the loader has said why
      SetTexturePicture(*object, std::move(opened.picture), opened.spec);
      // A texture just laid on is meant to be seen.
      ui.texturedObjects = true;
      TextureChanged(*object);
      return kLoopRedrawViewFull;
    }
    case kRemoveTexture:
      if (object->textureImage.empty() && !IsFileSpecSet(object->textureFile)) return 0;
      RemoveTexture(*object);
      TextureChanged(*object);
      return kLoopRedrawViewFull;
    case kAlpha:
      object->textureUsesAlpha = uint16_t(object->textureUsesAlpha ^ 1);
      TextureChanged(*object);
      return kLoopRedrawViewFull;
    case kRepeat:
      object->textureFlags = uint16_t(object->textureFlags ^ 2);
      TextureChanged(*object);
      return kLoopRedrawViewFull;
    default:
      return 0;
  }
}

int TextureOffsetDrag(int phase, int mouseX, int mouseY) {
  SceneObject* object = scene.currentObject;
  if (object == nullptr) return 0;
  if (phase == kPhasePress) {
    ui.textureOffsetPan = {mouseX, mouseY, int16_t(object->textureOffset[0]), int16_t(object->textureOffset[1]), true};
    return kLoopRedrawViewFull;
  }
  if (!ui.textureOffsetPan.active) return 0;
  // The picture follows the pointer: one texel of the work image per pixel.
  const int u = std::clamp(ui.textureOffsetPan.startU - (mouseX - ui.textureOffsetPan.anchorX), -32768, 32767);
  const int v = std::clamp(ui.textureOffsetPan.startV - (mouseY - ui.textureOffsetPan.anchorY), -32768, 32767);
  const bool moved = int16_t(object->textureOffset[0]) != u || int16_t(object->textureOffset[1]) != v;
  object->textureOffset = {uint16_t(int16_t(u)), uint16_t(int16_t(v))};
  if (phase == kPhaseRelease) {
    ui.textureOffsetPan.active = false;
    if (u != ui.textureOffsetPan.startU || v != ui.textureOffsetPan.startV) MarkObjectChanged(*object);
    return kLoopRedrawViewFull;
  }
  return moved ? kLoopRedrawViewFull : 0;
}

const Canvas& TextureThumbnail() {
  const SceneObject* object = scene.currentObject;
  const bool has = object != nullptr && !object->textureImage.empty() && object->textureImageSize[0] > 0 &&
                   object->textureImageSize[1] > 0 &&
                   object->textureImage.size() >= size_t(object->textureImageSize[0]) * object->textureImageSize[1];
  if (!has) {
    ui.textureThumbnail = Canvas{};
    return ui.textureThumbnail;
  }
  // Made afresh each time: a copy no larger than the panel needs is a few thousand pixels, and
  // nothing can then show a texture that is no longer the object's.
  const int width = object->textureImageSize[0];
  ScalePictureDown(width, object->textureImageSize[1], kTexturePreviewSize, ui.textureThumbnail,
                   [&](size_t x, size_t y) { return object->textureImage[y * size_t(width) + x]; });
  return ui.textureThumbnail;
}

}  // namespace tsv
