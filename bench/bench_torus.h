// bench_torus.h: the closed torus of a million triangles the mesh benchmarks share: 1024 points
// around the ring, 512 around the tube, ring radius 176 and tube radius 80, winding outward.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>

#include "scene/object_table.h"
#include "scene/scene_object.h"

namespace tsv::bench {

inline constexpr int32_t kTorusAround = 1024;
inline constexpr int32_t kTorusAcross = 512;  // 2 x 1024 x 512 = 1,048,576 triangles

inline std::unique_ptr<SceneObject> ClosedTorus() {
  auto object = NewSceneObject(kTorusAround * kTorusAcross, 2 * kTorusAround * kTorusAcross);
  if (!object) return nullptr;
  for (int32_t i = 0; i < kTorusAround; ++i) {
    const double a = 2 * M_PI * i / kTorusAround;
    for (int32_t j = 0; j < kTorusAcross; ++j) {
      const double b = 2 * M_PI * j / kTorusAcross, reach = 176 + 80 * std::cos(b);
      object->points[size_t(i * kTorusAcross + j)] = {float(reach * std::cos(a)), float(80 * std::sin(b)),
                                                      float(reach * std::sin(a))};
    }
  }
  Topology* topology = MutableTopology(*object);
  size_t t = 0;
  for (int32_t i = 0; i < kTorusAround; ++i) {
    for (int32_t j = 0; j < kTorusAcross; ++j) {
      const uint32_t a = uint32_t(i * kTorusAcross + j), b = uint32_t(i * kTorusAcross + (j + 1) % kTorusAcross);
      const uint32_t c = uint32_t(((i + 1) % kTorusAround) * kTorusAcross + (j + 1) % kTorusAcross);
      const uint32_t d = uint32_t(((i + 1) % kTorusAround) * kTorusAcross + j);
      topology->triangles[t++] = {a, b, c};
      topology->triangles[t++] = {a, c, d};
    }
  }
  if (!BuildCornerLists(*object)) return nullptr;
  return object;
}

}  // namespace tsv::bench
