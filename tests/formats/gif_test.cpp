// GIF writer and reader: byte-exact files, colour reduction, interlacing, animations, hand-built
// files for the reader, damaged files, files that are never left half-written, and ImageMagick
// reading our files and writing files for us.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "formats/gif.h"
#include "platform/scripted_services.h"
#include "tests/support/temp_dir.h"

namespace tsv {
namespace {

uint32_t Argb(int r, int g, int b, int a = 255) {
  return (uint32_t(a) << 24) | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}

PixelRect RectOf(int width, int height) { return PixelRect{0, 0, int16_t(height), int16_t(width)}; }

PictureSaveOptions Options(bool dithered, bool interlaced = false, bool includeAlpha = false) {
  PictureSaveOptions o;
  o.dithered = dithered;
  o.interlaced = interlaced;
  o.includeAlpha = includeAlpha;
  return o;
}

std::vector<uint8_t> Encode(const std::vector<uint32_t>& pixels, int width, int height, const PictureSaveOptions& o) {
  std::vector<uint8_t> out;
  EXPECT_EQ(EncodeGif(pixels, RectOf(width, height), size_t(width) * 4, o, out), kNoError);
  return out;
}

// Decodes into a buffer of exactly the picture's size, first filled with `fill`.
std::vector<uint32_t> Decode(std::span<const uint8_t> bytes, int width, int height, Status expected = kNoError,
                             uint32_t fill = 0x12345678) {
  std::vector<uint32_t> pixels(size_t(width) * size_t(height), fill);
  EXPECT_EQ(DecodeGif(bytes, PixelBuffer{pixels, width, height, size_t(width)}), expected);
  return pixels;
}

// The palette as the format defines it, built here independently of the writer.
std::vector<uint8_t> ExpectedPalette() {
  std::vector<uint8_t> p(768, 0);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 7; ++g)
      for (int b = 0; b < 6; ++b) {
        const int i = (r * 7 + g) * 6 + b;
        p[size_t(i) * 3] = uint8_t(51 * r);
        p[size_t(i) * 3 + 1] = uint8_t(255 * g / 6);
        p[size_t(i) * 3 + 2] = uint8_t(51 * b);
      }
  return p;
}

uint32_t PaletteColour(int index) {
  static const std::vector<uint8_t> p = ExpectedPalette();
  return Argb(p[size_t(index) * 3], p[size_t(index) * 3 + 1], p[size_t(index) * 3 + 2]);
}

// The plain reduction, worked out from its definition.
int PlainIndex(uint32_t argb) {
  return (int((argb >> 16) & 0xFF) / 43 * 7 + int((argb >> 8) & 0xFF) / 37) * 6 + int(argb & 0xFF) / 43;
}

// A rendered-looking picture: smooth gradients with a little noise.
std::vector<uint32_t> GradientPicture(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> noise(-6, 6);
  std::vector<uint32_t> pixels(size_t(width) * size_t(height));
  auto clamp = [](int v) { return std::clamp(v, 0, 255); };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      pixels[size_t(y) * size_t(width) + size_t(x)] =
          Argb(clamp(x * 255 / std::max(1, width - 1) + noise(random)), clamp(y * 255 / std::max(1, height - 1) + noise(random)),
               clamp(128 + noise(random)));
  return pixels;
}

std::vector<uint32_t> NoisePicture(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint32_t> pixels(size_t(width) * size_t(height));
  for (auto& p : pixels) p = 0xFF000000u | (random() & 0xFFFFFF);
  return pixels;
}

// A small GIF walker for checking the block structure of written files.
struct GifBlock {
  uint8_t kind = 0;  // 0x21 extension or 0x2C image
  uint8_t label = 0;
  std::vector<uint8_t> head;  // an extension's first sub-block, or an image's 9-byte descriptor
  size_t offset = 0;          // of the introducer
};
std::vector<GifBlock> WalkBlocks(const std::vector<uint8_t>& gif, bool* endsWithTrailer) {
  std::vector<GifBlock> blocks;
  size_t pos = 13 + ((gif[10] & 0x80) ? size_t(3) * (2u << (gif[10] & 7)) : 0);
  *endsWithTrailer = false;
  auto skipSubBlocks = [&](std::vector<uint8_t>* firstBlock) {
    bool first = true;
    while (pos < gif.size() && gif[pos] != 0) {
      const size_t n = gif[pos];
      if (first && firstBlock) firstBlock->assign(gif.begin() + long(pos) + 1, gif.begin() + long(pos + 1 + n));
      first = false;
      pos += 1 + n;
    }
    ++pos;
  };
  while (pos < gif.size()) {
    GifBlock block;
    block.kind = gif[pos];
    block.offset = pos;
    if (gif[pos] == 0x3B) {
      *endsWithTrailer = pos + 1 == gif.size();
      break;
    }
    if (gif[pos] == 0x21) {
      block.label = gif[pos + 1];
      pos += 2;
      skipSubBlocks(&block.head);
    } else if (gif[pos] == 0x2C) {
      block.head.assign(gif.begin() + long(pos) + 1, gif.begin() + long(pos) + 10);
      pos += 10;
      ++pos;  // minimum code size
      skipSubBlocks(nullptr);
    } else {
      ADD_FAILURE() << "unexpected byte " << int(gif[pos]) << " at " << pos;
      break;
    }
    blocks.push_back(block);
  }
  return blocks;
}

// Codes packed least significant bit first at the given widths, then in sub-blocks.
std::vector<uint8_t> PackCodes(const std::vector<std::pair<int, int>>& codes) {
  std::vector<uint8_t> data;
  uint32_t buffer = 0;
  int bits = 0;
  for (auto [code, width] : codes) {
    buffer |= uint32_t(code) << bits;
    bits += width;
    while (bits >= 8) {
      data.push_back(uint8_t(buffer));
      buffer >>= 8;
      bits -= 8;
    }
  }
  if (bits > 0) data.push_back(uint8_t(buffer));
  std::vector<uint8_t> blocks = {uint8_t(data.size())};
  blocks.insert(blocks.end(), data.begin(), data.end());
  blocks.push_back(0);
  return blocks;
}

// A GIF89a built by hand: `width` x 1, a global table of `tableEntries` colours (entry i is
// (10i, 20i, 30i)), an optional graphic control extension, minimum code size 2.
std::vector<uint8_t> HandBuiltGif(int width, int tableEntries, int controlPacked, int transparent,
                                  const std::vector<std::pair<int, int>>& codes, int minCodeSize = 2) {
  std::vector<uint8_t> g = {'G', 'I', 'F', '8', '9', 'a', uint8_t(width), 0, 1, 0, 0, 0, 0};
  int sizeBits = 0;
  while ((2 << sizeBits) < tableEntries) ++sizeBits;
  g[10] = uint8_t(0x80 | sizeBits);
  for (int i = 0; i < (2 << sizeBits); ++i) {
    g.push_back(uint8_t(10 * i));
    g.push_back(uint8_t(20 * i));
    g.push_back(uint8_t(30 * i));
  }
  if (controlPacked >= 0) {
    const std::vector<uint8_t> control = {0x21, 0xF9, 4, uint8_t(controlPacked), 5, 0, uint8_t(transparent), 0};
    g.insert(g.end(), control.begin(), control.end());
  }
  const std::vector<uint8_t> descriptor = {0x2C, 0, 0, 0, 0, uint8_t(width), 0, 1, 0, 0, uint8_t(minCodeSize)};
  g.insert(g.end(), descriptor.begin(), descriptor.end());
  const std::vector<uint8_t> data = PackCodes(codes);
  g.insert(g.end(), data.begin(), data.end());
  g.push_back(0x3B);
  return g;
}

// ------------------------------------------------------------------------------------------------
// The writer, byte for byte

TEST(GifWriter, OnePixelPictureIsACompleteFileWithClearPixelAndEndCodes) {
  const std::vector<uint32_t> black = {Argb(0, 0, 0)};
  const std::vector<uint8_t> gif = Encode(black, 1, 1, Options(true));

  std::vector<uint8_t> expected = {'G', 'I', 'F', '8', '7', 'a', 1, 0, 1, 0, 0xE7, 0, 0};
  const std::vector<uint8_t> palette = ExpectedPalette();
  expected.insert(expected.end(), palette.begin(), palette.end());
  const std::vector<uint8_t> tail = {
      0x21, 0xF9, 0x04, 0x09, 0, 0, 0xFF, 0x00,  // graphic control: no delay, transparent 255
      0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0x00,        // image 1 x 1, not interlaced
      8,                                         // minimum code size
      // clear 256, pixel 0, end 257 at 9 bits each: 0x4040100, least significant byte first
      4, 0x00, 0x01, 0x04, 0x04, 0x00,
      0x3B};
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(gif, expected);
  EXPECT_EQ(GifPalette().size(), 768u);
  EXPECT_TRUE(std::equal(palette.begin(), palette.end(), GifPalette().begin()));
}

struct IndexCase {
  const char* name;
  uint32_t pixel;
  bool includeAlpha;
  int plainIndex;
  int ditheredIndex;
};

TEST(GifWriter, ColoursReduceToTheirPaletteIndex) {
  const IndexCase cases[] = {
      {"black", Argb(0, 0, 0), false, 0, 0},
      {"white", Argb(255, 255, 255), false, 251, 251},
      {"grey 100", Argb(100, 100, 100), false, 98, 98},
      // Plain reduction divides (green / 37 = 0); dithering rounds to the nearer level (36 of 42.5).
      {"green 36", Argb(0, 36, 0), false, 0, 6},
      {"transparent white, alpha off", Argb(255, 255, 255, 0), false, 251, 251},
      {"transparent white, alpha on", Argb(255, 255, 255, 0), true, 255, 255},
      // Only alpha 0 is transparent when plain; dithering rounds alpha below 127.5 to transparent.
      {"alpha 127, alpha on", Argb(255, 255, 255, 127), true, 251, 255},
      {"alpha 128, alpha on", Argb(255, 255, 255, 128), true, 251, 251},
  };
  for (const IndexCase& c : cases) {
    for (bool dithered : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (dithered ? ", dithered" : ", plain"));
      const std::vector<uint8_t> gif = Encode({c.pixel}, 1, 1, Options(dithered, false, c.includeAlpha));
      ASSERT_EQ(gif.size(), 807u);
      EXPECT_EQ(std::string(gif.begin(), gif.begin() + 6), c.includeAlpha ? "GIF89a" : "GIF87a");
      ASSERT_EQ(gif[800], 4);  // one sub-block of four bytes: three 9-bit codes
      const uint32_t bits = uint32_t(gif[801]) | uint32_t(gif[802]) << 8 | uint32_t(gif[803]) << 16 | uint32_t(gif[804]) << 24;
      EXPECT_EQ(bits & 511, 256u);
      EXPECT_EQ((bits >> 9) & 511, uint32_t(dithered ? c.ditheredIndex : c.plainIndex));
      EXPECT_EQ(bits >> 18, 257u);
    }
  }
}

