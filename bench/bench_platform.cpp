// Text number formatting and parsing of the exchange formats, and the stream writer: a large DXF or
// OBJ export writes millions of numbers through these.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "platform/file_spec.h"
#include "platform/stream.h"

namespace tsv {
namespace {

void BM_FormatStreamFloat(benchmark::State& state) {
  float value = -123.456f;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatStreamFloat(value));
    value += 0.37f;
  }
}
BENCHMARK(BM_FormatStreamFloat);

void BM_ParseFloat(benchmark::State& state) {
  const std::string text = "-1234.5678901e-2";
  for (auto _ : state) benchmark::DoNotOptimize(ParseFloat(text));
}
BENCHMARK(BM_ParseFloat);

// One million coordinates written through the stream buffer into a scratch file.
void BM_StreamWriteFloats(benchmark::State& state) {
  char path[] = "/tmp/tessivar-bench-XXXXXX";
  int fd = ::mkstemp(path);
  if (fd >= 0) ::close(fd);
  FileSpec spec = FileSpecForPath(path, 0);
  for (auto _ : state) {
    if (OpenStreamForWriting(spec) != kNoError) {
      state.SkipWithError("the scratch file cannot be written");
      break;
    }
    Status status = kNoError;
    for (int i = 0; i < 1000000 && status == kNoError; ++i) {
      status = StreamWriteFloat(float(i) * 0.001f);
      if (status == kNoError) status = StreamWriteText(std::string_view("\n"));
    }
    if (status == kNoError) status = StreamFlush();
    if (status == kNoError) status = StreamFinish();
    if (status != kNoError) {
      state.SkipWithError("writing the scratch file failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * 1000000);
  ::unlink(path);
  ResetStream();
}
BENCHMARK(BM_StreamWriteFloats)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tsv
