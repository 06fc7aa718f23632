// bench_mesh.cpp: joining points and correcting normals on meshes of a million triangles: a closed
// torus, and the same torus as a triangle soup (every triangle with its own three points, the
// way importers deliver meshes), coordinates within +-256.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "bench/bench_torus.h"
#include "mesh/correct_normals.h"
#include "mesh/join_points.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"

namespace tsv {
namespace {

constexpr int32_t kAround = bench::kTorusAround;
constexpr int32_t kAcross = bench::kTorusAcross;
using bench::ClosedTorus;

// The same triangles, each with three points of its own.
std::unique_ptr<SceneObject> Soup(const SceneObject& closed) {
  auto object = NewSceneObject(closed.triangleCount * 3, closed.triangleCount);
  if (!object) return nullptr;
  Topology* topology = MutableTopology(*object);
  std::span<const Triangle> triangles = Triangles(closed);
  for (size_t t = 0; t < triangles.size(); ++t) {
    for (size_t k = 0; k < 3; ++k) object->points[t * 3 + k] = closed.points[triangles[t][k]];
    topology->triangles[t] = {uint32_t(t * 3), uint32_t(t * 3 + 1), uint32_t(t * 3 + 2)};
  }
  if (!BuildCornerLists(*object)) return nullptr;
  return object;
}

// A third of the triangles turned inside out.
void Scramble(SceneObject& object) {
  std::mt19937 random(17);
  Topology* topology = MutableTopology(object);
  for (Triangle& t : topology->triangles) {
    if (random() % 3 == 0) std::swap(t[1], t[2]);
  }
  (void)BuildCornerLists(object);  // the points all exist: the lists always build
}

struct Meshes {
  std::unique_ptr<SceneObject> closed, scrambled, soup;
  Meshes() {
    if (!InitScene()) return;  // the benchmarks then find no meshes and say so
    closed = ClosedTorus();
    if (!closed) return;
    soup = Soup(*closed);
    scrambled = std::make_unique<SceneObject>(*closed);
    Scramble(*scrambled);
  }
};

Meshes& TheMeshes() {
  static Meshes meshes;
  return meshes;
}

void RunJoin(benchmark::State& state, const SceneObject* mesh, int32_t expectedPoints) {
  if (mesh == nullptr) {
    state.SkipWithError("the mesh could not be made");
    return;
  }
  const SceneObject& source = *mesh;
  for (auto _ : state) {
    state.PauseTiming();
    SceneObject object = source;
    state.ResumeTiming();
    benchmark::DoNotOptimize(JoinPoints(&object));
    if (object.pointCount != expectedPoints) state.SkipWithError("unexpected point count");
  }
  state.counters["triangles"] = double(source.triangleCount);
}

void RunCorrection(benchmark::State& state, const SceneObject* mesh) {
  if (mesh == nullptr) {
    state.SkipWithError("the mesh could not be made");
    return;
  }
  const SceneObject& source = *mesh;
  for (auto _ : state) {
    state.PauseTiming();
    SceneObject object = source;
    state.ResumeTiming();
    benchmark::DoNotOptimize(CorrectNormals(&object));
  }
  state.counters["triangles"] = double(source.triangleCount);
}

void BM_JoinPointsSoup(benchmark::State& state) { RunJoin(state, TheMeshes().soup.get(), kAround * kAcross); }
void BM_JoinPointsClosed(benchmark::State& state) { RunJoin(state, TheMeshes().closed.get(), kAround * kAcross); }
void BM_CorrectNormalsClosedScrambled(benchmark::State& state) { RunCorrection(state, TheMeshes().scrambled.get()); }
void BM_CorrectNormalsSoup(benchmark::State& state) { RunCorrection(state, TheMeshes().soup.get()); }

BENCHMARK(BM_JoinPointsSoup)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JoinPointsClosed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CorrectNormalsClosedScrambled)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CorrectNormalsSoup)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tsv