TEST(GifWriter, AnimationAtTenFramesASecondHasDelayTenInEveryFrameAndOneLoopExtension) {
  test::TempDir dir;
  const FileSpec spec = FileSpecForPath(dir / "anim.gif", FourCC("GIFf"));
  const int width = 7, height = 5;
  std::vector<std::vector<uint32_t>> frames;
  for (unsigned k = 0; k < 3; ++k) frames.push_back(NoisePicture(width, height, k + 1));
  GifWriter writer;
  const size_t stride = size_t(width) * 4;
  ASSERT_EQ(writer.WriteHeader(spec, frames[0], RectOf(width, height), stride, 100 / 10, Options(false)), kNoError);
  for (const auto& frame : frames) ASSERT_EQ(writer.WriteFrame(spec, frame, RectOf(width, height), stride), kNoError);
  ASSERT_EQ(writer.WriteTrailer(spec), kNoError);

  const std::vector<uint8_t> gif = test::ReadFileBytes(dir / "anim.gif");
  bool trailer = false;
  const std::vector<GifBlock> blocks = WalkBlocks(gif, &trailer);
  EXPECT_TRUE(trailer);
  ASSERT_EQ(blocks.size(), 1u + 3 * 2);
  EXPECT_EQ(blocks[0].kind, 0x21);
  EXPECT_EQ(blocks[0].label, 0xFF);
  EXPECT_EQ(std::string(blocks[0].head.begin(), blocks[0].head.end()), "NETSCAPE2.0");
  EXPECT_EQ(std::vector<uint8_t>(gif.begin() + long(blocks[0].offset) + 14, gif.begin() + long(blocks[0].offset) + 19),
            (std::vector<uint8_t>{3, 1, 0xFF, 0xFF, 0}));
  for (int k = 0; k < 3; ++k) {
    const GifBlock& control = blocks[size_t(1 + 2 * k)];
    EXPECT_EQ(control.label, 0xF9);
    EXPECT_EQ(control.head, (std::vector<uint8_t>{0x09, 10, 0, 0xFF}));
    const GifBlock& image = blocks[size_t(2 + 2 * k)];
    EXPECT_EQ(image.kind, 0x2C);
    EXPECT_EQ(image.head, (std::vector<uint8_t>{0, 0, 0, 0, width, 0, height, 0, 0}));
  }
  // The reader takes the first frame.
  int w = 0, h = 0;
  ASSERT_EQ(ReadGifSize(spec, w, h), kNoError);
  EXPECT_EQ(w, width);
  EXPECT_EQ(h, height);
  std::vector<uint32_t> decoded(size_t(width) * size_t(height));
  ASSERT_EQ(ReadGifPicture(spec, PixelBuffer{decoded, width, height, size_t(width)}), kNoError);
  for (size_t i = 0; i < decoded.size(); ++i) ASSERT_EQ(decoded[i], PaletteColour(PlainIndex(frames[0][i]))) << i;
}

