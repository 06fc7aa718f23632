// string_source.h: reads the string table source (resources/strings/strings.txt) for the resource
// generator, and writes the text resources and the C++ constants derived from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tsv::resgen {

struct StringEntry {
  int32_t id = 0;      // string-table id
  int32_t list = 0;    // list the id falls in: id = list * 64 + index - 6193
  int32_t index = 0;   // 1..64
  bool byList = false; // written as "L<list>.<index>" rather than "I<id>"
  std::string name;    // the C++ constant, e.g. kErrNoEmptySpace
  std::string text;    // unescaped
  int line = 0;
};

// Parses the source; on any fault appends "file:line: message" to `errors` and skips the line.
std::vector<StringEntry> ParseStringSource(const std::string& contents, const std::string& fileName,
                                           std::vector<std::string>& errors);

// Escapes a text for one line of a text resource: backslash, newline, tab, carriage return.
std::string EscapeStringText(const std::string& text);

// The text resource of one list: "index<TAB>escaped text" per line, in index order.
std::string FormatTextResource(const std::vector<StringEntry>& entries, int32_t list);

// The generated header with one constant per entry, and the built-in copy of the whole table.
std::string FormatStringIdsHeader(const std::vector<StringEntry>& entries);
std::string FormatBuiltinTable(const std::vector<StringEntry>& entries);

}  // namespace tsv::resgen
