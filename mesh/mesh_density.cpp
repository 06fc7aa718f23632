// mesh_density.cpp: ring-cluster simplification, the four-way split, the paint-driven re-mesh and
// the derivation pipeline.
//
// Every pass walks the corner lists only: a point's ring is the corners of the triangles in its
// list, an edge's other triangles are in the list of one of its ends. The new mesh is gathered in
// arrays of its exact size and swapped in at the end, so nothing of the object changes before the
// result is known to be acceptable.
#include "mesh/mesh_density.h"

#include <algorithm>
#include <memory>
#include <new>
#include <span>
#include <utility>
#include <vector>

#include "mesh/correct_normals.h"
#include "mesh/join_points.h"
#include "mesh/mesh_basics.h"
#include "mesh/mesh_progress.h"
#include "mesh/mesh_ranges.h"
#include "mesh/mesh_state.h"
#include "mesh/object_copies.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/allocation.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"

namespace tsv {

MeshState meshState;

void ResetMeshState() { meshState = MeshState{}; }

namespace {

// Cluster states of a point.
constexpr uint8_t kFree = 0;
constexpr uint8_t kTaken = 1;   // given to a cluster; a later centre may take it over
constexpr uint8_t kBorder = 2;  // on an open border: stays a cluster of its own
constexpr uint8_t kCentre = 3;  // the centre of a cluster: never taken over

void ShowText(StringId id) { ShowStopMessage(GetString(id)); }

void Report(Status* outcome, Status status) {
  if (outcome != nullptr) *outcome = status;
}

// Whether another triangle than t holds both p and q. Every such triangle is in both ends' lists,
// so the two lists are walked in step and the search ends with the shorter one: a point shared by
// thousands of triangles (a fan's centre) costs no more than its partner's few.
bool EdgeShared(std::span<const Triangle> triangles, std::span<const uint32_t> first,
                std::span<const uint32_t> next, uint32_t t, uint32_t p, uint32_t q) {
  auto holds = [&](uint32_t ref, uint32_t other) {
    const uint32_t s = CornerTriangle(ref);
    const Triangle& tri = triangles[s];
    return s != t && (tri[0] == other || tri[1] == other || tri[2] == other);
  };
  for (uint32_t a = first[p], b = first[q]; a != kEndOfCornerList && b != kEndOfCornerList;) {
    if (holds(a, q) || holds(b, p)) return true;
    a = next[CornerSlot(a)];
    b = next[CornerSlot(b)];
  }
  return false;
}

uint64_t MixBits(uint64_t x) {
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// Every corner of a triangle with an open edge (one no other triangle holds) is a border point.
// A quick sweep first: every edge of every triangle adds each end's hash to the other end's
// parity, so around a point inside a surface, where each edge has two triangles, the parity
// cancels. Only an edge between two points where it does not (points on a border, on an edge of
// three triangles, on a triangle with a repeated corner) is searched for a second triangle. The
// sweep reads the triangles in order instead of chasing the corner lists point by point.
void MarkBorderPoints(const SceneObject& object, std::vector<uint8_t>& state) {
  std::span<const Triangle> triangles = Triangles(object);
  std::span<const uint32_t> first = PointFirstCorner(object), next = TriangleNextCorner(object);
  std::vector<uint64_t> parity = AllocateArray<uint64_t>(state.size());
  std::vector<uint8_t> uncertain = AllocateArray<uint8_t>(state.size());
  for (const Triangle& tri : triangles) {
    for (uint32_t k = 0; k < 3; ++k) {
      const uint32_t p = tri[k], q = tri[(k + 1) % 3];
      parity[p] ^= MixBits(q);
      parity[q] ^= MixBits(p);
    }
    if (tri[0] == tri[1] || tri[1] == tri[2] || tri[2] == tri[0]) uncertain[tri[0]] = uncertain[tri[1]] = uncertain[tri[2]] = 1;
  }
  for (size_t p = 0; p < state.size(); ++p) uncertain[p] |= parity[p] != 0;
  for (uint32_t t = 0; t < triangles.size(); ++t) {
    const Triangle& tri = triangles[t];
    bool open = false;
    for (uint32_t k = 0; k < 3 && !open; ++k) {
      const uint32_t p = tri[k], q = tri[(k + 1) % 3];
      open = uncertain[p] && uncertain[q] && !EdgeShared(triangles, first, next, t, p, q);
    }
    if (open) state[tri[0]] = state[tri[1]] = state[tri[2]] = kBorder;
  }
}

// The clusters of one pass: per old point its new index, and per new index its centre.
struct Clusters {
  std::vector<uint32_t> newIndex;
  std::vector<uint32_t> centres;
};

// threshold < 0: every free point takes its ring (simplification); otherwise only a free point
// whose R + G + B is below the threshold does. False when the user cancelled.
bool FormClusters(const SceneObject& object, int threshold, Clusters& clusters, MeshProgress& progress) {
  const size_t points = size_t(object.pointCount);
  std::vector<uint8_t> state = AllocateArray<uint8_t>(points, kFree);
  clusters.newIndex = AllocateArray<uint32_t>(points);
  clusters.centres = AllocateArray<uint32_t>(points);
  if (meshState.preserveBorders) MarkBorderPoints(object, state);

  std::span<const Triangle> triangles = Triangles(object);
  std::span<const uint32_t> first = PointFirstCorner(object), next = TriangleNextCorner(object);
  uint32_t n = 0;
  for (uint32_t i = 0; i < points; ++i) {
    if (!progress.Reached(i)) return false;
    if (state[i] == kTaken) continue;
    bool takesRing = state[i] == kFree;
    if (takesRing && threshold >= 0) {
      const Rgb8& c = object.pointColors[i];
      takesRing = int(c.red) + c.green + c.blue < threshold;
    }
    if (takesRing) {
      for (uint32_t ref = first[i]; ref != kEndOfCornerList; ref = next[CornerSlot(ref)]) {
        for (uint32_t corner : triangles[CornerTriangle(ref)]) {
          // Border points and earlier centres are never absorbed: the border keeps every point,
          // and a centre already stands for its cluster.
          if (state[corner] == kBorder || state[corner] == kCentre) continue;
          state[corner] = kTaken;
          clusters.newIndex[corner] = n;
        }
      }
    }
    state[i] = kCentre;
    clusters.newIndex[i] = n;
    clusters.centres[n] = i;
    ++n;
  }
  clusters.centres.resize(n);
  return true;
}

// The new mesh of a pass, before it replaces the object's.
struct NewMesh {
  std::vector<Vec3f> points;
  std::vector<Rgb8> colors;
  std::vector<uint8_t> mask;
  std::vector<Uv> uv;
  std::shared_ptr<Topology> topology;
};

// Takes the new mesh into the object: counts, arrays, its own block, no longer organic.
void ReplaceMesh(SceneObject& object, NewMesh&& mesh, uint16_t fastSynthetic) {
  object.pointCount = int32_t(mesh.points.size());
  object.triangleCount = int32_t(mesh.topology->triangles.size());
  object.points = std::move(mesh.points);
  object.pointColors = std::move(mesh.colors);
  object.pointMask = std::move(mesh.mask);
  object.pointUV = std::move(mesh.uv);
  object.topology = std::move(mesh.topology);
  object.isOrganic = 0;
  object.isFastSynthetic = fastSynthetic;
  MarkObjectEdited(object);
}

// What every pass checks first: an object with a sound mesh, its hierarchy dropped after the
// pass's question. False, with the outcome said, when the pass must not run.
bool ReadyForPass(SceneObject* object, StringId warning, Status* outcome) {
  if (object == nullptr || !IsWellFormedMesh(*object)) {
    Report(outcome, kMalformed);
    return false;
  }
  if (!DropHierarchyConfirmed(*object, warning)) {
    Report(outcome, kCancelled);
    return false;
  }
  return true;
}

SceneObject* ClusterPass(SceneObject* object, int threshold, StringId warning, StringId progressText,
                         Status* outcome) {
  if (!ReadyForPass(object, warning, outcome)) return object;
  const std::span<const Triangle> triangles = Triangles(*object);
  Clusters clusters;
  NewMesh mesh;
  try {
    MeshProgress progress(progressText, uint64_t(object->pointCount));
    if (!FormClusters(*object, threshold, clusters, progress)) {
      Report(outcome, kCancelled);
      return object;
    }
    // The triangles renumbered in one pass; those whose corners fall into fewer than three
    // clusters go.
    const std::vector<uint32_t>& index = clusters.newIndex;
    std::vector<Triangle> renumbered;
    CountSceneAllocation();
    renumbered.reserve(triangles.size());
    for (const Triangle& tri : triangles) {
      const uint32_t a = index[tri[0]], b = index[tri[1]], c = index[tri[2]];
      if (a != b && b != c && c != a) renumbered.push_back({a, b, c});
    }
    const size_t kept = renumbered.size();
    const size_t count = clusters.centres.size();
    if (count == size_t(object->pointCount) && kept == triangles.size()) {
      // Nothing merged: the object stays exactly as it was.
      Report(outcome, kNoError);
      return object;
    }
    if (count <= 3 || kept <= 3) {
      ShowText(kErrTooSimple);
      Report(outcome, kMalformed);
      return object;
    }
    mesh.points = AllocateArray<Vec3f>(count);
    mesh.colors = AllocateArray<Rgb8>(count);
    mesh.mask = AllocateArray<uint8_t>(count);
    mesh.uv = AllocateArray<Uv>(count);
    for (size_t n = 0; n < count; ++n) {
      const uint32_t centre = clusters.centres[n];
      mesh.points[n] = object->points[centre];
      mesh.colors[n] = object->pointColors[centre];
      mesh.mask[n] = object->pointMask[centre];
      mesh.uv[n] = object->pointUV[centre];
    }
    mesh.topology = AllocateSharedRecord<Topology>();
    // An array of the exact size: the object keeps it for as long as it lives.
    CountSceneAllocation();
    mesh.topology->triangles.assign(renumbered.begin(), renumbered.end());
    if (!BuildCornerLists(*mesh.topology, int32_t(count))) throw std::bad_alloc();
  } catch (const std::bad_alloc&) {
    ShowText(kErrNoMemoryForNewObject);
    Report(outcome, kNoMemory);
    return object;
  }
  RemapSnapPoints(*object, clusters.newIndex);
  ReplaceMesh(*object, std::move(mesh), 0);
  Report(outcome, kNoError);
  return object;
}

// An edge whose midpoint is still to be made.
constexpr uint32_t kNoMidpoint = UINT32_MAX;

// The midpoint an earlier triangle than t made for edge {p, q}, or kNoMidpoint. Every triangle
// along an edge takes the midpoint of the first one, so any earlier triangle along it gives the
// answer; the lists of both ends are walked in step (each runs in triangle order, so a walk ends
// at t), and the shorter one bounds the search.
uint32_t EarlierMidpoint(std::span<const Triangle> triangles, std::span<const uint32_t> first,
                         std::span<const uint32_t> next, std::span<const uint32_t> midpoint, uint32_t t,
                         uint32_t p, uint32_t q) {
  // The midpoint of triangle `ref` names when it holds the edge from its corner to `other`.
  auto probe = [&](uint32_t ref, uint32_t other) {
    const uint32_t s = CornerTriangle(ref), c = CornerNumber(ref);
    const Triangle& tri = triangles[s];
    if (tri[(c + 1) % 3] == other) return midpoint[size_t(s) * 3 + c];
    if (tri[(c + 2) % 3] == other) return midpoint[size_t(s) * 3 + (c + 2) % 3];
    return kNoMidpoint;
  };
  auto ended = [&](uint32_t ref) { return ref == kEndOfCornerList || CornerTriangle(ref) >= t; };
  for (uint32_t a = first[p], b = first[q]; !ended(a) && !ended(b);) {
    if (const uint32_t found = probe(a, q); found != kNoMidpoint) return found;
    if (const uint32_t found = probe(b, p); found != kNoMidpoint) return found;
    a = next[CornerSlot(a)];
    b = next[CornerSlot(b)];
  }
  return kNoMidpoint;
}

}  // namespace

void DropHierarchy(SceneObject& object) {
  object.hierarchy.clear();
  for (auto& slot : scene.objectTable) {
    if (!slot) continue;
    for (HierarchyNode& node : slot->hierarchy) {
      if (node.object == &object) node.object = nullptr;
    }
  }
  MarkObjectEdited(object);
}

bool DropHierarchyConfirmed(SceneObject& object, StringId warning) {
  if (object.hierarchy.empty()) return true;
  if (!AskMessage(GetString(warning))) return false;
  DropHierarchy(object);
  return true;
}

SceneObject* SimplifyObject(SceneObject* object, Status* outcome) {
  return ClusterPass(object, -1, kAskDropHierarchySimplify, kProgressSimplifying, outcome);
}

SceneObject* AdaptiveRemeshPass(SceneObject* object, int threshold, Status* outcome) {
  return ClusterPass(object, std::max(threshold, 0), kAskDropHierarchyAdaptive, kProgressRemeshing, outcome);
}

SceneObject* QuadDensity(SceneObject* object, Status* outcome) {
  if (!ReadyForPass(object, kAskDropHierarchyQuad, outcome)) return object;
  const std::span<const Triangle> triangles = Triangles(*object);
  const std::span<const uint32_t> first = PointFirstCorner(*object), next = TriangleNextCorner(*object);
  const uint64_t pointCount = uint64_t(object->pointCount), triangleCount = triangles.size();
  if (triangleCount * 4 > uint64_t(kMaxMeshTriangles)) {
    ShowText(kErrNoMemoryForNewObject);
    Report(outcome, kNoMemory);
    return object;
  }
  NewMesh mesh;
  try {
    MeshProgress progress(kProgressQuadDensity, triangleCount);
    // Pass 1: the midpoint index of every triangle's three edges (a, b), (b, c), (c, a). An edge
    // reuses the midpoint of an earlier triangle along it, compared as an unordered pair, so
    // neighbours wound either way share it.
    std::vector<uint32_t> midpoint = AllocateArray<uint32_t>(size_t(triangleCount) * 3);
    uint64_t created = pointCount;
    for (uint32_t t = 0; t < triangleCount; ++t) {
      if (!progress.Reached(t)) {
        Report(outcome, kCancelled);
        return object;
      }
      const Triangle& tri = triangles[t];
      for (uint32_t k = 0; k < 3; ++k) {
        const uint32_t found = EarlierMidpoint(triangles, first, next, midpoint, t, tri[k], tri[(k + 1) % 3]);
        midpoint[size_t(t) * 3 + k] = found != kNoMidpoint ? found : uint32_t(created++);
      }
    }
    if (created > uint64_t(kMaxMeshPoints)) {
      ShowText(kErrNoMemoryForNewObject);
      Report(outcome, kNoMemory);
      return object;
    }
    // Pass 2: every point keeps its index; a midpoint is filled by the triangle that made it.
    const size_t count = size_t(created);
    mesh.points = AllocateArray<Vec3f>(count);
    mesh.colors = AllocateArray<Rgb8>(count);
    mesh.mask = AllocateArray<uint8_t>(count);
    mesh.uv = AllocateArray<Uv>(count);
    std::copy(object->points.begin(), object->points.end(), mesh.points.begin());
    std::copy(object->pointColors.begin(), object->pointColors.end(), mesh.colors.begin());
    std::copy(object->pointMask.begin(), object->pointMask.end(), mesh.mask.begin());
    std::copy(object->pointUV.begin(), object->pointUV.end(), mesh.uv.begin());
    mesh.topology = AllocateSharedRecord<Topology>();
    mesh.topology->triangles = AllocateArray<Triangle>(size_t(triangleCount) * 4);
    Triangle* out = mesh.topology->triangles.data();
    uint32_t fresh = uint32_t(pointCount);
    for (uint32_t t = 0; t < triangleCount; ++t) {
      const Triangle& tri = triangles[t];
      const uint32_t* m = &midpoint[size_t(t) * 3];
      for (uint32_t k = 0; k < 3; ++k) {
        if (m[k] != fresh) continue;
        const uint32_t p = tri[k], q = tri[(k + 1) % 3];
        const Vec3f &a = object->points[p], &b = object->points[q];
        mesh.points[fresh] = {(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f, (a.z + b.z) * 0.5f};
        const Uv &ua = object->pointUV[p], &ub = object->pointUV[q];
        mesh.uv[fresh] = {(ua.u + ub.u) * 0.5f, (ua.v + ub.v) * 0.5f};
        const Rgb8 &ca = object->pointColors[p], &cb = object->pointColors[q];
        mesh.colors[fresh] = {uint8_t((ca.red + cb.red) >> 1), uint8_t((ca.green + cb.green) >> 1),
                              uint8_t((ca.blue + cb.blue) >> 1)};
        mesh.mask[fresh] = uint8_t((object->pointMask[p] + object->pointMask[q]) >> 1);
        ++fresh;
      }
      const uint32_t a = tri[0], b = tri[1], c = tri[2], ab = m[0], bc = m[1], ca = m[2];
      out[0] = {a, ab, ca};
      out[1] = {ab, b, bc};
      out[2] = {ab, bc, ca};
      out[3] = {ca, bc, c};
      out += 4;
    }
    if (!BuildCornerLists(*mesh.topology, int32_t(count))) throw std::bad_alloc();
    if (!GrowWorkArrays(int32_t(count), int32_t(triangleCount * 4))) throw std::bad_alloc();
  } catch (const std::bad_alloc&) {
    ShowText(kErrNoMemoryForNewObject);
    Report(outcome, kNoMemory);
    return object;
  }
  ReplaceMesh(*object, std::move(mesh), 1);
  Report(outcome, kNoError);
  return object;
}

Status RunDerivationSteps(SceneObject& object, const DerivationSteps& steps) {
  if (steps.adaptiveRemesh && object.optics.isPainted == 0) {
    ShowText(kErrNotPaintable);
    return kMalformed;
  }
  // JoinPoints and CorrectNormals report their own failures; a malformed mesh reaches them only
  // from outside data, which the readers refuse first.
  if (steps.joinPoints && JoinPoints(&object) == nullptr) return IsWellFormedMesh(object) ? kNoMemory : kMalformed;
  if (steps.correctNormals && !CorrectNormals(&object)) return IsWellFormedMesh(object) ? kNoMemory : kMalformed;
  Status status = kNoError;
  for (int pass = 0; pass < steps.simplifyPasses; ++pass) {
    SimplifyObject(&object, &status);
    if (status != kNoError) return status;
  }
  for (int pass = 0; pass < steps.quadPasses; ++pass) {
    QuadDensity(&object, &status);
    if (status != kNoError) return status;
  }
  if (steps.adaptiveRemesh) {
    // The question names the re-mesh, not the split it starts with.
    if (!DropHierarchyConfirmed(object, kAskDropHierarchyAdaptive)) return kCancelled;
    QuadDensity(&object, &status);
    if (status == kNoError) AdaptiveRemeshPass(&object, kAdaptiveGreyThreshold, &status);
    if (status == kNoError) AdaptiveRemeshPass(&object, kAdaptiveBlackThreshold, &status);
    if (status != kNoError) return status;
  }
  for (int turn = 0; turn < steps.turnsX; ++turn) QuarterTurnX(&object);
  for (int turn = 0; turn < steps.turnsY; ++turn) QuarterTurnY(&object);
  for (int turn = 0; turn < steps.turnsZ; ++turn) QuarterTurnZ(&object);
  if (steps.invertNormals) {
    const std::shared_ptr<const Topology> before = object.topology;
    InvertWinding(&object);
    if (object.triangleCount > 0 && object.topology == before) return kNoMemory;
  }
  return kNoError;
}

Status DeriveNewObject(const DerivationSteps& steps) {
  SceneObject* source = scene.currentObject;
  if (source == nullptr) return kMalformed;
  if (steps.adaptiveRemesh && source->optics.isPainted == 0) {
    ShowText(kErrNotPaintable);
    return kMalformed;
  }
  const int sourceSlot = scene.currentObjectIndex;
  // The copy takes the first free slot; it is found there even when it could not be made current.
  const int copySlot = FindFreeObjectSlot();
  if (!DuplicateObject(source)) return kNoMemory;
  SceneObject* copy = scene.objectTable[size_t(copySlot)].get();
  const Status status = RunDerivationSteps(*copy, steps);
  if (status != kNoError) {
    DisposeSceneObject(scene.objectTable[size_t(copySlot)]);
    (void)SetCurrentObject(sourceSlot);
    return status;
  }
  // The steps changed the copy's mesh: its work records are bound again.
  (void)SetCurrentObject(copySlot);
  return kNoError;
}

}  // namespace tsv
