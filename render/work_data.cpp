// work_data.cpp: view rotation, light vector, projection, normals and shading of the work records.
#include "render/work_data.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "render/render_state.h"
#include "scene/scene_object.h"
#include "scene/topology.h"

namespace tsv {
namespace {

// A screen coordinate trunc(value) + offset, saturated to 16 bits instead of wrapping: a point
// far outside the view stays far outside. Truncation is monotonic and keeps integers, so holding
// the value between the integer limits first gives the same result, and keeps the conversion to
// int defined. NaN (a damaged point) fails the first test and lands at the low end, off the view.
struct ScreenAxis {
  float low, high;
  int32_t offset;
  explicit ScreenAxis(int32_t offsetIn)
      : low(float(INT16_MIN - offsetIn)), high(float(INT16_MAX - offsetIn)), offset(offsetIn) {}
  int16_t operator()(float value) const {
    value = value > low ? value : low;
    value = value < high ? value : high;
    return int16_t(int32_t(value) + offset);
  }
};

size_t PointRecordCount(const SceneObject& object) {
  return object.pointCount > 0 ? size_t(object.pointCount) : 0;
}

std::span<const Triangle> DrawableTriangles(const SceneObject& object) {
  std::span<const Triangle> all = Triangles(object);
  const size_t count = std::min(all.size(), size_t(std::max(object.triangleCount, 0)));
  return all.first(count);
}

}  // namespace

std::array<float, 9> ViewRotationMatrix(const std::array<float, 3>& angles) {
  const double sa = std::sin(double(angles[0])), ca = std::cos(double(angles[0]));
  const double sb = std::sin(double(angles[1])), cb = std::cos(double(angles[1]));
  const double sg = std::sin(double(angles[2])), cg = std::cos(double(angles[2]));
  return {float(cg * cb - sa * sg * sb),
          float(-ca * sg),
          float(sa * sg * cb + cg * sb),
          float(sa * cg * sb + sg * cb),
          float(ca * cg),
          float(sg * sb - sa * cg * cb),
          float(-ca * sb),
          float(sa),
          float(ca * cb)};
}

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
  PointWork* records = object.pointWork->data();
  // Copies: the stores into the records below could otherwise alias the global rotation and
  // force it to be read again for every point.
  const std::array<float, 9> r = renderState.viewRotation;
  const float zoom = view.zoom;
  const ScreenAxis column(view.centerX);
  const ScreenAxis row(int32_t(bottomRow) - int32_t(view.centerY));
  for (size_t i = 0; i < count; ++i) {
    PointWork& p = records[i];
    p.vx = r[0] * p.x + r[1] * p.y + r[2] * p.z;
    p.vy = r[3] * p.x + r[4] * p.y + r[5] * p.z;
    p.vz = r[6] * p.x + r[7] * p.y + r[8] * p.z;
    p.sx = column(zoom * p.vx);
    p.sy = row(zoom * p.vy);
    p.depth = zoom * p.vz;
  }
}

void ProjectPoints(SceneObject& object, int bottomRow) {
  ProjectPointsWithView(object, CurrentView(object), bottomRow);
}

void ShadePoints(SceneObject& object) {
  if (object.pointWork == nullptr) return;
  const size_t count = std::min(PointRecordCount(object), object.pointWork->size());
  const std::array<float, 9> r = renderState.viewRotation;
  const std::array<float, 3> l = renderState.lightVector;
  // The light in object space, each component truncated toward zero.
  const int32_t lx = int32_t(r[0] * l[0] + r[1] * l[1] + r[2] * l[2]);
  const int32_t ly = int32_t(r[3] * l[0] + r[4] * l[1] + r[5] * l[2]);
  const int32_t lz = int32_t(r[6] * l[0] + r[7] * l[1] + r[8] * l[2]);
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
    const PointWork& a = points[tri[0]];
    const PointWork& b = points[tri[1]];
    const PointWork& c = points[tri[2]];
    const float ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
    const float wx = c.x - a.x, wy = c.y - a.y, wz = c.z - a.z;
    const float nx = uy * wz - uz * wy, ny = uz * wx - ux * wz, nz = ux * wy - uy * wx;
    const float length = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (!(length > 0.0f) || !std::isfinite(length)) continue;
    face.nx = nx / length;
    face.ny = ny / length;
    face.nz = nz / length;
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
    float sx = 0, sy = 0, sz = 0;
    uint32_t corner = p < first.size() ? first[p] : kEndOfCornerList;
    for (size_t steps = 0; CornerNumber(corner) != 3 && steps < walkLimit; ++steps) {
      const uint32_t t = CornerTriangle(corner);
      const size_t slot = CornerSlot(corner);
      if (t >= triangleCount || slot >= next.size()) break;
      sx += faces[t].nx;
      sy += faces[t].ny;
      sz += faces[t].nz;
      corner = next[slot];
    }
    PointWork& record = points[p];
    const float length = std::sqrt(sx * sx + sy * sy + sz * sz);
    if (!(length > 1e-6f)) {
      record.nx = record.ny = record.nz = 0;
      continue;
    }
    const float scale = kNormalScale / length;
    record.nx = int16_t(std::lround(sx * scale));
    record.ny = int16_t(std::lround(sy * scale));
    record.nz = int16_t(std::lround(sz * scale));
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
