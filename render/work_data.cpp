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

namespace {

// The face normal of one triangle (zero for a degenerate one or one with a corner outside the
// points).
void FaceNormalOf(const Triangle& tri, const PointWork* points, uint32_t pointCount, TriangleWork& face) {
  face.nx = face.ny = face.nz = 0;
  if (tri[0] >= pointCount || tri[1] >= pointCount || tri[2] >= pointCount) return;
  const Vec3f a = ObjectPosition(points[tri[0]]);
  const Vec3f b = ObjectPosition(points[tri[1]]);
  const Vec3f c = ObjectPosition(points[tri[2]]);
  const Vec3f normal = Normalised(Cross(b - a, c - a));
  face.nx = normal.x;
  face.ny = normal.y;
  face.nz = normal.z;
}

// What the point normals are walked with.
struct CornerWalk {
  std::span<const uint32_t> first;
  std::span<const uint32_t> next;
  const TriangleWork* faces = nullptr;
  uint32_t triangleCount = 0;
  size_t walkLimit = 0;  // a damaged list that loops must not hang the walk
};

CornerWalk CornerWalkOf(const SceneObject& object) {
  CornerWalk w;
  w.first = PointFirstCorner(object);
  w.next = TriangleNextCorner(object);
  w.faces = object.triangleWork->data();
  w.triangleCount = uint32_t(DrawableTriangles(object).size());
  w.walkLimit = size_t(w.triangleCount) * 3;  // no list is longer than all corners
  return w;
}

// Calls visit(t) for the triangles around point p, along its corner list.
template <class Visit>
void ForEachTriangleOf(const CornerWalk& w, size_t p, Visit visit) {
  uint32_t corner = p < w.first.size() ? w.first[p] : kEndOfCornerList;
  for (size_t steps = 0; CornerNumber(corner) != 3 && steps < w.walkLimit; ++steps) {
    const uint32_t t = CornerTriangle(corner);
    const size_t slot = CornerSlot(corner);
    if (t >= w.triangleCount || slot >= w.next.size()) break;
    visit(t);
    corner = w.next[slot];
  }
}

// Point p's normal from the faces around it.
void PointNormalOf(const CornerWalk& w, size_t p, PointWork& record) {
  Vec3f sum;
  ForEachTriangleOf(w, p, [&](uint32_t t) { sum = sum + Vec3f{w.faces[t].nx, w.faces[t].ny, w.faces[t].nz}; });
  // Faces that (nearly) cancel have no direction worth scaling up. The face normals are unit
  // vectors or zero, so a sum above the threshold is finite and its scaled components round
  // within 16 bits.
  const float length = Length(sum);
  if (!(length > 1e-6f)) {
    record.nx = record.ny = record.nz = 0;
    return;
  }
  const Vec3f normal = sum * (kNormalScale / length);
  record.nx = int16_t(std::lround(normal.x));
  record.ny = int16_t(std::lround(normal.y));
  record.nz = int16_t(std::lround(normal.z));
}

// The light in object space for the shades, each component truncated toward zero, with
// renderState.viewRotation holding the inverse rotation. Held within the light's length first,
// so that a light built from angles that are not numbers shades defined values.
std::array<int32_t, 3> ShadingLight() {
  const std::array<float, 3>& l = renderState.lightVector;
  const Vec3f light = Rotate(renderState.viewRotation, Vec3f{l[0], l[1], l[2]});
  constexpr int32_t kMost = int32_t(kLightLength);
  return {ClampedTrunc(light.x, -kMost, kMost), ClampedTrunc(light.y, -kMost, kMost),
          ClampedTrunc(light.z, -kMost, kMost)};
}

void ShadeOf(PointWork& p, const std::array<int32_t, 3>& l) {
  p.shade = int16_t(((p.nx * l[0] + p.ny * l[1] + p.nz * l[2]) >> 15) + 128);
}

}  // namespace

void ComputeFaceNormals(SceneObject& object) {
  if (!HasWorkRecords(object)) return;
  const std::span<const Triangle> triangles = DrawableTriangles(object);
  const PointWork* points = object.pointWork->data();
  TriangleWork* faces = object.triangleWork->data();
  const uint32_t pointCount = uint32_t(object.pointCount);
  for (size_t t = 0; t < triangles.size(); ++t) FaceNormalOf(triangles[t], points, pointCount, faces[t]);
}

