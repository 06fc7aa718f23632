// The extraction's peers on the same field: the eight balls of the Quorvels benchmarks sampled on
// the generator's own (N + 1)^3 grid (the sampling not timed), meshed by OpenVDB's volumeToMesh and
// by scikit-image's marching_cubes (timed inside a Python script, as it runs there; its median of
// seven runs stands as the time of one iteration). Linked into bench_quorvels when OpenVDB is
// installed (scripts/install-deps bench, which brings scikit-image too).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_quorvels.h"
#include "bench/peers/openvdb_peer.h"
#include "tools/quorvels.h"

namespace tsv {
namespace {

// The field of the benchmark's balls at every vertex of the grid a generation at `n` lays out;
// empty (the benchmark skipped) when the scene cannot start.
std::vector<float> SampledField(benchmark::State& state, int n) {
  if (!bench::Start(bench::EightBalls())) {
    state.SkipWithError("no scene");
    return {};
  }
  (void)PreviewMetaballMesh(n);  // lays the grid out for these balls at n
  const MetaballGrid& grid = quorvelState.grid;
  const int side = n + 1;
  std::vector<float> field(size_t(side) * size_t(side) * size_t(side));
  for (int i = 0; i < side; ++i) {
    for (int j = 0; j < side; ++j) {
      for (int k = 0; k < side; ++k) {
        const Vec3f p{grid.origin.x + float(i) * grid.step.x, grid.origin.y + float(j) * grid.step.y,
                      grid.origin.z + float(k) * grid.step.z};
        field[(size_t(i) * size_t(side) + size_t(j)) * size_t(side) + size_t(k)] = MetaballField(p);
      }
    }
  }
  return field;
}

void OpenVdbVolumeToMesh(benchmark::State& state) {
  const int n = int(state.range(0));
  const std::vector<float> field = SampledField(state, n);
  if (field.empty()) return;
  const bench::OpenVdbVolume volume(field, n);
  bench::PeerMeshCounts counts;
  for (auto _ : state) counts = volume.Mesh();
  state.counters["points"] = double(counts.points);
  state.counters["triangles"] = double(counts.triangles + 2 * counts.quads);
}

// The script's median of seven runs, reported as the time of each iteration.
void ScikitImageMarchingCubes(benchmark::State& state) {
  const int n = int(state.range(0));
  const std::vector<float> field = SampledField(state, n);
  if (field.empty()) return;
  const std::filesystem::path raw =
      std::filesystem::temp_directory_path() / ("tessivar-bench-field-" + std::to_string(n) + ".raw");
  if (std::FILE* out = std::fopen(raw.c_str(), "wb")) {
    const size_t written = std::fwrite(field.data(), sizeof(float), field.size(), out);
    const bool closed = std::fclose(out) == 0;
    if (written != field.size() || !closed) {
      state.SkipWithError("the field could not be written");
      return;
    }
  }
  const std::string command = std::string(TESSIVAR_BENCH_PYTHON) + " " + TESSIVAR_BENCH_SOURCE_DIR +
                              "/bench/peers/skimage_marching_cubes.py " + raw.string() + " " +
                              std::to_string(n) + " 7";
  double seconds = 0;
  unsigned long points = 0, triangles = 0;
  if (std::FILE* pipe = popen(command.c_str(), "r")) {
    const int read = std::fscanf(pipe, "%lf %lu %lu", &seconds, &points, &triangles);
    const int status = pclose(pipe);
    if (read != 3 || status != 0) seconds = 0;
  }
  std::filesystem::remove(raw);
  if (!(seconds > 0)) {
    state.SkipWithError("scikit-image did not run (scripts/install-deps bench)");
    return;
  }
  for (auto _ : state) state.SetIterationTime(seconds);
  state.counters["points"] = double(points);
  state.counters["triangles"] = double(triangles);
}

const bool registered = [] {
  benchmark::RegisterBenchmark("PeerOpenVDB", OpenVdbVolumeToMesh)
      ->Arg(32)->Arg(64)->Arg(128)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("PeerScikitImage", ScikitImageMarchingCubes)
      ->Arg(32)->Arg(64)->Arg(128)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace
}  // namespace tsv
