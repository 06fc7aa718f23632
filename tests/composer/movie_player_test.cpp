// The player: scaling to the shown size, rewinding, and files from outside that are not what the
// program writes (other formats, cut or damaged movies and GIFs, pipes) giving a status.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <random>
#include <utility>

#include "composer/movie_player.h"
#include "tests/composer/movie_fixture.h"

namespace tsv {
namespace {

using test::TempDir;

TEST(MoviePlayer, ScalesToTheShownSizeAndRewinds) {
  TempDir dir;
  const std::string path = dir / "a.mov";
  ASSERT_EQ(test::WriteMovieFrames(path, 40, 30, 7, 3, test::OutputOf(FourCC("png "))), kNoError);
  MoviePlayer player;
  ASSERT_EQ(player.Open(path, 80, 60), kNoError);
  EXPECT_EQ(player.SourceWidth(), 40);
  EXPECT_EQ(player.SourceHeight(), 30);
  std::vector<uint32_t> pixels(80 * 60, 0xDEADBEEF);
  double seconds = 0;
  bool ended = true;
  ASSERT_EQ(player.NextFrame(pixels, seconds, ended), kNoError);
  EXPECT_FALSE(ended);
  EXPECT_NEAR(seconds, 85.0 / 600, 1e-9);
  for (uint32_t p : pixels) ASSERT_EQ(p >> 24, 0u);
  // The top-left corner of a doubled picture is the source's top-left pixel.
  EXPECT_LE(test::Difference({pixels[0]}, {test::MovieFrame(40, 30, 0)[0]}).largest, 2);
  const std::vector<uint32_t> first = pixels;
  for (int i = 1; i < 3; ++i) ASSERT_EQ(player.NextFrame(pixels, seconds, ended), kNoError);
  std::vector<uint32_t> untouched = pixels;
  ASSERT_EQ(player.NextFrame(pixels, seconds, ended), kNoError);
  EXPECT_TRUE(ended);
  EXPECT_EQ(pixels, untouched);
  ASSERT_EQ(player.Rewind(), kNoError);
  ASSERT_EQ(player.NextFrame(pixels, seconds, ended), kNoError);
  EXPECT_FALSE(ended);
  EXPECT_EQ(pixels, first);
  // A span too short for the shown size is refused.
  std::vector<uint32_t> small(10);
  EXPECT_EQ(player.NextFrame(small, seconds, ended), kMalformed);
}

// The scaler's vector code stores whole blocks: at shown widths that are no multiple of them, not
// one word past the caller's pixels may change.
TEST(MoviePlayer, NothingPastTheShownPixelsIsWritten) {
  TempDir dir;
  for (const uint32_t type : {FourCC("png "), FourCC("jpeg"), FourCC("avc1")}) {
    if (!test::HasEncoder(type)) continue;
    const std::string path = dir / "odd.mov";
    ASSERT_EQ(test::WriteMovieFrames(path, 24, 16, 15, 2, test::OutputOf(type)), kNoError);
    for (const auto& [width, height] : {std::pair{33, 17}, std::pair{7, 5}, std::pair{101, 3}, std::pair{250, 9}}) {
      MoviePlayer player;
      ASSERT_EQ(player.Open(path, width, height), kNoError);
      const size_t shown = size_t(width) * size_t(height);
      std::vector<uint32_t> block(shown + 64, 0xDEADBEEF);
      double seconds = 0;
      bool ended = false;
      ASSERT_EQ(player.NextFrame(std::span<uint32_t>(block.data(), shown), seconds, ended), kNoError);
      for (size_t i = shown; i < block.size(); ++i) ASSERT_EQ(block[i], 0xDEADBEEFu) << width << "x" << height << " " << i;
    }
  }
}

TEST(MoviePlayer, RefusesWhatIsNotAMovieOfOurs) {
  TempDir dir;
  test::WriteFileText(dir / "text.mov", "not a movie at all, just some words in a file");
  test::WriteFileBytes(dir / "empty.gif", {});
  test::WriteFileText(dir / "sig.gif", "GIF89a");
  ASSERT_EQ(::mkfifo((dir / "pipe.mov").c_str(), 0600), 0);
  struct Case {
    std::string path;
    Status expected;
  };
  const Case cases[] = {
      {dir / "missing.mov", kFileNotFound},
      {dir / "text.mov", kMalformed},
      {dir / "empty.gif", kMalformed},
      {dir / "sig.gif", kMalformed},
      {dir / "pipe.mov", kMalformed},  // never read: it could block for ever
      {dir.str(), kMalformed},
  };
  for (const Case& c : cases) {
    MoviePlayer player;
    EXPECT_EQ(player.Open(c.path, 16, 16), c.expected) << c.path;
    EXPECT_FALSE(player.IsOpen());
    std::vector<uint32_t> pixels(16 * 16);
    double seconds = 0;
    bool ended = false;
    EXPECT_EQ(player.NextFrame(pixels, seconds, ended), kMalformed);
  }
  // A picture larger than the player takes.
  const std::string big = dir / "big.mov";
  ASSERT_EQ(test::WriteMovieFrames(big, 64, 64, 15, 1, test::OutputOf(FourCC("png "))), kNoError);
  MoviePlayer player;
  EXPECT_EQ(player.Open(big, 16, 16, 64 * 63), kMalformed);
  EXPECT_EQ(player.Open(big, 16, 16, 64 * 64), kNoError);
  EXPECT_EQ(player.Open(big, 0, 16), kMalformed);
}

// Cuts of a small movie and GIF, and random byte changes, read to the end without a crash; a GIF
// without its trailer still shows every frame.
TEST(MoviePlayer, CutAndDamagedFilesGiveAStatus) {
  TempDir dir;
  for (const char* name : {"cut.mov", "cut.gif"}) {
    const std::string path = dir / name;
    const bool gif = std::string(name).ends_with(".gif");
    ASSERT_EQ(test::WriteMovieFrames(path, 24, 16, 15, 3,
                                     test::OutputOf(gif ? kAnimatedGifOutputType : FourCC("jpeg"))),
              kNoError);
    const std::vector<uint8_t> file = test::ReadFileBytes(path);
    auto play = [&](const std::vector<uint8_t>& bytes, size_t& frames) {
      MoviePlayer player;
      frames = 0;
      Status s = player.OpenBytes(bytes, 24, 16);
      if (s != kNoError) return s;
      std::vector<uint32_t> pixels(24 * 16);
      for (int i = 0; i < 100; ++i) {
        double seconds = 0;
        bool ended = false;
        s = player.NextFrame(pixels, seconds, ended);
        if (s != kNoError || ended) return s;
        EXPECT_GE(seconds, 0.01);
        EXPECT_LE(seconds, 60);
        ++frames;
      }
      ADD_FAILURE() << "a three-frame file gave 100 frames";
      return s;
    };
    size_t frames = 0;
    ASSERT_EQ(play(file, frames), kNoError);
    EXPECT_EQ(frames, 3u);
    const size_t step = std::max<size_t>(1, file.size() / 400);
    for (size_t cut = 0; cut < file.size(); cut += step) {
      const Status s = play(std::vector<uint8_t>(file.begin(), file.begin() + std::ptrdiff_t(cut)), frames);
      EXPECT_TRUE(s == kNoError || s == kMalformed) << name << " cut at " << cut;
      EXPECT_LE(frames, 3u);
    }
    if (gif) {
      EXPECT_EQ(play(std::vector<uint8_t>(file.begin(), file.end() - 1), frames), kNoError);
      EXPECT_EQ(frames, 3u);
    }
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
      std::vector<uint8_t> damaged = file;
      for (int k = 0; k < 4; ++k) damaged[random() % damaged.size()] = uint8_t(random());
      const Status s = play(damaged, frames);
      EXPECT_TRUE(s == kNoError || s == kMalformed) << name << " round " << round;
    }
  }
}

}  // namespace
}  // namespace tsv
