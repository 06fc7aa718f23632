// bench_gif.cpp: GIF encoding (plain and dithered) and decoding of a 400 x 300 frame that looks like
// a rendered picture (smooth gradients with a little noise), and ImageMagick's convert on the same
// picture in the same run.
//
// The ImageMagick figures are wall-clock times of whole `convert` processes with the time of a
// `convert` of a 1 x 1 picture (process start, library and configuration loading) taken off, each
// iteration timing both: what remains is ImageMagick's reading, colour reduction (an adaptive
// palette with its own dithering, not our fixed one) and writing of the picture, including its
// file I/O. BM_ImageMagickStart shows the time that was taken off.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "formats/gif.h"

namespace tsv {
namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;
constexpr PixelRect kRect{0, 0, kHeight, kWidth};
constexpr size_t kStride = size_t(kWidth) * 4;

const std::vector<uint32_t>& Frame() {
  static const std::vector<uint32_t> pixels = [] {
    std::mt19937 random(1);
    std::uniform_int_distribution<int> noise(-8, 8);
    std::vector<uint32_t> p(size_t(kWidth) * kHeight);
    auto clamp = [](double v) { return uint32_t(std::clamp(v, 0.0, 255.0)); };
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        // A lit sphere-like blob over a sky gradient.
        const double dx = (x - 200) / 120.0, dy = (y - 150) / 120.0;
        const double d = dx * dx + dy * dy;
        const double shade = d < 1 ? 60 + 190 * std::max(0.0, 1 - d) : 0;
        const double r = d < 1 ? shade : 40 + 100.0 * y / kHeight;
        const double g = d < 1 ? shade * 0.7 : 80 + 120.0 * y / kHeight;
        const double b = d < 1 ? shade * 0.4 : 200 - 60.0 * x / kWidth;
        p[size_t(y) * kWidth + size_t(x)] =
            0xFF000000u | clamp(r + noise(random)) << 16 | clamp(g + noise(random)) << 8 | clamp(b + noise(random));
      }
    }
    return p;
  }();
  return pixels;
}

void EncodeFrames(benchmark::State& state, bool dithered) {
  PictureSaveOptions options;
  options.dithered = dithered;
  GifEncoder encoder;
  std::vector<uint8_t> out;
  if (encoder.Begin(kRect, kStride, 4, options, out) != kNoError) state.SkipWithError("Begin failed");
  out.reserve(size_t(kWidth) * kHeight * 2);
  for (auto _ : state) {
    out.clear();
    if (encoder.AddFrame(Frame(), kRect, kStride, out) != kNoError) state.SkipWithError("AddFrame failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["bytes"] = double(out.size());
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}

void BM_GifEncodePlain(benchmark::State& state) { EncodeFrames(state, false); }
void BM_GifEncodeDithered(benchmark::State& state) { EncodeFrames(state, true); }
BENCHMARK(BM_GifEncodePlain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GifEncodeDithered)->Unit(benchmark::kMillisecond);

const std::vector<uint8_t>& EncodedFrame() {
  static const std::vector<uint8_t> gif = [] {
    PictureSaveOptions options;
    options.dithered = false;
    std::vector<uint8_t> out;
    // A failure leaves the file empty, which BM_GifDecode reports as its error.
    if (EncodeGif(Frame(), kRect, kStride, options, out) != kNoError) out.clear();
    return out;
  }();
  return gif;
}

void BM_GifDecode(benchmark::State& state) {
  std::vector<uint32_t> pixels(size_t(kWidth) * kHeight);
  const PixelBuffer destination{pixels, kWidth, kHeight, size_t(kWidth)};
  for (auto _ : state) {
    if (DecodeGif(EncodedFrame(), destination) != kNoError) state.SkipWithError("DecodeGif failed");
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}
BENCHMARK(BM_GifDecode)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------------------------
// ImageMagick on the same picture

struct ConvertFiles {
  std::string folder;
  bool ok = false;
  ConvertFiles() {
    if (std::system("command -v convert > /dev/null 2>&1") != 0) return;
    std::string pattern = (std::filesystem::temp_directory_path() / "tessivar-bench-gif-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) return;
    folder = buffer.data();
    WritePpm(folder + "/in.ppm", Frame(), kWidth, kHeight);
    WritePpm(folder + "/tiny.ppm", {0xFF808080u}, 1, 1);
    std::ofstream(folder + "/in.gif", std::ios::binary)
        .write(reinterpret_cast<const char*>(EncodedFrame().data()), std::streamsize(EncodedFrame().size()));
    ok = Run("convert tiny.ppm tiny.gif");
  }
  ~ConvertFiles() {
    std::error_code error;
    if (!folder.empty()) std::filesystem::remove_all(folder, error);
  }
  static void WritePpm(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << width << ' ' << height << "\n255\n";
    for (uint32_t p : pixels) {
      const char rgb[3] = {char(p >> 16), char(p >> 8), char(p)};
      out.write(rgb, 3);
    }
  }
  bool Run(const std::string& command) const {
    return std::system(("cd '" + folder + "' && " + command + " > /dev/null 2>&1").c_str()) == 0;
  }
};

const ConvertFiles& Files() {
  static const ConvertFiles files;
  return files;
}

// One iteration: the real conversion and the 1 x 1 one; the time reported is their difference.
void RunConvertMinusStart(benchmark::State& state, const std::string& command, const std::string& tiny) {
  const ConvertFiles& files = Files();
  if (!files.ok) {
    state.SkipWithError("ImageMagick's convert is not available");
    return;
  }
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const bool real = files.Run(command);
    const auto t1 = std::chrono::steady_clock::now();
    const bool start = files.Run(tiny);
    const auto t2 = std::chrono::steady_clock::now();
    if (!real || !start) state.SkipWithError("convert failed");
    const double net = std::chrono::duration<double>((t1 - t0) - (t2 - t1)).count();
    state.SetIterationTime(std::max(net, 0.0));
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}

void BM_ImageMagickEncode(benchmark::State& state) {
  RunConvertMinusStart(state, "convert in.ppm out.gif", "convert tiny.ppm tiny.gif");
}
void BM_ImageMagickDecode(benchmark::State& state) {
  RunConvertMinusStart(state, "convert in.gif out.ppm", "convert tiny.gif tiny-out.ppm");
}
void BM_ImageMagickStart(benchmark::State& state) {
  const ConvertFiles& files = Files();
  if (!files.ok) {
    state.SkipWithError("ImageMagick's convert is not available");
    return;
  }
  for (auto _ : state) {
    if (!files.Run("convert tiny.ppm tiny.gif")) state.SkipWithError("convert failed");
  }
}
BENCHMARK(BM_ImageMagickEncode)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImageMagickDecode)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImageMagickStart)->UseRealTime()->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tsv
