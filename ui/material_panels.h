// material_panels.h: the optics panel (the material of the current object: shininess, diffuse
// strength, ambient level, transparency, the three colours, shadows, painted) and the texture panel
// (the texture picture, its zoom and offset, the five texture settings, bump, alpha use and
// repetition) of the optics and texture room. The generic panel code asks these for each item's
// state and hands them the clicks and drags.
#pragma once

#include <cstdint>

#include "platform/canvas.h"

namespace tsv {

// Items of the optics panel (8).
[[nodiscard]] bool OpticsItemEnabled(int item);
[[nodiscard]] bool OpticsItemChecked(int item);
int OpticsItemValue(int item);                // sliders: 0..256
void SetOpticsItemValue(int item, int value);  // sliders, while the button is held
uint32_t OpticsItemColour(int item);           // swatches: 0xRRGGBB
int OpticsItemClick(int item);                 // toggles and swatches; a loop result

// Items of the texture panel (14).
[[nodiscard]] bool TextureItemEnabled(int item);
[[nodiscard]] bool TextureItemChecked(int item);
int TextureItemValue(int item);  // sliders: 0..256
void SetTextureItemValue(int item, int value);
int TextureItemClick(int item);
// The offset area: press (phase 0) takes the pointer as the anchor, drags (1) pan the texture with
// the pointer, release (2) ends. A loop result.
int TextureOffsetDrag(int phase, int mouseX, int mouseY);
// A small copy of the current object's texture picture for the panel (empty without one).
const Canvas& TextureThumbnail();

}  // namespace tsv
