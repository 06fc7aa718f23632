// object_table.h: creating, activating and disposing scene objects, and the 255-slot object table
// with its current object. Failures are shown to the user here, where they are detected.
#pragma once

#include <cstdint>
#include <memory>

#include "scene/scene_object.h"

namespace tsv {

// A new object with arrays for the given counts and every default set (InitSceneObjectDefaults),
// not organic, no hierarchy; the work arrays grow to hold it. It is not entered into the table.
// Negative counts are refused with a null result and no message (callers reading counts from
// outside data report their own error). Counts beyond the mesh limits, or memory running out, show
// "Error: Not enough memory to create new object." and give null, with everything allocated for
// the object freed and the work arrays at their previous capacity.
std::unique_ptr<SceneObject> NewSceneObject(int32_t pointCount, int32_t triangleCount);

// As NewSceneObject with 8194 points and 16384 triangles, organic and fast synthetic, sharing the
// organic topology (loaded first if it is not yet). Positions are all zero until a shape is filled
// in (FillOrganicShape).
std::unique_ptr<SceneObject> NewOrganicSceneObject();

// The name for an object being made now: "Untitled", or "Untitled 2", "Untitled 3" ... the first of
// them that no object of the table bears, so that new objects can be told apart in every list.
// Every object made by NewSceneObject and NewOrganicSceneObject gets it; opened objects then take
// the name stored in their file.
CountedString NewObjectName();

// The lowest free slot 0..254, or kNoFreeSlot (255) when every slot is taken.
int FindFreeObjectSlot();

// Number of objects in the table (the count shown to the user).
int ObjectCount();

// Slot of `object` in the table, or -1.
int SlotOfObject(const SceneObject* object);

// Binds the work arrays to `object` (the object bound before loses them) and fills them from it:
// per point the position, mask and paint, and the number of corners at the point; per triangle the
// flag word 1. The work object takes a copy of the positions, paint and mask, two copies of each
// texture coordinate and `hasUnsavedChanges`, so it holds the state from before the next edit.
// Then the renderer's texture step runs (when its hook is set) and `dirtyFlags` becomes 31.
// False for a null object, an object whose arrays do not match its counts, or when the work
// arrays cannot grow to hold it ("Error: Not enough memory." shown).
[[nodiscard]] bool ActivateSceneObject(SceneObject* object);

// Releases the object held by `holder` and clears `holder` (a table slot, the work object or any
// other owner). Clears the current object and the keyframe owner when they are this object (the
// keyframe shapes are discarded through the hook), forgets it as the active or a live object and
// in the hierarchies of the table's objects, marks the project modified, and then shrinks the work
// arrays to the largest object still in use (at least 128), unless it was the work object itself.
// The shared organic topology stays for the other organic objects. Nothing for an empty holder.
void DisposeSceneObject(std::unique_ptr<SceneObject>& holder);

// Makes the object in `slot` the current one and activates it; -1 leaves no object current.
// False for an empty or invalid slot, or when the activation fails; the current object is
// unchanged then.
[[nodiscard]] bool SetCurrentObject(int slot);
// Leaves no object current.
void ClearCurrentObject();

// The object of the table with this serial, or null when it is gone (or the serial is 0).
SceneObject* FindObjectBySerial(uint64_t serial);

// The first step of every command that makes a new object: the slot it will take, or -1 after
// showing "Error: No empty space." (before anything is allocated).
int FindSlotForNewObject();

// Stores `object` into the free `slot` and makes it current. When the slot is taken or invalid
// the object is disposed, the table is unchanged and the result is false. An object that is stored
// but cannot be activated stays in its slot (its failure has been shown) and is not current.
[[nodiscard]] bool StoreObjectInSlot(int slot, std::unique_ptr<SceneObject> object);

// The whole sequence for a blank object: a slot (or "Error: No empty space."), the object (organic,
// or with the given counts), stored and made current. The object in its slot, or null.
SceneObject* NewObjectInTable(bool organic, int32_t pointCount = 0, int32_t triangleCount = 0);

}  // namespace tsv
