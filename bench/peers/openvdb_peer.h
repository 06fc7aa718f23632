// openvdb_peer.h: OpenVDB's mesher over a field the benchmarks have sampled, kept behind this
// small interface so that only its own file sees OpenVDB's headers.
#pragma once

#include <cstddef>
#include <memory>
#include <span>

namespace tsv::bench {

struct PeerMeshCounts {
  size_t points = 0;
  size_t triangles = 0;
  size_t quads = 0;
};

// A float grid holding `field` ((n + 1)^3 values, index (i (n + 1) + j)(n + 1) + k, inside where
// the value is at least 0), built once; Mesh() runs volumeToMesh at the surface between inside
// and outside.
class OpenVdbVolume {
 public:
  OpenVdbVolume(std::span<const float> field, int n);
  ~OpenVdbVolume();
  OpenVdbVolume(const OpenVdbVolume&) = delete;
  OpenVdbVolume& operator=(const OpenVdbVolume&) = delete;
  PeerMeshCounts Mesh() const;

 private:
  struct Grid;
  std::unique_ptr<Grid> grid_;
};

}  // namespace tsv::bench
