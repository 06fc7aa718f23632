// Picture files: the BMP, Electric Image, TIFF, PNG and JPEG codecs byte for byte and in round
// trips, their handling of damaged files, and the shared loader and saver with their messages.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "formats/bmp_picture.h"
#include "formats/ei_picture.h"
#include "formats/formats_state.h"
#include "formats/gif.h"
#include "formats/library_pictures.h"
#include "formats/object_texture.h"
#include "formats/picture_files.h"
#include "formats/tiff_picture.h"
#include "platform/platform_state.h"
#include "platform/scripted_services.h"
#include "scene/scene_object.h"
#include "tests/support/temp_dir.h"
#include "tests/support/reset_all_state.h"

namespace tsv {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kBmp = FourCC("BMP ");
constexpr uint32_t kGif = FourCC("GIFf");
constexpr uint32_t kTiff = FourCC("TIFF");
constexpr uint32_t kEidi = FourCC("EIDI");
constexpr uint32_t kPng = FourCC("PNGf");
constexpr uint32_t kJpeg = FourCC("JPEG");

// ---------------------------------------------------------------------------------------------
// Helpers

struct ByteWriter {
  Bytes b;
  void U8(uint32_t v) { b.push_back(uint8_t(v)); }
  void U16LE(uint32_t v) { U8(v), U8(v >> 8); }
  void U32LE(uint32_t v) { U16LE(v), U16LE(v >> 16); }
  void U16BE(uint32_t v) { U8(v >> 8), U8(v); }
  void U32BE(uint32_t v) { U16BE(v >> 16), U16BE(v); }
  void Append(const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }
};

// A picture with every pixel different enough to catch swapped channels, rows or columns.
Picture TestPicture(int width, int height, bool withAlpha) {
  Picture p{width, height, std::vector<uint32_t>(size_t(width) * size_t(height))};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t r = uint32_t(x * 37 + y * 11) & 0xFF;
      const uint32_t g = uint32_t(x * 5 + y * 71 + 9) & 0xFF;
      const uint32_t b = uint32_t(x * 13 ^ y * 29) & 0xFF;
      const uint32_t a = withAlpha ? uint32_t(x * 60 + y * 30) & 0xFF : 0xFF;
      p.pixels[size_t(y) * size_t(width) + size_t(x)] = (a << 24) | (r << 16) | (g << 8) | b;
    }
  }
  return p;
}

// A smooth picture, for lossy JPEG.
Picture SmoothPicture(int width, int height) {
  Picture p{width, height, std::vector<uint32_t>(size_t(width) * size_t(height))};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t r = uint32_t(40 + x * 160 / width);
      const uint32_t g = uint32_t(200 - y * 150 / height);
      const uint32_t b = uint32_t(90 + (x + y) * 60 / (width + height));
      p.pixels[size_t(y) * size_t(width) + size_t(x)] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
  }
  return p;
}

Picture Opaque(Picture p) {
  for (uint32_t& c : p.pixels) c |= 0xFF000000u;
  return p;
}

size_t StrideOf(const Picture& p) { return size_t(p.width) * 4; }

Picture Decoded(const Bytes& bytes, uint32_t type) {
  Picture p;
  EXPECT_EQ(DecodePictureBytes(bytes, type, p), kNoError);
  return p;
}

void ExpectSamePicture(const Picture& actual, const Picture& expected) {
  ASSERT_EQ(actual.width, expected.width);
  ASSERT_EQ(actual.height, expected.height);
  for (size_t i = 0; i < expected.pixels.size(); ++i) {
    ASSERT_EQ(actual.pixels[i], expected.pixels[i]) << "pixel " << i % size_t(expected.width) << ","
                                                    << i / size_t(expected.width);
  }
}

// ---------------------------------------------------------------------------------------------
// BMP files built by hand

struct BmpFields {
  uint32_t infoSize = 40;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bits = 24;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  Bytes masks;    // bit fields: at byte 40 of the info header
  Bytes palette;  // raw entries
  Bytes data;
};

Bytes MakeBmp(const BmpFields& f) {
  ByteWriter info;
  if (f.infoSize == 12) {
    info.U32LE(12), info.U16LE(uint32_t(f.width)), info.U16LE(uint32_t(f.height)), info.U16LE(1), info.U16LE(f.bits);
  } else {
    info.U32LE(f.infoSize), info.U32LE(uint32_t(f.width)), info.U32LE(uint32_t(f.height));
    info.U16LE(1), info.U16LE(f.bits), info.U32LE(f.compression), info.U32LE(uint32_t(f.data.size()));
    info.U32LE(2835), info.U32LE(2835), info.U32LE(f.colorsUsed), info.U32LE(0);
    if (f.infoSize > 40) {
      info.b.resize(f.infoSize, 0);
      std::copy(f.masks.begin(), f.masks.end(), info.b.begin() + 40);
    } else {
      info.Append(f.masks);
    }
  }
  ByteWriter file;
  const uint32_t dataOffset = uint32_t(14 + info.b.size() + f.palette.size());
  file.U8('B'), file.U8('M'), file.U32LE(uint32_t(dataOffset + f.data.size())), file.U32LE(0), file.U32LE(dataOffset);
  file.Append(info.b);
  file.Append(f.palette);
  file.Append(f.data);
  return file.b;
}

uint32_t Argb(uint32_t r, uint32_t g, uint32_t b) { return 0xFF000000u | (r << 16) | (g << 8) | b; }

// Palette index 0 is a dull blue-grey, 1 red, 2 green (4-byte entries: blue, green, red, 0).
const Bytes kThreeColours = {30, 20, 10, 0, 0, 0, 255, 0, 0, 255, 0, 0};
const uint32_t kC0 = Argb(10, 20, 30);
const uint32_t kRed = Argb(255, 0, 0);
const uint32_t kGreen = Argb(0, 255, 0);
const uint32_t kBlack = Argb(0, 0, 0);

TEST(BmpReader, TwentyFourBitRowsSkipTheirPaddingInOs2AndWindowsFiles) {
  // Rows of 24-bit pixels are padded to four bytes: width mod 4 bytes (1, 2, 3, 0 for widths
  // 1..4). The padding is filled with 0xEE here, so reading it as a pixel would show.
  for (uint32_t infoSize : {12u, 40u}) {
    for (int width = 1; width <= 4; ++width) {
      const Picture source = TestPicture(width, 2, false);
      BmpFields f;
      f.infoSize = infoSize;
      f.width = width;
      f.height = 2;
      for (int row = 1; row >= 0; --row) {  // bottom row first
        for (int x = 0; x < width; ++x) {
          const uint32_t c = source.pixels[size_t(row * width + x)];
          f.data.insert(f.data.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
        }
        f.data.insert(f.data.end(), size_t(width % 4), 0xEE);
      }
      const Bytes bmp = MakeBmp(f);
      int w = 0, h = 0;
      ASSERT_EQ(GetBmpSize(bmp, w, h), kNoError);
      EXPECT_EQ(w, width);
      EXPECT_EQ(h, 2);
      ExpectSamePicture(Decoded(bmp, kBmp), source);
    }
  }
}

// An RLE or plain file of the three-colour palette above.
BmpFields ThreeColourBmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression, Bytes data) {
  BmpFields f;
  f.width = width;
  f.height = height;
  f.bits = bits;
  f.compression = compression;
  f.colorsUsed = 3;
  f.palette = kThreeColours;
  f.data = std::move(data);
  return f;
}

