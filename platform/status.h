// status.h: the 16-bit status codes every file and dialog call returns (0 is success).
#pragma once

#include <cstdint>

namespace tsv {

using Status = int16_t;

inline constexpr Status kNoError = 0;
inline constexpr Status kFileNotFound = -43;   // the file cannot be opened
inline constexpr Status kReadError = -39;      // end of file, short read or failed seek
inline constexpr Status kWriteError = 1;       // failed write, cancelled dialog or malformed data

// Four-character codes ('CMF ', 'TSKS') as the 32-bit values stored in files, first letter highest.
constexpr uint32_t FourCC(const char (&code)[5]) {
  return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
         (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}

}  // namespace tsv
