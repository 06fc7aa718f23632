// gif.cpp: the fixed palette, colour reduction (plain and Floyd-Steinberg), the compress-style LZW
// coder and its decoder, and the GIF file layout around them.
#include "formats/gif.h"

#include <algorithm>
#include <array>
#include <new>
#include <string>
#include <utility>

#include "formats/picture_files.h"
#include "platform/byte_order.h"
#include "platform/byte_reader.h"
#include "platform/files.h"
#include "scene/safe_save.h"

namespace tsv {
namespace {

constexpr std::array<uint8_t, kGifPaletteBytes> BuildPalette() {
  std::array<uint8_t, kGifPaletteBytes> table{};
  for (int r = 0; r < 6; ++r) {
    for (int g = 0; g < 7; ++g) {
      for (int b = 0; b < 6; ++b) {
        const int entry = (r * 7 + g) * 6 + b;
        table[size_t(entry) * 3 + 0] = uint8_t(51 * r);
        table[size_t(entry) * 3 + 1] = uint8_t(255 * g / 6);
        table[size_t(entry) * 3 + 2] = uint8_t(51 * b);
      }
    }
  }
  return table;  // entries 252..255 stay black
}

constexpr std::array<uint8_t, kGifPaletteBytes> kPalette = BuildPalette();

// Plain reduction as three table look-ups: red / 43 and blue / 43 give 0..5, green / 37 gives
// 0..6, already weighted by their place in the index.
struct ReductionTables {
  std::array<uint8_t, 256> red{}, green{}, blue{};
};
constexpr ReductionTables BuildReductionTables() {
  ReductionTables t;
  for (int v = 0; v < 256; ++v) {
    t.red[size_t(v)] = uint8_t(v / 43 * 42);
    t.green[size_t(v)] = uint8_t(v / 37 * 6);
    t.blue[size_t(v)] = uint8_t(v / 43);
  }
  return t;
}
constexpr ReductionTables kReduce = BuildReductionTables();

// LZW coder constants: 8-bit pixels, codes of 9 to 12 bits.
constexpr int kHashSize = 5003;
constexpr int kHashShift = 4;
constexpr int kMaxBits = 12;
constexpr int kMaxCodes = 1 << kMaxBits;  // 4096 codes, 0..4095
constexpr int kClearCode = 256;
constexpr int kEndCode = 257;
constexpr int kFirstFree = 258;
constexpr int kInitBits = 9;
constexpr size_t kSubBlockBytes = 254;

void PutU16LE(std::vector<uint8_t>& out, unsigned value) {
  out.push_back(uint8_t(value));
  out.push_back(uint8_t(value >> 8));
}

void PutBytes(std::vector<uint8_t>& out, const void* data, size_t count) {
  const auto* p = static_cast<const uint8_t*>(data);
  out.insert(out.end(), p, p + count);
}

bool ValidRect(PixelRect rect, size_t strideBytes) {
  return rect.Width() > 0 && rect.Height() > 0 && strideBytes == size_t(rect.Width()) * 4;
}

bool ValidFrame(std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes) {
  return ValidRect(rect, strideBytes) && pixels.size() >= size_t(rect.Width()) * size_t(rect.Height());
}

// The four interlace passes: first row and row step.
constexpr int kPassStart[4] = {0, 4, 2, 1};
constexpr int kPassStep[4] = {8, 8, 4, 2};

}  // namespace

std::span<const uint8_t, kGifPaletteBytes> GifPalette() { return kPalette; }

// ---------------------------------------------------------------------------------------------
// Encoder

struct GifEncoderState {
  int width = 0;
  int height = 0;
  int delay = -1;
  PictureSaveOptions options;
  std::vector<uint8_t> indices;  // width * height palette indices, rows top first
  // Dithering: red, green, blue, alpha per pixel for the current and the next row, with one spare
  // pixel at each end so that the error spread past either edge lands where no one reads it.
  std::vector<float> ditherRows;
  // Dictionary of the LZW coder: key (pixel << 12) + prefix, or -1 for an empty slot.
  std::array<int32_t, kHashSize> hashKeys;
  std::array<uint16_t, kHashSize> hashCodes;