struct HandBmp {
  std::string name;
  BmpFields fields;
  std::vector<uint32_t> pixels;
};

std::vector<HandBmp> HandBuiltBmps() {
  std::vector<HandBmp> cases;
  // RLE8, 4 x 3: two red pixels at the start of the bottom row, then end of bitmap; the pixels no
  // packet reaches keep index 0.
  cases.push_back({"rle8 ending early", ThreeColourBmp(4, 3, 8, 1, {2, 1, 0, 1}),
                   {kC0, kC0, kC0, kC0, kC0, kC0, kC0, kC0, kRed, kRed, kC0, kC0}});
  // RLE8, 6 x 3: bottom row a padded literal of three and a run of three, end of line; then a
  // move two right and one up, a run of two, end of bitmap.
  cases.push_back({"rle8 escapes literals and moves",
                   ThreeColourBmp(6, 3, 8, 1, {0, 3, 1, 2, 1, 0, 3, 2, 0, 0, 0, 2, 2, 1, 2, 1, 0, 1}),
                   {kC0, kC0, kRed, kRed, kC0, kC0,  //
                    kC0, kC0, kC0, kC0, kC0, kC0,    //
                    kRed, kGreen, kRed, kGreen, kGreen, kGreen}});
  // RLE4, 8 x 1: a run alternating the two indices of its byte, then a literal of three indices.
  cases.push_back({"rle4 run and literal", ThreeColourBmp(8, 1, 4, 2, {5, 0x12, 0, 3, 0x21, 0x20, 0, 0, 0, 1}),
                   {kRed, kGreen, kRed, kGreen, kRed, kGreen, kRed, kGreen}});
  // Runs and moves that leave the picture are clipped: a run of 255 in a row of 4; a move of two,
  // then a literal of three running past the row end; a move far beyond the top.
  cases.push_back({"rle8 clipped runs and moves",
                   ThreeColourBmp(4, 2, 8, 1, {255, 1, 0, 0, 0, 2, 2, 0, 0, 3, 1, 2, 1, 0, 0, 2, 200, 200, 0, 1}),
                   {kC0, kC0, kRed, kGreen, kRed, kRed, kRed, kRed}});
  cases.push_back({"rle8 clipped literal", ThreeColourBmp(4, 2, 8, 1, {0, 6, 1, 1, 1, 1, 1, 1, 0, 1}),
                   {kC0, kC0, kC0, kC0, kRed, kRed, kRed, kRed}});
  // 8 bits with a palette of two: indices 2 and 255 are black.
  BmpFields f = ThreeColourBmp(4, 1, 8, 0, {1, 2, 255, 0});
  f.colorsUsed = 2;
  f.palette = {30, 20, 10, 0, 0, 0, 255, 0};
  cases.push_back({"8 bits beyond the palette", f, {kRed, kBlack, kBlack, kC0}});
  // 1 bit, 9 pixels: two data bytes, padded to four.
  f = ThreeColourBmp(9, 1, 1, 0, {0b10110000, 0b10000000, 0xFF, 0xFF});
  f.colorsUsed = 0;
  f.palette = {30, 20, 10, 0, 0, 0, 255, 0};
  cases.push_back({"1 bit", f, {kRed, kC0, kRed, kRed, kC0, kC0, kC0, kC0, kRed}});
  // 4 bits, OS/2 palette of three-byte entries.
  f = ThreeColourBmp(3, 1, 4, 0, {0x21, 0x00, 0, 0});
  f.infoSize = 12;
  f.colorsUsed = 0;
  f.palette.assign(16 * 3, 0);
  f.palette[3 * 2 + 1] = 255;  // index 2 green
  f.palette[3 * 1 + 2] = 255;  // index 1 red
  cases.push_back({"4 bits os2 palette", f, {kGreen, kRed, kBlack}});
  // 32 bits load opaque whatever the fourth byte holds.
  f = BmpFields{};
  f.width = 2;
  f.height = 1;
  f.bits = 32;
  f.data = {0x33, 0x22, 0x11, 0x00, 0x66, 0x55, 0x44, 0x00};  // alpha 0 in the file
  cases.push_back({"32 bits", f, {0xFF112233u, 0xFF445566u}});
  // The usual BGRA bit fields after every Windows header (124 bytes as GIMP writes), rows top-down.
  const Bytes masks = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF};
  for (uint32_t infoSize : {40u, 56u, 108u, 124u}) {
    f = BmpFields{};
    f.infoSize = infoSize;
    f.width = 1;
    f.height = -2;
    f.bits = 32;
    f.compression = 3;
    f.masks = infoSize == 40 ? Bytes(masks.begin(), masks.begin() + 12) : masks;
    f.data = {1, 2, 3, 0x80, 4, 5, 6, 0};
    cases.push_back({"32 bits, bit fields, header " + std::to_string(infoSize), f, {0xFF030201u, 0xFF060504u}});
  }
  return cases;
}

TEST(BmpReader, HandBuiltFilesGiveTheirPixels) {
  for (const HandBmp& c : HandBuiltBmps()) EXPECT_EQ(Decoded(MakeBmp(c.fields), kBmp).pixels, c.pixels) << c.name;
}

TEST(BmpReader, UnreadableHeadersAreInvalidBmpFiles) {
  BmpFields base;
  base.width = 1;
  base.height = 1;
  base.data = {1, 2, 3, 0};
  struct Case {
    const char* name;
    BmpFields fields;
  };
  std::vector<Case> cases;
  cases.push_back({"header size 64", base});
  cases.back().fields.infoSize = 64;
  cases.push_back({"16 bits", base});
  cases.back().fields.bits = 16;
  cases.push_back({"JPEG inside", base});
  cases.back().fields.compression = 4;
  cases.push_back({"RLE8 on 24 bits", base});
  cases.back().fields.compression = 1;
  cases.push_back({"RGBA bit fields", base});
  cases.back().fields.bits = 32;
  cases.back().fields.compression = 3;
  cases.back().fields.masks = {0, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0};
  for (const Case& c : cases) {
    Picture p;
    EXPECT_EQ(DecodePictureBytes(MakeBmp(c.fields), kBmp, p), kInvalidBmpFile) << c.name;
  }
}

// A 121-byte file claiming an uncompressed 8539 x 12544 picture (found by fuzzing) once had the
// loader set aside 400 MB before finding the rows missing: short rows are refused with the size.
TEST(BmpReader, UncompressedRowsMissingFromTheFileAreRefusedWithTheSize) {
  struct Case {
    const char* name;
    BmpFields fields;
    Status expected;
  };
  const Case cases[] = {
      {"huge 1-bit picture, no rows", ThreeColourBmp(8539, 12544, 1, 0, Bytes(64, 0)), kReadError},
      {"24-bit rows one byte short", ThreeColourBmp(2, 2, 24, 0, Bytes(15, 0)), kReadError},
      {"24-bit rows whole", ThreeColourBmp(2, 2, 24, 0, Bytes(16, 0)), kNoError},
      {"RLE8 is not held to the row size", ThreeColourBmp(4, 3, 8, 1, {2, 1, 0, 1}), kNoError},
  };
  for (const Case& c : cases) {
    int w = 0;
    int h = 0;
    EXPECT_EQ(PictureSizeOfBytes(MakeBmp(c.fields), kBmp, w, h), c.expected) << c.name;
  }
}

