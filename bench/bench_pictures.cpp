// bench_pictures.cpp: writing and reading a 1024 x 1024 picture as BMP, TIFF (libtiff and our
// fallback reader) and PNG, in memory, so that the codecs are measured and not the disk.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "formats/bmp_picture.h"
#include "formats/library_pictures.h"
#include "formats/picture.h"
#include "formats/tiff_picture.h"

namespace tsv {
namespace {

constexpr int kSide = 1024;

// A rendering-like picture: smooth gradients with a little noise and a few flat areas.
const std::vector<uint32_t>& Source() {
  static const std::vector<uint32_t> pixels = [] {
    std::vector<uint32_t> p(size_t(kSide) * kSide);
    uint32_t noise = 12345;
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        noise = noise * 1103515245u + 12345u;
        const uint32_t n = (noise >> 16) & 7;
        const bool flat = ((x / 128) + (y / 128)) % 5 == 0;
        const uint32_t r = flat ? 200 : uint32_t(x / 4 + n) & 0xFF;
        const uint32_t g = flat ? 40 : uint32_t(y / 4 + n) & 0xFF;
        const uint32_t b = flat ? 90 : uint32_t((x + y) / 8 + n) & 0xFF;
        p[size_t(y) * kSide + size_t(x)] = 0xFF000000u | (r << 16) | (g << 8) | b;
      }
    }
    return p;
  }();
  return pixels;
}

constexpr PixelRect kRect{0, 0, kSide, kSide};
constexpr size_t kStrideBytes = size_t(kSide) * 4;

template <typename Encode>
void Write(benchmark::State& state, Encode encode) {
  std::vector<uint8_t> out;
  for (auto _ : state) {
    if (encode(Source(), out) != 0) state.SkipWithError("encode failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kStrideBytes) * kSide);
  state.counters["file_bytes"] = double(out.size());
}

template <typename Encode, typename Decode>
void Read(benchmark::State& state, Encode encode, Decode decode) {
  std::vector<uint8_t> file;
  if (encode(Source(), file) != 0) state.SkipWithError("encode failed");
  std::vector<uint32_t> pixels(size_t(kSide) * kSide);
  for (auto _ : state) {
    if (decode(file, PixelBuffer{pixels, kSide, kSide, size_t(kSide)}) != 0) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kStrideBytes) * kSide);
}

Status Bmp(const std::vector<uint32_t>& p, std::vector<uint8_t>& out) { return EncodeBmp(p, kRect, kStrideBytes, out); }
Status Tiff(const std::vector<uint32_t>& p, std::vector<uint8_t>& out) {
  return EncodeTiff(p, kRect, kStrideBytes, PictureSaveOptions{}, out);
}
Status Png(const std::vector<uint32_t>& p, std::vector<uint8_t>& out) {
  return EncodePng(p, kRect, kStrideBytes, PictureSaveOptions{}, out);
}

void BM_BmpWrite(benchmark::State& state) { Write(state, Bmp); }
void BM_BmpRead(benchmark::State& state) { Read(state, Bmp, DecodeBmp); }
void BM_TiffWrite(benchmark::State& state) { Write(state, Tiff); }
void BM_TiffRead(benchmark::State& state) { Read(state, Tiff, DecodeTiff); }
void BM_TiffReadFallback(benchmark::State& state) { Read(state, Tiff, DecodeTiffFallback); }
void BM_PngWrite(benchmark::State& state) { Write(state, Png); }
void BM_PngRead(benchmark::State& state) { Read(state, Png, DecodePng); }

BENCHMARK(BM_BmpWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffReadFallback)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngRead)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tsv
