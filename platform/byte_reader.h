// byte_reader.h: the bounds-checked reader over bytes held in memory (a whole picture file) that
// every reader of such bytes goes through. Its failure is sticky, like FileReader's over an open
// file: a read past the end returns zeros (or an empty view), sets `failed`, and every later read
// fails the same way, so a format checks `failed` once per block instead of after every field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tsv {

struct ByteReader {
  explicit ByteReader(std::span<const uint8_t> data) : bytes(data) {}

  std::span<const uint8_t> bytes;
  size_t position = 0;  // never past the end, also after a failure
  bool failed = false;

  size_t Size() const { return bytes.size(); }
  size_t Remaining() const { return bytes.size() - position; }
  // True while nothing failed and at least `count` bytes remain.
  [[nodiscard]] bool Has(uint64_t count) const { return !failed && count <= Remaining(); }

  uint8_t U8() {
    if (!Has(1)) {
      Fail();
      return 0;
    }
    return bytes[position++];
  }
  uint16_t U16LE();
  uint16_t U16BE();
  uint32_t U32LE();
  uint32_t U32BE();

  // A view of the next `count` bytes, which it passes. When fewer remain the view is empty and the
  // reader has failed: test `failed` (or the view's size) before using it.
  std::span<const uint8_t> Bytes(uint64_t count);
  // Copies the next out.size() bytes; zeros when fewer remain.
  void Read(std::span<uint8_t> out);
  // Passes `count` bytes; fails without moving when fewer remain.
  void Skip(uint64_t count);
  // Moves to `offset` from the start; an offset past the end fails (the end itself is allowed).
  void Seek(uint64_t offset);

 private:
  void Fail() { failed = true; }
};

}  // namespace tsv
