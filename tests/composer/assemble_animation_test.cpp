// Assembling frame files into one animation: frames in number order from the lowest, and folders
// that must be refused (gaps, sizes that differ, no frames, frames that are not PNG) with nothing
// written.
#include <gtest/gtest.h>

#include "composer/assemble_animation.h"
#include "formats/picture_writers.h"
#include "tests/composer/movie_fixture.h"

namespace tsv {
namespace {

using test::TempDir;

class AssembleAnimationTest : public testing::Test {
 protected:
  // Frame file `number` holding MovieFrame(index) of the given size.
  void WriteFrame(int64_t number, int index, int width = 32, int height = 24) {
    ASSERT_EQ(WritePngFile(frames / AnimationFrameFileName(number), test::MovieFrame(width, height, index), width,
                           height),
              kNoError);
  }

  ScriptedServices services;
  TempDir frames;
  TempDir out;
};

TEST_F(AssembleAnimationTest, FrameNames) {
  EXPECT_EQ(AnimationFrameFileName(0), "frame-000000.png");
  EXPECT_EQ(AnimationFrameFileName(999999), "frame-999999.png");
}

TEST_F(AssembleAnimationTest, FramesGoInNumberOrderFromTheLowest) {
  // Written out of order, starting at 7 (a range rendered by a second process), with files
  // beside them that are not frames.
  for (int64_t number : {9, 7, 11, 8, 10}) WriteFrame(number, int(number - 7));
  test::WriteFileText(frames / "frame-12.png", "not a frame name");
  test::WriteFileText(frames / "notes.txt", "left by the user");
  for (const char* name : {"a.mov", "a.gif"}) {
    std::string error = "stale";
    const bool gif = std::string(name).ends_with(".gif");
    AnimationOutputOptions options = test::OutputOf(gif ? kAnimatedGifOutputType : FourCC("png "));
    ASSERT_EQ(AssembleAnimation(frames.str(), out / name, 15, options, error), kNoError) << error;
    EXPECT_EQ(error, "");
    const test::PlayedMovie played = test::PlayMovie(out / name, 32, 24);
    ASSERT_EQ(played.frames.size(), 5u) << name;
    for (int i = 0; i < 5; ++i) {
      // Exact for PNG; the GIF keeps its fixed palette, within a step of it.
      EXPECT_LE(test::Difference(played.frames[size_t(i)], test::MovieFrame(32, 24, i)).largest, gif ? 51 : 0)
          << name << " frame " << i;
      EXPECT_NEAR(played.seconds[size_t(i)], gif ? 0.06 : 40.0 / 600, 1e-9);
    }
  }
  // A .mov with no movie encoder chosen gets the default one.
  std::string error;
  ASSERT_EQ(AssembleAnimation(frames.str(), out / "b.mov", 15, test::OutputOf(kAnimatedGifOutputType), error),
            kNoError)
      << error;
  EXPECT_EQ(test::PlayMovie(out / "b.mov", 32, 24).frames.size(), 5u);
}

TEST_F(AssembleAnimationTest, RefusesBadFoldersAndWritesNothing) {
  struct Case {
    const char* name;
    std::vector<std::pair<int64_t, int>> frames;  // number, width (height 24)
    const char* output;
    int fps;
    const char* errorNames;  // what the text must name
  };
  const Case cases[] = {
      {"no frames", {}, "a.mov", 15, "no frames"},
      {"gap", {{3, 32}, {4, 32}, {6, 32}}, "a.mov", 15, "frame-000005.png"},
      {"size differs", {{0, 32}, {1, 32}, {2, 30}}, "a.gif", 15, "frame-000002.png is 30 x 24"},
      {"gif too fast", {{0, 32}}, "a.gif", 101, "1 to 100"},
      {"movie too fast", {{0, 32}}, "a.mov", 601, "1 to 600"},
      {"no rate", {{0, 32}}, "a.mov", 0, "1 to 600"},
      {"other ending", {{0, 32}}, "a.mp4", 15, ".gif or .mov"},
  };
  for (const Case& c : cases) {
    TempDir folder;
    for (const auto& [number, width] : c.frames) {
      ASSERT_EQ(WritePngFile(folder / AnimationFrameFileName(number), test::MovieFrame(width, 24, 0), width, 24),
                kNoError);
    }
    TempDir target;
    test::WriteFileText(target / c.output, "kept");
    std::string error;
    EXPECT_EQ(AssembleAnimation(folder.str(), target / c.output, c.fps, test::OutputOf(FourCC("jpeg")), error),
              kMalformed)
        << c.name;
    EXPECT_NE(error.find(c.errorNames), std::string::npos) << c.name << ": " << error;
    EXPECT_EQ(test::ReadFileText(target / c.output), "kept") << c.name;
    EXPECT_EQ(test::FolderNames(target.str()).size(), 1u) << c.name;
  }
}

TEST_F(AssembleAnimationTest, AFrameThatIsNotAPngStopsTheRun) {
  WriteFrame(0, 0);
  WriteFrame(1, 1);
  test::WriteFileText(frames / AnimationFrameFileName(2), "damaged");
  WriteFrame(3, 3);
  std::string error;
  EXPECT_EQ(AssembleAnimation(frames.str(), out / "a.mov", 15, test::OutputOf(FourCC("jpeg")), error), kMalformed);
  EXPECT_NE(error.find("frame-000002.png"), std::string::npos) << error;
  EXPECT_TRUE(test::FolderNames(out.str()).empty());
  EXPECT_EQ(AssembleAnimation(frames.str() + "/missing", out / "a.mov", 15, test::OutputOf(FourCC("jpeg")), error),
            kMalformed);
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
  EXPECT_TRUE(test::FolderNames(out.str()).empty());
}

}  // namespace
}  // namespace tsv
