// task_record.cpp: the big-endian file image of a task step.
#include "tasks/task_record.h"

#include <bit>
#include <cmath>
#include <cstdlib>

namespace tsv {

namespace {

void PutU16(std::span<uint8_t, kTaskStepSize> out, size_t at, uint16_t value) {
  out[at] = uint8_t(value >> 8);
  out[at + 1] = uint8_t(value & 0xFF);
}
void PutF32(std::span<uint8_t, kTaskStepSize> out, size_t at, float value) {
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  PutU16(out, at, uint16_t(bits >> 16));
  PutU16(out, at + 2, uint16_t(bits & 0xFFFF));
}
uint16_t GetU16(std::span<const uint8_t, kTaskStepSize> in, size_t at) {
  return uint16_t((uint16_t(in[at]) << 8) | in[at + 1]);
}
int16_t GetI16(std::span<const uint8_t, kTaskStepSize> in, size_t at) { return int16_t(GetU16(in, at)); }
float GetF32(std::span<const uint8_t, kTaskStepSize> in, size_t at) {
  return std::bit_cast<float>((uint32_t(GetU16(in, at)) << 16) | GetU16(in, at + 2));
}

}  // namespace

void EncodeTaskStep(const TaskStep& s, std::span<uint8_t, kTaskStepSize> out) {
  PutU16(out, 0, s.code);
  PutU16(out, 2, uint16_t(s.value2));
  PutU16(out, 4, uint16_t(s.value1));
  PutU16(out, 6, uint16_t(s.value4));
  PutU16(out, 8, uint16_t(s.value3));
  PutU16(out, 10, uint16_t(s.tiltSecond));
  PutU16(out, 12, uint16_t(s.tiltFirst));
  PutU16(out, 14, 0);
  PutF32(out, 16, s.viewAngles[0]);
  PutF32(out, 20, s.viewAngles[1]);
  PutF32(out, 24, s.viewAngles[2]);
  PutF32(out, 28, s.viewZoom);
  PutU16(out, 32, s.centerY);
  PutU16(out, 34, s.centerX);
  PutU16(out, 36, uint16_t(s.brushDepth));
  PutU16(out, 38, uint16_t(s.brushSize));
  PutU16(out, 40, s.spacingRepeat);
  PutU16(out, 42, s.sideShape);
  PutU16(out, 44, s.typeFusion);
  PutU16(out, 46, uint16_t(s.dragSecond));
  PutU16(out, 48, uint16_t(s.dragFirst));
  PutU16(out, 50, s.room);
  PutU16(out, 52, s.red);
  PutU16(out, 54, s.green);
  PutU16(out, 56, s.blue);
  PutU16(out, 58, 0);
}

TaskStep DecodeTaskStep(std::span<const uint8_t, kTaskStepSize> in) {
  TaskStep s;
  s.code = GetU16(in, 0);
  s.value2 = GetI16(in, 2);
  s.value1 = GetI16(in, 4);
  s.value4 = GetI16(in, 6);
  s.value3 = GetI16(in, 8);
  s.tiltSecond = GetI16(in, 10);
  s.tiltFirst = GetI16(in, 12);
  s.viewAngles = {GetF32(in, 16), GetF32(in, 20), GetF32(in, 24)};
  s.viewZoom = GetF32(in, 28);
  s.centerY = GetU16(in, 32);
  s.centerX = GetU16(in, 34);
  s.brushDepth = GetI16(in, 36);
  s.brushSize = GetI16(in, 38);
  s.spacingRepeat = GetU16(in, 40);
  s.sideShape = GetU16(in, 42);
  s.typeFusion = GetU16(in, 44);
  s.dragSecond = GetI16(in, 46);
  s.dragFirst = GetI16(in, 48);
  s.room = GetU16(in, 50);
  s.red = GetU16(in, 52);
  s.green = GetU16(in, 54);
  s.blue = GetU16(in, 56);
  return s;
}

std::vector<uint8_t> EncodeTaskSteps(std::span<const TaskStep> steps) {
  std::vector<uint8_t> bytes(steps.size() * kTaskStepSize);
  for (size_t i = 0; i < steps.size(); ++i) {
    EncodeTaskStep(steps[i], std::span<uint8_t, kTaskStepSize>(bytes.data() + i * kTaskStepSize, kTaskStepSize));
  }
  return bytes;
}

std::vector<TaskStep> DecodeTaskSteps(std::span<const uint8_t> bytes) {
  std::vector<TaskStep> steps;
  const size_t count = bytes.size() / kTaskStepSize;
  steps.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    steps.push_back(DecodeTaskStep(
        std::span<const uint8_t, kTaskStepSize>(bytes.data() + i * kTaskStepSize, kTaskStepSize)));
  }
  return steps;
}

bool HasSoundView(const TaskStep& step) {
  for (float angle : step.viewAngles) {
    if (!(std::fabs(angle) <= kMaxStepAngle)) return false;  // also refuses NaN
  }
  if (!(step.viewZoom >= kMinStepZoom && step.viewZoom <= kMaxStepZoom)) return false;
  if (step.centerX > kMaxStepCentre || step.centerY > kMaxStepCentre) return false;
  return std::abs(int(step.tiltFirst)) <= kMaxStepTilt && std::abs(int(step.tiltSecond)) <= kMaxStepTilt;
}

size_t StepGroupEnd(std::span<const TaskStep> steps, size_t at) {
  if (at >= steps.size()) return steps.size();
  size_t end = at + 1;
  if (LeadsContinuations(steps[at].code)) {
    while (end < steps.size() && IsContinuationStep(steps[end].code)) ++end;
  }
  return end;
}

}  // namespace tsv
