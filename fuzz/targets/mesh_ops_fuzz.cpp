// mesh_ops_fuzz.cpp: meshes built from any bytes (points that are not numbers or far out, corners
// out of range or repeated, edges shared by many triangles) put through the mesh operations:
// simplification, the paint-driven pass, the four-way split, mirror and taking it back, merge,
// duplicate, make synthetic and the repairs of the derivation. Whatever the mesh, each operation
// either refuses it or leaves a mesh whose arrays fit its counts and whose corner lists are the
// ones its triangles give.
//
// Input: byte 0 chooses the operations (bit 0 simplify, 1 adaptive, 2 quad, 3 mirror, 4 merge,
// 5 duplicate, 6 make synthetic, 7 join, normals, turns and invert); byte 1 the settings (bits 0-1
// the mirror axis, bit 2 protected borders, bit 3 a hierarchy to drop, bits 4-7 the adaptive
// threshold in steps of 64); bytes 2-3 and 4-5 the point and triangle counts (little-endian, cut
// to kMostPoints and kMostTriangles); then per point three floats and per triangle three 16-bit
// corners, zero where the input ends.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "mesh/mesh_basics.h"
#include "mesh/mesh_density.h"
#include "mesh/mesh_state.h"
#include "mesh/object_copies.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"

namespace {

using namespace tsv;

constexpr size_t kMostPoints = 512;
constexpr size_t kMostTriangles = 1024;

// The corner lists are exactly those the triangles give.
bool ListsMatchTriangles(const SceneObject& object) {
  Topology expected;
  expected.triangles.assign(Triangles(object).begin(), Triangles(object).end());
  if (!BuildCornerLists(expected, object.pointCount)) return false;
  return std::equal(expected.pointFirstCorner.begin(), expected.pointFirstCorner.end(),
                    PointFirstCorner(object).begin(), PointFirstCorner(object).end()) &&
         std::equal(expected.triangleNextCorner.begin(), expected.triangleNextCorner.end(),
                    TriangleNextCorner(object).begin(), TriangleNextCorner(object).end());
}

// After an operation: arrays that fit the counts, and a well-formed mesh stays well formed.
void Check(const SceneObject* object, bool wellFormed) {
  if (object == nullptr) return;
  if (!HasConsistentArrays(*object)) std::abort();
  if (wellFormed && (!IsWellFormedMesh(*object) || !ListsMatchTriangles(*object))) std::abort();
}

void ClearTable() {
  for (auto& slot : scene.objectTable) DisposeSceneObject(slot);
  ResetMeshState();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::InitFuzzTarget();
  if (!InitScene()) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FuzzBytes in(data, size);
  const uint8_t operations = in.Byte(), settings = in.Byte();
  const size_t points = std::min<size_t>(in.Word(), kMostPoints);
  const size_t triangles = std::min<size_t>(in.Word(), kMostTriangles);
  std::unique_ptr<SceneObject> made = NewSceneObject(int32_t(points), int32_t(triangles));
  if (!made) std::abort();
  for (Vec3f& p : made->points) p = {in.Float(), in.Float(), in.Float()};
  for (size_t i = 0; i < points; ++i) made->pointColors[i] = {in.Byte(), in.Byte(), in.Byte()};
  Topology* topology = MutableTopology(*made);
  for (Triangle& t : topology->triangles) t = {in.Word(), in.Word(), in.Word()};
  (void)BuildCornerLists(*made);  // false for corners out of range: the operations must refuse those
  if (settings & 8) made->hierarchy.resize(1);
  made->optics.isPainted = 1;
  const bool wellFormed = IsWellFormedMesh(*made);

  const int slot = FindFreeObjectSlot();
  if (!StoreObjectInSlot(slot, std::move(made))) std::abort();
  SceneObject* object = scene.objectTable[size_t(slot)].get();
  meshState.preserveBorders = (settings & 4) != 0;
  // The hierarchy question is answered Yes on every other input, so both ways are taken.
  fuzz::fuzzState.services->messageAnswers.assign(8, (operations & 1) != 0);

  if (operations & 1) SimplifyObject(object);
  Check(object, wellFormed);
  if (operations & 2) AdaptiveRemeshPass(object, (settings >> 4) * 64);
  Check(object, wellFormed);
  if ((operations & 4) && object->triangleCount <= int32_t(kMostTriangles)) QuadDensity(object);
  Check(object, wellFormed);
  if (operations & 8) {
    const std::vector<Vec3f> before = object->points;
    const std::vector<Triangle> triangles(Triangles(*object).begin(), Triangles(*object).end());
    if (MirrorObject(object, settings & 3)) {
      Check(object, wellFormed);
      if (!TakeBackMirror(*object)) std::abort();
      // Twice across one plane is exact, bit for bit, whatever the numbers were.
      if (before.size() != object->points.size() ||
          (!before.empty() && std::memcmp(before.data(), object->points.data(), before.size() * sizeof(Vec3f)) != 0)) {
        std::abort();
      }
      if (!std::equal(triangles.begin(), triangles.end(), Triangles(*object).begin(), Triangles(*object).end())) {
        std::abort();
      }
    }
    Check(object, wellFormed);
  }
  if (operations & 16) {
    SceneObject* second = NewObjectInTable(false, 3, 1);
    if (second == nullptr) std::abort();
    MutableTopology(*second)->triangles[0] = {0, 1, 2};
    if (!BuildCornerLists(*second)) std::abort();
    if (MergeObjects(object, second)) Check(scene.currentObject, wellFormed);
  }
  if ((operations & 32) && DuplicateObject(object)) Check(scene.currentObject, wellFormed);
  if (operations & 64) (void)MakeSynthetic(object);
  if (operations & 128) {
    DerivationSteps steps;
    steps.joinPoints = steps.correctNormals = steps.invertNormals = true;
    steps.turnsX = steps.turnsY = steps.turnsZ = 1;
    (void)RunDerivationSteps(*object, steps);
    Check(object, wellFormed);
  }
  ClearTable();
  fuzz::ForgetShownTexts();
  return 0;
}
