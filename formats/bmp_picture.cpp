// bmp_picture.cpp: BMP headers, palettes, run-length decoding and the 24-bit writer. The file is
// read through a ByteReader; every run and palette index is checked against the picture before it
// is used.
#include "formats/bmp_picture.h"

#include <algorithm>
#include <array>
#include <new>

#include "formats/picture_files.h"
#include "platform/byte_order.h"
#include "platform/byte_reader.h"

namespace tsv {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kOs2HeaderSize = 12;
constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionRle8 = 1;
constexpr uint32_t kCompressionRle4 = 2;
constexpr uint32_t kCompressionBitFields = 3;
constexpr uint32_t kOpaque = 0xFF000000u;

// The Windows headers we read with the 40-byte layout: the later versions only add fields
// (masks, colour space, profile) after the first 40 bytes.
bool IsWindowsHeaderSize(uint32_t size) {
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

struct BmpLayout {
  int width = 0;
  int height = 0;
  bool topDown = false;
  int bits = 0;
  uint32_t compression = kCompressionNone;
  std::span<const uint8_t> palette;  // the palette's entries in the file
  size_t paletteEntrySize = 4;
  size_t dataOffset = 0;
};

// The bytes of one uncompressed row: the bits of its pixels rounded up to whole 32-bit words.
uint64_t UncompressedRowBytes(const BmpLayout& layout) {
  return (uint64_t(layout.width) * uint64_t(layout.bits) + 31) / 32 * 4;
}

// Both headers and the palette. The file header is "BM", u32 file size, two reserved u16 and the
// u32 offset of the pixels; the info header follows at byte 14, all little-endian.
Status ParseBmp(std::span<const uint8_t> file, BmpLayout& layout) {
  ByteReader r(file);
  const uint8_t b = r.U8();
  const uint8_t m = r.U8();
  if (r.failed) return kReadError;
  if (b != 'B' || m != 'M') return kMalformed;
  r.Skip(8);
  const uint32_t dataOffset = r.U32LE();
  const uint32_t infoSize = r.U32LE();
  if (r.failed) return kReadError;
  int64_t width = 0;
  int64_t height = 0;
  uint32_t colorsUsed = 0;
  if (infoSize == kOs2HeaderSize) {
    // u16 width, height, planes, bits.
    width = r.U16LE();
    height = r.U16LE();
    r.Skip(2);
    layout.bits = r.U16LE();
    layout.compression = kCompressionNone;
    layout.paletteEntrySize = 3;
  } else if (IsWindowsHeaderSize(infoSize)) {
    // i32 width, height; u16 planes, bits; u32 compression, image size, two resolutions, colours
    // used, important colours.
    width = int32_t(r.U32LE());
    height = int32_t(r.U32LE());
    r.Skip(2);
    layout.bits = r.U16LE();
    layout.compression = r.U32LE();
    r.Skip(12);
    colorsUsed = r.U32LE();
    r.Skip(4);
    layout.paletteEntrySize = 4;
  } else {
    return kInvalidBmpFile;
  }
  if (r.failed) return kReadError;
  // A negative height means the rows are stored top row first.
  layout.topDown = height < 0;
  if (height < 0) height = -height;
  if (Status s = CheckPictureSize(width, height); s != kNoError) return s;
  layout.width = int(width);
  layout.height = int(height);

  const int bits = layout.bits;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return kInvalidBmpFile;
  switch (layout.compression) {
    case kCompressionNone: break;
    case kCompressionRle8:
      if (bits != 8) return kInvalidBmpFile;
      break;
    case kCompressionRle4:
      if (bits != 4) return kInvalidBmpFile;
      break;
    case kCompressionBitFields: {
      if (bits != 32) return kInvalidBmpFile;
      // The red, green and blue masks follow the first 40 bytes of the info header, inside the
      // longer headers and just after the 40-byte one.
      r.Seek(kFileHeaderSize + 40);
      const uint32_t red = r.U32LE();
      const uint32_t green = r.U32LE();
      const uint32_t blue = r.U32LE();
      if (r.failed) return kReadError;
      if (red != 0x00FF0000u || green != 0x0000FF00u || blue != 0x000000FFu) return kInvalidBmpFile;
      break;
    }
    default: return kInvalidBmpFile;
  }

  const size_t paletteOffset = kFileHeaderSize + infoSize;
  if (dataOffset != 0 && (dataOffset < paletteOffset || dataOffset > file.size())) return kMalformed;
  size_t paletteEnd = paletteOffset;
  if (infoSize == 40 && layout.compression == kCompressionBitFields) paletteEnd += 12;
  if (bits <= 8) {
    const size_t full = size_t(1) << bits;
    size_t colorCount = colorsUsed == 0 ? full : std::min<size_t>(colorsUsed, full);
    // Writers that store a shorter palette than the bit count allows say so by the data offset.
    if (dataOffset != 0) colorCount = std::min(colorCount, (dataOffset - paletteOffset) / layout.paletteEntrySize);
    r.Seek(paletteOffset);
    layout.palette = r.Bytes(colorCount * layout.paletteEntrySize);
    if (r.failed) return kReadError;
    paletteEnd = r.position;
  }
  // A zero offset (some old writers) means the pixels follow the palette.
  layout.dataOffset = dataOffset == 0 ? paletteEnd : dataOffset;
  if (layout.dataOffset > file.size()) return kReadError;
  // Uncompressed rows must all be in the file: a short one is refused here, before the loader
  // sets aside a picture of the size the header claims.
  if (layout.compression != kCompressionRle8 && layout.compression != kCompressionRle4 &&
      file.size() - layout.dataOffset < UncompressedRowBytes(layout) * uint64_t(layout.height)) {
    return kReadError;
  }
  return kNoError;
}

struct Palette {
  std::array<uint32_t, 256> colors{};
  size_t count = 0;
  // An index the palette does not hold gives black.
  uint32_t operator[](size_t index) const { return index < count ? colors[index] : kOpaque; }
};

// Entries are blue, green, red, then a fourth byte in Windows files.
Palette ReadPalette(const BmpLayout& layout) {
  Palette palette;
  ByteReader r(layout.palette);
  palette.count = layout.palette.size() / layout.paletteEntrySize;
  for (size_t i = 0; i < palette.count; ++i) {
    const uint32_t blue = r.U8();
    const uint32_t green = r.U8();
    const uint32_t red = r.U8();
    r.Skip(layout.paletteEntrySize - 3);
    palette.colors[i] = kOpaque | (red << 16) | (green << 8) | blue;
  }
  return palette;
}

// Row `fileRow` of the file (counted from its first stored row) in the destination.
uint32_t* DestinationRow(const PixelBuffer& d, const BmpLayout& layout, int fileRow) {
  const int y = layout.topDown ? fileRow : layout.height - 1 - fileRow;
  return d.pixels.data() + size_t(y) * d.stride;
}

// Rows padded to four bytes. Each row is taken from the reader whole, so the loops below stay
// within its checked view.
Status DecodeUncompressed(std::span<const uint8_t> file, const BmpLayout& layout, const Palette& palette,
                          const PixelBuffer& d) {
  const size_t rowBytes = size_t(UncompressedRowBytes(layout));
  ByteReader r(file);
  r.Seek(layout.dataOffset);
  for (int y = 0; y < layout.height; ++y) {
    const std::span<const uint8_t> s = r.Bytes(rowBytes);
    if (r.failed) return kReadError;
    uint32_t* out = DestinationRow(d, layout, y);
    const int w = layout.width;
    switch (layout.bits) {
      case 1:
        for (int x = 0; x < w; ++x) out[x] = palette[(s[size_t(x) >> 3] >> (7 - (x & 7))) & 1];
        break;
      case 4:
        for (int x = 0; x < w; ++x) {
          const uint8_t pair = s[size_t(x) >> 1];
          out[x] = palette[(x & 1) ? (pair & 0x0F) : (pair >> 4)];
        }
        break;
      case 8:
        for (int x = 0; x < w; ++x) out[x] = palette[s[size_t(x)]];
        break;
      case 24:
        for (size_t x = 0, i = 0; x < size_t(w); ++x, i += 3) {
          out[x] = kOpaque | (uint32_t(s[i + 2]) << 16) | (uint32_t(s[i + 1]) << 8) | uint32_t(s[i]);
        }
        break;
      case 32:
        // Whatever the file holds in the fourth byte, the picture is opaque.
        for (size_t x = 0, i = 0; x < size_t(w); ++x, i += 4) {
          out[x] = kOpaque | (uint32_t(s[i + 2]) << 16) | (uint32_t(s[i + 1]) << 8) | uint32_t(s[i]);
        }
        break;
    }
  }
  return kNoError;
}

// RLE8 and RLE4: pairs (count, value) or escapes 0 0 (end of line), 0 1 (end of bitmap),
// 0 2 dx dy (move), 0 n (n literal values, padded to an even byte count). Pixels that no packet
// reaches keep the colour of index 0; runs and moves that leave the picture are clipped.
Status DecodeRunLength(std::span<const uint8_t> file, const BmpLayout& layout, const Palette& palette,
                       const PixelBuffer& d) {
  const bool four = layout.compression == kCompressionRle4;
  const int w = layout.width;
  const int h = layout.height;
  const uint32_t background = palette[0];
  for (int y = 0; y < h; ++y) std::fill_n(d.pixels.data() + size_t(y) * d.stride, size_t(w), background);

  ByteReader r(file);
  r.Seek(layout.dataOffset);
  int64_t x = 0;
  int64_t row = 0;
  auto put = [&](uint32_t color) {
    if (x < w && row < h) DestinationRow(d, layout, int(row))[x] = color;
    ++x;
  };
  // RLE4 packs two indices per byte, high nibble first.
  auto index = [four](uint8_t byte, int i) { return four ? ((i & 1) ? (byte & 0x0F) : (byte >> 4)) : int(byte); };
  while (row < h) {
    if (!r.Has(2)) {
      // Data that stops right after the last pixel of the last row lacks only its end escape.
      return (row == h - 1 && x >= w) ? kNoError : kReadError;
    }
    const uint8_t count = r.U8();
    const uint8_t value = r.U8();
    if (count > 0) {
      for (int i = 0; i < count && x < w; ++i) put(palette[index(value, i)]);
      continue;
    }
    if (value == 0) {
      x = 0;
      ++row;
    } else if (value == 1) {
      return kNoError;
    } else if (value == 2) {
      const uint8_t dx = r.U8();
      const uint8_t dy = r.U8();
      if (r.failed) return kReadError;
      x += dx;
      row += dy;
    } else {
      const size_t bytes = four ? (size_t(value) + 1) / 2 : size_t(value);
      const std::span<const uint8_t> literal = r.Bytes(bytes);
      if (r.failed) return kReadError;
      for (int i = 0; i < value && x < w; ++i) put(palette[index(literal[size_t(four ? i >> 1 : i)], i)]);
      // The padding byte may be missing at the very end of the data.
      if (bytes % 2 != 0 && r.Remaining() > 0) r.Skip(1);
    }
  }
  return kNoError;
}

}  // namespace

Status GetBmpSize(std::span<const uint8_t> file, int& width, int& height) {
  BmpLayout layout;
  if (Status s = ParseBmp(file, layout); s != kNoError) return s;
  width = layout.width;
  height = layout.height;
  return kNoError;
}

Status DecodeBmp(std::span<const uint8_t> file, const PixelBuffer& destination) {
  BmpLayout layout;
  if (Status s = ParseBmp(file, layout); s != kNoError) return s;
  if (!PictureFitsBuffer(destination, layout.width, layout.height)) return kMalformed;
  const Palette palette = ReadPalette(layout);
  if (layout.compression == kCompressionRle8 || layout.compression == kCompressionRle4) {
    return DecodeRunLength(file, layout, palette, destination);
  }
  return DecodeUncompressed(file, layout, palette, destination);
}

Status EncodeBmp(std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes, std::vector<uint8_t>& out) {
  if (!IsPictureSourceValid(pixels, rect, strideBytes)) return kMalformed;
  const int width = rect.Width();
  const int height = rect.Height();
  const size_t rowBytes = (size_t(width) * 3 + 3) & ~size_t(3);
  const size_t size = 54 + rowBytes * size_t(height);
  try {
    out.assign(size, 0);
  } catch (const std::bad_alloc&) {
    out.clear();
    return kNoMemory;
  }
  uint8_t* p = out.data();
  // File header, then the 40-byte info header; all little-endian.
  p[0] = 'B';
  p[1] = 'M';
  StoreU32LE(p + 2, uint32_t(size));
  StoreU32LE(p + 10, 54);
  StoreU32LE(p + 14, 40);
  StoreU32LE(p + 18, uint32_t(width));
  StoreU32LE(p + 22, uint32_t(height));
  StoreU16LE(p + 26, 1);
  StoreU16LE(p + 28, 24);
  // Rows bottom-up: the picture's last row comes first in the file.
  for (int y = 0; y < height; ++y) {
    uint8_t* row = p + 54 + rowBytes * size_t(height - 1 - y);
    for (int x = 0; x < width; ++x, row += 3) {
      const uint32_t c = SourcePixel(pixels, strideBytes, x, y);
      row[0] = uint8_t(c);
      row[1] = uint8_t(c >> 8);
      row[2] = uint8_t(c >> 16);
    }
  }
  return kNoError;
}

Status WriteBmpPicture(const FileSpec& spec, std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes) {
  std::vector<uint8_t> bytes;
  const Status encoded = EncodeBmp(pixels, rect, strideBytes, bytes);
  return FinishPictureWrite(spec, encoded, bytes);
}

}  // namespace tsv
