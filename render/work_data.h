// work_data.h: what the drawing derives from an object's points before it rasterises: the view
// rotation and the view-fixed light, the projection into screen positions and depth, the face and
// point normals, and the per-point shade. All of it is written into the object's work records
// (pointWork, triangleWork) and allocates nothing, so the interactive tools can run it on every
// mouse motion.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "render/render_state.h"
#include "scene/vec3.h"
#include "scene/work_records.h"

namespace tsv {

struct SceneObject;
struct ObjectView;

// Bits of SceneObject::dirtyFlags this renderer consumes; it clears each when it has recomputed
// what the bit stands for. Bits 2..4 are left to the other users of the flags.
inline constexpr uint16_t kDirtyNormals = 1;    // points moved: face normals, point normals
inline constexpr uint16_t kDirtyShadeRamp = 2;  // optics changed: the shade palette

// Point normals are unit vectors scaled by this and rounded to 16 bits. With the light of length
// 126 the shade ((n . L) >> 15) + 128 then stays within 2..253: |n . L| <= 32767.9 x 126 < 126 x
// 2^15. Zero stands for a point with no faces (or only degenerate ones) and shades it 128.
inline constexpr float kNormalScale = 32767.0f;

// Length of the light vector. The shade range above depends on it.
inline constexpr float kLightLength = 126.0f;

// R = Rz(gamma) Rx(alpha) Ry(beta) of the angles (alpha, beta, gamma) in radians, into
// renderState.viewRotation. Also the rotation of an object's placement in the composer and of
// the keyframe blend.
void BuildViewRotation(const std::array<float, 3>& angles);
// The transpose of R (the inverse rotation) into the same global.
void BuildInverseViewRotation(const std::array<float, 3>& angles);
// R as a row-major matrix without touching the global: ViewRotationMatrix (scene/vec3.h).

// L = 126 R(light angles) (0, 0, 1), into renderState.lightVector. L is fixed to the viewer.
void BuildLightVector(const std::array<float, 3>& lightAngles);

// Fills vx, vy, vz (R applied to the object-space position), sx, sy and depth of every work
// record with the object's current view and R = renderState.viewRotation (BuildViewRotation
// first), through ProjectWorkRecords (projection.h): sx = trunc(zoom vx) + centerX, sy =
// trunc(zoom vy) + (bottomRow - centerY), depth = zoom vz, the screen positions saturated to 16
// bits. Views pass bottom row 399.
void ProjectPoints(SceneObject& object, int bottomRow);
// The same with an explicit view (the thumbnail projects a scaled copy of the current one).
void ProjectPointsWithView(SceneObject& object, const ObjectView& view, int bottomRow);

// Every point's shade = ((n . L') >> 15) + 128, with L' the light brought into object space by
// renderState.viewRotation (the inverse rotation by then) and truncated to integers.
void ShadePoints(SceneObject& object);

// Unit face normal of every triangle, (P1 - P0) x (P2 - P0) normalised, into triangleWork; the
// zero vector for a degenerate triangle. Triangles face outward this way round, and the renderer
// draws the ones whose outward side faces the viewer.
void ComputeFaceNormals(SceneObject& object);
// Every point's normal: the sum of the face normals around it (walked along its corner list),
// normalised and scaled by kNormalScale into nx, ny, nz. Needs the face normals.
void ComputePointNormals(SceneObject& object);

// A work record's object-space and view-space positions as vectors.
inline Vec3f ObjectPosition(const PointWork& p) { return {p.x, p.y, p.z}; }
inline Vec3f ViewPosition(const PointWork& p) { return {p.vx, p.vy, p.vz}; }

// One work record's object-space position from its view position: R transposed times v, with R
// the row-major view rotation (a rotation, so its transpose undoes it).
inline void ObjectPositionFromView(PointWork& p, const Rotation3& r) {
  const Vec3f o = RotateInverse(r, ViewPosition(p));
  p.x = o.x;
  p.y = o.y;
  p.z = o.z;
}

// The object-space positions of the work records from their view positions (the inverse of the
// current view's rotation applied to vx, vy, vz): the first step after a tool has moved the
// view positions.
void UpdateObjectPositionsFromView(SceneObject& object);

// Everything the drawing needs after the object-space positions in the work records changed:
// screen positions and depth in the current view, face normals, point normals and shades (with
// the light vector last built). Clears kDirtyNormals. Nothing for an object that is not bound to
// the work arrays.
void RefreshWorkData(SceneObject& object);
// RefreshWorkData for an object whose records were left current by one (same view, same light)
// and whose object-space positions changed since at corners of `triangles` only, which must list
// every triangle around each changed point: those triangles and their corners are refreshed, with
// the results a whole refresh gives. With `redrawn`, widens it (buffer rows, half-open, held in
// the view) over where the triangles drawn otherwise lie now: the listed ones, and around each
// corner whose shade changed those whose triangleWork flag is 0 (the listed ones carry a flag).
// Allocates only while its scratch grows to the object's size.
void RefreshWorkDataAround(SceneObject& object, std::span<const uint32_t> triangles,
                           ClipRect* redrawn = nullptr);

// True when `object` is bound to work arrays that hold its points and triangles.
[[nodiscard]] bool HasWorkRecords(const SceneObject& object);

}  // namespace tsv
