// object_table.cpp: creation, activation and disposal of scene objects, and the object table.
#include "scene/object_table.h"

#include <algorithm>
#include <new>
#include <set>
#include <string>

#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/allocation.h"
#include "scene/history.h"
#include "scene/organic.h"
#include "scene/scene_state.h"

namespace tsv {
namespace {

void ShowText(StringId id) { ShowStopMessage(GetString(id)); }

// Allocates the record and its arrays; the triangles and corner lists come from `shared` when
// given, otherwise the object gets a block of its own.
std::unique_ptr<SceneObject> CreateSceneObject(int32_t pointCount, int32_t triangleCount,
                                               std::shared_ptr<const Topology> shared) {
  if (pointCount < 0 || triangleCount < 0) return nullptr;
  if (pointCount > kMaxMeshPoints || triangleCount > kMaxMeshTriangles) {
    ShowText(kErrNoMemoryForNewObject);
    return nullptr;
  }
  const size_t points = size_t(pointCount), triangles = size_t(triangleCount);
  std::unique_ptr<SceneObject> object;
  try {
    object = AllocateRecord<SceneObject>();
    object->serial = ++scene.lastObjectSerial;
    object->preview = AllocateArray<uint32_t>(size_t(kPreviewSide) * kPreviewSide);
    object->shadeRamp = AllocateArray<uint32_t>(size_t(kShadeRampSize));
    object->points = AllocateArray<Vec3f>(points);
    object->pointColors = AllocateArray<Rgb8>(points);
    if (shared) {
      object->topology = std::move(shared);
    } else {
      std::shared_ptr<Topology> topology = AllocateSharedRecord<Topology>();
      topology->pointFirstCorner = AllocateArray<uint32_t>(points, kEndOfCornerList);
      topology->triangles = AllocateArray<Triangle>(triangles);
      topology->triangleNextCorner = AllocateArray<uint32_t>(triangles * 3, kEndOfCornerList);
      object->topology = std::move(topology);
    }
    object->pointUV = AllocateArray<Uv>(points);
    object->pointMask = AllocateArray<uint8_t>(points);
  } catch (const std::bad_alloc&) {
    // Whatever was allocated goes with `object`.
    ShowText(kErrNoMemoryForNewObject);
    return nullptr;
  }
  object->pointCount = pointCount;
  object->triangleCount = triangleCount;
  object->hierarchy.clear();
  object->isOrganic = 0;
  object->isFastSynthetic = 0;
  InitSceneObjectDefaults(*object);
  object->name = NewObjectName();
  // The work arrays keep their previous capacity when they cannot grow.
  if (!GrowWorkArrays(pointCount, triangleCount)) {
    ShowText(kErrNoMemoryForNewObject);
    return nullptr;
  }
  scene.projectModified = true;
  return object;
}

// Clears the run-time links to a disposed object in the hierarchies of the table's objects.
void ForgetHierarchyLinks(const SceneObject* object) {
  for (auto& slot : scene.objectTable) {
    if (!slot) continue;
    for (HierarchyNode& node : slot->hierarchy) {
      if (node.object == object) node.object = nullptr;
    }
  }
}

}  // namespace

std::unique_ptr<SceneObject> NewSceneObject(int32_t pointCount, int32_t triangleCount) {
  return CreateSceneObject(pointCount, triangleCount, nullptr);
}

std::unique_ptr<SceneObject> NewOrganicSceneObject() {
  if (!LoadOrganicTopology()) return nullptr;
  std::unique_ptr<SceneObject> object =
      CreateSceneObject(kOrganicPointCount, kOrganicTriangleCount, scene.organicTopology);
  if (object) {
    object->isOrganic = 1;
    object->isFastSynthetic = 1;
  }
  return object;
}

CountedString NewObjectName() {
  std::set<std::string> taken;
  for (const auto& slot : scene.objectTable) {
    if (slot) taken.insert(CountedToText(slot->name));
  }
  const std::string base = GetString(kNameUntitled);
  std::string name = base;
  // The table holds 255 objects at most, so one of the first 256 numbers is always free.
  for (int number = 2; taken.count(name) != 0; ++number) name = base + " " + std::to_string(number);
  return TextToCountedString(name);
}

int FindFreeObjectSlot() {
  for (int slot = 0; slot < kObjectSlotCount; ++slot) {
    if (!scene.objectTable[size_t(slot)]) return slot;
  }
  return kNoFreeSlot;
}

int ObjectCount() {
  return int(std::count_if(scene.objectTable.begin(), scene.objectTable.end(),
                           [](const auto& slot) { return slot != nullptr; }));
}

int SlotOfObject(const SceneObject* object) {
  if (object == nullptr) return -1;
  for (int slot = 0; slot < kObjectSlotCount; ++slot) {
    if (scene.objectTable[size_t(slot)].get() == object) return slot;
  }
  return -1;
}

bool ActivateSceneObject(SceneObject* object) {
  if (object == nullptr || !HasConsistentArrays(*object)) return false;
  if (!GrowWorkArrays(object->pointCount, object->triangleCount)) {
    ShowText(kErrNotEnoughMemory);
    return false;
  }
  if (scene.activeObject != nullptr && scene.activeObject != object) {
    scene.activeObject->pointWork = nullptr;
    scene.activeObject->triangleWork = nullptr;
  }
  scene.activeObject = object;
  object->pointWork = &scene.pointWork;
  object->triangleWork = &scene.triangleWork;

  const size_t points = size_t(object->pointCount);
  const size_t triangles = size_t(object->triangleCount);
  if (points > 0) {
    for (size_t i = 0; i < points; ++i) {
      PointWork& record = scene.pointWork[i];
      const Vec3f& p = object->points[i];
      const Rgb8& paint = object->pointColors[i];
      record.x = p.x;
      record.y = p.y;
      record.z = p.z;
      record.mask = object->pointMask[i];
      record.red = paint.red;
      record.green = paint.green;
      record.blue = paint.blue;
      record.cornerCount = float(CountCorners(*object->topology, uint32_t(i)));
    }
    if (SceneObject* work = scene.workObject.get()) {
      std::copy_n(object->points.begin(), points, work->points.begin());
      std::copy_n(object->pointColors.begin(), points, work->pointColors.begin());
      std::copy_n(object->pointMask.begin(), points, work->pointMask.begin());
      for (size_t i = 0; i < points; ++i) {
        work->pointUV[2 * i] = object->pointUV[i];
        work->pointUV[2 * i + 1] = object->pointUV[i];
      }
      work->hasUnsavedChanges = object->hasUnsavedChanges;
    }
    for (size_t t = 0; t < triangles; ++t) scene.triangleWork[t].flags = 1;
  }
  if (scene.prepareTextureWorkImage) scene.prepareTextureWorkImage(*object);
  object->dirtyFlags = kAllDirty;
  NoteObjectActivated(*object);
  return true;
}

void DisposeSceneObject(std::unique_ptr<SceneObject>& holder) {
  SceneObject* object = holder.get();
  if (object == nullptr) return;
  const bool isWorkObject = object == scene.workObject.get();

  scene.projectModified = true;
  if (scene.currentObject == object) {
    scene.currentObject = nullptr;
    scene.currentObjectIndex = -1;
  }
  if (scene.keyframeOwner == object) {
    if (scene.discardKeyframeShapes) scene.discardKeyframeShapes();
    scene.keyframeOwner = nullptr;
  }
  if (scene.activeObject == object) scene.activeObject = nullptr;
  UnregisterLiveObject(object);
  ForgetHierarchyLinks(object);
  DropObjectHistory(object->serial);

  // The largest object still in use decides how far the work arrays may shrink.
  int32_t maxPoints = kMinWorkPoints, maxTriangles = kMinWorkTriangles;
  auto consider = [&](const SceneObject* other) {
    if (other == nullptr || other == object) return;
    maxPoints = std::max(maxPoints, other->pointCount);
    maxTriangles = std::max(maxTriangles, other->triangleCount);
  };
  for (const auto& slot : scene.objectTable) consider(slot.get());
  for (const SceneObject* live : scene.liveObjects) consider(live);
  consider(scene.currentObject);
  consider(scene.activeObject);

  // The object's own arrays go with it; a shared topology block lives on with its other holders.
  holder.reset();
  if (!isWorkObject) ShrinkWorkArrays(maxPoints, maxTriangles);
}

void ClearCurrentObject() {
  scene.currentObject = nullptr;
  scene.currentObjectIndex = -1;
}

bool SetCurrentObject(int slot) {
  if (slot == -1) {
    ClearCurrentObject();
    return true;
  }
  if (slot < 0 || slot >= kObjectSlotCount) return false;
  SceneObject* object = scene.objectTable[size_t(slot)].get();
  if (!ActivateSceneObject(object)) return false;
  scene.currentObject = object;
  scene.currentObjectIndex = int16_t(slot);
  return true;
}

SceneObject* FindObjectBySerial(uint64_t serial) {
  if (serial == 0) return nullptr;
  for (const auto& slot : scene.objectTable) {
    if (slot && slot->serial == serial) return slot.get();
  }
  return nullptr;
}

int FindSlotForNewObject() {
  const int slot = FindFreeObjectSlot();
  if (slot == kNoFreeSlot) {
    ShowText(kErrNoEmptySpace);
    return -1;
  }
  return slot;
}

bool StoreObjectInSlot(int slot, std::unique_ptr<SceneObject> object) {
  if (!object) return false;
  if (slot < 0 || slot >= kObjectSlotCount || scene.objectTable[size_t(slot)]) {
    DisposeSceneObject(object);
    return false;
  }
  scene.objectTable[size_t(slot)] = std::move(object);
  // An object that cannot be activated stays stored; its failure has been shown.
  (void)SetCurrentObject(slot);
  return true;
}

SceneObject* NewObjectInTable(bool organic, int32_t pointCount, int32_t triangleCount) {
  const int slot = FindSlotForNewObject();
  if (slot < 0) return nullptr;
  std::unique_ptr<SceneObject> object =
      organic ? NewOrganicSceneObject() : NewSceneObject(pointCount, triangleCount);
  if (!object || !StoreObjectInSlot(slot, std::move(object))) return nullptr;
  return scene.objectTable[size_t(slot)].get();
}

}  // namespace tsv
