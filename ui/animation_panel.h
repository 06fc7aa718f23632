// animation_panel.h: the composer's animation panel: the eight key buttons with their delete boxes,
// "Animate..." with its dialog, Render and Save picture; and the written animation played in the
// composer view.
#pragma once

#include <cstdint>
#include <string>

#include "composer/keyframes.h"
#include "ui/dialog.h"

namespace tsv {

[[nodiscard]] bool AnimationItemEnabled(int item);
// Key buttons: the "Composer Anim" colour marks a set key; kNoItemColour otherwise.
uint32_t AnimationItemColour(int item);
// "Key 1" .. "Key 8" on the key buttons.
[[nodiscard]] bool AnimationItemText(int item, std::string& text);
int AnimationPanelClick(int item);

// The slot of a key button or delete box (items 1..16), -1 for other items.
int KeyButtonSlot(int item);
[[nodiscard]] bool IsDeleteKeyItem(int item);

}  // namespace tsv
