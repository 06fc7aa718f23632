// picture_writers.h: writing 32-bit pictures (0x00RRGGBB, top row first) as 24-bit BMP and as PNG.
// Both write a temporary file beside the target and rename it over the target only when the
// whole picture was written.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/status.h"

namespace tsv {

// The 24-bit uncompressed BMP image: the 54-byte headers, rows bottom-up as blue, green, red,
// each padded with zeros to a multiple of four bytes.
std::vector<uint8_t> EncodeBmp(std::span<const uint32_t> pixels, int width, int height);

Status WriteBmpFile(const std::string& path, std::span<const uint32_t> pixels, int width, int height);
Status WritePngFile(const std::string& path, std::span<const uint32_t> pixels, int width, int height);

}  // namespace tsv
