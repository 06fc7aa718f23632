// The real program, started as its own process: the command line, the start-up of the window (SDL's
// offscreen video), the hand-over of a later start, and the orderly shutdown on a quit request.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/platform_state.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"
#include "tests/app/program_fixture.h"
#include "tests/support/temp_dir.h"

namespace tsv {
namespace {

using namespace std::chrono_literals;
using test::Process;
using test::Start;
using test::WaitForExit;
using test::WaitForFile;
using test::SmallBmp;

class Program : public testing::Test {
 protected:
  std::vector<std::string> Environment() {
    return {"SDL_VIDEODRIVER=offscreen", "XDG_RUNTIME_DIR=" + dir.str(), "XDG_CONFIG_HOME=" + (dir / "config"),
            "TMPDIR=" + dir.str(), "HOME=" + dir.str()};
  }
  std::string SocketPath() { return dir / ("tessivar-" + std::to_string(::getuid()) + ".socket"); }
  test::TempDir dir;
};

TEST_F(Program, VersionAndBadOptions) {
  Process version = Start({"--version"}, Environment(), dir / "out", dir / "err");
  EXPECT_EQ(WaitForExit(version, 30s), 0);
  EXPECT_EQ(test::ReadFileText(dir / "out"), "Tessivar 1.0.0\n");
  Process bad = Start({"--frobnicate"}, Environment(), dir / "out", dir / "err");
  EXPECT_EQ(WaitForExit(bad, 30s), 1);
  EXPECT_NE(test::ReadFileText(dir / "err").find("unknown option --frobnicate"), std::string::npos);
}

TEST_F(Program, RunsUntilAskedToQuitHandsOverLaterStartsAndWritesItsPreferences) {
  Process first = Start({}, Environment(), dir / "first.out", dir / "first.err");
  ASSERT_GT(first.pid, 0);
  ASSERT_TRUE(WaitForFile(SocketPath(), 60s)) << test::ReadFileText(dir / "first.err");

  // A second start hands its file to the first and ends without a window of its own.
  std::string handed = dir / "handed-over.xyz";
  Process second = Start({handed}, Environment(), dir / "second.out", dir / "second.err");
  EXPECT_EQ(WaitForExit(second, 30s), 0);
  std::string firstErr;
  for (int i = 0; i < 200 && firstErr.find(handed) == std::string::npos; ++i) {
    std::this_thread::sleep_for(50ms);
    firstErr = test::ReadFileText(dir / "first.err");
  }
  EXPECT_NE(firstErr.find("Can't open " + handed + ": Unknown file type."), std::string::npos) << firstErr;

  // The system's quit request goes through the same orderly shutdown as closing the window.
  ASSERT_EQ(::kill(first.pid, SIGTERM), 0);
  EXPECT_EQ(WaitForExit(first, 60s), 0) << test::ReadFileText(dir / "first.err");
  EXPECT_EQ(test::ReadFileBytes(dir / "config/Tessivar/Tessivar 1.0 Prefs").size(), 156u);
  EXPECT_FALSE(std::filesystem::exists(SocketPath()));
}

TEST_F(Program, BatchInfoAndProjectUseTheNativeFiles) {
  // An object file written by the program's own writer.
  platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
  ASSERT_TRUE(InitScene());
  {
    std::unique_ptr<SceneObject> object = NewSceneObject(3, 1);
    ASSERT_TRUE(object);
    ASSERT_TRUE(SaveObjectToFile(*object, FileSpecForPath(dir / "Rock.cmf", kObjectFileType)));
    DisposeSceneObject(object);
  }
  ShutdownScene();

  Process project = Start({"project", dir / "Scene.cma", dir / "Rock.cmf"}, Environment(), dir / "out", dir / "err");
  ASSERT_EQ(WaitForExit(project, 60s), 0) << test::ReadFileText(dir / "err");
  EXPECT_TRUE(std::filesystem::exists(dir / "Objects/Rock.cmf"));
  Process info = Start({"info", dir / "Scene.cma"}, Environment(), dir / "out", dir / "err");
  ASSERT_EQ(WaitForExit(info, 60s), 0) << test::ReadFileText(dir / "err");
  EXPECT_NE(test::ReadFileText(dir / "out").find("Rock"), std::string::npos) << test::ReadFileText(dir / "out");

  Process missing = Start({"info", dir / "Nothing.cmf"}, Environment(), dir / "out", dir / "err");
  EXPECT_EQ(WaitForExit(missing, 60s), 1);
  EXPECT_NE(test::ReadFileText(dir / "err").find("cannot read " + (dir / "Nothing.cmf") + ": No such file"),
            std::string::npos);
}

TEST_F(Program, BatchViewDrawsTheSphereAsTheModelingViewDoes) {
  Process view = Start({"view", "sphere", dir / "sphere.bmp", "--view", "3", "--mode", "depth"}, Environment(),
                       dir / "out", dir / "err");
  ASSERT_EQ(WaitForExit(view, 60s), 0) << test::ReadFileText(dir / "err");
  std::vector<uint8_t> bmp = test::ReadFileBytes(dir / "sphere.bmp");
  ASSERT_EQ(bmp.size(), 54u + 400 * 400 * 3);
  // The centre of the view shows the sphere, a corner the black background.
  auto pixel = [&](int x, int y) { return bmp[54 + size_t(399 - y) * 1200 + size_t(x) * 3 + 1]; };
  EXPECT_GT(pixel(200, 200), 0);
  EXPECT_EQ(pixel(2, 2), 0);

  Process bad = Start({"view", "sphere", dir / "x.png", "--mode", "wireframe"}, Environment(), dir / "out", dir / "err");
  EXPECT_EQ(WaitForExit(bad, 60s), 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "x.png"));
}

TEST_F(Program, BatchPictureConvertsEveryWritableTypeAndBack) {
  const std::vector<uint8_t> source = SmallBmp();
  test::WriteFileBytes(dir / "in.bmp", source);
  const bool haveImageMagick = std::system("command -v convert > /dev/null 2>&1") == 0;
  const std::vector<uint8_t> rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 255, 255, 0};
  struct Case {
    const char* name;
    std::vector<std::string> options;
    bool imageMagickReads;
  };
  const Case cases[] = {{"plain.png", {}, true},
                        {"plain.gif", {"--no-dither"}, true},
                        {"dithered.gif", {"--dither", "--interlaced", "--alpha"}, true},
                        {"plain.tif", {}, true},
                        {"alpha.tif", {"--alpha"}, true},
                        {"plain.img", {}, false},
                        {"packed.img", {"--compressed", "--alpha"}, false},
                        {"copy.bmp", {}, true}};
  for (const Case& c : cases) {
    std::vector<std::string> args = {"picture", dir / "in.bmp", dir / c.name};
    args.insert(args.end(), c.options.begin(), c.options.end());
    Process convert = Start(args, Environment(), dir / "out", dir / "err");
    ASSERT_EQ(WaitForExit(convert, 60s), 0) << c.name << ": " << test::ReadFileText(dir / "err");
    Process back = Start({"picture", dir / c.name, dir / "back.bmp"}, Environment(), dir / "out", dir / "err");
    ASSERT_EQ(WaitForExit(back, 60s), 0) << c.name << ": " << test::ReadFileText(dir / "err");
    EXPECT_EQ(test::ReadFileBytes(dir / "back.bmp"), source) << c.name;
    if (haveImageMagick && c.imageMagickReads) {
      const std::string command = "convert '" + (dir / c.name) + "' -depth 8 'rgb:" + (dir / "raw") + "' 2>/dev/null";
      ASSERT_EQ(std::system(command.c_str()), 0) << c.name;
      EXPECT_EQ(test::ReadFileBytes(dir / "raw"), rgb) << c.name << " as ImageMagick reads it";
    }
  }
}

