// The buffered stream: number formats, parsers, lines and buffer boundaries.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "platform/scripted_services.h"
#include "platform/stream.h"
#include "tests/support/temp_dir.h"
#include "tests/support/reset_all_state.h"

namespace tsv {
namespace {

struct FloatCase {
  float value;
  const char* text;
  friend void PrintTo(const FloatCase& c, std::ostream* os) { *os << c.text; }
};

class StreamFloatText : public testing::TestWithParam<FloatCase> {};

TEST_P(StreamFloatText, SevenTruncatedDecimals) { EXPECT_EQ(FormatStreamFloat(GetParam().value), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(Values, StreamFloatText,
                         testing::Values(FloatCase{2.0f, "2.0000000"}, FloatCase{1.5f, "1.5000000"},
                                         FloatCase{-0.25f, "-0.2500000"}, FloatCase{0.0f, "0.0000000"},
                                         FloatCase{-128.75f, "-128.7500000"}, FloatCase{0.1f, "0.1000000"},
                                         FloatCase{2.1f, "2.0999999"},  // truncated, never rounded
                                         FloatCase{1e10f, "10000000000.0000000"},
                                         FloatCase{NAN, "0.0000000"}));

TEST(StreamNumbers, Integers) {
  EXPECT_EQ(FormatStreamInteger(0), "0");
  EXPECT_EQ(FormatStreamInteger(-42), "-42");
  EXPECT_EQ(FormatStreamInteger(123456789), "123456789");
  EXPECT_EQ(FormatStreamInteger(INT32_MIN), "-2147483648");
}

struct ParseCase {
  const char* text;
  double value;
  friend void PrintTo(const ParseCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }
};

class StreamParse : public testing::TestWithParam<ParseCase> {};

TEST_P(StreamParse, Float) { EXPECT_FLOAT_EQ(ParseFloat(GetParam().text), float(GetParam().value)) << GetParam().text; }

INSTANTIATE_TEST_SUITE_P(Values, StreamParse,
                         testing::Values(ParseCase{"-1.5e2", -150}, ParseCase{"2.0000000", 2}, ParseCase{"  12.25 ", 12.25},
                                         ParseCase{"1.5E-2", 0.015}, ParseCase{"-", 0}, ParseCase{"", 0},
                                         ParseCase{"3.", 3}, ParseCase{".5", 0.5}, ParseCase{"--4", 4},
                                         ParseCase{"1e999999999", FLT_MAX},  // bounded, not a hang
                                         ParseCase{"1e-999999999", 0}));

TEST(StreamParse, Integer) {
  EXPECT_EQ(ParseInteger("12-3"), -123);
  EXPECT_EQ(ParseInteger("  42\r"), 42);
  EXPECT_EQ(ParseInteger("--7"), 7);
  EXPECT_EQ(ParseInteger("abc"), 0);
  EXPECT_EQ(ParseInteger("99999999999999999999"), INT32_MAX);
  EXPECT_EQ(ParseInteger("-99999999999999999999"), INT32_MIN);
  EXPECT_EQ(ParseInteger(TextToCountedString("1 2 3")), 123);
}

class Stream : public testing::Test {
 protected:
  void TearDown() override { test::ResetAllState(); }
  FileSpec Spec(const std::string& name) { return FileSpecForPath(dir / name, 0); }
  std::vector<std::string> ReadAllLines(const std::string& name) {
    FileSpec spec = Spec(name);
    EXPECT_EQ(OpenStreamForReading(spec), kNoError);
    std::vector<std::string> lines;
    CountedString line;
    while (!StreamFinished()) {
      EXPECT_EQ(StreamReadLine(line), kNoError);
      lines.push_back(CountedToText(line));
    }
    EXPECT_EQ(StreamClose(), kNoError);
    return lines;
  }
  test::TempDir dir;
  ScriptedServices services;
};

TEST_F(Stream, LinesSkipBreaksOfEveryKind) {
  test::WriteFileBytes(dir / "lines", {'a', 'b', '\r', '\n', '\n', 0, 'c', '\r', 'd'});
  EXPECT_EQ(ReadAllLines("lines"), (std::vector<std::string>{"ab", "c", "d"}));
  test::WriteFileText(dir / "trailing", "x\n\n");
  EXPECT_EQ(ReadAllLines("trailing"), (std::vector<std::string>{"x", ""}));
  EXPECT_TRUE(services.shown.empty());
}

TEST_F(Stream, ReadingAfterTheEndAndOverlongLinesFail) {
  test::WriteFileText(dir / "one", "only");
  FileSpec spec = Spec("one");
  ASSERT_EQ(OpenStreamForReading(spec), kNoError);
  CountedString line;
  EXPECT_EQ(StreamReadLine(line), kNoError);
  EXPECT_TRUE(StreamFinished());
  EXPECT_EQ(StreamReadLine(line), kWriteError);
  EXPECT_EQ(StreamClose(), kNoError);

  test::WriteFileText(dir / "long", std::string(255, 'a') + "\n" + std::string(256, 'b') + "\n");
  spec = Spec("long");
  ASSERT_EQ(OpenStreamForReading(spec), kNoError);
  EXPECT_EQ(StreamReadLine(line), kNoError);
  EXPECT_EQ(line.length, 255);
  EXPECT_EQ(StreamReadLine(line), kWriteError);
  EXPECT_EQ(services.Texts(ShownKind::Stop),
            (std::vector<std::string>{"Error: File error has occured.", "Error: File error has occured."}));
}

TEST_F(Stream, LinesAndBytesAcrossBufferRefills) {
  // A line that straddles the end of the first buffer full, then binary data beyond it.
  std::string text(kStreamBufferSize - 3, '\n');
  text += "straddle\n";
  text += std::string("\x01\x02\x03\x04\x05\x06", 6);
  test::WriteFileText(dir / "big", text);
  FileSpec spec = Spec("big");
  ASSERT_EQ(OpenStreamForReading(spec), kNoError);
  EXPECT_EQ(StreamFileSize(), int64_t(text.size()));
  CountedString line;
  ASSERT_EQ(StreamReadLine(line), kNoError);
  EXPECT_EQ(View(line), "straddle");
  uint16_t u16 = 0;
  EXPECT_EQ(StreamReadU16(u16), kNoError);
  EXPECT_EQ(u16, 0x0102);
  EXPECT_EQ(StreamSkip(2), kNoError);
  uint8_t last[3];
  EXPECT_EQ(StreamReadBytes(last, 3), kWriteError);  // only two bytes remain
}

TEST_F(Stream, WritesCollectAcrossTheBufferAndFinishCutsTheFile) {
  test::WriteFileText(dir / "out.dxf", std::string(kStreamBufferSize * 3, 'z'));
  FileSpec spec = Spec("out.dxf");
  ASSERT_EQ(OpenStreamForWriting(spec), kNoError);
  std::string block(1000, 'q');
  size_t written = 0;
  while (written < kStreamBufferSize + 5000) {
    ASSERT_EQ(StreamWriteText(block), kNoError);
    written += block.size();
  }
  EXPECT_EQ(StreamWriteInteger(-12), kNoError);
  EXPECT_EQ(StreamWriteText(TextToCountedString(" ")), kNoError);
  EXPECT_EQ(StreamWriteFloat(1.5f), kNoError);
  EXPECT_EQ(StreamWriteU32(0x41424344), kNoError);
  EXPECT_EQ(StreamFlush(), kNoError);
  EXPECT_EQ(StreamFinish(), kNoError);
  std::string result = test::ReadFileText(dir / "out.dxf");
  EXPECT_EQ(result.size(), written + 17);
  EXPECT_EQ(result.substr(written), "-12 1.5000000ABCD");
}

TEST_F(Stream, AppendingWritesAfterTheEnd) {
  test::WriteFileText(dir / "log", "first\n");
  FileSpec spec = Spec("log");
  ASSERT_EQ(OpenStreamForAppending(spec), kNoError);
  EXPECT_EQ(StreamWriteText(std::string_view("second\n")), kNoError);
  EXPECT_EQ(StreamClose(), kNoError);
  EXPECT_EQ(test::ReadFileText(dir / "log"), "first\nsecond\n");
}

TEST_F(Stream, OpenFailureIsReported) {
  FileSpec spec = Spec("nothing-here");
  EXPECT_EQ(OpenStreamForReading(spec), kFileNotFound);
  EXPECT_EQ(services.Texts(ShownKind::Stop), std::vector<std::string>{"Error: File error has occured."});
}

TEST_F(Stream, AskAndOpenStreamUsesTheSaveDialog) {
  services.saveAnswers.push_back(FileChoice{dir / "export", 1});
  FileSpec spec;
  ASSERT_EQ(AskAndOpenStream(FourCC("TEXT"), spec), kNoError);
  EXPECT_EQ(PathOfSpec(spec), dir / "export.dxf");
  EXPECT_EQ(StreamWriteText(std::string_view("0\nEOF\n")), kNoError);
  EXPECT_EQ(StreamFinish(), kNoError);
  EXPECT_EQ(test::ReadFileText(dir / "export.dxf"), "0\nEOF\n");
  FileSpec cancelled;
  EXPECT_EQ(AskAndOpenStream(FourCC("TEXT"), cancelled), kCancelled);
}

}  // namespace
}  // namespace tsv
