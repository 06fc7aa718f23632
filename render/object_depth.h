// object_depth.h: the depth picture of an object that is not the one bound to the work arrays, as
// another object's view sees it (the morph room's fusion brushes press the current object
// against it).
#pragma once

#include <vector>

#include "scene/scene_object.h"

namespace tsv {

// Draws every triangle of `object` as seen in `view` into `depth` (resized to 400 x 400, buffer
// rows upward like the view's own depth buffer, larger = nearer, -100000 where nothing is drawn),
// with the same projection as the modeling view: sx = trunc(zoom vx) + centerX, sy = trunc(zoom vy)
// + 399 - centerY, depth = zoom vz. Both sides of every triangle count, so an open surface presses
// as well as a closed one. The work arrays are not touched. `nearest` and `farthest` receive the
// range of the drawn depths; false (the buffer empty) when nothing lands in the view.
[[nodiscard]] bool RenderObjectDepth(const SceneObject& object, const ObjectView& view, std::vector<float>& depth, float& nearest,
                       float& farthest);

}  // namespace tsv
