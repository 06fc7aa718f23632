// scene_state.cpp: the scene record, start-up and shutdown, the work-array capacity and the
// allocation countdown tests use.
#include "scene/scene_state.h"

#include <algorithm>
#include <new>

#include "platform/memory.h"
#include "scene/allocation.h"
#include "scene/object_table.h"

namespace tsv {

SceneState scene;

void CountSceneAllocation() {
  if (scene.failAllocationCountdown > 0 && --scene.failAllocationCountdown == 0) {
    throw std::bad_alloc();
  }
}

namespace {

// A copy of `old` with `count` elements; the common prefix is kept.
template <class T>
std::vector<T> Resized(const std::vector<T>& old, size_t count) {
  std::vector<T> resized = AllocateArray<T>(count);
  std::copy_n(old.begin(), std::min(old.size(), count), resized.begin());
  return resized;
}

template <class T>
void ResizeInto(std::vector<T>& out, const std::vector<T>& current, size_t count) {
  if (current.size() != count) out = Resized(current, count);
}

template <class T>
void Install(std::vector<T>& target, std::vector<T>& built, size_t count) {
  if (target.size() != count) target = std::move(built);
}

// Gives every work array (the work object's included) exactly the capacity asked for. All new
// arrays are built before any is installed, so a failure leaves every array as it was; the
// records kept are the leading ones, which hold the active object's points.
bool SetWorkCapacity(size_t points, size_t triangles) {
  SceneObject* work = scene.workObject.get();
  std::vector<PointWork> pointWork;
  std::vector<TriangleWork> triangleWork;
  std::vector<Vec3f> low, high, workPoints;
  std::vector<Rgb8> workColors;
  std::vector<Uv> workUV;
  std::vector<uint8_t> workMask;
  try {
    if (work != nullptr) {
      ResizeInto(workPoints, work->points, points);
      ResizeInto(workColors, work->pointColors, points);
      ResizeInto(workUV, work->pointUV, points * 2);
      ResizeInto(workMask, work->pointMask, points);
    }
    ResizeInto(low, scene.deformLow, points);
    ResizeInto(high, scene.deformHigh, points);
    ResizeInto(pointWork, scene.pointWork, points);
    ResizeInto(triangleWork, scene.triangleWork, triangles);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (work != nullptr) {
    Install(work->points, workPoints, points);
    Install(work->pointColors, workColors, points);
    Install(work->pointUV, workUV, points * 2);
    Install(work->pointMask, workMask, points);
    work->pointCount = int32_t(points);
  }
  Install(scene.deformLow, low, points);
  Install(scene.deformHigh, high, points);
  Install(scene.pointWork, pointWork, points);
  Install(scene.triangleWork, triangleWork, triangles);
  return true;
}

}  // namespace

int32_t WorkPointCapacity() { return int32_t(scene.pointWork.size()); }
int32_t WorkTriangleCapacity() { return int32_t(scene.triangleWork.size()); }

bool GrowWorkArrays(int32_t pointCount, int32_t triangleCount) {
  if (pointCount > kMaxMeshPoints || triangleCount > kMaxMeshTriangles) return false;
  // Large enough already: nothing to copy (every object made or read comes through here).
  if (WorkPointCapacity() >= std::max(pointCount, kMinWorkPoints) &&
      WorkTriangleCapacity() >= std::max(triangleCount, kMinWorkTriangles) && scene.workObject) {
    return true;
  }
  const int32_t points = std::max({WorkPointCapacity(), pointCount, kMinWorkPoints});
  const int32_t triangles = std::max({WorkTriangleCapacity(), triangleCount, kMinWorkTriangles});
  return SetWorkCapacity(size_t(points), size_t(triangles));
}

void ShrinkWorkArrays(int32_t pointCount, int32_t triangleCount) {
  const int32_t points = std::min(WorkPointCapacity(), std::max(pointCount, kMinWorkPoints));
  const int32_t triangles =
      std::min(WorkTriangleCapacity(), std::max(triangleCount, kMinWorkTriangles));
  (void)SetWorkCapacity(size_t(points), size_t(triangles));
}

void RegisterLiveObject(const SceneObject* object) {
  if (object == nullptr) return;
  auto& live = scene.liveObjects;
  if (std::find(live.begin(), live.end(), object) == live.end()) live.push_back(object);
}

void UnregisterLiveObject(const SceneObject* object) {
  std::erase(scene.liveObjects, object);
}

bool InitScene() {
  KeepLargeBlocksForReuse();
  for (auto& slot : scene.objectTable) slot.reset();
  scene.currentObjectIndex = -1;
  scene.currentObject = nullptr;
  scene.activeObject = nullptr;
  scene.liveObjects.clear();
  try {
    scene.workObject = AllocateRecord<SceneObject>();
  } catch (const std::bad_alloc&) {
    return false;
  }
  // The new work object takes arrays of the capacity the work arrays have (a second start keeps
  // the capacity the first one grew to, and the copy must match it).
  if (!SetWorkCapacity(size_t(std::max(WorkPointCapacity(), kMinWorkPoints)),
                       size_t(std::max(WorkTriangleCapacity(), kMinWorkTriangles)))) {
    scene.workObject.reset();
    return false;
  }
  return true;
}

void ShutdownScene() {
  scene.keyframeOwner = nullptr;
  if (scene.discardKeyframeShapes) scene.discardKeyframeShapes();
  scene.currentObject = nullptr;
  scene.currentObjectIndex = -1;
  for (auto& slot : scene.objectTable) DisposeSceneObject(slot);
  DisposeSceneObject(scene.workObject);
  scene.activeObject = nullptr;
  scene.liveObjects.clear();
  scene.pointWork = {};
  scene.triangleWork = {};
  scene.deformLow = {};
  scene.deformHigh = {};
  scene.organicTopology.reset();
}

void ResetScene() {
  // Serials stay unique for the whole run, across resets.
  const uint64_t lastSerial = scene.lastObjectSerial;
  scene = SceneState{};
  scene.lastObjectSerial = lastSerial;
  // Only the work arrays of the minimum size are allocated here; tests that reset run with memory.
  (void)InitScene();
}

}  // namespace tsv
