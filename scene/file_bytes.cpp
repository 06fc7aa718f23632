// file_bytes.cpp: the buffered native-file reader and writer.
#include "scene/file_bytes.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/byte_order.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/native_files.h"

namespace tsv {
namespace {

constexpr size_t kBufferSize = 1 << 16;

}  // namespace

FileReader::FileReader(FileRef& f) : file(f) {
  int64_t start = 0;
  if (GetFileSize(file, size) != kNoError || GetFilePosition(file, start) != kNoError) {
    Fail(kReadError);
    return;
  }
  position = start;
}

bool FileReader::Fail(Status s) {
  if (!failed) status = s;
  failed = true;
  return false;
}

bool FileReader::Refill() {
  // The file position of the descriptor is always `position` once the buffer is empty.
  const size_t want = size_t(std::min<int64_t>(int64_t(kBufferSize), Remaining()));
  if (want == 0) return false;
  // Sized on first use, and only as far as the file goes.
  if (buffer_.size() < want) buffer_.resize(want);
  if (ReadBytes(file, buffer_.data(), want) != kNoError) return Fail(kReadError);
  bufferPos_ = 0;
  bufferEnd_ = want;
  return true;
}

bool FileReader::Read(void* out, size_t count) {
  auto* bytes = static_cast<uint8_t*>(out);
  if (failed || int64_t(count) > Remaining()) {
    if (count > 0) std::memset(bytes, 0, count);
    return count == 0 ? !failed : Fail(kReadError);
  }
  size_t done = 0;
  while (done < count) {
    if (bufferPos_ == bufferEnd_) {
      // Large runs go straight into the caller's memory.
      if (count - done >= kBufferSize) {
        if (ReadBytes(file, bytes + done, count - done) != kNoError) {
          std::memset(bytes, 0, count);
          return Fail(kReadError);
        }
        position += int64_t(count - done);
        return true;
      }
      if (!Refill()) {
        std::memset(bytes, 0, count);
        return Fail(kReadError);
      }
    }
    const size_t n = std::min(count - done, bufferEnd_ - bufferPos_);
    std::memcpy(bytes + done, buffer_.data() + bufferPos_, n);
    bufferPos_ += n;
    done += n;
    position += int64_t(n);
  }
  return true;
}

bool FileReader::Skip(int64_t count) {
  if (failed) return false;
  if (count < 0 || count > Remaining()) return Fail(kReadError);
  return Seek(position + count);
}

bool FileReader::Seek(int64_t offset) {
  if (failed) return false;
  if (offset < 0 || offset > size) return Fail(kReadError);
  // Within the buffered bytes only the cursor moves.
  const int64_t bufferStart = position - int64_t(bufferPos_);
  if (offset >= bufferStart && offset <= bufferStart + int64_t(bufferEnd_)) {
    bufferPos_ = size_t(offset - bufferStart);
    position = offset;
    return true;
  }
  if (SetFilePosition(file, offset, SeekFrom::Start) != kNoError) return Fail(kReadError);
  bufferPos_ = bufferEnd_ = 0;
  position = offset;
  return true;
}

uint8_t FileReader::U8() {
  uint8_t b = 0;
  Read(&b, 1);
  return b;
}

uint16_t FileReader::U16() {
  uint8_t b[2];
  Read(b, 2);
  return LoadU16BE(b);
}

uint32_t FileReader::U32() {
  uint8_t b[4];
  Read(b, 4);
  return LoadU32BE(b);
}

float FileReader::F32() { return std::bit_cast<float>(U32()); }

FileWriter::FileWriter(FileRef& f) : file(f) { buffer_.reserve(kBufferSize); }

void FileWriter::Bytes(const void* data, size_t count) {
  if (failed) return;
  const auto* bytes = static_cast<const uint8_t*>(data);
  while (count > 0) {
    const size_t n = std::min(count, kBufferSize - buffer_.size());
    buffer_.insert(buffer_.end(), bytes, bytes + n);
    bytes += n;
    count -= n;
    if (buffer_.size() == kBufferSize && !Flush()) return;
  }
}

void FileWriter::Zeros(size_t count) {
  static constexpr uint8_t kZeros[256] = {};
  while (count > 0 && !failed) {
    const size_t n = std::min(count, sizeof kZeros);
    Bytes(kZeros, n);
    count -= n;
  }
}

void FileWriter::U16(uint16_t value) {
  uint8_t b[2];
  StoreU16BE(b, value);
  Bytes(b, 2);
}

void FileWriter::U32(uint32_t value) {
  uint8_t b[4];
  StoreU32BE(b, value);
  Bytes(b, 4);
}

void FileWriter::F32(float value) { U32(std::bit_cast<uint32_t>(value)); }

void FileWriter::U16LE(uint16_t value) {
  uint8_t b[2];
  StoreU16LE(b, value);
  Bytes(b, 2);
}

void FileWriter::U32LE(uint32_t value) {
  uint8_t b[4];
  StoreU32LE(b, value);
  Bytes(b, 4);
}

bool FileWriter::Flush() {
  if (failed) return false;
  if (buffer_.empty()) return true;
  size_t count = buffer_.size();
  // The test hook stands for a disk that fills up part-way: what fits is written, then the
  // write fails the way the file layer reports a failed write.
  int64_t& budget = nativeFiles.failWriteAfterBytes;
  const bool injectFailure = budget >= 0 && int64_t(count) > budget;
  if (injectFailure) count = size_t(budget);
  if (count > 0 && WriteBytes(file, buffer_.data(), count) != kNoError) {
    failed = true;
    status = kWriteError;
    return false;
  }
  if (budget >= 0) budget -= int64_t(count);
  written += int64_t(count);
  buffer_.clear();
  if (injectFailure) {
    ShowStopMessage(GetString(kErrFileError));
    CloseFileQuietly(file);
    failed = true;
    status = kWriteError;
    return false;
  }
  return true;
}

}  // namespace tsv
