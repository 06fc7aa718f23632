// animation_panel.cpp: the key buttons, the animation command and its dialog.
#include "ui/animation_panel.h"

#include "platform/preferences.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "scene/scene_state.h"
#include "ui/composer_panel.h"
#include "ui/layout_ids.h"
#include "ui/loop_result.h"
#include "ui/panel_table.h"
#include "ui/rooms.h"

namespace tsv {

int KeyButtonSlot(int item) {
  if (item < layout::Animation::kKey1 || item > layout::Animation::kDeleteKey8) return -1;
  return (item - 1) / 2;
}

bool IsDeleteKeyItem(int item) { return KeyButtonSlot(item) >= 0 && item % 2 == 0; }

bool AnimationItemEnabled(int item) {
  using namespace layout::Animation;
  if (const int slot = KeyButtonSlot(item); slot >= 0) {
    if (IsDeleteKeyItem(item)) return KeyframeExists(slot);
    return scene.currentObject != nullptr;
  }
  if (item == kAnimate) return scene.keyframeOwner != nullptr && AnyKeyframeSet();
  return item == kRender || item == kSavePicture;
}

uint32_t AnimationItemColour(int item) {
  const int slot = KeyButtonSlot(item);
  if (slot < 0 || IsDeleteKeyItem(item) || !KeyframeExists(slot)) return kNoItemColour;
  const Rgb16& c = preferences.composerAnim;
  return uint32_t(c.red >> 8) << 16 | uint32_t(c.green >> 8) << 8 | uint32_t(c.blue >> 8);
}

bool AnimationItemText(int item, std::string& text) {
  const int slot = KeyButtonSlot(item);
  if (slot < 0 || IsDeleteKeyItem(item)) return false;
  text += " " + std::to_string(slot + 1);  // "Key 1" .. "Key 8"
  return true;
}

int AnimationPanelClick(int item) {
  if (const int slot = KeyButtonSlot(item); slot >= 0) {
    if (IsDeleteKeyItem(item)) {
      PressDeleteKeyButton(slot);
      return kLoopRedrawViewFull;
    }
    if (!PressSetKeyButton(slot)) return kLoopRedrawViewFull;  // a refusal has been shown
    ui.composerPreviewStale = true;
    return kLoopRedrawViewFull;
  }
  return AnimationItemClick(item);
}

}  // namespace tsv
