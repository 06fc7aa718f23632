// ei_picture.h: Electric Image pictures ('EIDI'): a big-endian block and image header, then rows of
// red, green, blue pixels (alpha first when present), plain or run-length packed. Reader and writer
// work on bytes in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/picture.h"
#include "platform/file_spec.h"
#include "platform/status.h"

namespace tsv {

// Offset of the first pixel row: the 6-byte block header, the 32-byte image header, 3 zero bytes.
inline constexpr size_t kElectricImageDataOffset = 41;

Status GetElectricImageSize(std::span<const uint8_t> file, int& width, int& height);
// Without alpha in the file every pixel is opaque.
Status DecodeElectricImage(std::span<const uint8_t> file, const PixelBuffer& destination);

// "Compressed" packs each row into runs and literals; "Include Alpha" stores alpha before each pixel.
Status EncodeElectricImage(std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes,
                           const PictureSaveOptions& options, std::vector<uint8_t>& out);
Status WriteElectricImagePicture(const FileSpec& spec, std::span<const uint32_t> pixels, PixelRect rect,
                                 size_t strideBytes, const PictureSaveOptions& options);

}  // namespace tsv
