// resources.h: the numbered data and text resource files of the resource folder beside the program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tsv {

enum class ResourceKind { Data, Text };

// resourceDirectory + "Resource/english/res" (data) or "Resource/english/Text/res" (text) + the id
// in four digits.
std::string ResourceFilePath(ResourceKind kind, int id);

// The whole file. The big-endian word tables (ids 130, 200..204, 501, 513..515, 620..625, 1024,
// 3000..3005) come back in machine order, the pictures stored bottom-up with their rows top-down.
// A missing file shows "Can't find data resource ^0" or "Can't find text resource ^0", a short one
// "Error reading resource ^0"; the result is then empty.
std::optional<std::vector<uint8_t>> LoadResourceFile(ResourceKind kind, int id);

// As above, and a file shorter than `minimumSize` bytes is reported as "Error reading resource ^0".
std::optional<std::vector<uint8_t>> LoadResourceFile(ResourceKind kind, int id, size_t minimumSize);

// Machine-order 32-bit word `index` of a loaded word table.
uint32_t ResourceWord(const std::vector<uint8_t>& bytes, size_t index);
float ResourceFloat(const std::vector<uint8_t>& bytes, size_t index);

}  // namespace tsv
