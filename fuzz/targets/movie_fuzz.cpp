// movie_fuzz.cpp: any bytes as a movie or animated GIF through the player, shown at 32 x 24: up to
// 30 frames are decoded, every pixel must come out with a zero top byte and every frame with a
// duration in the player's range; after a rewind the first frame must come back the same.
extern "C" {
#include <libavutil/mem.h>
}

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "composer/movie_player.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr int kWidth = 32;
constexpr int kHeight = 24;
constexpr int kMaxFrames = 30;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tsv::fuzz::InitFuzzTarget();
  // A damaged sample table can make the demuxer grow an index towards gigabytes, which costs
  // seconds under the sanitizers though it stays within the library's own limits; every file
  // this target sees fits in far less, so the library's allocations are capped instead.
  av_max_alloc(size_t(16) << 20);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tsv;
  MoviePlayer player;
  // The picture size is capped as for the picture targets: filling huge frames only costs time.
  if (player.OpenBytes(std::span<const uint8_t>(data, size), kWidth, kHeight, fuzz::kFuzzMaxPixels) != kNoError) {
    if (player.IsOpen()) Fail("a failed open left the player open");
    return 0;
  }
  std::vector<uint32_t> pixels(size_t(kWidth) * kHeight);
  std::vector<uint32_t> first;
  for (int i = 0; i < kMaxFrames; ++i) {
    double seconds = 0;
    bool ended = false;
    if (player.NextFrame(pixels, seconds, ended) != kNoError || ended) break;
    if (!(seconds >= 0.01 && seconds <= 60)) Fail("a frame duration outside 0.01 .. 60 s");
    for (uint32_t p : pixels) {
      if (p >> 24 != 0) Fail("a pixel with its top byte set");
    }
    if (i == 0) first = pixels;
  }
  if (!first.empty()) {
    if (player.Rewind() != kNoError) Fail("a movie that played did not open again");
    double seconds = 0;
    bool ended = false;
    if (player.NextFrame(pixels, seconds, ended) != kNoError || ended) Fail("no first frame after a rewind");
    if (pixels != first) Fail("the first frame came back different after a rewind");
  }
  return 0;
}
