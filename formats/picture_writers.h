// picture_writers.h: quick writers for whole 32-bit pictures (0x00RRGGBB, top row first) as 24-bit
// BMP and as PNG, by path. They use the picture codecs of bmp_picture.h and library_pictures.h and
// the replacing write of picture_files.h (WritePictureFileBytes): a temporary file beside the
// target replaces it only when the whole picture was written, and a file that cannot be written
// shows "Error: File error has occured.".
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
