// object_copies.cpp: mirror (and taking it back), merge, duplicate, make synthetic, and the
// hierarchy-loss question.
#include "mesh/object_copies.h"

#include <algorithm>
#include <memory>
#include <new>
#include <span>
#include <utility>
#include <vector>

#include "mesh/mesh_basics.h"
#include "mesh/mesh_density.h"
#include "mesh/mesh_progress.h"
#include "mesh/mesh_state.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/allocation.h"
#include "scene/history.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"
#include "scene/shade_ramp.h"
#include "scene/vec3.h"

namespace tsv {
namespace {

void ShowText(StringId id) { ShowStopMessage(GetString(id)); }

// Corner references of a triangle whose corners 0 and 1 have been swapped.
constexpr uint32_t SwapCorners01(uint32_t ref) {
  if (ref == kEndOfCornerList) return ref;
  const uint32_t corner = CornerNumber(ref);
  return corner == 0 ? ref + 1 : corner == 1 ? ref - 1 : ref;
}

// The mirror itself, in place on a block of the object's own: one pass over the points, one over
// the triangles and their corner links, no allocation. Mirroring twice gives back the same arrays.
void MirrorInPlace(SceneObject& object, Topology& topology, int axis) {
  for (Vec3f& p : object.points) {
    if (axis == 1) p.y = -p.y;
    else if (axis == 2) p.z = -p.z;
    else p.x = -p.x;
  }
  // Swapping corners 0 and 1 renames the corner references (t, 0) and (t, 1) wherever they are
  // stored; every list keeps its order, since a point stands at most once in a triangle. A
  // triangle with the same point at corners 0 and 1 is the same after the swap, but its two
  // references would run in the other order in that point's list, so those lists are rebuilt.
  bool rebuild = false;
  for (uint32_t& first : topology.pointFirstCorner) first = SwapCorners01(first);
  uint32_t* next = topology.triangleNextCorner.data();
  for (size_t t = 0; t < topology.triangles.size(); ++t) {
    Triangle& tri = topology.triangles[t];
    std::swap(tri[0], tri[1]);
    rebuild |= tri[0] == tri[1];
    uint32_t* links = next + t * 3;
    const uint32_t link0 = links[0];
    links[0] = SwapCorners01(links[1]);
    links[1] = SwapCorners01(link0);
    links[2] = SwapCorners01(links[2]);
  }
  // Every index was checked before, so only memory can fail here; the lists are complete anyway.
  if (rebuild) (void)BuildCornerLists(topology, object.pointCount);
}

// Copies what a duplicate takes beyond FillFromObject: the hierarchy and the texture picture.
void CopyDuplicateExtras(SceneObject& copy, const SceneObject& source) {
  copy.hierarchy = source.hierarchy;
  for (HierarchyNode& node : copy.hierarchy) {
    if (node.object == &source) node.object = &copy;
  }
  copy.textureFile = source.textureFile;
  copy.textureImage = source.textureImage;
  copy.textureImageSize = source.textureImageSize;
  copy.textureDepth = source.textureDepth;
  copy.textureKind = source.textureKind;
  copy.textureError = source.textureError;
  copy.importScale = source.importScale;
}

// Points of `object` in the frame its placement gives them: turned by its rotation, scaled by
// its scale, moved by `offset`.
void PlacePoints(const SceneObject& object, const Vec3f& offset, Vec3f* out) {
  const Rotation3 r = ViewRotationMatrix({object.rotation.x, object.rotation.y, object.rotation.z});
  const float s = object.scale;
  for (const Vec3f& p : object.points) {
    *out++ = {(r[0] * p.x + r[1] * p.y + r[2] * p.z) * s + offset.x,
              (r[3] * p.x + r[4] * p.y + r[5] * p.z) * s + offset.y,
              (r[6] * p.x + r[7] * p.y + r[8] * p.z) * s + offset.z};
  }
}

}  // namespace

int MirrorAxisOfSetting(uint16_t setting) { return setting == 2 ? 1 : setting == 3 ? 2 : 0; }

bool MirrorObject(SceneObject* object, int axis) {
  if (object == nullptr || !IsWellFormedMesh(*object)) return false;
  if (!DropHierarchyConfirmed(*object, kAskDropHierarchyMirror)) return false;
  const uint16_t wasOrganic = object->isOrganic, wasFastSynthetic = object->isFastSynthetic;
  if (!MakeSynthetic(object)) return false;
  Topology* topology = MutableTopology(*object);
  if (topology == nullptr) {
    ShowText(kErrNotEnoughMemory);
    return false;
  }
  MirrorInPlace(*object, *topology, axis);
  object->isFastSynthetic = 0;
  MarkObjectEdited(*object);
  // The states kept before have the other winding: stepping into one would turn the surface
  // inside out. Ctrl+Z takes the mirror back through TakeBackMirror instead.
  DropObjectHistory(object->serial);
  meshState.lastMirror = {object->serial, axis, scene.history.lastSequence, object->topology.get(),
                          wasOrganic, wasFastSynthetic, false};
  return true;
}

bool TakeBackMirror(SceneObject& object) {
  LastMirror& last = meshState.lastMirror;
  if (last.serial == 0 || last.serial != object.serial || last.historySequence != scene.history.lastSequence ||
      last.block != object.topology.get() || !IsWellFormedMesh(object)) {
    return false;
  }
  if (!last.takenBack) {
    Topology* topology = MutableTopology(object);
    if (topology == nullptr) {
      ShowText(kErrNotEnoughMemory);
      return false;
    }
    MirrorInPlace(object, *topology, last.axis);
    object.isFastSynthetic = last.wasFastSynthetic;
    // Its triangles are exactly the organic ones again: it shares the organic block once more.
    if (last.wasOrganic != 0 && scene.organicTopology && scene.organicTopology->triangles == topology->triangles) {
      object.topology = scene.organicTopology;
      object.isOrganic = 1;
    }
  } else {
    if (!MakeSynthetic(&object)) return false;
    Topology* topology = MutableTopology(object);
    if (topology == nullptr) {
      ShowText(kErrNotEnoughMemory);
      return false;
    }
    MirrorInPlace(object, *topology, last.axis);
    object.isFastSynthetic = 0;
  }
  last.takenBack = !last.takenBack;
  last.block = object.topology.get();
  MarkObjectEdited(object);
  DropObjectHistory(object.serial);
  return true;
}

bool MergeObjects(SceneObject* first, SceneObject* second) {
  if (first == nullptr || second == nullptr || first == second) return false;
  if (!IsWellFormedMesh(*first) || !IsWellFormedMesh(*second)) return false;
  if (!DropHierarchyConfirmed(*first, kAskDropHierarchyMerge)) return false;
  if (!DropHierarchyConfirmed(*second, kAskDropHierarchyMerge)) return false;
  const int slot = FindSlotForNewObject();
  if (slot < 0) return false;
  const int64_t points = int64_t(first->pointCount) + second->pointCount;
  const int64_t triangles = int64_t(first->triangleCount) + second->triangleCount;
  if (points > kMaxMeshPoints || triangles > kMaxMeshTriangles) {
    ShowText(kErrNoMemoryForNewObject);
    return false;
  }
  std::unique_ptr<SceneObject> merged = NewSceneObject(int32_t(points), int32_t(triangles));
  if (!merged) return false;
  {
    MeshProgress progress(kProgressMerging, 2);
    const size_t p1 = size_t(first->pointCount), t1 = size_t(first->triangleCount);
    PlacePoints(*first, {}, merged->points.data());
    PlacePoints(*second, second->position - first->position, merged->points.data() + p1);
    std::copy(first->pointColors.begin(), first->pointColors.end(), merged->pointColors.begin());
    std::copy(second->pointColors.begin(), second->pointColors.end(), merged->pointColors.begin() + std::ptrdiff_t(p1));
    std::copy(first->pointMask.begin(), first->pointMask.end(), merged->pointMask.begin());
    std::copy(second->pointMask.begin(), second->pointMask.end(), merged->pointMask.begin() + std::ptrdiff_t(p1));
    // The corner lists of both carry over: the second's references move past the first's
    // triangles, its corners past the first's points; the end marker stays.
    Topology* topology = MutableTopology(*merged);  // the new object's own block
    auto moveReference = [offset = uint32_t(t1 * 4)](uint32_t ref) {
      return ref == kEndOfCornerList ? ref : ref + offset;
    };
    std::span<const Triangle> firstTriangles = Triangles(*first), secondTriangles = Triangles(*second);
    std::copy(firstTriangles.begin(), firstTriangles.end(), topology->triangles.begin());
    std::transform(secondTriangles.begin(), secondTriangles.end(), topology->triangles.begin() + std::ptrdiff_t(t1),
                   [offset = uint32_t(p1)](const Triangle& t) {
                     return Triangle{t[0] + offset, t[1] + offset, t[2] + offset};
                   });
    std::span<const uint32_t> firstLists = PointFirstCorner(*first), secondLists = PointFirstCorner(*second);
    std::copy(firstLists.begin(), firstLists.end(), topology->pointFirstCorner.begin());
    std::transform(secondLists.begin(), secondLists.end(), topology->pointFirstCorner.begin() + std::ptrdiff_t(p1),
                   moveReference);
    std::span<const uint32_t> firstNext = TriangleNextCorner(*first), secondNext = TriangleNextCorner(*second);
    std::copy(firstNext.begin(), firstNext.end(), topology->triangleNextCorner.begin());
    std::transform(secondNext.begin(), secondNext.end(),
                   topology->triangleNextCorner.begin() + std::ptrdiff_t(t1 * 3), moveReference);
    (void)progress.Reached(0);
  }
  merged->hasUnsavedChanges = 1;
  merged->optics = first->optics;
  ApplyTextureMapping(TextureMappingOf(*first), *merged);
  merged->textureFile = first->textureFile;
  merged->textureImage = first->textureImage;
  merged->textureImageSize = first->textureImageSize;
  merged->textureDepth = first->textureDepth;
  merged->textureKind = first->textureKind;
  SetPlanarTextureCoordinates(*merged);
  BuildShadeRamp(*merged);
  merged->dirtyFlags = kAllDirty;
  return StoreObjectInSlot(slot, std::move(merged));
}

bool DuplicateObject(SceneObject* object) {
  if (object == nullptr) return false;
  const int slot = FindSlotForNewObject();
  if (slot < 0) return false;
  std::unique_ptr<SceneObject> copy =
      object->isOrganic != 0 ? NewOrganicSceneObject() : NewSceneObject(object->pointCount, object->triangleCount);
  if (!copy) return false;
  if (FillFromObject(copy.get(), object) != kNoError) {
    DisposeSceneObject(copy);
    return false;
  }
  try {
    CopyDuplicateExtras(*copy, *object);
  } catch (const std::bad_alloc&) {
    ShowText(kErrNoMemoryForNewObject);
    DisposeSceneObject(copy);
    return false;
  }
  copy->hasUnsavedChanges = 1;
  return StoreObjectInSlot(slot, std::move(copy));
}

bool MakeSynthetic(SceneObject* object) {
  if (object == nullptr) return false;
  if (object->isOrganic == 0) return true;
  if (MutableTopology(*object) == nullptr) {
    ShowText(kErrNotEnoughMemory);
    return false;
  }
  object->isOrganic = 0;
  object->hasUnsavedChanges = 1;
  return true;
}

bool ConfirmHierarchyLoss(const SceneObject& object) {
  if (object.hierarchy.empty() || object.hierarchy.front().role == kHierarchyCompact) return true;
  return AskMessage(GetString(kAskLoseHierarchy));
}

}  // namespace tsv