TEST_F(Program, BatchPictureRefusesWhatItCannotReadOrWrite) {
  Process missing = Start({"picture", dir / "none.png", dir / "out.bmp"}, Environment(), dir / "out", dir / "err");
  EXPECT_EQ(WaitForExit(missing, 60s), 1);
  EXPECT_NE(test::ReadFileText(dir / "err").find("cannot read " + (dir / "none.png") + ": No such file"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "out.bmp"));

  test::WriteFileBytes(dir / "in.bmp", SmallBmp());
  Process pict = Start({"picture", dir / "in.bmp", dir / "out.pct"}, Environment(), dir / "out", dir / "err");
  EXPECT_EQ(WaitForExit(pict, 60s), 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "out.pct"));

  std::vector<uint8_t> broken = SmallBmp();
  broken.resize(60);
  test::WriteFileBytes(dir / "broken.bmp", broken);
  test::WriteFileBytes(dir / "keep.png", {1, 2, 3});
  Process bad = Start({"picture", dir / "broken.bmp", dir / "keep.png"}, Environment(), dir / "out", dir / "err");
  EXPECT_EQ(WaitForExit(bad, 60s), 1);
  EXPECT_EQ(test::ReadFileBytes(dir / "keep.png"), (std::vector<uint8_t>{1, 2, 3})) << "the target is left alone";
}

