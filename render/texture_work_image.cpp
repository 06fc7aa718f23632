// texture_work_image.cpp: preparing the texture work image from an object's texture picture.
#include "render/texture_work_image.h"

#include <algorithm>

#include "render/render_state.h"
#include "scene/scene_object.h"

namespace tsv {
namespace {

// The picture is fitted into one tile of half the work image, which the modeling view's mapping
// (u = texture coordinate x zoom / 2) spans once at zoom 1, as the composer shows it; the other
// three tiles repeat it or, when repetition is off, mirror it so that neighbouring tiles meet
// without a seam. Source column (or row) for work column `i` of a picture `size` pixels across:
int SourceIndex(int i, int size, bool repeat) {
  constexpr int kTile = kTextureSide / 2;
  int within = i % kTile;
  if (!repeat && (i / kTile) % 2 == 1) within = kTile - 1 - within;
  return int(int64_t(within) * size / kTile);
}

}  // namespace

int TexelOpacity(int alpha, uint16_t strength) {
  const int s = std::min<int>(strength, 256);
  if (s <= 128) return alpha * s / 128;
  return alpha + (255 - alpha) * (s - 128) / 128;
}

void PrepareTextureWorkImage(const SceneObject& object) {
  std::vector<uint32_t>& work = renderState.textureWorkImage;
  if (work.size() != size_t(kTexturePixelCount)) return;
  const int width = object.textureImageSize[0], height = object.textureImageSize[1];
  if (width <= 0 || height <= 0 || object.textureImage.size() != size_t(width) * size_t(height)) {
    std::fill(work.begin(), work.end(), 0xFF000000u);
    return;
  }
  const bool repeat = (object.textureFlags & 2) != 0;
  const bool useAlpha = (object.textureUsesAlpha & 3) != 0;
  const bool inverted = (object.textureUsesAlpha & 2) != 0;
  const uint16_t strength = object.textureParams[0];

  int sourceColumn[kTextureSide];
  for (int i = 0; i < kTextureSide; ++i) sourceColumn[i] = SourceIndex(i, width, repeat);
  for (int row = 0; row < kTextureSide; ++row) {
    const uint32_t* source =
        object.textureImage.data() + size_t(SourceIndex(row, height, repeat)) * size_t(width);
    uint32_t* target = work.data() + size_t(row) * kTextureSide;
    for (int column = 0; column < kTextureSide; ++column) {
      const uint32_t pixel = source[sourceColumn[column]];
      int alpha = 255;
      if (useAlpha) alpha = inverted ? 255 - int(pixel >> 24) : int(pixel >> 24);
      const uint32_t opacity = uint32_t(TexelOpacity(alpha, strength));
      const uint32_t red = ((pixel >> 16) & 255u) * opacity / 255u;
      const uint32_t green = ((pixel >> 8) & 255u) * opacity / 255u;
      const uint32_t blue = (pixel & 255u) * opacity / 255u;
      target[column] = ((255u - opacity) << 24) | (red << 16) | (green << 8) | blue;
    }
  }
}

}  // namespace tsv
