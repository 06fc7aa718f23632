// native_files_fixture.h: what the native-file tests share: a fresh scene and project in a private
// folder, a big-endian byte builder for files written by hand, and small objects to save.
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_spec.h"
#include "platform/files.h"
#include "scene/native_files.h"
#include "scene/object_file.h"
#include "scene/project.h"
#include "tests/scene/scene_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/reset_all_state.h"

namespace tsv::test {

// Bytes of a file built by hand; numbers big-endian unless named LE.
struct Bytes {
  std::vector<uint8_t> data;

  Bytes& U8(uint8_t v) {
    data.push_back(v);
    return *this;
  }
  Bytes& U16(uint16_t v) { return U8(uint8_t(v >> 8)).U8(uint8_t(v)); }
  Bytes& U32(uint32_t v) { return U16(uint16_t(v >> 16)).U16(uint16_t(v)); }
  Bytes& F32(float v) { return U32(std::bit_cast<uint32_t>(v)); }
  Bytes& Tag(const char (&tag)[5]) {
    data.insert(data.end(), tag, tag + 4);
    return *this;
  }
  Bytes& Zeros(size_t n) {
    data.insert(data.end(), n, 0);
    return *this;
  }
  // A counted string in a field of `size` bytes (length byte first).
  Bytes& Counted(const std::string& text, size_t size = 256) {
    U8(uint8_t(text.size()));
    data.insert(data.end(), text.begin(), text.end());
    return Zeros(size - 1 - text.size());
  }
  Bytes& Append(const Bytes& other) {
    data.insert(data.end(), other.data.begin(), other.data.end());
    return *this;
  }
  // A chunk: tag, the body's length, the body.
  Bytes& Chunk(const char (&tag)[5], const Bytes& body) {
    Tag(tag).U32(uint32_t(body.data.size()));
    return Append(body);
  }
  size_t size() const { return data.size(); }
};

// Replaces a file's contents in place. Tests that rewrite one file thousands of times use this
// rather than truncating it to nothing first, which frees and reallocates its blocks every time.
inline void OverwriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << path;
  ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0), ssize_t(bytes.size()));
  ASSERT_EQ(::ftruncate(fd, off_t(bytes.size())), 0);
  ::close(fd);
}

class NativeFilesFixture : public SceneFixture {
 protected:
  void SetUp() override {
    SceneFixture::SetUp();
    platform.startDirectory = dir.str();
  }

  std::string Path(const std::string& name) const { return dir / name; }
  static FileSpec Spec(const std::string& path, uint32_t type) { return FileSpecForPath(path, type); }
  // The bytes WriteObjectFile gives for `object`, through the file "written.cmf".
  std::vector<uint8_t> WriteToBytes(const SceneObject& object) {
    const std::string path = Path("written.cmf");
    FileSpec spec = Spec(path, kObjectFileType);
    EXPECT_EQ(CreateFile(spec), kNoError);
    FileRef file;
    EXPECT_EQ(OpenFile(spec, FileMode::Write, file), kNoError);
    EXPECT_EQ(WriteObjectFile(file, object), kNoError);
    CloseFileQuietly(file);
    return test::ReadFileBytes(path);
  }
  static bool Exists(const std::string& path) { return std::filesystem::exists(path); }
  // Files in a folder whose names start with '.' (what a save in progress leaves behind).
  static std::vector<std::string> HiddenFiles(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      if (!name.empty() && name[0] == '.') names.push_back(name);
    }
    return names;
  }
  std::vector<std::string> Alerts() const { return services.Texts(ShownKind::Alert); }
  std::vector<std::string> Progress() const { return services.Texts(ShownKind::Progress); }

  TempDir dir;
};

// A small synthetic object: a square of four points made of two triangles, with distinct values
// in every field the object file keeps.
inline std::unique_ptr<SceneObject> MakeSquare(const std::string& name = "Square") {
  std::unique_ptr<SceneObject> object = MakeMesh(4, {Triangle{0, 1, 2}, Triangle{0, 2, 3}});
  if (!object) return nullptr;
  SceneObject& o = *object;
  o.name = TextToCountedString(name);
  o.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0.5f}};
  o.pointColors = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
  o.pointMask = {255, 128, 0, 7};
  o.pointUV = {{0, 0}, {256, 0}, {256, 256}, {0, 256}};
  return object;
}

}  // namespace tsv::test
