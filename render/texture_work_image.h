// texture_work_image.h: the 256 x 256 texture work image the textured rasteriser (and the
// hardware back ends) sample, prepared from an object's texture picture and its strength.
#pragma once

#include <cstdint>

namespace tsv {

struct SceneObject;

// The opacity 0..255 a texel of picture alpha `alpha` gets at texture strength `strength`
// (0..256): scaled down by strength / 128 up to 128, and raised toward full opacity above, so
// that 0 hides the picture, 128 keeps its own alpha and 256 makes it fully opaque.
int TexelOpacity(int alpha, uint16_t strength);

// Fills renderState.textureWorkImage from the object's `textureImage` (32-bit pixels 0xAARRGGBB,
// `textureImageSize` wide and high). The picture is sampled (nearest texel) into a 128 x 128 tile,
// so that the modeling view's mapping shows it once across the object at zoom 1; the four tiles of
// the work image repeat it (bit value 2 of `textureFlags` set) or mirror it (clear). The picture's alpha counts when bit 0 of `textureUsesAlpha` is set, inverted when
// bit 1 is; otherwise every texel is opaque. Each texel is stored as 0xWWRRGGBB: W = 255 - opacity
// (the part of the vertex colour that shows through) and RGB = colour x opacity / 255. Without a
// usable picture every texel is 0xFF000000, which leaves the vertex colour almost unchanged.
void PrepareTextureWorkImage(const SceneObject& object);

}  // namespace tsv
