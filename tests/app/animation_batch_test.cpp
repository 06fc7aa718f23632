// The keyframe batch commands, run as the real program: keys set into an object file, an animation
// as a GIF, a movie and frame files, frames spread over two processes assembled into the same GIF a
// single run writes, a stop by signal keeping finished frames, and the refusals writing nothing.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/program_fixture.h"
#include "tests/support/temp_dir.h"

namespace tsv {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class AnimationBatch : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir / "work");
    ASSERT_EQ(Run({"new", "organic:sphere", dir / "ball.cmf"}), 0) << Err();
    ASSERT_EQ(Run({"deform", dir / "ball.cmf", dir / "small.cmf", "Scale", "40"}), 0) << Err();
    ASSERT_EQ(Run({"deform", dir / "ball.cmf", dir / "twisted.cmf", "Twist", "100"}), 0) << Err();
    ASSERT_EQ(Run({"keyframes", dir / "ball.cmf", dir / "keyed.cmf", "1=" + dir / "small.cmf", "3=" + dir / "twisted.cmf"}), 0)
        << Err();
  }
  std::vector<std::string> Environment() {
    return {"XDG_CONFIG_HOME=" + (dir / "config"), "TMPDIR=" + dir.str(), "HOME=" + dir.str()};
  }
  test::Process Begin(const std::vector<std::string>& args, const std::string& log) {
    return test::Start(args, Environment(), dir / (log + ".out"), dir / (log + ".err"));
  }
  int Run(const std::vector<std::string>& args) {
    test::Process p = Begin(args, "run");
    return test::WaitForExit(p, 120s);
  }
  std::string Err() { return test::ReadFileText(dir / "run.err"); }
  std::vector<std::string> Files(const std::string& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir / folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  // Scratch folders of runs left in the temporary folder (each run makes and removes its own).
  int ScratchFolders() {
    int count = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir.path))
      if (entry.path().filename().string().rfind("Tessivar temp-", 0) == 0 && entry.path().filename().string().find('.') != std::string::npos)
        ++count;
    return count;
  }

  test::TempDir dir;
};

TEST_F(AnimationBatch, KeysAnimateIntoAGifAMovieAndFramesThatTwoRunsShare) {
  const std::string keyed = test::ReadFileText(dir / "keyed.cmf");
  EXPECT_NE(keyed.find("KFR0"), std::string::npos);
  EXPECT_NE(keyed.find("KFR2"), std::string::npos);
  EXPECT_EQ(keyed.find("KFR1"), std::string::npos);

  ASSERT_EQ(Run({"animate", dir / "keyed.cmf", dir / "work/one.gif", "--frames", "10", "--fps", "5", "--size", "80x60"}), 0)
      << Err();
  ASSERT_EQ(Run({"animate", dir / "keyed.cmf", dir / "work/one.mov", "--frames", "10", "--size", "80x60", "--codec", "png"}), 0)
      << Err();
  const std::string movie = test::ReadFileText(dir / "work/one.mov");
  EXPECT_NE(movie.find("moov"), std::string::npos);

  // The run split in two processes side by side, then assembled: the GIF of the single run.
  test::Process first = Begin({"animate", dir / "keyed.cmf", "--frames-out", dir / "frames", "--frames", "10", "--size",
                               "80x60", "--from", "0", "--to", "4"},
                              "first");
  test::Process second = Begin({"animate", dir / "keyed.cmf", "--frames-out", dir / "frames", "--frames", "10", "--size",
                                "80x60", "--from", "5", "--to", "9"},
                               "second");
  ASSERT_EQ(test::WaitForExit(first, 120s), 0) << test::ReadFileText(dir / "first.err");
  ASSERT_EQ(test::WaitForExit(second, 120s), 0) << test::ReadFileText(dir / "second.err");
  EXPECT_EQ(Files("frames").size(), 10u);
  EXPECT_EQ(Files("frames").front(), "frame-000000.png");
  ASSERT_EQ(Run({"assemble", dir / "frames", dir / "work/two.gif", "--fps", "5"}), 0) << Err();
  EXPECT_EQ(test::ReadFileText(dir / "work/two.gif"), test::ReadFileText(dir / "work/one.gif"));
  EXPECT_EQ(ScratchFolders(), 0);

  // The frames differ from one end to the other: the keys really move the shape.
  EXPECT_NE(test::ReadFileText(dir / "frames/frame-000000.png"), test::ReadFileText(dir / "frames/frame-000009.png"));
}

