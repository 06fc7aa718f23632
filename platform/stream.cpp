// stream.cpp: the one buffered stream of the exchange formats.
#include "platform/stream.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/byte_order.h"
#include "platform/files.h"
#include "platform/platform_state.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"

namespace tsv {
namespace {

Status Fail() {
  ShowStopMessage(GetString(kErrFileError));
  return kWriteError;
}

bool PrepareBuffer() {
  if (platform.stream.buffer.size() == kStreamBufferSize) return true;
  try {
    platform.stream.buffer.assign(kStreamBufferSize, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

Status Open(FileSpec& spec, FileMode mode, bool writing) {
  // The buffer is kept from stream to stream; only the file and the positions start afresh.
  CloseFileQuietly(platform.stream.file);
  std::vector<uint8_t> buffer = std::move(platform.stream.buffer);
  platform.stream = StreamState{};
  platform.stream.buffer = std::move(buffer);
  if (!PrepareBuffer()) {
    ShowStopMessage(GetString(kErrNotEnoughMemory));
    return kWriteError;
  }
  Status status = OpenFile(spec, mode, platform.stream.file);
  if (status != kNoError) {
    ShowStopMessage(GetString(kErrFileError));
    return status;
  }
  platform.stream.writing = writing;
  if (GetFileSize(platform.stream.file, platform.stream.fileSize) != kNoError) return kWriteError;
  return kNoError;
}

// Reads the next part of the file into the buffer; false at the end of the file or on error.
bool Refill() {
  if (!platform.stream.file.openFlag) return false;
  platform.stream.position = 0;
  platform.stream.filled = 0;
  for (;;) {
    ssize_t n = ::read(platform.stream.file.descriptor, platform.stream.buffer.data(), platform.stream.buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    platform.stream.filled = size_t(n);
    return true;
  }
}

bool ReadableStream() { return platform.stream.file.openFlag && !platform.stream.writing; }

Status WritePending() {
  if (platform.stream.position == 0) return kNoError;
  size_t count = platform.stream.position;
  platform.stream.position = 0;
  return WriteBytes(platform.stream.file, platform.stream.buffer.data(), count);
}

}  // namespace

Status OpenStreamForReading(FileSpec& spec) {
  Status status = Open(spec, FileMode::Read, false);
  // An empty file is no failure: the first read finds the end.
  if (status == kNoError) (void)Refill();
  return status;
}

Status OpenStreamForWriting(FileSpec& spec) { return Open(spec, FileMode::Write, true); }

Status OpenStreamForAppending(FileSpec& spec) {
  Status status = Open(spec, FileMode::Write, true);
  if (status == kNoError && SetFilePosition(platform.stream.file, 0, SeekFrom::End) != kNoError) {
    CloseFileQuietly(platform.stream.file);
    return Fail();
  }
  return status;
}

Status AskAndOpenStream(uint32_t fileType, FileSpec& spec) {
  spec.typeCount = 1;
  spec.fileTypes[0] = fileType;
  Status status = AskSaveFile(spec);
  if (status != kNoError) return status;
  return OpenStreamForWriting(spec);
}

Status StreamWriteBytes(const void* buffer, size_t count) {
  if (!platform.stream.file.openFlag || !platform.stream.writing) return Fail();
  const auto* in = static_cast<const uint8_t*>(buffer);
  while (count > 0) {
    if (platform.stream.position == platform.stream.buffer.size()) {
      Status status = WritePending();
      if (status != kNoError) return status;
    }
    size_t n = std::min(count, platform.stream.buffer.size() - platform.stream.position);
    std::memcpy(platform.stream.buffer.data() + platform.stream.position, in, n);
    platform.stream.position += n;
    in += n;
    count -= n;
  }
  return kNoError;
}

Status StreamWriteText(const CountedString& text) { return StreamWriteBytes(text.text, text.length); }
Status StreamWriteText(std::string_view text) { return StreamWriteBytes(text.data(), text.size()); }

Status StreamWriteU16(uint16_t value) {
  uint8_t bytes[2];
  StoreU16BE(bytes, value);
  return StreamWriteBytes(bytes, 2);
}

Status StreamWriteU32(uint32_t value) {
  uint8_t bytes[4];
  StoreU32BE(bytes, value);
  return StreamWriteBytes(bytes, 4);
}

namespace {

// Writes the text of an integer into `out` (at least 12 bytes); returns its length.
size_t IntegerText(int32_t value, char* out) {
  return size_t(std::to_chars(out, out + 12, value).ptr - out);
}

// Writes the text of a float into `out` (at least 64 bytes); returns its length.
size_t FloatText(float value, char* out) {
  double v = std::isnan(value) ? 0.0 : std::clamp(double(value), -double(FLT_MAX), double(FLT_MAX));
  char* p = out;
  if (v < 0) *p++ = '-';
  v = std::fabs(v);
  double whole = std::trunc(v);
  // The fraction is truncated, never rounded: 0.99999999 stays below 1 and the integer part holds.
  int64_t fraction = std::clamp<int64_t>(int64_t((v - whole) * 10000000.0), 0, 9999999);
  if (whole < 9.0e18) {
    p = std::to_chars(p, out + 40, int64_t(whole)).ptr;
  } else {
    // Floats this large are whole numbers; %.0f prints them exactly.
    p += std::snprintf(p, 48, "%.0f", whole);
  }
  *p++ = '.';
  for (int i = 6; i >= 0; --i) {
    p[i] = char('0' + fraction % 10);
    fraction /= 10;
  }
  return size_t(p + 7 - out);
}

}  // namespace

std::string FormatStreamInteger(int32_t value) {
  char text[12];
  return std::string(text, IntegerText(value, text));
}

std::string FormatStreamFloat(float value) {
  char text[64];
  return std::string(text, FloatText(value, text));
}

Status StreamWriteInteger(int32_t value) {
  char text[12];
  return StreamWriteBytes(text, IntegerText(value, text));
}

Status StreamWriteFloat(float value) {
  char text[64];
  return StreamWriteBytes(text, FloatText(value, text));
}

Status StreamFlush() {
  if (!platform.stream.file.openFlag || !platform.stream.writing) return kNoError;
  return WritePending();
}

Status StreamClose() {
  Status status = kNoError;
  if (platform.stream.file.openFlag && platform.stream.writing) {
    status = WritePending();
    // A written file is complete only when its close succeeded.
    if (status == kNoError && platform.stream.file.openFlag && CloseFile(platform.stream.file) != kNoError) status = Fail();
  }
  CloseFileQuietly(platform.stream.file);
  platform.stream.writing = false;
  platform.stream.finished = false;
  platform.stream.position = platform.stream.filled = 0;
  return status;
}

Status StreamFinish() {
  if (!platform.stream.file.openFlag) return Fail();
  Status status = platform.stream.writing ? WritePending() : kNoError;
  if (status == kNoError) status = SetEndOfFile(platform.stream.file);
  if (status != kNoError) {
    CloseFileQuietly(platform.stream.file);
    return status;
  }
  return StreamClose();
}

Status StreamReadLine(CountedString& line) {
  line.length = 0;
  if (!ReadableStream() || platform.stream.finished) return Fail();
  auto atEnd = [] { return platform.stream.position == platform.stream.filled && !Refill(); };
  // Skip the breaks in front of the line.
  for (;;) {
    if (atEnd()) {
      platform.stream.finished = true;
      return kNoError;
    }
    uint8_t c = platform.stream.buffer[platform.stream.position];
    if (c != 10 && c != 13 && c != 0) break;
    ++platform.stream.position;
  }
  for (;;) {
    if (atEnd()) {
      platform.stream.finished = true;
      return kNoError;
    }
    uint8_t c = platform.stream.buffer[platform.stream.position++];
    if (c == 10 || c == 13 || c == 0) return kNoError;
    if (line.length == kCountedStringMax) return Fail();
    line.text[line.length++] = char(c);
  }
}

Status StreamReadBytes(void* buffer, size_t count) {
  if (!ReadableStream()) return Fail();
  auto* out = static_cast<uint8_t*>(buffer);
  while (count > 0) {
    if (platform.stream.position == platform.stream.filled && !Refill()) {
      platform.stream.finished = true;
      return Fail();
    }
    size_t n = std::min(count, platform.stream.filled - platform.stream.position);
    std::memcpy(out, platform.stream.buffer.data() + platform.stream.position, n);
    platform.stream.position += n;
    out += n;
    count -= n;
  }
  return kNoError;
}

Status StreamSkip(size_t count) {
  if (!ReadableStream()) return Fail();
  while (count > 0) {
    if (platform.stream.position == platform.stream.filled && !Refill()) {
      platform.stream.finished = true;
      return Fail();
    }
    size_t n = std::min(count, platform.stream.filled - platform.stream.position);
    platform.stream.position += n;
    count -= n;
  }
  return kNoError;
}

Status StreamReadU16(uint16_t& value) {
  uint8_t bytes[2] = {};
  Status status = StreamReadBytes(bytes, 2);
  value = LoadU16BE(bytes);
  return status;
}

Status StreamReadU32(uint32_t& value) {
  uint8_t bytes[4] = {};
  Status status = StreamReadBytes(bytes, 4);
  value = LoadU32BE(bytes);
  return status;
}

bool StreamFinished() { return platform.stream.finished; }
int64_t StreamFileSize() { return platform.stream.fileSize; }

int32_t ParseInteger(std::string_view text) {
  int64_t magnitude = 0;
  bool negative = false;
  for (char c : text) {
    if (c == '-') {
      negative = !negative;
    } else if (c >= '0' && c <= '9') {
      // Saturate instead of wrapping: a runaway digit string is a huge number, not a random one.
      magnitude = std::min<int64_t>(magnitude * 10 + (c - '0'), int64_t(INT32_MAX) + 1);
    }
  }
  int64_t value = negative ? -magnitude : magnitude;
  return int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

float ParseFloat(std::string_view text) {
  double value = 0;
  double scale = 0.1;
  bool negative = false;
  bool fraction = false;
  int32_t exponent = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == 'e' || c == 'E') {
      exponent = ParseInteger(text.substr(i + 1));
      break;
    }
    if (c == '-') {
      negative = !negative;
    } else if (c == '.') {
      fraction = true;
    } else if (c >= '0' && c <= '9') {
      if (fraction) {
        value += (c - '0') * scale;
        scale *= 0.1;
      } else {
        value = value * 10 + (c - '0');
      }
    }
  }
  // Beyond +-400 every float has long since become 0 or infinite; the bound keeps the loop short.
  exponent = std::clamp(exponent, -400, 400);
  for (; exponent > 0; --exponent) value *= 10;
  for (; exponent < 0; ++exponent) value *= 0.1;
  if (negative) value = -value;
  return float(std::clamp(value, -double(FLT_MAX), double(FLT_MAX)));
}

void ResetStream() {
  CloseFileQuietly(platform.stream.file);
  platform.stream = StreamState{};
}

}  // namespace tsv