TEST(GifWriter, InterlacedPicturesSendTheRowsInTheFourPasses) {
  const int width = 3, height = 19;
  std::vector<uint32_t> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels.push_back(PaletteColour(y * 11));
  std::vector<uint8_t> gif = Encode(pixels, width, height, Options(false, true));
  ASSERT_EQ(gif[781 + 8 + 9], 0x40);
  EXPECT_EQ(Decode(gif, width, height), pixels);

  // Read as if not interlaced, the rows come out in the order they were sent.
  gif[781 + 8 + 9] = 0x00;
  const std::vector<uint32_t> sent = Decode(gif, width, height);
  const int order[] = {0, 8, 16, 4, 12, 2, 6, 10, 14, 18, 1, 3, 5, 7, 9, 11, 13, 15, 17};
  for (int k = 0; k < height; ++k) EXPECT_EQ(sent[size_t(k) * width], PaletteColour(order[k] * 11)) << "row " << k;
}

// ------------------------------------------------------------------------------------------------
// Write, then read back

TEST(GifRoundTrip, PlainInterlacedAndLargeNoiseComeBackAsTheirPaletteColours) {
  struct Case {
    const char* name;
    std::vector<uint32_t> pixels;
    int width, height;
    bool interlaced;
  };
  const Case cases[] = {
      {"gradient", GradientPicture(40, 30, 1), 40, 30, false},
      {"gradient interlaced", GradientPicture(41, 29, 2), 41, 29, true},
      // 65536 random indices fill the 4096-code table many times over: clear codes mid-stream.
      {"noise 256 x 256", NoisePicture(256, 256, 3), 256, 256, false},
      {"noise interlaced", NoisePicture(100, 77, 4), 100, 77, true},
      {"one row", GradientPicture(300, 1, 5), 300, 1, true},
      {"one column", GradientPicture(1, 300, 6), 1, 300, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> gif = Encode(c.pixels, c.width, c.height, Options(false, c.interlaced));
    int w = 0, h = 0;
    ASSERT_EQ(DecodeGifSize(gif, w, h), kNoError);
    EXPECT_EQ(w, c.width);
    EXPECT_EQ(h, c.height);
    const std::vector<uint32_t> decoded = Decode(gif, c.width, c.height);
    for (size_t i = 0; i < decoded.size(); ++i) ASSERT_EQ(decoded[i], PaletteColour(PlainIndex(c.pixels[i]))) << i;
  }
}

// The codes of one image's data, split at the widths a GIF reader expects (9 bits after each clear,
// one bit more whenever the next code to be defined reaches the next power of two, at most 12).
std::vector<int> SplitCodes(const std::vector<uint8_t>& data, size_t& bitsUsed) {
  std::vector<int> codes;
  size_t bit = 0;
  int width = 9, next = 258;
  bool afterClear = true;
  while (bit + size_t(width) <= data.size() * 8) {
    int code = 0;
    for (int k = 0; k < width; ++k, ++bit) code |= ((data[bit / 8] >> (bit % 8)) & 1) << k;
    codes.push_back(code);
    bitsUsed = bit;
    if (code == 257) break;
    if (code == 256) {
      width = 9;
      next = 258;
      afterClear = true;
      continue;
    }
    if (!afterClear && next < 4096 && ++next == (1 << width) && width < 12) ++width;
    afterClear = false;
  }
  return codes;
}

TEST(GifWriter, FullTableIsClearedAfterCode4095AndDataComesIn254ByteSubBlocks) {
  const std::vector<uint8_t> gif = Encode(NoisePicture(256, 256, 3), 256, 256, Options(false));
  std::vector<uint8_t> data;
  std::vector<size_t> blockSizes;
  for (size_t pos = 781 + 8 + 10 + 1; gif[pos] != 0; pos += 1 + gif[pos]) {
    blockSizes.push_back(gif[pos]);
    data.insert(data.end(), gif.begin() + long(pos) + 1, gif.begin() + long(pos) + 1 + gif[pos]);
  }
  ASSERT_GT(blockSizes.size(), 2u);
  for (size_t k = 0; k + 1 < blockSizes.size(); ++k) ASSERT_EQ(blockSizes[k], 254u) << k;
  EXPECT_LE(blockSizes.back(), 254u);
  size_t bitsUsed = 0;
  const std::vector<int> codes = SplitCodes(data, bitsUsed);
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes.front(), 256);
  EXPECT_EQ(codes.back(), 257);
  // After the first clear, 3838 codes define 258..4095; the next code finds the table full and is
  // followed by a clear.
  std::vector<size_t> clears;
  for (size_t k = 0; k < codes.size(); ++k)
    if (codes[k] == 256) clears.push_back(k);
  ASSERT_GE(clears.size(), 3u);
  EXPECT_EQ(clears[1], 1u + 3839u);
  EXPECT_EQ(clears[2] - clears[1], 1u + 3839u);
  // The end code is followed by fewer than 8 bits of padding.
  EXPECT_EQ((bitsUsed + 7) / 8, data.size());
}

