// organic.cpp: loading the shared organic topology and filling organic objects with the standard
// shapes.
#include "scene/organic.h"

#include <cmath>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "platform/resources.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/allocation.h"
#include "scene/scene_state.h"

namespace tsv {

bool LoadOrganicTopology() {
  if (scene.organicTopology) return true;
  constexpr size_t kIndexCount = size_t(kOrganicTriangleCount) * 3;
  std::optional<std::vector<uint8_t>> bytes =
      LoadResourceFile(ResourceKind::Data, kOrganicTopologyResource, kIndexCount * 4);
  if (!bytes) return false;
  try {
    std::shared_ptr<Topology> topology = AllocateSharedRecord<Topology>();
    topology->triangles = AllocateArray<Triangle>(size_t(kOrganicTriangleCount));
    for (size_t i = 0; i < kIndexCount; ++i) {
      const uint32_t index = ResourceWord(*bytes, i);
      if (index >= uint32_t(kOrganicPointCount)) {
        ShowStopMessage(FormatString(kResReadError, {std::to_string(kOrganicTopologyResource)}));
        return false;
      }
      topology->triangles[i / 3][i % 3] = index;
    }
    // Every index was checked, so only memory can make this fail.
    if (!BuildCornerLists(*topology, kOrganicPointCount)) throw std::bad_alloc();
    scene.organicTopology = std::move(topology);
  } catch (const std::bad_alloc&) {
    ShowStopMessage(GetString(kErrNotEnoughMemory));
    return false;
  }
  return true;
}

bool FillOrganicShape(SceneObject& object, int shape) {
  if (shape < 0 || shape >= kOrganicShapeCount) return false;
  const size_t count = size_t(kOrganicPointCount);
  if (object.pointCount != kOrganicPointCount || object.points.size() != count ||
      object.pointUV.size() != count) {
    return false;
  }
  auto fail = [] {
    ShowStopMessage(GetString(kErrNotEnoughMemory));
    return false;
  };
  if (!LoadOrganicTopology()) return fail();
  const int id = kFirstOrganicShapeResource + shape;
  std::optional<std::vector<uint8_t>> bytes = LoadResourceFile(ResourceKind::Data, id, count * 12);
  if (!bytes) return fail();
  // Check every value before the first is stored, so a damaged shape leaves the object whole.
  for (size_t i = 0; i < count * 3; ++i) {
    if (!std::isfinite(ResourceFloat(*bytes, i))) {
      ShowStopMessage(FormatString(kResReadError, {std::to_string(id)}));
      return fail();
    }
  }
  for (size_t i = 0; i < count; ++i) {
    object.points[i] = {ResourceFloat(*bytes, i * 3), ResourceFloat(*bytes, i * 3 + 1),
                        ResourceFloat(*bytes, i * 3 + 2)};
  }
  object.textureKind = 0;
  object.topology = scene.organicTopology;
  object.triangleCount = kOrganicTriangleCount;
  object.isOrganic = 1;
  object.isFastSynthetic = 1;
  SetPlanarTextureCoordinates(object);
  object.dirtyFlags = kAllDirty;
  return true;
}

}  // namespace tsv
