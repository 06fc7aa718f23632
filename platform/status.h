// status.h: the 16-bit status values that file, dialog and format calls return (0 is success).
// Each value says what happened; a caller that drops one is a compile error ([[nodiscard]]).
#pragma once

#include <cstdint>

namespace tsv {

enum [[nodiscard]] Status : int16_t {
  kNoError = 0,
  kFileNotFound = -43,  // the file cannot be opened
  kReadError = -39,     // end of file, short read or failed seek
  kWriteError = 1,      // a create, write, flush, close or rename failed
  kMalformed = 2,       // the data (or a request) is not what its format allows
  kCancelled = 3,       // the user cancelled a dialog; nothing to report
  kNoMemory = -108,     // too large to hold, or an allocation failed
  // The picture codecs' own refusals.
  kInvalidBmpFile = -2001,   // a BMP header size, bit count or compression we do not read
  kNoPictureReader = -2002,  // a picture type nothing here decodes (PICT, ...)
  kNoPictureWriter = -2003,  // a picture type nothing here writes (JPEG, ...)
};

// For the places that keep only the first failure of several steps.
constexpr Status FirstFailure(Status first, Status next) { return first != kNoError ? first : next; }

// Four-character codes ('CMF ', 'TSKS') as the 32-bit values stored in files, first letter highest.
constexpr uint32_t FourCC(const char (&code)[5]) {
  return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
         (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}

}  // namespace tsv