TEST(GifRoundTrip, RepeatedPixelsBuildLongStringsAndTheSelfReferencingCode) {
  // One colour everywhere: every new code is the previous string plus its own first index.
  const std::vector<uint32_t> flat(size_t(500) * 300, Argb(100, 100, 100));
  const std::vector<uint8_t> gif = Encode(flat, 500, 300, Options(false));
  EXPECT_LT(gif.size(), 4000u);
  const std::vector<uint32_t> decoded = Decode(gif, 500, 300);
  EXPECT_TRUE(std::all_of(decoded.begin(), decoded.end(), [](uint32_t p) { return p == PaletteColour(98); }));
}

TEST(GifRoundTrip, DitheredPicturesUsePaletteColoursAndKeepTheAverageColour) {
  const int width = 64, height = 48;
  std::vector<uint32_t> pixels(size_t(width) * height, Argb(100, 150, 20));  // between palette levels
  const std::vector<uint8_t> gif = Encode(pixels, width, height, Options(true));
  const std::vector<uint32_t> decoded = Decode(gif, width, height);
  std::map<uint32_t, int> used;
  double sum[3] = {0, 0, 0};
  for (uint32_t p : decoded) {
    ++used[p];
    sum[0] += (p >> 16) & 0xFF;
    sum[1] += (p >> 8) & 0xFF;
    sum[2] += p & 0xFF;
  }
  std::vector<uint32_t> paletteColours;
  for (int i = 0; i < 252; ++i) paletteColours.push_back(PaletteColour(i));
  for (auto [colour, count] : used)
    EXPECT_NE(std::find(paletteColours.begin(), paletteColours.end(), colour), paletteColours.end()) << std::hex << colour;
  EXPECT_GE(used.size(), 2u) << "a colour between levels is dithered";
  const double n = double(width) * height;
  EXPECT_NEAR(sum[0] / n, 100.0, 2.0);
  EXPECT_NEAR(sum[1] / n, 150.0, 2.0);
  EXPECT_NEAR(sum[2] / n, 20.0, 2.0);
  // Without dithering the same picture is one flat colour.
  const std::vector<uint32_t> plain = Decode(Encode(pixels, width, height, Options(false)), width, height);
  EXPECT_TRUE(std::all_of(plain.begin(), plain.end(), [&](uint32_t p) { return p == plain[0]; }));
}

