// The picture writers: the BMP image byte for byte, and PNG through libpng read back.
#include <gtest/gtest.h>

#include <png.h>

#include "formats/picture_writers.h"
#include "tests/support/temp_dir.h"

namespace tsv {
namespace {

TEST(PictureWriters, ABmpOfThreeByTwoHasTwelveByteRowsAndSeventyEightBytes) {
  const std::vector<uint32_t> pixels = {0x112233, 0x445566, 0x778899, 0xAABBCC, 0xDDEEFF, 0x010203};
  std::vector<uint8_t> bmp = EncodeBmp(pixels, 3, 2);
  ASSERT_EQ(bmp.size(), 78u);
  const std::vector<uint8_t> head = {'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0};
  EXPECT_TRUE(std::equal(head.begin(), head.end(), bmp.begin()));
  // Bottom row first: the second row of the picture, blue green red, then three zero bytes.
  const std::vector<uint8_t> rows = {0xCC, 0xBB, 0xAA, 0xFF, 0xEE, 0xDD, 0x03, 0x02, 0x01, 0, 0, 0,
                                     0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0x99, 0x88, 0x77, 0, 0, 0};
  EXPECT_TRUE(std::equal(rows.begin(), rows.end(), bmp.begin() + 54));
}

TEST(PictureWriters, PngAndBmpFilesAreWrittenWholeOrNotAtAll) {
  test::TempDir dir;
  const std::vector<uint32_t> pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  ASSERT_EQ(WritePngFile(dir / "a.png", pixels, 2, 2), kNoError);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, (dir / "a.png").c_str()));
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
  EXPECT_EQ(rgb, (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}));

  test::WriteFileText(dir / "keep.bmp", "old");
  EXPECT_EQ(WriteBmpFile(dir / "keep.bmp", pixels, 3, 3), kWriteError);  // too few pixels
  EXPECT_EQ(test::ReadFileText(dir / "keep.bmp"), "old");
  EXPECT_EQ(WritePngFile(dir / "no-folder/x.png", pixels, 2, 2), kWriteError);
}

}  // namespace
}  // namespace tsv
