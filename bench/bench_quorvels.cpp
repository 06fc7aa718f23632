// The Quorvels: the surface extraction alone (field, surface following, shared vertices) and the
// whole generation with refinement of 8 balls of mixed radii on turned axes at N = 32, 64 and 128,
// the preview at 32, and Atomize of 255 balls at 128. Every benchmark runs once before it is timed
// and counts the allocations of the timed runs (global operator new is replaced by a counting
// one): an extraction after the first makes none.
#include <benchmark/benchmark.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "bench/bench_quorvels.h"
#include "bench/bench_support.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"
#include "tools/quorvels.h"

namespace tsv {
namespace {

using bench::AllocationCount;
using bench::ReportAllocations;
using bench::Atoms;
using bench::EightBalls;
using bench::Start;


void Report(benchmark::State& state) {
  state.counters["points"] = double(quorvelState.grid.points.size());
  state.counters["triangles"] = double(quorvelState.grid.triangles.size());
  state.counters["evaluated"] = double(quorvelState.grid.records.size() - 1);  // grid vertices whose field was computed
  uint64_t cubes = 0;
  for (uint8_t bits : quorvelState.grid.visited) cubes += uint64_t(std::popcount(bits));
  state.counters["cubes"] = double(cubes);  // cubes followed (and seed cubes passed through)
}

void Extraction(benchmark::State& state, MetaballMode mode, const std::vector<Ball>& balls) {
  const int resolution = int(state.range(0));
  if (!Start(balls) || !ExtractMetaballSurface(mode, resolution) || quorvelState.grid.triangles.empty()) {
    state.SkipWithError("no surface");
    return;
  }
  const uint64_t before = AllocationCount();
  for (auto _ : state) benchmark::DoNotOptimize(ExtractMetaballSurface(mode, resolution));
  ReportAllocations(state, before);
  Report(state);
}

// The whole generation: extraction, the object, its refinement, entering the table. The object is
// disposed of again outside the timing.
void Generation(benchmark::State& state, MetaballMode mode, const std::vector<Ball>& balls) {
  const int resolution = int(state.range(0));
  auto clear = [] {
    for (auto& slot : scene.objectTable) DisposeSceneObject(slot);
  };
  if (!Start(balls)) {
    state.SkipWithError("the scene did not start");
    return;
  }
  clear();
  if (GenerateMetaballMesh(mode, resolution, false) == nullptr) {
    state.SkipWithError("no surface");
    return;
  }
  const uint64_t before = AllocationCount();
  for (auto _ : state) {
    benchmark::DoNotOptimize(GenerateMetaballMesh(mode, resolution, false));
    state.PauseTiming();
    clear();
    state.ResumeTiming();
  }
  ReportAllocations(state, before);
  // The new object's own arrays, which every generation makes.
  state.counters["allocations_per_run"] =
      benchmark::Counter(double(AllocationCount() - before), benchmark::Counter::kAvgIterations);
  Report(state);
}

void Preview(benchmark::State& state) {
  const int resolution = int(state.range(0));
  if (!Start(EightBalls()) || !PreviewMetaballMesh(resolution)) {
    state.SkipWithError("no surface");
    return;
  }
  const uint64_t before = AllocationCount();
  for (auto _ : state) benchmark::DoNotOptimize(PreviewMetaballMesh(resolution));
  ReportAllocations(state, before);
  Report(state);
}

void KelvaneExtraction(benchmark::State& state) { Extraction(state, MetaballMode::Kelvane, EightBalls()); }
void KelvaneGeneration(benchmark::State& state) { Generation(state, MetaballMode::Kelvane, EightBalls()); }
void AtomizeExtraction(benchmark::State& state) { Extraction(state, MetaballMode::Atomize, Atoms()); }
void AtomizeGeneration(benchmark::State& state) { Generation(state, MetaballMode::Atomize, Atoms()); }

BENCHMARK(KelvaneExtraction)->Arg(32)->Arg(64)->Arg(128)->Unit(benchmark::kMicrosecond);
BENCHMARK(KelvaneGeneration)->Arg(32)->Arg(64)->Arg(128)->Unit(benchmark::kMicrosecond);
BENCHMARK(Preview)->Arg(32)->Unit(benchmark::kMicrosecond);
BENCHMARK(AtomizeExtraction)->Arg(128)->Unit(benchmark::kMicrosecond);
BENCHMARK(AtomizeGeneration)->Arg(128)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tsv
