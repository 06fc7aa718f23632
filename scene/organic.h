// organic.h: the organic topology shared by every organic object (data resource 3004) and the five
// organic standard shapes (data resources 200..204: "Sphere", "Tetrahedron", "Cylinder", "Cube",
// "Cylinder with caps"), each 8194 positions on that topology.
#pragma once

#include "scene/scene_object.h"

namespace tsv {

inline constexpr int kOrganicTopologyResource = 3004;
inline constexpr int kFirstOrganicShapeResource = 200;
inline constexpr int kOrganicShapeCount = 5;

// Loads the 16384 triangles, checks that every index names one of the 8194 points, builds the
// corner lists once and keeps the block in `scene.organicTopology`. True at once when it is
// already loaded. A missing or short resource is reported by the resource loader, an index out of
// range as "Error reading resource 3004", running out of memory as "Error: Not enough memory.".
[[nodiscard]] bool LoadOrganicTopology();

// Fills an organic-sized object (8194 points) with standard shape `shape` (0..4): the positions of
// the shape, `textureKind` 0, the shared organic topology (the object becomes organic and fast
// synthetic), planar texture coordinates, every dirty bit. A missing or damaged shape resource
// shows "Error: Not enough memory." after the loader's own message and leaves the object as it
// was; so does a missing topology. False then, and for a shape out of range or an object of
// another size. The work records of an object that is already active are not refreshed: the
// caller activates it again.
[[nodiscard]] bool FillOrganicShape(SceneObject& object, int shape);

}  // namespace tsv
