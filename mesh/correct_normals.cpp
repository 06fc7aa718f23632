// correct_normals.cpp: the three orientation passes and the flood that carries a seed triangle's
// winding across its piece.
//
// Seeds. Within a pass the next seed is the point farthest along the axis among the triangles not
// yet reached, the earliest triangle and corner winning ties. The first seed of a pass comes from
// one scan over all triangles, which also notes each triangle's farthest corner; when the first
// piece does not cover the mesh, the triangles left are sorted once by that corner (a radix sort,
// stable, so ties keep triangle order) and every later seed is the next unreached triangle in that
// order. A closed mesh of one piece therefore never pays for the sort, and a mesh of a
// million pieces (a triangle soup) never rescans all triangles per piece.
#include "mesh/correct_normals.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <utility>
#include <vector>

#include "mesh/mesh_basics.h"
#include "platform/progress.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/allocation.h"
#include "scene/vec3.h"

namespace tsv {
namespace {

// Bits of a triangle's state in a pass (TriangleMark below).
constexpr uint8_t kAllEdges = 7;
// The pass bits a triangle collects in its flips when a pass turns it.
constexpr uint8_t kTurnedAlongX = 4, kTurnedAlongY = 2, kTurnedAlongZ = 1;
constexpr uint8_t kVisited = 0x80;
constexpr int32_t kNoLink = -1;
constexpr float kMinusInfinity = -std::numeric_limits<float>::infinity();

float Along(const Vec3f& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

// The component along `axis` of the unit normal (P1 - P0) x (P2 - P0); 0 for a triangle without
// area (or without finite corners).
float UnitNormalComponent(std::span<const Vec3f> points, const Triangle& t, int axis) {
  const Vec3f& p0 = points[t[0]];
  return Along(Normalised(Cross(points[t[1]] - p0, points[t[2]] - p0)), axis);
}

// A triangle's farthest corner along the axis: its value (a coordinate that is not a number
// counts as minus infinity, and -0 as 0) and the first corner that has it.
struct Reach {
  float value;
  int corner;
};
Reach FarthestCorner(std::span<const Vec3f> points, const Triangle& t, int axis) {
  Reach best{kMinusInfinity, 0};
  for (int k = 0; k < 3; ++k) {
    const float c = Along(points[t[size_t(k)]], axis);
    if (c > best.value) best = {c, k};
  }
  if (best.value == 0.0f) best.value = 0.0f;
  return best;
}

// Orders floats as unsigned integers: larger float, larger key.
uint32_t SortableBits(float value) {
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  return (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
}

// A seed candidate: the farthest value in the high half (inverted, so that ascending order puts
// the farthest first), then the triangle and the corner that holds the value.
uint64_t SeedEntry(Reach reach, size_t triangle) {
  return (uint64_t(~SortableBits(reach.value)) << 32) | (uint64_t(triangle) << 2) | uint64_t(reach.corner);
}
uint32_t EntryTriangle(uint64_t entry) { return uint32_t(entry) >> 2; }
int EntryCorner(uint64_t entry) { return int(entry & 3); }

// Stable sort of the entries by their high half (two passes of 16 bits); the triangle order of
// equal values is kept, so the earliest triangle wins ties as it does in the first scan.
void SortByValue(std::vector<uint64_t>& entries, std::vector<uint64_t>& scratch, std::vector<uint32_t>& counts) {
  scratch.resize(entries.size());
  for (int shift : {32, 48}) {
    std::fill(counts.begin(), counts.end(), 0u);
    for (uint64_t e : entries) ++counts[size_t((e >> shift) & 0xFFFF)];
    uint32_t sum = 0;
    for (uint32_t& c : counts) {
      const uint32_t n = c;
      c = sum;
      sum += n;
    }
    for (uint64_t e : entries) scratch[counts[size_t((e >> shift) & 0xFFFF)]++] = e;
    entries.swap(scratch);
  }
}

// What a pass keeps per triangle: the edges still to search (bits 1, 2, 4: edges (a, b), (b, c),
// (c, a)), whether the flood has reached it, which passes turned it, and the triangle the flood
// came from. One record, so that a visit touches one cache line.
struct TriangleMark {
  int32_t link = kNoLink;
  uint8_t state = kAllEdges;
  uint8_t flips = 0;  // the pass bits of the passes that turned it
};

struct Orienter {
  std::span<const Vec3f> points;
  std::vector<Triangle>& triangles;  // turned in place
  const std::vector<uint32_t>& firstCorner;
  const std::vector<uint32_t>& nextCorner;
  std::vector<TriangleMark> marks;
  std::vector<uint64_t> order;    // seed entries of every triangle, sorted when a pass needs more seeds
  std::vector<uint64_t> scratch;  // the sort's second buffer
  std::vector<uint32_t> counts;   // the sort's buckets
  size_t visitedCount = 0;

  size_t Count() const { return triangles.size(); }
  bool Visited(uint32_t t) const { return (marks[t].state & kVisited) != 0; }

  void Visit(uint32_t t, int32_t from) {
    marks[t].state = kVisited | kAllEdges;
    marks[t].link = from;
    ++visitedCount;
    if ((visitedCount & 1023) == 0) AdvanceProgress(int(uint64_t(visitedCount) * kProgressMax / Count()), -1);
  }

  // Depth-first from `seed`: the stack is the chain of links, the current triangle the last one
  // reached. Each step searches one edge of the current triangle in the corner list of its first
  // end; every unreached triangle there that shares the edge (and is not a copy of the current
  // one) is turned, if it runs the edge the same way, and becomes the current triangle.
  void Flood(uint32_t seed, uint8_t passBit) {
    int32_t current = int32_t(seed);
    while (current != kNoLink) {
      TriangleMark& mark = marks[size_t(current)];
      const uint8_t pending = mark.state & kAllEdges;
      if (pending == 0) {
        current = mark.link;
        continue;
      }
      const uint8_t bit = pending & uint8_t(-pending);
      mark.state &= uint8_t(~bit);
      const int first = bit == 1 ? 0 : bit == 2 ? 1 : 2;
      const Triangle& t = triangles[size_t(current)];
      const uint32_t from = t[size_t(first)], to = t[size_t((first + 1) % 3)], third = t[size_t((first + 2) % 3)];
      if (from == to) continue;
      int32_t reached = current;
      for (uint32_t at = firstCorner[from]; at != kEndOfCornerList; at = nextCorner[CornerSlot(at)]) {
        const uint32_t n = CornerTriangle(at);
        if (Visited(n)) continue;
        Triangle& other = triangles[n];
        int a = -1, b = -1;
        for (int k = 0; k < 3; ++k) {
          if (a < 0 && other[size_t(k)] == from) {
            a = k;
          } else if (b < 0 && other[size_t(k)] == to) {
            b = k;
          }
        }
        if (a < 0 || b < 0 || other[size_t(3 - a - b)] == third) continue;
        if (b == (a + 1) % 3) {  // runs the edge the same way: turn it
          std::swap(other[1], other[2]);
          marks[n].flips |= passBit;
        }
        Visit(n, reached);
        reached = int32_t(n);
      }
      current = reached;
    }
  }

  // Seeds the piece around seed entry `entry`: among the unreached triangles at its point, the one
  // facing most along the axis is turned to face the positive side and flooded from.
  void SeedPiece(uint64_t entry, int axis, uint8_t passBit) {
    const uint32_t found = EntryTriangle(entry);
    const uint32_t seedPoint = triangles[found][size_t(EntryCorner(entry))];
    uint32_t seed = found;
    float bestFacing = -100.0f, seedComponent = 0.0f;
    for (uint32_t at = firstCorner[seedPoint]; at != kEndOfCornerList; at = nextCorner[CornerSlot(at)]) {
      const uint32_t t = CornerTriangle(at);
      if (Visited(t)) continue;
      const float component = UnitNormalComponent(points, triangles[t], axis);
      if (std::fabs(component) > bestFacing) {
        bestFacing = std::fabs(component);
        seedComponent = component;
        seed = t;
      }
    }
    // The seed carries the pass bit when it is turned, like every triangle the flood turns, so
    // that the vote at the end treats its piece as one.
    if (seedComponent < 0.0f) {
      std::swap(triangles[seed][0], triangles[seed][1]);
      marks[seed].flips |= passBit;
    }
    Visit(seed, kNoLink);
    Flood(seed, passBit);
  }

  void Pass(int axis, uint8_t passBit, StringId text) {
    ShowProgress(GetString(text), -1);
    for (TriangleMark& mark : marks) mark = {kNoLink, kAllEdges, mark.flips};
    visitedCount = 0;
    if (Count() == 0) return;
    // One scan: every triangle's seed entry, and the first seed (the earliest triangle wins ties).
    order.resize(Count());
    size_t best = 0;
    float bestValue = kMinusInfinity;
    for (size_t t = 0; t < Count(); ++t) {
      const Reach reach = FarthestCorner(points, triangles[t], axis);
      order[t] = SeedEntry(reach, t);
      if (reach.value > bestValue) {
        bestValue = reach.value;
        best = t;
      }
    }
    SeedPiece(order[best], axis, passBit);
    if (visitedCount == Count()) return;
    // More pieces: the triangles left, farthest first. Triangles not reached yet have not been
    // turned in this pass, so their entries are still true.
    std::erase_if(order, [this](uint64_t e) { return Visited(EntryTriangle(e)); });
    counts.resize(size_t(1) << 16);
    SortByValue(order, scratch, counts);
    for (uint64_t entry : order) {
      if (!Visited(EntryTriangle(entry))) SeedPiece(entry, axis, passBit);
    }
  }
};

}  // namespace

bool CorrectNormals(SceneObject* object) {
  if (object == nullptr || !IsWellFormedMesh(*object)) return false;
  if (object->triangleCount == 0) return true;
  const size_t count = size_t(object->triangleCount);
  std::span<const Triangle> original = Triangles(*object);
  std::shared_ptr<Topology> work;
  try {
    work = AllocateSharedRecord<Topology>();
    work->triangles = AllocateArray<Triangle>(count);
    std::copy(original.begin(), original.end(), work->triangles.begin());
    // Turning a triangle never changes which points it uses, so these lists stay true as sets of
    // triangles per point for the whole run; only the corner numbers in them go stale.
    if (!BuildCornerLists(*work, object->pointCount)) throw std::bad_alloc();
    Orienter orienter{object->points, work->triangles, work->pointFirstCorner, work->triangleNextCorner,
                      AllocateArray<TriangleMark>(count), {}, {}, {}, 0};
    struct ProgressBox {
      ~ProgressBox() { HideProgress(); }
    } box;
    orienter.Pass(0, kTurnedAlongX, kProgressCorrectingNormals1);
    orienter.Pass(1, kTurnedAlongY, kProgressCorrectingNormals2);
    orienter.Pass(2, kTurnedAlongZ, kProgressCorrectingNormals3);
    // The vote: a triangle turned by the z pass but not by the y pass is turned back. Per piece,
    // that keeps the facing two of the three passes agreed on.
    for (size_t t = 0; t < count; ++t) {
      const uint8_t flips = orienter.marks[t].flips;
      if ((flips & kTurnedAlongZ) != 0 && (flips & kTurnedAlongY) == 0) {
        std::swap(work->triangles[t][1], work->triangles[t][2]);
      }
    }
  } catch (const std::bad_alloc&) {
    ShowStopMessage(GetString(kErrNotEnoughMemory));
    return false;
  }
  if (std::equal(original.begin(), original.end(), work->triangles.begin())) return true;
  try {
    if (!BuildCornerLists(*work, object->pointCount)) throw std::bad_alloc();
  } catch (const std::bad_alloc&) {
    ShowStopMessage(GetString(kErrNotEnoughMemory));
    return false;
  }
  object->topology = std::move(work);
  object->isOrganic = 0;
  object->isFastSynthetic = 0;
  MarkObjectEdited(*object);
  return true;
}

}  // namespace tsv
