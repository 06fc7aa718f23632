// object_copies.h: whole-object operations of the object panel: mirroring an object across an axis
// plane (and taking the mirror back), merging two objects into a new third one, duplicating an
// object into a free slot, giving an organic object a mesh of its own, and the question asked
// before an operation breaks a linked hierarchy.
#pragma once

#include <cstdint>

#include "platform/status.h"
#include "scene/scene_object.h"

namespace tsv {

// The axis the object panel's axis setting selects: 2 y, 3 z, anything else x (0 x, 1 y, 2 z).
int MirrorAxisOfSetting(uint16_t setting);

// Negates coordinate `axis` (0 x, 1 y, 2 z) of every point and swaps corners 0 and 1 of every
// triangle, so that the mirrored surface still faces outward. A hierarchy is dropped after
// "Warning: Mirror - ..." (No: nothing happens, false). An organic object is made synthetic
// first (and a mirrored one is no longer fast synthetic: its groups of four no longer outline
// their parent triangle). The object's undo history is dropped, since its states have the other
// winding; what TakeBackMirror needs is kept instead. The caller activates the object again.
// False for a null or malformed object, on No, and when memory runs out (object unchanged).
[[nodiscard]] bool MirrorObject(SceneObject* object, int axis);

// Ctrl+Z right after a mirror: mirrors the object back (it becomes organic again when it was),
// and when called again, mirrors it once more. False, with nothing changed, when the object was
// not the last one mirrored or has changed in any other way since. The caller activates it again.
[[nodiscard]] bool TakeBackMirror(SceneObject& object);

// A new object of both objects' points and triangles, the first's then the second's, in the
// first's frame: each object's points turned by its placement's rotation and scaled by its scale,
// the second's moved by the difference of the positions. Its paint and mask come along; it takes
// the first object's material and texture, planar texture coordinates, and is stored in the first
// free slot and made current. Both hierarchies are dropped after "Warning: Merge - ..." is asked
// for each object that has one. The two objects stay in their slots. False for null or equal
// objects, on No, with "Error: No empty space." when every slot is taken, and after "Error: Not
// enough memory to create new object.".
[[nodiscard]] bool MergeObjects(SceneObject* first, SceneObject* second);

// A copy of the object in the first free slot, made current: an organic object gives an organic
// copy sharing the organic mesh, any other one an object with a mesh of its own. Everything is
// copied: header, material, placement, points, paint, mask, texture coordinates, hierarchy, the
// texture picture. False for a null object, with "Error: No empty space." when every slot is
// taken, and after "Error: Not enough memory to create new object.".
[[nodiscard]] bool DuplicateObject(SceneObject* object);

// Gives an organic object a copy of the organic mesh of its own and makes it synthetic; true at
// once for an object that already is. False for a null object, and after "Error: Not enough
// memory." with the object unchanged.
[[nodiscard]] bool MakeSynthetic(SceneObject* object);

// Before an operation that breaks the link of an object taking part in a linked hierarchy: asks
// "Warning: This object is part of hierarchy. Hierarchy will be lost if you proceed. Do you want
// to proceed ?" and returns the answer. True without asking for any other object.
[[nodiscard]] bool ConfirmHierarchyLoss(const SceneObject& object);

}  // namespace tsv
