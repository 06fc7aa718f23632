// The sticky reader over bytes in memory: byte orders, views, seeks, and what a read past the end
// leaves behind.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "platform/byte_reader.h"

namespace tsv {
namespace {

const std::vector<uint8_t> kBytes = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x11};

TEST(ByteReader, ReadsBothByteOrdersInSequence) {
  ByteReader r(kBytes);
  EXPECT_EQ(r.U8(), 0x12);
  EXPECT_EQ(r.U16LE(), 0x5634);
  EXPECT_EQ(r.U16BE(), 0x789A);
  EXPECT_EQ(r.Remaining(), 4u);
  r.Seek(0);
  EXPECT_EQ(r.U32BE(), 0x12345678u);
  EXPECT_EQ(r.U32LE(), 0xF0DEBC9Au);
  const std::span<const uint8_t> last = r.Bytes(1);
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(last[0], 0x11);
  EXPECT_EQ(r.Remaining(), 0u);
  EXPECT_FALSE(r.failed);
  // Reaching the end exactly is no failure; an empty view is always there.
  EXPECT_TRUE(r.Bytes(0).empty());
  r.Skip(0);
  r.Seek(kBytes.size());
  EXPECT_FALSE(r.failed);
}

TEST(ByteReader, EveryReadPastTheEndGivesZerosAndTheFailureSticks) {
  // Each way of passing the end, three bytes before it: the result is zero (or empty), the position
  // stays, and a read that would fit afterwards still fails.
  struct Case {
    const char* name;
    bool (*read)(ByteReader&);  // true when the read gave zeros (or nothing)
  };
  const Case cases[] = {
      {"u32 le", [](ByteReader& r) { return r.U32LE() == 0; }},
      {"u32 be", [](ByteReader& r) { return r.U32BE() == 0; }},
      {"bytes", [](ByteReader& r) { return r.Bytes(4).empty(); }},
      {"read", [](ByteReader& r) {
         std::array<uint8_t, 4> out = {9, 9, 9, 9};
         r.Read(out);
         return out == std::array<uint8_t, 4>{};
       }},
      {"skip", [](ByteReader& r) { return r.Skip(4), true; }},
      {"seek", [](ByteReader& r) { return r.Seek(kBytes.size() + 1), true; }},
      {"huge skip", [](ByteReader& r) { return r.Skip(UINT64_MAX), true; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ByteReader r(kBytes);
    r.Skip(kBytes.size() - 3);
    ASSERT_FALSE(r.failed);
    EXPECT_TRUE(c.read(r));
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(r.position, kBytes.size() - 3);
    EXPECT_EQ(r.U8(), 0);
    EXPECT_EQ(r.U16BE(), 0);
    r.Seek(0);
    EXPECT_FALSE(r.Has(0));
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(r.position, kBytes.size() - 3);
  }
  ByteReader empty(std::span<const uint8_t>{});
  EXPECT_EQ(empty.U8(), 0);
  EXPECT_TRUE(empty.failed);
}

}  // namespace
}  // namespace tsv
