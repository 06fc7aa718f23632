// mesh_ranges.h: keeping an object's point indices and hierarchy ranges right when its points or
// triangles are compacted (joining points, dropping triangles). Internal to the mesh operations.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "scene/scene_object.h"

namespace tsv {

// `keptBefore[i]` is the number of entries kept among the first i (one entry more than there were
// entries). Each part's range [first, first + count) becomes the range of the entries kept from
// it. `points` chooses the point ranges, otherwise the triangle ranges.
void RemapHierarchyRanges(std::vector<HierarchyNode>& nodes, std::span<const uint32_t> keptBefore, bool points);

// Snap points follow their points to the new indices (`newIndex` per old point); entries that
// now name the same point are kept once, used entries first, the rest -1. An entry naming no
// point of the old mesh is dropped.
void RemapSnapPoints(SceneObject& object, std::span<const uint32_t> newIndex);

}  // namespace tsv
