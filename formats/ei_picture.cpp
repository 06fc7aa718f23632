// ei_picture.cpp: the Electric Image picture header, the row packer and the reader.
#include "formats/ei_picture.h"

#include <new>

#include "formats/picture_files.h"
#include "platform/byte_order.h"
#include "platform/byte_reader.h"

namespace tsv {
namespace {

// Image header fields, as offsets from the start of the file (the block header takes 6 bytes).
constexpr size_t kAtRect = 10;        // top, left, bottom, right (i16 each)
constexpr size_t kAtDepth = 18;       // always 24
constexpr size_t kAtRectAgain = 20;
constexpr size_t kAtCompressed = 28;  // 1 when rows are packed
constexpr size_t kAtAlpha = 29;       // 8 when alpha is stored
constexpr size_t kAtVersion = 34;     // u16 1, u16 0

constexpr uint8_t kAlphaBits = 8;
constexpr int kMaxPacket = 128;

struct PixelWriter {
  std::vector<uint8_t>& out;
  bool alpha;
  void Put(uint32_t c) {
    if (alpha) out.push_back(uint8_t(c >> 24));
    out.push_back(uint8_t(c >> 16));
    out.push_back(uint8_t(c >> 8));
    out.push_back(uint8_t(c));
  }
};

// One row as packets. Each pixel is classed by whether it equals its left and its right
// neighbour: equal to the right only starts a run, equal to both extends it, equal to the left
// only ends it; the rest gather into literals. Runs and literals hold at most 128 pixels.
void PackRow(const uint32_t* row, int width, uint32_t compareMask, PixelWriter& w) {
  int literalStart = 0;
  int literalCount = 0;
  int runLength = 0;
  auto flushLiterals = [&] {
    if (literalCount == 0) return;
    w.out.push_back(uint8_t(127 + literalCount));
    for (int i = 0; i < literalCount; ++i) w.Put(row[literalStart + i]);
    literalCount = 0;
  };
  for (int x = 0; x < width; ++x) {
    const uint32_t c = row[x] & compareMask;
    const bool equalsLeft = x > 0 && (row[x - 1] & compareMask) == c;
    const bool equalsRight = x + 1 < width && (row[x + 1] & compareMask) == c;
    if (equalsRight && !equalsLeft) {
      flushLiterals();
      runLength = 1;
    } else if (equalsRight && equalsLeft) {
      if (++runLength == kMaxPacket) {
        w.out.push_back(uint8_t(kMaxPacket - 1));
        w.Put(row[x]);
        runLength = 0;
      }
    } else if (equalsLeft) {
      ++runLength;
      w.out.push_back(uint8_t(runLength - 1));
      w.Put(row[x]);
      runLength = 0;
    } else {
      if (literalCount == 0) literalStart = x;
      if (++literalCount == kMaxPacket) flushLiterals();
    }
  }
  flushLiterals();
}

struct EiLayout {
  int width = 0;
  int height = 0;
  bool compressed = false;
  bool alpha = false;
};

// The block header's first word, then the image header; the reader ends at the first pixel row.
Status ParseElectricImage(ByteReader& r, EiLayout& layout) {
  const uint16_t block = r.U16BE();
  if (r.failed) return kReadError;
  if (block != 5) return kMalformed;
  r.Seek(kAtRect);
  const int64_t top = int16_t(r.U16BE());
  const int64_t left = int16_t(r.U16BE());
  const int64_t bottom = int16_t(r.U16BE());
  const int64_t right = int16_t(r.U16BE());
  r.Seek(kAtCompressed);
  const uint8_t compressed = r.U8();
  const uint8_t alpha = r.U8();
  r.Seek(kElectricImageDataOffset);
  if (r.failed) return kReadError;
  if (Status s = CheckPictureSize(right - left, bottom - top); s != kNoError) return s;
  if (compressed > 1 || (alpha != 0 && alpha != kAlphaBits)) return kMalformed;
  layout.width = int(right - left);
  layout.height = int(bottom - top);
  layout.compressed = compressed == 1;
  layout.alpha = alpha == kAlphaBits;
  return kNoError;
}

// Alpha (when stored), red, green, blue; opaque without alpha.
uint32_t ReadPixel(ByteReader& r, bool alpha) {
  if (alpha) return r.U32BE();
  const uint32_t red = r.U8();
  const uint32_t green = r.U8();
  const uint32_t blue = r.U8();
  return 0xFF000000u | (red << 16) | (green << 8) | blue;
}

}  // namespace

Status GetElectricImageSize(std::span<const uint8_t> file, int& width, int& height) {
  ByteReader r(file);
  EiLayout layout;
  if (Status s = ParseElectricImage(r, layout); s != kNoError) return s;
  width = layout.width;
  height = layout.height;
  return kNoError;
}

Status DecodeElectricImage(std::span<const uint8_t> file, const PixelBuffer& destination) {
  ByteReader r(file);
  EiLayout layout;
  if (Status s = ParseElectricImage(r, layout); s != kNoError) return s;
  if (!PictureFitsBuffer(destination, layout.width, layout.height)) return kMalformed;
  const size_t pixelBytes = layout.alpha ? 4 : 3;
  // Packets are taken as one stream over the whole picture: our writer starts every row afresh,
  // but a packet that runs on into the next row is still read correctly.
  int x = 0;
  int y = 0;
  auto put = [&](uint32_t c) {
    destination.pixels[size_t(y) * destination.stride + size_t(x)] = c;
    if (++x == layout.width) {
      x = 0;
      ++y;
    }
  };
  const int64_t total = int64_t(layout.width) * layout.height;
  int64_t done = 0;
  if (!layout.compressed) {
    if (!r.Has(uint64_t(total) * pixelBytes)) return kReadError;
    for (; done < total; ++done) put(ReadPixel(r, layout.alpha));
    return kNoError;
  }
  while (done < total) {
    const int k = r.U8();
    if (r.failed) return kReadError;
    const int64_t count = k < 128 ? k + 1 : k - 127;
    if (count > total - done) return kMalformed;
    // A run is one pixel standing for `count`; literals are `count` pixels.
    if (!r.Has(uint64_t(k < 128 ? 1 : count) * pixelBytes)) return kReadError;
    if (k < 128) {
      const uint32_t c = ReadPixel(r, layout.alpha);
      for (int64_t i = 0; i < count; ++i) put(c);
    } else {
      for (int64_t i = 0; i < count; ++i) put(ReadPixel(r, layout.alpha));
    }
    done += count;
  }
  return kNoError;
}

Status EncodeElectricImage(std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes,
                           const PictureSaveOptions& options, std::vector<uint8_t>& out) {
  if (!IsPictureSourceValid(pixels, rect, strideBytes)) return kMalformed;
  const int width = rect.Width();
  const int height = rect.Height();
  const size_t pixelBytes = options.includeAlpha ? 4 : 3;
  try {
    out.clear();
    // Packed rows may grow by one count byte per 128 pixels over the plain ones.
    out.reserve(kElectricImageDataOffset +
                size_t(height) * (size_t(width) * pixelBytes + (size_t(width) + kMaxPacket - 1) / kMaxPacket));
    out.resize(kElectricImageDataOffset, 0);
    uint8_t* p = out.data();
    StoreU16BE(p, 5);
    StoreU32BE(p + 2, 1);
    for (size_t at : {kAtRect, kAtRectAgain}) {
      StoreU16BE(p + at, 0);
      StoreU16BE(p + at + 2, 0);
      StoreU16BE(p + at + 4, uint16_t(height));
      StoreU16BE(p + at + 6, uint16_t(width));
    }
    p[kAtDepth] = 24;
    p[kAtCompressed] = options.compressed ? 1 : 0;
    p[kAtAlpha] = options.includeAlpha ? kAlphaBits : 0;
    StoreU16BE(p + kAtVersion, 1);
    PixelWriter w{out, options.includeAlpha};
    const uint32_t compareMask = options.includeAlpha ? 0xFFFFFFFFu : 0x00FFFFFFu;
    for (int y = 0; y < height; ++y) {
      const uint32_t* row = pixels.data() + size_t(y) * (strideBytes / 4);
      if (options.compressed) {
        PackRow(row, width, compareMask, w);
      } else {
        for (int x = 0; x < width; ++x) w.Put(row[x]);
      }
    }
  } catch (const std::bad_alloc&) {
    out.clear();
    return kNoMemory;
  }
  return kNoError;
}

Status WriteElectricImagePicture(const FileSpec& spec, std::span<const uint32_t> pixels, PixelRect rect,
                                 size_t strideBytes, const PictureSaveOptions& options) {
  std::vector<uint8_t> bytes;
  const Status encoded = EncodeElectricImage(pixels, rect, strideBytes, options, bytes);
  return FinishPictureWrite(spec, encoded, bytes);
}

}  // namespace tsv
