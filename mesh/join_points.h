// join_points.h: welding the coincident points of a mesh (imported meshes arrive as triangle
// soups, every triangle with points of its own) and compacting points and triangles afterwards.
#pragma once

#include "scene/scene_object.h"

namespace tsv {

// Two points coincide when they are less than this far apart on each of the three axes.
inline constexpr float kJoinTolerance = 0.001f;

// The test itself, in single precision: |dx|, |dy| and |dz| all below kJoinTolerance. A point with
// a coordinate that is not a finite number coincides with nothing, itself included.
[[nodiscard]] bool PointsCoincide(const Vec3f& a, const Vec3f& b);

// Joins coincident points. Points are taken in index order; each one is joined to the earliest
// point kept before it that it coincides with, or is kept itself (its paint, mask and texture
// coordinates go with it). Triangles are renumbered, those left with two equal corners are
// removed (the others keep their order), and the corner lists are rebuilt. The parts of a
// hierarchy are joined separately (a point never joins a point of another part) and their ranges
// follow the compaction; snap points follow their points.
//
// Every pair that coincides is found, wherever the pair lies: the search looks at all grid cells
// within the tolerance of the point rather than at a few wrapped buckets.
//
// Shows "Joining points..." while it runs. Returns the object, changed only when some point was
// joined or some triangle removed (it then has its own triangles: an organic object stops being
// organic, and losing triangles clears `isFastSynthetic`). Null for a null or malformed object and
// after "Error: Not enough memory.", with the object unchanged.
SceneObject* JoinPoints(SceneObject* object);

}  // namespace tsv