TEST(BmpWriter, ThreeByTwoHasTwelveByteRowsAndSeventyEightBytes) {
  // The source rows are four pixels apart; the writer takes three of each.
  const std::vector<uint32_t> pixels = {0x112233, 0x445566, 0x778899, 0xDEAD, 0xAABBCC, 0xDDEEFF, 0x010203, 0xBEEF};
  Bytes bmp;
  ASSERT_EQ(EncodeBmp(pixels, PixelRect{0, 0, 2, 3}, 16, bmp), kNoError);
  const Bytes expected = {'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,                  // file header
                          40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,    // info header
                          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,      //
                          0xCC, 0xBB, 0xAA, 0xFF, 0xEE, 0xDD, 0x03, 0x02, 0x01, 0, 0, 0,   // bottom row
                          0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0x99, 0x88, 0x77, 0, 0, 0};  // top row
  EXPECT_EQ(bmp, expected);
  // Every width pads right, and the reader gives the pixels back (opaque).
  for (int width = 1; width <= 5; ++width) {
    const Picture source = TestPicture(width, 3, true);
    ASSERT_EQ(EncodeBmp(source.pixels, RectOfPicture(source), StrideOf(source), bmp), kNoError);
    EXPECT_EQ(bmp.size(), 54 + size_t((width * 3 + 3) / 4 * 4) * 3);
    ExpectSamePicture(Decoded(bmp, kBmp), Opaque(source));
  }
}

// ---------------------------------------------------------------------------------------------
// Electric Image

TEST(ElectricImageWriter, HeaderByteForByte) {
  const std::vector<uint32_t> pixels = {0x80112233, 0x40445566};
  Bytes ei;
  ASSERT_EQ(EncodeElectricImage(pixels, PixelRect{0, 0, 1, 2}, 8, PictureSaveOptions{false, true, true, true}, ei),
            kNoError);
  const Bytes header = {0, 5, 0, 0, 0, 1,           // block header
                        0, 0, 0, 0,                 // image header: u32 0
                        0, 0, 0, 0, 0, 1, 0, 2,     // top, left, bottom, right
                        24, 0,                      // depth
                        0, 0, 0, 0, 0, 1, 0, 2,     // the rectangle again
                        1, 8,                       // compressed, alpha
                        0, 0, 0, 0, 0, 1, 0, 0,     // u32 0, u16 1, u16 0
                        0, 0, 0};                   // three zero bytes
  ASSERT_EQ(ei.size(), header.size() + 9);
  EXPECT_TRUE(std::equal(header.begin(), header.end(), ei.begin()));
  // Two different pixels: one literal packet of two, alpha first.
  EXPECT_EQ(Bytes(ei.begin() + 41, ei.end()), (Bytes{129, 0x80, 0x11, 0x22, 0x33, 0x40, 0x44, 0x55, 0x66}));
}

TEST(ElectricImageWriter, PacksRunsLiteralsAndSplitsLongOnes) {
  // One row: literals A B C, a run of 5, a lone E, a run of 130, then 130 different pixels.
  std::vector<uint32_t> row = {0xA0A0A0, 0xB0B0B0, 0xC0C0C0};
  row.insert(row.end(), 5, 0x0D0D0D);
  row.push_back(0x0E0E0E);
  row.insert(row.end(), 130, 0x0F0F0F);
  for (uint32_t i = 0; i < 130; ++i) row.push_back(0x100000 + i);
  const int width = int(row.size());
  Bytes ei;
  ASSERT_EQ(EncodeElectricImage(row, PixelRect{0, 0, 1, int16_t(width)}, size_t(width) * 4,
                                PictureSaveOptions{false, false, true, true}, ei),
            kNoError);
  ByteWriter expected;
  auto pixel = [&](uint32_t c) { expected.U8(c >> 16), expected.U8(c >> 8), expected.U8(c); };
  expected.U8(130), pixel(0xA0A0A0), pixel(0xB0B0B0), pixel(0xC0C0C0);  // 3 literals
  expected.U8(4), pixel(0x0D0D0D);                                       // run of 5
  expected.U8(128), pixel(0x0E0E0E);                                     // 1 literal
  expected.U8(127), pixel(0x0F0F0F);                                     // 128 of the run of 130...
  expected.U8(1), pixel(0x0F0F0F);                                       // ...and the last 2
  expected.U8(255);                                                      // 128 literals flushed
  for (uint32_t i = 0; i < 128; ++i) pixel(0x100000 + i);
  expected.U8(129), pixel(0x100000 + 128), pixel(0x100000 + 129);        // the rest at the row end
  EXPECT_EQ(Bytes(ei.begin() + 41, ei.end()), expected.b);
  // Pixels that differ in alpha only are equal without "Include Alpha".
  const std::vector<uint32_t> alphas = {0x10123456, 0x20123456, 0x30123456};
  ASSERT_EQ(EncodeElectricImage(alphas, PixelRect{0, 0, 1, 3}, 12, PictureSaveOptions{false, false, true, true}, ei),
            kNoError);
  EXPECT_EQ(Bytes(ei.begin() + 41, ei.end()), (Bytes{2, 0x12, 0x34, 0x56}));
}

TEST(ElectricImageWriter, RunsSplitAfterEvery128Pixels) {
  struct Case {
    int length;
    Bytes counts;
  };
  const Case cases[] = {{2, {1}}, {128, {127}}, {129, {127, 0}}, {256, {127, 127}}, {257, {127, 127, 0}}};
  for (const Case& c : cases) {
    const std::vector<uint32_t> row(size_t(c.length), 0x010203);
    Bytes ei;
    ASSERT_EQ(EncodeElectricImage(row, PixelRect{0, 0, 1, int16_t(c.length)}, size_t(c.length) * 4,
                                  PictureSaveOptions{false, false, true, true}, ei),
              kNoError);
    Bytes expected;
    for (uint8_t count : c.counts) expected.insert(expected.end(), {count, 1, 2, 3});
    EXPECT_EQ(Bytes(ei.begin() + 41, ei.end()), expected) << c.length;
  }
}

TEST(ElectricImageWriter, RoundTripsPlainCompressedAndWithAlpha) {
  Picture source = TestPicture(150, 7, true);
  // Runs in the picture, some longer than a packet.
  std::fill_n(source.pixels.begin() + 3, 140, 0x7F123456u);
  std::fill_n(source.pixels.begin() + 600, 300, 0x00FFFFFFu);
  for (bool compressed : {false, true}) {
    for (bool alpha : {false, true}) {
      Bytes ei;
      ASSERT_EQ(EncodeElectricImage(source.pixels, RectOfPicture(source), StrideOf(source),
                                    PictureSaveOptions{false, alpha, true, compressed}, ei),
                kNoError);
      const size_t plainSize = 41 + source.pixels.size() * (alpha ? 4 : 3);
      if (compressed) {
        EXPECT_LT(ei.size(), plainSize);
      } else {
        EXPECT_EQ(ei.size(), plainSize);
      }
      ExpectSamePicture(Decoded(ei, kEidi), alpha ? source : Opaque(source));
    }
  }
}

TEST(ElectricImageReader, PacketsMayRunOnIntoTheNextRow) {
  Bytes ei;
  ASSERT_EQ(EncodeElectricImage(std::vector<uint32_t>(6, 0), PixelRect{0, 0, 2, 3}, 12,
                                PictureSaveOptions{false, false, true, true}, ei),
            kNoError);
  ei.resize(41);
  Bytes packets = ei;
  packets.insert(packets.end(), {4, 1, 2, 3, 128, 4, 5, 6});  // five equal pixels, then one more
  EXPECT_EQ(Decoded(packets, kEidi).pixels, (std::vector<uint32_t>{0xFF010203, 0xFF010203, 0xFF010203, 0xFF010203,
                                                                   0xFF010203, 0xFF040506}));
  packets = ei;
  packets.insert(packets.end(), {4, 1, 2, 3, 1, 4, 5, 6});  // the second run passes the last pixel
  Picture p;
  EXPECT_EQ(DecodePictureBytes(packets, kEidi, p), kMalformed);
  EXPECT_TRUE(p.pixels.empty());
}

