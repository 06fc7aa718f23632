// three_ds_fuzz.cpp: any bytes as a 3D Studio file. Whatever the import accepts must be a whole
// object (arrays of its counts, corners naming its points, finite points within the radius, a
// hierarchy whose parts lie in the object); it is written by the export and read back, which
// must give the same counts, triangles and parts (one part for an object without any).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "formats/three_ds.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace tsv;

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "3DS import: %s\n", what);
  std::abort();
}

void CheckObject(const SceneObject& object) {
  if (!HasConsistentArrays(object)) Broken("arrays do not match the counts");
  for (const Triangle& t : Triangles(object)) {
    for (const uint32_t corner : t) {
      if (corner >= uint32_t(object.pointCount)) Broken("a corner beyond the points");
    }
  }
  for (const Vec3f& p : object.points) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) Broken("a point that is not finite");
    if (std::fabs(p.x) > 128.01f || std::fabs(p.y) > 128.01f || std::fabs(p.z) > 128.01f) Broken("a point beyond the radius");
  }
  for (const HierarchyNode& node : object.hierarchy) {
    if (uint64_t(node.partFirstPoint) + node.partPointCount > uint64_t(object.pointCount) ||
        uint64_t(node.partFirstTriangle) + node.partTriangleCount > uint64_t(object.triangleCount)) {
      Broken("a part beyond the object");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::unique_ptr<SceneObject> object = Import3dsBytes(std::span<const uint8_t>(data, size));
  if (object) {
    CheckObject(*object);
    std::vector<uint8_t> written;
    if (Encode3ds(*object, written) == kNoError) {
      const std::unique_ptr<SceneObject> back = Import3dsBytes(written);
      if (!back) Broken("the export of an imported object is refused");
      CheckObject(*back);
      if (back->pointCount != object->pointCount || back->triangleCount != object->triangleCount) Broken("counts changed");
      // An object without parts goes out as one part with its keyframer node, and comes back so.
      const size_t parts = object->hierarchy.empty() ? 1 : object->hierarchy.size();
      if (back->hierarchy.size() != parts) Broken("parts changed");
      const auto a = Triangles(*object);
      const auto b = Triangles(*back);
      for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) Broken("a triangle changed");
      }
    }
  }
  tsv::fuzz::ForgetShownTexts();
  return 0;
}
