// openvdb_peer.cpp: the field as an OpenVDB float grid and its mesh by volumeToMesh.
#include "bench/peers/openvdb_peer.h"

#include <openvdb/openvdb.h>
#include <openvdb/tools/VolumeToMesh.h>

#include <vector>

namespace tsv::bench {

struct OpenVdbVolume::Grid {
  openvdb::FloatGrid::Ptr grid;
};

OpenVdbVolume::OpenVdbVolume(std::span<const float> field, int n) : grid_(std::make_unique<Grid>()) {
  openvdb::initialize();
  // OpenVDB meshes the surface where values cross the isovalue with the inside below it: the
  // field goes in negated, and the background (never touched) lies outside.
  grid_->grid = openvdb::FloatGrid::create(1.0f);
  openvdb::FloatGrid::Accessor access = grid_->grid->getAccessor();
  const int side = n + 1;
  for (int i = 0; i < side; ++i) {
    for (int j = 0; j < side; ++j) {
      for (int k = 0; k < side; ++k) {
        const size_t index = (size_t(i) * size_t(side) + size_t(j)) * size_t(side) + size_t(k);
        if (index < field.size()) access.setValue(openvdb::Coord(i, j, k), -field[index]);
      }
    }
  }
}

OpenVdbVolume::~OpenVdbVolume() = default;

PeerMeshCounts OpenVdbVolume::Mesh() const {
  std::vector<openvdb::Vec3s> points;
  std::vector<openvdb::Vec3I> triangles;
  std::vector<openvdb::Vec4I> quads;
  openvdb::tools::volumeToMesh(*grid_->grid, points, triangles, quads, 0.0, 0.0);
  return {points.size(), triangles.size(), quads.size()};
}

}  // namespace tsv::bench
