// tiff_picture.cpp: the TIFF writer, the fallback reader and the choice between it and libtiff.
#include "formats/tiff_picture.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>

#include "formats/library_pictures.h"
#include "formats/picture_files.h"
#include "platform/byte_order.h"
#include "platform/byte_reader.h"

namespace tsv {
namespace {

// Field types and the tags we write or read.
constexpr uint16_t kTypeByte = 1;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
constexpr uint16_t kTypeRational = 5;

constexpr uint16_t kTagImageWidth = 256;
constexpr uint16_t kTagImageLength = 257;
constexpr uint16_t kTagBitsPerSample = 258;
constexpr uint16_t kTagCompression = 259;
constexpr uint16_t kTagPhotometric = 262;
constexpr uint16_t kTagStripOffsets = 273;
constexpr uint16_t kTagOrientation = 274;
constexpr uint16_t kTagSamplesPerPixel = 277;
constexpr uint16_t kTagRowsPerStrip = 278;
constexpr uint16_t kTagStripByteCounts = 279;
constexpr uint16_t kTagXResolution = 282;
constexpr uint16_t kTagYResolution = 283;
constexpr uint16_t kTagPlanarConfiguration = 284;
constexpr uint16_t kTagResolutionUnit = 296;
constexpr uint16_t kTagPredictor = 317;
constexpr uint16_t kTagTileWidth = 322;

constexpr uint32_t kCompressionNone = 1;
constexpr uint32_t kCompressionPackBits = 32773;
constexpr uint32_t kPhotometricWhiteIsZero = 0;
constexpr uint32_t kPhotometricBlackIsZero = 1;
constexpr uint32_t kPhotometricRgb = 2;

constexpr int kWrittenEntryCount = 12;

// ---------------------------------------------------------------------------------------------
// Fallback reader

struct TiffEntry {
  uint16_t type = 0;
  uint32_t count = 0;
  size_t valueOffset = 0;  // where the values are: inside the entry when they fit 4 bytes
};

// The file's bytes in its byte order. Fields are read where their offsets point, each through a
// reader of its own placed there.
struct TiffFile {
  std::span<const uint8_t> bytes;
  bool bigEndian = false;

  // A reader at `offset`; it has failed when the offset lies past the end.
  ByteReader At(uint64_t offset) const {
    ByteReader r(bytes);
    r.Seek(offset);
    return r;
  }
  uint16_t U16(ByteReader& r) const { return bigEndian ? r.U16BE() : r.U16LE(); }
  uint32_t U32(ByteReader& r) const { return bigEndian ? r.U32BE() : r.U32LE(); }

