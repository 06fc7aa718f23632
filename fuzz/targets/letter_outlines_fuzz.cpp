// letter_outlines_fuzz.cpp: glyph contours in the TrueType form (any points, on/off flags and
// contour ends) through flattening, classification, hole bridging, ear clipping and extrusion.
// Whatever the contours, every part's counts equal what was written, every index names a point of
// the mesh, no triangle names a point twice, and the indexed ear and bridge searches agree with
// the direct ones on outlines small enough for those.
//
// Input: byte 0 the settings (bits 0-2 the segments 2^(n mod 5), at most 16 so that
// a self-crossing scribble of 64 points stays within the time an input may take, bit 3 filled, bit 4 3D, bits 5-6
// the depth divisions 1, 2, 4 or 8); byte 1 the point count (cut to kMostPoints); byte 2 the
// contour count (cut to kMostContours); then the contour ends, one byte each, taken as they are;
// then per point x and y as little-endian 16-bit signed values and one flag byte (bit 0 on the
// curve); zeros where the input ends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "letters/letter_outlines.h"

namespace {

using namespace tsv;

constexpr size_t kMostPoints = 64;
constexpr size_t kMostContours = 8;
// The direct searches cost the cube of the outline's size: they check the indexed ones on outlines
// up to this size only.
constexpr size_t kMostDirectPoints = 256;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FuzzBytes in(data, size);
  const uint8_t settings = in.Byte();
  const int segments = 1 << (settings & 7) % 5;
  const bool filled = (settings & 8) != 0, threeD = (settings & 16) != 0;
  const int divisions = 1 << ((settings >> 5) & 3);
  const size_t pointCount = std::min<size_t>(in.Byte(), kMostPoints);
  const size_t contourCount = std::min<size_t>(in.Byte(), kMostContours);
  GlyphContours glyph;
  for (size_t k = 0; k < contourCount; ++k) glyph.contourEnds.push_back(in.Byte());
  for (size_t k = 0; k < pointCount; ++k) {
    const double x = int16_t(in.Word()), y = int16_t(in.Word());
    glyph.points.push_back({x, y});
    glyph.onCurve.push_back(in.Byte() & 1);
  }

  const std::vector<LetterOutline> outlines = FlattenGlyph(glyph, segments);
  std::vector<const LetterOutline*> holes;
  for (const LetterOutline& o : outlines) {
    if (o.isHole) holes.push_back(&o);
  }
  for (const LetterOutline& o : outlines) {
    if (o.isHole) continue;
    for (size_t h = 0; h < holes.size() && o.points.size() + holes[h]->points.size() <= kMostDirectPoints; ++h) {
      const auto rest = std::span<const LetterOutline* const>(holes).subspan(h + 1);
      Check(FindBridge(o, *holes[h], rest) == FindBridgeDirect(o, *holes[h], rest));
    }
  }
  LetterMesh mesh;
  for (const LetterOutline& part : LetterParts(outlines, filled)) {
    for (int32_t index : part.ring) Check(index >= 0 && size_t(index) < part.points.size());
    const std::vector<LetterTriangle> ears = ClipEars(part);
    if (part.points.size() <= kMostDirectPoints) {
      LetterOutline direct = part;
      std::vector<LetterTriangle> directEars;
      while (std::optional<LetterTriangle> ear = NextEar(direct)) directEars.push_back(*ear);
      Check(ears == directEars);
    }
    for (const LetterTriangle& t : ears) Check(t[0] != t[1] && t[1] != t[2] && t[0] != t[2]);
    const LetterPartCounts counts = CountLetterPart(part, ears.size(), threeD, divisions);
    const size_t points = mesh.points.size(), triangles = mesh.triangles.size();
    EmitLetterPart(part, ears, threeD, divisions, "x", mesh);
    Check(int64_t(mesh.points.size() - points) == counts.points);
    Check(int64_t(mesh.triangles.size() - triangles) == counts.triangles);
    for (size_t k = triangles; k < mesh.triangles.size(); ++k) {
      const auto& t = mesh.triangles[k];
      for (uint32_t corner : t) Check(corner >= points && corner < mesh.points.size());
      Check(t[0] != t[1] && t[1] != t[2] && t[0] != t[2]);
    }
  }
  return 0;
}
