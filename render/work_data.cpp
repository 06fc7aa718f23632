// work_data.cpp: view rotation, light vector, projection, normals and shading of the work records.
#include "render/work_data.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "render/projection.h"
#include "render/render_state.h"
#include "scene/scene_object.h"
#include "scene/topology.h"
#include "scene/vec3.h"

namespace tsv {
namespace {

size_t PointRecordCount(const SceneObject& object) {
  return object.pointCount > 0 ? size_t(object.pointCount) : 0;
}

std::span<const Triangle> DrawableTriangles(const SceneObject& object) {
  std::span<const Triangle> all = Triangles(object);
  const size_t count = std::min(all.size(), size_t(std::max(object.triangleCount, 0)));
  return all.first(count);
}

}  // namespace

void BuildViewRotation(const std::array<float, 3>& angles) {
  renderState.viewRotation = ViewRotationMatrix(angles);
}

void BuildInverseViewRotation(const std::array<float, 3>& angles) {
  const std::array<float, 9> r = ViewRotationMatrix(angles);
  renderState.viewRotation = {r[0], r[3], r[6], r[1], r[4], r[7], r[2], r[5], r[8]};
}

void BuildLightVector(const std::array<float, 3>& lightAngles) {
  const std::array<float, 9> r = ViewRotationMatrix(lightAngles);
  renderState.lightVector = {kLightLength * r[2], kLightLength * r[5], kLightLength * r[8]};
}

bool HasWorkRecords(const SceneObject& object) {
  if (object.pointWork == nullptr || object.triangleWork == nullptr) return false;
  if (object.pointCount < 0 || object.triangleCount < 0) return false;
  return object.pointWork->size() >= size_t(object.pointCount) &&
         object.triangleWork->size() >= size_t(object.triangleCount);
}

void ProjectPointsWithView(SceneObject& object, const ObjectView& view, int bottomRow) {
  if (object.pointWork == nullptr) return;
  const size_t count = std::min(PointRecordCount(object), object.pointWork->size());
  ProjectWorkRecords(std::span<PointWork>(object.pointWork->data(), count),
                     MakeViewProjection(renderState.viewRotation, view.zoom, view.centerX,
                                        view.centerY, bottomRow));
}

void ProjectPoints(SceneObject& object, int bottomRow) {
  ProjectPointsWithView(object, CurrentView(object), bottomRow);
}

void ShadePoints(SceneObject& object) {
  if (object.pointWork == nullptr) return;
  const size_t count = std::min(PointRecordCount(object), object.pointWork->size());
  const std::array<float, 3>& l = renderState.lightVector;
  // The light in object space, each component truncated toward zero. Held within the light's
  // length first, so that a light built from angles that are not numbers shades defined values.
  const Vec3f light = Rotate(renderState.viewRotation, Vec3f{l[0], l[1], l[2]});
  constexpr int32_t kMost = int32_t(kLightLength);
  const int32_t lx = ClampedTrunc(light.x, -kMost, kMost);
  const int32_t ly = ClampedTrunc(light.y, -kMost, kMost);
  const int32_t lz = ClampedTrunc(light.z, -kMost, kMost);
  PointWork* records = object.pointWork->data();
  for (size_t i = 0; i < count; ++i) {
    PointWork& p = records[i];
    p.shade = int16_t(((p.nx * lx + p.ny * ly + p.nz * lz) >> 15) + 128);
  }
}

void ComputeFaceNormals(SceneObject& object) {
  if (!HasWorkRecords(object)) return;
  const std::span<const Triangle> triangles = DrawableTriangles(object);
  const PointWork* points = object.pointWork->data();
  TriangleWork* faces = object.triangleWork->data();
  const uint32_t pointCount = uint32_t(object.pointCount);
  for (size_t t = 0; t < triangles.size(); ++t) {
    const Triangle& tri = triangles[t];
    TriangleWork& face = faces[t];
    face.nx = face.ny = face.nz = 0;
    if (tri[0] >= pointCount || tri[1] >= pointCount || tri[2] >= pointCount) continue;
    const Vec3f a = ObjectPosition(points[tri[0]]);
    const Vec3f b = ObjectPosition(points[tri[1]]);
    const Vec3f c = ObjectPosition(points[tri[2]]);
    const Vec3f normal = Normalised(Cross(b - a, c - a));
    face.nx = normal.x;
    face.ny = normal.y;
    face.nz = normal.z;
  }
}

void ComputePointNormals(SceneObject& object) {
  if (!HasWorkRecords(object)) return;
  PointWork* points = object.pointWork->data();
  const size_t pointCount = PointRecordCount(object);
  const std::span<const uint32_t> first = PointFirstCorner(object);
  const std::span<const uint32_t> next = TriangleNextCorner(object);
  const TriangleWork* faces = object.triangleWork->data();
  const uint32_t triangleCount = uint32_t(DrawableTriangles(object).size());
  // A damaged list that loops must not hang the walk: no list is longer than all corners.
  const size_t walkLimit = size_t(triangleCount) * 3;
  for (size_t p = 0; p < pointCount; ++p) {
    Vec3f sum;
    uint32_t corner = p < first.size() ? first[p] : kEndOfCornerList;
    for (size_t steps = 0; CornerNumber(corner) != 3 && steps < walkLimit; ++steps) {
      const uint32_t t = CornerTriangle(corner);
      const size_t slot = CornerSlot(corner);
      if (t >= triangleCount || slot >= next.size()) break;
      sum = sum + Vec3f{faces[t].nx, faces[t].ny, faces[t].nz};
      corner = next[slot];
    }
    PointWork& record = points[p];
    // Faces that (nearly) cancel have no direction worth scaling up. The face normals are unit
    // vectors or zero, so a sum above the threshold is finite and its scaled components round
    // within 16 bits.
    const float length = Length(sum);
    if (!(length > 1e-6f)) {
      record.nx = record.ny = record.nz = 0;
      continue;
    }
    const Vec3f normal = sum * (kNormalScale / length);
    record.nx = int16_t(std::lround(normal.x));
    record.ny = int16_t(std::lround(normal.y));
    record.nz = int16_t(std::lround(normal.z));
  }
}

void UpdateObjectPositionsFromView(SceneObject& object) {
  if (object.pointWork == nullptr) return;
  const size_t count = std::min(PointRecordCount(object), object.pointWork->size());
  const std::array<float, 9> r = ViewRotationMatrix(CurrentView(object).angles);
  PointWork* records = object.pointWork->data();
  for (size_t i = 0; i < count; ++i) ObjectPositionFromView(records[i], r);
}

void RefreshWorkData(SceneObject& object) {
  if (!HasWorkRecords(object)) return;
  const ObjectView& view = CurrentView(object);
  BuildViewRotation(view.angles);
  ProjectPoints(object, kViewBottomRow);
  ComputeFaceNormals(object);
  ComputePointNormals(object);
  BuildInverseViewRotation(view.angles);
  ShadePoints(object);
  object.dirtyFlags = uint16_t(object.dirtyFlags & ~kDirtyNormals);
}

}  // namespace tsv
