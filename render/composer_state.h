// composer_state.h: what the composer's object rasteriser keeps between calls: the table of
// random values the shadow lookup draws its jitter and bias from, with its running index, and the
// per-object scratch arrays, sized once to the largest object and reused.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/types.h"
#include "scene/work_records.h"

namespace tsv {

inline constexpr uint32_t kRandomTableSize = 32768;  // the index wraps with & (size - 1)

struct ComposerRasterState {
  std::vector<float> randomTable;  // values in 0..1 from a fixed seed; filled on first use
  uint32_t randomIndex = 0;        // restarts with every shadow buffer (every frame)
  std::vector<Vec3f> faceNormals;
  std::vector<Vec3f> cameraPoints;
  std::vector<Vec3f> lightPoints;
  // The shadow buffer's build: a caster's corners in buffer columns, rows and light depths,
  // which of them lie where the buffer can hold them, and the triangles drawn.
  std::vector<PointWork> shadowCorners;
  std::vector<uint8_t> shadowUsable;
  std::vector<Triangle> shadowTriangles;
};

}  // namespace tsv
