// scene_state.h: the scene's global state in one record: the object table, the current object, the
// keyframe owner, the undo copy (`workObject`) and the undo history, the shared organic topology,
// the work arrays that the active object's points and triangles live in while it is edited, and
// the hooks through which the upper layers (animation, renderer) take part. Start-up, shutdown
// and the test reset.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "scene/history.h"
#include "scene/scene_object.h"
#include "scene/topology.h"
#include "scene/types.h"
#include "scene/work_records.h"

namespace tsv {

inline constexpr int kObjectSlotCount = 255;  // slots 0..254; 255 is "no free slot"
inline constexpr int kNoFreeSlot = 255;
// The work arrays never hold fewer records than these.
inline constexpr int32_t kMinWorkPoints = 128;
inline constexpr int32_t kMinWorkTriangles = 128;

struct SceneState {
  std::array<std::unique_ptr<SceneObject>, kObjectSlotCount> objectTable;  // null = free slot
  int16_t currentObjectIndex = -1;        // slot of the current object, -1 = none
  SceneObject* currentObject = nullptr;   // the object the modeling tools act on; not owned
  SceneObject* keyframeOwner = nullptr;   // the object the keyframe shapes belong to; not owned
  // The object the work arrays are bound to: normally the current object, or an object being
  // imported before it enters the table. Not owned.
  SceneObject* activeObject = nullptr;

  // The undo copy. Its arrays are sized to the work capacity, its `pointCount` records that
  // capacity, and its `pointUV` holds two entries per point: 2p the committed and 2p + 1 the
  // previous texture coordinates.
  std::unique_ptr<SceneObject> workObject;

  // Every object's undo history, by serial (history.h).
  History history;

  // The triangles and corner lists every organic object shares (LoadOrganicTopology).
  std::shared_ptr<const Topology> organicTopology;

  // Work arrays: their size is the work capacity, at least kMinWorkPoints / kMinWorkTriangles and
  // never below the largest object in use. Only the first pointCount / triangleCount records
  // belong to the active object.
  std::vector<PointWork> pointWork;
  std::vector<TriangleWork> triangleWork;
  // Per-point scratch positions of the two-end tools: the shape at amount 0 and at the top.
  std::vector<Vec3f> deformLow;
  std::vector<Vec3f> deformHigh;

  // Set by every creation and disposal; the project record takes it over when it saves.
  bool projectModified = false;
  uint64_t lastObjectSerial = 0;  // the serial given to the last object made

  // Objects alive outside the table (the composer's objects, an object held by a tool). Their
  // owners register them so the work arrays are never shrunk below them; not owned here.
  std::vector<const SceneObject*> liveObjects;

  // Set by the animation code: throws away the keyframe shapes when their owner is disposed.
  std::function<void()> discardKeyframeShapes;
  // Set by the renderer: prepares its texture work image when an object is activated.
  std::function<void(SceneObject&)> prepareTextureWorkImage;

  // Test hook for allocation failure: when set to N > 0, the N-th array or record the scene
  // allocates from then on fails as if memory had run out (and the countdown stops at 0). Every
  // allocation of this folder goes through AllocateArray / AllocateRecord (scene/allocation.h).
  int32_t failAllocationCountdown = 0;
};

extern SceneState scene;

// Start-up: an empty table, the work object (a record with no points) and the work arrays at
// their smallest capacity. False when memory runs out (nothing is left allocated then).
[[nodiscard]] bool InitScene();

// Shutdown: clears the keyframe owner (discarding the shapes) and the current object, disposes
// every object of the table and the work object, and frees the work arrays and the organic
// topology. Objects registered in `liveObjects` belong to their owners, who dispose them first.
void ShutdownScene();

// Back to a freshly initialised scene with no organic topology loaded and no hooks: for tests.
void ResetScene();

// The number of records in the work arrays.
int32_t WorkPointCapacity();
int32_t WorkTriangleCapacity();

// Raises the work capacity to hold `pointCount` points and `triangleCount` triangles (never below
// the minimum). The records already there are kept, so a bound object loses nothing. False when
// memory runs out, with every array left as it was.
[[nodiscard]] bool GrowWorkArrays(int32_t pointCount, int32_t triangleCount);
// Lowers the work capacity to the larger of the counts and the minimum, when it is above that,
// keeping the leading records. If even the smaller arrays cannot be had, the larger ones stay
// (they still serve).
void ShrinkWorkArrays(int32_t pointCount, int32_t triangleCount);

void RegisterLiveObject(const SceneObject* object);
void UnregisterLiveObject(const SceneObject* object);

}  // namespace tsv
