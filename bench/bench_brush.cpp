// The brush stroke engine on the start-up sphere: one dab of every kind at size 1 in the middle of
// the view, a 100-segment stroke (spacing 128, repeat mode 5: six copies of every segment) through
// the engine with the refresh after each segment, and the same stroke through the session with
// its redraws, steps and commit. Every benchmark counts the allocations made while it runs
// (global operator new is replaced by a counting one): a stroke must make none.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "render/rasterisers.h"
#include "render/render_state.h"
#include "render/soft_draw.h"
#include "render/work_data.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "tools/brush.h"
#include "tools/brush_session.h"
#include "tools/brush_settings.h"

namespace tsv {
namespace {

// `object` (current and refreshed) with the view's depth buffer drawn and a fresh brush engine.
SceneObject* ReadyForDabs(SceneObject* object) {
  if (object == nullptr) return nullptr;
  std::fill(renderState.depthBuffer.begin(), renderState.depthBuffer.end(), kEmptyDepth);
  DrawDepthTriangles(renderState.depthBuffer, kViewClip, object, true);
  ResetBrushSettings();
  ResetBrushEngine();
  if (!PrepareBrushEngine()) return nullptr;
  BuildBrushProfile(brushSettings.shape);
  return object;
}

// The start-up sphere in slot 0, ready for dabs.
SceneObject* StartupSphere() { return ReadyForDabs(bench::StartupSphere()); }

// What the fusion rooms read: a grey ramp for the height map, the sphere's own depth for the
// morph object.
void GiveFusionInputs() {
  HeightMap& map = brushSettings.heightMap;
  map.width = 256;
  map.height = 256;
  map.bytes.resize(size_t(256) * 256);
  for (size_t i = 0; i < map.bytes.size(); ++i) map.bytes[i] = uint8_t(i % 256);
  for (MorphFusionSource& source : brushSettings.morphObjects) {
    source.depthBuffer = renderState.depthBuffer;
    source.depthMin = -128;
    source.depthMax = 128;
  }
}

using bench::AllocationCount;
using bench::ReportAllocations;

struct DabCase {
  const char* name;
  DabKind kind;
};
constexpr DabCase kDabs[] = {
    {"Brush", DabKind::Push},      {"Smudge", DabKind::Smudge},
    {"Smooth", DabKind::Smooth},   {"Spheric", DabKind::Spheric},
    {"Normal", DabKind::Normal},   {"Paint", DabKind::Paint},
    {"Mask", DabKind::Mask},       {"Liquify", DabKind::Liquify},
    {"HeightMapFusion", DabKind::HeightMapFusion}, {"MorphFusion", DabKind::MorphFusion},
};

// One dab at size 1 in the middle of the view. The pressure and the advance change sign from
// dab to dab, so the sphere stays where it is.
void OneDab(benchmark::State& state, const DabCase* dab) {
  SceneObject* sphere = StartupSphere();
  if (sphere == nullptr) {
    state.SkipWithError("no sphere");
    return;
  }
  GiveFusionInputs();
  int64_t pass = 0;
  const uint64_t before = AllocationCount();
  for (auto _ : state) {
    const float sign = (pass++ & 1) ? -1.0f : 1.0f;
    BrushDab(dab->kind, sphere, 200, 200, 4 * sign, 2 * sign, 0.25f * sign, 1.0f,
             renderState.depthBuffer);
  }
  ReportAllocations(state, before);
  state.counters["points"] = double(brushEngine.lastDabPoints);
}

constexpr int kSegments = 100;

// The stroke's segments: 5 pixels each, along an arc around the middle of the view.
void SegmentAt(int k, int& x, int& y, int& dx, int& dy) {
  auto place = [](int j, int& px, int& py) {
    const double angle = 0.01 * j;
    px = 200 + int(std::lround(60 * std::cos(angle)));
    py = 200 + int(std::lround(60 * std::sin(angle) + 0.5 * j));
  };
  int nx = 0, ny = 0;
  place(k, x, y);
  place(k + 1, nx, ny);
  dx = nx - x + 5;
  dy = ny - y;
}

void StrokeSettings() {
  brushSettings.spacing = 128;
  brushSettings.repeat = 5;
}

// A 100-segment stroke through the engine, each segment that moved points followed by the refresh
// of the derived data, without drawing.
void EngineStroke(benchmark::State& state) {
  SceneObject* sphere = StartupSphere();
  if (sphere == nullptr) {
    state.SkipWithError("no sphere");
    return;
  }
  StrokeSettings();
  int64_t stroke = 0;
  uint64_t dabs = 0;
  const uint64_t before = AllocationCount();
  for (auto _ : state) {
    const float pressure = (stroke++ & 1) ? -0.25f : 0.25f;
    brushEngine.accumulator = 0;
    const uint64_t dabsBefore = brushEngine.dabCount;
    for (int k = 0; k < kSegments; ++k) {
      int x, y, dx, dy;
      SegmentAt(k, x, y, dx, dy);
      BrushStroke(sphere, kBrushRoomModeling, float(x), float(y), float(dx), float(dy), pressure,
                  1.0f, renderState.depthBuffer);
      if (sphere->dirtyFlags & kDirtyNormals) RefreshWorkData(*sphere);
    }
    dabs += brushEngine.dabCount - dabsBefore;
  }
  ReportAllocations(state, before);
  state.counters["dabs_per_stroke"] =
      benchmark::Counter(double(dabs), benchmark::Counter::kAvgIterations);
}

// The same stroke as the user makes it: BeginStroke, 100 ContinueStroke (each with the refresh,
// the full-detail redraw and the depth buffer for the next segment), EndStroke with the commit.
void SessionStroke(benchmark::State& state) {
  SceneObject* sphere = StartupSphere();
  if (sphere == nullptr) {
    state.SkipWithError("no sphere");
    return;
  }
  StrokeSettings();
  int64_t stroke = 0;
  uint64_t allocations = 0;
  const uint64_t projectionsBefore = renderState.projectionPasses;
  for (auto _ : state) {
    brushSettings.depth = (stroke++ & 1) ? 160 : 96;
    const uint64_t before = AllocationCount();
    if (!BeginStroke(kBrushRoomModeling, 260, 200)) {
      state.SkipWithError("the stroke did not begin");
      return;
    }
    for (int k = 0; k < kSegments; ++k) {
      int x, y, dx, dy;
      SegmentAt(k, x, y, dx, dy);
      ContinueStroke(x, y, dx, dy);
    }
    EndStroke();
    allocations += AllocationCount() - before;
  }
  state.counters["allocations_per_stroke"] =
      benchmark::Counter(double(allocations), benchmark::Counter::kAvgIterations);
  // The dabs' projection and the refresh's, which the redraw takes over (symmetric strokes add
  // the mirrored view's).
  state.counters["projections_per_segment"] =
      benchmark::Counter(double(renderState.projectionPasses - projectionsBefore) /
                             double(kSegments),
                         benchmark::Counter::kAvgIterations);
  state.counters["segment"] =
      benchmark::Counter(double(kSegments), benchmark::Counter::kIsIterationInvariantRate |
                                                benchmark::Counter::kInvert);
}

// The torus of a million triangles as an imported mesh filling the view, ready for dabs.
SceneObject* Torus() { return ReadyForDabs(bench::ImportedTorus()); }

// One Brush dab at size 1 on the torus, over its near side in the middle of the view; with
// `whole` set through a walk over every point instead of the tiles, as the peer beside it.
void TorusDab(benchmark::State& state, bool whole) {
  SceneObject* torus = Torus();
  if (torus == nullptr) {
    state.SkipWithError("no torus");
    return;
  }
  if (whole) brushEngine.pointTilesFrom = UINT32_MAX;
  int64_t pass = 0;
  const uint64_t before = AllocationCount();
  for (auto _ : state) {
    const float sign = (pass++ & 1) ? -1.0f : 1.0f;
    BrushDab(DabKind::Push, torus, 200, 140, 0, 0, 0.25f * sign, 1.0f, renderState.depthBuffer);
  }
  ReportAllocations(state, before);
  state.counters["points"] = double(brushEngine.lastDabPoints);
}

// Segments of a stroke on the torus as the user makes them, each with one dab (6 pixels apart at
// spacing 240) and then the refresh, the redraw and the depth buffer for the next. The time is of
// the segments after the first (refreshed and redrawn in part); the first, which draws the whole
// view and bins its triangles, is timed apart (first_segment_ms), the stroke's beginning and
// commit left out.
void TorusSessionSegments(benchmark::State& state) {
  SceneObject* torus = Torus();
  if (torus == nullptr) {
    state.SkipWithError("no torus");
    return;
  }
  brushSettings.spacing = 240;
  brushSettings.repeat = 0;
  constexpr int kTorusSegments = 20;
  int64_t stroke = 0;
  uint64_t allocations = 0, dabs = 0, redrawMicroseconds = 0;
  double firstSegments = 0;
  for (auto _ : state) {
    state.PauseTiming();
    brushSettings.depth = (stroke++ & 1) ? 160 : 96;
    if (!BeginStroke(kBrushRoomModeling, 120, 140)) {
      state.SkipWithError("the stroke did not begin");
      return;
    }
    const auto first = std::chrono::steady_clock::now();
    ContinueStroke(120, 140, 6, 0);
    firstSegments += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - first).count();
    const uint64_t before = AllocationCount();
    const uint64_t dabsBefore = brushEngine.dabCount;
    state.ResumeTiming();
    for (int k = 1; k < kTorusSegments; ++k) {
      ContinueStroke(120 + 6 * k, 140, 6, 0);
      redrawMicroseconds += LastRedrawTiming().microseconds;
    }
    state.PauseTiming();
    allocations += AllocationCount() - before;
    dabs += brushEngine.dabCount - dabsBefore;
    EndStroke();
    state.ResumeTiming();
  }
  constexpr double kTimed = kTorusSegments - 1;
  state.counters["allocations_per_stroke"] =
      benchmark::Counter(double(allocations), benchmark::Counter::kAvgIterations);
  state.counters["dabs_per_segment"] = benchmark::Counter(double(dabs) / kTimed, benchmark::Counter::kAvgIterations);
  // The redraws' share of a segment, as the redraw times itself.
  state.counters["redraw_ms"] =
      benchmark::Counter(double(redrawMicroseconds) / 1000.0 / kTimed, benchmark::Counter::kAvgIterations);
  state.counters["first_segment_ms"] = benchmark::Counter(firstSegments, benchmark::Counter::kAvgIterations);
  state.counters["segment"] =
      benchmark::Counter(kTimed, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

const bool registered = [] {
  for (const DabCase& dab : kDabs) {
    benchmark::RegisterBenchmark((std::string("Dab/") + dab.name).c_str(), OneDab, &dab)
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::RegisterBenchmark("Stroke100/Engine/Spacing128/Repeat5", EngineStroke)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Stroke100/Session/Spacing128/Repeat5", SessionStroke)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Torus1M/Dab/Brush", TorusDab, false)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("Torus1M/Dab/Brush/EveryPoint", TorusDab, true)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("Torus1M/Session/Segment", TorusSessionSegments)->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace
}  // namespace tsv
