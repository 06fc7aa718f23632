// string_table.h: the program's texts, fetched by string-table id or by (list, index). A copy of the
// table is built into the program; LoadStringTable reads the text resources over it at start, so
// the resource folder can carry another language.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/counted_string.h"
#include "platform/string_id.h"
#include "platform/string_ids.h"

namespace tsv {

struct BuiltinString {
  int32_t id;
  const char* text;
};
extern const BuiltinString kBuiltinStrings[];  // sorted by id
extern const size_t kBuiltinStringCount;

// Text of at most 255 bytes; empty for an id the table does not hold.
std::string GetStringById(int32_t id);
inline std::string GetString(StringId id) { return GetStringById(id.id); }
CountedString GetIndexedString(int32_t list, int32_t index);

// The text of `id` with "^0", "^1", ... replaced by `args` in order, one placeholder per argument.
std::string FormatString(StringId id, std::initializer_list<std::string_view> args);

// Reads the text resources of every list the program uses over the built-in copy. A missing or
// unreadable resource is reported (the built-in texts stay in use); returns false if any failed.
[[nodiscard]] bool LoadStringTable();
// Forgets the loaded texts (tests).
void ResetStringTable();

}  // namespace tsv
