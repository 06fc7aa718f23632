// correct_normals.h: making the winding of a mesh consistent and outward ("Correcting normals").
#pragma once

#include "scene/scene_object.h"

namespace tsv {

// Turns every triangle so that neighbours run their shared edge in opposite directions and the
// faces look outward. Three passes, along x, y and z: each piece of the mesh is seeded at its
// point farthest along the axis, at the triangle there that faces most along the axis, which is
// turned to face the positive side; a flood over the corner lists then turns every triangle of
// the piece to agree with its neighbour. Each pass records which triangles it turned; in the end a
// piece keeps the facing that at least two of the three passes chose. The flood walks only the
// corner lists, keeps its stack in the per-triangle records and allocates nothing.
//
// Shows "Correcting normals (pass 1/3)..." to "(pass 3/3)...". A mesh already consistent and
// outward comes out unchanged (an organic object then keeps the shared triangles); otherwise the
// object gets triangles of its own and stops being organic or fast synthetic. False, with the
// object unchanged, for a null or malformed object and after "Error: Not enough memory.".
[[nodiscard]] bool CorrectNormals(SceneObject* object);

}  // namespace tsv
