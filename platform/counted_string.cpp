// counted_string.cpp: operations on counted strings.
#include "platform/counted_string.h"

#include <algorithm>
#include <cstring>

namespace tsv {

void CopyCountedString(CountedString& destination, const CountedString& source) {
  destination.length = source.length;
  std::memcpy(destination.text, source.text, source.length);
}

std::string CountedToText(const CountedString& s) { return std::string(s.text, s.length); }

CountedString TextToCountedString(std::string_view text) {
  size_t length = std::min<size_t>(text.size(), kCountedStringMax);
  // Cutting before a trail byte would leave half a character behind.
  if (length < text.size()) {
    while (length > 0 && IsTrailByte(text[length])) --length;
  }
  CountedString s;
  s.length = static_cast<uint8_t>(length);
  std::memcpy(s.text, text.data(), length);
  return s;
}

void ReplaceCharacter(CountedString& s, char from, char to) {
  for (int i = 0; i < s.length; ++i) {
    if (s.text[i] == from) s.text[i] = to;
  }
}

int FindCharacter(const CountedString& s, char c) {
  for (int i = 0; i < s.length; ++i) {
    if (IsTrailByte(s.text[i])) continue;
    if (s.text[i] == c) return i;
  }
  return -1;
}

bool EndsWith(const CountedString& s, std::string_view suffix) {
  if (suffix.size() > s.length) return false;
  size_t start = s.length - suffix.size();
  // A match that begins inside a multi-byte character is not a suffix of the text.
  if (!suffix.empty() && IsTrailByte(s.text[start])) return false;
  return std::memcmp(s.text + start, suffix.data(), suffix.size()) == 0;
}

void ShiftCountedString(CountedString& s, int position, int delta) {
  position = std::clamp(position, 0, int(s.length));
  if (delta < 0) delta = std::max(delta, -position);
  int tail = s.length - position;
  int newLength = std::min(int(s.length) + delta, kCountedStringMax);
  int moved = std::max(0, std::min(tail, kCountedStringMax - (position + delta)));
  std::memmove(s.text + position + delta, s.text + position, size_t(moved));
  s.length = static_cast<uint8_t>(newLength);
}

CountedString NumberToCountedString(int32_t value) {
  return TextToCountedString(std::to_string(value));
}

bool SameCountedString(const CountedString& a, const CountedString& b) {
  return a.length == b.length && std::memcmp(a.text, b.text, a.length) == 0;
}

bool SubstitutePlaceholder(CountedString& text, int n, std::string_view replacement) {
  if (n < 0 || n > 9) return false;
  int length = text.length == kCountedStringMax ? kCountedStringMax - 1 : text.length;
  for (int i = 0; i + 1 < length; ++i) {
    if (IsTrailByte(text.text[i]) || text.text[i] != '^' || text.text[i + 1] != char('0' + n)) {
      continue;
    }
    std::string result(text.text, size_t(i));
    result.append(replacement);
    result.append(text.text + i + 2, size_t(length - i - 2));
    text = TextToCountedString(result);
    return true;
  }
  return false;
}

std::string SubstitutePlaceholder(std::string_view text, int n, std::string_view replacement) {
  CountedString s = TextToCountedString(text);
  (void)SubstitutePlaceholder(s, n, replacement);  // a text without the placeholder stays as it is
  return CountedToText(s);
}

}  // namespace tsv
