// deform_table.h: the one table of the deformation tools, in the order of the modeling panel's
// items: panel item, task step code, name, the operation and the kind of amount it takes. The
// panel finds a tool by its item, Ctrl+Z and task replay by its code, the batch command by name.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/string_id.h"

namespace tsv {

struct SceneObject;

// How a tool's amount behaves. The range and start value follow from the kind.
enum class DeformKind : uint8_t {
  Centred,    // 0..256, starts at 128, which leaves the object as it is
  Rising,     // 0..256, starts at 0, which leaves the object as it is
  Signed,     // -128..128, starts at 0, which leaves the object as it is
  Flatten,    // 0..256, starts at 256, which leaves the object as it is
  TwoAxis,    // two amounts 0..256, each starting at 128 (Stretch)
  Trackball,  // a mouse motion dx, dy (Rotate session)
};

struct AmountRange {
  int16_t minimum = 0, maximum = 0, start = 0;
};
// The trackball's "range" is the motion a batch command accepts; it stays clear of the
// interactive marker.
AmountRange RangeOfKind(DeformKind kind);

using DeformOneAmount = void (*)(SceneObject* object, SceneObject* undo, int16_t amount);
using DeformTwoAmounts = void (*)(SceneObject* object, SceneObject* undo, int16_t first,
                                  int16_t second);

struct DeformToolEntry {
  int item;           // item number in the deformation tools panel (1..24)
  uint16_t code;      // task step code ("SC"); the trackball records "RO" and then "RX" steps
  StringId name;      // "Scale", ...
  DeformKind kind;
  DeformOneAmount deform;     // the tools with one amount
  DeformTwoAmounts deformTwo;  // Stretch and the trackball
};

// All 24 tools in panel order.
std::span<const DeformToolEntry> DeformTools();

// Null when nothing matches.
const DeformToolEntry* FindDeformToolByItem(int item);
// "RX", the trackball's motion steps, finds the trackball as well.
const DeformToolEntry* FindDeformToolByCode(uint16_t code);
// By the two-letter code or by the name, ignoring case, blanks, '-' and '_' ("Radial shear",
// "radial-shear", "RS").
const DeformToolEntry* FindDeformTool(std::string_view text);

// Runs the tool: `first` is the amount (kAmountInteractive for a drag), `second` the vertical
// amount of Stretch or the dy of the trackball, ignored by the others.
void RunDeformTool(const DeformToolEntry& tool, SceneObject* object, SceneObject* undo,
                   int16_t first, int16_t second = 0);

}  // namespace tsv
