// The whole window redrawn (panels, text, the modeling view of the start-up sphere drawn afresh
// and shown at its size on the screen) at interface scales of 100 %, 140 % and 200 %: the frame
// grows with the scale, so the larger scales draw up to four times the pixels.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "platform/canvas.h"
#include "platform/fonts.h"
#include "platform/platform_state.h"
#include "platform/settings.h"
#include "scene/object_table.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "ui/interface_layout.h"
#include "ui/rooms.h"

namespace tsv {
namespace {

bool StartInterface() {
  static const bool started = [] {
    if (bench::StartupSphere() == nullptr || !SetCurrentObject(0)) return false;
    // Without fonts the texts are not drawn; the benchmark says so in its label.
    (void)InitInterfaceFonts();
    return LoadInterface();
  }();
  return started;
}

void BM_FullRedraw(benchmark::State& state) {
  if (!StartInterface()) {
    state.SkipWithError("the interface did not start");
    return;
  }
  const int percent = int(state.range(0));
  platform.settings.interfaceScale = percent;
  Canvas frame;
  ResizeCanvas(frame, (1024 * percent + 99) / 100, (768 * percent + 99) / 100);
  SetCurrentRoom(1);
  PlaceRoom(frame.width, frame.height, true);
  if (int(ui.scale * 100.0f + 0.5f) != percent) {
    state.SkipWithError("the scale did not take");
    return;
  }
  DrawInterface(frame);  // the scaled panel pictures are made once per scale
  for (auto _ : state) {
    scene.currentObject->dirtyFlags = kAllDirty;
    DrawInterface(frame);
    benchmark::DoNotOptimize(frame.pixels.data());
  }
  state.counters["pixels"] = double(frame.width) * frame.height;
}
BENCHMARK(BM_FullRedraw)->Arg(100)->Arg(140)->Arg(200)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tsv
