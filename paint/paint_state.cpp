// paint_state.cpp: the paint room's state, its generator and the grey map.
#include "paint/paint_state.h"

#include <new>

#include "render/noise.h"

namespace tsv {

PaintState paintState;

void InitPaint() { EnsureNoiseLattice(); }

int PaintRandom() {
  // A linear congruential generator with 15 bits taken from the middle of its state: the
  // classic library generator, so values and their spread are what the paint formulas expect.
  paintState.randomState = paintState.randomState * 214013u + 2531011u;
  return int((paintState.randomState >> 16) & 0x7FFFu);
}

void SeedPaintRandom(uint32_t seed) { paintState.randomState = seed; }

bool HasGreyMap(const GreyMap& map) {
  return map.width > 0 && map.height > 0 &&
         map.bytes.size() >= size_t(map.width) * size_t(map.height);
}

GreyMap GreyMapFromPixels(std::span<const uint32_t> pixels, int32_t width, int32_t height) {
  GreyMap map;
  if (width <= 0 || height <= 0) return map;
  const size_t count = size_t(width) * size_t(height);
  if (pixels.size() < count) return map;
  try {
    map.bytes.resize(count);
  } catch (const std::bad_alloc&) {
    return GreyMap{};
  }
  for (size_t i = 0; i < count; ++i) {
    const uint32_t pixel = pixels[i];
    const uint32_t red = (pixel >> 16) & 0xFF, green = (pixel >> 8) & 0xFF, blue = pixel & 0xFF;
    map.bytes[i] = uint8_t((299 * red + 587 * green + 114 * blue + 500) / 1000);
  }
  map.width = width;
  map.height = height;
  return map;
}

bool SetMapPicture(std::span<const uint32_t> pixels, int32_t width, int32_t height) {
  paintState.map = GreyMapFromPixels(pixels, width, height);
  return HasGreyMap(paintState.map);
}

void ResetPaintState() {
  paintState.randomState = 1;
  paintState.map = GreyMap{};
  paintState.mappingKind = kMapFlat;
  paintState.mapBrightness = kMapNeutralBrightness;
  paintState.mapContrast = 0;
}

}  // namespace tsv
