// types.h: the small value types every mesh array is made of: a point position, a paint colour, a
// texture coordinate and a triangle. Plain aggregates with the byte sizes the object file stores.
#pragma once

#include <array>
#include <cstdint>

namespace tsv {

// A position or direction in object space (x right, y up, z toward the viewer of view 0).
struct Vec3f {
  float x = 0, y = 0, z = 0;
  bool operator==(const Vec3f&) const = default;
};

// The paint of one point: 8 bits per channel.
struct Rgb8 {
  uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const Rgb8&) const = default;
};

// Texture coordinates; both run 0..256 across a picture mapped once.
struct Uv {
  float u = 0, v = 0;
  bool operator==(const Uv&) const = default;
};

// The point indices of corners 0, 1 and 2.
using Triangle = std::array<uint32_t, 3>;

static_assert(sizeof(Vec3f) == 12 && sizeof(Rgb8) == 3 && sizeof(Uv) == 8 && sizeof(Triangle) == 12,
              "mesh arrays are contiguous runs of these; the files count on the sizes");

}  // namespace tsv
