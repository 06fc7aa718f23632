// quorvel_file_fuzz.cpp: any bytes as a Quorvels set. The reader either refuses them (saying why,
// the ball list untouched) or gives balls that are sound; a set it takes is then made into a body
// on the coarsest grid, as Kelvane and as Atomize, and each object made is a closed-over mesh
// whose arrays fit its counts and whose corners name its points.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"
#include "tools/quorvels.h"

namespace {

using namespace tsv;

bool SoundObject(const SceneObject& object) {
  if (!HasConsistentArrays(object)) return false;
  for (const Triangle& t : Triangles(object)) {
    for (uint32_t corner : t) {
      if (corner >= uint32_t(object.pointCount)) return false;
    }
  }
  return true;
}

void Generate(MetaballMode mode) {
  SceneObject* object = GenerateMetaballMesh(mode, kLeastResolution, false);
  if (object == nullptr) return;  // no surface: said why
  if (!SoundObject(*object)) std::abort();
  const int slot = SlotOfObject(object);
  if (slot < 0) std::abort();
  DisposeSceneObject(scene.objectTable[size_t(slot)]);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tsv::fuzz::InitFuzzTarget();
  if (!tsv::InitScene()) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<Ball> balls = {Ball{}};
  std::string reason;
  const Status status = DecodeQuorvelSet(std::span<const uint8_t>(data, size), balls, reason);
  if (status != kNoError) {
    if (status != kMalformed || reason.empty() || balls.size() != 1) std::abort();
    return 0;
  }
  if (balls.size() > size_t(kMostBalls)) std::abort();
  quorvelState.balls = std::move(balls);
  Generate(MetaballMode::Kelvane);
  Generate(MetaballMode::Atomize);
  ResetQuorvelState();
  fuzz::ForgetShownTexts();
  return 0;
}