TEST(GifRoundTrip, FloydSteinbergSpreadsTheErrorAsWorkedOutByHand) {
  // Grey 30 everywhere. Red and blue: 30 rounds up to 51 (error -21; 7/16 right, 5/16 below,
  // 1/16 below-right), 20.8 on the right rounds down (3/16 below-left, 5/16 below), 27.3 below
  // rounds up, 24.8 last rounds down. Green (steps of 42.5): 30, 24.5 and 22.7 round up, 15.0 down.
  const std::vector<uint32_t> grey(4, Argb(30, 30, 30));
  const std::vector<uint32_t> expected = {PaletteColour((1 * 7 + 1) * 6 + 1), PaletteColour((0 * 7 + 1) * 6 + 0),
                                          PaletteColour((1 * 7 + 1) * 6 + 1), PaletteColour(0)};
  EXPECT_EQ(Decode(Encode(grey, 2, 2, Options(true)), 2, 2), expected);
  EXPECT_EQ(Decode(Encode(grey, 2, 2, Options(false)), 2, 2), std::vector<uint32_t>(4, PaletteColour(0)));
}

TEST(GifRoundTrip, IncludeAlphaMakesFullyTransparentPixelsTransparent) {
  const int width = 9, height = 4;
  std::vector<uint32_t> pixels = GradientPicture(width, height, 7);
  for (size_t i = 0; i < pixels.size(); i += 3) pixels[i] &= 0x00FFFFFF;
  for (bool dithered : {false, true}) {
    SCOPED_TRACE(dithered ? "dithered" : "plain");
    const std::vector<uint32_t> decoded = Decode(Encode(pixels, width, height, Options(dithered, false, true)), width, height);
    for (size_t i = 0; i < pixels.size(); ++i) EXPECT_EQ(decoded[i] >> 24, i % 3 == 0 ? 0u : 255u) << i;
    // Without "Include Alpha" every pixel stays opaque.
    const std::vector<uint32_t> opaque = Decode(Encode(pixels, width, height, Options(dithered)), width, height);
    EXPECT_TRUE(std::all_of(opaque.begin(), opaque.end(), [](uint32_t p) { return (p >> 24) == 255; }));
  }
}

// ------------------------------------------------------------------------------------------------
// The reader on hand-built and damaged files

TEST(GifReader, TransparentIndexOfTheControlExtensionGivesAlphaZeroExactlyThere) {
  // Indices 0 3 1 3: clear and three codes at 3 bits; entry 7 is defined after the fourth code,
  // which widens the codes to 4 bits.
  const std::vector<std::pair<int, int>> codes = {{4, 3}, {0, 3}, {3, 3}, {1, 3}, {3, 4}, {5, 4}};
  auto colour = [](int i, int a) { return Argb(10 * i, 20 * i, 30 * i, a); };
  const std::vector<uint32_t> transparent3 = {colour(0, 255), colour(3, 0), colour(1, 255), colour(3, 0)};
  EXPECT_EQ(Decode(HandBuiltGif(4, 4, 0x09, 3, codes), 4, 1), transparent3);
  // Bit 0 clear: the index byte means nothing.
  const std::vector<uint32_t> opaque = {colour(0, 255), colour(3, 255), colour(1, 255), colour(3, 255)};
  EXPECT_EQ(Decode(HandBuiltGif(4, 4, 0x08, 3, codes), 4, 1), opaque);
  EXPECT_EQ(Decode(HandBuiltGif(4, 4, -1, 0, codes), 4, 1), opaque);
  // A table of two colours: indices past it are black.
  const std::vector<uint32_t> shortTable = {colour(0, 255), Argb(0, 0, 0), colour(1, 255), Argb(0, 0, 0)};
  EXPECT_EQ(Decode(HandBuiltGif(4, 2, -1, 0, codes), 4, 1), shortTable);
}

std::vector<uint8_t> Insert(std::vector<uint8_t> bytes, size_t at, const std::vector<uint8_t>& more) {
  bytes.insert(bytes.begin() + long(at), more.begin(), more.end());
  return bytes;
}

// Where HandBuiltGif puts its blocks: the graphic control extension after the header and a table
// of four entries, the image descriptor after it.
constexpr size_t kHandControlAt = 13 + 12;
constexpr size_t kHandImageAt = kHandControlAt + 8;

TEST(GifReader, ALocalTableReplacesOnlyTheEntriesItHolds) {
  // Indices 0 1 2 3 under a local table of two entries: 0 and 1 come from it, 2 and 3 keep the
  // global table's colours.
  const std::vector<std::pair<int, int>> codes = {{4, 3}, {0, 3}, {1, 3}, {2, 3}, {3, 4}, {5, 4}};
  std::vector<uint8_t> gif = HandBuiltGif(4, 4, -1, 0, codes);
  const size_t image = kHandControlAt;  // no control extension
  ASSERT_EQ(gif[image], 0x2C);
  gif[image + 9] = 0x80;  // a local table of 2 << 0 entries
  gif = Insert(gif, image + 10, {200, 201, 202, 210, 211, 212});
  EXPECT_EQ(Decode(gif, 4, 1), (std::vector<uint32_t>{Argb(200, 201, 202), Argb(210, 211, 212), Argb(20, 40, 60),
                                                      Argb(30, 60, 90)}));
  // Without a global table the entries the local one does not hold are black.
  std::vector<uint8_t> local = gif;
  local[10] = 0;
  local.erase(local.begin() + 13, local.begin() + 25);
  EXPECT_EQ(Decode(local, 4, 1),
            (std::vector<uint32_t>{Argb(200, 201, 202), Argb(210, 211, 212), Argb(0, 0, 0), Argb(0, 0, 0)}));
}

