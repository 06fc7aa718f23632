// bmp_picture.h: Windows and OS/2 bitmaps. The reader takes 1, 4 and 8 bits with a palette (RLE4
// and RLE8 included), 24 bits and 32 bits (plain or with the usual BGRA bit fields), rows bottom-up
// or top-down; the writer writes 24-bit uncompressed files. Both work on bytes in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/picture.h"
#include "platform/file_spec.h"
#include "platform/status.h"

namespace tsv {

// Width and height from the headers. kInvalidBmpFile for a header size, bit count or compression
// that is not read; kNoMemory for a size beyond the picture caps.
Status GetBmpSize(std::span<const uint8_t> file, int& width, int& height);
// Decodes into `destination`, which must have the file's size. Alpha is always 255.
Status DecodeBmp(std::span<const uint8_t> file, const PixelBuffer& destination);

// The 24-bit file: 54 bytes of headers, then rows bottom-up as blue, green, red, each padded with
// zeros to a multiple of four bytes. kWriteError for an invalid source, kNoMemory.
Status EncodeBmp(std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes, std::vector<uint8_t>& out);
// Encodes and replaces the file whole; a failure has been shown. 0 or 1.
Status WriteBmpPicture(const FileSpec& spec, std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes);

}  // namespace tsv
