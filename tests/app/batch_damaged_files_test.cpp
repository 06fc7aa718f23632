// The batch commands given damaged files, and outputs they cannot write: each fails with the
// program's own text, and every file it was given or would have replaced stays byte for byte as it
// was, with nothing new left in the folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/app/program_fixture.h"
#include "tests/support/temp_dir.h"

namespace tsv {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Every file and folder below `folder`, with the bytes of the files.
std::map<std::string, Bytes> Snapshot(const std::string& folder) {
  std::map<std::string, Bytes> entries;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    const std::string name = fs::relative(entry.path(), folder).string();
    entries[name + (entry.is_directory() ? "/" : "")] = entry.is_directory() ? Bytes{} : test::ReadFileBytes(entry.path());
  }
  return entries;
}

std::vector<std::string> Names(const std::map<std::string, Bytes>& entries) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : entries) names.push_back(name);
  return names;
}

Bytes Cut(Bytes bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

Bytes Changed(Bytes bytes, const std::function<void(Bytes&)>& change) {
  change(bytes);
  return bytes;
}

void PutU32BE(Bytes& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = uint8_t(value >> (24 - 8 * i));
}

void PutU32LE(Bytes& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = uint8_t(value >> (8 * i));
}

// The start of a baseline JPEG (start of image, the JFIF segment, a quantisation table) that ends
// inside the table.
Bytes CutJpeg() {
  Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01, 0x01, 0x00, 0x00, 0x01,
                0x00, 0x01, 0x00, 0x00, 0xFF, 0xDB, 0x00, 0x43, 0x00};
  for (uint8_t i = 1; i <= 20; ++i) jpeg.push_back(i);
  return jpeg;
}

