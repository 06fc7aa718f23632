// deform_run.h: what one run of a deformation tool works from, shared by the tools of this folder:
// the object's work records with their view positions brought up to date, the mask, the two
// scratch arrays, and the extents of the starting shape. Used outside tools/ only by map apply,
// which raises its relief from the same start.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scene/types.h"
#include "scene/work_records.h"

namespace tsv {

struct SceneObject;

struct DeformRun {
  SceneObject* object = nullptr;
  SceneObject* undo = nullptr;
  PointWork* work = nullptr;
  size_t count = 0;
  const uint8_t* mask = nullptr;  // null: every point free (255)
  // The scratch arrays (scene.deformLow / deformHigh), at least `count` long.
  Vec3f* low = nullptr;
  Vec3f* high = nullptr;
  // Extents of the starting view positions; all 0 for an object without points.
  float xmin = 0, xmax = 0, ymin = 0, ymax = 0, zmin = 0, zmax = 0;
  float height = 0;  // ymax - ymin
  float radius = 0;  // the largest distance from the view's z axis, sqrt(x^2 + y^2)

  // The point's weight, mask / 255.
  float Weight(size_t i) const { return mask != nullptr ? float(mask[i]) / 255.0f : 1.0f; }
  Vec3f ViewPosition(size_t i) const { return Vec3f{work[i].vx, work[i].vy, work[i].vz}; }
  void SetViewPosition(size_t i, const Vec3f& p) const {
    work[i].vx = p.x;
    work[i].vy = p.y;
    work[i].vz = p.z;
  }
};

// A tool's preparation and pass (the trackball has none: it is its own loop).
struct DeformMember;
const DeformMember* FindDeformMember(uint16_t code);

// Starts a run of `member` on `object` and prepares it, as the frame does before a drag. False
// when the object cannot be edited or the tool's guard refuses its shape.
[[nodiscard]] bool PrepareDeformRun(const DeformMember& member, SceneObject* object, SceneObject* undo,
                      DeformRun& run);
// One pass of a prepared run: the view positions for the amounts, from the starting shape. The
// frame follows it with RedrawAfterEdit.
void RunDeformPass(const DeformMember& member, const DeformRun& run, int amount, int amountY);

// Prepares a run on `object`: the view positions are recomputed from the object-space positions
// in the object's current view (so they are current whatever was drawn last), and the extents
// measured. False when the object cannot be edited: null, not bound to the work arrays, or
// scratch arrays too small for it.
[[nodiscard]] bool StartDeformRun(SceneObject* object, SceneObject* undo, DeformRun& run);

}  // namespace tsv