TEST_F(Program, BatchRefusalsSayWhyAndNeverOpenTheWindow) {
  // A command word alone is that command, short of its arguments: its usage, never the window.
  for (const char* command : {"info", "view", "new", "deform", "picture", "replay", "project", "quorvels"}) {
    Process bare = Start({command}, Environment(), dir / "out", dir / "err");
    EXPECT_EQ(WaitForExit(bare, 30s), 1) << command;
    const std::string err = test::ReadFileText(dir / "err");
    EXPECT_NE(err.find(std::string("usage: tessivar ") + command), std::string::npos) << err;
    EXPECT_EQ(err.find("tessivar info FILE"), std::string(command) == "info" ? err.find("tessivar info FILE")
                                                                                : std::string::npos)
        << "only the command's own usage: " << err;
  }

  // Every refusal names its reason.
  Process folder = Start({"view", dir.str(), dir / "out.png"}, Environment(), dir / "out", dir / "err");
  EXPECT_EQ(WaitForExit(folder, 60s), 1);
  EXPECT_NE(test::ReadFileText(dir / "err").find("cannot read " + dir.str() + ": it is a folder"), std::string::npos)
      << test::ReadFileText(dir / "err");
  EXPECT_FALSE(std::filesystem::exists(dir / "out.png"));

  // A full disk is a failed save, whatever names it; the device stays what it is.
  std::filesystem::create_symlink("/dev/full", dir / "full.png");
  std::filesystem::create_symlink("/dev/full", dir / "full.cmf");
  Process view = Start({"view", "sphere", dir / "full.png"}, Environment(), dir / "out", dir / "err");
  EXPECT_EQ(WaitForExit(view, 60s), 1) << test::ReadFileText(dir / "err");
  EXPECT_NE(test::ReadFileText(dir / "err").find("Error: File error has occured."), std::string::npos);
  Process made = Start({"new", "organic:sphere", dir / "full.cmf"}, Environment(), dir / "out", dir / "err");
  EXPECT_EQ(WaitForExit(made, 60s), 1) << test::ReadFileText(dir / "err");
  struct stat info;
  ASSERT_EQ(::stat("/dev/full", &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "full.cmf"));

  // Standard output, named through a link, takes the picture.
  std::filesystem::create_symlink("/dev/stdout", dir / "stdout.bmp");
  Process toOutput = Start({"view", "sphere", dir / "stdout.bmp"}, Environment(), dir / "picture", dir / "err");
  EXPECT_EQ(WaitForExit(toOutput, 60s), 0) << test::ReadFileText(dir / "err");
  EXPECT_EQ(test::ReadFileText(dir / "picture").substr(0, 2), "BM");
}

