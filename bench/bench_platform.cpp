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
    OpenStreamForWriting(spec);
    for (int i = 0; i < 1000000; ++i) {
      StreamWriteFloat(float(i) * 0.001f);
      StreamWriteText(std::string_view("\n"));
    }
    StreamFlush();
    StreamFinish();
  }
  state.SetItemsProcessed(state.iterations() * 1000000);
  ::unlink(path);
  ResetStream();
}
BENCHMARK(BM_StreamWriteFloats)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tsv