TEST(GifReader, ALaterControlExtensionWithoutTheTransparencyBitKeepsTheTransparentIndex) {
  // Indices 0 3 1 3; the first extension names 3. A second one without the bit (naming 1 in its
  // index byte) leaves 3 transparent; a second one with the bit names 1 instead.
  const std::vector<std::pair<int, int>> codes = {{4, 3}, {0, 3}, {3, 3}, {1, 3}, {3, 4}, {5, 4}};
  auto colour = [](int i, int a) { return Argb(10 * i, 20 * i, 30 * i, a); };
  const std::vector<uint8_t> first = HandBuiltGif(4, 4, 0x09, 3, codes);
  ASSERT_EQ(first[kHandImageAt], 0x2C);
  struct Case {
    uint8_t packed;
    std::vector<uint32_t> pixels;
  };
  const Case cases[] = {
      {0x08, {colour(0, 255), colour(3, 0), colour(1, 255), colour(3, 0)}},
      {0x09, {colour(0, 255), colour(3, 255), colour(1, 0), colour(3, 255)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.packed));
    EXPECT_EQ(Decode(Insert(first, kHandImageAt, {0x21, 0xF9, 4, c.packed, 5, 0, 1, 0}), 4, 1), c.pixels);
  }
}

TEST(GifReader, CodeForTheStringBeingDefinedRepeatsThePreviousString) {
  // 0, then code 6 (not yet defined: previous string plus its first index) = 0 0, then 6 again.
  const std::vector<std::pair<int, int>> codes = {{4, 3}, {0, 3}, {6, 3}, {6, 3}, {5, 4}};
  EXPECT_EQ(Decode(HandBuiltGif(5, 4, -1, 0, codes), 5, 1), std::vector<uint32_t>(5, Argb(0, 0, 0)));
}

struct MalformedCase {
  const char* name;
  std::vector<uint8_t> bytes;
  Status sizeStatus;
  Status decodeStatus;
};

std::vector<uint8_t> Replace(std::vector<uint8_t> bytes, size_t at, std::vector<uint8_t> with) {
  std::copy(with.begin(), with.end(), bytes.begin() + long(at));
  return bytes;
}

TEST(GifReader, MalformedFilesAreRefusedWithoutTouchingPixels) {
  const std::vector<std::pair<int, int>> good = {{4, 3}, {0, 3}, {3, 3}, {1, 3}, {3, 4}, {5, 4}};
  const std::vector<uint8_t> base = HandBuiltGif(4, 4, 0x09, 3, good);
  const size_t image = 13 + 12 + 8;  // the image descriptor after header, table and extension
  ASSERT_EQ(base[image], 0x2C);
  std::vector<uint8_t> noImage(base.begin(), base.begin() + long(image));
  noImage.push_back(0x3B);
  const MalformedCase cases[] = {
      {"version 88", Replace(base, 4, {'8'}), kMalformed, kMalformed},
      {"version 8 space", Replace(base, 4, {' '}), kMalformed, kMalformed},
      {"version 86", Replace(base, 4, {'6'}), kMalformed, kMalformed},
      {"ends in b", Replace(base, 5, {'b'}), kMalformed, kMalformed},
      {"not GIF", Replace(base, 0, {'J'}), kMalformed, kMalformed},
      {"only the signature", std::vector<uint8_t>(base.begin(), base.begin() + 6), kMalformed, kMalformed},
      {"global table cut", std::vector<uint8_t>(base.begin(), base.begin() + 20), kMalformed, kMalformed},
      {"trailer before any image", noImage, kMalformed, kMalformed},
      {"unknown block", Replace(base, image, {0x99}), kMalformed, kMalformed},
      {"extension cut", std::vector<uint8_t>(base.begin(), base.begin() + 28), kMalformed, kMalformed},
      {"zero width", Replace(base, image + 5, {0, 0}), kMalformed, kMalformed},
      {"zero height", Replace(base, image + 7, {0, 0}), kMalformed, kMalformed},
      {"cut before the code size", std::vector<uint8_t>(base.begin(), base.begin() + long(image) + 10), kNoError, kMalformed},
      {"code size 1", Replace(base, image + 10, {1}), kNoError, kMalformed},
      {"code size 12", Replace(base, image + 10, {12}), kNoError, kMalformed},
      {"code beyond the table", HandBuiltGif(4, 4, -1, 0, {{4, 3}, {0, 3}, {7, 3}, {5, 3}}), kNoError, kMalformed},
      {"string code right after a clear", HandBuiltGif(4, 4, -1, 0, {{4, 3}, {6, 3}, {5, 3}}), kNoError, kMalformed},
      {"local table cut", Replace(std::vector<uint8_t>(base.begin(), base.begin() + long(image) + 14), image + 9, {0x87}), kNoError, kMalformed},
  };
  for (const MalformedCase& c : cases) {
    SCOPED_TRACE(c.name);
    int w = -1, h = -1;
    EXPECT_EQ(DecodeGifSize(c.bytes, w, h), c.sizeStatus);
    if (c.decodeStatus != 0 && c.sizeStatus != 0) {
      const std::vector<uint32_t> untouched = Decode(c.bytes, 4, 1, c.decodeStatus);
      EXPECT_EQ(untouched, std::vector<uint32_t>(4, 0x12345678));
    } else {
      Decode(c.bytes, 4, 1, c.decodeStatus);
    }
  }
}

