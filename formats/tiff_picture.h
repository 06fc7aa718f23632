// tiff_picture.h: TIFF pictures. Reading goes through libtiff, and through our own fallback reader
// when libtiff refuses a file; writing is our own uncompressed big-endian RGB(A) file.
//
// The fallback reader takes the first image of a file in either byte order, stored in strips
// (uncompressed or PackBits), contiguous 8-bit samples, no predictor, top-left orientation:
// RGB (3 samples), RGB with alpha (4), grey (1, black or white is zero) and grey with alpha (2).
// Tiles, palettes, other bit depths and other compressions it refuses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/picture.h"
#include "platform/file_spec.h"
#include "platform/status.h"

namespace tsv {

// Where the writer puts its resolution values and its pixels.
inline constexpr size_t kTiffXResolutionOffset = 158;
inline constexpr size_t kTiffYResolutionOffset = 166;
inline constexpr size_t kTiffDataOffset = 174;

// libtiff first, the fallback reader when libtiff fails.
Status GetTiffSize(std::span<const uint8_t> file, int& width, int& height);
Status DecodeTiff(std::span<const uint8_t> file, const PixelBuffer& destination);

// The fallback reader alone.
Status GetTiffSizeFallback(std::span<const uint8_t> file, int& width, int& height);
Status DecodeTiffFallback(std::span<const uint8_t> file, const PixelBuffer& destination);

// "MM", 42, one directory of 12 entries at offset 8, resolution 300/1 dpi, one uncompressed strip
// of red, green, blue (and alpha with "Include Alpha") from offset 174.
Status EncodeTiff(std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes,
                  const PictureSaveOptions& options, std::vector<uint8_t>& out);
Status WriteTiffPicture(const FileSpec& spec, std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes,
                        const PictureSaveOptions& options);

}  // namespace tsv
