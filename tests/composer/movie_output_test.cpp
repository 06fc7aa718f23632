// The animation writer: the track's time scale and the sample and GIF timings read back from the
// written files, frames read back as they were written, odd sizes, every listed encoder, and
// targets that are never lost when a run is cancelled or fails.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <set>

#include "composer/movie_output.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "tests/composer/movie_fixture.h"

// libx265 (3.5) loses one 1168-byte block in every x265_encoder_open, whoever calls it (the
// ffmpeg program under valgrind shows the same); the leak check of this program passes over what
// that library allocates (its stacks end inside it, so the library is named, not the call).
extern "C" const char* __lsan_default_suppressions() { return "leak:libx265.so\n"; }

namespace tsv {
namespace {

using test::TempDir;

constexpr uint32_t kMjpeg = FourCC("jpeg");
constexpr uint32_t kPng = FourCC("png ");
constexpr uint32_t kAnimation = FourCC("rle ");  // QuickTime Animation
constexpr uint32_t kH264 = FourCC("avc1");

// What libavformat finds in a written movie: the video track's time base, codec tag and size,
// and every packet's time stamps.
struct MovieTrack {
  bool opened = false;
  AVRational timeBase{0, 1};
  uint32_t tag = 0;
  int width = 0;
  int height = 0;
  std::vector<int64_t> pts, dts, durations;
};

MovieTrack ReadTrack(const std::string& path) {
  MovieTrack track;
  AVFormatContext* input = nullptr;
  if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0) return track;
  if (input->nb_streams == 1 && input->streams[0]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
    track.opened = true;
    const AVStream* st = input->streams[0];
    track.timeBase = st->time_base;
    const uint32_t tag = st->codecpar->codec_tag;  // first letter lowest
    track.tag = (tag & 0xFF) << 24 | (tag >> 8 & 0xFF) << 16 | (tag >> 16 & 0xFF) << 8 | tag >> 24;
    track.width = st->codecpar->width;
    track.height = st->codecpar->height;
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(input, packet) >= 0) {
      track.pts.push_back(packet->pts);
      track.dts.push_back(packet->dts);
      track.durations.push_back(packet->duration);
      av_packet_unref(packet);
    }
    av_packet_free(&packet);
  }
  avformat_close_input(&input);
  return track;
}

// The delay of every graphic control extension of a GIF written by us (hundredths), found by
// walking its blocks.
std::vector<int> GifDelays(const std::vector<uint8_t>& file) {
  std::vector<int> delays;
  size_t at = 13 + 768;  // header, screen descriptor, global palette
  while (at < file.size()) {
    const uint8_t block = file[at];
    if (block == 0x3B) break;
    if (block == 0x21) {
      if (at + 1 < file.size() && file[at + 1] == 0xF9 && at + 5 < file.size()) {
        delays.push_back(file[at + 4] | file[at + 5] << 8);
      }
      at += 2;
    } else if (block == 0x2C) {
      at += 10 + 1;  // descriptor, minimum code size
    } else {
      ADD_FAILURE() << "unexpected block " << int(block) << " at " << at;
      break;
    }
    while (at < file.size() && file[at] != 0) at += size_t(file[at]) + 1;  // sub-blocks
    ++at;
  }
  return delays;
}

struct TimingCase {
  int fps;
  int sampleDuration;  // 600ths
  int gifDelay;        // hundredths
};

class MovieTiming : public testing::TestWithParam<TimingCase> {};