TEST(GifReader, DestinationOfAnotherSizeIsRefused) {
  const std::vector<uint8_t> gif = Encode(GradientPicture(6, 4, 9), 6, 4, Options(false));
  std::vector<uint32_t> pixels(100, 7);
  EXPECT_EQ(DecodeGif(gif, PixelBuffer{pixels, 5, 4, 5}), kMalformed);
  EXPECT_EQ(DecodeGif(gif, PixelBuffer{pixels, 6, 5, 6}), kMalformed);
  EXPECT_EQ(DecodeGif(gif, PixelBuffer{std::span<uint32_t>(pixels).first(23), 6, 4, 6}), kMalformed);
  EXPECT_EQ(DecodeGif(gif, PixelBuffer{pixels, 6, 4, 3}), kMalformed);
  EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](uint32_t p) { return p == 7; }));
  // A wider stride is fine: the gaps stay as they were.
  ASSERT_EQ(DecodeGif(gif, PixelBuffer{pixels, 6, 4, 10}), kNoError);
  EXPECT_EQ(pixels[6], 7u);
  EXPECT_NE(pixels[10], 7u);
  EXPECT_EQ(pixels[40], 7u);
}

TEST(GifReader, CutFilesKeepWhatWasDecodedAndDamagedFilesNeverCrash) {
  const int width = 23, height = 17;
  const std::vector<uint32_t> source = NoisePicture(width, height, 11);
  const std::vector<uint8_t> gif = Encode(source, width, height, Options(false, true));
  const std::vector<uint32_t> whole = Decode(gif, width, height);
  const size_t codeSizeAt = 781 + 8 + 10;
  ASSERT_EQ(gif[codeSizeAt], 8);
  size_t previousDone = 0;
  for (size_t length = 0; length < gif.size(); ++length) {
    SCOPED_TRACE(length);
    const std::span<const uint8_t> cut(gif.data(), length);
    const Status expected = length > codeSizeAt ? kNoError : kMalformed;
    const std::vector<uint32_t> got = Decode(cut, width, height, expected);
    // Every pixel is either still untouched or already the right one, and longer files decode more.
    size_t done = 0;
    for (size_t i = 0; i < got.size(); ++i) {
      if (got[i] == whole[i]) ++done;
      else ASSERT_EQ(got[i], 0x12345678u) << i;
    }
    EXPECT_GE(done, previousDone);
    previousDone = done;
  }
  EXPECT_EQ(previousDone, whole.size()) << "only the trailer missing";

  std::mt19937 random(5);
  for (int trial = 0; trial < 3000; ++trial) {
    std::vector<uint8_t> damaged = gif;
    const int flips = 1 + int(random() % 4);
    for (int k = 0; k < flips; ++k) damaged[random() % damaged.size()] ^= uint8_t(1 + random() % 255);
    int w = 0, h = 0;
    const Status sizeStatus = DecodeGifSize(damaged, w, h);
    ASSERT_TRUE(sizeStatus == kNoError || sizeStatus == kMalformed);
    if (sizeStatus == 0 && size_t(w) * size_t(h) <= size_t(1) << 20) {
      std::vector<uint32_t> pixels(size_t(w) * size_t(h));
      const Status status = DecodeGif(damaged, PixelBuffer{pixels, w, h, size_t(w)});
      ASSERT_TRUE(status == kNoError || status == kMalformed);
    }
  }
}

// ------------------------------------------------------------------------------------------------
// Files

TEST(GifFiles, FailedWritesLeaveThePreviousFileAsItWas) {
  ScriptedServices services;
  test::TempDir dir;
  const std::string target = dir / "keep.gif";
  const FileSpec spec = FileSpecForPath(target, FourCC("GIFf"));
  const std::vector<uint32_t> pixels = GradientPicture(8, 6, 3);
  const PixelRect rect = RectOf(8, 6);
  auto onlyTarget = [&] {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path)) names.push_back(entry.path().filename().string());
    return names == std::vector<std::string>{"keep.gif"};
  };
  test::WriteFileText(target, "old");

  // Refused before anything is written.
  EXPECT_EQ(WriteGifPicture(spec, pixels, RectOf(0, 6), 0, Options(false)), kMalformed);
  EXPECT_EQ(WriteGifPicture(spec, pixels, PixelRect{0, 0, 6, -8}, 32, Options(false)), kMalformed);
  EXPECT_EQ(WriteGifPicture(spec, pixels, rect, 36, Options(false)), kMalformed);
  EXPECT_EQ(WriteGifPicture(spec, std::span(pixels).first(47), rect, 32, Options(false)), kMalformed);
  EXPECT_EQ(test::ReadFileText(target), "old");
  EXPECT_TRUE(onlyTarget());

  {
    GifWriter writer;
    ASSERT_EQ(writer.WriteHeader(spec, pixels, rect, 32, 5, Options(true)), kNoError);
    ASSERT_EQ(writer.WriteFrame(spec, pixels, rect, 32), kNoError);
    // A frame of another size fails, and the writer is done with this file.
    EXPECT_EQ(writer.WriteFrame(spec, pixels, RectOf(4, 6), 16), kWriteError);
    EXPECT_EQ(writer.WriteFrame(spec, pixels, rect, 32), kWriteError);
    EXPECT_EQ(writer.WriteTrailer(spec), kWriteError);
  }
  EXPECT_EQ(test::ReadFileText(target), "old");
  EXPECT_TRUE(onlyTarget());

  {
    // Frames for another file, and an animation never finished.
    GifWriter writer;
    ASSERT_EQ(writer.WriteHeader(spec, pixels, rect, 32, 5, Options(true)), kNoError);
    EXPECT_EQ(writer.WriteFrame(FileSpecForPath(dir / "other.gif", FourCC("GIFf")), pixels, rect, 32), kWriteError);
    ASSERT_EQ(writer.WriteHeader(spec, pixels, rect, 32, 5, Options(true)), kNoError);
    ASSERT_EQ(writer.WriteFrame(spec, pixels, rect, 32), kNoError);
  }
  EXPECT_EQ(test::ReadFileText(target), "old");
  EXPECT_TRUE(onlyTarget());

  EXPECT_EQ(WriteGifPicture(FileSpecForPath(dir / "no-folder/x.gif", FourCC("GIFf")), pixels, rect, 32, Options(false)), kWriteError);
  EXPECT_TRUE(onlyTarget());

  // A complete write replaces the file with exactly what the encoder makes.
  ASSERT_EQ(WriteGifPicture(spec, pixels, rect, 32, Options(false)), kNoError);
  EXPECT_EQ(test::ReadFileBytes(target), Encode(pixels, 8, 6, Options(false)));
  EXPECT_TRUE(onlyTarget());
  int w = 0, h = 0;
  EXPECT_EQ(ReadGifSize(FileSpecForPath(dir / "missing.gif", FourCC("GIFf")), w, h), kFileNotFound);
}