// ---------------------------------------------------------------------------------------------
// TIFF

Bytes ExpectedTiffWriterFile(bool alpha) {
  ByteWriter t;
  t.U8('M'), t.U8('M'), t.U16BE(42), t.U32BE(8), t.U16BE(12);
  auto entry = [&](uint32_t tag, uint32_t type, uint32_t value) {
    t.U16BE(tag), t.U16BE(type), t.U32BE(1);
    if (type == 3) {
      t.U16BE(value), t.U16BE(0);
    } else {
      t.U32BE(value);
    }
  };
  entry(256, 4, 2), entry(257, 4, 1), entry(258, 3, 8), entry(259, 3, 1), entry(262, 3, 2), entry(273, 4, 174);
  entry(277, 3, alpha ? 4 : 3), entry(278, 4, 1), entry(279, 4, alpha ? 8 : 6), entry(282, 5, 158);
  entry(283, 5, 166), entry(296, 3, 2);
  t.U32BE(0);
  t.U32BE(300), t.U32BE(1), t.U32BE(300), t.U32BE(1);
  EXPECT_EQ(t.b.size(), 174u);
  t.Append(alpha ? Bytes{0x11, 0x22, 0x33, 0x80, 0x44, 0x55, 0x66, 0x40} : Bytes{0x11, 0x22, 0x33, 0x44, 0x55, 0x66});
  return t.b;
}

TEST(TiffWriter, FileByteForByte) {
  const std::vector<uint32_t> pixels = {0x80112233, 0x40445566};
  for (bool alpha : {false, true}) {
    Bytes tiff;
    ASSERT_EQ(EncodeTiff(pixels, PixelRect{0, 0, 1, 2}, 8, PictureSaveOptions{false, alpha, true, false}, tiff),
              kNoError);
    EXPECT_EQ(tiff, ExpectedTiffWriterFile(alpha)) << alpha;
  }
}

TEST(TiffWriter, RoundTripsThroughLibtiffAndTheFallbackReader) {
  const Picture source = TestPicture(37, 23, true);
  for (bool alpha : {false, true}) {
    Bytes tiff;
    ASSERT_EQ(EncodeTiff(source.pixels, RectOfPicture(source), StrideOf(source),
                         PictureSaveOptions{false, alpha, true, false}, tiff),
              kNoError);
    const Picture expected = alpha ? source : Opaque(source);
    // Into a destination whose rows are wider than the picture.
    for (auto decode : {DecodeTiffLibrary, DecodeTiffFallback}) {
      std::vector<uint32_t> pixels(size_t(40) * 23, 0xDEADBEEF);
      ASSERT_EQ(decode(tiff, PixelBuffer{pixels, 37, 23, 40}), kNoError);
      for (int y = 0; y < 23; ++y) {
        ASSERT_TRUE(std::equal(expected.pixels.begin() + y * 37, expected.pixels.begin() + y * 37 + 37,
                               pixels.begin() + y * 40))
            << "row " << y << " alpha " << alpha;
        EXPECT_EQ(pixels[size_t(y) * 40 + 37], 0xDEADBEEFu);
      }
    }
  }
}

// A little-endian TIFF: the fields (values of at most one LONG are kept inside the entry), then
// strip offsets and byte counts for `strips` (the strips' sizes unless given), in ascending tag
// order.
struct TiffField {
  uint16_t tag;
  uint16_t type;  // 3 SHORT or 4 LONG
  std::vector<uint32_t> values;
};

Bytes MakeLittleTiff(std::vector<TiffField> fields, const std::vector<Bytes>& strips,
                     const std::vector<uint32_t>& byteCounts = {}) {
  std::vector<uint32_t> offsets, counts;
  fields.push_back({273, 4, {}});
  fields.push_back({279, 4, {}});
  std::sort(fields.begin(), fields.end(), [](const TiffField& a, const TiffField& b) { return a.tag < b.tag; });
  const size_t directorySize = 2 + fields.size() * 12 + 4;
  // Out-of-line values after the directory, then the strips.
  size_t extra = 0;
  for (const TiffField& f : fields) {
    const size_t n = f.tag == 273 || f.tag == 279 ? strips.size() : f.values.size();
    const size_t bytes = n * (f.type == 3 ? 2 : 4);
    if (bytes > 4) extra += bytes;
  }
  size_t at = 8 + directorySize + extra;
  for (const Bytes& s : strips) {
    offsets.push_back(uint32_t(at));
    counts.push_back(uint32_t(s.size()));
    at += s.size();
  }
  if (!byteCounts.empty()) counts = byteCounts;
  ByteWriter t, tail;
  t.U8('I'), t.U8('I'), t.U16LE(42), t.U32LE(8), t.U16LE(uint32_t(fields.size()));
  size_t tailAt = 8 + directorySize;
  for (const TiffField& f : fields) {
    const std::vector<uint32_t>& v = f.tag == 273 ? offsets : f.tag == 279 ? counts : f.values;
    t.U16LE(f.tag), t.U16LE(f.type), t.U32LE(uint32_t(v.size()));
    ByteWriter values;
    for (uint32_t x : v) f.type == 3 ? values.U16LE(x) : values.U32LE(x);
    if (values.b.size() <= 4) {
      values.b.resize(4, 0);
      t.Append(values.b);
    } else {
      t.U32LE(uint32_t(tailAt));
      tail.Append(values.b);
      tailAt += values.b.size();
    }
  }
  t.U32LE(0);
  t.Append(tail.b);
  for (const Bytes& s : strips) t.Append(s);
  return t.b;
}

struct HandTiff {
  const char* name;
  Bytes file;
  std::vector<uint32_t> pixels;
  int width, height;
};

std::vector<HandTiff> HandBuiltTiffs() {
  std::vector<HandTiff> cases;
  // Grey with (associated) alpha, PackBits, 3 x 3 in strips of two rows.
  cases.push_back({"packbits grey alpha",
                   MakeLittleTiff({{256, 3, {3}}, {257, 3, {3}}, {258, 3, {8, 8}}, {259, 3, {32773}}, {262, 3, {1}},
                                   {277, 3, {2}}, {278, 3, {2}}, {338, 3, {1}}},
                                  {{0xFB, 0x40, 0x05, 10, 200, 20, 100, 30, 0}, {0x05, 1, 2, 3, 4, 5, 6}}),
                   {0x40404040, 0x40404040, 0x40404040, 0xC80A0A0A, 0x64141414, 0x001E1E1E, 0x02010101,
                    0x04030303, 0x06050505},
                   3, 3});
  // White is zero, uncompressed, one strip.
  cases.push_back({"white is zero",
                   MakeLittleTiff({{256, 4, {2}}, {257, 4, {2}}, {258, 3, {8}}, {259, 3, {1}}, {262, 3, {0}}},
                                  {{0, 255, 0x10, 0xF0}}),
                   {0xFFFFFFFF, 0xFF000000, 0xFFEFEFEF, 0xFF0F0F0F}, 2, 2});
  // RGB, three bits-per-sample values stored out of line, one row per strip.
  cases.push_back({"rgb strips",
                   MakeLittleTiff({{256, 3, {2}}, {257, 3, {3}}, {258, 3, {8, 8, 8}}, {259, 3, {1}}, {262, 3, {2}},
                                   {277, 3, {3}}, {278, 4, {1}}},
                                  {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}, {13, 14, 15, 16, 17, 18}}),
                   {0xFF010203, 0xFF040506, 0xFF070809, 0xFF0A0B0C, 0xFF0D0E0F, 0xFF101112}, 2, 3});
  return cases;
}

