// Letters: flattening, classification and bridging on small contours, the ear search against its
// direct form on every glyph of DejaVu Sans, and whole objects made from texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "letters/letter_fonts.h"
#include "letters/letter_outlines.h"
#include "letters/letter_state.h"
#include "letters/letters.h"
#include "tests/mesh/mesh_test_support.h"

namespace tsv {
namespace {

class Letters : public test::SceneFixture {
 protected:
  void TearDown() override {
    ResetLetterState();
    test::SceneFixture::TearDown();
  }
  static LetterSettings Settings(const std::string& text, bool threeD, int segments = 4, int divisions = 4) {
    LetterSettings s;
    s.text = text;
    s.family = kDefaultLetterFamily;
    s.threeD = threeD;
    s.segments = segments;
    s.depthDivisions = divisions;
    return s;
  }
  std::vector<LetterOutline> Glyph(uint32_t code, int segments) {
    const std::optional<LetterFace> face = OpenLetterFace(kDefaultLetterFamily, false, false);
    EXPECT_TRUE(face);
    if (!face) return {};
    return FlattenGlyph(LoadLetterGlyph(*face, code, 0).contours, segments);
  }
};

// A square of on-curve points, counter-clockwise in font terms once reversed (clockwise as given).
GlyphContours Square(double x0, double y0, double side, bool clockwise) {
  GlyphContours g;
  std::vector<LetterPoint> p = {{x0, y0}, {x0, y0 + side}, {x0 + side, y0 + side}, {x0 + side, y0}};
  if (!clockwise) std::swap(p[1], p[3]);
  g.points = p;
  g.onCurve.assign(4, 1);
  g.contourEnds = {3};
  return g;
}

TEST_F(Letters, CrossingTestExcusesOnlyEndPoints) {
  struct Case {
    const char* name;
    LetterPoint p1, p2, p3, p4;
    bool crosses;
  };
  const Case cases[] = {
      {"plain X", {0, 0}, {2, 2}, {0, 2}, {2, 0}, true},
      {"crossing at t = 0.995 of the first", {0, 0}, {200, 0}, {199, -1}, {199, 1}, true},
      {"crossing at u = 0.995 of the second", {199, -1}, {199, 1}, {0, 0}, {200, 0}, true},
      {"crossing at t = 0.005", {0, 0}, {200, 0}, {1, -1}, {1, 1}, true},
      {"sharing an end point", {0, 0}, {1, 1}, {1, 1}, {2, 0}, false},
      {"end point on the other's middle", {0, 0}, {1, 0}, {1, -1}, {1, 1}, false},
      {"parallel", {0, 0}, {1, 0}, {0, 1}, {1, 1}, false},
      {"apart", {0, 0}, {1, 0}, {2, -1}, {2, 1}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(SegmentsCross(c.p1, c.p2, c.p3, c.p4), c.crosses) << c.name;
}

TEST_F(Letters, FlatteningAndClassification) {
  // One segment per piece: chords through the on-curve points and the midpoints of two controls.
  GlyphContours curve;
  curve.points = {{0, 0}, {0, 10}, {10, 10}, {10, 0}};
  curve.onCurve = {1, 0, 0, 1};
  curve.contourEnds = {3};
  std::vector<LetterOutline> outlines = FlattenGlyph(curve, 1);
  ASSERT_EQ(outlines.size(), 1u);
  // Reversed: start, midpoint of the controls, the last on-curve point in reverse order.
  EXPECT_EQ(outlines[0].points, (std::vector<LetterPoint>{{10, 0}, {5, 10}, {0, 0}}));
  // N = 4: each piece gives four points, the line back to the start four more.
  EXPECT_EQ(FlattenGlyph(curve, 4)[0].points.size(), 12u);

  // A contour of off-curve points only starts at an implied midpoint.
  GlyphContours circle;
  circle.points = {{0, 10}, {10, 0}, {0, -10}, {-10, 0}};
  circle.onCurve = {0, 0, 0, 0};
  circle.contourEnds = {3};
  EXPECT_EQ(FlattenGlyph(circle, 2)[0].points.size(), 8u);

  // TrueType outer contours run clockwise, holes counter-clockwise.
  EXPECT_FALSE(FlattenGlyph(Square(0, 0, 10, true), 1)[0].isHole);
  EXPECT_TRUE(FlattenGlyph(Square(0, 0, 10, false), 1)[0].isHole);

  // Degenerate contours are dropped; bad contour ends stop the glyph without reading past it.
  GlyphContours degenerate;
  degenerate.points = {{0, 0}, {5, 5}, {10, 10}, {0, 0}, {0, 0}, {3, 3}, {1, 1}};
  degenerate.onCurve.assign(7, 1);
  degenerate.contourEnds = {2, 4, 99};
  EXPECT_TRUE(FlattenGlyph(degenerate, 4).empty());
}

TEST_F(Letters, HolesAreBridgedIntoTheirOuterOutline) {
  GlyphContours g = Square(0, 0, 100, true);
  const GlyphContours hole = Square(40, 40, 20, false);
  for (const LetterPoint& p : hole.points) g.points.push_back(p);
  g.onCurve.assign(8, 1);
  g.contourEnds = {3, 7};
  const std::vector<LetterOutline> outlines = FlattenGlyph(g, 1);
  ASSERT_EQ(outlines.size(), 2u);
  const std::vector<LetterOutline> parts = LetterParts(outlines, false);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].points.size(), 8u);
  EXPECT_EQ(parts[0].ring.size(), 10u);  // both rings and the bridge there and back
  EXPECT_EQ(parts[0].loops[0], 2);
  EXPECT_EQ(ClipEars(parts[0]).size(), 8u);
  EXPECT_EQ(LetterParts(outlines, true)[0].ring.size(), 4u);

  // A hole fenced in by another hole no bridge can reach: it stays out and the outline is unchanged.
  const LetterOutline fence = FlattenGlyph(Square(29, 33, 37, false), 1)[0];
  LetterOutline outer = outlines[0];
  const LetterOutline* blockers[] = {&fence};
  EXPECT_FALSE(MergeHole(outer, outlines[1], blockers));
  EXPECT_EQ(outer.ring.size(), 4u);
}

TEST_F(Letters, EarsNeverRepeatAPoint) {
  // No corner qualifies as an ear: the fallback takes the largest corner whose points differ, and
  // a ring whose every corner repeats a point ends without a triangle.
  struct Case {
    const char* name;
    std::vector<LetterPoint> points;
    std::vector<int32_t> ring;
    size_t triangles;
  };
  const Case cases[] = {
      {"three entries, one point twice", {{0, 0}, {1, 0}}, {0, 1, 0}, 0},
      {"collinear with a repeat", {{0, 0}, {1, 0}, {2, 0}}, {0, 1, 0, 2}, 2},
  };
  for (const Case& c : cases) {
    LetterOutline outline = NewLetterOutline(c.points);
    outline.ring = c.ring;
    std::vector<LetterTriangle> direct;
    while (std::optional<LetterTriangle> ear = NextEar(outline)) direct.push_back(*ear);
    EXPECT_EQ(direct.size(), c.triangles) << c.name;
    for (const LetterTriangle& t : direct) EXPECT_TRUE(t[0] != t[1] && t[1] != t[2] && t[0] != t[2]) << c.name;
    LetterOutline again = NewLetterOutline(c.points);
    again.ring = c.ring;
    EXPECT_EQ(ClipEars(again), direct) << c.name;
  }
}

// The indexed searches pick exactly what the direct ones pick, glyph by glyph.
TEST_F(Letters, IndexedSearchesMatchTheDirectOnesOnEveryGlyph) {
  for (int segments : {1, 4}) {
    for (uint32_t code = 0x21; code <= 0xFF; ++code) {
      if (code >= 0x7F && code < 0xA1) continue;
      const std::vector<LetterOutline> outlines = Glyph(code, segments);
      std::vector<const LetterOutline*> holes;
      for (const LetterOutline& o : outlines) {
        if (o.isHole) holes.push_back(&o);
      }
      for (const LetterOutline& o : outlines) {
        if (o.isHole) continue;
        for (size_t h = 0; h < holes.size(); ++h) {
          const auto rest = std::span<const LetterOutline* const>(holes).subspan(h + 1);
          EXPECT_EQ(FindBridge(o, *holes[h], rest), FindBridgeDirect(o, *holes[h], rest)) << code;
        }
      }
      for (const LetterOutline& part : LetterParts(outlines, false)) {
        LetterOutline direct = part;
        std::vector<LetterTriangle> ears;
        while (std::optional<LetterTriangle> ear = NextEar(direct)) ears.push_back(*ear);
        EXPECT_EQ(ClipEars(part), ears) << "U+" << std::hex << code << " N = " << std::dec << segments;
      }
    }
  }
}

TEST_F(Letters, RegisteredHoldsEachHoleInItsOwnRing) {
  const std::vector<LetterOutline> parts = LetterParts(Glyph(0xAE, 4), false);
  ASSERT_EQ(parts.size(), 2u);
  for (const LetterOutline& part : parts) EXPECT_EQ(part.loops[0], 2);
}

TEST_F(Letters, OWithAndWithoutItsHole) {
  LetterResult open = GenerateLetters(Settings("o", false), false);
  ASSERT_EQ(open.outcome, LetterOutcome::Made);
  EXPECT_EQ(open.object->triangleCount, open.object->pointCount);  // P points, P triangles
  EXPECT_TRUE(open.object->hierarchy.empty());
  EXPECT_TRUE(test::ConsistentlyWound(Triangles(*open.object), false));

  LetterSettings solid = Settings("o", false);
  solid.filled = true;
  LetterResult disc = GenerateLetters(solid, false);
  ASSERT_EQ(disc.outcome, LetterOutcome::Made);
  // Only the outer outline: a disc of P points and P - 2 triangles.
  EXPECT_EQ(disc.object->triangleCount, disc.object->pointCount - 2);
  EXPECT_LT(disc.object->pointCount, open.object->pointCount);
  // Centred and scaled to fit: the farthest point 160 from the origin.
  float farthest = 0;
  for (const Vec3f& p : disc.object->points) farthest = std::max(farthest, std::hypot(p.x, p.y, p.z));
  EXPECT_NEAR(farthest, 160.0f, 0.01f);
}

TEST_F(Letters, PartsMakeACompactHierarchyNamedByCharacter) {
  LetterResult i = GenerateLetters(Settings("i", true), false);
  ASSERT_EQ(i.outcome, LetterOutcome::Made);
  ASSERT_EQ(i.object->hierarchy.size(), 2u);
  EXPECT_EQ(i.object->hierarchy[0].childCount, 1u);
  EXPECT_EQ(i.object->hierarchy[1].childCount, 0u);
  uint32_t points = 0, triangles = 0;
  for (const HierarchyNode& node : i.object->hierarchy) {
    EXPECT_EQ(View(node.partName), "i");
    EXPECT_EQ(node.partFirstPoint, points);
    EXPECT_EQ(node.partFirstTriangle, triangles);
    points += node.partPointCount, triangles += node.partTriangleCount;
  }
  EXPECT_EQ(int32_t(points), i.object->pointCount);
  EXPECT_EQ(int32_t(triangles), i.object->triangleCount);

  // "é" is one character: each part is named by its two bytes.
  LetterResult e = GenerateLetters(Settings("\xC3\xA9", false), false);
  ASSERT_EQ(e.outcome, LetterOutcome::Made);
  ASSERT_EQ(e.object->hierarchy.size(), 2u);
  for (const HierarchyNode& node : e.object->hierarchy) EXPECT_EQ(View(node.partName), "\xC3\xA9");
}

// The flattened text is what generation starts from: its parts, clipped and extruded, give the
// object's counts, and a character the face lacks ("\x01") or a space adds no outlines.
TEST_F(Letters, FlattenedTextIsWhatGenerationStartsFrom) {
  const LetterSettings settings = Settings("@o \x01W", true, 64);
  const std::vector<std::vector<LetterOutline>> characters = FlattenLetterText(settings);
  ASSERT_EQ(characters.size(), 3u);
  LetterMesh mesh;
  for (const std::vector<LetterOutline>& outlines : characters) {
    for (const LetterOutline& part : LetterParts(outlines, false)) {
      EmitLetterPart(part, ClipEars(part), true, settings.depthDivisions, "", mesh);
    }
  }
  LetterResult made = GenerateLetters(settings, false);
  ASSERT_EQ(made.outcome, LetterOutcome::Made);
  EXPECT_EQ(int64_t(made.object->pointCount), int64_t(mesh.points.size()));
  EXPECT_EQ(int64_t(made.object->triangleCount), int64_t(mesh.triangles.size()));
  // "o" starts to the right of "@".
  EXPECT_GT(characters[1][0].points[0].x, characters[0][0].points[0].x);
  LetterSettings bad = settings;
  bad.segments = 3;
  EXPECT_TRUE(FlattenLetterText(bad).empty());
}

TEST_F(Letters, DepthDivisionsAddRingsBetweenTheCaps) {
  LetterSettings square = Settings("l", true, 1, 1);  // "l" is a plain rectangle: four corners
  LetterResult one = GenerateLetters(square, false);
  ASSERT_EQ(one.outcome, LetterOutcome::Made);
  EXPECT_EQ(one.object->pointCount, 8);
  EXPECT_EQ(one.object->triangleCount, 12);
  square.depthDivisions = 4;
  LetterResult four = GenerateLetters(square, false);
  EXPECT_EQ(four.object->pointCount, 8 + 3 * 4);
  EXPECT_EQ(four.object->triangleCount, 4 + 2 * 4 * 4);
  EXPECT_TRUE(test::ClosedAndOutward(*four.object));
}

TEST_F(Letters, EveryLatinGlyphIsClosedAndOutward) {
  for (int segments : {1, 4}) {
    for (uint32_t code = 0x21; code <= 0xFF; ++code) {
      if (code >= 0x7F && code < 0xA1) continue;
      char utf8[3] = {char(code), 0, 0};
      if (code >= 0x80) utf8[0] = char(0xC0 | (code >> 6)), utf8[1] = char(0x80 | (code & 0x3F));
      LetterResult r = GenerateLetters(Settings(utf8, true, segments), false);
      ASSERT_EQ(r.outcome, LetterOutcome::Made) << code;
      EXPECT_TRUE(test::ClosedAndOutward(*r.object)) << "U+" << std::hex << code << " N = " << std::dec << segments;
      // Each part: front and back caps of n points, three rings between, ears on both caps and
      // two wall triangles per loop edge and level.
      int64_t points = 0, triangles = 0;
      for (const LetterOutline& part : LetterParts(Glyph(code, segments), false)) {
        const int64_t n = int64_t(part.points.size()), ears = int64_t(part.ring.size()) - 2;
        points += 5 * n;
        triangles += 2 * ears + 8 * n;
      }
      EXPECT_EQ(r.object->pointCount, points) << code;
      EXPECT_EQ(r.object->triangleCount, triangles) << code;
    }
  }
}

TEST_F(Letters, RefusalsAndFailuresAreShown) {
  struct Case {
    const char* name;
    std::string text;
    int segments;
    std::string message;
  };
  const Case cases[] = {
      {"spaces only", "   ", 4, "Error: Couldn't generate any letters."},
      {"empty", "", 4, "Error: The text is empty."},
      {"too long", std::string(256, 'a'), 4, "Error: The text is 256 bytes long; at most 255 bytes make letters."},
      {"not UTF-8", "ab\xC3(", 4, "Error: The text is not UTF-8 at byte 2."},
      {"cut short", "ab\xE2\x82", 4, "Error: The text is not UTF-8 at byte 2."},
      {"segments off the list", "a", 3, "Error: Segmenting and depth divisions must be 1, 2, 4, 8, 16, 32 or 64."},
  };
  for (const Case& c : cases) {
    services.shown.clear();
    LetterResult r = GenerateLetters(Settings(c.text, true, c.segments), false);
    EXPECT_EQ(r.outcome, LetterOutcome::Failed) << c.name;
    EXPECT_FALSE(r.object) << c.name;
    EXPECT_EQ(Stops(), std::vector<std::string>{c.message}) << c.name;
  }
}

TEST_F(Letters, FamiliesAndPreview) {
  const std::vector<std::string> families = LetterFontFamilies();
  EXPECT_NE(std::find(families.begin(), families.end(), "DejaVu Sans"), families.end());
  EXPECT_EQ(FindLetterFamily("dejavu sans"), "DejaVu Sans");
  EXPECT_EQ(FindLetterFamily("No Such Family"), "");

  // Bold: the family's own bold face; a family without one is emboldened (wider pen steps).
  const std::optional<LetterFace> bold = OpenLetterFace("DejaVu Sans", true, false);
  ASSERT_TRUE(bold);
  EXPECT_FALSE(bold->embolden);
  const std::optional<LetterFace> math = OpenLetterFace("DejaVu Math TeX Gyre", true, true);
  if (math) {
    EXPECT_TRUE(math->embolden && math->slant);
  }

  Canvas canvas;
  ResizeCanvas(canvas, 120, 40, 0xFFFFFF);
  LetterSettings s = Settings("Ab", true);
  DrawLetterPreview(canvas, {10, 5, 100, 30}, s, 0x000000, 0xFFFFFF);
  int inked = 0, outside = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 120; ++x) {
      const bool inArea = x >= 10 && x < 110 && y >= 5 && y < 35;
      if (PixelAt(canvas, x, y) != 0xFFFFFF) ++(inArea ? inked : outside);
    }
  }
  EXPECT_GT(inked, 50);
  EXPECT_EQ(outside, 0);
}

}  // namespace
}  // namespace tsv
