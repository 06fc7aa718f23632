// dxf_fuzz.cpp: any bytes as a DXF file, imported as the import command does. An imported object
// must be whole: arrays of its counts, every corner naming one of its points, the farthest point
// 256 units out (or all at the origin) and finite coordinates.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

#include "formats/dxf.h"
#include "fuzz/fuzz_support.h"
#include "platform/file_spec.h"
#include "scene/object_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tsv;
  const std::string path = fuzz::WriteFuzzFile("Input.dxf", std::span<const uint8_t>(data, size));
  std::unique_ptr<SceneObject> object = ImportDxf(FileSpecForPath(path, FourCC("TEXT")));
  if (object) {
    if (!HasConsistentArrays(*object) || object->pointCount < 1 || object->triangleCount < 1) std::abort();
    for (const Triangle& t : Triangles(*object)) {
      for (uint32_t corner : t) {
        if (corner >= uint32_t(object->pointCount)) std::abort();
      }
    }
    double farthest = 0;
    for (const Vec3f& p : object->points) {
      if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) std::abort();
      farthest = std::max(farthest, std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z));
    }
    if (farthest > 256.01 || !(object->importScale > 0) || !std::isfinite(object->importScale)) std::abort();
    DisposeSceneObject(object);
  }
  fuzz::ForgetShownTexts();
  return 0;
}
