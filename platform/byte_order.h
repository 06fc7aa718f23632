// byte_order.h: explicit big- and little-endian loads and stores on byte buffers, and the in-place
// swaps of 16- and 32-bit values. Files never see a struct's memory image; they go through these.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace tsv {

inline uint16_t LoadU16BE(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
inline uint32_t LoadU32BE(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
inline uint16_t LoadU16LE(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32LE(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline float LoadF32BE(const uint8_t* p) { return std::bit_cast<float>(LoadU32BE(p)); }
inline float LoadF32LE(const uint8_t* p) { return std::bit_cast<float>(LoadU32LE(p)); }

inline void StoreU16BE(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v >> 8);
  p[1] = uint8_t(v);
}
inline void StoreU32BE(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}
inline void StoreU16LE(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void StoreU32LE(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}
inline void StoreF32BE(uint8_t* p, float v) { StoreU32BE(p, std::bit_cast<uint32_t>(v)); }
inline void StoreF32LE(uint8_t* p, float v) { StoreU32LE(p, std::bit_cast<uint32_t>(v)); }

inline uint16_t SwapBytes16(uint16_t v) { return uint16_t((v >> 8) | (v << 8)); }
inline uint32_t SwapBytes32(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}
inline void SwapBytes16(uint16_t* values, size_t count) {
  for (size_t i = 0; i < count; ++i) values[i] = SwapBytes16(values[i]);
}
inline void SwapBytes32(uint32_t* values, size_t count) {
  for (size_t i = 0; i < count; ++i) values[i] = SwapBytes32(values[i]);
}

// Converts n 32-bit words stored big-endian in `bytes` to machine order in place.
inline void BigEndianWordsToMachine(uint8_t* bytes, size_t wordCount) {
  if constexpr (std::endian::native == std::endian::little) {
    for (size_t i = 0; i < wordCount; ++i) {
      uint8_t* w = bytes + 4 * i;
      uint8_t a = w[0], b = w[1];
      w[0] = w[3];
      w[1] = w[2];
      w[2] = b;
      w[3] = a;
    }
  }
}

}  // namespace tsv
