// byte_reader.cpp: the sticky reader over bytes in memory.
#include "platform/byte_reader.h"

#include <algorithm>

#include "platform/byte_order.h"

namespace tsv {

uint16_t ByteReader::U16LE() {
  const std::span<const uint8_t> b = Bytes(2);
  return b.empty() ? uint16_t(0) : LoadU16LE(b.data());
}

uint16_t ByteReader::U16BE() {
  const std::span<const uint8_t> b = Bytes(2);
  return b.empty() ? uint16_t(0) : LoadU16BE(b.data());
}

uint32_t ByteReader::U32LE() {
  const std::span<const uint8_t> b = Bytes(4);
  return b.empty() ? 0u : LoadU32LE(b.data());
}

uint32_t ByteReader::U32BE() {
  const std::span<const uint8_t> b = Bytes(4);
  return b.empty() ? 0u : LoadU32BE(b.data());
}

std::span<const uint8_t> ByteReader::Bytes(uint64_t count) {
  if (!Has(count)) {
    Fail();
    return {};
  }
  const std::span<const uint8_t> view = bytes.subspan(position, size_t(count));
  position += size_t(count);
  return view;
}

void ByteReader::Read(std::span<uint8_t> out) {
  const std::span<const uint8_t> from = Bytes(out.size());
  if (failed) {
    std::fill(out.begin(), out.end(), uint8_t(0));
    return;
  }
  std::copy(from.begin(), from.end(), out.begin());
}

void ByteReader::Skip(uint64_t count) {
  if (!Has(count)) {
    Fail();
    return;
  }
  position += size_t(count);
}

void ByteReader::Seek(uint64_t offset) {
  if (failed || offset > bytes.size()) {
    Fail();
    return;
  }
  position = size_t(offset);
}

}  // namespace tsv
