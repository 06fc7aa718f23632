// deform_table.cpp: the table of the deformation tools and the look-ups over it.
#include "tools/deform_table.h"

#include <array>
#include <cctype>
#include <string>

#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "scene/task_steps.h"
#include "tools/deform_tools.h"
#include "tools/tool_frame.h"
#include "tools/trackball.h"

namespace tsv {

namespace {

using K = DeformKind;

constexpr std::array<DeformToolEntry, 24> kDeformTools{{
    {1, TaskStepCode("SC"), kToolScale, K::Centred, DeformScale, nullptr},
    {2, TaskStepCode("SP"), kToolSpikes, K::Centred, DeformSpikes, nullptr},
    {3, TaskStepCode("WA"), kToolWaves, K::Centred, DeformWaves, nullptr},
    {4, TaskStepCode("TS"), kToolTsunami, K::Centred, DeformTsunami, nullptr},
    {5, TaskStepCode("NO"), kToolNoise, K::Rising, DeformNoise, nullptr},
    {6, TaskStepCode("SM"), kToolSmooth, K::Rising, DeformSmooth, nullptr},
    {7, TaskStepCode("BO"), kToolBottle, K::Signed, DeformBottle, nullptr},
    {8, TaskStepCode("BA"), kToolBend, K::Signed, DeformBend, nullptr},
    {9, TaskStepCode("TT"), kToolTwist, K::Signed, DeformTwist, nullptr},
    {10, TaskStepCode("TW"), kToolTwirl, K::Signed, DeformTwirl, nullptr},
    {11, TaskStepCode("BL"), kToolBelly, K::Signed, DeformBelly, nullptr},
    {12, TaskStepCode("BU"), kToolButton, K::Centred, DeformButton, nullptr},
    {13, TaskStepCode("ZR"), kToolBank, K::Signed, DeformBank, nullptr},
    {14, TaskStepCode("FL"), kToolFlatten, K::Flatten, DeformFlatten, nullptr},
    {15, TaskStepCode("EQ"), kToolEqualize, K::Rising, DeformEqualize, nullptr},
    {16, TaskStepCode("SH"), kToolShear, K::Signed, DeformShear, nullptr},
    {17, TaskStepCode("RS"), kToolRadialShear, K::Signed, DeformRadialShear, nullptr},
    {18, TaskStepCode("UN"), kToolToUndo, K::Rising, DeformToUndo, nullptr},
    {19, TaskStepCode("TA"), kToolTaper, K::Signed, DeformTaper, nullptr},
    {20, TaskStepCode("BG"), kToolBulge, K::Signed, DeformBulge, nullptr},
    {21, TaskStepCode("CE"), kToolToCenter, K::Rising, DeformToCenter, nullptr},
    {22, TaskStepCode("CO"), kToolContrast, K::Rising, DeformContrast, nullptr},
    {23, TaskStepCode("ST"), kToolStretch, K::TwoAxis, nullptr, DeformStretch},
    {24, TaskStepCode("RO"), kToolRotateSession, K::Trackball, nullptr, RotateSession},
}};

// Upper-case letters and digits only: "Radial shear", "radial-shear" and "RADIAL_SHEAR" agree.
std::string Folded(std::string_view text) {
  std::string folded;
  for (char c : text) {
    if (c == ' ' || c == '-' || c == '_') continue;
    folded.push_back(char(std::toupper(static_cast<unsigned char>(c))));
  }
  return folded;
}

}  // namespace

AmountRange RangeOfKind(DeformKind kind) {
  switch (kind) {
    case K::Centred:
    case K::TwoAxis: return {0, 256, 128};
    case K::Rising: return {0, 256, 0};
    case K::Signed: return {-128, 128, 0};
    case K::Flatten: return {0, 256, 256};
    case K::Trackball: return {-31999, 31999, 0};
  }
  return {};
}

std::span<const DeformToolEntry> DeformTools() { return kDeformTools; }

const DeformToolEntry* FindDeformToolByItem(int item) {
  for (const DeformToolEntry& tool : kDeformTools) {
    if (tool.item == item) return &tool;
  }
  return nullptr;
}

const DeformToolEntry* FindDeformToolByCode(uint16_t code) {
  if (code == TaskStepCode("RX")) code = TaskStepCode("RO");
  for (const DeformToolEntry& tool : kDeformTools) {
    if (tool.code == code) return &tool;
  }
  return nullptr;
}

const DeformToolEntry* FindDeformTool(std::string_view text) {
  const std::string wanted = Folded(text);
  if (wanted.empty()) return nullptr;
  if (wanted.size() == 2) {
    const uint16_t code = uint16_t((uint8_t(wanted[0]) << 8) | uint8_t(wanted[1]));
    if (const DeformToolEntry* tool = FindDeformToolByCode(code)) return tool;
  }
  for (const DeformToolEntry& tool : kDeformTools) {
    if (Folded(GetString(tool.name)) == wanted) return &tool;
  }
  return nullptr;
}

void RunDeformTool(const DeformToolEntry& tool, SceneObject* object, SceneObject* undo,
                   int16_t first, int16_t second) {
  if (tool.deform != nullptr) {
    tool.deform(object, undo, first);
  } else if (tool.deformTwo != nullptr) {
    tool.deformTwo(object, undo, first, second);
  }
}

}  // namespace tsv
