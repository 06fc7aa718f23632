// Paint and map apply on the start-up sphere: each whole-object paint command once, and a scripted
// "Map apply" drag of 64 motions through the input layer for each mapping (the preparation, then
// per motion the blend of the two ends, the refresh and the quick redraw). Every benchmark counts
// the allocations made while it runs (global operator new is replaced by a counting one): the
// commands and the drag must make none.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "paint/map_apply.h"
#include "paint/object_paint.h"
#include "paint/paint_state.h"
#include "platform/events.h"
#include "render/render_state.h"
#include "scene/object_table.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "scene/task_steps.h"
#include "tools/tool_frame.h"

namespace tsv {
namespace {

using bench::AllocationCount;
using bench::BuiltinName;

// The start-up sphere in slot 0, current and bound to the work arrays, with paint started.
SceneObject* StartupSphere() {
  InitPaint();
  return bench::StartupSphere();
}

// One command on the whole sphere (the colours simply keep changing from run to run).
void PaintCommandRun(benchmark::State& state, const PaintCommand* command) {
  SceneObject* sphere = StartupSphere();
  if (sphere == nullptr) {
    state.SkipWithError("no sphere to paint");
    return;
  }
  const uint64_t before = AllocationCount();
  for (auto _ : state) benchmark::DoNotOptimize(command->run(sphere));
  bench::ReportAllocations(state, before);
}

// A 256 x 256 map of soft bumps.
void SetBumpMap() {
  std::vector<uint32_t> pixels(256 * 256);
  for (int row = 0; row < 256; ++row) {
    for (int column = 0; column < 256; ++column) {
      const uint32_t grey = uint32_t(((column * 7) ^ (row * 5)) & 0xFF);
      pixels[size_t(row) * 256 + size_t(column)] = grey * 0x010101u;
    }
  }
  (void)SetMapPicture(pixels, 256, 256);  // the drags below find no map and skip when it failed
}

void MapApplyDrag(benchmark::State& state, int kind) {
  SceneObject* sphere = StartupSphere();
  if (sphere == nullptr || SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) {
    state.SkipWithError("no sphere or no SDL events");
    return;
  }
  SetBumpMap();
  paintState.mappingKind = int16_t(kind);
  constexpr int kMotions = 64;
  uint64_t allocations = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (!ActivateSceneObject(sphere)) {  // every drag starts from the sphere itself
      state.SkipWithError("the sphere cannot be activated");
      break;
    }
    input.queue.clear();
    SDL_Event press{};
    press.type = SDL_MOUSEBUTTONDOWN;
    press.button.button = SDL_BUTTON_LEFT;
    press.button.x = 100;
    press.button.y = 100;
    SDL_PushEvent(&press);
    (void)GetNextEvent();  // takes the press
    for (int k = 1; k <= kMotions; ++k) {
      SDL_Event motion{};
      motion.type = SDL_MOUSEMOTION;
      motion.motion.x = 100 + (k & 1) * 30;
      motion.motion.y = 100;
      SDL_PushEvent(&motion);
    }
    SDL_Event release = press;
    release.type = SDL_MOUSEBUTTONUP;
    SDL_PushEvent(&release);
    const uint64_t before = AllocationCount();
    state.ResumeTiming();
    (void)MapApply(sphere, scene.workObject.get(), kAmountInteractive, 0);  // the drag itself is measured
    allocations += AllocationCount() - before;
  }
  state.counters["allocations_per_drag"] =
      benchmark::Counter(double(allocations), benchmark::Counter::kAvgIterations);
  state.counters["pass"] = benchmark::Counter(
      double(kMotions),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

const bool registered = [] {
  for (const PaintCommand& command : PaintCommands()) {
    benchmark::RegisterBenchmark(("PaintCommand/" + BuiltinName(command.name)).c_str(),
                                 PaintCommandRun, &command)
        ->Unit(benchmark::kMicrosecond);
  }
  for (int kind : {kMapFlat, kMapCylindric, kMapSpheric}) {
    benchmark::RegisterBenchmark(("MapApplyDrag64/" + BuiltinName(MapApplyName(kind))).c_str(),
                                 MapApplyDrag, kind)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
}  // namespace tsv
