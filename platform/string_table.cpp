// string_table.cpp: lookup in the loaded and the built-in string table, and loading of the text
// resources ("index<TAB>text" lines with \n, \t, \r and \\ escapes, one file per list of 64 ids).
#include "platform/string_table.h"

#include <algorithm>
#include <set>
#include <unordered_map>

#include "platform/platform_state.h"
#include "platform/resources.h"
#include "platform/user_services.h"

namespace tsv {
namespace {

const char* BuiltinText(int32_t id) {
  const BuiltinString* end = kBuiltinStrings + kBuiltinStringCount;
  const BuiltinString* it = std::lower_bound(
      kBuiltinStrings, end, id, [](const BuiltinString& s, int32_t key) { return s.id < key; });
  return it != end && it->id == id ? it->text : nullptr;
}

int32_t ListOfId(int32_t id) { return (id + 6193 - 1) / 64; }

// Parses one text resource into `out`; false when a line is malformed.
bool ParseTextResource(const std::vector<uint8_t>& bytes, int32_t list,
                       std::unordered_map<int32_t, std::string>& out) {
  std::string_view all(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  bool ok = true;
  while (!all.empty()) {
    size_t end = all.find('\n');
    std::string_view line = all.substr(0, end);
    all = end == std::string_view::npos ? std::string_view() : all.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    size_t tab = line.find('\t');
    int32_t index = 0;
    bool digits = tab != std::string_view::npos && tab > 0 && tab <= 2;
    for (size_t i = 0; digits && i < tab; ++i) {
      if (line[i] < '0' || line[i] > '9') digits = false;
      index = index * 10 + (line[i] - '0');
    }
    if (!digits || index < 1 || index > 64) {
      ok = false;
      continue;
    }
    std::string text;
    for (size_t i = tab + 1; i < line.size(); ++i) {
      char c = line[i];
      if (c == '\\' && i + 1 < line.size()) {
        char e = line[++i];
        c = e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
      }
      text += c;
    }
    if (text.size() > kCountedStringMax) text = CountedToText(TextToCountedString(text));
    out[StringIdOf(list, index)] = std::move(text);
  }
  return ok;
}

}  // namespace

std::string GetStringById(int32_t id) {
  auto it = platform.loadedStrings.find(id);
  if (it != platform.loadedStrings.end()) return it->second;
  const char* text = BuiltinText(id);
  return text ? std::string(text) : std::string();
}

CountedString GetIndexedString(int32_t list, int32_t index) {
  return TextToCountedString(GetStringById(StringIdOf(list, index)));
}

std::string FormatString(StringId id, std::initializer_list<std::string_view> args) {
  std::string text = GetString(id);
  int n = 0;
  for (std::string_view arg : args) text = SubstitutePlaceholder(text, n++, arg);
  return text;
}

bool LoadStringTable() {
  std::set<int32_t> lists;
  for (size_t i = 0; i < kBuiltinStringCount; ++i) lists.insert(ListOfId(kBuiltinStrings[i].id));
  bool ok = true;
  std::unordered_map<int32_t, std::string> loaded;
  for (int32_t list : lists) {
    std::optional<std::vector<uint8_t>> bytes = LoadResourceFile(ResourceKind::Text, list);
    if (!bytes) {
      ok = false;
      continue;
    }
    if (!ParseTextResource(*bytes, list, loaded)) {
      ShowStopMessage(FormatString(kResReadError, {std::to_string(list)}));
      ok = false;
    }
  }
  platform.loadedStrings = std::move(loaded);
  return ok;
}

void ResetStringTable() { platform.loadedStrings.clear(); }

}  // namespace tsv
