// string_source.cpp: parsing and formatting of the string table source.
#include "resources/generator/string_source.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

namespace tsv::resgen {
namespace {

constexpr int32_t kIdBase = 6193;
constexpr int32_t kMaxTextBytes = 255;

bool ParseNumber(const std::string& s, int32_t& out) {
  if (s.empty() || s.size() > 6) return false;
  int32_t value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  out = value;
  return true;
}

bool Unescape(const std::string& in, std::string& out) {
  out.clear();
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\\') {
      out += in[i];
      continue;
    }
    if (++i == in.size()) return false;
    switch (in[i]) {
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case '\\': out += '\\'; break;
      default: return false;
    }
  }
  return true;
}

bool IsValidName(const std::string& name) {
  if (name.size() < 2 || name[0] != 'k' || name[1] < 'A' || name[1] > 'Z') return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  });
}

std::string CppLiteral(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c >= 0x80 || c == '?') {
      // Octal escapes keep non-ASCII bytes exact and stop "??" from forming trigraph-like runs.
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\%03o", c);
      out += buffer;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace

std::vector<StringEntry> ParseStringSource(const std::string& contents, const std::string& fileName,
                                           std::vector<std::string>& errors) {
  std::vector<StringEntry> entries;
  std::set<int32_t> ids;
  std::set<std::string> names;
  size_t start = 0;
  int lineNumber = 0;
  auto fail = [&](int line, const std::string& message) {
    errors.push_back(fileName + ":" + std::to_string(line) + ": " + message);
  };
  while (start < contents.size()) {
    size_t end = contents.find('\n', start);
    if (end == std::string::npos) end = contents.size();
    std::string line = contents.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;

    size_t tab1 = line.find('\t');
    size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
    if (tab2 == std::string::npos) {
      fail(lineNumber, "expected KEY<TAB>NAME<TAB>TEXT");
      continue;
    }
    std::string key = line.substr(0, tab1);
    StringEntry entry;
    entry.line = lineNumber;
    entry.name = line.substr(tab1 + 1, tab2 - tab1 - 1);
    if (!Unescape(line.substr(tab2 + 1), entry.text)) {
      fail(lineNumber, "bad escape in text");
      continue;
    }
    if (key.size() > 1 && key[0] == 'L') {
      size_t dot = key.find('.');
      int32_t list = 0, index = 0;
      if (dot == std::string::npos || !ParseNumber(key.substr(1, dot - 1), list) ||
          !ParseNumber(key.substr(dot + 1), index) || index < 1 || index > 64) {
        fail(lineNumber, "bad list key '" + key + "'");
        continue;
      }
      entry.byList = true;
      entry.id = list * 64 + index - kIdBase;
    } else if (key.size() > 1 && key[0] == 'I') {
      if (!ParseNumber(key.substr(1), entry.id) || entry.id < 1 || entry.id > 32767) {
        fail(lineNumber, "bad id key '" + key + "'");
        continue;
      }
    } else {
      fail(lineNumber, "key must be L<list>.<index> or I<id>");
      continue;
    }
    if (entry.id < 1) {
      fail(lineNumber, "key gives an id below 1");
      continue;
    }
    entry.list = (entry.id + kIdBase - 1) / 64;
    entry.index = entry.id + kIdBase - entry.list * 64;
    if (!IsValidName(entry.name)) {
      fail(lineNumber, "name '" + entry.name + "' is not k + UpperCamelCase");
      continue;
    }
    if (entry.text.size() > kMaxTextBytes) {
      fail(lineNumber, "text longer than 255 bytes");
      continue;
    }
    if (!ids.insert(entry.id).second) {
      fail(lineNumber, "id " + std::to_string(entry.id) + " used twice");
      continue;
    }
    if (!names.insert(entry.name).second) {
      fail(lineNumber, "name " + entry.name + " used twice");
      continue;
    }
    entries.push_back(std::move(entry));
  }
  std::sort(entries.begin(), entries.end(),
            [](const StringEntry& a, const StringEntry& b) { return a.id < b.id; });
  return entries;
}

std::string EscapeStringText(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::string FormatTextResource(const std::vector<StringEntry>& entries, int32_t list) {
  std::string out;
  for (const StringEntry& e : entries) {
    if (e.list != list) continue;
    out += std::to_string(e.index) + "\t" + EscapeStringText(e.text) + "\n";
  }
  return out;
}

std::string FormatStringIdsHeader(const std::vector<StringEntry>& entries) {
  std::string out =
      "// string_ids.h: generated from resources/strings/strings.txt by the resource generator.\n"
      "// One constant per text of the string table; do not edit.\n"
      "#pragma once\n\n#include \"platform/string_id.h\"\n\nnamespace tsv {\n\n";
  for (const StringEntry& e : entries) {
    out += "inline constexpr StringId " + e.name + "{" + std::to_string(e.id) + "};";
    if (e.byList) out += "  // list " + std::to_string(e.list) + ", " + std::to_string(e.index);
    out += "\n";
  }
  return out + "\n}  // namespace tsv\n";
}

std::string FormatBuiltinTable(const std::vector<StringEntry>& entries) {
  std::string out =
      "// string_table_builtin.cpp: generated from resources/strings/strings.txt by the resource\n"
      "// generator; the copy of the string table that is built into the program.\n"
      "#include \"platform/string_table.h\"\n\nnamespace tsv {\n\n"
      "const BuiltinString kBuiltinStrings[] = {\n";
  for (const StringEntry& e : entries) {
    out += "    {" + std::to_string(e.id) + ", " + CppLiteral(e.text) + "},\n";
  }
  out += "};\n\nconst size_t kBuiltinStringCount = sizeof kBuiltinStrings / sizeof kBuiltinStrings[0];\n";
  return out + "\n}  // namespace tsv\n";
}

}  // namespace tsv::resgen
