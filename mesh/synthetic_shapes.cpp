// synthetic_shapes.cpp: the generators of the seven synthetic standard shapes and the commands that
// add a new standard shape to the object table.
//
// Sphere, cylinder and cone are stacks of rings: ring points run (r cos(2 pi j/n), h,
// -r sin(2 pi j/n)), consecutive rings (the lower first) are joined by bands, and the two poles
// close the lowest and the highest ring with fans.
#include "mesh/synthetic_shapes.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <span>
#include <utility>
#include <vector>

#include "mesh/mesh_basics.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/object_table.h"
#include "scene/organic.h"
#include "scene/scene_state.h"

namespace tsv {
namespace {

constexpr float kTwoPi = 6.2831855f;  // 2 pi in single precision

// Where a generator writes: the object's points and triangles, filled in order.
struct ShapeWriter {
  std::span<Vec3f> points;
  std::span<Triangle> triangles;
  size_t point = 0;
  size_t triangle = 0;

  uint32_t Point(float x, float y, float z) {
    points[point] = {x, y, z};
    return uint32_t(point++);
  }
  void Face(uint32_t a, uint32_t b, uint32_t c) { triangles[triangle++] = {a, b, c}; }
  // Two triangles over the quad a, b, c, d given in outward winding order.
  void Quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    Face(a, b, c);
    Face(a, c, d);
  }