void ComputePointNormals(SceneObject& object) {
  if (!HasWorkRecords(object)) return;
  PointWork* points = object.pointWork->data();
  const size_t pointCount = PointRecordCount(object);
  const CornerWalk walk = CornerWalkOf(object);
  for (size_t p = 0; p < pointCount; ++p) PointNormalOf(walk, p, points[p]);
}

void ShadePoints(SceneObject& object) {
  if (object.pointWork == nullptr) return;
  const size_t count = std::min(PointRecordCount(object), object.pointWork->size());
  const std::array<int32_t, 3> light = ShadingLight();
  PointWork* records = object.pointWork->data();
  for (size_t i = 0; i < count; ++i) ShadeOf(records[i], light);
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

void RefreshWorkDataAround(SceneObject& object, std::span<const uint32_t> triangles,
                           ClipRect* redrawn) {
  if (!HasWorkRecords(object)) return;
  const std::span<const Triangle> all = DrawableTriangles(object);
  const uint32_t pointCount = uint32_t(PointRecordCount(object));
  PointWork* points = object.pointWork->data();
  TriangleWork* faces = object.triangleWork->data();

  // The corners of the triangles, each once.
  RenderState& state = renderState;
  if (state.refreshVisits.size() < pointCount) state.refreshVisits.resize(pointCount, 0);
  if (++state.refreshStamp == 0) {
    std::fill(state.refreshVisits.begin(), state.refreshVisits.end(), 0);
    state.refreshStamp = 1;
  }
  const uint32_t stamp = state.refreshStamp;
  std::vector<uint32_t>& corners = state.refreshPoints;
  corners.clear();
  for (const uint32_t t : triangles) {
    if (t >= all.size()) continue;
    for (const uint32_t corner : all[t]) {
      if (corner < pointCount && state.refreshVisits[corner] != stamp) {
        state.refreshVisits[corner] = stamp;
        corners.push_back(corner);
      }
    }
  }

  const ObjectView& view = CurrentView(object);
  BuildViewRotation(view.angles);
  const ViewProjection projection =
      MakeViewProjection(state.viewRotation, view.zoom, view.centerX, view.centerY, kViewBottomRow);
  for (const uint32_t p : corners) ProjectWorkRecord(points[p], projection);
  for (const uint32_t t : triangles) {
    if (t < all.size()) FaceNormalOf(all[t], points, pointCount, faces[t]);
  }
  const CornerWalk walk = CornerWalkOf(object);
  for (const uint32_t p : corners) PointNormalOf(walk, p, points[p]);
  BuildInverseViewRotation(view.angles);
  const std::array<int32_t, 3> light = ShadingLight();
  // Bounds of the pixels drawn otherwise, widened locally (the stores cannot alias the records).
  ClipRect bounds = redrawn != nullptr ? *redrawn : kNothingDrawn;
  auto widen = [&](const PointWork& point) {
    const int sx = std::clamp<int>(point.sx, 0, kViewSide - 1);
    const int sy = std::clamp<int>(point.sy, 0, kViewSide - 1);
    bounds.left = std::min(bounds.left, sx);
    bounds.right = std::max(bounds.right, sx + 1);
    bounds.top = std::min(bounds.top, sy);
    bounds.bottom = std::max(bounds.bottom, sy + 1);
  };
  for (const uint32_t p : corners) {
    const int16_t before = points[p].shade;
    ShadeOf(points[p], light);
    if (redrawn == nullptr) continue;
    widen(points[p]);
    if (points[p].shade == before) continue;
    // The triangles around a point whose shade changed are drawn otherwise, listed or not.
    ForEachTriangleOf(walk, p, [&](uint32_t t) {
      if (faces[t].flags != 0) return;
      for (const uint32_t corner : all[t]) {
        if (corner < pointCount) widen(points[corner]);
      }
    });
  }
  if (redrawn != nullptr) *redrawn = bounds;
  object.dirtyFlags = uint16_t(object.dirtyFlags & ~kDirtyNormals);
}

}  // namespace tsv
