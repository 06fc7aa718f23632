// picture_writers.h: quick writers for whole 32-bit pictures (0x00RRGGBB, top row first) as 24-bit
// BMP and as PNG, for the batch commands. They use the picture codecs of bmp_picture.h and
// library_pictures.h, print nothing, and write a temporary file beside the target that replaces
// it only when the whole picture was written.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/status.h"

namespace tsv {

// 0, or kWriteError when the pixels do not hold width x height or the file cannot be written.
Status WriteBmpFile(const std::string& path, std::span<const uint32_t> pixels, int width, int height);
Status WritePngFile(const std::string& path, std::span<const uint32_t> pixels, int width, int height);

}  // namespace tsv