// One 60-byte task step as task files hold it (big-endian), in the front view at zoom 1.
void AppendTaskStep(std::vector<uint8_t>& file, const char code[3], int16_t value1) {
  std::vector<uint8_t> record(60, 0);
  auto put16 = [&](size_t at, uint16_t v) {
    record[at] = uint8_t(v >> 8);
    record[at + 1] = uint8_t(v);
  };
  put16(0, uint16_t((uint8_t(code[0]) << 8) | uint8_t(code[1])));
  put16(4, uint16_t(value1));
  record[28] = 0x3F;  // zoom 1.0f
  record[29] = 0x80;
  put16(32, 200);  // view centre
  put16(34, 200);
  put16(36, 128);  // brush depth, size, spacing, shape
  put16(38, 128);
  put16(40, 128);
  put16(42, 1);
  put16(50, 1);  // the modeling room
  file.insert(file.end(), record.begin(), record.end());
}

TEST_F(Program, BatchReplayRepeatsATaskFileAtItsStrength) {
  std::vector<uint8_t> tasks;
  AppendTaskStep(tasks, "SP", 200);
  AppendTaskStep(tasks, "EN", 0);
  test::WriteFileBytes(dir / "spiky.tsks", tasks);
  auto run = [&](const std::vector<std::string>& args) {
    Process p = Start(args, Environment(), dir / "out", dir / "err");
    return WaitForExit(p, 120s);
  };
  ASSERT_EQ(run({"new", "organic:sphere", dir / "ball.cmf"}), 0) << test::ReadFileText(dir / "err");
  ASSERT_EQ(run({"deform", dir / "ball.cmf", dir / "direct.cmf", "Spikes", "200"}), 0) << test::ReadFileText(dir / "err");
  ASSERT_EQ(run({"replay", dir / "spiky.tsks", dir / "ball.cmf", dir / "full.cmf"}), 0) << test::ReadFileText(dir / "err");
  ASSERT_EQ(run({"replay", dir / "spiky.tsks", dir / "ball.cmf", dir / "none.cmf", "--strength", "0"}), 0)
      << test::ReadFileText(dir / "err");
  EXPECT_EQ(run({"replay", dir / "spiky.tsks", dir / "ball.cmf", dir / "bad.cmf", "--strength", "300"}), 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "bad.cmf"));

  platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
  ASSERT_TRUE(InitScene());
  auto points = [&](const std::string& name) {
    std::unique_ptr<SceneObject> object = ReadObjectFile(FileSpecForPath(dir / name, kObjectFileType));
    std::vector<Vec3f> result = object ? object->points : std::vector<Vec3f>{};
    DisposeSceneObject(object);
    return result;
  };
  const std::vector<Vec3f> ball = points("ball.cmf"), direct = points("direct.cmf");
  const std::vector<Vec3f> full = points("full.cmf"), none = points("none.cmf");
  ShutdownScene();
  ASSERT_EQ(ball.size(), 8194u);
  ASSERT_EQ(full.size(), ball.size());
  ASSERT_EQ(none.size(), ball.size());
  ASSERT_EQ(direct.size(), ball.size());
  size_t moved = 0;
  for (size_t i = 0; i < ball.size(); ++i) {
    // Full strength replays the step as the tool applied it; strength 0 changes nothing.
    ASSERT_NEAR(full[i].x, direct[i].x, 1e-3f) << i;
    ASSERT_NEAR(full[i].z, direct[i].z, 1e-3f) << i;
    ASSERT_NEAR(none[i].y, ball[i].y, 1e-3f) << i;
    moved += std::abs(full[i].x - ball[i].x) > 1e-3f ? 1 : 0;
  }
  EXPECT_GT(moved, 1000u);
}

}  // namespace
}  // namespace tsv
