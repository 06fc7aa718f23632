// string_id.h: the id of one text of the string table. The generated header platform/string_ids.h
// names every text of the program with one of these.
#pragma once

#include <cstdint>

namespace tsv {

struct StringId {
  int32_t id = 0;
};

// A text of a string list is addressed by (list, 1-based index); both map onto one id space.
constexpr int32_t StringIdOf(int32_t list, int32_t index) { return list * 64 + index - 6193; }

}  // namespace tsv