  // A ring of n points at height h and radius r; returns its first index.
  uint32_t Ring(int32_t n, float h, float r) {
    const float step = kTwoPi / float(n);
    const uint32_t first = uint32_t(point);
    for (int32_t j = 0; j < n; ++j) {
      const float angle = float(j) * step;
      Point(r * std::cos(angle), h, -r * std::sin(angle));
    }
    return first;
  }
  // Joins ring `a` to the ring `b` above it.
  void Band(uint32_t a, uint32_t b, int32_t n) {
    for (int32_t j = 0; j < n; ++j) {
      const uint32_t next = uint32_t((j + 1) % n);
      Face(a + uint32_t(j), a + next, b + next);
      Face(a + uint32_t(j), b + next, b + uint32_t(j));
    }
  }
};

struct RingSpec {
  float height;
  float radius;
};

// Rings bottom to top, bands between them, then the poles (0, -128, 0) and (0, 128, 0) closing the
// first and the last ring.
void RingStack(ShapeWriter& w, int32_t n, const std::vector<RingSpec>& rings) {
  std::vector<uint32_t> firsts;
  firsts.reserve(rings.size());
  for (const RingSpec& ring : rings) firsts.push_back(w.Ring(n, ring.height, ring.radius));
  for (size_t k = 0; k + 1 < firsts.size(); ++k) w.Band(firsts[k], firsts[k + 1], n);
  const uint32_t low = w.Point(0, -128, 0), high = w.Point(0, 128, 0);
  const uint32_t first = firsts.front(), last = firsts.back();
  for (int32_t j = 0; j < n; ++j) {
    const uint32_t next = uint32_t((j + 1) % n);
    w.Face(low, first + next, first + uint32_t(j));
  }
  for (int32_t j = 0; j < n; ++j) {
    const uint32_t next = uint32_t((j + 1) % n);
    w.Face(high, last + uint32_t(j), last + next);
  }
}

// Row k (0..y) at height 128 - k 256/y, column j (0..x) at -128 + j 256/x, on z = 0.
void PlainMesh(ShapeWriter& w, int32_t x, int32_t y, bool bothSides) {
  const int copies = bothSides ? 2 : 1;
  for (int32_t k = 0; k <= y; ++k) {
    const float height = 128.0f - float(k) * 256.0f / float(y);
    for (int32_t j = 0; j <= x; ++j) {
      const float across = -128.0f + float(j) * 256.0f / float(x);
      for (int c = 0; c < copies; ++c) w.Point(across, height, 0.0f);
    }
  }
  // Grid point g is point g, or points 2g (front) and 2g + 1 (back) of the two-sided mesh.
  auto front = [&](int32_t g) { return uint32_t(g * copies); };
  auto back = [&](int32_t g) { return uint32_t(g * 2 + 1); };
  for (int32_t k = 0; k < y; ++k) {
    for (int32_t j = 0; j < x; ++j) {
      const int32_t p = k * (x + 1) + j, q = (k + 1) * (x + 1) + j;
      w.Face(front(p), front(q), front(q + 1));
      w.Face(front(q + 1), front(p + 1), front(p));
    }
  }
  if (!bothSides) return;
  for (int32_t k = 0; k < y; ++k) {
    for (int32_t j = 0; j < x; ++j) {
      const int32_t p = k * (x + 1) + j, q = (k + 1) * (x + 1) + j;
      w.Face(back(p), back(q + 1), back(q));
      w.Face(back(q + 1), back(p), back(p + 1));
    }
  }
}

void Sphere(ShapeWriter& w, int32_t x, int32_t y) {
  const int32_t r = y - 2;
  std::vector<RingSpec> rings;
  for (int32_t k = 0; k <= r; ++k) {
    const float s = 128.0f * std::sin((float(k + 1) / float(r + 2) - 0.5f) * 3.1415927f);
    rings.push_back({s, std::sqrt(std::max(0.0f, 16384.0f - s * s))});
  }
  RingStack(w, x, rings);
}

void Cylinder(ShapeWriter& w, int32_t x, int32_t y, int32_t b) {
  std::vector<RingSpec> rings;
  for (int32_t k = 0; k < b - 1; ++k) rings.push_back({-128.0f, 128.0f * float(k + 1) / float(b)});
  for (int32_t k = 0; k <= y; ++k) rings.push_back({float(k) * 256.0f / float(y) - 128.0f, 128.0f});
  for (int32_t k = 0; k < b - 1; ++k) rings.push_back({128.0f, 128.0f * (1.0f - float(k + 1) / float(b))});
  RingStack(w, x, rings);
}

void Cone(ShapeWriter& w, int32_t x, int32_t y, int32_t b) {
  std::vector<RingSpec> rings;
  for (int32_t k = 0; k < b - 1; ++k) rings.push_back({-128.0f, 128.0f * float(k + 1) / float(b)});
  for (int32_t k = 0; k < y; ++k) {
    const float h = float(k) * 256.0f / float(y) - 128.0f;
    rings.push_back({h, 64.0f - h / 2.0f});
  }
  RingStack(w, x, rings);
}

// Side rings of 4x points around the square, bottom to top, then the inner points of the bottom
// and top faces in pairs; each face is an x by x grid of cells, its border nodes on the rings.
void Cube(ShapeWriter& w, int32_t x, int32_t y) {
  const int32_t around = 4 * x;
  auto step = [x](int32_t i) { return float(i) * 256.0f / float(x); };
  for (int32_t k = 0; k <= y; ++k) {
    const float h = float(k) * 256.0f / float(y) - 128.0f;
    for (int32_t i = 0; i < x; ++i) w.Point(128.0f, h, 128.0f - step(i));
    for (int32_t i = 0; i < x; ++i) w.Point(128.0f - step(i), h, -128.0f);
    for (int32_t i = 0; i < x; ++i) w.Point(-128.0f, h, -128.0f + step(i));
    for (int32_t i = 0; i < x; ++i) w.Point(-128.0f + step(i), h, 128.0f);
  }
  const uint32_t inner = uint32_t(w.point);
  for (int32_t i = 0; i < x - 1; ++i) {
    for (int32_t j = 0; j < x - 1; ++j) {
      w.Point(128.0f - step(i + 1), -128.0f, 128.0f - step(j + 1));
      w.Point(128.0f - step(i + 1), 128.0f, 128.0f - step(j + 1));
    }
  }
  for (int32_t k = 0; k < y; ++k) w.Band(uint32_t(k * around), uint32_t((k + 1) * around), around);

  // Grid node (gi, gj) lies at x = 128 - gi 256/x, z = 128 - gj 256/x.
  auto node = [&](int32_t gi, int32_t gj, bool top) -> uint32_t {
    const uint32_t ring = top ? uint32_t(y * around) : 0;
    if (gi == 0) return ring + uint32_t(gj);
    if (gj == x) return ring + uint32_t(x + gi);
    if (gi == x) return ring + uint32_t(3 * x - gj);
    if (gj == 0) return ring + uint32_t(4 * x - gi);
    return inner + uint32_t(2 * ((gi - 1) * (x - 1) + (gj - 1))) + (top ? 1 : 0);
  };
  for (int top = 0; top < 2; ++top) {
    for (int32_t gi = 0; gi < x; ++gi) {
      for (int32_t gj = 0; gj < x; ++gj) {
        const uint32_t a = node(gi, gj, top), b = node(gi + 1, gj, top);
        const uint32_t c = node(gi + 1, gj + 1, top), d = node(gi, gj + 1, top);
        if (top) {
          w.Quad(a, d, c, b);
        } else {
          w.Quad(a, b, c, d);
        }
      }
    }
  }
}

// A torus around the y axis: ring radius c = 128 - 64f, tube radius t = 64f, so it always reaches
// out to 128 and closes in the middle at f = 1.
void Doughnut(ShapeWriter& w, int32_t x, int32_t y, float f) {
  const float tube = 64.0f * f, ring = 128.0f - 64.0f * f;
  for (int32_t i = 0; i < y; ++i) {
    const float a = kTwoPi * float(i) / float(y);
    for (int32_t j = 0; j < x; ++j) {
      const float b = kTwoPi * float(j) / float(x);
      const float reach = ring + tube * std::cos(b);
      w.Point(reach * std::cos(a), tube * std::sin(b), reach * std::sin(a));
    }
  }
  for (int32_t i = 0; i < y; ++i) {
    const int32_t i1 = (i + 1) % y;
    for (int32_t j = 0; j < x; ++j) {
      const int32_t j1 = (j + 1) % x;
      w.Quad(uint32_t(i * x + j), uint32_t(i * x + j1), uint32_t(i1 * x + j1), uint32_t(i1 * x + j));
    }
  }
}

int32_t Clamped(int32_t value, int32_t low, int32_t high) { return std::clamp(value, low, high); }

}  // namespace

