// library_pictures.h: the picture formats read and written through libraries: PNG (libpng, read
// and write), JPEG (libjpeg, read) and TIFF (libtiff, read). All work on bytes in memory, print
// nothing, and turn every library error into a status.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/picture.h"
#include "platform/file_spec.h"
#include "platform/status.h"

namespace tsv {

// Every PNG colour type and depth is read as 8-bit blue, green, red, alpha: palettes and grey are
// expanded, 16-bit samples scaled, a transparent colour becomes alpha 0, opaque pictures get 255.
Status GetPngSize(std::span<const uint8_t> file, int& width, int& height);
Status DecodePng(std::span<const uint8_t> file, const PixelBuffer& destination);
// 8-bit RGB, or RGBA with "Include Alpha"; Adam7 interlaced with "Interlaced".
Status EncodePng(std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes,
                 const PictureSaveOptions& options, std::vector<uint8_t>& out);
Status WritePngPicture(const FileSpec& spec, std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes,
                       const PictureSaveOptions& options);

// Colour and grey JPEGs, and CMYK (Adobe's inverted form included); always opaque. A file that
// ends before its picture does is refused.
Status GetJpegSize(std::span<const uint8_t> file, int& width, int& height);
Status DecodeJpeg(std::span<const uint8_t> file, const PixelBuffer& destination);

// The first image of a TIFF file, through libtiff's RGBA interface.
Status GetTiffSizeLibrary(std::span<const uint8_t> file, int& width, int& height);
Status DecodeTiffLibrary(std::span<const uint8_t> file, const PixelBuffer& destination);

}  // namespace tsv
