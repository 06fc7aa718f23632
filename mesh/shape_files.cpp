// shape_files.cpp: parsing the new-shape command and writing the shape's object file.
#include "mesh/shape_files.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "platform/file_spec.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"

namespace tsv {
namespace {

// Command-line names, in shape-number order.
constexpr std::array<std::string_view, 5> kOrganicNames = {"sphere", "tetrahedron", "cylinder", "cube",
                                                           "capped-cylinder"};
constexpr std::array<std::string_view, 7> kSyntheticNames = {"front-plain", "both-plain", "sphere",   "cylinder",
                                                             "cube",        "cone",       "doughnut"};

template <size_t N>
std::string NameList(const std::array<std::string_view, N>& names) {
  std::string list;
  for (std::string_view name : names) {
    if (!list.empty()) list += ", ";
    list += name;
  }
  return list;
}

bool BadOption(std::string_view word) {
  ShowStopMessage(FormatString(kErrShapeOption, {word}));
  return false;
}

// A whole number; values far out of range are kept as the nearest 32-bit value, for the clamps.
bool ParseWhole(const std::string& text, int32_t& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long long n = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0') return false;
  value = int32_t(std::clamp<long long>(n, INT32_MIN, INT32_MAX));
  return true;
}

bool ParseReal(const std::string& text, float& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const float f = std::strtof(text.c_str(), &end);
  if (*end != '\0' || std::isnan(f)) return false;
  value = f;
  return true;
}

}  // namespace

bool ParseNewShapeOptions(std::span<const std::string> args, NewShapeOptions& options) {
  NewShapeOptions parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (i + 1 >= args.size()) return BadOption(option);
    const std::string& text = args[++i];
    if (option == "--f") {
      float f = 0;
      if (parsed.f || !ParseReal(text, f)) return BadOption(parsed.f ? option : text);
      parsed.f = f;
      continue;
    }
    std::optional<int32_t>* slot = option == "--x"   ? &parsed.x
                                   : option == "--y" ? &parsed.y
                                   : option == "--b" ? &parsed.b
                                                     : nullptr;
    if (slot == nullptr || slot->has_value()) return BadOption(option);
    int32_t n = 0;
    if (!ParseWhole(text, n)) return BadOption(text);
    *slot = n;
  }
  options = parsed;
  return true;
}

std::optional<ShapeChoice> ParseShapeSpec(const std::string& spec) {
  const size_t colon = spec.find(':');
  if (colon == std::string::npos) return std::nullopt;
  const std::string_view kind = std::string_view(spec).substr(0, colon);
  const std::string_view name = std::string_view(spec).substr(colon + 1);
  auto find = [&](const auto& names) -> int {
    for (size_t i = 0; i < names.size(); ++i) {
      if (names[i] == name) return int(i);
    }
    return -1;
  };
  int shape = -1;
  if (kind == "organic") shape = find(kOrganicNames);
  if (kind == "synthetic") shape = find(kSyntheticNames);
  if (shape < 0) return std::nullopt;
  return ShapeChoice{kind == "organic", shape};
}

Status NewShapeFile(const std::string& spec, const std::string& outPath, const NewShapeOptions& options) {
  const std::optional<ShapeChoice> choice = ParseShapeSpec(spec);
  if (!choice) {
    ShowStopMessage(FormatString(kErrUnknownShape, {spec, NameList(kOrganicNames), NameList(kSyntheticNames)}));
    return kMalformed;
  }
  if (choice->organic) {
    const char* given = options.x ? "--x" : options.y ? "--y" : options.b ? "--b" : options.f ? "--f" : nullptr;
    if (given != nullptr) {
      BadOption(given);
      return kMalformed;
    }
  }
  const FileSpec target = FileSpecForPath(outPath, kObjectFileType);
  if (!IsFileSpecSet(target)) {
    ShowStopMessage(GetString(kErrFileError));
    return kWriteError;
  }

  const int previous = scene.currentObjectIndex;
  SceneObject* object = nullptr;
  if (choice->organic) {
    object = NewOrganicShapeObject(choice->shape);
  } else {
    SyntheticShapeSettings settings;
    settings.shape = uint16_t(choice->shape);
    if (options.x) settings.x = *options.x;
    if (options.y) settings.y = *options.y;
    if (options.b) settings.b = *options.b;
    if (options.f) settings.f = *options.f;
    if (!ClampShapeDialogSettings(settings)) return kMalformed;
    object = NewSyntheticObject(settings);
  }
  if (object == nullptr) return kNoMemory;  // the failure has been shown

  object->name = ObjectNameOfFile(target);
  const bool saved = SaveObjectToFile(*object, target);
  const int slot = SlotOfObject(object);
  if (slot >= 0) DisposeSceneObject(scene.objectTable[size_t(slot)]);
  if (previous >= 0 && scene.objectTable[size_t(previous)]) (void)SetCurrentObject(previous);
  return saved ? kNoError : kWriteError;
}

}  // namespace tsv
