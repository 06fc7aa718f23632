// organic_mesh.h: the shared organic topology and the five organic standard shapes, built at build
// time by the resource generator. Nothing here is linked into the program itself.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace tsv::resgen {

struct Vec3 {
  float x = 0, y = 0, z = 0;
};

// 8194 points and 16384 triangles. The triangles come in groups of four, each group the four-way
// split of one parent triangle (a, b, c) of a 2050-point, 4096-triangle mesh, always in the order
// (a, m_ab, m_ca), (m_ab, b, m_bc), (m_ab, m_bc, m_ca), (m_ca, m_bc, c).
// Triangles face outward for (P1 - P0) x (P2 - P0).
struct OrganicMesh {
  std::vector<Vec3> points;
  std::vector<std::array<uint32_t, 3>> triangles;
};

inline constexpr int kOrganicPointCount = 8194;
inline constexpr int kOrganicTriangleCount = 16384;
inline constexpr int kStandardShapeCount = 5;

// The organic sphere of radius 128 about the origin; its triangles are the organic topology.
OrganicMesh BuildOrganicSphere();

// Point positions of standard shape `shape` on the organic topology: 0 "Sphere", 1 "Tetrahedron",
// 2 "Cylinder", 3 "Cube", 4 "Cylinder with caps". Each is a closed surface without
// self-intersection that fits the cube from -128 to 128.
std::vector<Vec3> BuildStandardShape(int shape, const OrganicMesh& sphere);

}  // namespace tsv::resgen
