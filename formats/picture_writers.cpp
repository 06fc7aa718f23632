// picture_writers.cpp: BMP by hand, PNG through libpng.
#include "formats/picture_writers.h"

#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/byte_order.h"

namespace tsv {
namespace {

// A temporary file beside `path` that replaces it when `write` succeeded.
template <typename Write>
Status WriteReplacing(const std::string& path, Write write) {
  const std::string temp = path + ".tmp" + std::to_string(::getpid());
  std::FILE* file = std::fopen(temp.c_str(), "wb");
  if (file == nullptr) return kWriteError;
  bool ok = write(file);
  ok = std::fclose(file) == 0 && ok;
  std::error_code error;
  if (ok) std::filesystem::rename(temp, path, error);
  if (!ok || error) {
    std::filesystem::remove(temp, error);
    return kWriteError;
  }
  return kNoError;
}

}  // namespace

std::vector<uint8_t> EncodeBmp(std::span<const uint32_t> pixels, int width, int height) {
  const size_t rowBytes = (size_t(width) * 3 + 3) & ~size_t(3);
  const size_t size = 54 + rowBytes * size_t(height);
  std::vector<uint8_t> out(size, 0);
  uint8_t* p = out.data();
  p[0] = 'B';
  p[1] = 'M';
  StoreU32LE(p + 2, uint32_t(size));
  StoreU32LE(p + 10, 54);
  StoreU32LE(p + 14, 40);
  StoreU32LE(p + 18, uint32_t(width));
  StoreU32LE(p + 22, uint32_t(height));
  StoreU16LE(p + 26, 1);
  StoreU16LE(p + 28, 24);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = p + 54 + rowBytes * size_t(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      uint32_t c = pixels[size_t(y) * size_t(width) + size_t(x)];
      row[x * 3 + 0] = uint8_t(c);
      row[x * 3 + 1] = uint8_t(c >> 8);
      row[x * 3 + 2] = uint8_t(c >> 16);
    }
  }
  return out;
}

Status WriteBmpFile(const std::string& path, std::span<const uint32_t> pixels, int width, int height) {
  if (width <= 0 || height <= 0 || pixels.size() < size_t(width) * size_t(height)) return kWriteError;
  const std::vector<uint8_t> image = EncodeBmp(pixels, width, height);
  return WriteReplacing(path, [&](std::FILE* file) { return std::fwrite(image.data(), 1, image.size(), file) == image.size(); });
}

Status WritePngFile(const std::string& path, std::span<const uint32_t> pixels, int width, int height) {
  if (width <= 0 || height <= 0 || pixels.size() < size_t(width) * size_t(height)) return kWriteError;
  std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
  for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
    rgb[i * 3 + 0] = uint8_t(pixels[i] >> 16);
    rgb[i * 3 + 1] = uint8_t(pixels[i] >> 8);
    rgb[i * 3 + 2] = uint8_t(pixels[i]);
  }
  return WriteReplacing(path, [&](std::FILE* file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    bool ok = png_image_write_to_stdio(&image, file, 0, rgb.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
  });
}

}  // namespace tsv
