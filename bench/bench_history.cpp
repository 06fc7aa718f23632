// The undo history on the start-up sphere (8194 points) and on a sphere of a million triangles: one
// step back and one forward again through a history of brush strokes, and the memory a history of
// 50 brush strokes holds (the "history_bytes" counter).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <vector>

#include "bench/bench_support.h"
#include "render/rasterisers.h"
#include "render/render_state.h"
#include "render/work_data.h"
#include "scene/history.h"
#include "scene/object_table.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "tools/brush.h"
#include "tools/brush_settings.h"
#include "tools/deform_tools.h"
#include "tools/tool_frame.h"

namespace tsv {
namespace {

// Rings and segments of the large sphere: 499002 points, 998000 triangles.
constexpr int kRings = 500, kSegments = 1000;

// A sphere of the start-up sphere's radius made of kRings x kSegments quads and two pole caps,
// stored in slot 0 (every other slot emptied), current and refreshed.
SceneObject* MillionSphere() {
  const SceneObject* small = bench::StartupSphere();
  if (small == nullptr) return nullptr;
  const Vec3f& p0 = small->points[0];
  const float radius = std::sqrt(p0.x * p0.x + p0.y * p0.y + p0.z * p0.z);
  for (auto& slot : scene.objectTable) DisposeSceneObject(slot);

  const int32_t points = (kRings - 1) * kSegments + 2;
  const int32_t triangles = 2 * kSegments * (kRings - 1);
  std::unique_ptr<SceneObject> object = NewSceneObject(points, triangles);
  if (!object) return nullptr;
  object->points[0] = {0, radius, 0};
  object->points[size_t(points - 1)] = {0, -radius, 0};
  auto at = [](int ring, int segment) {  // ring 1..kRings-1
    return uint32_t(1 + (ring - 1) * kSegments + (segment % kSegments));
  };
  for (int r = 1; r < kRings; ++r) {
    const double theta = std::numbers::pi * r / kRings;
    for (int s = 0; s < kSegments; ++s) {
      const double phi = 2 * std::numbers::pi * s / kSegments;
      object->points[at(r, s)] = {float(radius * std::sin(theta) * std::cos(phi)),
                                  float(radius * std::cos(theta)),
                                  float(radius * std::sin(theta) * std::sin(phi))};
    }
  }
  // Wound so that the faces point outward.
  std::vector<Triangle>& list = MutableTopology(*object)->triangles;
  size_t t = 0;
  const uint32_t bottom = uint32_t(points - 1);
  for (int s = 0; s < kSegments; ++s) {
    list[t++] = {0, at(1, s + 1), at(1, s)};
    list[t++] = {at(kRings - 1, s), at(kRings - 1, s + 1), bottom};
  }
  for (int r = 1; r + 1 < kRings; ++r) {
    for (int s = 0; s < kSegments; ++s) {
      list[t++] = {at(r, s), at(r, s + 1), at(r + 1, s)};
      list[t++] = {at(r, s + 1), at(r + 1, s + 1), at(r + 1, s)};
    }
  }
  if (!BuildCornerLists(*object)) return nullptr;
  SetPlanarTextureCoordinates(*object);
  if (!StoreObjectInSlot(0, std::move(object))) return nullptr;
  SceneObject* stored = scene.objectTable[0].get();
  RefreshWorkData(*stored);
  return stored;
}

SceneObject* Sphere(bool million) { return million ? MillionSphere() : bench::StartupSphere(); }

// Ready for brush strokes: the view's depth buffer drawn, the engine started.
bool PrepareStrokes(SceneObject* object) {
  std::fill(renderState.depthBuffer.begin(), renderState.depthBuffer.end(), kEmptyDepth);
  DrawDepthTriangles(renderState.depthBuffer, kViewClip, object, true);
  ResetBrushSettings();
  ResetBrushEngine();
  if (!PrepareBrushEngine()) return false;
  BuildBrushProfile(brushSettings.shape);
  brushSettings.spacing = 128;
  return true;
}

// Stroke `number`: ten segments of a short arc, each stroke a little further round the middle of
// the view, pushing in and out by turns; then the refresh and the commit, as the session ends it.
void BrushStrokeAndCommit(SceneObject* object, int number) {
  constexpr int kStrokeSegments = 10;
  const float pressure = (number & 1) ? -0.25f : 0.25f;
  const double start = 0.4 * number;
  brushEngine.accumulator = 0;
  for (int k = 0; k < kStrokeSegments; ++k) {
    const double a = start + 0.03 * k, b = start + 0.03 * (k + 1);
    const float x = float(200 + 70 * std::cos(a)), y = float(200 + 70 * std::sin(a));
    const float dx = float(200 + 70 * std::cos(b)) - x, dy = float(200 + 70 * std::sin(b)) - y;
    BrushStroke(object, kBrushRoomModeling, x, y, dx, dy, pressure, 1.0f, renderState.depthBuffer);
  }
  RefreshWorkData(*object);
  CommitObjectChange(object, scene.workObject.get());
}

constexpr int kStrokes = 50;

// 50 strokes, the history holding every one; the time is that of the strokes with their commits.
void FiftyStrokes(benchmark::State& state, bool million) {
  SceneObject* object = Sphere(million);
  if (object == nullptr || !PrepareStrokes(object)) {
    state.SkipWithError("no object");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    DropObjectHistory(object->serial);
    state.ResumeTiming();
    for (int n = 0; n < kStrokes; ++n) BrushStrokeAndCommit(object, n);
  }
  state.counters["steps"] = double(HistoryStepsBack(*object));
  state.counters["history_bytes"] = double(ObjectHistoryBytes(object->serial));
  state.counters["state_bytes"] = double(object->pointCount) * 24;
}

// One step back and one forward again, from the end of a history of 50 strokes.
void StepBackAndForth(benchmark::State& state, bool million) {
  SceneObject* object = Sphere(million);
  if (object == nullptr || !PrepareStrokes(object)) {
    state.SkipWithError("no object");
    return;
  }
  for (int n = 0; n < kStrokes; ++n) BrushStrokeAndCommit(object, n);
  if (HistoryStepsBack(*object) == 0) {
    state.SkipWithError("no history");
    return;
  }
  for (auto _ : state) {
    if (!StepBackInHistory() || !StepForwardInHistory()) {
      state.SkipWithError("no step");
      return;
    }
  }
  state.counters["points"] = double(object->pointCount);
}

const bool registered = [] {
  benchmark::RegisterBenchmark("History/StepBackAndForth/Sphere", StepBackAndForth, false)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("History/StepBackAndForth/MillionTriangles", StepBackAndForth, true)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("History/Strokes50/Sphere", FiftyStrokes, false)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("History/Strokes50/MillionTriangles", FiftyStrokes, true)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1);
  return true;
}();

}  // namespace
}  // namespace tsv
