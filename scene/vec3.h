// vec3.h: the arithmetic of positions and directions (Vec3f): sums and scaling, dot and cross
// products, length and normalising, and turning by a row-major 3 x 3 rotation or its inverse.
// Everything is inline and allocation-free, for the per-point loops of the renderer and tools.
#pragma once

#include <array>
#include <cmath>

#include "scene/types.h"

namespace tsv {

// A 3 x 3 rotation, row-major: element (row, column) is [row * 3 + column].
using Rotation3 = std::array<float, 9>;

constexpr Vec3f operator+(const Vec3f& a, const Vec3f& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
constexpr Vec3f operator-(const Vec3f& a, const Vec3f& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
constexpr Vec3f operator-(const Vec3f& a) { return {-a.x, -a.y, -a.z}; }
constexpr Vec3f operator*(const Vec3f& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
constexpr Vec3f operator*(float s, const Vec3f& a) { return {s * a.x, s * a.y, s * a.z}; }

constexpr float Dot(const Vec3f& a, const Vec3f& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// a x b (right-handed): (P1 - P0) x (P2 - P0) is the normal of a triangle whose corners run
// counter-clockwise seen from the side it points to.
constexpr Vec3f Cross(const Vec3f& a, const Vec3f& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// R = Rz(gamma) Rx(alpha) Ry(beta) of the angles (alpha, beta, gamma) in radians, row-major: the
// rotation of a view, of an object's placement in the composer and of the keyframe blend.
inline Rotation3 ViewRotationMatrix(const std::array<float, 3>& angles) {
  const double sa = std::sin(double(angles[0])), ca = std::cos(double(angles[0]));
  const double sb = std::sin(double(angles[1])), cb = std::cos(double(angles[1]));
  const double sg = std::sin(double(angles[2])), cg = std::cos(double(angles[2]));
  return {float(cg * cb - sa * sg * sb), float(-ca * sg), float(sa * sg * cb + cg * sb),
          float(sa * cg * sb + sg * cb), float(ca * cg),  float(sg * sb - sa * cg * cb),
          float(-ca * sb),               float(sa),       float(ca * cb)};
}

inline float Length(const Vec3f& a) { return std::sqrt(Dot(a, a)); }

// a / |a|. The zero vector stays zero, and so does a vector whose length is not a finite
// positive number (a coordinate at infinity or not a number), so a damaged point can never turn
// into a direction that is not a number.
inline Vec3f Normalised(const Vec3f& a) {
  const float length = Length(a);
  if (!(length > 0.0f) || !std::isfinite(length)) return {};
  return {a.x / length, a.y / length, a.z / length};
}

// R p.
constexpr Vec3f Rotate(const Rotation3& r, const Vec3f& p) {
  return {r[0] * p.x + r[1] * p.y + r[2] * p.z, r[3] * p.x + r[4] * p.y + r[5] * p.z,
          r[6] * p.x + r[7] * p.y + r[8] * p.z};
}

// R^T p: for a rotation, the inverse turn.
constexpr Vec3f RotateInverse(const Rotation3& r, const Vec3f& p) {
  return {r[0] * p.x + r[3] * p.y + r[6] * p.z, r[1] * p.x + r[4] * p.y + r[7] * p.z,
          r[2] * p.x + r[5] * p.y + r[8] * p.z};
}

// A B: turning by B, then by A.
constexpr Rotation3 Multiply(const Rotation3& a, const Rotation3& b) {
  Rotation3 m{};
  for (size_t i = 0; i < 3; ++i) {
    for (size_t j = 0; j < 3; ++j) {
      m[i * 3 + j] = a[i * 3] * b[j] + a[i * 3 + 1] * b[3 + j] + a[i * 3 + 2] * b[6 + j];
    }
  }
  return m;
}

// R^T: for a rotation, the inverse turn.
constexpr Rotation3 Transposed(const Rotation3& r) { return {r[0], r[3], r[6], r[1], r[4], r[7], r[2], r[5], r[8]}; }

}  // namespace tsv
