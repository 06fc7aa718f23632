// bench_density.cpp: simplification (one and two passes), the four-way split, mirror and merge on
// the closed torus of a million triangles, beside meshoptimizer's sloppy simplifier brought to the
// same triangle count and its quality simplifier to a tenth, when meshoptimizer is installed.
// Every benchmark reports the peak resident memory of the process so far.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "bench/bench_torus.h"
#include "mesh/mesh_density.h"
#include "mesh/mesh_state.h"
#include "mesh/object_copies.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"

#ifdef TESSIVAR_BENCH_HAVE_MESHOPT
#include <meshoptimizer.h>
#endif

namespace tsv {
namespace {

struct Torus {
  std::unique_ptr<SceneObject> mesh;
  int32_t onePass = 0, twoPasses = 0;  // triangles left by one and two simplification passes
  Torus() {
    if (!InitScene()) return;
    mesh = bench::ClosedTorus();
    if (!mesh) return;
    SceneObject once = *mesh;
    SimplifyObject(&once);
    onePass = once.triangleCount;
    SimplifyObject(&once);
    twoPasses = once.triangleCount;
  }
};

Torus& TheTorus() {
  static Torus torus;
  return torus;
}

void ReportPeakMemory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024.0;
}

// Runs `operation` on a fresh copy of the torus each iteration (the copy is not timed).
template <class Operation>
void RunOnCopy(benchmark::State& state, Operation operation) {
  const SceneObject* source = TheTorus().mesh.get();
  if (source == nullptr) {
    state.SkipWithError("the torus could not be made");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    auto object = std::make_unique<SceneObject>(*source);
    state.ResumeTiming();
    operation(*object);
    benchmark::DoNotOptimize(object->triangleCount);
    state.counters["triangles"] = double(object->triangleCount);
    state.PauseTiming();
    object.reset();
    state.ResumeTiming();
  }
  ReportPeakMemory(state);
}

void BM_SimplifyOnePass(benchmark::State& state) {
  RunOnCopy(state, [](SceneObject& object) { SimplifyObject(&object); });
}

void BM_SimplifyTwoPasses(benchmark::State& state) {
  RunOnCopy(state, [](SceneObject& object) {
    SimplifyObject(&object);
    SimplifyObject(&object);
  });
}

void BM_QuadDensity(benchmark::State& state) {
  RunOnCopy(state, [](SceneObject& object) { QuadDensity(&object); });
}

void BM_Mirror(benchmark::State& state) {
  RunOnCopy(state, [](SceneObject& object) { (void)MirrorObject(&object, 0); });
}

void BM_MergeTwo(benchmark::State& state) {
  const SceneObject* source = TheTorus().mesh.get();
  if (source == nullptr) {
    state.SkipWithError("the torus could not be made");
    return;
  }
  scene.objectTable[0] = std::make_unique<SceneObject>(*source);
  scene.objectTable[1] = std::make_unique<SceneObject>(*source);
  scene.objectTable[1]->position = {400, 0, 0};
  for (auto _ : state) {
    if (!MergeObjects(scene.objectTable[0].get(), scene.objectTable[1].get())) state.SkipWithError("merge failed");
    state.PauseTiming();
    state.counters["triangles"] = double(scene.currentObject->triangleCount);
    DisposeSceneObject(scene.objectTable[2]);
    state.ResumeTiming();
  }
  DisposeSceneObject(scene.objectTable[0]);
  DisposeSceneObject(scene.objectTable[1]);
  ReportPeakMemory(state);
}

BENCHMARK(BM_SimplifyOnePass)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SimplifyTwoPasses)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QuadDensity)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Mirror)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MergeTwo)->Unit(benchmark::kMillisecond)->UseRealTime();

#ifdef TESSIVAR_BENCH_HAVE_MESHOPT
// meshoptimizer on the same torus: its index buffer and positions, and a simplifier brought to
// `targetTriangles`. Only the simplification is timed.
template <class Simplify>
void RunMeshopt(benchmark::State& state, int32_t targetTriangles, Simplify simplify) {
  const SceneObject* source = TheTorus().mesh.get();
  if (source == nullptr || targetTriangles <= 0) {
    state.SkipWithError("the torus could not be made");
    return;
  }
  std::vector<unsigned int> indices;
  for (const Triangle& t : Triangles(*source)) indices.insert(indices.end(), t.begin(), t.end());
  std::vector<unsigned int> result(indices.size());
  const float* positions = &source->points[0].x;
  for (auto _ : state) {
    const size_t count = simplify(result.data(), indices.data(), indices.size(), positions, source->points.size(),
                                  size_t(targetTriangles) * 3);
    benchmark::DoNotOptimize(result.data());
    state.counters["triangles"] = double(count / 3);
  }
  ReportPeakMemory(state);
}

size_t Sloppy(unsigned int* out, const unsigned int* in, size_t count, const float* positions, size_t points,
              size_t target) {
  return meshopt_simplifySloppy(out, in, count, positions, points, sizeof(Vec3f), target, 1.0f, nullptr);
}

size_t Quality(unsigned int* out, const unsigned int* in, size_t count, const float* positions, size_t points,
               size_t target) {
  return meshopt_simplify(out, in, count, positions, points, sizeof(Vec3f), target, 1.0f, 0, nullptr);
}

void BM_MeshoptSloppyToOnePass(benchmark::State& state) { RunMeshopt(state, TheTorus().onePass, Sloppy); }
void BM_MeshoptSloppyToTwoPasses(benchmark::State& state) { RunMeshopt(state, TheTorus().twoPasses, Sloppy); }
void BM_MeshoptSimplifyToATenth(benchmark::State& state) {
  RunMeshopt(state, TheTorus().mesh ? TheTorus().mesh->triangleCount / 10 : 0, Quality);
}

BENCHMARK(BM_MeshoptSloppyToOnePass)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MeshoptSloppyToTwoPasses)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MeshoptSimplifyToATenth)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

}  // namespace
}  // namespace tsv