class BatchDamagedFiles : public testing::Test {
 protected:
  void SetUp() override {
    // Open to every user, so that a command can also run as one whom permissions stop.
    fs::permissions(dir.path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
    fs::create_directories(dir / "tmp");
    fs::permissions(dir / "tmp", fs::perms::all | fs::perms::sticky_bit);
    fs::create_directories(dir / "good");
    fs::create_directories(dir / "work");

    // Sound files, made by the program itself.
    test::WriteFileBytes(dir / "good/small.bmp", test::SmallBmp());
    ASSERT_EQ(Run({"new", "organic:sphere", dir / "good/ball.cmf"}), 0) << Err();
    ASSERT_EQ(Run({"project", dir / "good/Scene.cma", dir / "good/ball.cmf"}), 0) << Err();
    for (const char* kind : {"gif", "tif", "img", "png"}) {
      ASSERT_EQ(Run({"picture", dir / "good/small.bmp", dir / ("good/small." + std::string(kind))}), 0) << Err();
    }
  }

  std::vector<std::string> Environment() {
    return {"SDL_VIDEODRIVER=offscreen", "XDG_RUNTIME_DIR=" + (dir / "tmp"), "XDG_CONFIG_HOME=" + (dir / "config"),
            "TMPDIR=" + (dir / "tmp"), "HOME=" + dir.str()};
  }
  int Run(const std::vector<std::string>& args) {
    test::Process p = test::Start(args, Environment(), dir / "out", dir / "err");
    return test::WaitForExit(p, 120s);
  }
  std::string Err() { return test::ReadFileText(dir / "err"); }
  Bytes Good(const std::string& name) { return test::ReadFileBytes(dir / ("good/" + name)); }

  // Runs the command on the work folder and checks that it failed with `message` and changed nothing.
  void ExpectRefusal(const std::string& name, const std::vector<std::string>& args, const std::string& message,
                     const std::function<int(const std::vector<std::string>&)>& run = {}) {
    const std::map<std::string, Bytes> before = Snapshot(dir / "work");
    EXPECT_EQ(run ? run(args) : Run(args), 1) << name << ": " << Err();
    EXPECT_NE(Err().find(message), std::string::npos) << name << ": " << Err();
    const std::map<std::string, Bytes> after = Snapshot(dir / "work");
    EXPECT_EQ(Names(after), Names(before)) << name << ": no file made, none removed";
    EXPECT_TRUE(after == before) << name << ": every file left as it was";
  }

  test::TempDir dir;
};

TEST_F(BatchDamagedFiles, EachReaderRefusesItsDamagedFileAndNothingIsWritten) {
  const Bytes ball = Good("ball.cmf");
  const Bytes tasksCutInsideAStep(23, 0x41);
  // Angles that are not numbers: no step of this list can be shown.
  const Bytes tasksOfGarbage(120, 0xFF);
  Bytes garbage;
  for (size_t i = 0; i < 3000; ++i) garbage.push_back(uint8_t(i * 37 + 11));

  struct Case {
    const char* name;
    const char* input;  // written into the work folder
    Bytes bytes;
    std::vector<std::string> command;  // "@" stands for the input, "=" for the output
    const char* output;                // in the work folder; nullptr when the command writes none
    bool outputExists;
    std::string message;
  };
  const Case cases[] = {
      {"object cut short", "cut.cmf", Cut(ball, 5000), {"info", "@"}, nullptr, false, "Error: Can't open object."},
      {"preview with impossible counts", "counts.cif",
       Changed(Good("ball.cif"), [](Bytes& b) { PutU32LE(b, 4, 0xFFFFFF7Fu); }), {"info", "@"}, nullptr, false,
       "Error: Can't open object preview."},
      {"optics cut short", "cut.cmo", Bytes(10, 0x40), {"info", "@"}, nullptr, false, "Error: Can't open optics."},
      {"project cut short", "cut.cma", Cut(Good("Scene.cma"), 1000), {"info", "@"}, nullptr, false,
       "Error: Can't open project."},
      {"object whose first chunk is not its head", "magic.cmf",
       Changed(ball, [](Bytes& b) { PutU32BE(b, 0, 0x4A554E4B); }), {"view", "@", "="}, "view.png", true,
       "Error: Can't open object."},
      {"object cut short, to be meshed", "cut-mesh.cmf", Cut(ball, 3000), {"mesh", "@", "=", "--simplify"},
       "meshed.cmf", true, "Error: Can't open object."},
      {"object with impossible counts", "counts.cmf",
       Changed(ball, [](Bytes& b) { PutU32BE(b, 16, 0x7FFFFFFF); }), {"deform", "@", "=", "Spikes", "100"},
       "deformed.cmf", true, "Error: Can't open object."},
      {"object of garbage", "garbage.cmf", garbage, {"replay", dir / "empty.tsks", "@", "="}, "replayed.cmf", false,
       "Error: Can't open object."},
      {"task list of garbage", "garbage.tsks", tasksOfGarbage, {"replay", "@", dir / "good/ball.cmf", "="},
       "replayed.cmf", true, "Note: Damaged steps left out of " + (dir / "work/garbage.tsks") + ": 2."},
      {"task list cut inside a step", "cut.tsks", tasksCutInsideAStep, {"replay", "@", dir / "good/ball.cmf", "="},
       "replayed.cmf", false, "Note: " + (dir / "work/cut.tsks") + " ends inside a step; its last 23 bytes"},
      {"BMP larger than any picture", "huge.bmp",
       Changed(Good("small.bmp"), [](Bytes& b) {
         PutU32LE(b, 18, 30000);
         PutU32LE(b, 22, 30000);
       }),
       {"picture", "@", "="}, "from-bmp.png", true, "Error: Not enough memory."},
      {"GIF cut short", "cut.gif", Cut(Good("small.gif"), Good("small.gif").size() / 2), {"picture", "@", "="},
       "from-gif.bmp", false, "Error: Couldn't load picture."},
      {"Electric Image with a wrong mark", "magic.img", Changed(Good("small.img"), [](Bytes& b) { b[0] = b[1] = 0x5A; }),
       {"picture", "@", "="}, "from-img.tif", true, "Error: Couldn't load picture."},
      {"TIFF cut short", "cut.tif", Cut(Good("small.tif"), Good("small.tif").size() / 2), {"picture", "@", "="},
       "from-tif.gif", true, "Error: Couldn't load picture."},
      {"PNG with a wrong signature", "magic.png", Changed(Good("small.png"), [](Bytes& b) { b[1] = 'Q'; }),
       {"picture", "@", "="}, "from-png.img", false, "Error: Couldn't load picture."},
      {"JPEG cut short", "cut.jpg", CutJpeg(), {"picture", "@", "="}, "from-jpg.png", true,
       "Error: Couldn't load picture."},
  };
  test::WriteFileBytes(dir / "empty.tsks", {});
  for (const Case& c : cases) {
    test::WriteFileBytes(dir / ("work/" + std::string(c.input)), c.bytes);
    std::vector<std::string> args;
    for (const std::string& word : c.command) {
      args.push_back(word == "@" ? dir / ("work/" + std::string(c.input))
                     : word == "=" ? dir / ("work/" + std::string(c.output))
                                   : word);
    }
    const std::string output = c.output != nullptr ? dir / ("work/" + std::string(c.output)) : std::string();
    if (c.output != nullptr) fs::remove(output);
    if (c.outputExists) test::WriteFileText(output, "the previous contents");
    ExpectRefusal(c.name, args, c.message);
    if (c.output != nullptr) {
      EXPECT_EQ(fs::exists(output), c.outputExists) << c.name;
      EXPECT_FALSE(fs::exists(dir / "work/replayed.cif")) << c.name << ": no preview of an object never saved";
    }
  }
}

TEST_F(BatchDamagedFiles, AnOutputThatCannotBeWrittenIsRefusedBeforeAnythingIsDone) {
  test::WriteFileBytes(dir / "work/ball.cmf", Good("ball.cmf"));
  test::WriteFileBytes(dir / "work/small.bmp", Good("small.bmp"));
  test::WriteFileBytes(dir / "work/empty.tsks", {});
  fs::create_directories(dir / "work/folder.png");
  fs::create_directories(dir / "work/folder.cmf");
  fs::create_directories(dir / "work/locked");
  test::WriteFileText(dir / "work/locked/deformed.cmf", "the previous contents");
  fs::permissions(dir / "work/locked", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                           fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);

  ExpectRefusal("output is a folder", {"view", "sphere", dir / "work/folder.png"},
                "tessivar: cannot write " + (dir / "work/folder.png") + ": it is a folder");
  ExpectRefusal("output is a folder", {"replay", dir / "work/empty.tsks", dir / "work/ball.cmf", dir / "work/folder.cmf"},
                "tessivar: cannot write " + (dir / "work/folder.cmf") + ": it is a folder");
  ExpectRefusal("output in a missing folder", {"picture", dir / "work/small.bmp", dir / "work/missing/small.png"},
                "tessivar: cannot write " + (dir / "work/missing/small.png") + ": No such file or directory");
  // No permission stops the superuser; the command then runs as the user nobody.
  auto runWithoutPrivileges = [&](const std::vector<std::string>& args) {
    test::Process p = ::geteuid() == 0 ? test::StartAs(65534, 65534, args, Environment(), dir / "out", dir / "err")
                                       : test::Start(args, Environment(), dir / "out", dir / "err");
    return test::WaitForExit(p, 120s);
  };
  ExpectRefusal("output in a folder that takes no file",
                {"deform", dir / "work/ball.cmf", dir / "work/locked/deformed.cmf", "Spikes", "100"},
                "tessivar: cannot write " + (dir / "work/locked/deformed.cmf") + ": Permission denied",
                runWithoutPrivileges);
  fs::permissions(dir / "work/locked", fs::perms::owner_all);
}

// The mesh command: the pipeline, the mirror and the merge in one run with the counts printed; a
// result it refuses, a hierarchy it was not told to drop, or an unknown option writes nothing.
TEST_F(BatchDamagedFiles, TheMeshCommandWritesOnlyWhatSucceeded) {
  const std::string ball = dir / "good/ball.cmf";
  ASSERT_EQ(Run({"mesh", ball, dir / "work/quad.cmf", "--quad", "--mirror", "x", "--merge", ball}), 0) << Err();
  const std::string out = test::ReadFileText(dir / "out");
  EXPECT_NE(out.find("before: 8194 points, 16384 triangles"), std::string::npos) << out;
  EXPECT_NE(out.find("after: 40964 points, 81920 triangles"), std::string::npos) << out;
  ASSERT_EQ(Run({"info", dir / "work/quad.cmf"}), 0) << Err();
  EXPECT_NE(test::ReadFileText(dir / "out").find("81920"), std::string::npos);

  ASSERT_EQ(Run({"new", "synthetic:front-plain", dir / "good/plain.cmf", "--x", "1", "--y", "1"}), 0) << Err();
  test::WriteFileText(dir / "work/simple.cmf", "the previous contents");
  ExpectRefusal("too simple", {"mesh", dir / "good/plain.cmf", dir / "work/simple.cmf", "--simplify", "--no-protect-borders"},
                "Error: Simplified object is too simple.");
  ExpectRefusal("unknown option", {"mesh", ball, dir / "work/simple.cmf", "--shiny"}, "unknown option --shiny");
  ExpectRefusal("bad axis", {"mesh", ball, dir / "work/simple.cmf", "--mirror", "w"}, "--mirror takes x, y or z");
}

}  // namespace
}  // namespace tsv
