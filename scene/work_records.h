// work_records.h: the per-point and per-triangle work records. While an object is the active one,
// its points live in one shared array of PointWork and its triangles in one of TriangleWork; tools
// edit the view positions there and the refresh step derives everything else.
#pragma once

#include <cstdint>

namespace tsv {

struct PointWork {
  float x = 0, y = 0, z = 0;     // object-space position (copy of `points`)
  float vx = 0, vy = 0, vz = 0;  // position after the view rotation
  int16_t sx = 0;                // screen column
  int16_t sy = 0;                // screen row
  float depth = 0;               // zoom x vz; larger is nearer
  // The committed mask byte and paint bytes of the point, together one 32-bit word.
  uint8_t mask = 0;
  uint8_t red = 0, green = 0, blue = 0;
  float cornerCount = 0;         // number of triangle corners at the point (0.0 when unused)
  int16_t shade = 0;             // light intensity 0..255, 128 = light at right angles
  int16_t nx = 0, ny = 0, nz = 0;  // point normal, 16-bit fixed point
};
static_assert(sizeof(PointWork) == 48, "one work record is twelve 32-bit words");

// The unit face normal and a flag word (set to 1 on activation; the mesh passes reuse it).
struct TriangleWork {
  float nx = 0, ny = 0, nz = 0;
  uint32_t flags = 0;
};
static_assert(sizeof(TriangleWork) == 16);

}  // namespace tsv
