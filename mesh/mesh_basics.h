// mesh_basics.h: the small repairs and conversions every mesh pipeline is built from: dropping
// degenerate triangles, fitting the arrays to the counts, centring, quarter turns, inverting the
// winding, and filling an object from a standard shape or from another object. Joining points and
// correcting the winding have headers of their own; the corner lists are built by the scene
// (BuildCornerLists in scene/scene_object.h).
//
// Every operation here leaves an object that is bound to the work arrays with stale work records:
// the caller activates it again (SetCurrentObject / ActivateSceneObject) once it is done.
#pragma once

#include <cstdint>

#include "platform/status.h"
#include "scene/scene_object.h"

namespace tsv {

// True when the object's arrays match its counts and every triangle corner names one of its
// points: the mesh operations refuse anything else rather than read out of bounds.
[[nodiscard]] bool IsWellFormedMesh(const SceneObject& object);

// Removes every triangle with two equal corner indices, keeping the order of the others, and then
// fits the arrays and rebuilds the corner lists. Hierarchy parts keep covering their own
// triangles. Returns the number removed; 0 (object untouched) for a null or malformed object.
// Losing triangles breaks the groups of four, so `isFastSynthetic` is cleared when any go; an
// organic object whose shared triangles would change gets a block of its own and stops being
// organic.
int32_t DropDegenerateTriangles(SceneObject* object);

// Fits `points`, `pointColors`, `pointMask`, `pointUV`, `pointFirstCorner`, `triangles` and
// `triangleNextCorner` to the current counts (organic objects are left alone: their arrays are
// fixed). New entries are zero, except paint (the diffuse colour) and mask (255, free). False
// when memory runs out; every array is as it was then.
[[nodiscard]] bool ResizeObjectArrays(SceneObject* object);

// Moves all points so that the centre of their bounding box is the origin.
void CentreObject(SceneObject* object);

// Quarter turns of the points about one axis: x (y' = -z, z' = y), y (x' = z, z' = -x),
// z (x' = -y, y' = x).
void QuarterTurnX(SceneObject* object);
void QuarterTurnY(SceneObject* object);
void QuarterTurnZ(SceneObject* object);

// Swaps corners 1 and 2 of every triangle, turning every face inside out. The corner lists are
// rebuilt; an organic object gets its own triangles and stops being organic, and the groups of
// four no longer describe their outline, so `isFastSynthetic` is cleared.
void InvertWinding(SceneObject* object);

// Fills an organic object with organic standard shape `shape` (0 "Sphere", 1 "Tetrahedron",
// 2 "Cylinder", 3 "Cube", 4 "Cylinder with caps") from the resource folder: positions, the shared
// topology, planar texture coordinates. 0, or 1 after "Error: Not enough memory." when the shape
// cannot be read; 1 without a message for a shape out of range or an object that is not organic
// sized. The caller of a new object discards it on failure.
Status FillStandardShape(SceneObject* object, int shape);

// Makes `target` a copy of `source`: the header (counts, views, material, texture mapping,
// placement, snap points, description), positions, paint, mask, texture coordinates, preview and
// shade ramp; an organic source's shared topology is shared, any other is copied. The name, the
// file and the texture picture stay the target's own. 0, or 1 after "Error: Not enough memory."
// with the target unchanged.
Status FillFromObject(SceneObject* target, const SceneObject* source);

// The marks every edit of an object leaves: unsaved changes, derived data to recompute.
void MarkObjectEdited(SceneObject& object);

}  // namespace tsv