TEST_F(AnimationBatch, ASignalEndsTheRunKeepingFinishedFrames) {
  test::Process run = Begin({"animate", dir / "keyed.cmf", "--frames-out", dir / "many", "--frames", "2000", "--size",
                             "320x240"},
                            "many");
  for (int i = 0; i < 600 && (!fs::exists(dir / "many") || Files("many").size() < 2); ++i) std::this_thread::sleep_for(50ms);
  ASSERT_GE(Files("many").size(), 2u) << test::ReadFileText(dir / "many.err");
  ::kill(run.pid, SIGTERM);
  EXPECT_EQ(test::WaitForExit(run, 60s), 1);
  const std::vector<std::string> kept = Files("many");
  EXPECT_LT(kept.size(), 2000u);
  for (const std::string& name : kept) EXPECT_EQ(name.rfind("frame-", 0), 0u) << name;  // no temporary left
  EXPECT_NE(test::ReadFileText(dir / "many.err").find("kept"), std::string::npos);
  EXPECT_EQ(ScratchFolders(), 0);
}

TEST_F(AnimationBatch, RefusalsSayWhyAndWriteNothing) {
  fs::create_directories(dir / "gap");
  ASSERT_EQ(Run({"animate", dir / "keyed.cmf", "--frames-out", dir / "gap", "--frames", "4", "--size", "40x30"}), 0) << Err();
  fs::remove(dir / "gap/frame-000001.png");
  ASSERT_EQ(Run({"new", "synthetic:cube", dir / "cube.cmf"}), 0) << Err();
  struct Case {
    std::vector<std::string> args;
    std::string said;
  };
  const Case cases[] = {
      {{"animate", dir / "ball.cmf", dir / "work/x.gif"}, "has no keyframes"},
      {{"animate", dir / "keyed.cmf", dir / "work/x.gif", "--fps", "150"}, "1 to 100"},
      {{"animate", dir / "keyed.cmf", dir / "work/x.gif", "--fps", "0"}, "--fps"},
      {{"animate", dir / "keyed.cmf", dir / "work/x.gif", "--from", "2"}, "--frames-out"},
      {{"animate", dir / "keyed.cmf", "--frames-out", dir / "work", "--frames", "5", "--to", "5"}, "range"},
      {{"animate", dir / "keyed.cmf", dir / "work/x.mov", "--codec", "nonesuch"}, "unknown codec"},
      {{"animate", dir / "keyed.cmf", dir / "work/x.avi"}, ".gif or .mov"},
      {{"animate", dir / "keyed.cmf", dir / "work/x.gif", "--time", "2", "--frames", "3"}, "not both"},
      {{"animate", dir / "keyed.cmf", dir / "work/x.gif", "--no-transition", "size,colour"}, "--no-transition"},
      {{"keyframes", dir / "ball.cmf", dir / "work/x.cmf", "2=" + dir / "cube.cmf"}, "other points or triangles"},
      {{"keyframes", dir / "ball.cmf", dir / "work/x.cmf", "9=" + dir / "small.cmf"}, "expected K=KEY.cmf"},
      {{"assemble", dir / "gap", dir / "work/x.gif", "--fps", "5"}, "frame"},
      {{"assemble", dir / "gap", dir / "work/x.gif"}, "--fps"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.args), 1) << c.args[0] << " " << c.said;
    EXPECT_NE(Err().find(c.said), std::string::npos) << Err();
  }
  EXPECT_TRUE(Files("work").empty());
}

}  // namespace
}  // namespace tsv
