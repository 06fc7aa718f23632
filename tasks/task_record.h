// task_record.h: one recorded task step (a tool application, a brush stroke segment, a colour or
// paint operation, with the view and brush settings in force) and its 60-byte file image. In
// memory the fields are in machine order; on disk every field is big-endian. Also the step codes
// the recorder itself knows and which of them continue the step before them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "scene/task_steps.h"

namespace tsv {

inline constexpr size_t kTaskStepSize = 60;

inline constexpr uint16_t kStepEnd = TaskStepCode("EN");
inline constexpr uint16_t kStepRotateStart = TaskStepCode("RO");
inline constexpr uint16_t kStepRotateMotion = TaskStepCode("RX");
inline constexpr uint16_t kStepStrokeFirst = TaskStepCode("BR");
inline constexpr uint16_t kStepStrokeSegment = TaskStepCode("BS");
inline constexpr uint16_t kStepStrokeEnd = TaskStepCode("BE");
inline constexpr uint16_t kStepMorph = TaskStepCode("MO");
inline constexpr uint16_t kStepPaintableFlag = TaskStepCode("CP");
inline constexpr uint16_t kStepSpecularColour = TaskStepCode("KS");
inline constexpr uint16_t kStepDiffuseColour = TaskStepCode("KD");
inline constexpr uint16_t kStepAmbientColour = TaskStepCode("KA");

struct TaskStep {
  uint16_t code = 0;
  int16_t value1 = 0, value2 = 0, value3 = 0, value4 = 0;
  int16_t tiltFirst = 0, tiltSecond = 0;  // the pen tilt (a, b); (0, 0) is none
  std::array<float, 3> viewAngles{};
  float viewZoom = 1.0f;
  uint16_t centerY = 200, centerX = 200;
  int16_t brushDepth = 0, brushSize = 0;
  uint16_t spacingRepeat = 0;  // (repeat mode << 9) | spacing
  uint16_t sideShape = 0;      // (side mode << 8) | shape
  uint16_t typeFusion = 0;     // (modeling brush type << 8) | fusion side
  int16_t dragSecond = 0;      // the brush panel's second drag value (centred on 128)
  int16_t dragFirst = 0;       // the brush panel's first drag value (0..256)
  uint16_t room = 0;
  uint16_t red = 0, green = 0, blue = 0;  // the paint colour, 16-bit components

  int Spacing() const { return spacingRepeat & 0x1FF; }
  int Repeat() const { return spacingRepeat >> 9; }
  int Side() const { return sideShape >> 8; }
  int Shape() const { return sideShape & 0xFF; }
  int BrushType() const { return typeFusion >> 8; }
  int FusionSide() const { return typeFusion & 0xFF; }
};

// The file image, field by field, big-endian:
//   0 code, 2 value 2, 4 value 1, 6 value 4, 8 value 3, 10 tilt b, 12 tilt a, 14 reserved,
//   16..24 view angles (f32), 28 zoom (f32), 32 centre y, 34 centre x, 36 depth, 38 size,
//   40 repeat/spacing, 42 side/shape, 44 type/fusion side, 46 second drag, 48 first drag,
//   50 room, 52 red, 54 green, 56 blue, 58 reserved.
void EncodeTaskStep(const TaskStep& step, std::span<uint8_t, kTaskStepSize> out);
TaskStep DecodeTaskStep(std::span<const uint8_t, kTaskStepSize> in);

// Whole sequences. Decoding ignores a trailing part shorter than one record.
std::vector<uint8_t> EncodeTaskSteps(std::span<const TaskStep> steps);
std::vector<TaskStep> DecodeTaskSteps(std::span<const uint8_t> bytes);

// BS, BE and RX: they belong to the BR or RO before them and are never shown on their own.
[[nodiscard]] inline bool IsContinuationStep(uint16_t code) {
  return code == kStepStrokeSegment || code == kStepStrokeEnd || code == kStepRotateMotion;
}
// BR and RO: the steps that lead a group of continuations.
[[nodiscard]] inline bool LeadsContinuations(uint16_t code) {
  return code == kStepStrokeFirst || code == kStepRotateStart;
}
// What a record's view and pen tilt may hold. Recorded views keep their angles within a few
// turns and their zoom within the zoom control's 0.1..10; the centre is a pixel of the 400 x 400
// view; a tablet reports its tilt in tenths of a degree. A record beyond these limits comes from
// a damaged file, and replaying it would feed the renderer values it cannot project.
inline constexpr float kMaxStepAngle = 1000.0f;  // radians, either way
inline constexpr float kMinStepZoom = 0.01f;
inline constexpr float kMaxStepZoom = 100.0f;
inline constexpr uint16_t kMaxStepCentre = 400;
inline constexpr int16_t kMaxStepTilt = 1024;  // per component, either way
// The view angles and zoom are finite and within those limits, the centre and the tilt too.
[[nodiscard]] bool HasSoundView(const TaskStep& step);

// Where the group of the step at `at` ends: past its continuations when it leads some, else at
// the next step; the end of the list for an `at` beyond it.
size_t StepGroupEnd(std::span<const TaskStep> steps, size_t at);

}  // namespace tsv
