// picture_writers.cpp: the BMP and PNG encoders, and a quiet replace-on-success file write.
#include "formats/picture_writers.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "formats/bmp_picture.h"
#include "formats/library_pictures.h"
#include "formats/picture_files.h"

namespace tsv {
namespace {

// Writes `bytes` to a temporary file beside `path` and renames it over `path` when all went well.
Status WriteReplacing(const std::string& path, const std::vector<uint8_t>& bytes) {
  const std::string temp = path + ".tmp" + std::to_string(::getpid());
  std::FILE* file = std::fopen(temp.c_str(), "wb");
  if (file == nullptr) return kWriteError;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = std::fclose(file) == 0 && ok;
  std::error_code error;
  if (ok) std::filesystem::rename(temp, path, error);
  if (!ok || error) {
    std::filesystem::remove(temp, error);
    return kWriteError;
  }
  return kNoError;
}

template <typename Encode>
Status EncodeAndWrite(const std::string& path, std::span<const uint32_t> pixels, int width, int height, Encode encode) {
  if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) return kWriteError;
  const PixelRect rect{0, 0, int16_t(height), int16_t(width)};
  std::vector<uint8_t> bytes;
  if (encode(pixels, rect, size_t(width) * 4, bytes) != kNoError) return kWriteError;
  return WriteReplacing(path, bytes);
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
