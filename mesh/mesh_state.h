// mesh_state.h: the mesh operations' global state in one record: the derivation dialog's switch
// that keeps the open borders of a mesh when it is simplified, and what the last mirror did, so
// that the next Ctrl+Z can take it back (and the one after that do it again). The test reset.
#pragma once

#include <cstdint>

#include "scene/topology.h"

namespace tsv {

// The last mirror of an object. Mirroring twice across one plane is exact, so taking a mirror
// back is mirroring again; all that must be kept is what the object was before (organic, fast
// synthetic) and whether it has been changed since in any other way.
struct LastMirror {
  uint64_t serial = 0;           // the mirrored object; 0 = nothing to take back
  int axis = 0;                  // 0 x, 1 y, 2 z
  uint64_t historySequence = 0;  // scene.history.lastSequence after the mirror
  const Topology* block = nullptr;  // the object's block after the mirror
  uint16_t wasOrganic = 0;          // the flags before the mirror
  uint16_t wasFastSynthetic = 0;
  bool takenBack = false;  // the object stands before the mirror now; the next Ctrl+Z redoes it
};

struct MeshState {
  // "Protect edges during decimation": every point on an open border survives simplification.
  bool preserveBorders = true;
  LastMirror lastMirror;
};

extern MeshState meshState;

void ResetMeshState();

}  // namespace tsv
