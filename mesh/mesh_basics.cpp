// mesh_basics.cpp: degenerate triangles, array fitting, centring, quarter turns, winding inversion,
// and filling objects from a standard shape or another object.
#include "mesh/mesh_basics.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "mesh/mesh_ranges.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/allocation.h"
#include "scene/organic.h"
#include "scene/scene_state.h"

namespace tsv {

bool IsWellFormedMesh(const SceneObject& object) {
  if (!HasConsistentArrays(object)) return false;
  const uint32_t points = uint32_t(object.pointCount);
  for (const Triangle& t : Triangles(object)) {
    if (t[0] >= points || t[1] >= points || t[2] >= points) return false;
  }
  return true;
}

void MarkObjectEdited(SceneObject& object) {
  object.hasUnsavedChanges = 1;
  object.dirtyFlags = kAllDirty;
}

void RemapHierarchyRanges(std::vector<HierarchyNode>& nodes, std::span<const uint32_t> keptBefore, bool points) {
  if (keptBefore.empty()) return;
  const uint64_t last = keptBefore.size() - 1;
  auto kept = [&](uint64_t i) { return keptBefore[size_t(std::min(i, last))]; };
  for (HierarchyNode& node : nodes) {
    uint32_t& first = points ? node.partFirstPoint : node.partFirstTriangle;
    uint32_t& count = points ? node.partPointCount : node.partTriangleCount;
    const uint64_t end = uint64_t(first) + count;
    const uint32_t newFirst = kept(first);
    count = kept(end) - newFirst;
    first = newFirst;
  }
}

void RemapSnapPoints(SceneObject& object, std::span<const uint32_t> newIndex) {
  std::array<int32_t, kSnapPointCount> remapped = kEmptySnapPoints;
  size_t used = 0;
  for (int32_t entry : object.snapPoints) {
    if (entry < 0 || size_t(entry) >= newIndex.size()) continue;
    const int32_t point = int32_t(newIndex[size_t(entry)]);
    if (std::find(remapped.begin(), remapped.begin() + used, point) != remapped.begin() + used) continue;
    remapped[used++] = point;
  }
  object.snapPoints = remapped;
}

int32_t DropDegenerateTriangles(SceneObject* object) {
  if (object == nullptr || !IsWellFormedMesh(*object)) return 0;
  std::span<const Triangle> triangles = Triangles(*object);
  auto degenerate = [](const Triangle& t) { return t[0] == t[1] || t[1] == t[2] || t[2] == t[0]; };
  const size_t dropped = size_t(std::count_if(triangles.begin(), triangles.end(), degenerate));
  if (dropped == 0) return 0;

  const bool hierarchy = !object->hierarchy.empty();
  std::shared_ptr<Topology> fresh;
  std::vector<uint32_t> keptBefore;
  try {
    fresh = AllocateSharedRecord<Topology>();
    fresh->triangles = AllocateArray<Triangle>(triangles.size() - dropped);
    if (hierarchy) keptBefore = AllocateArray<uint32_t>(triangles.size() + 1);
    size_t kept = 0;
    for (size_t t = 0; t < triangles.size(); ++t) {
      if (hierarchy) keptBefore[t] = uint32_t(kept);
      if (!degenerate(triangles[t])) fresh->triangles[kept++] = triangles[t];
    }
    if (hierarchy) keptBefore[triangles.size()] = uint32_t(kept);
    // Every index was checked above, so only memory can make the build fail.
    if (!BuildCornerLists(*fresh, object->pointCount)) throw std::bad_alloc();
  } catch (const std::bad_alloc&) {
    ShowStopMessage(GetString(kErrNotEnoughMemory));
    return 0;
  }
  if (hierarchy) RemapHierarchyRanges(object->hierarchy, keptBefore, false);
  object->triangleCount = int32_t(fresh->triangles.size());
  object->topology = std::move(fresh);
  object->isOrganic = 0;
  object->isFastSynthetic = 0;
  MarkObjectEdited(*object);
  return int32_t(dropped);
}

bool ResizeObjectArrays(SceneObject* object) {
  if (object == nullptr || object->isOrganic != 0) return false;
  if (object->pointCount < 0 || object->triangleCount < 0) return false;
  const size_t points = size_t(object->pointCount), triangles = size_t(object->triangleCount);
  const Rgb16& diffuse = object->optics.diffuseColor;
  const Rgb8 paint{uint8_t(diffuse.red >> 8), uint8_t(diffuse.green >> 8), uint8_t(diffuse.blue >> 8)};
  // Resized copies first, so that running out of memory halfway leaves every array as it was.
  auto fitted = [](const auto& array, size_t size, const auto& fill) {
    auto copy = AllocateArray(size, fill);
    std::copy_n(array.begin(), std::min(size, array.size()), copy.begin());
    return copy;
  };
  try {
    auto newPoints = fitted(object->points, points, Vec3f{});
    auto newColors = fitted(object->pointColors, points, paint);
    auto newMask = fitted(object->pointMask, points, uint8_t(255));
    auto newUV = fitted(object->pointUV, points, Uv{});
    Topology* topology = MutableTopology(*object);
    if (topology == nullptr) throw std::bad_alloc();
    auto newFirst = fitted(topology->pointFirstCorner, points, kEndOfCornerList);
    auto newTriangles = fitted(topology->triangles, triangles, Triangle{});
    auto newNext = fitted(topology->triangleNextCorner, triangles * 3, kEndOfCornerList);
    object->points = std::move(newPoints);
    object->pointColors = std::move(newColors);
    object->pointMask = std::move(newMask);
    object->pointUV = std::move(newUV);
    topology->pointFirstCorner = std::move(newFirst);
    topology->triangles = std::move(newTriangles);
    topology->triangleNextCorner = std::move(newNext);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void CentreObject(SceneObject* object) {
  if (object == nullptr || object->points.empty()) return;
  constexpr float kHuge = std::numeric_limits<float>::max();
  Vec3f low{kHuge, kHuge, kHuge}, high{-kHuge, -kHuge, -kHuge};
  for (const Vec3f& p : object->points) {
    low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
  }
  // Halving each end first keeps the centre finite even for extents near the float limit.
  const Vec3f centre{low.x / 2 + high.x / 2, low.y / 2 + high.y / 2, low.z / 2 + high.z / 2};
  for (Vec3f& p : object->points) p = {p.x - centre.x, p.y - centre.y, p.z - centre.z};
  MarkObjectEdited(*object);
}

void QuarterTurnX(SceneObject* object) {
  if (object == nullptr) return;
  for (Vec3f& p : object->points) p = {p.x, -p.z, p.y};
  MarkObjectEdited(*object);
}

void QuarterTurnY(SceneObject* object) {
  if (object == nullptr) return;
  for (Vec3f& p : object->points) p = {p.z, p.y, -p.x};
  MarkObjectEdited(*object);
}

void QuarterTurnZ(SceneObject* object) {
  if (object == nullptr) return;
  for (Vec3f& p : object->points) p = {-p.y, p.x, p.z};
  MarkObjectEdited(*object);
}

void InvertWinding(SceneObject* object) {
  if (object == nullptr || !IsWellFormedMesh(*object) || object->triangleCount == 0) return;
  std::shared_ptr<Topology> fresh;
  try {
    fresh = AllocateSharedRecord<Topology>();
    fresh->triangles = AllocateArray<Triangle>(size_t(object->triangleCount));
    std::span<const Triangle> triangles = Triangles(*object);
    for (size_t t = 0; t < triangles.size(); ++t) {
      fresh->triangles[t] = {triangles[t][0], triangles[t][2], triangles[t][1]};
    }
    if (!BuildCornerLists(*fresh, object->pointCount)) throw std::bad_alloc();
  } catch (const std::bad_alloc&) {
    ShowStopMessage(GetString(kErrNotEnoughMemory));
    return;
  }
  object->topology = std::move(fresh);
  object->isOrganic = 0;
  object->isFastSynthetic = 0;
  MarkObjectEdited(*object);
}

Status FillStandardShape(SceneObject* object, int shape) {
  if (object == nullptr) return kMalformed;
  return FillOrganicShape(*object, shape) ? kNoError : kMalformed;
}

Status FillFromObject(SceneObject* target, const SceneObject* source) {
  if (target == nullptr || source == nullptr) return kMalformed;
  if (target == source) return kNoError;
  // Everything is copied into locals first: the target changes only once all of it is there.
  std::vector<Vec3f> points;
  std::vector<Rgb8> colors;
  std::vector<Uv> uv;
  std::vector<uint8_t> mask;
  std::vector<uint32_t> preview, shadeRamp;
  std::shared_ptr<const Topology> topology;
  try {
    auto copy = [](const auto& array) {
      auto result = AllocateArray<typename std::decay_t<decltype(array)>::value_type>(array.size());
      std::copy(array.begin(), array.end(), result.begin());
      return result;
    };
    points = copy(source->points);
    colors = copy(source->pointColors);
    uv = copy(source->pointUV);
    mask = copy(source->pointMask);
    preview = copy(source->preview);
    shadeRamp = copy(source->shadeRamp);
    if (source->isOrganic != 0 || !source->topology) {
      topology = source->topology;
    } else {
      std::shared_ptr<Topology> own = AllocateSharedRecord<Topology>();
      *own = *source->topology;
      topology = std::move(own);
    }
    if (!GrowWorkArrays(source->pointCount, source->triangleCount)) throw std::bad_alloc();
  } catch (const std::bad_alloc&) {
    ShowStopMessage(GetString(kErrNotEnoughMemory));
    return kNoMemory;
  }
  CopySceneObjectHeader(*target, *source);
  target->points = std::move(points);
  target->pointColors = std::move(colors);
  target->pointUV = std::move(uv);
  target->pointMask = std::move(mask);
  target->preview = std::move(preview);
  target->shadeRamp = std::move(shadeRamp);
  target->topology = std::move(topology);
  target->dirtyFlags = kAllDirty;
  return kNoError;
}

}  // namespace tsv