StringId SyntheticShapeName(int shape) {
  switch (shape) {
    case kFrontSidePlainMesh: return kShapeFrontSidePlain;
    case kBothSidesPlainMesh: return kShapeBothSidesPlain;
    case kSyntheticSphere: return kShapeSphere;
    case kSyntheticCylinder: return kShapeCylinder;
    case kSyntheticCube: return kShapeCube;
    case kSyntheticCone: return kShapeCone;
    case kSyntheticDoughnut: return kShapeDoughnut;
    default: return StringId{};
  }
}

bool ClampSyntheticShapeSettings(SyntheticShapeSettings& s) {
  constexpr int32_t kMax = kMaxShapeDivisions;
  switch (s.shape) {
    case kFrontSidePlainMesh:
    case kBothSidesPlainMesh:
    case kSyntheticCube:
      s.x = Clamped(s.x, 1, kMax);
      s.y = Clamped(s.y, 1, kMax);
      return true;
    case kSyntheticSphere:
      s.x = Clamped(s.x, 3, kMax);
      s.y = Clamped(s.y, 2, kMax + 2);  // y - 2 latitude steps: 1..513 rings
      return true;
    case kSyntheticCylinder:
    case kSyntheticCone:
      s.x = Clamped(s.x, 3, kMax);
      s.y = Clamped(s.y, 1, kMax);
      s.b = Clamped(s.b, 1, kMax);
      return true;
    case kSyntheticDoughnut:
      s.x = Clamped(s.x, 3, kMax);
      s.y = Clamped(s.y, 3, kMax);
      s.f = s.f >= kMinFatness ? std::min(s.f, kMaxFatness) : kMinFatness;
      return true;
    default:
      return false;
  }
}

bool ClampShapeDialogSettings(SyntheticShapeSettings& s) {
  if (s.shape >= kSyntheticShapeCount) return false;
  s.x = Clamped(s.x, 1, kMaxShapeDivisions);
  s.y = Clamped(s.y, 1, kMaxShapeDivisions);
  s.b = Clamped(s.b, 1, kMaxShapeDivisions);
  s.f = s.f >= kMinFatness ? std::min(s.f, kMaxFatness) : kMinFatness;
  return ClampSyntheticShapeSettings(s);
}