  // Bit packer and the sub-block being filled.
  uint32_t bitBuffer = 0;
  int bitCount = 0;
  int codeBits = kInitBits;
  int maxCode = (1 << kInitBits) - 1;
  int freeCode = kFirstFree;
  bool clearPending = false;
  std::array<uint8_t, kSubBlockBytes> block;
  size_t blockLength = 0;
};

namespace {

void ReducePlain(GifEncoderState& s, std::span<const uint32_t> pixels) {
  const bool alpha = s.options.includeAlpha;
  const size_t count = size_t(s.width) * size_t(s.height);
  uint8_t* out = s.indices.data();
  const uint32_t* in = pixels.data();
  for (size_t i = 0; i < count; ++i) {
    const uint32_t p = in[i];
    uint8_t index = uint8_t(kReduce.red[(p >> 16) & 0xFF] + kReduce.green[(p >> 8) & 0xFF] + kReduce.blue[p & 0xFF]);
    if (alpha && (p >> 24) == 0) index = kGifTransparentIndex;
    out[i] = index;
  }
}

// The nearest level of a dithered value: a remainder of half a step or more rounds up, so the
// level is the number of thresholds 51k + 25.5 (red, blue), 42.5k + 21.25 (green) or 127.5 (alpha)
// that the value reaches. The thresholds are exact in float, and comparing keeps a division out of
// the error chain that runs along each row.
constexpr float kRedBlueThresholds[] = {25.5f, 76.5f, 127.5f, 178.5f, 229.5f};
constexpr float kGreenThresholds[] = {21.25f, 63.75f, 106.25f, 148.75f, 191.25f, 233.75f};
constexpr float kAlphaThresholds[] = {127.5f};

template <size_t N, size_t... K>
inline int CountReached(float value, const float (&thresholds)[N], std::index_sequence<K...>) {
  return (int(value >= thresholds[K]) + ...);
}
template <size_t N>
inline int NearestLevel(float value, const float (&thresholds)[N]) {
  return CountReached(value, thresholds, std::make_index_sequence<N>());
}

// One channel's step along a row: the value (source plus the error spread into it), its level, and
// the error passed on. The 7/16 for the right neighbour stays in a register; the other shares go
// to the next row, which this row never reads, so the chain along the row is short.
template <size_t N>
inline int DitherChannel(float value, float step, const float (&thresholds)[N], float& carry, float* below) {
  const int level = NearestLevel(value, thresholds);
  const float error = value - step * float(level);
  carry = error * (7.0f / 16.0f);
  below[-4] += error * (3.0f / 16.0f);
  below[0] += error * (5.0f / 16.0f);
  below[4] += error * (1.0f / 16.0f);
  return level;
}

void ReduceDithered(GifEncoderState& s, std::span<const uint32_t> pixels) {
  const int width = s.width;
  const bool alpha = s.options.includeAlpha;
  const size_t rowFloats = (size_t(width) + 2) * 4;
  float* current = s.ditherRows.data();  // the error spread into this row from the one above
  float* next = current + rowFloats;
  std::fill(s.ditherRows.begin(), s.ditherRows.end(), 0.0f);
  for (int y = 0; y < s.height; ++y) {
    const uint32_t* in = pixels.data() + size_t(y) * size_t(width);
    uint8_t* out = s.indices.data() + size_t(y) * size_t(width);
    float carry[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int x = 0; x < width; ++x) {
      const float* above = current + (size_t(x) + 1) * 4;
      float* below = next + (size_t(x) + 1) * 4;
      const uint32_t p = in[x];
      const int red = DitherChannel(float((p >> 16) & 0xFF) + above[0] + carry[0], 51.0f, kRedBlueThresholds, carry[0], below);
      const int green = DitherChannel(float((p >> 8) & 0xFF) + above[1] + carry[1], 42.5f, kGreenThresholds, carry[1], below + 1);
      const int blue = DitherChannel(float(p & 0xFF) + above[2] + carry[2], 51.0f, kRedBlueThresholds, carry[2], below + 2);
      uint8_t index = uint8_t((red * 7 + green) * 6 + blue);
      if (alpha && DitherChannel(float(p >> 24) + above[3] + carry[3], 255.0f, kAlphaThresholds, carry[3], below + 3) == 0) {
        index = kGifTransparentIndex;
      }
      out[x] = index;
    }
    std::swap(current, next);
    std::fill(next, next + rowFloats, 0.0f);
  }
}

void ClearHash(GifEncoderState& s) { s.hashKeys.fill(-1); }

void FlushBlock(GifEncoderState& s, std::vector<uint8_t>& out) {
  if (s.blockLength == 0) return;
  out.push_back(uint8_t(s.blockLength));
  PutBytes(out, s.block.data(), s.blockLength);
  s.blockLength = 0;
}

inline void PutByte(GifEncoderState& s, uint8_t byte, std::vector<uint8_t>& out) {
  s.block[s.blockLength++] = byte;
  if (s.blockLength == kSubBlockBytes) FlushBlock(s, out);
}

// Emits a code at the current width, least significant bit first, then widens the codes when the
// next free code no longer fits (or returns to 9 bits after a clear).
void PutCode(GifEncoderState& s, int code, std::vector<uint8_t>& out) {
  s.bitBuffer |= uint32_t(code) << s.bitCount;
  s.bitCount += s.codeBits;
  while (s.bitCount >= 8) {
    PutByte(s, uint8_t(s.bitBuffer), out);
    s.bitBuffer >>= 8;
    s.bitCount -= 8;
  }
  if (s.clearPending) {
    s.codeBits = kInitBits;
    s.maxCode = (1 << kInitBits) - 1;
    s.clearPending = false;
  } else if (s.freeCode > s.maxCode && s.codeBits < kMaxBits) {
    ++s.codeBits;
    s.maxCode = (1 << s.codeBits) - 1;
  }
}

void FlushBits(GifEncoderState& s, std::vector<uint8_t>& out) {
  while (s.bitCount > 0) {
    PutByte(s, uint8_t(s.bitBuffer), out);
    s.bitBuffer >>= 8;
    s.bitCount -= 8;
  }
  s.bitBuffer = 0;
  s.bitCount = 0;
  FlushBlock(s, out);
}

// Compresses the index buffer in row order, or in the four interlace passes.
void Compress(GifEncoderState& s, std::vector<uint8_t>& out) {
  s.bitBuffer = 0;
  s.bitCount = 0;
  s.blockLength = 0;
  s.codeBits = kInitBits;
  s.maxCode = (1 << kInitBits) - 1;
  s.freeCode = kFirstFree;
  s.clearPending = false;
  ClearHash(s);
  PutCode(s, kClearCode, out);

  int32_t* keys = s.hashKeys.data();
  uint16_t* codes = s.hashCodes.data();
  int prefix = -1;
  auto encodeRow = [&](const uint8_t* row) {
    int x = 0;
    if (prefix < 0) prefix = row[x++];
    for (; x < s.width; ++x) {
      const int pixel = row[x];
      const int32_t key = (int32_t(pixel) << kMaxBits) + prefix;
      // Open addressing: probe at (pixel << 4) ^ prefix, then step back by 5003 minus the first
      // probe. Any slot other than -1 is taken, also one holding key 0 (index 0 after prefix 0).
      int i = (pixel << kHashShift) ^ prefix;
      if (keys[i] == key) {
        prefix = codes[i];
        continue;
      }
      if (keys[i] >= 0) {
        const int step = i == 0 ? 1 : kHashSize - i;
        bool found = false;
        do {
          i -= step;
          if (i < 0) i += kHashSize;
          if (keys[i] == key) {
            found = true;
            break;
          }
        } while (keys[i] >= 0);
        if (found) {
          prefix = codes[i];
          continue;
        }
      }
      PutCode(s, prefix, out);
      prefix = pixel;
      if (s.freeCode < kMaxCodes) {
        codes[i] = uint16_t(s.freeCode++);
        keys[i] = key;
      } else {
        // Table full: start over with an empty dictionary, announced by a clear code.
        ClearHash(s);
        s.freeCode = kFirstFree;
        s.clearPending = true;
        PutCode(s, kClearCode, out);
      }
    }
  };
  const uint8_t* indices = s.indices.data();
  const size_t width = size_t(s.width);
  if (s.options.interlaced) {
    for (int pass = 0; pass < 4; ++pass) {
      for (int y = kPassStart[pass]; y < s.height; y += kPassStep[pass]) encodeRow(indices + size_t(y) * width);
    }
  } else {
    for (int y = 0; y < s.height; ++y) encodeRow(indices + size_t(y) * width);
  }
  PutCode(s, prefix, out);
  PutCode(s, kEndCode, out);
  FlushBits(s, out);
}

}  // namespace

GifEncoder::GifEncoder() = default;
GifEncoder::~GifEncoder() = default;

Status GifEncoder::Begin(PixelRect rect, size_t strideBytes, int delay, const PictureSaveOptions& options,
                         std::vector<uint8_t>& out) {
  state_.reset();
  if (!ValidRect(rect, strideBytes)) return kMalformed;
  const int width = rect.Width();
  const int height = rect.Height();
  try {
    auto state = std::make_unique<GifEncoderState>();
    state->width = width;
    state->height = height;
    state->delay = delay;
    state->options = options;
    state->indices.resize(size_t(width) * size_t(height));
    if (options.dithered) state->ditherRows.resize((size_t(width) + 2) * 4 * 2);

    PutBytes(out, options.includeAlpha ? "GIF89a" : "GIF87a", 6);
    PutU16LE(out, unsigned(width));
    PutU16LE(out, unsigned(height));
    out.push_back(0xE7);  // global table of 256 entries, 8 bits of colour resolution
    out.push_back(0);     // background index
    out.push_back(0);     // no aspect ratio
    PutBytes(out, kPalette.data(), kPalette.size());
    if (delay >= 0) {
      // Application extension: loop 65535 times.
      const uint8_t loop[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0',
                              0x03, 0x01, 0xFF, 0xFF, 0x00};
      PutBytes(out, loop, sizeof loop);
    }
    state_ = std::move(state);
  } catch (const std::bad_alloc&) {
    state_.reset();
    return kWriteError;
  }
  return kNoError;
}

Status GifEncoder::AddFrame(std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes,
                            std::vector<uint8_t>& out) {
  if (!state_ || !ValidFrame(pixels, rect, strideBytes) || rect.Width() != state_->width ||
      rect.Height() != state_->height) {
    state_.reset();
    return kWriteError;
  }
  GifEncoderState& s = *state_;
  try {
    if (s.options.dithered) {
      ReduceDithered(s, pixels);
    } else {
      ReducePlain(s, pixels);
    }
    // Graphic control extension: restore to background, transparent entry 255.
    const unsigned delay = s.delay < 0 ? 0u : unsigned(std::min(s.delay, 0xFFFF));
    const uint8_t control[] = {0x21, 0xF9, 0x04, 0x09, uint8_t(delay), uint8_t(delay >> 8), kGifTransparentIndex, 0x00};
    PutBytes(out, control, sizeof control);
    out.push_back(0x2C);
    PutU16LE(out, 0);
    PutU16LE(out, 0);
    PutU16LE(out, unsigned(s.width));
    PutU16LE(out, unsigned(s.height));
    out.push_back(s.options.interlaced ? 0x40 : 0x00);
    out.push_back(8);  // minimum code size
    Compress(s, out);
    out.push_back(0x00);
  } catch (const std::bad_alloc&) {
    state_.reset();
    return kWriteError;
  }
  return kNoError;
}

Status GifEncoder::Finish(std::vector<uint8_t>& out) {
  if (!state_) return kWriteError;
  state_.reset();
  try {
    out.push_back(0x3B);
  } catch (const std::bad_alloc&) {
    return kWriteError;
  }
  return kNoError;
}

Status EncodeGif(std::span<const uint32_t> pixels, PixelRect rect, size_t strideBytes,
                 const PictureSaveOptions& options, std::vector<uint8_t>& out) {
  out.clear();
  GifEncoder encoder;
  Status status = ValidFrame(pixels, rect, strideBytes) ? kNoError : kMalformed;
  if (status == kNoError) status = encoder.Begin(rect, strideBytes, -1, options, out);
  if (status == kNoError) status = encoder.AddFrame(pixels, rect, strideBytes, out);
  if (status == kNoError) status = encoder.Finish(out);
  if (status != kNoError) out.clear();
  return status;
}

// ---------------------------------------------------------------------------------------------
// File writer

struct GifWriter::State {
  GifEncoder encoder;
  SafeSave save;
  std::string path;            // the target, to check that frames go to the same file
  std::vector<uint8_t> bytes;  // one frame's bytes, sized for the worst case by the header
};

GifWriter::GifWriter() = default;
GifWriter::~GifWriter() = default;  // an unfinished file is abandoned with its temporary

namespace {

// The most bytes one frame can take: every pixel its own 12-bit code, plus the clear codes, the
// count byte of each sub-block and the blocks around the image data.
size_t WorstFrameBytes(PixelRect rect) {
  const size_t pixels = size_t(rect.Width()) * size_t(rect.Height());
  const size_t codes = pixels + pixels / (kMaxCodes - kFirstFree) + 4;
  const size_t data = (codes * kMaxBits + 7) / 8;
  return data + data / kSubBlockBytes + 64;
}

bool WriteAll(SafeSave& save, const std::vector<uint8_t>& bytes) {
  return WriteBytes(save.file, bytes.data(), bytes.size()) == kNoError;
}

}  // namespace

Status GifWriter::WriteHeader(const FileSpec& spec, std::span<const uint32_t> /*pixels*/, PixelRect rect,
                              size_t strideBytes, int delay, const PictureSaveOptions& options) {
  state_.reset();
  if (!ValidRect(rect, strideBytes)) return kMalformed;
  try {
    auto state = std::make_unique<State>();
    state->path = PathOfSpec(spec);
    state->bytes.reserve(std::max<size_t>(WorstFrameBytes(rect), 1024));
    if (state->encoder.Begin(rect, strideBytes, delay, options, state->bytes) != kNoError) return kWriteError;
    if (!BeginSafeSave(spec, state->save)) return kWriteError;
    if (!WriteAll(state->save, state->bytes)) return kWriteError;  // the temporary goes with `state`
    state_ = std::move(state);
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  return kNoError;
}

Status GifWriter::WriteFrame(const FileSpec& spec, std::span<const uint32_t> pixels, PixelRect rect,
                             size_t strideBytes) {
  if (!state_) return kWriteError;
  State& s = *state_;
  s.bytes.clear();
  if (PathOfSpec(spec) != s.path || s.encoder.AddFrame(pixels, rect, strideBytes, s.bytes) != kNoError ||
      !WriteAll(s.save, s.bytes)) {
    state_.reset();
    return kWriteError;
  }
  return kNoError;
}

Status GifWriter::WriteTrailer(const FileSpec& spec) {
  if (!state_) return kWriteError;
  State& s = *state_;
  s.bytes.clear();
  const bool ok = PathOfSpec(spec) == s.path && s.encoder.Finish(s.bytes) == kNoError &&
                  WriteAll(s.save, s.bytes) && CommitSafeSave(s.save);
  state_.reset();
  return ok ? kNoError : kWriteError;
}

Status WriteGifPicture(const FileSpec& spec, std::span<const uint32_t> pixels, PixelRect rect,
                       size_t strideBytes, const PictureSaveOptions& options) {
  std::vector<uint8_t> bytes;
  const Status encoded = EncodeGif(pixels, rect, strideBytes, options, bytes);
  return FinishPictureWrite(spec, encoded, bytes);
}

// ---------------------------------------------------------------------------------------------
// Reader

namespace {

// Everything read before the image data.
struct GifImageInfo {
  int width = 0;
  int height = 0;
  bool interlaced = false;
  int transparent = -1;  // none
  std::array<uint32_t, 256> colours{};  // 0xAARRGGBB, alpha applied
};

// Reads a colour table of `entries` entries over the first entries of `palette`; the entries past
// it keep what they held. False when the data ends inside it.
bool ReadColourTable(ByteReader& r, int entries, std::array<uint8_t, kGifPaletteBytes>& palette) {
  r.Read(std::span(palette).first(size_t(entries) * 3));
  return !r.failed;
}

// Parses signature, screen descriptor, global table, the blocks before the first image and its
// descriptor. With `full`, also its local colour table, and builds the colours; the reader is then
// at the image's minimum code size.
Status ParseToImage(ByteReader& r, GifImageInfo& info, bool full) {
  // "GIF87a" or "GIF89a", then the screen descriptor: u16 width, height, packed, background,
  // aspect.
  const uint32_t magic = r.U32BE();
  const uint8_t version = r.U8();
  const uint8_t a = r.U8();
  r.Skip(4);
  const uint8_t screenPacked = r.U8();
  r.Skip(2);
  if (r.failed || magic != FourCC("GIF8") || (version != '7' && version != '9') || a != 'a') return kMalformed;
  // Entries no table names are black.
  std::array<uint8_t, kGifPaletteBytes> palette{};
  if (screenPacked & 0x80) {
    if (!ReadColourTable(r, 2 << (screenPacked & 7), palette)) return kMalformed;
  }
  info.transparent = -1;
  for (;;) {
    const uint8_t introducer = r.U8();
    if (r.failed) return kMalformed;
    if (introducer == 0x2C) break;
    if (introducer != 0x21) return kMalformed;  // the trailer or anything else before an image
    const uint8_t label = r.U8();
    bool firstBlock = true;
    for (;;) {
      const uint8_t count = r.U8();
      if (r.failed) return kMalformed;
      if (count == 0) break;
      ByteReader block(r.Bytes(count));
      if (r.failed) return kMalformed;
      // A graphic control extension (packed, u16 delay, transparent index) before the image may
      // name a transparent entry. One without the transparency bit leaves an index named by an
      // earlier one in force.
      if (label == 0xF9 && firstBlock && count >= 4) {
        const uint8_t packed = block.U8();
        block.Skip(2);
        const uint8_t index = block.U8();
        if (packed & 1) info.transparent = index;
      }
      firstBlock = false;
    }
  }
  // Image descriptor: u16 left, top, width, height, packed.
  r.Skip(4);
  info.width = r.U16LE();
  info.height = r.U16LE();
  const uint8_t imagePacked = r.U8();
  if (r.failed) return kMalformed;
  if (info.width == 0 || info.height == 0) return kMalformed;
  if (!full) return kNoError;
  info.interlaced = (imagePacked & 0x40) != 0;
  // A local table replaces only the entries it holds.
  if (imagePacked & 0x80) {
    if (!ReadColourTable(r, 2 << (imagePacked & 7), palette)) return kMalformed;
  }
  for (size_t i = 0; i < 256; ++i) {
    const uint32_t alpha = int(i) == info.transparent ? 0u : 0xFFu;
    info.colours[i] = (alpha << 24) | (uint32_t(palette[i * 3]) << 16) | (uint32_t(palette[i * 3 + 1]) << 8) |
                      uint32_t(palette[i * 3 + 2]);
  }
  return kNoError;
}

// Hands out the bytes of the image data's sub-blocks in turn; `Next` is false at the block
// terminator or where the data ends. A sub-block cut by the end of the data gives what it has.
struct SubBlockReader {
  ByteReader& in;
  std::span<const uint8_t> block{};  // the current sub-block, taken whole from `in`
  size_t at = 0;
  bool ended = false;

  bool Next(uint8_t& byte) {
    if (at == block.size()) {
      if (ended) return false;
      const uint8_t count = in.U8();
      if (in.failed || count == 0 || in.Remaining() == 0) {
        ended = true;
        return false;
      }
      block = in.Bytes(std::min<size_t>(count, in.Remaining()));
      at = 0;
    }
    byte = block[at++];
    return true;
  }
};

// Where decoded pixels go: left to right, rows in order or in the four interlace passes.
struct PixelCursor {
  uint32_t* pixels;
  size_t stride;
  int width;
  int height;
  bool interlaced;
  int x = 0;
  int y = 0;
  int pass = 0;
  bool done = false;

  void NextRow() {
    x = 0;
    if (!interlaced) {
      if (++y >= height) done = true;
      return;
    }
    y += kPassStep[pass];
    while (y >= height) {
      if (++pass == 4) {
        done = true;
        return;
      }
      y = kPassStart[pass];
    }
  }
};

}  // namespace

Status DecodeGifSize(std::span<const uint8_t> bytes, int& width, int& height) {
  ByteReader r(bytes);
  GifImageInfo info;
  const Status status = ParseToImage(r, info, false);
  if (status != kNoError) return status;
  width = info.width;
  height = info.height;
  return kNoError;
}

Status DecodeGif(std::span<const uint8_t> bytes, const PixelBuffer& destination) {
  ByteReader r(bytes);
  GifImageInfo info;
  if (ParseToImage(r, info, true) != kNoError) return kMalformed;
  if (!PictureFitsBuffer(destination, info.width, info.height)) return kMalformed;
  // Sizes above 11 would start above 12 bits; below 2 are not GIF.
  const int minSize = r.U8();
  if (r.failed || minSize < 2 || minSize > 11) return kMalformed;

  const int clearCode = 1 << minSize;
  const int endCode = clearCode + 1;
  std::array<uint16_t, kMaxCodes> prefix{};
  std::array<uint8_t, kMaxCodes> suffix{};
  std::array<uint8_t, kMaxCodes> first{};  // the first index of each code's string
  std::array<uint8_t, kMaxCodes + 1> stack;
  for (int c = 0; c < clearCode; ++c) {
    suffix[size_t(c)] = uint8_t(c);
    first[size_t(c)] = uint8_t(c);
  }

  SubBlockReader in{r};
  PixelCursor out{destination.pixels.data(), destination.stride, info.width, info.height, info.interlaced};
  const uint32_t* colours = info.colours.data();
  auto put = [&](uint8_t index) {
    out.pixels[size_t(out.y) * out.stride + size_t(out.x)] = colours[index];
    if (++out.x == out.width) out.NextRow();
  };

  int codeBits = minSize + 1;
  int nextCode = clearCode + 2;
  int previous = -1;
  uint32_t bitBuffer = 0;
  int bitCount = 0;
  while (!out.done) {
    while (bitCount < codeBits) {
      uint8_t byte;
      if (!in.Next(byte)) return kNoError;  // the data ends early: keep what was decoded
      bitBuffer |= uint32_t(byte) << bitCount;
      bitCount += 8;
    }
    const int code = int(bitBuffer & ((1u << codeBits) - 1));
    bitBuffer >>= codeBits;
    bitCount -= codeBits;

    if (code == clearCode) {
      codeBits = minSize + 1;
      nextCode = clearCode + 2;
      previous = -1;
      continue;
    }
    if (code == endCode) break;
    if (previous < 0) {
      if (code > clearCode) return kMalformed;  // nothing but single indices is known yet
      put(uint8_t(code));
      previous = code;
      continue;
    }
    size_t depth = 0;
    int walk = code;
    if (code >= nextCode) {
      // Only the code about to be defined may appear: the previous string plus its own first index.
      if (code != nextCode || nextCode >= kMaxCodes) return kMalformed;
      stack[depth++] = first[size_t(previous)];
      walk = previous;
    }
    while (walk > endCode && depth < kMaxCodes) {
      stack[depth++] = suffix[size_t(walk)];
      walk = prefix[size_t(walk)];
    }
    stack[depth++] = uint8_t(walk);
    const uint8_t firstIndex = uint8_t(walk);
    while (depth > 0 && !out.done) put(stack[--depth]);
    if (nextCode < kMaxCodes) {
      prefix[size_t(nextCode)] = uint16_t(previous);
      suffix[size_t(nextCode)] = firstIndex;
      first[size_t(nextCode)] = first[size_t(previous)];
      ++nextCode;
      if (nextCode == (1 << codeBits) && codeBits < kMaxBits) ++codeBits;
    }
    previous = code;
  }
  return kNoError;
}

Status ReadGifSize(const FileSpec& spec, int& width, int& height) {
  std::vector<uint8_t> bytes;
  if (const Status status = ReadPictureFileBytes(spec, bytes); status != kNoError) return status;
  return DecodeGifSize(bytes, width, height);
}

Status ReadGifPicture(const FileSpec& spec, const PixelBuffer& destination) {
  std::vector<uint8_t> bytes;
  if (const Status status = ReadPictureFileBytes(spec, bytes); status != kNoError) return status;
  return DecodeGif(bytes, destination);
}

}  // namespace tsv
