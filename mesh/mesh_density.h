// mesh_density.h: changing how many points and triangles an object has while keeping its shape:
// simplification by clustering each point's ring of neighbours, the four-way split of every
// triangle ("Quad mesh density"), the paint-driven re-mesh, and the derivation pipeline that runs
// the chosen repairs and density steps in a fixed order.
//
// Each operation builds the new mesh beside the object and replaces the object's mesh with it only
// when the result is acceptable, so a refusal, a cancel or running out of memory leaves the object
// as it was. The replacing mesh is always a block of the object's own: an organic object stops
// being organic, and the shared organic block is never written. Like the other mesh operations,
// they leave an object bound to the work arrays with stale work records: the caller activates it
// again.
#pragma once

#include <cstdint>

#include "platform/status.h"
#include "platform/string_id.h"
#include "scene/scene_object.h"

namespace tsv {

// Thresholds of the two passes of the adaptive re-mesh: R + G + B below 704 (grey and black
// paint) collapses in the first, below 64 (black) in the second as well.
inline constexpr int kAdaptiveGreyThreshold = 704;
inline constexpr int kAdaptiveBlackThreshold = 64;

// Removes the object's hierarchy (its parts become one mesh) after asking `warning` as a Yes/No
// question; false when the user says No. True at once for an object without a hierarchy.
[[nodiscard]] bool DropHierarchyConfirmed(SceneObject& object, StringId warning);

// Removes the object's hierarchy without asking: its nodes go, and the links other objects'
// hierarchies hold to it are cleared.
void DropHierarchy(SceneObject& object);

// Mesh decimation: points are visited in index order and each one not yet taken by a cluster
// becomes the centre of a new one, taking its whole ring of neighbours with it (a later centre
// may take over points given to an earlier one, never an earlier centre). While
// meshState.preserveBorders is on, the corners of every triangle with an open edge neither take nor
// are taken: each is its own cluster. Triangles whose corners fall into fewer than three clusters
// go.
//
// Returns the object. `outcome`, when given, says what happened: kNoError (replaced, or nothing
// to merge: the object is then untouched, flags included), kCancelled (the hierarchy warning was
// declined or the progress was cancelled), kMalformed (the result kept 3 points or triangles or
// fewer: "Error: Simplified object is too simple."; or the mesh names points it does not have),
// kNoMemory ("Error: Not enough memory to create new object.").
SceneObject* SimplifyObject(SceneObject* object, Status* outcome = nullptr);

// The same pass, with a ring taken only around a point whose R + G + B is below `threshold`.
SceneObject* AdaptiveRemeshPass(SceneObject* object, int threshold, Status* outcome = nullptr);

// Splits every triangle (a, b, c) into (a, m_ab, m_ca), (m_ab, b, m_bc), (m_ab, m_bc, m_ca),
// (m_ca, m_bc, c). Every point keeps its index; the midpoints follow, one per edge shared by every
// triangle along it whichever way each runs the edge, with the means of the ends' positions,
// texture coordinates, paint and mask. The result is fast synthetic (groups of four). Outcomes as
// for SimplifyObject; a result beyond the mesh limits is kNoMemory.
SceneObject* QuadDensity(SceneObject* object, Status* outcome = nullptr);

// The steps of "Derivative ( Synthetic )", run in this order when chosen.
struct DerivationSteps {
  bool joinPoints = false;
  bool correctNormals = false;
  int simplifyPasses = 0;
  int quadPasses = 0;
  bool adaptiveRemesh = false;  // QuadDensity, then the passes at 704 and at 64
  int turnsX = 0;               // quarter turns about x, then y, then z
  int turnsY = 0;
  int turnsZ = 0;
  bool invertNormals = false;
};

// Runs the chosen steps on `object` in place. An adaptive re-mesh of an object that is not
// painted is refused before anything runs ("Error: Object is not paintable.", kMalformed). The
// first step that fails stops the run with its outcome; the steps before it have run.
Status RunDerivationSteps(SceneObject& object, const DerivationSteps& steps);

// "Derivative ( Synthetic )": a copy of the current object in the first free slot, the chosen
// steps run on it, and the copy made current. On any failure the copy goes and the current object
// stays current; the source is never changed.
Status DeriveNewObject(const DerivationSteps& steps);

}  // namespace tsv