TEST(TiffReader, LibtiffAndTheFallbackReadTheSameHandBuiltFiles) {
  for (const HandTiff& c : HandBuiltTiffs()) {
    for (auto decode : {DecodeTiffLibrary, DecodeTiffFallback}) {
      std::vector<uint32_t> pixels(c.pixels.size());
      ASSERT_EQ(decode(c.file, PixelBuffer{pixels, c.width, c.height, size_t(c.width)}), kNoError) << c.name;
      EXPECT_EQ(pixels, c.pixels) << c.name;
    }
  }
}

TEST(TiffReader, FilesLibtiffRefusesGoToTheFallbackReader) {
  // Strip byte counts of 0 (left unset by some writers): libtiff gives up, the fallback takes
  // the rows the picture needs from the strip offsets.
  const Bytes file = MakeLittleTiff({{256, 3, {2}}, {257, 3, {2}}, {258, 3, {8}}, {259, 3, {1}}, {262, 3, {1}},
                                     {278, 3, {1}}},
                                    {{0x10, 0x20}, {0x30, 0x40}}, {0, 0});
  std::vector<uint32_t> pixels(4);
  EXPECT_NE(DecodeTiffLibrary(file, PixelBuffer{pixels, 2, 2, 2}), kNoError);
  EXPECT_EQ(Decoded(file, kTiff).pixels, (std::vector<uint32_t>{0xFF101010, 0xFF202020, 0xFF303030, 0xFF404040}));
}

TEST(TiffReader, FallbackRefusesWhatItDoesNotRead) {
  const std::vector<TiffField> base = {{256, 3, {1}}, {257, 3, {1}}, {258, 3, {8}}, {259, 3, {1}}, {262, 3, {1}}};
  struct Case {
    const char* name;
    TiffField field;
  };
  const Case cases[] = {{"LZW", {259, 3, {5}}},          {"16 bits", {258, 3, {16}}},
                        {"palette", {262, 3, {3}}},       {"planar", {284, 3, {2}}},
                        {"predictor", {317, 3, {2}}},     {"tiles", {322, 3, {16}}},
                        {"bottom-up", {274, 3, {4}}},     {"five samples", {277, 3, {5}}}};
  for (const Case& c : cases) {
    std::vector<TiffField> fields;
    for (const TiffField& f : base) {
      if (f.tag != c.field.tag) fields.push_back(f);
    }
    fields.push_back(c.field);
    const Bytes file = MakeLittleTiff(fields, {{7, 7, 7, 7, 7}});
    int w = 0, h = 0;
    EXPECT_EQ(GetTiffSizeFallback(file, w, h), kMalformed) << c.name;
  }
}

// ---------------------------------------------------------------------------------------------
// PNG files built by hand (stored deflate blocks), for the colour types our writer never makes

uint32_t Crc32(const uint8_t* p, size_t n) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void PngChunk(ByteWriter& out, const char* type, const Bytes& data) {
  out.U32BE(uint32_t(data.size()));
  Bytes body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.Append(body);
  out.U32BE(Crc32(body.data(), body.size()));
}

