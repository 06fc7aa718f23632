// file_bytes.h: buffered byte readers and writers over an open file for the native file formats.
// Both fail stickily: after the first failure a reader returns zeros and a writer writes nothing,
// and the format checks `failed` once per chunk. Numbers are big-endian unless named otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/files.h"
#include "platform/status.h"

namespace tsv {

struct FileReader {
  // Starts at the file's current position and notes its size. A file whose size cannot be had
  // reads as failed.
  explicit FileReader(FileRef& file);

  FileRef& file;
  int64_t size = 0;      // bytes in the file
  int64_t position = 0;  // offset of the next byte to read
  bool failed = false;
  Status status = kNoError;  // the first failure: -39 for reading past the end or a failed read

  int64_t Remaining() const { return size > position ? size - position : 0; }

  // Reads exactly `count` bytes, or fails without reading any when fewer remain (zero-filled).
  // The failure is sticky, so these results may be left to the check of `failed` at the end of
  // a chunk.
  bool Read(void* out, size_t count);
  bool Skip(int64_t count);  // fails when it would pass the end of the file
  bool Seek(int64_t offset);
  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  float F32();

 private:
  bool Fail(Status status);
  [[nodiscard]] bool Refill();
  std::vector<uint8_t> buffer_;
  size_t bufferPos_ = 0;
  size_t bufferEnd_ = 0;
};

struct FileWriter {
  explicit FileWriter(FileRef& file);

  FileRef& file;
  bool failed = false;
  Status status = kNoError;
  int64_t written = 0;  // bytes accepted so far

  void Bytes(const void* data, size_t count);
  void Zeros(size_t count);
  void U8(uint8_t value) { Bytes(&value, 1); }
  void U16(uint16_t value);
  void U32(uint32_t value);
  void F32(float value);
  void U16LE(uint16_t value);
  void U32LE(uint32_t value);
  // Writes out what is buffered; false once anything failed. A failed write has shown "Error:
  // File error has occured." and closed the file.
  [[nodiscard]] bool Flush();

 private:
  std::vector<uint8_t> buffer_;
};

}  // namespace tsv
