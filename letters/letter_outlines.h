// letter_outlines.h: the geometry of letters, free of any font library: glyph contours in the
// TrueType form flattened into outlines, outer outlines told from holes, holes bridged into the
// outline around them, ear clipping, and the flat or extruded mesh of one part.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tsv {

struct LetterPoint {
  double x = 0, y = 0;
  bool operator==(const LetterPoint&) const = default;
};

// Glyph contours as a TrueType font holds them: points with their on-curve flags, and the index of
// the last point of each contour. Between two off-curve points lies an implied on-curve midpoint.
struct GlyphContours {
  std::vector<LetterPoint> points;
  std::vector<uint8_t> onCurve;       // one per point, nonzero: on the curve
  std::vector<int32_t> contourEnds;   // increasing, each below the point count
};

// One closed contour, or an outer contour with its holes merged in.
struct LetterOutline {
  std::vector<LetterPoint> points;
  std::vector<int32_t> ring;   // point indices in walking order: the polygon still to be clipped
  std::vector<int32_t> loops;  // [loop count, then per loop its length and point indices]: the walls
  bool isHole = false;
};

using LetterTriangle = std::array<int32_t, 3>;

// An outline over these points with ring 0..n-1 and the one loop 0..n-1.
LetterOutline NewLetterOutline(std::vector<LetterPoint> points);

// The contours flattened with `segments` (1..64) points per line or curve piece, each reversed
// and classified. A contour with fewer than three distinct points or without area is dropped;
// points that repeat their predecessor are left out. Malformed contour ends end the glyph there.
std::vector<LetterOutline> FlattenGlyph(const GlyphContours& glyph, int segments);

void ReverseOutline(LetterOutline& outline);
// Marks the outline a hole or an outer outline by the direction of its top edge: after the
// reversal outer outlines run counter-clockwise, so their top edge runs towards -x.
void ClassifyOutline(LetterOutline& outline);

// The segments p1-p2 and p3-p4 cross at a point inside both; touching at an end point of either
// and parallel segments do not count.
bool SegmentsCross(LetterPoint p1, LetterPoint p2, LetterPoint p3, LetterPoint p4);
// The point lies inside the polygon of the outline's ring (even-odd).
bool PointInsideOutline(LetterPoint q, const LetterOutline& outline);
// Twice the signed area of the ring (positive counter-clockwise).
double OutlineArea(const LetterOutline& outline);

// Joins `hole` into `outer` by the shortest bridge from an outer point used once by the ring to a
// hole point that crosses no edge of the outer ring, of the hole, or of the `blockers` (the other
// holes still to be merged). False, with `outer` unchanged, when no hole point lies inside the outer
// outline or no bridge can be drawn.
bool MergeHole(LetterOutline& outer, const LetterOutline& hole, std::span<const LetterOutline* const> blockers = {});
// The bridge MergeHole takes, (outer point, hole point), searched pair by pair without an index:
// the reference the indexed search is checked against.
std::optional<std::array<int32_t, 2>> FindBridgeDirect(const LetterOutline& outer, const LetterOutline& hole,
                                                       std::span<const LetterOutline* const> blockers = {});
std::optional<std::array<int32_t, 2>> FindBridge(const LetterOutline& outer, const LetterOutline& hole,
                                                 std::span<const LetterOutline* const> blockers = {});

// The outer outlines of one character, each with its holes merged unless `filled`: a hole goes to
// the smallest outer outline around it.
std::vector<LetterOutline> LetterParts(const std::vector<LetterOutline>& outlines, bool filled);

// Clips the next ear off the ring: of the corners that turn left by more than 0.1, whose diagonal
// crosses no ring edge and whose triangle holds no point of the outline, the one with the shortest
// diagonal (the later one on a tie). Without such a corner the corner of largest area whose three
// points differ. None with fewer than three ring entries or when every corner repeats a point.
// This is the direct search, quadratic per ear.
std::optional<LetterTriangle> NextEar(LetterOutline& outline);
// Every ear NextEar would clip, in the same order, found through a grid of the points and edges.
std::vector<LetterTriangle> ClipEars(const LetterOutline& outline);

// The mesh being built from the parts of a text.
struct LetterMeshPart {
  std::string name;  // the character's UTF-8 bytes
  int64_t firstPoint = 0, firstTriangle = 0, pointCount = 0, triangleCount = 0;
};
struct LetterMesh {
  std::vector<std::array<double, 3>> points;
  std::vector<std::array<uint32_t, 3>> triangles;
  std::vector<LetterMeshPart> parts;
};

// Points and triangles one part adds: 2D n points and e triangles; 3D 2n + (D - 1) L points and
// 2e + 2 D L triangles (L the length of all loops, e the ears).
struct LetterPartCounts {
  int64_t points = 0, triangles = 0;
};
LetterPartCounts CountLetterPart(const LetterOutline& outline, size_t earCount, bool threeD, int divisions);

// Appends one part: 2D the points at z = 0 and the ears; 3D the front and back caps at z = +25 and
// -25, D - 1 rings between them and walls that face outwards with the caps.
void EmitLetterPart(const LetterOutline& outline, std::span<const LetterTriangle> ears, bool threeD, int divisions,
                    const std::string& name, LetterMesh& mesh);

}  // namespace tsv
