// bench_animation.cpp: blending keyframes into a frame of an animation: three keys of the
// start-up sphere (8194 points, 16384 triangles) with every transition on, the "Smooth" method
// (up to three keys weigh into one frame). The keys are held in memory, as a run holds them.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/bench_support.h"
#include "composer/keyframes.h"
#include "scene/native_files.h"
#include "scene/scene_object.h"
#include "scene/vec3.h"

namespace tsv {
namespace {

void BM_BlendThreeOrganicKeys(benchmark::State& state) {
  SceneObject* owner = bench::StartupSphere();
  if (owner == nullptr) {
    state.SkipWithError("the scene did not start");
    return;
  }
  owner->optics.isPainted = 1;
  AnimationSettings settings;
  settings.frameCount = 60;
  settings.method = kMethodSmooth;
  settings.object = owner;
  for (int k = 0; k < 3; ++k) {
    auto key = std::make_shared<KeyframeShape>();
    key->pointCount = uint32_t(owner->pointCount);
    key->triangleCount = uint32_t(owner->triangleCount);
    key->points = owner->points;
    for (Vec3f& p : key->points) p = p * (1.0f + 0.2f * float(k));
    key->pointUV = owner->pointUV;
    key->pointColors.assign(owner->points.size(), Rgb8{uint8_t(80 * k), 100, 200});
    key->record.optics = owner->optics;
    key->record.optics.isPainted = 1;
    key->record.position = {float(30 * k), 0, 0};
    key->record.rotation = {0.3f * float(k), 0.1f, 0};
    key->scene = nativeFiles.project;
    const size_t slot = size_t(2 * k);
    settings.keys[slot] = key;
    settings.keyValid[slot] = 1;
    settings.keyRotation[slot] = {key->record.rotation.x, key->record.rotation.y, key->record.rotation.z};
    settings.keyLight[slot] = nativeFiles.project.lightAngles;
  }
  settings.firstKey = 0;
  settings.lastKey = 4;
  ComputeKeyTimes(settings);
  PrepareKeyRotations(settings);
  int frame = 0;
  const uint64_t before = bench::AllocationCount();
  for (auto _ : state) {
    BlendAnimationFrame(frame, settings);
    benchmark::DoNotOptimize(owner->points.data());
    frame = (frame + 7) % settings.frameCount;
  }
  bench::ReportAllocations(state, before);
}
BENCHMARK(BM_BlendThreeOrganicKeys)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tsv
