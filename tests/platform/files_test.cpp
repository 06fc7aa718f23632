// Files with status codes, and the big-endian readers and writers.
#include <gtest/gtest.h>

#include <bit>

#include "platform/files.h"
#include "platform/scripted_services.h"
#include "tests/support/temp_dir.h"

namespace tsv {
namespace {

class Files : public testing::Test {
 protected:
  FileSpec Spec(const std::string& name) { return FileSpecForPath(dir / name, 0); }
  test::TempDir dir;
  ScriptedServices services;
};

TEST_F(Files, OpenModesAndTypeFromName) {
  FileSpec missing = Spec("missing.cmf");
  FileRef file;
  EXPECT_EQ(OpenFile(missing, FileMode::Read, file), kFileNotFound);
  EXPECT_EQ(OpenFile(missing, FileMode::ReadWrite, file), kFileNotFound);
  EXPECT_EQ(file.openFlag, 0);

  FileSpec spec = Spec("Rock.cmf");
  ASSERT_EQ(OpenFile(spec, FileMode::Write, file), kNoError);  // 'w' creates
  EXPECT_EQ(spec.fileTypes[0], FourCC("CMF "));
  EXPECT_EQ(file.openFlag, 1);
  EXPECT_EQ(CloseFile(file), kNoError);

  FileSpec folder = FileSpecForPath(dir.str(), 0);
  EXPECT_EQ(OpenFile(folder, FileMode::Read, file), kFileNotFound);
  EXPECT_TRUE(services.shown.empty());  // open failures are the caller's to report
}

TEST_F(Files, ShortReadIsMinus39AndLeavesTheFileOpen) {
  test::WriteFileBytes(dir / "three", {1, 2, 3});
  FileSpec spec = Spec("three");
  FileRef file;
  ASSERT_EQ(OpenFile(spec, FileMode::Read, file), kNoError);
  uint8_t buffer[4];
  EXPECT_EQ(ReadBytes(file, buffer, 4), kReadError);
  EXPECT_EQ(file.openFlag, 1);
  EXPECT_TRUE(services.shown.empty());
  CloseFileQuietly(file);
}

TEST_F(Files, BigEndianNumbersRoundTrip) {
  FileSpec spec = Spec("numbers");
  ASSERT_EQ(CreateFile(spec), kNoError);
  FileRef file;
  ASSERT_EQ(OpenFile(spec, FileMode::ReadWrite, file), kNoError);
  EXPECT_EQ(WriteU16(file, 0x1234), kNoError);
  EXPECT_EQ(WriteU32(file, 0xA1B2C3D4), kNoError);
  EXPECT_EQ(WriteF32(file, -1.5f), kNoError);
  int64_t size = 0;
  EXPECT_EQ(GetFileSize(file, size), kNoError);
  EXPECT_EQ(size, 10);
  CloseFileQuietly(file);
  EXPECT_EQ(test::ReadFileBytes(dir / "numbers"),
            (std::vector<uint8_t>{0x12, 0x34, 0xA1, 0xB2, 0xC3, 0xD4, 0xBF, 0xC0, 0x00, 0x00}));

  ASSERT_EQ(OpenFile(spec, FileMode::Read, file), kNoError);
  uint16_t u16 = 0;
  uint32_t u32 = 0;
  float f = 0;
  EXPECT_EQ(ReadU16(file, u16), kNoError);
  EXPECT_EQ(u16, 0x1234);
  EXPECT_EQ(ReadU32(file, u32, /*raw=*/true), kNoError);
  EXPECT_EQ(u32, std::bit_cast<uint32_t>(std::array<uint8_t, 4>{0xA1, 0xB2, 0xC3, 0xD4}));
  EXPECT_EQ(ReadF32(file, f), kNoError);
  EXPECT_EQ(f, -1.5f);
  int64_t position = 0;
  EXPECT_EQ(GetFilePosition(file, position), kNoError);
  EXPECT_EQ(position, 10);
  EXPECT_EQ(SetFilePosition(file, -4, SeekFrom::End), kNoError);
  EXPECT_EQ(ReadU32(file, u32), kNoError);
  EXPECT_EQ(u32, 0xBFC00000u);
  EXPECT_EQ(SetFilePosition(file, -100, SeekFrom::Current), kReadError);
  CloseFileQuietly(file);
}

TEST_F(Files, ReportingReadersShowTheErrorAndClose) {
  test::WriteFileBytes(dir / "one", {7});
  FileSpec spec = Spec("one");
  FileRef file;
  ASSERT_EQ(OpenFile(spec, FileMode::Read, file), kNoError);
  uint16_t value = 0;
  EXPECT_EQ(ReadU16Reporting(file, value), kReadError);
  EXPECT_EQ(file.openFlag, 0);
  EXPECT_EQ(services.Texts(ShownKind::Stop), std::vector<std::string>{"Error: File error has occured."});

  ASSERT_EQ(OpenFile(spec, FileMode::Read, file), kNoError);
  float f = 0;
  EXPECT_EQ(ReadF32(file, f), kReadError);
  EXPECT_EQ(file.openFlag, 0);
  EXPECT_EQ(services.Texts(ShownKind::Stop).size(), 2u);
}

TEST_F(Files, FailedWriteShowsTheErrorClosesAndReturns1) {
  test::WriteFileBytes(dir / "readonly", {1});
  FileSpec spec = Spec("readonly");
  FileRef file;
  ASSERT_EQ(OpenFile(spec, FileMode::Read, file), kNoError);
  EXPECT_EQ(WriteU32(file, 5), kWriteError);
  EXPECT_EQ(file.openFlag, 0);
  EXPECT_EQ(services.Texts(ShownKind::Stop), std::vector<std::string>{"Error: File error has occured."});
}

TEST_F(Files, WriteModeKeepsOldBytesUntilTheEndIsSet) {
  test::WriteFileText(dir / "text", "abcdef");
  FileSpec spec = Spec("text");
  FileRef file;
  ASSERT_EQ(OpenFile(spec, FileMode::Write, file), kNoError);
  EXPECT_EQ(WriteBytes(file, "XY", 2), kNoError);
  CloseFileQuietly(file);
  EXPECT_EQ(test::ReadFileText(dir / "text"), "XYcdef");
  ASSERT_EQ(OpenFile(spec, FileMode::Write, file), kNoError);
  EXPECT_EQ(WriteBytes(file, "Q", 1), kNoError);
  EXPECT_EQ(SetEndOfFile(file), kNoError);
  CloseFileQuietly(file);
  EXPECT_EQ(test::ReadFileText(dir / "text"), "Q");
  EXPECT_EQ(CreateFile(spec), kNoError);
  EXPECT_EQ(test::ReadFileText(dir / "text"), "");
}

TEST_F(Files, RenameAndDelete) {
  test::WriteFileText(dir / "old.cmf", "x");
  FileSpec spec = Spec("old.cmf");
  EXPECT_EQ(RenameFile(spec, "new.cmf"), kNoError);
  EXPECT_EQ(PathOfSpec(spec), dir / "new.cmf");
  EXPECT_EQ(test::ReadFileText(dir / "new.cmf"), "x");
  EXPECT_EQ(RenameFile(spec, "../escape.cmf"), kWriteError);  // names only, never a path
  EXPECT_EQ(DeleteFile(spec), kNoError);
  EXPECT_EQ(DeleteFile(spec), kFileNotFound);
}

}  // namespace
}  // namespace tsv
