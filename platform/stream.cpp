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
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"

namespace tsv {
namespace {

struct StreamState {
  FileRef file;
  std::vector<uint8_t> buffer;
  bool writing = false;
  bool finished = false;
  size_t position = 0;  // next byte to read, or the count of bytes pending a write
  size_t filled = 0;    // bytes of the buffer holding file data (reading)
  int64_t fileSize = 0;
};
StreamState stream;

Status Fail() {
  ShowStopMessage(GetString(kErrFileError));
  return kWriteError;
}

bool PrepareBuffer() {
  if (stream.buffer.size() == kStreamBufferSize) return true;
  try {
    stream.buffer.assign(kStreamBufferSize, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

Status Open(FileSpec& spec, FileMode mode, bool writing) {
  // The buffer is kept from stream to stream; only the file and the positions start afresh.
  CloseFileQuietly(stream.file);
  std::vector<uint8_t> buffer = std::move(stream.buffer);
  stream = StreamState{};
  stream.buffer = std::move(buffer);
  if (!PrepareBuffer()) {
    ShowStopMessage(GetString(kErrNotEnoughMemory));
    return kWriteError;
  }
  Status status = OpenFile(spec, mode, stream.file);
  if (status != kNoError) {
    ShowStopMessage(GetString(kErrFileError));
    return status;
  }
  stream.writing = writing;
  if (GetFileSize(stream.file, stream.fileSize) != kNoError) return kWriteError;
  return kNoError;
}

// Reads the next part of the file into the buffer; false at the end of the file or on error.
bool Refill() {
  if (!stream.file.openFlag) return false;
  stream.position = 0;
  stream.filled = 0;
  for (;;) {
    ssize_t n = ::read(stream.file.descriptor, stream.buffer.data(), stream.buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    stream.filled = size_t(n);
    return true;
  }
}

bool ReadableStream() { return stream.file.openFlag && !stream.writing; }

Status WritePending() {
  if (stream.position == 0) return kNoError;
  size_t count = stream.position;
  stream.position = 0;
  return WriteBytes(stream.file, stream.buffer.data(), count);
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
  if (status == kNoError && SetFilePosition(stream.file, 0, SeekFrom::End) != kNoError) {
    CloseFileQuietly(stream.file);
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
  if (!stream.file.openFlag || !stream.writing) return Fail();
  const auto* in = static_cast<const uint8_t*>(buffer);
  while (count > 0) {
    if (stream.position == stream.buffer.size()) {
      Status status = WritePending();
      if (status != kNoError) return status;
    }
    size_t n = std::min(count, stream.buffer.size() - stream.position);
    std::memcpy(stream.buffer.data() + stream.position, in, n);
    stream.position += n;
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
  if (!stream.file.openFlag || !stream.writing) return kNoError;
  return WritePending();
}

Status StreamClose() {
  Status status = kNoError;
  if (stream.file.openFlag && stream.writing) {
    status = WritePending();
    // A written file is complete only when its close succeeded.
    if (status == kNoError && stream.file.openFlag && CloseFile(stream.file) != kNoError) status = Fail();
  }
  CloseFileQuietly(stream.file);
  stream.writing = false;
  stream.finished = false;
  stream.position = stream.filled = 0;
  return status;
}

Status StreamFinish() {
  if (!stream.file.openFlag) return Fail();
  Status status = stream.writing ? WritePending() : kNoError;
  if (status == kNoError) status = SetEndOfFile(stream.file);
  if (status != kNoError) {
    CloseFileQuietly(stream.file);
    return status;
  }
  return StreamClose();
}

Status StreamReadLine(CountedString& line) {
  line.length = 0;
  if (!ReadableStream() || stream.finished) return Fail();
  auto atEnd = [] { return stream.position == stream.filled && !Refill(); };
  // Skip the breaks in front of the line.
  for (;;) {
    if (atEnd()) {
      stream.finished = true;
      return kNoError;
    }
    uint8_t c = stream.buffer[stream.position];
    if (c != 10 && c != 13 && c != 0) break;
    ++stream.position;
  }
  for (;;) {
    if (atEnd()) {
      stream.finished = true;
      return kNoError;
    }
    uint8_t c = stream.buffer[stream.position++];
    if (c == 10 || c == 13 || c == 0) return kNoError;
    if (line.length == kCountedStringMax) return Fail();
    line.text[line.length++] = char(c);
  }
}

Status StreamReadBytes(void* buffer, size_t count) {
  if (!ReadableStream()) return Fail();
  auto* out = static_cast<uint8_t*>(buffer);
  while (count > 0) {
    if (stream.position == stream.filled && !Refill()) {
      stream.finished = true;
      return Fail();
    }
    size_t n = std::min(count, stream.filled - stream.position);
    std::memcpy(out, stream.buffer.data() + stream.position, n);
    stream.position += n;
    out += n;
    count -= n;
  }
  return kNoError;
}

Status StreamSkip(size_t count) {
  if (!ReadableStream()) return Fail();
  while (count > 0) {
    if (stream.position == stream.filled && !Refill()) {
      stream.finished = true;
      return Fail();
    }
    size_t n = std::min(count, stream.filled - stream.position);
    stream.position += n;
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

bool StreamFinished() { return stream.finished; }
int64_t StreamFileSize() { return stream.fileSize; }

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
  CloseFileQuietly(stream.file);
  stream = StreamState{};
}

}  // namespace tsv
