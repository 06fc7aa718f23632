// bench_support.h: what the benchmarks of the modeling view share: the scene and renderer started
// once from the resource folder, the start-up sphere made current, the names of commands from
// the built-in string table, and a count of the allocations made through operator new (the
// program's global operator new is replaced by a counting one).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "platform/string_id.h"

namespace tsv {

struct SceneObject;

namespace bench {

// Allocations through operator new since the program started.
uint64_t AllocationCount();
// The allocations made since `before` into the benchmark's "allocations" counter.
void ReportAllocations(benchmark::State& state, uint64_t before);

// Starts the platform state (resource folder, default preferences), the scene and the software
// renderer once for all benchmarks; false when one of them did not start.
[[nodiscard]] bool StartScene();

// The start-up sphere in slot 0 (every other slot emptied), current, bound to the work arrays
// and refreshed; null when the scene did not start or the sphere could not be made.
SceneObject* StartupSphere();

// The closed torus of a million triangles (bench_torus.h) as an imported mesh filling the view:
// scaled to three quarters, in slot 0 (every other slot emptied), current and refreshed; null
// when the scene did not start or the torus could not be made.
SceneObject* ImportedTorus();

// A name from the built-in string table: registration runs during static initialisation, before
// the loaded table may exist, but the built-in one is constant data. The number for an unknown id.
std::string BuiltinName(StringId id);

}  // namespace bench
}  // namespace tsv