TEST_P(MovieTiming, SamplesAndDelaysFollowTheFrameRate) {
  const TimingCase c = GetParam();
  TempDir dir;
  constexpr int kFrames = 4;
  // MJPEG for the native encoder, H.264 for one that buffers frames and has a B-frame habit.
  for (uint32_t type : {kMjpeg, kH264}) {
    if (!test::HasEncoder(type)) continue;
    const std::string path = dir / "timing.mov";
    ASSERT_EQ(test::WriteMovieFrames(path, 48, 32, c.fps, kFrames, test::OutputOf(type)), kNoError);
    const MovieTrack track = ReadTrack(path);
    ASSERT_TRUE(track.opened);
    EXPECT_EQ(track.timeBase.num, 1);
    EXPECT_EQ(track.timeBase.den, 600);
    EXPECT_EQ(track.tag, type);
    EXPECT_EQ(track.width, 48);
    ASSERT_EQ(track.pts.size(), size_t(kFrames));
    for (int i = 0; i < kFrames; ++i) {
      EXPECT_EQ(track.pts[size_t(i)], int64_t(i) * c.sampleDuration) << "packet " << i;
      EXPECT_EQ(track.dts[size_t(i)], track.pts[size_t(i)]) << "packet " << i << " is out of display order";
      EXPECT_EQ(track.durations[size_t(i)], c.sampleDuration) << "packet " << i;
    }
  }
  const std::string gif = dir / "timing.gif";
  MovieWriter writer;
  ASSERT_EQ(writer.Begin(FileSpecForPath(gif, FourCC("GIFf")), 8, 8, c.fps, test::OutputOf(kAnimatedGifOutputType)),
            kNoError);
  EXPECT_EQ(writer.FrameDuration(), c.gifDelay);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(writer.AddFrame(test::MovieFrame(8, 8, i)), kNoError);
  ASSERT_EQ(writer.Finish(), kNoError);
  EXPECT_EQ(GifDelays(test::ReadFileBytes(gif)), std::vector<int>(3, c.gifDelay));
}

INSTANTIATE_TEST_SUITE_P(Rates, MovieTiming,
                         testing::Values(TimingCase{15, 40, 6}, TimingCase{7, 85, 14}, TimingCase{1, 600, 100},
                                         TimingCase{100, 6, 1}));

// Frames come back as written: exactly from the lossless encoders, within the codec's loss from
// the others; at even and odd sizes (where 4:2:0 cannot be used).
struct RoundTripCase {
  const char* name;
  uint32_t outputType;
  uint32_t quality;
  int width, height;
  double meanError;  // per channel
  int largestError;
};

class MovieRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(MovieRoundTrip, FramesReadBackAsWritten) {
  const RoundTripCase c = GetParam();
  if (!test::HasEncoder(c.outputType)) GTEST_SKIP() << "no encoder for " << c.name;
  TempDir dir;
  const std::string path = dir / "round.mov";
  constexpr int kFrames = 5;
  ASSERT_EQ(test::WriteMovieFrames(path, c.width, c.height, 15, kFrames, test::OutputOf(c.outputType, c.quality)),
            kNoError);
  const test::PlayedMovie played = test::PlayMovie(path, c.width, c.height);
  ASSERT_EQ(played.status, kNoError);
  ASSERT_EQ(played.frames.size(), size_t(kFrames));
  for (int i = 0; i < kFrames; ++i) {
    const test::PictureDifference d = test::Difference(played.frames[size_t(i)], test::MovieFrame(c.width, c.height, i));
    EXPECT_LE(d.mean, c.meanError) << "frame " << i;
    EXPECT_LE(d.largest, c.largestError) << "frame " << i;
    EXPECT_NEAR(played.seconds[size_t(i)], 40.0 / 600, 1e-9);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, MovieRoundTrip,
    testing::Values(RoundTripCase{"png", kPng, kQualityNormal, 40, 30, 0, 0},
                    RoundTripCase{"png_odd", kPng, kQualityMinimum, 33, 17, 0, 0},
                    RoundTripCase{"animation_odd", kAnimation, kQualityNormal, 33, 17, 0, 0},
                    RoundTripCase{"hevc_lossless_odd", FourCC("hev1"), kQualityLossless, 33, 17, 0, 0},
                    RoundTripCase{"mjpeg_maximum", kMjpeg, kQualityMaximum, 40, 30, 3.5, 60},
                    RoundTripCase{"mjpeg_odd", kMjpeg, kQualityHigh, 33, 17, 3.5, 80},
                    RoundTripCase{"h264_normal", kH264, kQualityNormal, 40, 30, 5, 80},
                    RoundTripCase{"h264_odd", kH264, kQualityHigh, 33, 17, 3.5, 80},
                    RoundTripCase{"h264_lossless", kH264, kQualityLossless, 40, 30, 1, 3},
                    // MPEG-4 has 4:2:0 only; the odd size still works, with its loss.
                    RoundTripCase{"mpeg4_odd", FourCC("mp4v"), kQualityHigh, 33, 17, 8, 130}),
    [](const testing::TestParamInfo<RoundTripCase>& info) { return std::string(info.param.name); });

TEST(MovieOutput, OddSizesAvoidHalvedChroma) {
  if (!test::HasEncoder(kH264)) GTEST_SKIP();
  TempDir dir;
  MovieWriter writer;
  ASSERT_EQ(writer.Begin(FileSpecForPath(dir / "a.mov", FourCC("MooV")), 40, 30, 15, test::OutputOf(kH264)), kNoError);
  EXPECT_EQ(writer.PixelFormatName(), "yuv420p");  // what players expect
  ASSERT_EQ(writer.Begin(FileSpecForPath(dir / "b.mov", FourCC("MooV")), 41, 30, 15, test::OutputOf(kH264)), kNoError);
  EXPECT_EQ(writer.PixelFormatName(), "yuv444p");
  writer.Abandon();
}

TEST(MovieOutput, GifFramesReadBackThroughThePlayer) {
  TempDir dir;
  const std::string path = dir / "round.gif";
  // Colours of the fixed palette survive exactly.
  auto frame = [](int i) {
    std::vector<uint32_t> pixels(20 * 10);
    for (size_t p = 0; p < pixels.size(); ++p) pixels[p] = (p + size_t(i)) % 3 == 0 ? 0xFF5566u : 0x00D499u * uint32_t(i % 2);
    return pixels;
  };
  MovieWriter writer;
  ASSERT_EQ(writer.Begin(FileSpecForPath(path, FourCC("GIFf")), 20, 10, 15, test::OutputOf(kAnimatedGifOutputType)),
            kNoError);
  for (int i = 0; i < 4; ++i) ASSERT_EQ(writer.AddFrame(frame(i)), kNoError);
  ASSERT_EQ(writer.Finish(), kNoError);
  const test::PlayedMovie played = test::PlayMovie(path, 20, 10);
  ASSERT_EQ(played.status, kNoError);
  ASSERT_EQ(played.frames.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(played.frames[size_t(i)], frame(i)) << "frame " << i;
    EXPECT_NEAR(played.seconds[size_t(i)], 0.06, 1e-9);
  }
}

// Every encoder the list offers either writes a movie the player reads back, or refuses at Begin
// and leaves nothing behind.
TEST(MovieOutput, EveryListedEncoderWritesOrRefusesCleanly) {
  TempDir dir;
  int written = 0;
  for (const MovieEncoder& encoder : ListMovieEncoders()) {
    if (encoder.outputType == kAnimatedGifOutputType) continue;
    const std::string path = dir / "any.mov";
    const Status status = test::WriteMovieFrames(path, 64, 48, 15, 3, test::OutputOf(encoder.outputType));
    if (status != kNoError) {
      EXPECT_EQ(status, kWriteError) << encoder.name;
      EXPECT_TRUE(test::FolderNames(dir.str()).empty()) << encoder.name << " left a file";
      continue;
    }
    ++written;
    const test::PlayedMovie played = test::PlayMovie(path, 64, 48);
    EXPECT_EQ(played.status, kNoError) << encoder.name;
    ASSERT_EQ(played.frames.size(), 3u) << encoder.name;
    // Each frame is nearer to the one written in its place than to the others, whatever the
    // codec's loss (a paletted GIF track keeps little of the colour).
    for (int i = 0; i < 3; ++i) {
      const double own = test::Difference(played.frames[size_t(i)], test::MovieFrame(64, 48, i)).mean;
      EXPECT_LT(own, 40) << encoder.name << " frame " << i;
      for (int j = 0; j < 3; ++j) {
        if (j == i) continue;
        EXPECT_LT(own, test::Difference(played.frames[size_t(i)], test::MovieFrame(64, 48, j)).mean)
            << encoder.name << " frame " << i << " looks like frame " << j;
      }
    }
    std::filesystem::remove(path);
  }
  EXPECT_GE(written, 3);  // at least PNG, MJPEG and QuickTime Animation are built in
}

// Every step of every quality scale opens the encoders whose scales are mapped (a profile or
// level the encoder refuses would fail the run at Begin).
TEST(MovieOutput, EveryQualityOpensTheMappedEncoders) {
  TempDir dir;
  for (uint32_t type : {kPng, kMjpeg, FourCC("mp4v"), kH264, FourCC("hev1"), FourCC("apch")}) {
    if (!test::HasEncoder(type)) continue;
    for (const MovieQualityChoice& choice : MovieQualityChoices()) {
      EXPECT_EQ(test::WriteMovieFrames(dir / "q.mov", 64, 48, 15, 2, test::OutputOf(type, choice.quality)), kNoError)
          << std::hex << type << std::dec << " at quality " << choice.quality;
    }
  }
}

TEST(MovieOutput, ListStartsWithTheGifAndHoldsEachTagOnce) {
  const std::vector<MovieEncoder> encoders = ListMovieEncoders();
  ASSERT_GE(encoders.size(), 3u);
  EXPECT_EQ(encoders[0].name, "Animated GIF");
  EXPECT_EQ(encoders[0].outputType, kAnimatedGifOutputType);
  std::set<uint32_t> tags;
  for (const MovieEncoder& e : encoders) EXPECT_TRUE(tags.insert(e.outputType).second) << e.name;
  for (uint32_t builtIn : {kPng, kMjpeg, kAnimation}) EXPECT_NE(FindMovieEncoder(encoders, builtIn), nullptr);
  // The library's own encoders win over wrappers of outside ones (mpeg4 over libxvid).
  const MovieEncoder* mpeg4 = FindMovieEncoder(encoders, FourCC("mp4v"));
  ASSERT_NE(mpeg4, nullptr);
  EXPECT_EQ(mpeg4->name, "mpeg4");
  EXPECT_EQ(ListMovieEncoders().size(), encoders.size());

  EXPECT_EQ(FindMovieEncoderByName(encoders, "PNG"), FindMovieEncoder(encoders, kPng));
  EXPECT_EQ(FindMovieEncoderByName(encoders, "png "), FindMovieEncoder(encoders, kPng));
  EXPECT_EQ(FindMovieEncoderByName(encoders, "mjpeg"), FindMovieEncoder(encoders, kMjpeg));
  EXPECT_EQ(FindMovieEncoderByName(encoders, "rle"), FindMovieEncoder(encoders, kAnimation));
  EXPECT_EQ(FindMovieEncoderByName(encoders, "no-such-codec"), nullptr);
  EXPECT_EQ(FindMovieEncoderByName(encoders, ""), nullptr);
  const uint32_t fallback = DefaultMovieOutputType();
  EXPECT_EQ(fallback, test::HasEncoder(kH264) ? kH264 : kMjpeg);
}

TEST(MovieOutput, QualityChoicesInListOrder) {
  const std::vector<std::pair<std::string, uint32_t>> expected = {
      {"Minimum", 0}, {"Low", 256}, {"High", 768}, {"Normal", 512}, {"Maximum", 1023}, {"Lossless", 1024}};
  const auto choices = MovieQualityChoices();
  ASSERT_EQ(choices.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(GetString(choices[i].label), expected[i].first);
    EXPECT_EQ(MovieQualityOfChoice(int(i)), expected[i].second);
  }
  EXPECT_EQ(MovieQualityOfChoice(-1), kQualityNormal);
  EXPECT_EQ(MovieQualityOfChoice(6), kQualityNormal);
}

// A quality step reaches the encoder: a lower quality makes a smaller MJPEG movie.
TEST(MovieOutput, QualityChangesTheEncoding) {
  TempDir dir;
  std::vector<uintmax_t> sizes;
  for (uint32_t quality : {kQualityMinimum, kQualityNormal, kQualityMaximum}) {
    const std::string path = dir / ("q" + std::to_string(quality) + ".mov");
    ASSERT_EQ(test::WriteMovieFrames(path, 64, 48, 15, 2, test::OutputOf(kMjpeg, quality)), kNoError);
    sizes.push_back(std::filesystem::file_size(path));
  }
  EXPECT_LT(sizes[0], sizes[1]);
  EXPECT_LT(sizes[1], sizes[2]);
}

// ---------------------------------------------------------------------------------------------
// The target is never lost

class MovieTarget : public testing::TestWithParam<uint32_t> {
 protected:
  void SetUp() override {
    if (GetParam() != kAnimatedGifOutputType && !test::HasEncoder(GetParam())) GTEST_SKIP();
    test::WriteFileText(target, "the previous animation");
  }
  FileSpec Spec() const { return FileSpecForPath(target, FourCC("MooV")); }
  void ExpectTargetKept() const {
    EXPECT_EQ(test::ReadFileText(target), "the previous animation");
    EXPECT_EQ(test::FolderNames(dir.str()), std::vector<std::string>{"anim"});
  }

