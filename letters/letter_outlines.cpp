// letter_outlines.cpp: flattening, classification, hole bridging, ear clipping and extrusion of
// letter outlines. The bridge and ear searches run through uniform grids of the points and edges;
// they test exactly the predicates of the direct searches and pick the very same results.
#include "letters/letter_outlines.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

namespace tsv {
namespace {

// Every geometric quantity is computed by these, in one place, so the direct and the indexed
// searches see bit-identical values and break ties alike.
inline double Cross(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }
inline double CornerTurn(LetterPoint p, LetterPoint q, LetterPoint r) {
  return Cross(q.x - p.x, q.y - p.y, r.x - p.x, r.y - p.y);
}
inline double DistanceSquared(LetterPoint a, LetterPoint b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  return dx * dx + dy * dy;
}
inline double Distance(LetterPoint a, LetterPoint b) { return std::sqrt(DistanceSquared(a, b)); }

// Strictly inside the counter-clockwise triangle t1 t2 t3: a point on an edge or a corner is not.
inline bool StrictlyInside(LetterPoint q, LetterPoint t1, LetterPoint t2, LetterPoint t3) {
  return Cross(t2.x - t1.x, t2.y - t1.y, q.x - t1.x, q.y - t1.y) > 0 &&
         Cross(t3.x - t2.x, t3.y - t2.y, q.x - t2.x, q.y - t2.y) > 0 &&
         Cross(t1.x - t3.x, t1.y - t3.y, q.x - t3.x, q.y - t3.y) > 0;
}

constexpr double kEarTurn = 0.1;           // a corner must turn left by more than this to be an ear
constexpr double kLongestEar = 1.0e7;      // squared diagonal; longer ones are never preferred
constexpr double kLongestBridge = 1.0e8;
constexpr double kHalfDepth = 25.0;       // 3D letters are 50 deep, centred on z = 0

LetterPoint Midpoint(LetterPoint a, LetterPoint b) { return {(a.x + b.x) * 0.5, (a.y + b.y) * 0.5}; }

void EmitLine(LetterPoint from, LetterPoint to, int n, std::vector<LetterPoint>& out) {
  for (int i = 0; i < n; ++i) {
    const double t = double(i) / n;
    out.push_back({from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t});
  }
}

void EmitQuadratic(LetterPoint s, LetterPoint k, LetterPoint e, int n, std::vector<LetterPoint>& out) {
  for (int i = 0; i < n; ++i) {
    const double t = double(i) / n, u = 1.0 - t;
    out.push_back({u * u * s.x + 2 * t * u * k.x + t * t * e.x, u * u * s.y + 2 * t * u * k.y + t * t * e.y});
  }
}

// The pieces of a run of off-curve points from the on-curve `from` to the on-curve `to`; between
// two off-curve points lies their midpoint.
void EmitSpline(LetterPoint from, const std::vector<LetterPoint>& off, LetterPoint to, int n,
                std::vector<LetterPoint>& out) {
  for (size_t u = 0; u < off.size(); ++u) {
    const LetterPoint s = u == 0 ? from : Midpoint(off[u - 1], off[u]);
    const LetterPoint e = u + 1 == off.size() ? to : Midpoint(off[u], off[u + 1]);
    EmitQuadratic(s, off[u], e, n, out);
  }
}

bool SameBits(LetterPoint a, LetterPoint b) {
  return std::bit_cast<uint64_t>(a.x) == std::bit_cast<uint64_t>(b.x) &&
         std::bit_cast<uint64_t>(a.y) == std::bit_cast<uint64_t>(b.y);
}

// One contour of the TrueType form into points.
std::vector<LetterPoint> FlattenContour(const GlyphContours& glyph, int32_t first, int32_t last, int n) {
  const int32_t count = last - first + 1;
  std::vector<LetterPoint> sequence;
  sequence.reserve(size_t(count) + 1);
  int32_t start = -1;
  for (int32_t k = 0; k < count && start < 0; ++k) {
    if (glyph.onCurve[size_t(first + k)] != 0) start = k;
  }
  std::vector<uint8_t> on;
  if (start < 0) {
    // Every point off the curve: the contour starts at the implied midpoint of the last and first.
    sequence.push_back(Midpoint(glyph.points[size_t(last)], glyph.points[size_t(first)]));
    on.push_back(1);
    start = 0;
  }
  for (int32_t k = 0; k < count; ++k) {
    const size_t index = size_t(first + (start + k) % count);
    sequence.push_back(glyph.points[index]);
    on.push_back(glyph.onCurve[index] != 0);
  }

  std::vector<LetterPoint> out;
  const LetterPoint begin = sequence[0];
  LetterPoint current = begin;
  std::vector<LetterPoint> off;
  for (size_t k = 1; k < sequence.size(); ++k) {
    if (!on[k]) {
      off.push_back(sequence[k]);
      continue;
    }
    if (off.empty()) {
      EmitLine(current, sequence[k], n, out);
    } else {
      EmitSpline(current, off, sequence[k], n, out);
      off.clear();
    }
    current = sequence[k];
  }
  if (!off.empty()) {
    EmitSpline(current, off, begin, n, out);
  } else if (!SameBits(current, begin)) {
    EmitLine(current, begin, n, out);
  }
  return out;
}

// Points equal to their predecessor (cyclically) add nothing but zero-length edges, which no ear or
// bridge test can make sense of.
void DropRepeatedPoints(std::vector<LetterPoint>& points) {
  std::vector<LetterPoint> kept;
  kept.reserve(points.size());
  for (const LetterPoint& p : points) {
    if (kept.empty() || !(kept.back() == p)) kept.push_back(p);
  }
  while (kept.size() > 1 && kept.back() == kept.front()) kept.pop_back();
  points = std::move(kept);
}

double TwiceArea(const std::vector<LetterPoint>& points) {
  double sum = 0;
  for (size_t k = 0, n = points.size(); k < n; ++k) {
    const LetterPoint a = points[k], b = points[(k + 1) % n];
    sum += Cross(a.x, a.y, b.x, b.y);
  }
  return sum;
}

bool HasArea(const std::vector<LetterPoint>& points) {
  if (points.size() < 3) return false;
  double minX = points[0].x, maxX = minX, minY = points[0].y, maxY = minY;
  for (const LetterPoint& p : points) {
    minX = std::min(minX, p.x), maxX = std::max(maxX, p.x), minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
  }
  const double extent = std::max(maxX - minX, maxY - minY);
  // Collinear points leave only rounding noise as area.
  return std::isfinite(extent) && std::fabs(TwiceArea(points)) > 1e-9 * extent * extent;
}

// A uniform grid over a box, about one cell per item.
struct Grid {
  double minX = 0, minY = 0, cell = 1;
  int32_t cols = 1, rows = 1;

