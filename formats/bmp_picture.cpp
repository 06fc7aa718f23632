// bmp_picture.cpp: BMP headers, palettes, run-length decoding and the 24-bit writer. Every offset,
// run and palette index is checked against the file and the picture before it is used.
#include "formats/bmp_picture.h"

#include <algorithm>
#include <array>
#include <new>

#include "formats/picture_files.h"
#include "platform/byte_order.h"

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
  size_t paletteOffset = 0;
  size_t paletteEntrySize = 4;
  size_t colorCount = 0;
  size_t dataOffset = 0;
};

Status ParseBmp(std::span<const uint8_t> file, BmpLayout& layout) {
  const size_t size = file.size();
  if (size < 2) return kReadError;
  if (file[0] != 'B' || file[1] != 'M') return kMalformed;
  if (size < kFileHeaderSize + 4) return kReadError;
  const uint8_t* p = file.data();
  const uint32_t infoSize = LoadU32LE(p + kFileHeaderSize);
  const uint8_t* info = p + kFileHeaderSize;
  int64_t width = 0;
  int64_t height = 0;
  uint32_t colorsUsed = 0;
  if (infoSize == kOs2HeaderSize) {
    if (size < kFileHeaderSize + kOs2HeaderSize) return kReadError;
    width = LoadU16LE(info + 4);
    height = LoadU16LE(info + 6);
    layout.bits = LoadU16LE(info + 10);
    layout.compression = kCompressionNone;
    layout.paletteEntrySize = 3;
  } else if (IsWindowsHeaderSize(infoSize)) {
    if (size < kFileHeaderSize + 40) return kReadError;
    width = int32_t(LoadU32LE(info + 4));
    height = int32_t(LoadU32LE(info + 8));
    layout.bits = LoadU16LE(info + 14);
    layout.compression = LoadU32LE(info + 16);
    colorsUsed = LoadU32LE(info + 32);
    layout.paletteEntrySize = 4;
  } else {
    return kInvalidBmpFile;
  }
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
      const size_t masksAt = kFileHeaderSize + 40;
      if (size < masksAt + 12) return kReadError;
      if (LoadU32LE(p + masksAt) != 0x00FF0000u || LoadU32LE(p + masksAt + 4) != 0x0000FF00u ||
          LoadU32LE(p + masksAt + 8) != 0x000000FFu) {
        return kInvalidBmpFile;
      }
      break;
    }
    default: return kInvalidBmpFile;
  }

  layout.paletteOffset = kFileHeaderSize + infoSize;
  const uint32_t dataOffset = LoadU32LE(p + 10);
  if (dataOffset != 0 && (dataOffset < layout.paletteOffset || dataOffset > size)) return kMalformed;
  size_t paletteEnd = layout.paletteOffset;
  if (infoSize == 40 && layout.compression == kCompressionBitFields) paletteEnd += 12;
  if (bits <= 8) {
    const size_t full = size_t(1) << bits;
    layout.colorCount = colorsUsed == 0 ? full : std::min<size_t>(colorsUsed, full);
    // Writers that store a shorter palette than the bit count allows say so by the data offset.
    if (dataOffset != 0) {
      layout.colorCount = std::min(layout.colorCount, (dataOffset - layout.paletteOffset) / layout.paletteEntrySize);
    }
    paletteEnd = layout.paletteOffset + layout.colorCount * layout.paletteEntrySize;
    if (paletteEnd > size) return kReadError;
  }
  // A zero offset (some old writers) means the pixels follow the palette.
  layout.dataOffset = dataOffset == 0 ? paletteEnd : dataOffset;
  if (layout.dataOffset > size) return kReadError;
  return kNoError;
}

struct Palette {
  std::array<uint32_t, 256> colors{};
  size_t count = 0;
  // An index the palette does not hold gives black.
  uint32_t operator[](size_t index) const { return index < count ? colors[index] : kOpaque; }
};

Palette ReadPalette(std::span<const uint8_t> file, const BmpLayout& layout) {
  Palette palette;
  palette.count = layout.colorCount;
  for (size_t i = 0; i < palette.count; ++i) {
    const uint8_t* e = file.data() + layout.paletteOffset + i * layout.paletteEntrySize;
    palette.colors[i] = kOpaque | (uint32_t(e[2]) << 16) | (uint32_t(e[1]) << 8) | uint32_t(e[0]);
  }
  return palette;
}

// Row `fileRow` of the file (counted from its first stored row) in the destination.
uint32_t* DestinationRow(const PixelBuffer& d, const BmpLayout& layout, int fileRow) {
  const int y = layout.topDown ? fileRow : layout.height - 1 - fileRow;
  return d.pixels.data() + size_t(y) * d.stride;
}

Status DecodeUncompressed(std::span<const uint8_t> file, const BmpLayout& layout, const Palette& palette,
                          const PixelBuffer& d) {
  const size_t rowBytes = ((size_t(layout.width) * size_t(layout.bits) + 31) / 32) * 4;
  if (uint64_t(rowBytes) * uint64_t(layout.height) > file.size() - layout.dataOffset) return kReadError;
  for (int r = 0; r < layout.height; ++r) {
    const uint8_t* s = file.data() + layout.dataOffset + size_t(r) * rowBytes;
    uint32_t* out = DestinationRow(d, layout, r);
    const int w = layout.width;
    switch (layout.bits) {
      case 1:
        for (int x = 0; x < w; ++x) out[x] = palette[(s[x >> 3] >> (7 - (x & 7))) & 1];
        break;
      case 4:
        for (int x = 0; x < w; ++x) out[x] = palette[(x & 1) ? (s[x >> 1] & 0x0F) : (s[x >> 1] >> 4)];
        break;
      case 8:
        for (int x = 0; x < w; ++x) out[x] = palette[s[x]];
        break;
      case 24:
        for (int x = 0; x < w; ++x, s += 3) {
          out[x] = kOpaque | (uint32_t(s[2]) << 16) | (uint32_t(s[1]) << 8) | uint32_t(s[0]);
        }
        break;
      case 32:
        // Whatever the file holds in the fourth byte, the picture is opaque.
        for (int x = 0; x < w; ++x, s += 4) out[x] = kOpaque | (LoadU32LE(s) & 0x00FFFFFFu);
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

  const uint8_t* s = file.data() + layout.dataOffset;
  const uint8_t* end = file.data() + file.size();
  int64_t x = 0;
  int64_t row = 0;
  auto put = [&](uint32_t color) {
    if (x < w && row < h) DestinationRow(d, layout, int(row))[x] = color;
    ++x;
  };
  // RLE4 packs two indices per byte, high nibble first.
  auto index = [four](uint8_t byte, int i) { return four ? ((i & 1) ? (byte & 0x0F) : (byte >> 4)) : int(byte); };
  while (row < h) {
    if (end - s < 2) {
      // Data that stops right after the last pixel of the last row lacks only its end escape.
      return (row == h - 1 && x >= w) ? kNoError : kReadError;
    }
    const uint8_t count = s[0];
    const uint8_t value = s[1];
    s += 2;
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
      if (end - s < 2) return kReadError;
      x += s[0];
      row += s[1];
      s += 2;
    } else {
      const size_t bytes = four ? (size_t(value) + 1) / 2 : size_t(value);
      const size_t padded = (bytes + 1) & ~size_t(1);
      if (size_t(end - s) < bytes) return kReadError;
      for (int i = 0; i < value && x < w; ++i) put(palette[index(s[four ? i >> 1 : i], i)]);
      s += std::min(padded, size_t(end - s));
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
  const Palette palette = ReadPalette(file, layout);
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