  ScriptedServices services;  // a failing GIF save shows its file error here
  TempDir dir;
  std::string target = dir / "anim";
};

TEST_P(MovieTarget, CancelAbandonAndDroppingKeepTheTarget) {
  for (int way = 0; way < 3; ++way) {
    {
      MovieWriter writer;
      ASSERT_EQ(writer.Begin(Spec(), 32, 24, 15, test::OutputOf(GetParam())), kNoError);
      ASSERT_EQ(writer.AddFrame(test::MovieFrame(32, 24, 0)), kNoError);
      if (way == 0) {
        EXPECT_EQ(writer.End(123), 123);  // the user cancelled the frame loop
      } else if (way == 1) {
        writer.Abandon();
      }
      // way 2: the writer goes out of scope unfinished
    }
    ExpectTargetKept();
  }
}

TEST_P(MovieTarget, FailuresKeepTheTarget) {
  MovieWriter writer;
  // A frame of the wrong size ends the writer.
  ASSERT_EQ(writer.Begin(Spec(), 32, 24, 15, test::OutputOf(GetParam())), kNoError);
  EXPECT_EQ(writer.AddFrame(std::vector<uint32_t>(32 * 23)), kMalformed);
  EXPECT_FALSE(writer.IsOpen());
  EXPECT_EQ(writer.AddFrame(test::MovieFrame(32, 24, 0)), kWriteError);
  EXPECT_EQ(writer.Finish(), kWriteError);
  ExpectTargetKept();

  // The disk fills up half-way: writes past 2 KB fail with EFBIG instead of a signal.
  ASSERT_EQ(writer.Begin(Spec(), 64, 48, 15, test::OutputOf(GetParam())), kNoError);
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* previousHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 2048;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  Status status = kNoError;
  for (int i = 0; i < 20 && status == kNoError; ++i) status = writer.AddFrame(test::MovieFrame(64, 48, i));
  if (status == kNoError) status = writer.Finish();
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(status, kWriteError);
  ExpectTargetKept();
}

TEST_P(MovieTarget, SuccessReplacesTheTarget) {
  MovieWriter writer;
  ASSERT_EQ(writer.Begin(Spec(), 32, 24, 15, test::OutputOf(GetParam())), kNoError);
  ASSERT_EQ(writer.AddFrame(test::MovieFrame(32, 24, 0)), kNoError);
  EXPECT_EQ(writer.End(0), kNoError);
  EXPECT_EQ(test::FolderNames(dir.str()), std::vector<std::string>{"anim"});
  EXPECT_NE(test::ReadFileText(target), "the previous animation");
  EXPECT_EQ(test::PlayMovie(target, 32, 24).frames.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Outputs, MovieTarget, testing::Values(kAnimatedGifOutputType, kMjpeg, kH264));

TEST(MovieOutput, RefusesWhatItCannotWrite) {
  ScriptedServices services;
  TempDir dir;
  const FileSpec spec = FileSpecForPath(dir / "x.mov", FourCC("MooV"));
  struct Case {
    int width, height, fps;
    uint32_t type;
    Status expected;
  };
  const Case cases[] = {
      {0, 10, 15, kMjpeg, kMalformed},
      {10, 16385, 15, kMjpeg, kMalformed},
      {10, 10, 0, kMjpeg, kMalformed},
      {10, 10, 601, kMjpeg, kMalformed},
      {10, 10, 600, kMjpeg, kNoError},
      {10, 10, 101, kAnimatedGifOutputType, kMalformed},  // its delay would be 0
      {10, 10, 100, kAnimatedGifOutputType, kNoError},
      {10, 10, 15, FourCC("none"), kMalformed},
  };
  for (const Case& c : cases) {
    MovieWriter writer;
    EXPECT_EQ(writer.Begin(spec, c.width, c.height, c.fps, test::OutputOf(c.type)), c.expected)
        << c.width << "x" << c.height << " at " << c.fps;
    writer.Abandon();
    EXPECT_TRUE(test::FolderNames(dir.str()).empty());
  }
  MovieWriter writer;
  EXPECT_EQ(writer.Begin(FileSpecForPath(dir / "no-folder/x.mov", FourCC("MooV")), 10, 10, 15,
                         test::OutputOf(kMjpeg)),
            kWriteError);
  EXPECT_EQ(writer.Finish(), kWriteError);  // nothing begun
}

}  // namespace
}  // namespace tsv