  void Cover(double x0, double y0, double x1, double y1, size_t items) {
    minX = x0, minY = y0;
    const double width = std::max(x1 - x0, 1e-9), height = std::max(y1 - y0, 1e-9);
    const double target = double(std::max<size_t>(items, 1));
    cell = std::max(std::sqrt(width * height / target), std::max(width, height) / 1024.0);
    if (!std::isfinite(cell) || cell <= 0) cell = 1;
    cols = int32_t(std::min(1024.0, std::floor(width / cell) + 1));
    rows = int32_t(std::min(1024.0, std::floor(height / cell) + 1));
  }
  int32_t Col(double x) const {
    const double c = std::floor((x - minX) / cell);
    return c < 0 ? 0 : c >= cols ? cols - 1 : int32_t(c);
  }
  int32_t Row(double y) const {
    const double r = std::floor((y - minY) / cell);
    return r < 0 ? 0 : r >= rows ? rows - 1 : int32_t(r);
  }
  size_t CellCount() const { return size_t(cols) * size_t(rows); }
  size_t At(int32_t c, int32_t r) const { return size_t(r) * size_t(cols) + size_t(c); }
};

// Items of a grid in compressed rows: the items of cell k are items[start[k] .. start[k + 1]).
struct GridBuckets {
  std::vector<uint32_t> start;
  std::vector<int32_t> items;
};

// Buckets built from (cell range, item) entries in two passes.
template <class ForEach>
GridBuckets BuildBuckets(const Grid& grid, ForEach forEach) {
  GridBuckets b;
  b.start.assign(grid.CellCount() + 1, 0);
  forEach([&](size_t cell, int32_t) { ++b.start[cell + 1]; });
  for (size_t k = 1; k < b.start.size(); ++k) b.start[k] += b.start[k - 1];
  b.items.resize(b.start.back());
  std::vector<uint32_t> fill(b.start.begin(), b.start.end() - 1);
  forEach([&](size_t cell, int32_t item) { b.items[fill[cell]++] = item; });
  return b;
}

template <class Visit>
void ForCellsOfBox(const Grid& grid, LetterPoint a, LetterPoint b, Visit visit) {
  const int32_t c0 = grid.Col(std::min(a.x, b.x)), c1 = grid.Col(std::max(a.x, b.x));
  const int32_t r0 = grid.Row(std::min(a.y, b.y)), r1 = grid.Row(std::max(a.y, b.y));
  for (int32_t r = r0; r <= r1; ++r) {
    for (int32_t c = c0; c <= c1; ++c) visit(grid.At(c, r));
  }
}

// The cells a segment (two corners) or a triangle (three) passes through, with a margin: row by row
// only the columns the shape spans within that row, widened by a cell on either side so rounding
// at cell borders never loses one. Each cell is visited once. Far from the grid's origin, where a
// cell is too small for the coordinates to tell apart, every cell of the shape's box is visited.
template <class Visit>
void ForCellsOfShape(const Grid& grid, std::span<const LetterPoint> corners, Visit visit) {
  LetterPoint lo = corners[0], hi = corners[0];
  for (LetterPoint c : corners) lo = {std::min(lo.x, c.x), std::min(lo.y, c.y)}, hi = {std::max(hi.x, c.x), std::max(hi.y, c.y)};
  const int32_t r0 = grid.Row(lo.y), r1 = grid.Row(hi.y), c0 = grid.Col(lo.x), c1 = grid.Col(hi.x);
  const double reach = std::fabs(lo.x) + std::fabs(hi.x) + std::fabs(lo.y) + std::fabs(hi.y) + std::fabs(grid.minX) +
                       std::fabs(grid.minY);
  if (r0 == r1 || c1 - c0 <= 2 || !(reach < 1.0e9 * grid.cell)) {
    ForCellsOfBox(grid, lo, hi, visit);
    return;
  }
  const double margin = 0.25 * grid.cell;
  for (int32_t r = r0; r <= r1; ++r) {
    // The row's strip, a little taller than the row, cut to the shape's height.
    const double y0 = std::max(lo.y, grid.minY + r * grid.cell - margin);
    const double y1 = std::min(hi.y, grid.minY + (r + 1) * grid.cell + margin);
    double xlo = std::numeric_limits<double>::infinity(), xhi = -xlo;
    for (size_t k = 0; k < corners.size(); ++k) {
      const LetterPoint a = corners[k], b = corners[(k + 1) % corners.size()];
      const double ya = std::min(a.y, b.y), yb = std::max(a.y, b.y);
      if (yb < y0 || ya > y1) continue;
      if (ya == yb) {
        xlo = std::min({xlo, a.x, b.x}), xhi = std::max({xhi, a.x, b.x});
        continue;
      }
      for (double y : {std::max(ya, y0), std::min(yb, y1)}) {
        const double x = a.x + (b.x - a.x) * ((y - a.y) / (b.y - a.y));
        xlo = std::min(xlo, x), xhi = std::max(xhi, x);
      }
    }
    if (!(xlo <= xhi)) continue;
    const int32_t from = std::max(c0, grid.Col(xlo) - 1), to = std::min(c1, grid.Col(xhi) + 1);
    for (int32_t c = from; c <= to; ++c) visit(grid.At(c, r));
  }
}

struct Box {
  double minX = std::numeric_limits<double>::infinity(), minY = minX, maxX = -minX, maxY = -minX;
  void Add(LetterPoint p) {
    minX = std::min(minX, p.x), minY = std::min(minY, p.y), maxX = std::max(maxX, p.x), maxY = std::max(maxY, p.y);
  }
  bool Holds(LetterPoint p) const { return p.x >= minX && p.x <= maxX && p.y >= minY && p.y <= maxY; }
  bool Meets(const Box& o) const { return minX <= o.maxX && o.minX <= maxX && minY <= o.maxY && o.minY <= maxY; }
};

Box RingBox(const LetterOutline& outline) {
  Box box;
  for (int32_t index : outline.ring) box.Add(outline.points[size_t(index)]);
  return box;
}

// The rings whose edges a bridge must not cross.
std::vector<const LetterOutline*> BridgeRings(const LetterOutline& outer, const LetterOutline& hole,
                                             std::span<const LetterOutline* const> blockers) {
  std::vector<const LetterOutline*> rings{&outer, &hole};
  rings.insert(rings.end(), blockers.begin(), blockers.end());
  return rings;
}

std::vector<uint8_t> UsedOnce(const LetterOutline& outer) {
  std::vector<int32_t> uses(outer.points.size(), 0);
  for (int32_t index : outer.ring) ++uses[size_t(index)];
  std::vector<uint8_t> once(outer.points.size());
  for (size_t k = 0; k < uses.size(); ++k) once[k] = uses[k] <= 1;
  return once;
}

bool RingCrossed(LetterPoint a, LetterPoint b, const LetterOutline& outline) {
  const size_t n = outline.ring.size();
  for (size_t k = 0; k < n; ++k) {
    if (SegmentsCross(a, b, outline.points[size_t(outline.ring[k])], outline.points[size_t(outline.ring[(k + 1) % n])])) {
      return true;
    }
  }
  return false;
}

// Replaces `outer` with the outer ring run once around from outer point i back to it, then the
// hole ring from hole point j back to it.
void JoinAtBridge(LetterOutline& outer, const LetterOutline& hole, int32_t i, int32_t j) {
  const int32_t shift = int32_t(outer.points.size());
  LetterOutline merged;
  merged.points = outer.points;
  merged.points.insert(merged.points.end(), hole.points.begin(), hole.points.end());
  const auto at = [](const std::vector<int32_t>& ring, int32_t index) {
    return size_t(std::find(ring.begin(), ring.end(), index) - ring.begin());
  };
  const size_t pi = at(outer.ring, i), pj = at(hole.ring, j);
  merged.ring.reserve(outer.ring.size() + hole.ring.size() + 2);
  for (size_t k = 0; k <= outer.ring.size(); ++k) merged.ring.push_back(outer.ring[(pi + k) % outer.ring.size()]);
  for (size_t k = 0; k <= hole.ring.size(); ++k) merged.ring.push_back(hole.ring[(pj + k) % hole.ring.size()] + shift);
  merged.loops.push_back(outer.loops.empty() ? 0 : outer.loops[0]);
  if (!hole.loops.empty()) merged.loops[0] += hole.loops[0];
  merged.loops.insert(merged.loops.end(), outer.loops.begin() + (outer.loops.empty() ? 0 : 1), outer.loops.end());
  // Hole loops: lengths stay, indices shift.
  for (size_t k = 1; k < hole.loops.size();) {
    const int32_t length = hole.loops[k];
    merged.loops.push_back(length);
    for (int32_t e = 0; e < length; ++e) merged.loops.push_back(hole.loops[k + 1 + size_t(e)] + shift);
    k += 1 + size_t(length);
  }
  merged.isHole = false;
  outer = std::move(merged);
}

}  // namespace

LetterOutline NewLetterOutline(std::vector<LetterPoint> points) {
  LetterOutline outline;
  const int32_t n = int32_t(points.size());
  outline.points = std::move(points);
  outline.ring.resize(size_t(n));
  outline.loops.reserve(size_t(n) + 2);
  outline.loops.push_back(1);
  outline.loops.push_back(n);
  for (int32_t k = 0; k < n; ++k) {
    outline.ring[size_t(k)] = k;
    outline.loops.push_back(k);
  }
  return outline;
}

std::vector<LetterOutline> FlattenGlyph(const GlyphContours& glyph, int segments) {
  std::vector<LetterOutline> outlines;
  const int n = std::clamp(segments, 1, 64);
  if (glyph.onCurve.size() != glyph.points.size()) return outlines;
  int32_t first = 0;
  for (int32_t last : glyph.contourEnds) {
    if (last < first || size_t(last) >= glyph.points.size()) break;
    std::vector<LetterPoint> points = FlattenContour(glyph, first, last, n);
    first = last + 1;
    DropRepeatedPoints(points);
    if (!HasArea(points)) continue;
    LetterOutline outline = NewLetterOutline(std::move(points));
    ReverseOutline(outline);
    ClassifyOutline(outline);
    outlines.push_back(std::move(outline));
  }
  return outlines;
}

void ReverseOutline(LetterOutline& outline) { std::reverse(outline.points.begin(), outline.points.end()); }

void ClassifyOutline(LetterOutline& outline) {
  const size_t n = outline.points.size();
  if (n == 0) return;
  size_t top = 0;
  for (size_t k = 1; k < n; ++k) {
    if (outline.points[k].y > outline.points[top].y) top = k;
  }
  const LetterPoint p = outline.points[top], before = outline.points[(top + n - 1) % n],
                    after = outline.points[(top + 1) % n];
  const auto unitX = [](double dx, double dy) {
    double length = std::sqrt(dx * dx + dy * dy);
    if (length <= 0) length = 1;
    return dx / length;
  };
  const double a = unitX(p.x - before.x, p.y - before.y), b = unitX(after.x - p.x, after.y - p.y);
  outline.isHole = (std::fabs(a) >= std::fabs(b) ? a : b) >= 0;
}

bool SegmentsCross(LetterPoint p1, LetterPoint p2, LetterPoint p3, LetterPoint p4) {
  const double d1x = p2.x - p1.x, d1y = p2.y - p1.y, d2x = p4.x - p3.x, d2y = p4.y - p3.y;
  const double den = Cross(d1x, d1y, d2x, d2y);
  if (den == 0) return false;
  const double wx = p3.x - p1.x, wy = p3.y - p1.y;
  const double t = Cross(wx, wy, d2x, d2y) / den, u = Cross(wx, wy, d1x, d1y) / den;
  // Only contact at an end point is excused, alike at both ends of both segments.
  return t > 0 && t < 1 && u > 0 && u < 1;
}

bool PointInsideOutline(LetterPoint q, const LetterOutline& outline) {
  bool inside = false;
  const size_t n = outline.ring.size();
  for (size_t k = 0; k < n; ++k) {
    const LetterPoint a = outline.points[size_t(outline.ring[k])], b = outline.points[size_t(outline.ring[(k + 1) % n])];
    if ((a.y > q.y) != (b.y > q.y) && q.x < a.x + (q.y - a.y) * (b.x - a.x) / (b.y - a.y)) inside = !inside;
  }
  return inside;
}

double OutlineArea(const LetterOutline& outline) {
  double sum = 0;
  const size_t n = outline.ring.size();
  for (size_t k = 0; k < n; ++k) {
    const LetterPoint a = outline.points[size_t(outline.ring[k])], b = outline.points[size_t(outline.ring[(k + 1) % n])];
    sum += Cross(a.x, a.y, b.x, b.y);
  }
  return sum;
}

std::optional<std::array<int32_t, 2>> FindBridgeDirect(const LetterOutline& outer, const LetterOutline& hole,
                                                       std::span<const LetterOutline* const> blockers) {
  const std::vector<const LetterOutline*> rings = BridgeRings(outer, hole, blockers);
  const std::vector<uint8_t> once = UsedOnce(outer);
  double best = kLongestBridge;
  std::optional<std::array<int32_t, 2>> bridge;
  for (size_t i = 0; i < outer.points.size(); ++i) {
    if (!once[i]) continue;
    for (size_t j = 0; j < hole.points.size(); ++j) {
      const double d = Distance(hole.points[j], outer.points[i]);
      if (!(d < best)) continue;
      bool crossed = false;
      for (const LetterOutline* ring : rings) {
        if ((crossed = RingCrossed(outer.points[i], hole.points[j], *ring))) break;
      }
      if (crossed) continue;
      best = d;
      bridge = std::array<int32_t, 2>{int32_t(i), int32_t(j)};
    }
  }
  return bridge;
}

std::optional<std::array<int32_t, 2>> FindBridge(const LetterOutline& outer, const LetterOutline& hole,
                                                 std::span<const LetterOutline* const> blockers) {
  const std::vector<const LetterOutline*> rings = BridgeRings(outer, hole, blockers);
  const std::vector<uint8_t> once = UsedOnce(outer);
  Box box;
  for (size_t i = 0; i < outer.points.size(); ++i) {
    if (once[i]) box.Add(outer.points[i]);
  }
  if (!(box.minX <= box.maxX)) return std::nullopt;
  for (const LetterPoint& p : hole.points) box.Add(p);
  // Every edge the bridge must not cross, and the candidate outer points, each in its grid.
  std::vector<std::array<LetterPoint, 2>> edges;
  for (const LetterOutline* ring : rings) {
    const size_t n = ring->ring.size();
    for (size_t k = 0; k < n; ++k) {
      edges.push_back({ring->points[size_t(ring->ring[k])], ring->points[size_t(ring->ring[(k + 1) % n])]});
    }
  }
  for (const auto& edge : edges) box.Add(edge[0]), box.Add(edge[1]);
  Grid grid;
  grid.Cover(box.minX, box.minY, box.maxX, box.maxY, std::max(edges.size(), outer.points.size()));
  const GridBuckets edgeCells = BuildBuckets(grid, [&](auto add) {
    for (size_t e = 0; e < edges.size(); ++e) ForCellsOfBox(grid, edges[e][0], edges[e][1], [&](size_t cell) { add(cell, int32_t(e)); });
  });
  const GridBuckets pointCells = BuildBuckets(grid, [&](auto add) {
    for (size_t i = 0; i < outer.points.size(); ++i) {
      if (once[i]) add(grid.At(grid.Col(outer.points[i].x), grid.Row(outer.points[i].y)), int32_t(i));
    }
  });
  std::vector<uint32_t> seen(edges.size(), 0);
  uint32_t stamp = 0;
  const auto crosses = [&](LetterPoint a, LetterPoint b) {
    ++stamp;
    bool crossed = false;
    ForCellsOfBox(grid, a, b, [&](size_t cell) {
      for (uint32_t k = edgeCells.start[cell]; k < edgeCells.start[cell + 1] && !crossed; ++k) {
        const int32_t e = edgeCells.items[k];
        if (seen[size_t(e)] == stamp) continue;
        seen[size_t(e)] = stamp;
        crossed = SegmentsCross(a, b, edges[size_t(e)][0], edges[size_t(e)][1]);
      }
    });
    return crossed;
  };

  // The direct search keeps the first pair in (outer, hole) order among the shortest: compare alike.
  double best = kLongestBridge;
  int32_t bestI = -1, bestJ = -1;
  for (int32_t j = 0; j < int32_t(hole.points.size()); ++j) {
    const LetterPoint q = hole.points[size_t(j)];
    const int32_t qc = grid.Col(q.x), qr = grid.Row(q.y);
    for (int32_t ringStep = 0; ringStep <= std::max(grid.cols, grid.rows); ++ringStep) {
      // Points in cells `ringStep` away are at least (ringStep - 1) cells away.
      if (ringStep > 1 && double(ringStep - 1) * grid.cell > best) break;
      for (int32_t r = qr - ringStep; r <= qr + ringStep; ++r) {
        if (r < 0 || r >= grid.rows) continue;
        const bool edgeRow = r == qr - ringStep || r == qr + ringStep;
        for (int32_t c = qc - ringStep; c <= qc + ringStep; c += edgeRow ? 1 : std::max(1, 2 * ringStep)) {
          if (c < 0 || c >= grid.cols) continue;
          const size_t cell = grid.At(c, r);
          for (uint32_t k = pointCells.start[cell]; k < pointCells.start[cell + 1]; ++k) {
            const int32_t i = pointCells.items[k];
            const double d = Distance(q, outer.points[size_t(i)]);
            const bool better = d < best || (d == best && bestI >= 0 && (i < bestI || (i == bestI && j < bestJ)));
            if (!better || crosses(outer.points[size_t(i)], q)) continue;
            best = d, bestI = i, bestJ = j;
          }
        }
      }
    }
  }
  if (bestI < 0) return std::nullopt;
  return std::array<int32_t, 2>{bestI, bestJ};
}

bool MergeHole(LetterOutline& outer, const LetterOutline& hole, std::span<const LetterOutline* const> blockers) {
  if (outer.ring.size() < 3 || hole.ring.size() < 3) return false;
  const Box outerBox = RingBox(outer);
  bool inside = false;
  for (size_t k = 0; k < hole.points.size() && !inside; ++k) {
    inside = outerBox.Holds(hole.points[k]) && PointInsideOutline(hole.points[k], outer);
  }
  if (!inside) return false;
  // A hole no bridge reaches stays out: that part of the letter is filled.
  const std::optional<std::array<int32_t, 2>> bridge = FindBridge(outer, hole, blockers);
  if (!bridge) return false;
  JoinAtBridge(outer, hole, (*bridge)[0], (*bridge)[1]);
  return true;
}

std::vector<LetterOutline> LetterParts(const std::vector<LetterOutline>& outlines, bool filled) {
  std::vector<size_t> outers, holes;
  for (size_t k = 0; k < outlines.size(); ++k) (outlines[k].isHole ? holes : outers).push_back(k);
  // Nested contours (a ring inside a hole inside an outline) put a hole inside several outer
  // outlines: it belongs to the smallest of them.
  std::vector<size_t> owner(holes.size(), SIZE_MAX);
  if (!filled) {
    std::vector<Box> boxes(outlines.size());
    for (size_t k = 0; k < outlines.size(); ++k) boxes[k] = RingBox(outlines[k]);
    for (size_t h = 0; h < holes.size(); ++h) {
      const LetterOutline& hole = outlines[holes[h]];
      double smallest = std::numeric_limits<double>::infinity();
      for (size_t o : outers) {
        if (!boxes[o].Meets(boxes[holes[h]])) continue;
        bool inside = false;
        for (size_t k = 0; k < hole.points.size() && !inside; ++k) {
          inside = boxes[o].Holds(hole.points[k]) && PointInsideOutline(hole.points[k], outlines[o]);
        }
        const double area = std::fabs(OutlineArea(outlines[o]));
        if (inside && area < smallest) smallest = area, owner[h] = o;
      }
    }
  }
  std::vector<LetterOutline> parts;
  parts.reserve(outers.size());
  for (size_t o : outers) {
    LetterOutline part = outlines[o];
    std::vector<const LetterOutline*> mine;
    for (size_t h = 0; h < holes.size(); ++h) {
      if (owner[h] == o) mine.push_back(&outlines[holes[h]]);
    }
    for (size_t k = 0; k < mine.size(); ++k) {
      (void)MergeHole(part, *mine[k], std::span<const LetterOutline* const>(mine).subspan(k + 1));
    }
    parts.push_back(std::move(part));
  }
  return parts;
}

std::optional<LetterTriangle> NextEar(LetterOutline& outline) {
  std::vector<int32_t>& ring = outline.ring;
  const size_t n = ring.size();
  if (n < 3) return std::nullopt;
  const std::vector<LetterPoint>& pts = outline.points;
  const auto point = [&](size_t position) { return pts[size_t(ring[position % n])]; };
  double best = kLongestEar;
  size_t chosen = SIZE_MAX;
  for (size_t i = 0; i < n; ++i) {
    const LetterPoint p = point(i), q = point(i + 1), r = point(i + 2);
    const double d2 = DistanceSquared(p, r);
    if (d2 > best || !(CornerTurn(p, q, r) > kEarTurn)) continue;
    bool blocked = false;
    for (size_t k = 0; k < n && !blocked; ++k) blocked = SegmentsCross(p, r, point(k), point(k + 1));
    for (size_t k = 0; k < pts.size() && !blocked; ++k) blocked = StrictlyInside(pts[k], p, q, r);
    if (blocked) continue;
    chosen = i;
    best = d2;
  }
  if (chosen == SIZE_MAX) {
    // No ear qualifies: clip the corner of largest area, never one that names a point twice.
    double largest = -std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < n; ++i) {
      const int32_t a = ring[i], b = ring[(i + 1) % n], c = ring[(i + 2) % n];
      if (a == b || b == c || a == c) continue;
      const double area = CornerTurn(point(i), point(i + 1), point(i + 2));
      if (area > largest) largest = area, chosen = i;
    }
    if (chosen == SIZE_MAX) return std::nullopt;
  }
  const LetterTriangle ear{ring[chosen], ring[(chosen + 1) % n], ring[(chosen + 2) % n]};
  ring.erase(ring.begin() + std::ptrdiff_t((chosen + 1) % n));
  return ear;
}

