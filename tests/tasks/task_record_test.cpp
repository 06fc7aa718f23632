// The 60-byte task step and its big-endian file image.
#include <gtest/gtest.h>

#include <bit>
#include <vector>

#include "tasks/task_record.h"

namespace tsv::test {
namespace {

TEST(TaskRecord, FieldsSitBigEndianAtTheirOffsets) {
  TaskStep s;
  s.code = TaskStepCode("SC");
  s.value1 = 0x0102;
  s.value2 = 0x0304;
  s.value3 = 0x0506;
  s.value4 = -2;
  s.tiltFirst = 0x0708;
  s.tiltSecond = 0x090A;
  s.viewAngles = {1.0f, -2.5f, 0.25f};
  s.viewZoom = 1.5f;
  s.centerY = 0x0B0C;
  s.centerX = 0x0D0E;
  s.brushDepth = 0x0F10;
  s.brushSize = 0x1112;
  s.spacingRepeat = uint16_t((3 << 9) | 200);
  s.sideShape = uint16_t((2 << 8) | 17);
  s.typeFusion = uint16_t((4 << 8) | 1);
  s.dragSecond = 0x1314;
  s.dragFirst = 0x1516;
  s.room = 8;
  s.red = 0xA1A2;
  s.green = 0xB1B2;
  s.blue = 0xC1C2;
  std::array<uint8_t, kTaskStepSize> bytes{};
  bytes.fill(0xEE);
  EncodeTaskStep(s, bytes);

  auto u16 = [&](size_t at) { return unsigned(bytes[at] << 8 | bytes[at + 1]); };
  auto f32 = [&](size_t at) {
    return std::bit_cast<float>(uint32_t(u16(at)) << 16 | uint32_t(u16(at + 2)));
  };
  EXPECT_EQ(u16(0), 0x5343u);
  EXPECT_EQ(u16(2), 0x0304u);  // value 2 before value 1
  EXPECT_EQ(u16(4), 0x0102u);
  EXPECT_EQ(u16(6), 0xFFFEu);  // value 4 before value 3
  EXPECT_EQ(u16(8), 0x0506u);
  EXPECT_EQ(u16(10), 0x090Au);  // tilt b before tilt a
  EXPECT_EQ(u16(12), 0x0708u);
  EXPECT_EQ(u16(14), 0u);
  EXPECT_EQ(f32(16), 1.0f);
  EXPECT_EQ(f32(20), -2.5f);
  EXPECT_EQ(f32(24), 0.25f);
  EXPECT_EQ(f32(28), 1.5f);
  EXPECT_EQ(u16(32), 0x0B0Cu);
  EXPECT_EQ(u16(34), 0x0D0Eu);
  EXPECT_EQ(u16(36), 0x0F10u);
  EXPECT_EQ(u16(38), 0x1112u);
  EXPECT_EQ(u16(40), (3u << 9) | 200u);
  EXPECT_EQ(u16(42), (2u << 8) | 17u);
  EXPECT_EQ(u16(44), (4u << 8) | 1u);
  EXPECT_EQ(u16(46), 0x1314u);
  EXPECT_EQ(u16(48), 0x1516u);
  EXPECT_EQ(u16(50), 8u);
  EXPECT_EQ(u16(52), 0xA1A2u);
  EXPECT_EQ(u16(54), 0xB1B2u);
  EXPECT_EQ(u16(56), 0xC1C2u);
  EXPECT_EQ(u16(58), 0u);

  const TaskStep back = DecodeTaskStep(bytes);
  EXPECT_EQ(EncodeTaskSteps(std::vector<TaskStep>{back}), std::vector<uint8_t>(bytes.begin(), bytes.end()));
  EXPECT_EQ(back.Repeat(), 3);
  EXPECT_EQ(back.Spacing(), 200);
  EXPECT_EQ(back.Side(), 2);
  EXPECT_EQ(back.Shape(), 17);
  EXPECT_EQ(back.BrushType(), 4);
  EXPECT_EQ(back.FusionSide(), 1);
}

TEST(TaskRecord, ASequenceDropsATrailingPartialRecord) {
  std::vector<TaskStep> steps(3);
  steps[1].code = TaskStepCode("TT");
  std::vector<uint8_t> bytes = EncodeTaskSteps(steps);
  ASSERT_EQ(bytes.size(), 180u);
  bytes.resize(170);
  const std::vector<TaskStep> back = DecodeTaskSteps(bytes);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[1].code, TaskStepCode("TT"));
  EXPECT_TRUE(DecodeTaskSteps(std::vector<uint8_t>(59)).empty());
}

}  // namespace
}  // namespace tsv::test