MeshCounts SyntheticShapeCounts(const SyntheticShapeSettings& s) {
  const int32_t x = s.x, y = s.y, b = s.b;
  switch (s.shape) {
    case kFrontSidePlainMesh: return {(x + 1) * (y + 1), 2 * x * y};
    case kBothSidesPlainMesh: return {2 * (x + 1) * (y + 1), 4 * x * y};
    case kSyntheticSphere: return {x * (y - 1) + 2, 2 * x * (y - 1)};
    case kSyntheticCylinder: return {x * (y + 2 * b - 1) + 2, 2 * x * (y + 2 * b - 1)};
    case kSyntheticCube: return {4 * x * (y + 1) + 2 * (x - 1) * (x - 1), 8 * x * y + 4 * x * x};
    case kSyntheticCone: return {x * (b - 1 + y) + 2, 2 * x * (b - 1 + y)};
    case kSyntheticDoughnut: return {x * y, 2 * x * y};
    default: return {};
  }
}

std::unique_ptr<SceneObject> BuildSyntheticShape(SyntheticShapeSettings& settings) {
  if (!ClampSyntheticShapeSettings(settings)) return nullptr;
  const SyntheticShapeSettings s = settings;
  const MeshCounts counts = SyntheticShapeCounts(s);
  std::unique_ptr<SceneObject> object = NewSceneObject(counts.points, counts.triangles);
  if (!object) return nullptr;
  Topology* topology = MutableTopology(*object);  // the new object's own block: never a copy
  if (topology == nullptr) {
    ShowStopMessage(GetString(kErrNoMemoryForNewObject));
    DisposeSceneObject(object);
    return nullptr;
  }
  ShapeWriter w{object->points, topology->triangles};
  try {
    switch (s.shape) {
      case kFrontSidePlainMesh: PlainMesh(w, s.x, s.y, false); break;
      case kBothSidesPlainMesh: PlainMesh(w, s.x, s.y, true); break;
      case kSyntheticSphere: Sphere(w, s.x, s.y); break;
      case kSyntheticCylinder: Cylinder(w, s.x, s.y, s.b); break;
      case kSyntheticCube: Cube(w, s.x, s.y); break;
      case kSyntheticCone: Cone(w, s.x, s.y, s.b); break;
      case kSyntheticDoughnut: Doughnut(w, s.x, s.y, s.f); break;
      default: break;
    }
    // Every generator fills exactly what SyntheticShapeCounts promises, so the lists can only
    // fail for lack of memory.
    if (!BuildCornerLists(*object)) throw std::bad_alloc();
  } catch (const std::bad_alloc&) {
    ShowStopMessage(GetString(kErrNoMemoryForNewObject));
    DisposeSceneObject(object);
    return nullptr;
  }
  SetPlanarTextureCoordinates(*object);
  object->dirtyFlags = kAllDirty;
  return object;
}

SceneObject* NewSyntheticObject(const SyntheticShapeSettings& settings) {
  SyntheticShapeSettings s = settings;
  if (s.shape >= kSyntheticShapeCount) return nullptr;
  const int slot = FindSlotForNewObject();
  if (slot < 0) return nullptr;
  std::unique_ptr<SceneObject> object = BuildSyntheticShape(s);
  if (!object || !StoreObjectInSlot(slot, std::move(object))) return nullptr;
  return scene.objectTable[size_t(slot)].get();
}

SceneObject* NewOrganicShapeObject(int shape) {
  if (shape < 0 || shape >= kOrganicShapeCount) return nullptr;
  const int slot = FindSlotForNewObject();
  if (slot < 0) return nullptr;
  std::unique_ptr<SceneObject> object = NewOrganicSceneObject();
  if (!object) return nullptr;
  if (FillStandardShape(object.get(), shape) != kNoError) {
    DisposeSceneObject(object);
    return nullptr;
  }
  if (!StoreObjectInSlot(slot, std::move(object))) return nullptr;
  return scene.objectTable[size_t(slot)].get();
}

}  // namespace tsv