std::vector<LetterTriangle> ClipEars(const LetterOutline& outline) {
  std::vector<LetterTriangle> ears;
  const int32_t n = int32_t(outline.ring.size());
  if (n < 3) return ears;
  ears.reserve(size_t(n) - 2);
  const std::vector<LetterPoint>& pts = outline.points;
  // The ring as a list of entries; entry e stands for ring position e, and removing entries keeps
  // the others in order, so a lower entry is always an earlier position.
  std::vector<int32_t> next(static_cast<size_t>(n)), prev(static_cast<size_t>(n));
  std::vector<uint8_t> alive(size_t(n), 1);
  for (int32_t e = 0; e < n; ++e) next[size_t(e)] = (e + 1) % n, prev[size_t(e)] = (e + n - 1) % n;
  const auto at = [&](int32_t e) { return pts[size_t(outline.ring[size_t(e)])]; };

  Box box;
  for (const LetterPoint& p : pts) box.Add(p);
  Grid grid;
  grid.Cover(box.minX, box.minY, box.maxX, box.maxY, pts.size());
  const GridBuckets pointCells = BuildBuckets(grid, [&](auto add) {
    for (size_t k = 0; k < pts.size(); ++k) add(grid.At(grid.Col(pts[k].x), grid.Row(pts[k].y)), int32_t(k));
  });
  // Ring edges by their first entry and the entry's filing: an entry whose edge changes is filed
  // again under its new edge's cells, and its older filings are dropped as the searches meet them,
  // as are the filings of entries clipped off.
  struct Filing {
    int32_t entry;
    uint32_t version;
  };
  std::vector<std::vector<Filing>> edgeCells(grid.CellCount());
  std::vector<uint32_t> filingVersion(size_t(n), 0);
  const auto fileEdge = [&](int32_t e) {
    const uint32_t version = ++filingVersion[size_t(e)];
    const LetterPoint ends[] = {at(e), at(next[size_t(e)])};
    ForCellsOfShape(grid, ends, [&](size_t cell) { edgeCells[cell].push_back({e, version}); });
  };
  for (int32_t e = 0; e < n; ++e) fileEdge(e);
  std::vector<uint32_t> seen(size_t(n), 0);
  uint32_t stamp = 0;

  // What keeps a corner from being an ear: a point of the outline strictly inside its triangle
  // (for as long as the corner keeps its triangle), or the ring edge of an entry that its diagonal
  // crosses (for as long as that edge stays).
  constexpr int32_t kEar = -1, kPointInside = -2;
  const auto earBlocker = [&](int32_t e) {
    const int32_t f = next[size_t(e)], g = next[size_t(f)];
    const LetterPoint p = at(e), q = at(f), r = at(g);
    int32_t blocker = kEar;
    const LetterPoint triangle[] = {p, q, r};
    ForCellsOfShape(grid, triangle, [&](size_t cell) {
      for (uint32_t k = pointCells.start[cell]; k < pointCells.start[cell + 1] && blocker == kEar; ++k) {
        if (StrictlyInside(pts[size_t(pointCells.items[k])], p, q, r)) blocker = kPointInside;
      }
    });
    if (blocker != kEar) return blocker;
    ++stamp;
    const LetterPoint diagonal[] = {p, r};
    ForCellsOfShape(grid, diagonal, [&](size_t cell) {
      std::vector<Filing>& filed = edgeCells[cell];
      for (size_t k = 0; k < filed.size() && blocker == kEar;) {
        const int32_t edge = filed[k].entry;
        if (!alive[size_t(edge)] || filed[k].version != filingVersion[size_t(edge)]) {
          filed[k] = filed.back();
          filed.pop_back();
          continue;
        }
        ++k;
        if (seen[size_t(edge)] == stamp) continue;
        seen[size_t(edge)] = stamp;
        if (SegmentsCross(p, r, at(edge), at(next[size_t(edge)]))) blocker = edge;
      }
    });
    return blocker;
  };

  // Candidates ordered as the direct scan ranks them: shortest diagonal first, the later position
  // first on a tie. Corners that turn too little or reach too far never qualify and stay out. A
  // candidate found blocked leaves the order until its blocker goes: a blocking edge parks it on
  // that edge's entry, a point inside sets it aside until its triangle changes. The first
  // candidate still in the order that is an ear is then the ear the direct scan picks.
  // Both orders are heaps whose items go stale instead of being removed: an item counts only while
  // its entry is alive and has not been ranked again since.
  struct Ranked {
    double key;
    int32_t entry;
    uint32_t version;
  };
  const auto laterCandidate = [](const Ranked& a, const Ranked& b) {
    return a.key > b.key || (a.key == b.key && a.entry < b.entry);
  };
  // Without an ear the corner of largest area is clipped, the earliest on a tie; corners that name
  // a point twice (or whose area is not a number) stay out.
  const auto laterCorner = [](const Ranked& a, const Ranked& b) {
    return a.key < b.key || (a.key == b.key && a.entry > b.entry);
  };
  std::vector<Ranked> candidates, corners;
  candidates.reserve(size_t(n)), corners.reserve(size_t(n));
  std::vector<double> key(size_t(n), -1);
  std::vector<uint32_t> rankVersion(size_t(n), 0);
  std::vector<int32_t> parkedOn(size_t(n), kEar);
  std::vector<std::vector<int32_t>> parked(static_cast<size_t>(n));
  const auto current = [&](const Ranked& item) {
    return alive[size_t(item.entry)] != 0 && rankVersion[size_t(item.entry)] == item.version;
  };
  // Ranks entry e's corner afresh; `heaps` false while the orders are first filled.
  const auto rank = [&](int32_t e, bool heaps) {
    const uint32_t version = ++rankVersion[size_t(e)];
    key[size_t(e)] = -1;
    parkedOn[size_t(e)] = kEar;
    const int32_t f = next[size_t(e)], g = next[size_t(f)];
    const int32_t a = outline.ring[size_t(e)], b = outline.ring[size_t(f)], c = outline.ring[size_t(g)];
    const double turn = CornerTurn(at(e), at(f), at(g));
    if (a != b && b != c && a != c && !std::isnan(turn)) {
      corners.push_back({turn, e, version});
      if (heaps) std::push_heap(corners.begin(), corners.end(), laterCorner);
    }
    const double d2 = DistanceSquared(at(e), at(g));
    if (d2 <= kLongestEar && turn > kEarTurn) {
      key[size_t(e)] = d2;
      candidates.push_back({d2, e, version});
      if (heaps) std::push_heap(candidates.begin(), candidates.end(), laterCandidate);
    }
  };
  // The edge of entry `edge` changed or went: what it blocked is tested again.
  const auto release = [&](int32_t edge) {
    for (int32_t c : parked[size_t(edge)]) {
      if (alive[size_t(c)] && parkedOn[size_t(c)] == edge && key[size_t(c)] >= 0) {
        parkedOn[size_t(c)] = kEar;
        candidates.push_back({key[size_t(c)], c, rankVersion[size_t(c)]});
        std::push_heap(candidates.begin(), candidates.end(), laterCandidate);
      }
    }
    parked[size_t(edge)].clear();
  };
  for (int32_t e = 0; e < n; ++e) rank(e, false);
  std::make_heap(candidates.begin(), candidates.end(), laterCandidate);
  std::make_heap(corners.begin(), corners.end(), laterCorner);

  int32_t count = n;
  while (count >= 3) {
    int32_t chosen = -1;
    while (!candidates.empty()) {
      const Ranked top = candidates.front();
      std::pop_heap(candidates.begin(), candidates.end(), laterCandidate);
      candidates.pop_back();
      if (!current(top) || parkedOn[size_t(top.entry)] != kEar) continue;
      const int32_t blocker = earBlocker(top.entry);
      if (blocker == kEar) {
        chosen = top.entry;  // clipped now: its corner is ranked again below
        break;
      }
      parkedOn[size_t(top.entry)] = blocker;
      if (blocker >= 0) parked[size_t(blocker)].push_back(top.entry);
    }
    if (chosen < 0) {
      // Every entry's area is up to date, and a lower entry is an earlier position.
      while (!corners.empty() && !current(corners.front())) {
        std::pop_heap(corners.begin(), corners.end(), laterCorner);
        corners.pop_back();
      }
      if (corners.empty() || corners.front().key == -std::numeric_limits<double>::infinity()) break;
      chosen = corners.front().entry;
    }
    const int32_t clipped = next[size_t(chosen)], after = next[size_t(clipped)];
    ears.push_back({outline.ring[size_t(chosen)], outline.ring[size_t(clipped)], outline.ring[size_t(after)]});
    alive[size_t(clipped)] = 0;
    next[size_t(chosen)] = after;
    prev[size_t(after)] = chosen;
    --count;
    if (count < 3) break;
    fileEdge(chosen);
    release(clipped);
    release(chosen);
    rank(prev[size_t(chosen)], true);
    rank(chosen, true);
  }
  return ears;
}

