// picture_writers.cpp: whole pictures by path through the BMP and PNG encoders and the shared
// replacing file write.
#include "formats/picture_writers.h"

#include <vector>

#include "formats/bmp_picture.h"
#include "formats/library_pictures.h"
#include "formats/picture_files.h"

namespace tsv {
namespace {

template <typename Encode>
Status EncodeAndWrite(const std::string& path, std::span<const uint32_t> pixels, int width, int height, Encode encode) {
  if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) return kMalformed;
  const PixelRect rect{0, 0, int16_t(height), int16_t(width)};
  std::vector<uint8_t> bytes;
  if (const Status encoded = encode(pixels, rect, size_t(width) * 4, bytes); encoded != kNoError) return encoded;
  return WritePictureFileBytes(FileSpecForPath(path, 0), bytes);
}

}  // namespace

Status WriteBmpFile(const std::string& path, std::span<const uint32_t> pixels, int width, int height) {
  return EncodeAndWrite(path, pixels, width, height,
                        [](std::span<const uint32_t> p, PixelRect r, size_t stride, std::vector<uint8_t>& out) {
                          return EncodeBmp(p, r, stride, out);
                        });
}

Status WritePngFile(const std::string& path, std::span<const uint32_t> pixels, int width, int height) {
  // The pixels carry no alpha (the top byte is 0): an opaque RGB file.
  return EncodeAndWrite(path, pixels, width, height,
                        [](std::span<const uint32_t> p, PixelRect r, size_t stride, std::vector<uint8_t>& out) {
                          return EncodePng(p, r, stride, PictureSaveOptions{}, out);
                        });
}

}  // namespace tsv
