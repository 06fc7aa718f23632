// paint_state.h: the paint room's global state in one record: the paint room's own pseudo-random
// generator, and the map of "Map apply" with its
// mapping kind, brightness and contrast. The paint and alternate colours are brush settings
// (tools/brush_settings.h), shared with the paint brush. Start-up and the test reset.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace tsv {

// The generator's values run 0..kPaintRandomMax.
inline constexpr int kPaintRandomMax = 32767;

// How "Map apply" lays the map onto the object.
inline constexpr int16_t kMapFlat = 0;
inline constexpr int16_t kMapCylindric = 1;
inline constexpr int16_t kMapSpheric = 2;
inline constexpr int16_t kMapNeutralBrightness = 128;

// An 8-bit grey picture, one byte per pixel, rows from the top down.
struct GreyMap {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bytes;  // width x height
};

struct PaintState {
  // State of the generator behind PaintRandom.
  uint32_t randomState = 1;

  GreyMap map;                                    // empty: "Map apply" has nothing to apply
  int16_t mappingKind = kMapFlat;                 // kMapFlat, kMapCylindric or kMapSpheric
  int16_t mapBrightness = kMapNeutralBrightness;  // 0..256, added to the map as value - 128
  int16_t mapContrast = 0;                        // 0..256; 256 leaves only black and white
};

extern PaintState paintState;

// Start-up: builds the noise lattice the procedural colours read (render/noise.h).
void InitPaint();

// The generator the paint commands draw from: 0..32767, the same sequence for the same seed.
int PaintRandom();
void SeedPaintRandom(uint32_t seed);

// A usable map: a positive size whose bytes are all there.
[[nodiscard]] bool HasGreyMap(const GreyMap& map);

// The picture `pixels` (0xAARRGGBB, `width` x `height`, rows from the top) reduced to grey with
// the Rec. 601 luma weights, (299 R + 587 G + 114 B) / 1000 rounded. The alpha byte is ignored:
// pictures without an alpha channel carry 0 there, and their relief must not vanish. An empty
// map for a size that is not positive, pixels that do not cover the size, or a lack of memory.
GreyMap GreyMapFromPixels(std::span<const uint32_t> pixels, int32_t width, int32_t height);

// Makes the picture the map of "Map apply" (GreyMapFromPixels). False, with no map left, when
// the picture cannot serve.
[[nodiscard]] bool SetMapPicture(std::span<const uint32_t> pixels, int32_t width, int32_t height);

// The start-up state (tests): the lattice stays as it is (it is the same whenever built), the
// generator is seeded with 1, no map, flat mapping, brightness 128, contrast 0.
void ResetPaintState();

}  // namespace tsv
