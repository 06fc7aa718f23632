// animation_panel.h: the composer's animation panel: the eight key buttons with their delete boxes,
// "Animate..." with its dialog, Render and Save picture; and the written animation played in the
// composer view.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/picture.h"

#include "composer/keyframes.h"
#include "ui/dialog.h"

namespace tsv {

[[nodiscard]] bool AnimationItemEnabled(int item);
// Key buttons: the "Composer Anim" colour marks a set key; kNoItemColour otherwise.
uint32_t AnimationItemColour(int item);
// "Key 1" .. "Key 8" on the key buttons.
[[nodiscard]] bool AnimationItemText(int item, std::string& text);
int AnimationPanelClick(int item);

// The animation dialog: frame rate, length, the transitions and method, the output with its
// quality or GIF options (those kept with the picture-save options).
struct MovieEncoder;
Dialog MakeAnimateDialog(const std::vector<MovieEncoder>& encoders, const PictureSaveOptions& gifOptions);
void ReadAnimateDialog(const Dialog& dialog, const std::vector<MovieEncoder>& encoders, AnimationSettings& settings,
                       PictureSaveOptions& gifOptions);
// "Animate...": the command with its dialog, the movie or GIF written, and the result played.
int AnimateCommand();
// Plays the written animation in the composer view until a click or Escape.
void ShowResultMovie(const std::string& path);

// The slot of a key button or delete box (items 1..16), -1 for other items.
int KeyButtonSlot(int item);
[[nodiscard]] bool IsDeleteKeyItem(int item);

}  // namespace tsv
