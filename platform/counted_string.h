// counted_string.h: the counted string (a length byte and up to 255 bytes) that every internal text
// interface passes, with its operations and the "^0" placeholder substitution. Texts are UTF-8; the
// continuation bytes of a multi-byte character play the role of trail bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tsv {

inline constexpr int kCountedStringMax = 255;

struct CountedString {
  uint8_t length = 0;
  char text[kCountedStringMax] = {};
};
static_assert(sizeof(CountedString) == 256);

inline std::string_view View(const CountedString& s) { return {s.text, s.length}; }

// True for a byte that continues a multi-byte character (never the start of a character).
[[nodiscard]] inline bool IsTrailByte(char c) { return (static_cast<uint8_t>(c) & 0xC0) == 0x80; }

void CopyCountedString(CountedString& destination, const CountedString& source);
std::string CountedToText(const CountedString& s);
// Longer texts are cut at 255 bytes, never inside a multi-byte character.
CountedString TextToCountedString(std::string_view text);

// Replaces every occurrence of byte `from` by `to`.
void ReplaceCharacter(CountedString& s, char from, char to);
// Offset of the first `c` that starts a character, or -1.
int FindCharacter(const CountedString& s, char c);
// True when `s` ends with `suffix` byte for byte and the suffix starts on a character boundary.
[[nodiscard]] bool EndsWith(const CountedString& s, std::string_view suffix);
// Moves the bytes from `position` to the end by `delta` (positive opens a gap, negative closes one);
// the string keeps at most 255 bytes. The bytes of an opened gap are left as they were.
void ShiftCountedString(CountedString& s, int position, int delta);
CountedString NumberToCountedString(int32_t value);
[[nodiscard]] bool SameCountedString(const CountedString& a, const CountedString& b);

// Replaces the first "^n" (n = 0..9) with `replacement`. A 255-byte text counts as 254 bytes; the
// result is cut at 255 bytes. Returns false (text unchanged) when there is no such placeholder.
[[nodiscard]] bool SubstitutePlaceholder(CountedString& text, int n, std::string_view replacement);
// The same on a std::string with the same rules, for callers holding plain text.
std::string SubstitutePlaceholder(std::string_view text, int n, std::string_view replacement);

}  // namespace tsv
