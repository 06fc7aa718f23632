// icon_test.cpp: the program's icon as the resource generator draws it, and the PNG files it is
// written into.
#include "resources/generator/icon.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tsv::resgen {
namespace {

uint32_t Alpha(uint32_t pixel) { return pixel >> 24; }

// Decodes a PNG file back into 0xAARRGGBB pixels; false when libpng refuses it.
bool DecodePng(const std::string& bytes, int& width, int& height, std::vector<uint32_t>& pixels) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return false;
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  width = int(image.width);
  height = int(image.height);
  pixels.clear();
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
    pixels.push_back(uint32_t(rgba[i + 3]) << 24 | uint32_t(rgba[i]) << 16 | uint32_t(rgba[i + 1]) << 8 | rgba[i + 2]);
  }
  return true;
}

TEST(Icon, EverySizeIsABlobOnATransparentGroundWithSoftEdges) {
  for (int side : kIconSizes) {
    SCOPED_TRACE(side);
    const std::vector<uint32_t> pixels = DrawIcon(side);
    ASSERT_EQ(pixels.size(), size_t(side) * size_t(side));
    const auto at = [&](int x, int y) { return pixels[size_t(y) * size_t(side) + size_t(x)]; };
    // The corners stay clear, the middle is solid and neither black nor white.
    EXPECT_EQ(at(0, 0), 0u);
    EXPECT_EQ(at(side - 1, 0), 0u);
    EXPECT_EQ(at(0, side - 1), 0u);
    EXPECT_EQ(at(side - 1, side - 1), 0u);
    const uint32_t middle = at(side / 2, side / 2);
    EXPECT_EQ(Alpha(middle), 255u);
    EXPECT_NE(middle & 0xFFFFFFu, 0u);
    EXPECT_NE(middle & 0xFFFFFFu, 0xFFFFFFu);
    // The whole outline lies inside the picture: no opaque pixel on its border.
    int partial = 0, opaque = 0;
    for (int i = 0; i < side; ++i) {
      EXPECT_LT(Alpha(at(i, 0)), 255u);
      EXPECT_LT(Alpha(at(i, side - 1)), 255u);
      EXPECT_LT(Alpha(at(0, i)), 255u);
      EXPECT_LT(Alpha(at(side - 1, i)), 255u);
    }
    for (uint32_t pixel : pixels) {
      partial += Alpha(pixel) > 0 && Alpha(pixel) < 255;
      opaque += Alpha(pixel) == 255;
    }
    EXPECT_GT(partial, 0) << "the outline is smoothed";
    EXPECT_GT(opaque, side * side / 3) << "the blob fills a good part of the picture";
  }
  EXPECT_TRUE(DrawIcon(0).empty());
}

TEST(Icon, PngFilesHoldThePixelsExactly) {
  const int side = 24;
  const std::vector<uint32_t> pixels = DrawIcon(side);
  const std::string png = FormatPng(pixels, side, side);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  int width = 0, height = 0;
  std::vector<uint32_t> decoded;
  ASSERT_TRUE(DecodePng(png, width, height, decoded));
  EXPECT_EQ(width, side);
  EXPECT_EQ(height, side);
  // Straight alpha survives: a half-covered edge pixel keeps its colour.
  EXPECT_EQ(decoded, pixels);
}

TEST(Icon, PngRefusesPixelsThatDoNotMatchTheSize) {
  const std::vector<uint32_t> four(4, 0xFF123456u);
  EXPECT_TRUE(FormatPng(four, 3, 1).empty());
  EXPECT_TRUE(FormatPng(four, 0, 4).empty());
  EXPECT_TRUE(FormatPng(four, -2, -2).empty());
  EXPECT_TRUE(FormatPng({}, 0, 0).empty());
  EXPECT_FALSE(FormatPng(four, 2, 2).empty());
}

}  // namespace
}  // namespace tsv::resgen
