// bench_support.cpp: the shared set-up of the benchmarks and the counting operator new.
#include "bench/bench_support.h"

#include <cstdlib>
#include <memory>
#include <new>

#include "bench/bench_torus.h"
#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/string_table.h"
#include "render/render_state.h"
#include "render/work_data.h"
#include "scene/object_table.h"
#include "scene/organic.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"

namespace {
uint64_t allocationCount = 0;
}  // namespace

void* operator new(std::size_t size) {
  ++allocationCount;
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace tsv::bench {

uint64_t AllocationCount() { return allocationCount; }

void ReportAllocations(benchmark::State& state, uint64_t before) {
  state.counters["allocations"] = double(allocationCount - before);
}

bool StartScene() {
  static const bool started = [] {
    ResetPlatformState();
    platform.resourceDirectory = TESSIVAR_BENCH_RESOURCE_ROOT;
    SetDefaultPreferences(preferences);
    return InitScene() && InitSoftDraw();
  }();
  return started;
}

SceneObject* StartupSphere() {
  if (!StartScene()) return nullptr;
  for (auto& slot : scene.objectTable) DisposeSceneObject(slot);
  std::unique_ptr<SceneObject> sphere = NewOrganicSceneObject();
  if (!sphere || !FillOrganicShape(*sphere, 0)) return nullptr;
  if (!StoreObjectInSlot(0, std::move(sphere))) return nullptr;
  SceneObject* object = scene.objectTable[0].get();
  RefreshWorkData(*object);
  return object;
}

SceneObject* ImportedTorus() {
  if (!StartScene()) return nullptr;
  for (auto& slot : scene.objectTable) DisposeSceneObject(slot);
  std::unique_ptr<SceneObject> torus = ClosedTorus();
  if (!torus) return nullptr;
  for (Vec3f& p : torus->points) p = {p.x * 0.75f, p.y * 0.75f, p.z * 0.75f};
  if (!CompleteImportedObject(torus.get()) || !StoreObjectInSlot(0, std::move(torus))) return nullptr;
  SceneObject* object = scene.objectTable[0].get();
  RefreshWorkData(*object);
  return object;
}

std::string BuiltinName(StringId id) {
  for (size_t i = 0; i < kBuiltinStringCount; ++i) {
    if (kBuiltinStrings[i].id == id.id) return kBuiltinStrings[i].text;
  }
  return std::to_string(id.id);
}

}  // namespace tsv::bench