LetterPartCounts CountLetterPart(const LetterOutline& outline, size_t earCount, bool threeD, int divisions) {
  const int64_t n = int64_t(outline.points.size()), ears = int64_t(earCount);
  if (!threeD) return {n, ears};
  int64_t loopLength = 0;
  for (size_t k = 1; k < outline.loops.size(); k += 1 + size_t(outline.loops[k])) loopLength += outline.loops[k];
  const int64_t d = divisions;
  return {2 * n + (d - 1) * loopLength, 2 * ears + 2 * d * loopLength};
}

void EmitLetterPart(const LetterOutline& outline, std::span<const LetterTriangle> ears, bool threeD, int divisions,
                    const std::string& name, LetterMesh& mesh) {
  LetterMeshPart part;
  part.name = name;
  part.firstPoint = int64_t(mesh.points.size());
  part.firstTriangle = int64_t(mesh.triangles.size());
  const uint32_t base = uint32_t(mesh.points.size());
  const uint32_t n = uint32_t(outline.points.size());
  const double half = kHalfDepth;
  if (!threeD) {
    for (const LetterPoint& p : outline.points) mesh.points.push_back({p.x, p.y, 0.0});
    for (const LetterTriangle& t : ears) mesh.triangles.push_back({base + uint32_t(t[0]), base + uint32_t(t[1]), base + uint32_t(t[2])});
  } else {
    const int d = std::max(divisions, 1);
    for (const LetterPoint& p : outline.points) mesh.points.push_back({p.x, p.y, half});
    for (const LetterPoint& p : outline.points) mesh.points.push_back({p.x, p.y, -half});
    uint32_t loopLength = 0;
    for (size_t k = 1; k < outline.loops.size(); k += 1 + size_t(outline.loops[k])) loopLength += uint32_t(outline.loops[k]);
    for (int level = 1; level < d; ++level) {
      const double z = half - level * (2 * half) / d;
      for (size_t k = 1; k < outline.loops.size(); k += 1 + size_t(outline.loops[k])) {
        for (int32_t e = 0; e < outline.loops[k]; ++e) {
          const LetterPoint p = outline.points[size_t(outline.loops[k + 1 + size_t(e)])];
          mesh.points.push_back({p.x, p.y, z});
        }
      }
    }
    for (const LetterTriangle& t : ears) {
      mesh.triangles.push_back({base + uint32_t(t[0]), base + uint32_t(t[1]), base + uint32_t(t[2])});
      mesh.triangles.push_back({base + n + uint32_t(t[0]), base + n + uint32_t(t[2]), base + n + uint32_t(t[1])});
    }
    // Level 0 is the front block, level d the back block, the levels between are the rings, one
    // point per loop entry.
    const auto pointAt = [&](int level, uint32_t entry, uint32_t point) {
      if (level == 0) return base + point;
      if (level == d) return base + n + point;
      return base + 2 * n + uint32_t(level - 1) * loopLength + entry;
    };
    uint32_t entryBase = 0;
    for (size_t k = 1; k < outline.loops.size(); k += 1 + size_t(outline.loops[k])) {
      const uint32_t length = uint32_t(outline.loops[k]);
      for (uint32_t e = 0; e < length; ++e) {
        const uint32_t f = (e + 1) % length;
        const uint32_t p = uint32_t(outline.loops[k + 1 + e]), q = uint32_t(outline.loops[k + 1 + f]);
        for (int level = 0; level < d; ++level) {
          // The solid lies left of every loop, so the outside is to the right of each edge.
          const uint32_t pf = pointAt(level, entryBase + e, p), qf = pointAt(level, entryBase + f, q);
          const uint32_t pb = pointAt(level + 1, entryBase + e, p), qb = pointAt(level + 1, entryBase + f, q);
          mesh.triangles.push_back({pf, qb, qf});
          mesh.triangles.push_back({pf, pb, qb});
        }
      }
      entryBase += length;
    }
  }
  part.pointCount = int64_t(mesh.points.size()) - part.firstPoint;
  part.triangleCount = int64_t(mesh.triangles.size()) - part.firstTriangle;
  mesh.parts.push_back(std::move(part));
}

}  // namespace tsv
