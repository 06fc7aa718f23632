// bench_movie.cpp: writing an animation of 60 frames of 400 x 300 (a lit ball moving over a sky
// gradient, like a composer run) as a movie with PNG, Motion JPEG and H.264 (when libx264 is
// present), and as an animated GIF; beside each, in the same run, the `ffmpeg` program encoding
// the same frames from a raw file with the same encoder settings.
//
// Our figures are the wall time of a whole MovieWriter run: Begin, 60 frames, Finish, which
// forces the file to disk and renames it into place. The ffmpeg figures are wall times of whole
// processes (`ffmpeg -f rawvideo -pix_fmt bgra -s 400x300 -r 15 -i frames.raw ...`, one thread,
// output to the same folder, in /dev/shm when there is one): BM_Ffmpeg* is the whole process,
// BM_FfmpegNet* the same with the time of the same command on one 2 x 2 frame taken off in
// every iteration (process start, library loading, encoder set-up), which leaves its reading,
// converting, encoding and writing.
// The settings match what the writer gives each encoder at "Normal": PNG compression level 6 in
// rgb24; MJPEG qscale 8 in yuvj420p; libx264 crf 23 (preset medium) in yuv420p without B-frames;
// the track time scale 600. ffmpeg's GIF is its own encoder on bgr8 (a fixed 3-3-2 palette, the
// scaler's ordered dither), ours the fixed 252-colour palette, dithered and plain.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "composer/movie_output.h"
#include "platform/file_spec.h"

namespace tsv {
namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;
constexpr int kFrames = 60;
constexpr int kFps = 15;

// Frame i: a shaded ball crossing a sky gradient, with a little grain as a renderer's dithered
// shading gives it.
std::vector<uint32_t> MakeFrame(int index) {
  std::vector<uint32_t> p(size_t(kWidth) * kHeight);
  uint32_t grain = 12345u + uint32_t(index) * 7919u;
  auto clamp = [](double v) { return uint32_t(std::clamp(v, 0.0, 255.0)); };
  const double cx = 80 + 240.0 * index / (kFrames - 1);
  const double cy = 150 + 60 * std::sin(index * 0.2);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      grain = grain * 1664525u + 1013904223u;
      const double n = double(grain >> 28) - 7.5;
      const double dx = (x - cx) / 70.0, dy = (y - cy) / 70.0;
      const double d = dx * dx + dy * dy;
      const double lit = d < 1 ? 60 + 190 * std::max(0.0, 1 - (dx + 0.4) * (dx + 0.4) - (dy + 0.4) * (dy + 0.4)) : 0;
      const double r = d < 1 ? lit : 40 + 100.0 * y / kHeight;
      const double g = d < 1 ? lit * 0.7 : 80 + 120.0 * y / kHeight;
      const double b = d < 1 ? lit * 0.4 : 200 - 60.0 * x / kWidth;
      p[size_t(y) * kWidth + size_t(x)] = 0xFF000000u | clamp(r + n) << 16 | clamp(g + n) << 8 | clamp(b + n);
    }
  }
  return p;
}

struct Workspace {
  std::string folder;
  std::vector<std::vector<uint32_t>> frames;
  bool haveFfmpeg = false;
  Workspace() {
    for (int i = 0; i < kFrames; ++i) frames.push_back(MakeFrame(i));
    // In memory where the machine has it: forcing a file to a virtual disk costs tens of
    // milliseconds that vary from run to run and would drown the encoders' figures (our writer
    // forces its file to disk before the rename, ffmpeg does not).
    std::error_code error;
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm", error) ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::string pattern = (base / "tessivar-bench-movie-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) return;
    folder = buffer.data();
    // The raw file ffmpeg reads: the same pixels, blue, green, red, alpha.
    std::ofstream raw(folder + "/frames.raw", std::ios::binary);
    for (const auto& f : frames) raw.write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size() * 4));
    raw.close();
    std::ofstream(folder + "/tiny.raw", std::ios::binary).write("\x80\x80\x80\xff\x80\x80\x80\xff\x80\x80\x80\xff\x80\x80\x80\xff", 16);
    haveFfmpeg = std::system("command -v ffmpeg > /dev/null 2>&1") == 0;
  }
  ~Workspace() {
    std::error_code error;
    if (!folder.empty()) std::filesystem::remove_all(folder, error);
  }
  bool Run(const std::string& command) const {
    return std::system(("cd '" + folder + "' && " + command + " > /dev/null 2>&1").c_str()) == 0;
  }
};

const Workspace& Work() {
  static const Workspace work;
  return work;
}

bool HaveEncoder(uint32_t type) {
  const std::vector<MovieEncoder> encoders = ListMovieEncoders();
  return FindMovieEncoder(encoders, type) != nullptr;
}

void WriteOurs(benchmark::State& state, uint32_t type, bool dithered) {
  const Workspace& work = Work();
  if (work.folder.empty()) {
    state.SkipWithError("no scratch folder");
    return;
  }
  if (type != kAnimatedGifOutputType && !HaveEncoder(type)) {
    state.SkipWithError("no encoder for this codec");
    return;
  }
  AnimationOutputOptions options;
  options.outputType = type;
  options.quality = kQualityNormal;
  options.gif.dithered = dithered;
  const std::string path = work.folder + (type == kAnimatedGifOutputType ? "/ours.gif" : "/ours.mov");
  const FileSpec spec = FileSpecForPath(path, type == kAnimatedGifOutputType ? FourCC("GIFf") : FourCC("MooV"));
  for (auto _ : state) {
    MovieWriter writer;
    bool ok = writer.Begin(spec, kWidth, kHeight, kFps, options) == kNoError;
    for (int i = 0; ok && i < kFrames; ++i) ok = writer.AddFrame(work.frames[size_t(i)]) == kNoError;
    ok = ok && writer.Finish() == kNoError;
    if (!ok) state.SkipWithError("the writer failed");
  }
  state.counters["bytes"] = double(std::filesystem::file_size(path));
  state.SetItemsProcessed(int64_t(state.iterations()) * kFrames);
}

