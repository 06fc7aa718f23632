// The deformation tools: one interactive pass of every tool on the start-up sphere (the tool's
// formula from its prepared start, the refresh of positions, normals and shades, and the quick
// four-to-one redraw of the view), the preparation each tool does once before a drag, and a whole
// scripted drag through the input layer. Every benchmark counts the allocations made while it
// runs (global operator new is replaced by a counting one): a pass must make none.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstdint>
#include <string>

#include "bench/bench_support.h"
#include "platform/events.h"
#include "platform/fonts.h"
#include "platform/relative_drag.h"
#include "platform/window.h"
#include "render/render_state.h"
#include "scene/scene_state.h"
#include "tools/deform_run.h"
#include "tools/deform_table.h"
#include "tools/tool_frame.h"
#include "tools/tool_state.h"
#include "tools/trackball.h"

namespace tsv {
namespace {

using bench::AllocationCount;
using bench::ReportAllocations;
using bench::StartupSphere;

// Two neighbouring amounts inside the tool's range: a drag moving one pixel back and forth.
int PassAmount(const DeformToolEntry& tool, int64_t pass) {
  const AmountRange range = RangeOfKind(tool.kind);
  return (range.minimum + range.maximum) / 2 + 40 + int(pass & 1);
}

// One pass as the drag runs it on the object `make` gives: formula, refresh, quick redraw, with
// the projections it makes.
void DragPassOn(benchmark::State& state, const DeformToolEntry* tool, SceneObject* (*make)()) {
  SceneObject* sphere = make();
  const DeformMember* member = FindDeformMember(tool->code);
  DeformRun run;
  if (sphere == nullptr || member == nullptr ||
      !PrepareDeformRun(*member, sphere, scene.workObject.get(), run)) {
    state.SkipWithError("no sphere to deform");
    return;
  }
  int64_t pass = 0;
  const uint64_t before = AllocationCount();
  const uint64_t projectionsBefore = renderState.projectionPasses;
  for (auto _ : state) {
    const int amount = PassAmount(*tool, pass++);
    RunDeformPass(*member, run, amount, amount);
    RedrawAfterEdit(sphere, scene.workObject.get());
  }
  ReportAllocations(state, before);
  // The refresh projects and the redraw takes its projection over: one per pass.
  state.counters["projections_per_pass"] = benchmark::Counter(
      double(renderState.projectionPasses - projectionsBefore), benchmark::Counter::kAvgIterations);
}

void DragPass(benchmark::State& state, const DeformToolEntry* tool) { DragPassOn(state, tool, StartupSphere); }

// The same on the million-triangle torus, an imported mesh filling the view.
void TorusDragPass(benchmark::State& state, const DeformToolEntry* tool) {
  DragPassOn(state, tool, bench::ImportedTorus);
}

// The trackball's pass is its direct mode: one motion turned, refreshed and redrawn.
void TrackballPass(benchmark::State& state) {
  SceneObject* sphere = StartupSphere();
  if (sphere == nullptr) {
    state.SkipWithError("no sphere to deform");
    return;
  }
  const uint64_t before = AllocationCount();
  int64_t pass = 0;
  for (auto _ : state) {
    const int16_t dx = (pass++ & 1) ? 3 : -3;
    RotateSession(sphere, scene.workObject.get(), dx, 2);
  }
  ReportAllocations(state, before);
}

// What a tool computes once before its drag.
void Preparation(benchmark::State& state, const DeformToolEntry* tool) {
  SceneObject* sphere = StartupSphere();
  const DeformMember* member = FindDeformMember(tool->code);
  if (sphere == nullptr || member == nullptr) {
    state.SkipWithError("no sphere to deform");
    return;
  }
  DeformRun run;
  const uint64_t before = AllocationCount();
  for (auto _ : state) {
    benchmark::DoNotOptimize(PrepareDeformRun(*member, sphere, scene.workObject.get(), run));
  }
  ReportAllocations(state, before);
}

// A whole drag through SDL events and the input layer: press, 64 motions, release, with the
// amount printed into a readout box of a frame buffer. The events are queued outside the timing;
// the allocations count what the drag itself makes.
void ScriptedDrag(benchmark::State& state) {
  SceneObject* sphere = StartupSphere();
  if (sphere == nullptr || SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) {
    state.SkipWithError("no sphere or no SDL events");
    return;
  }
  if (!InitInterfaceFonts()) {
    state.SkipWithError("no interface fonts");
    return;
  }
  ResizeCanvas(mainWindow.frame, 1024, 768);
  toolState.readoutRect = {122, 346, kReadoutWidth, kReadoutHeight};
  const DeformToolEntry* twist = FindDeformTool("Twist");
  constexpr int kMotions = 64;
  uint64_t allocations = 0;
  for (auto _ : state) {
    state.PauseTiming();
    input.queue.clear();
    SDL_Event press{};
    press.type = SDL_MOUSEBUTTONDOWN;
    press.button.button = SDL_BUTTON_LEFT;
    press.button.x = 100;
    press.button.y = 100;
    SDL_PushEvent(&press);
    (void)GetNextEvent();  // takes the press into the input state; the drag reads the rest
    for (int k = 1; k <= kMotions; ++k) {
      SDL_Event motion{};
      motion.type = SDL_MOUSEMOTION;
      motion.motion.x = 100 + (k & 1);
      motion.motion.y = 100;
      SDL_PushEvent(&motion);
    }
    SDL_Event release = press;
    release.type = SDL_MOUSEBUTTONUP;
    SDL_PushEvent(&release);
    const uint64_t before = AllocationCount();
    state.ResumeTiming();
    RunDeformTool(*twist, sphere, scene.workObject.get(), kAmountInteractive);
    allocations += AllocationCount() - before;
  }
  state.counters["allocations_per_drag"] =
      benchmark::Counter(double(allocations), benchmark::Counter::kAvgIterations);
  state.counters["pass"] = benchmark::Counter(
      double(kMotions), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  SDL_QuitSubSystem(SDL_INIT_EVENTS);
  toolState = ToolState{};
  mainWindow.frame = Canvas{};
}

using bench::BuiltinName;

const bool registered = [] {
  for (const DeformToolEntry& tool : DeformTools()) {
    const std::string name = BuiltinName(tool.name);
    if (tool.kind == DeformKind::Trackball) {
      benchmark::RegisterBenchmark(("DragPass/" + name).c_str(), TrackballPass)
          ->Unit(benchmark::kMicrosecond);
      continue;
    }
    benchmark::RegisterBenchmark(("DragPass/" + name).c_str(), DragPass, &tool)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("Preparation/" + name).c_str(), Preparation, &tool)
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::RegisterBenchmark("ScriptedDrag/Twist64", ScriptedDrag)->Unit(benchmark::kMillisecond);
  for (const DeformToolEntry& tool : DeformTools()) {
    if (tool.kind == DeformKind::Trackball) continue;
    benchmark::RegisterBenchmark(("Torus1M/DragPass/" + BuiltinName(tool.name)).c_str(), TorusDragPass, &tool)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
}  // namespace tsv
