// gif.h: GIF pictures and animations. The writer reduces 32-bit pixels to one fixed 252-colour
// palette (optionally dithered) and compresses them with the GIF variable-length LZW coder; the
// reader decodes the first image of a GIF87a/GIF89a file into 32-bit pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "formats/picture.h"
#include "platform/file_spec.h"
#include "platform/status.h"

namespace tsv {

// The fixed palette shared by reader and writer: 256 entries of red, green, blue. Entry
// (r*7 + g)*6 + b (r, b in 0..5, g in 0..6) holds 51*r, floor(255*g/6), 51*b; entries 252..255
// are black, and 255 is the transparent entry.
inline constexpr size_t kGifPaletteBytes = 768;
inline constexpr uint8_t kGifTransparentIndex = 255;
std::span<const uint8_t, kGifPaletteBytes> GifPalette();

struct GifEncoderState;  // index buffer, dither rows and LZW tables, private to gif.cpp

// The coder behind GifWriter, on memory: each step appends its bytes to `out`. Begin allocates the
// index buffer and the coder's tables for the whole animation; Finish (or any failure) frees them.
// The pixel span starts at the rectangle's top-left pixel and rows are `strideBytes` apart, which
// must be exactly 4 * width. A negative `delay` writes no looping extension and a frame delay of 0.
class GifEncoder {
 public:
  GifEncoder();
  ~GifEncoder();
  GifEncoder(const GifEncoder&) = delete;
  GifEncoder& operator=(const GifEncoder&) = delete;

  Status Begin(PixelRect rect, size_t strideBytes, int delay, const PictureSaveOptions& options,
               std::vector<uint8_t>& out);
  // A frame must have the size given to Begin.
  Status AddFrame(std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes,
                  std::vector<uint8_t>& out);
  Status Finish(std::vector<uint8_t>& out);
  [[nodiscard]] bool IsOpen() const { return state_ != nullptr; }

 private:
  std::unique_ptr<GifEncoderState> state_;
};

// A whole single-picture GIF in memory (no delay, one frame). 0, or 1 with `out` left empty.
Status EncodeGif(std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes,
                 const PictureSaveOptions& options, std::vector<uint8_t>& out);

// Writes an animated (or single) GIF in three steps: the header once, a frame per picture, the
// trailer. All frames have the size the header was given. `delay` is in hundredths of a second;
// a negative delay writes no looping extension and a frame delay of 0. Pixels and stride as for
// GifEncoder. Each step returns 0 or 1; after a failure the file is closed and the writer's
// buffers are freed, and later steps fail until the next header.
//
// The file is written into a temporary beside the target from the header on and renamed over the
// target only by a successful trailer: a failed or unfinished animation leaves the previous file
// as it was.
class GifWriter {
 public:
  GifWriter();
  ~GifWriter();
  GifWriter(const GifWriter&) = delete;
  GifWriter& operator=(const GifWriter&) = delete;

  Status WriteHeader(const FileSpec& spec, std::span<const uint32_t> pixels, PixelRect rect,
                     size_t strideBytes, int delay, const PictureSaveOptions& options);
  Status WriteFrame(const FileSpec& spec, std::span<const uint32_t> pixels, PixelRect rect,
                    size_t strideBytes);
  Status WriteTrailer(const FileSpec& spec);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// A single picture: encoded whole in memory (EncodeGif), then written as one replacing file write.
Status WriteGifPicture(const FileSpec& spec, std::span<const uint32_t> pixels, PixelRect rect,
                       size_t strideBytes, const PictureSaveOptions& options);

// The size of the first image in the file. 0 or 1.
Status ReadGifSize(const FileSpec& spec, int& width, int& height);

// Decodes the first image into `destination` (sized from ReadGifSize). 0 or 1.
Status ReadGifPicture(const FileSpec& spec, const PixelBuffer& destination);

// The same on a file image in memory. Bad input never reads past `bytes` nor writes outside the
// destination, whose size must equal the image's. Status 1 for: a signature other than GIF87a or
// GIF89a, a block other than an image or extension before the first image, an image of zero size,
// data that ends before the image's LZW data starts, a minimum code size outside 2..11, and a code
// that is not yet in the string table. LZW data that simply ends early (a cut file) gives 0: the
// pixels decoded so far are stored and the rest of the destination stays as it was.
// Colours: the global table, then a local table over the entries it holds (the others keep the
// global colours; entries no table names are black). The transparent index is the one the last
// graphic control extension with its transparency bit set names; an extension without the bit
// leaves it as it was.
Status DecodeGifSize(std::span<const uint8_t> bytes, int& width, int& height);
Status DecodeGif(std::span<const uint8_t> bytes, const PixelBuffer& destination);

}  // namespace tsv
