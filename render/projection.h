// projection.h: the one mapping of the modeling views from object space onto the screen, used by
// the redraw, the brushes and the depth picture of other objects: the view rotation, then
// sx = trunc(zoom vx) + centre x, sy = trunc(zoom vy) + (bottom row - centre y), depth = zoom vz.
// Also the clamped float-to-integer conversion every screen coordinate goes through.
#pragma once

#include <cstdint>
#include <span>

#include "scene/vec3.h"
#include "scene/work_records.h"

namespace tsv {

struct ObjectView;

// trunc(value), held within low..high before it becomes an integer, so that the conversion is
// defined for every float: a value beyond either end takes that end, and NaN (a damaged point)
// the low one. Truncation is monotonic and keeps integers, so for values inside the range the
// result is plain truncation. low <= high, both within +-2^24 where floats hold them exactly.
inline int32_t ClampedTrunc(float value, int32_t low, int32_t high) {
  const float lowest = float(low), highest = float(high);
  value = value > lowest ? value : lowest;  // NaN fails the test
  value = value < highest ? value : highest;
  return int32_t(value);
}

// trunc(value) + offset as a 16-bit screen coordinate, saturated at the ends of the 16-bit range
// instead of wrapping: a point far outside the view stays far outside, and NaN lands at the low
// end, off the view. |offset| stays below 2^17 (a centre and a bottom row of 16 bits).
inline int16_t ScreenCoordinate(float value, int32_t offset) {
  return int16_t(ClampedTrunc(value, INT16_MIN - offset, INT16_MAX - offset) + offset);
}

// A view as the projection uses it.
struct ViewProjection {
  Rotation3 rotation{1, 0, 0, 0, 1, 0, 0, 0, 1};  // R: object space into view space
  float zoom = 1;
  int32_t columnOffset = 0;  // the view's horizontal centre
  int32_t rowOffset = 0;     // bottom row - the view's vertical centre
};

// The projection with rotation R of a view with `zoom` and screen centre (centerX, centerY) onto a
// picture whose bottom row is `bottomRow` (399 for the views, 99 for the thumbnail). Buffer rows
// run upward, while the centre's row is counted from the top.
ViewProjection MakeViewProjection(const Rotation3& rotation, float zoom, int32_t centerX,
                                  int32_t centerY, int bottomRow);
// The same for `view` with its own rotation R(angles).
ViewProjection MakeViewProjection(const ObjectView& view, int bottomRow);

// Where a view-space position lands: its screen column and row, and its depth (larger nearer).
struct ScreenPosition {
  int16_t sx = 0, sy = 0;
  float depth = 0;
};
inline ScreenPosition ScreenOfViewPosition(const ViewProjection& projection, const Vec3f& v) {
  const float zoom = projection.zoom;
  return {ScreenCoordinate(zoom * v.x, projection.columnOffset),
          ScreenCoordinate(zoom * v.y, projection.rowOffset), zoom * v.z};
}

// One work record's view position (R applied to its object-space position), screen position and
// depth.
inline void ProjectWorkRecord(PointWork& record, const ViewProjection& p) {
  const Vec3f v = Rotate(p.rotation, Vec3f{record.x, record.y, record.z});
  const ScreenPosition screen = ScreenOfViewPosition(p, v);
  record.vx = v.x;
  record.vy = v.y;
  record.vz = v.z;
  record.sx = screen.sx;
  record.sy = screen.sy;
  record.depth = screen.depth;
}

// ProjectWorkRecord for every work record. One pass over the records, allocation-free; counted
// in renderState.projectionPasses.
void ProjectWorkRecords(std::span<PointWork> records, const ViewProjection& projection);

}  // namespace tsv