// `rows`: the scanlines, each with its filter byte (0).
Bytes MakePng(uint32_t width, uint32_t height, int bitDepth, int colorType, const Bytes& rows,
              const Bytes& palette = {}, const Bytes& transparency = {}) {
  ByteWriter out;
  out.Append({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
  ByteWriter ihdr;
  ihdr.U32BE(width), ihdr.U32BE(height), ihdr.U8(bitDepth), ihdr.U8(colorType), ihdr.U8(0), ihdr.U8(0), ihdr.U8(0);
  PngChunk(out, "IHDR", ihdr.b);
  if (!palette.empty()) PngChunk(out, "PLTE", palette);
  if (!transparency.empty()) PngChunk(out, "tRNS", transparency);
  ByteWriter z;
  z.U8(0x78), z.U8(0x01), z.U8(1), z.U16LE(uint32_t(rows.size())), z.U16LE(~uint32_t(rows.size()) & 0xFFFF);
  z.Append(rows);
  uint32_t a = 1, b = 0;
  for (uint8_t v : rows) a = (a + v) % 65521, b = (b + a) % 65521;
  z.U32BE((b << 16) | a);
  PngChunk(out, "IDAT", z.b);
  PngChunk(out, "IEND", {});
  return out.b;
}

TEST(PngReader, EveryColourTypeComesOutAsEightBitBgra) {
  struct Case {
    const char* name;
    Bytes file;
    std::vector<uint32_t> pixels;
  };
  const Case cases[] = {
      {"palette with transparency", MakePng(3, 1, 8, 3, {0, 0, 1, 2}, {10, 20, 30, 255, 0, 0, 0, 255, 0}, {0x80}),
       {0x800A141E, 0xFFFF0000, 0xFF00FF00}},
      {"1-bit grey", MakePng(10, 1, 1, 0, {0, 0b10110011, 0b10000000}),
       {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000, 0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
        0xFF000000}},
      {"grey with a transparent value", MakePng(2, 1, 8, 0, {0, 7, 9}, {}, {0, 7}), {0x00070707, 0xFF090909}},
      {"16-bit grey and alpha", MakePng(2, 1, 16, 4, {0, 0x12, 0x34, 0xFF, 0xFF, 0xAB, 0xCD, 0, 0}),
       {0xFF121212, 0x00ABABAB}},
      {"16-bit RGB", MakePng(1, 1, 16, 2, {0, 0x01, 0x02, 0x80, 0x81, 0xFE, 0xFF}), {0xFF0180FE}},
      {"RGBA", MakePng(1, 2, 8, 6, {0, 1, 2, 3, 4, 0, 5, 6, 7, 8}), {0x04010203, 0x08050607}},
  };
  for (const Case& c : cases) {
    Picture p;
    ASSERT_EQ(DecodePictureBytes(c.file, kPng, p), kNoError) << c.name;
    EXPECT_EQ(p.pixels, c.pixels) << c.name;
  }
}

TEST(PngWriter, RoundTripsWithAndWithoutAlphaAndInterlaced) {
  const Picture source = TestPicture(33, 17, true);
  for (bool alpha : {false, true}) {
    for (bool interlaced : {false, true}) {
      Bytes png;
      ASSERT_EQ(EncodePng(source.pixels, RectOfPicture(source), StrideOf(source),
                          PictureSaveOptions{interlaced, alpha, true, false}, png),
                kNoError);
      EXPECT_EQ(png[25], alpha ? 6 : 2);        // colour type in the header
      EXPECT_EQ(png[28], interlaced ? 1 : 0);   // interlace method
      ExpectSamePicture(Decoded(png, kPng), alpha ? source : Opaque(source));
    }
  }
}

// ---------------------------------------------------------------------------------------------
// JPEG, written by ImageMagick from a picture of ours

bool HaveConvert() { return std::system("command -v convert >/dev/null 2>&1") == 0; }

// The picture as a JPEG made by `convert` with extra options; empty when that failed.
Bytes ConvertToJpeg(const Picture& source, const test::TempDir& dir, const std::string& options) {
  Bytes png;
  EXPECT_EQ(EncodePng(source.pixels, RectOfPicture(source), StrideOf(source), PictureSaveOptions{}, png), kNoError);
  test::WriteFileBytes(dir / "in.png", png);
  const std::string command =
      "convert '" + (dir / "in.png") + "' " + options + " -quality 95 '" + (dir / "out.jpg") + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) return {};
  return test::ReadFileBytes(dir / "out.jpg");
}

// Mean and largest difference over the red, green and blue of two pictures of one size.
void ExpectClose(const Picture& actual, const Picture& expected, double meanLimit, int maxLimit) {
  ASSERT_EQ(actual.width, expected.width);
  ASSERT_EQ(actual.height, expected.height);
  double sum = 0;
  int largest = 0;
  for (size_t i = 0; i < expected.pixels.size(); ++i) {
    EXPECT_EQ(actual.pixels[i] >> 24, 0xFFu);
    for (int shift : {0, 8, 16}) {
      const int d = std::abs(int((actual.pixels[i] >> shift) & 0xFF) - int((expected.pixels[i] >> shift) & 0xFF));
      sum += d;
      largest = std::max(largest, d);
    }
  }
  EXPECT_LE(sum / double(expected.pixels.size() * 3), meanLimit);
  EXPECT_LE(largest, maxLimit);
}

TEST(JpegReader, ReadsColourGreyAndCmykFilesFromImageMagick) {
  if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
  test::TempDir dir;
  const Picture source = SmoothPicture(40, 24);
  const Bytes colour = ConvertToJpeg(source, dir, "");
  ASSERT_FALSE(colour.empty());
  int w = 0, h = 0;
  ASSERT_EQ(GetJpegSize(colour, w, h), kNoError);
  EXPECT_EQ(w, 40);
  EXPECT_EQ(h, 24);
  ExpectClose(Decoded(colour, kJpeg), source, 2.0, 16);

  // Grey: compared with ImageMagick's own grey version of the picture, losslessly as PNG.
  const Bytes grey = ConvertToJpeg(source, dir, "-colorspace Gray");
  ASSERT_FALSE(grey.empty());
  const std::string greyCommand = "convert '" + (dir / "in.png") + "' -colorspace Gray '" + (dir / "grey.png") + "'";
  ASSERT_EQ(std::system(greyCommand.c_str()), 0);
  const Picture greyPicture = Decoded(grey, kJpeg);
  for (uint32_t c : greyPicture.pixels) {
    ASSERT_EQ((c >> 16) & 0xFF, c & 0xFF);
    ASSERT_EQ((c >> 8) & 0xFF, c & 0xFF);
  }
  ExpectClose(greyPicture, Decoded(test::ReadFileBytes(dir / "grey.png"), kPng), 2.0, 16);

  // CMYK (ImageMagick writes Adobe's inverted form).
  const Bytes cmyk = ConvertToJpeg(source, dir, "-colorspace CMYK");
  ASSERT_FALSE(cmyk.empty());
  ExpectClose(Decoded(cmyk, kJpeg), source, 4.0, 32);
}

// ---------------------------------------------------------------------------------------------
// Damaged files of every format

struct DamageCase {
  const char* name;
  Bytes file;
  uint32_t type;
  size_t mustFailBelow;  // every cut shorter than this is refused
};

std::vector<DamageCase> DamageCases() {
  std::vector<DamageCase> cases;
  const Picture source = TestPicture(9, 5, true);
  const PixelRect rect = RectOfPicture(source);
  Bytes bytes;
  EXPECT_EQ(EncodeBmp(source.pixels, rect, StrideOf(source), bytes), kNoError);
  cases.push_back({"bmp 24", bytes, kBmp, bytes.size()});
  bytes = MakeBmp(ThreeColourBmp(6, 3, 8, 1, {0, 3, 1, 2, 1, 0, 3, 2, 0, 0, 0, 2, 2, 1, 2, 1, 2, 2, 0, 1}));
  // Only the end-of-bitmap escape may go: the last row is complete without it.
  cases.push_back({"bmp rle8", bytes, kBmp, bytes.size() - 2});
  BmpFields os2;
  os2.infoSize = 12;
  os2.width = 3;
  os2.height = 2;
  os2.bits = 8;
  os2.palette.assign(256 * 3, 0x55);
  os2.data = {0, 1, 2, 0, 3, 4, 5, 0};
  bytes = MakeBmp(os2);
  cases.push_back({"bmp os2 8", bytes, kBmp, bytes.size()});
  for (bool compressed : {false, true}) {
    const PictureSaveOptions options{false, true, true, compressed};
    EXPECT_EQ(EncodeElectricImage(source.pixels, rect, StrideOf(source), options, bytes), kNoError);
    cases.push_back({compressed ? "ei compressed" : "ei plain", bytes, kEidi, bytes.size()});
  }
  EXPECT_EQ(EncodeTiff(source.pixels, rect, StrideOf(source), PictureSaveOptions{false, true, true, false}, bytes), kNoError);
  cases.push_back({"tiff", bytes, kTiff, bytes.size()});
  const HandTiff packBits = HandBuiltTiffs()[0];
  cases.push_back({"tiff packbits", packBits.file, kTiff, packBits.file.size()});
  EXPECT_EQ(EncodePng(source.pixels, rect, StrideOf(source), PictureSaveOptions{true, true, true, false}, bytes), kNoError);
  cases.push_back({"png", bytes, kPng, bytes.size()});
  bytes = MakePng(3, 1, 8, 3, {0, 0, 1, 2}, {10, 20, 30, 255, 0, 0, 0, 255, 0}, {0x80});
  cases.push_back({"png palette", bytes, kPng, bytes.size()});
  // GIF keeps what it decoded from LZW data that ends early; the headers and palette must be whole.
  EXPECT_EQ(EncodeGif(source.pixels, rect, StrideOf(source), PictureSaveOptions{}, bytes), kNoError);
  cases.push_back({"gif", bytes, kGif, 6 + 7 + 768});
  return cases;
}

bool IsLoadFailure(Status s) {
  return s == kReadError || s == kMalformed || s == kInvalidBmpFile || s == kNoMemory || s == kNoPictureReader;
}

void CheckDamage(const DamageCase& c) {
  for (size_t length = 0; length < c.file.size(); ++length) {
    Picture p;
    const Status s = DecodePictureBytes(Bytes(c.file.begin(), c.file.begin() + length), c.type, p);
    if (length < c.mustFailBelow) {
      EXPECT_TRUE(IsLoadFailure(s)) << c.name << " cut at " << length << ": " << s;
      EXPECT_TRUE(p.pixels.empty());
    }
  }
  for (size_t i = 0; i < c.file.size(); ++i) {
    for (uint8_t flip : {0xFF, 0x01, 0x80}) {
      Bytes damaged = c.file;
      damaged[i] ^= flip;
      Picture p;
      const Status s = DecodePictureBytes(damaged, c.type, p);
      if (s == kNoError) {
        EXPECT_EQ(p.pixels.size(), size_t(p.width) * size_t(p.height));
      } else {
        EXPECT_TRUE(IsLoadFailure(s)) << c.name << " byte " << i << ": " << s;
      }
    }
  }
}

TEST(DamagedPictures, CutAndFlippedFilesAreRefusedWithoutHarm) {
  for (const DamageCase& c : DamageCases()) CheckDamage(c);
}

TEST(DamagedPictures, TheFallbackTiffReaderAloneRefusesCutAndFlippedFilesWithoutHarm) {
  // libtiff reads most of these before the fallback reader would see them; here it reads them all.
  auto decode = [](const Bytes& bytes) {
    int w = 0, h = 0;
    Status s = GetTiffSizeFallback(bytes, w, h);
    if (s == kNoError && int64_t(w) * h <= (int64_t(1) << 20)) {
      std::vector<uint32_t> pixels(size_t(w) * size_t(h));
      s = DecodeTiffFallback(bytes, PixelBuffer{pixels, w, h, size_t(w)});
    }
    return s;
  };
  for (const DamageCase& c : DamageCases()) {
    if (c.type != kTiff) continue;
    ASSERT_EQ(decode(c.file), kNoError) << c.name;
    for (size_t length = 0; length < c.file.size(); ++length) {
      const Status s = decode(Bytes(c.file.begin(), c.file.begin() + long(length)));
      EXPECT_TRUE(IsLoadFailure(s)) << c.name << " cut at " << length << ": " << s;
    }
    for (size_t i = 0; i < c.file.size(); ++i) {
      for (uint8_t flip : {0xFF, 0x01, 0x80}) {
        Bytes damaged = c.file;
        damaged[i] ^= flip;
        const Status s = decode(damaged);
        EXPECT_TRUE(s == kNoError || IsLoadFailure(s)) << c.name << " byte " << i << ": " << s;
      }
    }
  }
}

TEST(DamagedPictures, CutAndFlippedJpegIsRefusedWithoutHarm) {
  if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
  test::TempDir dir;
  const Bytes jpeg = ConvertToJpeg(SmoothPicture(16, 8), dir, "");
  ASSERT_FALSE(jpeg.empty());
  CheckDamage({"jpeg", jpeg, kJpeg, jpeg.size()});
}

// ---------------------------------------------------------------------------------------------
// The loader and the saver

class PictureLoader : public testing::Test {
 protected:
  void SetUp() override { test::ResetAllState(); }
  void TearDown() override { test::ResetAllState(); }
  FileSpec SpecFor(const std::string& name) const { return FileSpecForPath(dir / name, FileTypeFromName(name)); }
  test::TempDir dir;
  ScriptedServices services;
};

TEST_F(PictureLoader, DamagedFilesShowTheirMessageOnce) {
  for (const DamageCase& c : DamageCases()) {
    const std::string name = std::string("cut.") + FindFileType(c.type)->extension;
    const size_t cut = std::min(c.mustFailBelow, c.file.size()) / 2;
    test::WriteFileBytes(dir / name, Bytes(c.file.begin(), c.file.begin() + cut));
    FileSpec spec = SpecFor(name);
    const FileSpec before = spec;
    Picture p;
    services.shown.clear();
    EXPECT_NE(LoadPicture(spec, p), kNoError) << c.name;
    EXPECT_EQ(services.Texts(ShownKind::Stop), std::vector<std::string>{"Error: Couldn't load picture."}) << c.name;
    EXPECT_TRUE(p.pixels.empty());
    EXPECT_EQ(PathOfSpec(spec), PathOfSpec(before));
  }
}

TEST_F(PictureLoader, MessagesForInvalidBmpHugePicturesAndPict) {
  struct Case {
    const char* name;
    std::string file;
    Bytes bytes;
    const char* message;
  };
  BmpFields wide;
  wide.width = 40000;
  wide.height = 1;
  BmpFields sixteen;
  sixteen.width = 1;
  sixteen.height = 1;
  sixteen.bits = 16;
  sixteen.data = {0, 0, 0, 0};
  // The PNG header of a 30000 x 30000 picture: within the side limit, beyond the pixel limit.
  const Case cases[] = {
      {"huge bmp", "huge.bmp", MakeBmp(wide), "Error: Not enough memory."},
      {"huge png", "huge.png", MakePng(30000, 30000, 8, 0, {0}), "Error: Not enough memory."},
      {"16-bit bmp", "sixteen.bmp", MakeBmp(sixteen), "Invalid BMP file."},
      {"pict", "old.pct", Bytes(600, 0), "No reader is available for this picture format."},
      {"unknown type", "notes.txt", Bytes(10, 'x'), "No reader is available for this picture format."},
  };
  for (const Case& c : cases) {
    test::WriteFileBytes(dir / c.file, c.bytes);
    FileSpec spec = SpecFor(c.file);
    Picture p;
    services.shown.clear();
    const Status status = LoadPicture(spec, p);
    EXPECT_NE(status, kNoError) << c.name;
    EXPECT_EQ(services.Texts(ShownKind::Stop), std::vector<std::string>{c.message}) << c.name;
    // The quiet load gives the same status and the same text, and shows nothing.
    services.shown.clear();
    const PictureLoad quiet = LoadPictureQuietly(spec, p);
    EXPECT_EQ(quiet.status, status) << c.name;
    EXPECT_EQ(quiet.message, c.message) << c.name;
    EXPECT_TRUE(services.shown.empty()) << c.name;
    EXPECT_TRUE(p.pixels.empty());
  }
}

TEST_F(PictureLoader, TheQuietLoadNeitherAsksNorShows) {
  const Picture source = TestPicture(3, 2, false);
  ASSERT_EQ(SavePicture(SpecFor("small.bmp"), source.pixels, RectOfPicture(source), StrideOf(source)), kNoError);
  Picture p;
  const PictureLoad loaded = LoadPictureQuietly(SpecFor("small.bmp"), p);
  EXPECT_EQ(loaded.status, kNoError);
  EXPECT_TRUE(loaded.message.empty());
  ExpectSamePicture(p, Opaque(source));
  // A missing file is not looked for.
  const PictureLoad missing = LoadPictureQuietly(SpecFor("gone.bmp"), p);
  EXPECT_EQ(missing.status, kFileNotFound);
  EXPECT_EQ(missing.message, "Error: Couldn't load picture.");
  EXPECT_TRUE(p.pixels.empty());
  EXPECT_TRUE(services.fileRequests.empty());
  EXPECT_TRUE(services.shown.empty());
}

TEST_F(PictureLoader, AMissingFileIsLookedForAndTheSpecFollowsIt) {
  const Picture source = TestPicture(5, 4, false);
  ASSERT_EQ(SavePicture(SpecFor("found/brick.tif"), source.pixels, RectOfPicture(source), StrideOf(source)),
            kWriteError);  // no such folder yet
  std::filesystem::create_directories(dir / "found");
  ASSERT_EQ(SavePicture(SpecFor("found/brick.tif"), source.pixels, RectOfPicture(source), StrideOf(source)), kNoError);
  services.shown.clear();

  FileSpec spec = SpecFor("moved/brick.bmp");
  services.openAnswers.push_back(FileChoice{dir / "found/brick.tif", 1});
  Picture p;
  ASSERT_EQ(LoadPicture(spec, p), kNoError);
  ExpectSamePicture(p, source);
  EXPECT_EQ(PathOfSpec(spec), dir / "found/brick.tif");
  EXPECT_EQ(spec.fileTypes[0], kTiff);
  EXPECT_TRUE(services.shown.empty());
  ASSERT_EQ(services.fileRequests.size(), 1u);
  EXPECT_EQ(services.fileRequests[0].proposedName, "brick.bmp");
  EXPECT_EQ(services.fileRequests[0].title, "Find Picture brick.bmp");
  ASSERT_GE(services.fileRequests[0].types.size(), 7u);
  EXPECT_EQ(services.fileRequests[0].types[0], kBmp);  // the missing picture's own type first

  // Cancelled: the load fails with its message and the FileSpec still names the missing file.
  FileSpec lost = SpecFor("lost.png");
  services.openAnswers.push_back(std::nullopt);
  EXPECT_EQ(LoadPicture(lost, p), kFileNotFound);
  EXPECT_EQ(services.Texts(ShownKind::Stop), std::vector<std::string>{"Error: Couldn't load picture."});
  EXPECT_EQ(PathOfSpec(lost), dir / "lost.png");
  EXPECT_TRUE(p.pixels.empty());
}

TEST_F(PictureLoader, OpeningAPictureAsksWithThePictureTypesAndLoadsTheChoice) {
  const Picture source = TestPicture(5, 3, false);
  ASSERT_EQ(SavePicture(SpecFor("wall.tif"), source.pixels, RectOfPicture(source), StrideOf(source)), kNoError);
  test::WriteFileText(dir / "broken.bmp", "BMshort");

  services.openAnswers.push_back(FileChoice{dir / "wall.tif", 5});
  OpenedPicture opened = AskAndOpenPicture();
  ASSERT_EQ(opened.status, kNoError);
  ExpectSamePicture(opened.picture, Opaque(source));
  EXPECT_EQ(PathOfSpec(opened.spec), dir / "wall.tif");
  EXPECT_EQ(opened.spec.fileTypes[0], kTiff);
  ASSERT_EQ(services.fileRequests.size(), 1u);
  EXPECT_EQ(services.fileRequests[0].types, (std::vector<uint32_t>{kPng, kJpeg, kBmp, kGif, kTiff, kEidi}));
  EXPECT_EQ(services.fileRequests[0].proposedName, "");
  EXPECT_TRUE(services.shown.empty());

  // Starting from a file spec proposes its file; a cancelled dialog shows nothing.
  const FileSpec current = SpecFor("wall.tif");
  services.openAnswers.push_back(std::nullopt);
  opened = AskAndOpenPicture(&current);
  EXPECT_EQ(opened.status, kCancelled);
  EXPECT_TRUE(opened.picture.pixels.empty());
  ASSERT_EQ(services.fileRequests.size(), 2u);
  EXPECT_EQ(services.fileRequests[1].proposedName, "wall.tif");
  EXPECT_TRUE(services.shown.empty());

  // A choice that cannot be read is reported once.
  services.openAnswers.push_back(FileChoice{dir / "broken.bmp", 3});
  opened = AskAndOpenPicture();
  EXPECT_NE(opened.status, kNoError);
  EXPECT_TRUE(opened.picture.pixels.empty());
  EXPECT_EQ(services.Texts(ShownKind::Stop), std::vector<std::string>{"Error: Couldn't load picture."});
}

TEST_F(PictureLoader, ContentsWinOverAMisleadingExtension) {
  const Picture source = TestPicture(6, 3, true);
  Bytes png;
  const PictureSaveOptions withAlpha{false, true, true, false};
  ASSERT_EQ(EncodePng(source.pixels, RectOfPicture(source), StrideOf(source), withAlpha, png), kNoError);
  test::WriteFileBytes(dir / "really-a-png.jpg", png);
  FileSpec spec = SpecFor("really-a-png.jpg");
  Picture p;
  ASSERT_EQ(LoadPicture(spec, p), kNoError);
  ExpectSamePicture(p, source);
  int w = 0, h = 0;
  ASSERT_EQ(ReadPictureSize(spec, w, h), kNoError);
  EXPECT_EQ(w, 6);
  EXPECT_EQ(h, 3);
}

TEST_F(PictureLoader, SavedPicturesOfEveryWritableTypeLoadBack) {
  // Colours the GIF palette holds exactly, so that GIF round trips too.
  Picture source{7, 5, {}};
  const uint32_t greens[] = {0, 42, 85, 127, 170, 212, 255};
  for (int i = 0; i < 35; ++i) {
    source.pixels.push_back(Argb(uint32_t(51 * (i % 6)), greens[i % 7], uint32_t(51 * (i / 6 % 6))));
  }
  struct Case {
    const char* file;
    PictureSaveOptions options;
  };
  const Case cases[] = {{"a.bmp", {}}, {"b.img", {false, false, true, false}}, {"c.img", {false, true, true, true}},
                        {"d.tif", {}}, {"e.tif", {false, true, false, false}}, {"f.png", {true, true, true, false}},
                        {"g.gif", {false, false, false, false}}, {"h.gif", {true, true, true, false}}};
  for (const Case& c : cases) {
    formatsState.pictureSaveOptions = c.options;
    const FileSpec spec = SpecFor(c.file);
    ASSERT_EQ(SavePicture(spec, source.pixels, RectOfPicture(source), StrideOf(source)), kNoError) << c.file;
    FileSpec loaded = spec;
    Picture p;
    ASSERT_EQ(LoadPicture(loaded, p), kNoError) << c.file;
    ExpectSamePicture(p, source);
  }
  EXPECT_TRUE(services.shown.empty());
}

TEST_F(PictureLoader, SavingReplacesWholeOrLeavesTheOldFile) {
  test::WriteFileText(dir / "keep.tif", "old");
  const Picture source = TestPicture(4, 4, false);
  // A rectangle larger than the pixels: nothing is written.
  EXPECT_EQ(SavePicture(SpecFor("keep.tif"), source.pixels, PixelRect{0, 0, 5, 4}, StrideOf(source)), kMalformed);
  EXPECT_EQ(test::ReadFileText(dir / "keep.tif"), "old");
  // JPEG has no writer.
  EXPECT_EQ(SavePicture(SpecFor("photo.jpg"), source.pixels, RectOfPicture(source), StrideOf(source)),
            kNoPictureWriter);
  EXPECT_EQ(services.Texts(ShownKind::Stop),
            std::vector<std::string>{"No writer is available for this picture format."});
  EXPECT_FALSE(std::filesystem::exists(dir / "photo.jpg"));
  ASSERT_EQ(SavePicture(SpecFor("keep.tif"), source.pixels, RectOfPicture(source), StrideOf(source)), kNoError);
  Bytes expected;
  ASSERT_EQ(EncodeTiff(source.pixels, RectOfPicture(source), StrideOf(source), PictureSaveOptions{}, expected),
            kNoError);
  EXPECT_EQ(test::ReadFileBytes(dir / "keep.tif"), expected);
  // No temporary is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), std::filesystem::directory_iterator{}), 1);
}

TEST_F(PictureLoader, TexturePictureFillsTheObjectsTextureFields) {
  const Picture source = TestPicture(12, 10, true);
  Bytes bmp;
  ASSERT_EQ(EncodeBmp(source.pixels, RectOfPicture(source), StrideOf(source), bmp), kNoError);
  test::WriteFileBytes(dir / "skin.bmp", bmp);
  SceneObject object;
  object.textureFile = FileSpecForPath(dir / "skin.bmp", 0);
  object.textureFile.typeCount = 0;  // object files keep no type: the extension tells
  ASSERT_TRUE(LoadObjectTexturePicture(object));
  EXPECT_EQ(object.textureKind, kTextureKindPicture);
  EXPECT_EQ(object.textureImage, Opaque(source).pixels);
  EXPECT_EQ(object.textureImageSize, (std::array<uint16_t, 2>{12, 10}));
  EXPECT_EQ(object.textureDepth, (std::array<uint16_t, 2>{4, 0}));
}

}  // namespace
}  // namespace tsv