// The ffmpeg command for the frames in `input` of the given size.
std::string FfmpegCommand(const std::string& settings, const std::string& input, const char* size,
                          const std::string& output) {
  return "ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt bgra -s " + std::string(size) + " -r 15 -i " + input +
         " -threads 1 " + settings + " " + output;
}

void RunFfmpeg(benchmark::State& state, const std::string& settings, const char* extension, bool net) {
  const Workspace& work = Work();
  if (!work.haveFfmpeg) {
    state.SkipWithError("ffmpeg is not installed (scripts/install-deps bench)");
    return;
  }
  const std::string output = std::string("theirs.") + extension;
  const std::string full = FfmpegCommand(settings, "frames.raw", "400x300", output);
  const std::string tiny = FfmpegCommand(settings, "tiny.raw", "2x2", std::string("tiny.") + extension);
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const bool real = work.Run(full);
    const auto t1 = std::chrono::steady_clock::now();
    const bool start = !net || work.Run(tiny);
    const auto t2 = std::chrono::steady_clock::now();
    if (!real || !start) state.SkipWithError("ffmpeg failed");
    const auto spent = net ? (t1 - t0) - (t2 - t1) : (t1 - t0);
    state.SetIterationTime(std::max(std::chrono::duration<double>(spent).count(), 0.0));
  }
  state.counters["bytes"] = double(std::filesystem::file_size(work.folder + "/" + output));
  state.SetItemsProcessed(int64_t(state.iterations()) * kFrames);
}

const std::string kMovSettings = " -video_track_timescale 600";
const std::string kPngSettings = "-c:v png -pix_fmt rgb24 -compression_level 6" + kMovSettings;
const std::string kMjpegSettings = "-c:v mjpeg -pix_fmt yuvj420p -q:v 8" + kMovSettings;
const std::string kH264Settings = "-c:v libx264 -pix_fmt yuv420p -crf 23 -bf 0" + kMovSettings;
const std::string kGifSettings = "-c:v gif -pix_fmt bgr8";

void BM_MoviePng(benchmark::State& state) { WriteOurs(state, FourCC("png "), false); }
void BM_FfmpegPng(benchmark::State& state) { RunFfmpeg(state, kPngSettings, "mov", false); }
void BM_FfmpegNetPng(benchmark::State& state) { RunFfmpeg(state, kPngSettings, "mov", true); }
void BM_MovieMjpeg(benchmark::State& state) { WriteOurs(state, FourCC("jpeg"), false); }
void BM_FfmpegMjpeg(benchmark::State& state) { RunFfmpeg(state, kMjpegSettings, "mov", false); }
void BM_FfmpegNetMjpeg(benchmark::State& state) { RunFfmpeg(state, kMjpegSettings, "mov", true); }
void BM_MovieH264(benchmark::State& state) { WriteOurs(state, FourCC("avc1"), false); }
void BM_FfmpegH264(benchmark::State& state) { RunFfmpeg(state, kH264Settings, "mov", false); }
void BM_FfmpegNetH264(benchmark::State& state) { RunFfmpeg(state, kH264Settings, "mov", true); }
void BM_GifPlain(benchmark::State& state) { WriteOurs(state, kAnimatedGifOutputType, false); }
void BM_GifDithered(benchmark::State& state) { WriteOurs(state, kAnimatedGifOutputType, true); }
void BM_FfmpegGif(benchmark::State& state) { RunFfmpeg(state, kGifSettings, "gif", false); }
void BM_FfmpegNetGif(benchmark::State& state) { RunFfmpeg(state, kGifSettings, "gif", true); }

// What every Begin of a movie pays to find its encoder: the list, with the muxer set up once per
// codec to see whether it takes it.
void BM_ListMovieEncoders(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ListMovieEncoders());
}
BENCHMARK(BM_ListMovieEncoders)->Unit(benchmark::kMillisecond);

#define MOVIE_BENCH(name) BENCHMARK(name)->UseRealTime()->Iterations(5)->Unit(benchmark::kMillisecond)
#define PEER_BENCH(name) BENCHMARK(name)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond)
MOVIE_BENCH(BM_MoviePng);
PEER_BENCH(BM_FfmpegPng);
PEER_BENCH(BM_FfmpegNetPng);
MOVIE_BENCH(BM_MovieMjpeg);
PEER_BENCH(BM_FfmpegMjpeg);
PEER_BENCH(BM_FfmpegNetMjpeg);
MOVIE_BENCH(BM_MovieH264);
PEER_BENCH(BM_FfmpegH264);
PEER_BENCH(BM_FfmpegNetH264);
MOVIE_BENCH(BM_GifPlain);
MOVIE_BENCH(BM_GifDithered);
PEER_BENCH(BM_FfmpegGif);
PEER_BENCH(BM_FfmpegNetGif);

}  // namespace
}  // namespace tsv
