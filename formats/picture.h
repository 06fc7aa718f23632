// picture.h: the pixel buffers every picture reader and writer works on, and the picture save
// options. Pixels are 32-bit values 0xAARRGGBB (in memory: blue, green, red, alpha), rows top
// first; alpha 255 is opaque.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tsv {

// A whole picture owned in memory, `width` pixels per row.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

// The part of a pixel buffer a writer takes: width = right - left, height = bottom - top.
struct PixelRect {
  int16_t top = 0;
  int16_t left = 0;
  int16_t bottom = 0;
  int16_t right = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

// A caller-supplied destination for a decoder: `height` rows of `width` pixels, row k starting at
// pixels[k * stride] (stride in pixels, at least width). Decoders check that the picture in the file
// has exactly this size and that the span holds it before writing a single pixel.
struct PixelBuffer {
  std::span<uint32_t> pixels;
  int width = 0;
  int height = 0;
  size_t stride = 0;
};

// The options of the picture save dialog (and the animated GIF dialog). "Compressed" applies to
// Electric Image pictures only; "Dithered" and "Interlaced" to GIF; "Include Alpha" to GIF (the
// GIF89a signature, transparent pixels to entry 255), Electric Image and TIFF pictures.
struct PictureSaveOptions {
  bool interlaced = false;
  bool includeAlpha = false;
  bool dithered = true;
  bool compressed = false;
};

// The options the picture save dialog last left (kept in formatsState, formats_state.h); every save
// that does not pass its own uses them.
PictureSaveOptions& CurrentPictureSaveOptions();

}  // namespace tsv
