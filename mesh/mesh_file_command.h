// mesh_file_command.h: the mesh operations on object files, for scripts: an object file read, made
// synthetic, put through the derivation steps, mirrored and merged with a second object file as
// asked, and written to another file only when every step succeeded.
#pragma once

#include <string>

#include "mesh/mesh_density.h"
#include "platform/status.h"

namespace tsv {

struct MeshFileRequest {
  bool makeSynthetic = false;
  DerivationSteps steps;
  bool protectBorders = true;
  int mirrorAxis = -1;      // 0 x, 1 y, 2 z; -1 none
  std::string mergeWith;    // a second object file merged after the rest; empty: none
  bool dropHierarchy = false;  // drop hierarchies without asking (else the operation's question
                               // is answered as the user services answer it: No in a script)
};

// Reads `inPath`, runs the request and saves the result to `outPath` (written beside itself and
// renamed over the target, so a failure leaves an existing file as it was). Prints the counts
// before and after to standard output. Every failure has been shown; `inPath` is never written.
Status MeshObjectFile(const std::string& inPath, const std::string& outPath, const MeshFileRequest& request);

}  // namespace tsv