// ------------------------------------------------------------------------------------------------
// ImageMagick as an outside reader and writer

bool HaveConvert() { return std::system("command -v convert > /dev/null 2>&1") == 0; }

bool RunQuiet(const std::string& command) { return std::system((command + " > /dev/null 2>&1").c_str()) == 0; }

void WritePpm(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height) {
  std::string head = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  std::vector<uint8_t> bytes(head.begin(), head.end());
  for (uint32_t p : pixels) {
    bytes.push_back(uint8_t(p >> 16));
    bytes.push_back(uint8_t(p >> 8));
    bytes.push_back(uint8_t(p));
  }
  test::WriteFileBytes(path, bytes);
}

// ImageMagick's own decoding as 0xFFRRGGBB pixels.
std::vector<uint32_t> ConvertToPixels(const std::string& gifPath, const std::string& rgbPath, size_t count) {
  if (!RunQuiet("convert '" + gifPath + "[0]' -depth 8 'rgb:" + rgbPath + "'")) return {};
  const std::vector<uint8_t> rgb = test::ReadFileBytes(rgbPath);
  if (rgb.size() != count * 3) return {};
  std::vector<uint32_t> pixels(count);
  for (size_t i = 0; i < count; ++i) pixels[i] = Argb(rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2]);
  return pixels;
}

TEST(GifImageMagick, ReadsOurFilesAsWeDo) {
  if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
  test::TempDir dir;
  const int width = 120, height = 90;
  const std::vector<uint32_t> pixels = GradientPicture(width, height, 21);
  const std::vector<uint32_t> noise = NoisePicture(width, height, 22);
  struct Case {
    const char* name;
    const std::vector<uint32_t>* pixels;
    PictureSaveOptions options;
  };
  const Case cases[] = {{"plain", &pixels, Options(false)},
                        {"dithered interlaced", &pixels, Options(true, true)},
                        {"noise", &noise, Options(false)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / (std::string(c.name) + ".gif");
    ASSERT_EQ(WriteGifPicture(FileSpecForPath(path, FourCC("GIFf")), *c.pixels, RectOf(width, height), width * 4, c.options), kNoError);
    const std::vector<uint32_t> theirs = ConvertToPixels(path, dir / "out.rgb", pixels.size());
    ASSERT_EQ(theirs.size(), pixels.size());
    EXPECT_EQ(Decode(test::ReadFileBytes(path), width, height), theirs);
  }
}

TEST(GifImageMagick, WeReadTheirFilesAsTheyDo) {
  if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
  test::TempDir dir;
  const int width = 97, height = 61;
  struct Case {
    const char* name;
    std::vector<uint32_t> pixels;
    std::string options;
  };
  std::vector<uint32_t> fewColours(size_t(width) * height);
  for (size_t i = 0; i < fewColours.size(); ++i) fewColours[i] = PaletteColour(int(i / 7 % 3) * 40);
  const Case cases[] = {{"gradient", GradientPicture(width, height, 31), ""},
                        {"gradient interlaced", GradientPicture(width, height, 32), "-interlace GIF"},
                        {"three colours", fewColours, ""},
                        {"noise", NoisePicture(width, height, 33), ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WritePpm(dir / "in.ppm", c.pixels, width, height);
    ASSERT_TRUE(RunQuiet("convert '" + dir / "in.ppm" + "' " + c.options + " '" + dir / "theirs.gif" + "'"));
    const std::vector<uint32_t> theirs = ConvertToPixels(dir / "theirs.gif", dir / "out.rgb", c.pixels.size());
    ASSERT_EQ(theirs.size(), c.pixels.size());
    const std::vector<uint8_t> gif = test::ReadFileBytes(dir / "theirs.gif");
    int w = 0, h = 0;
    ASSERT_EQ(DecodeGifSize(gif, w, h), kNoError);
    ASSERT_EQ(w, width);
    ASSERT_EQ(h, height);
    std::vector<uint32_t> ours = Decode(gif, width, height);
    for (uint32_t& p : ours) p |= 0xFF000000u;  // ImageMagick may name a transparent entry
    EXPECT_EQ(ours, theirs);
  }
}

}  // namespace
}  // namespace tsv