  // Value `index` of an integer field; nullopt when the field is too short, of another type, or
  // its values lie outside the file.
  std::optional<uint32_t> Value(const TiffEntry& e, uint32_t index) const {
    if (index >= e.count) return std::nullopt;
    const size_t size = e.type == kTypeByte ? 1 : e.type == kTypeShort ? 2 : e.type == kTypeLong ? 4 : 0;
    if (size == 0) return std::nullopt;
    ByteReader r = At(e.valueOffset + uint64_t(index) * size);
    const uint32_t value = size == 1 ? r.U8() : size == 2 ? U16(r) : U32(r);
    if (r.failed) return std::nullopt;
    return value;
  }
};

size_t TypeSize(uint16_t type) {
  switch (type) {
    case 1: case 2: case 6: case 7: return 1;    // BYTE, ASCII, SBYTE, UNDEFINED
    case 3: case 8: return 2;                    // SHORT, SSHORT
    case 4: case 9: case 11: case 13: return 4;  // LONG, SLONG, FLOAT, IFD
    case 5: case 10: case 12: return 8;          // RATIONAL, SRATIONAL, DOUBLE
    default: return 0;
  }
}

struct TiffLayout {
  TiffFile file;
  int width = 0;
  int height = 0;
  int samples = 1;
  uint32_t compression = kCompressionNone;
  uint32_t photometric = kPhotometricBlackIsZero;
  uint32_t rowsPerStrip = 0;
  uint32_t stripCount = 0;
  TiffEntry stripOffsets;
  std::optional<TiffEntry> stripByteCounts;
};

Status ParseTiff(std::span<const uint8_t> bytes, TiffLayout& layout) {
  TiffFile& f = layout.file;
  f.bytes = bytes;
  // "II" (little-endian) or "MM" (big-endian), 42, the offset of the first directory.
  ByteReader r(bytes);
  const uint8_t order = r.U8();
  const uint8_t orderAgain = r.U8();
  f.bigEndian = order == 'M';
  const uint16_t magic = f.U16(r);
  const uint32_t directory = f.U32(r);
  if (r.failed) return kReadError;
  if (order != orderAgain || (order != 'M' && order != 'I')) return kMalformed;
  if (magic != 42) return kMalformed;
  // The directory: a u16 entry count, then 12-byte entries of tag, type, count and the value or
  // the offset of the values.
  ByteReader d = f.At(directory);
  const uint16_t entryCount = f.U16(d);
  if (d.failed) return kReadError;
  if (!d.Has(uint64_t(entryCount) * 12)) return kReadError;

  // The tags that matter, by tag number; all others are passed over.
  std::array<std::optional<TiffEntry>, 400> tags;
  for (uint16_t i = 0; i < entryCount; ++i) {
    const uint16_t tag = f.U16(d);
    TiffEntry e;
    e.type = f.U16(d);
    e.count = f.U32(d);
    const size_t inside = d.position;
    const uint32_t offset = f.U32(d);
    const uint64_t total = uint64_t(e.count) * TypeSize(e.type);
    e.valueOffset = total <= 4 ? inside : offset;
    if (tag < tags.size()) tags[tag] = e;
  }
  auto value = [&](uint16_t tag, uint32_t fallback) -> std::optional<uint32_t> {
    if (!tags[tag]) return fallback;
    return f.Value(*tags[tag], 0);
  };

  if (!tags[kTagImageWidth] || !tags[kTagImageLength] || !tags[kTagStripOffsets]) return kMalformed;
  // Tiled pictures are libtiff's alone.
  if (tags[kTagTileWidth]) return kMalformed;
  const auto width = value(kTagImageWidth, 0);
  const auto height = value(kTagImageLength, 0);
  const auto samples = value(kTagSamplesPerPixel, 1);
  const auto compression = value(kTagCompression, kCompressionNone);
  const auto planar = value(kTagPlanarConfiguration, 1);
  const auto predictor = value(kTagPredictor, 1);
  const auto orientation = value(kTagOrientation, 1);
  if (!width || !height || !samples || !compression || !planar || !predictor || !orientation) return kMalformed;
  if (Status s = CheckPictureSize(*width, *height); s != kNoError) return s;
  if (*samples < 1 || *samples > 4 || *planar != 1 || *predictor != 1 || *orientation != 1) return kMalformed;
  if (*compression != kCompressionNone && *compression != kCompressionPackBits) return kMalformed;
  const auto photometric = value(kTagPhotometric, *samples >= 3 ? kPhotometricRgb : kPhotometricBlackIsZero);
  if (!photometric) return kMalformed;
  const bool rgb = *photometric == kPhotometricRgb && *samples >= 3;
  const bool grey =
      (*photometric == kPhotometricBlackIsZero || *photometric == kPhotometricWhiteIsZero) && *samples <= 2;
  if (!rgb && !grey) return kMalformed;
  // Every sample 8 bits (one value standing for all is common).
  if (tags[kTagBitsPerSample]) {
    const TiffEntry& bits = *tags[kTagBitsPerSample];
    if (bits.count == 0) return kMalformed;
    for (uint32_t i = 0; i < std::min<uint32_t>(bits.count, *samples); ++i) {
      if (f.Value(bits, i) != 8u) return kMalformed;
    }
  } else {
    return kMalformed;  // one bit per sample by default
  }

  layout.width = int(*width);
  layout.height = int(*height);
  layout.samples = int(*samples);
  layout.compression = *compression;
  layout.photometric = *photometric;
  const auto rowsPerStrip = value(kTagRowsPerStrip, uint32_t(*height));
  if (!rowsPerStrip || *rowsPerStrip == 0) return kMalformed;
  layout.rowsPerStrip = std::min<uint32_t>(*rowsPerStrip, *height);
  layout.stripCount = (*height + layout.rowsPerStrip - 1) / layout.rowsPerStrip;
  layout.stripOffsets = *tags[kTagStripOffsets];
  if (layout.stripOffsets.count < layout.stripCount) return kMalformed;
  layout.stripByteCounts = tags[kTagStripByteCounts];
  if (layout.stripByteCounts && layout.stripByteCounts->count < layout.stripCount) return kMalformed;
  if (!layout.stripByteCounts && layout.compression != kCompressionNone) return kMalformed;
  return kNoError;
}

// PackBits: a count byte n, then n + 1 literal bytes (n 0..127) or one byte repeated 1 - n times
// (n -127..-1); -128 is no operation. False when the input ends before `out` is full.
bool UnpackBits(ByteReader& in, std::span<uint8_t> out) {
  size_t o = 0;
  while (o < out.size()) {
    const int n = int8_t(in.U8());
    if (in.failed) return false;
    if (n >= 0) {
      const std::span<const uint8_t> literal = in.Bytes(size_t(n) + 1);
      if (in.failed) return false;
      const size_t copied = std::min(literal.size(), out.size() - o);
      std::copy_n(literal.begin(), copied, out.begin() + long(o));
      o += copied;
    } else if (n != -128) {
      const uint8_t value = in.U8();
      if (in.failed) return false;
      const size_t count = std::min(size_t(1 - n), out.size() - o);
      std::fill_n(out.begin() + long(o), count, value);
      o += count;
    }
  }
  return true;
}

// One row of 8-bit samples, taken whole from the reader: width * samples bytes.
// The layout's fields are taken into locals: the pixels written are 32-bit values like some of
// them, and the compiler would otherwise read them again for every pixel.
void ConvertRow(const TiffLayout& layout, std::span<const uint8_t> row, uint32_t* out) {
  const int n = layout.samples;
  const int width = layout.width;
  const uint32_t photometric = layout.photometric;
  const uint8_t* s = row.data();
  for (int x = 0; x < width; ++x, s += n) {
    if (photometric == kPhotometricRgb) {
      const uint32_t alpha = n == 4 ? s[3] : 255;
      out[x] = (alpha << 24) | (uint32_t(s[0]) << 16) | (uint32_t(s[1]) << 8) | s[2];
    } else {
      const uint32_t v = photometric == kPhotometricWhiteIsZero ? 255u - s[0] : s[0];
      const uint32_t alpha = n == 2 ? s[1] : 255;
      out[x] = (alpha << 24) | (v << 16) | (v << 8) | v;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Writer

void StoreEntry(uint8_t* p, uint16_t tag, uint16_t type, uint32_t value) {
  StoreU16BE(p, tag);
  StoreU16BE(p + 2, type);
  StoreU32BE(p + 4, 1);
  // A SHORT sits in the first two bytes of the value field.
  if (type == kTypeShort) {
    StoreU16BE(p + 8, uint16_t(value));
    StoreU16BE(p + 10, 0);
  } else {
    StoreU32BE(p + 8, value);
  }
}

}  // namespace

Status GetTiffSizeFallback(std::span<const uint8_t> file, int& width, int& height) {
  TiffLayout layout;
  if (Status s = ParseTiff(file, layout); s != kNoError) return s;
  width = layout.width;
  height = layout.height;
  return kNoError;
}

Status DecodeTiffFallback(std::span<const uint8_t> file, const PixelBuffer& destination) {
  TiffLayout layout;
  if (Status s = ParseTiff(file, layout); s != kNoError) return s;
  if (!PictureFitsBuffer(destination, layout.width, layout.height)) return kMalformed;
  const TiffFile& f = layout.file;
  const size_t rowBytes = size_t(layout.width) * size_t(layout.samples);
  std::vector<uint8_t> strip;
  try {
    if (layout.compression == kCompressionPackBits) strip.resize(rowBytes * layout.rowsPerStrip);
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  for (uint32_t s = 0; s < layout.stripCount; ++s) {
    const uint32_t firstRow = s * layout.rowsPerStrip;
    const uint32_t rows = std::min<uint32_t>(layout.rowsPerStrip, uint32_t(layout.height) - firstRow);
    const size_t need = rowBytes * rows;
    const auto offset = f.Value(layout.stripOffsets, s);
    if (!offset) return kReadError;
    ByteReader in = f.At(*offset);
    std::span<const uint8_t> data;
    if (layout.compression == kCompressionNone) {
      data = in.Bytes(need);
      if (in.failed) return kReadError;
    } else {
      const auto count = f.Value(*layout.stripByteCounts, s);
      if (!count) return kReadError;
      ByteReader packed(in.Bytes(*count));
      if (in.failed) return kReadError;
      if (!UnpackBits(packed, std::span(strip).first(need))) return kReadError;
      data = strip;
    }
    for (uint32_t r = 0; r < rows; ++r) {
      ConvertRow(layout, data.subspan(r * rowBytes, rowBytes),
                 destination.pixels.data() + size_t(firstRow + r) * destination.stride);
    }
  }
  return kNoError;
}

Status GetTiffSize(std::span<const uint8_t> file, int& width, int& height) {
  const Status library = GetTiffSizeLibrary(file, width, height);
  if (library == kNoError) return kNoError;
  const Status own = GetTiffSizeFallback(file, width, height);
  return own == kNoError || library != kNoMemory ? own : library;
}

Status DecodeTiff(std::span<const uint8_t> file, const PixelBuffer& destination) {
  const Status library = DecodeTiffLibrary(file, destination);
  if (library == kNoError) return kNoError;
  const Status own = DecodeTiffFallback(file, destination);
  return own == kNoError || library != kNoMemory ? own : library;
}

Status EncodeTiff(std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes,
                  const PictureSaveOptions& options, std::vector<uint8_t>& out) {
  if (!IsPictureSourceValid(pixels, rect, strideBytes)) return kMalformed;
  const uint32_t width = uint32_t(rect.Width());
  const uint32_t height = uint32_t(rect.Height());
  const uint32_t samples = options.includeAlpha ? 4 : 3;
  const uint64_t dataBytes = uint64_t(width) * height * samples;
  try {
    out.assign(kTiffDataOffset + dataBytes, 0);
  } catch (const std::bad_alloc&) {
    out.clear();
    return kNoMemory;
  }
  uint8_t* p = out.data();
  p[0] = 'M';
  p[1] = 'M';
  StoreU16BE(p + 2, 42);
  StoreU32BE(p + 4, 8);
  StoreU16BE(p + 8, kWrittenEntryCount);
  uint8_t* e = p + 10;
  auto entry = [&e](uint16_t tag, uint16_t type, uint32_t value) {
    StoreEntry(e, tag, type, value);
    e += 12;
  };
  entry(kTagImageWidth, kTypeLong, width);
  entry(kTagImageLength, kTypeLong, height);
  entry(kTagBitsPerSample, kTypeShort, 8);
  entry(kTagCompression, kTypeShort, kCompressionNone);
  entry(kTagPhotometric, kTypeShort, kPhotometricRgb);
  entry(kTagStripOffsets, kTypeLong, uint32_t(kTiffDataOffset));
  entry(kTagSamplesPerPixel, kTypeShort, samples);
  entry(kTagRowsPerStrip, kTypeLong, height);
  entry(kTagStripByteCounts, kTypeLong, uint32_t(dataBytes));
  entry(kTagXResolution, kTypeRational, uint32_t(kTiffXResolutionOffset));
  entry(kTagYResolution, kTypeRational, uint32_t(kTiffYResolutionOffset));
  entry(kTagResolutionUnit, kTypeShort, 2);
  StoreU32BE(e, 0);  // no further directory
  // 300 dots per inch, both ways.
  StoreU32BE(p + kTiffXResolutionOffset, 300);
  StoreU32BE(p + kTiffXResolutionOffset + 4, 1);
  StoreU32BE(p + kTiffYResolutionOffset, 300);
  StoreU32BE(p + kTiffYResolutionOffset + 4, 1);
  uint8_t* d = p + kTiffDataOffset;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t c = SourcePixel(pixels, strideBytes, int(x), int(y));
      *d++ = uint8_t(c >> 16);
      *d++ = uint8_t(c >> 8);
      *d++ = uint8_t(c);
      if (options.includeAlpha) *d++ = uint8_t(c >> 24);
    }
  }
  return kNoError;
}

Status WriteTiffPicture(const FileSpec& spec, std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes,
                        const PictureSaveOptions& options) {
  std::vector<uint8_t> bytes;
  const Status encoded = EncodeTiff(pixels, rect, strideBytes, options, bytes);
  return FinishPictureWrite(spec, encoded, bytes);
}

}  // namespace tsv
