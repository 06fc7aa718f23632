// The quick picture writers of the batch commands: the same bytes as the picture codecs, files
// replaced whole or not at all.
#include <gtest/gtest.h>

#include "formats/bmp_picture.h"
#include "formats/library_pictures.h"
#include "formats/picture_files.h"
#include "formats/picture_writers.h"
#include "tests/support/temp_dir.h"

namespace tsv {
namespace {

TEST(PictureWriters, BmpFileHoldsTheCodecsBytes) {
  test::TempDir dir;
  const std::vector<uint32_t> pixels = {0x112233, 0x445566, 0x778899, 0xAABBCC, 0xDDEEFF, 0x010203};
  ASSERT_EQ(WriteBmpFile(dir / "a.bmp", pixels, 3, 2), kNoError);
  std::vector<uint8_t> expected;
  ASSERT_EQ(EncodeBmp(pixels, PixelRect{0, 0, 2, 3}, 12, expected), kNoError);
  EXPECT_EQ(expected.size(), 78u);
  EXPECT_EQ(test::ReadFileBytes(dir / "a.bmp"), expected);
}

TEST(PictureWriters, PngFileIsOpaqueRgbThoughThePixelsCarryNoAlpha) {
  test::TempDir dir;
  const std::vector<uint32_t> pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  ASSERT_EQ(WritePngFile(dir / "a.png", pixels, 2, 2), kNoError);
  const std::vector<uint8_t> png = test::ReadFileBytes(dir / "a.png");
  ASSERT_GT(png.size(), 26u);
  EXPECT_EQ(png[25], 2);  // colour type RGB
  std::vector<uint32_t> decoded(4);
  ASSERT_EQ(DecodePng(png, PixelBuffer{decoded, 2, 2, 2}), kNoError);
  EXPECT_EQ(decoded, (std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}));
}

TEST(PictureWriters, FilesAreWrittenWholeOrNotAtAll) {
  test::TempDir dir;
  const std::vector<uint32_t> pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  test::WriteFileText(dir / "keep.bmp", "old");
  EXPECT_EQ(WriteBmpFile(dir / "keep.bmp", pixels, 3, 3), kMalformed);  // too few pixels
  EXPECT_EQ(WritePngFile(dir / "keep.bmp", pixels, 0, 4), kMalformed);
  EXPECT_EQ(test::ReadFileText(dir / "keep.bmp"), "old");
  EXPECT_EQ(WritePngFile(dir / "no-folder/x.png", pixels, 2, 2), kWriteError);
}

}  // namespace
}  // namespace tsv
