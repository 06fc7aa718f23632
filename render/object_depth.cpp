// object_depth.cpp: a plain depth rasteriser over an object's own arrays.
#include "render/object_depth.h"

#include <algorithm>
#include <cmath>

#include "render/projection.h"
#include "render/render_state.h"

namespace tsv {
namespace {

// A corner on the screen. The coordinates are 16-bit screen positions, so the pixel bounds below
// convert to integers safely whatever the points were.
struct Projected {
  float x, y, depth;
};

// Fills the triangle's pixels (centres inside or on the edges) with its interpolated depth where
// that is nearer than what is there.
void FillTriangle(const Projected& a, const Projected& b, const Projected& c, std::vector<float>& depth) {
  const float area = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
  if (!(std::fabs(area) > 1e-6f)) return;
  const float minX = std::min({a.x, b.x, c.x}), maxX = std::max({a.x, b.x, c.x});
  const float minY = std::min({a.y, b.y, c.y}), maxY = std::max({a.y, b.y, c.y});
  if (maxX < 0 || maxY < 0 || minX >= kViewSide || minY >= kViewSide) return;
  const int x0 = std::max(0, int(std::floor(minX))), x1 = std::min(kViewSide - 1, int(std::ceil(maxX)));
  const int y0 = std::max(0, int(std::floor(minY))), y1 = std::min(kViewSide - 1, int(std::ceil(maxY)));
  const float inverse = 1.0f / area;
  for (int y = y0; y <= y1; ++y) {
    const float py = float(y);
    for (int x = x0; x <= x1; ++x) {
      const float px = float(x);
      // Barycentric weights; the sign of the area makes them positive inside for either winding.
      const float wa = ((b.x - px) * (c.y - py) - (c.x - px) * (b.y - py)) * inverse;
      const float wb = ((c.x - px) * (a.y - py) - (a.x - px) * (c.y - py)) * inverse;
      const float wc = 1.0f - wa - wb;
      if (wa < 0 || wb < 0 || wc < 0) continue;
      const float d = wa * a.depth + wb * b.depth + wc * c.depth;
      float& there = depth[size_t(y) * kViewSide + size_t(x)];
      if (d > there) there = d;
    }
  }
}

}  // namespace

bool RenderObjectDepth(const SceneObject& object, const ObjectView& view, std::vector<float>& depth, float& nearest,
                       float& farthest) {
  depth.assign(size_t(kViewSide) * kViewSide, kEmptyDepth);
  nearest = farthest = 0;
  if (!(view.zoom > 0) || !std::isfinite(view.zoom)) return false;
  const ViewProjection projection = MakeViewProjection(view, kViewBottomRow);
  std::vector<Projected> projected(object.points.size());
  for (size_t i = 0; i < object.points.size(); ++i) {
    const Vec3f v = Rotate(projection.rotation, object.points[i]);
    const ScreenPosition s = ScreenOfViewPosition(projection, v);
    projected[i] = {float(s.sx), float(s.sy), s.depth};
  }
  for (const Triangle& t : Triangles(object)) {
    if (t[0] >= projected.size() || t[1] >= projected.size() || t[2] >= projected.size()) continue;
    FillTriangle(projected[t[0]], projected[t[1]], projected[t[2]], depth);
  }
  bool any = false;
  for (float d : depth) {
    if (d <= -99000.0f) continue;
    if (!any) nearest = farthest = d;
    nearest = std::max(nearest, d);
    farthest = std::min(farthest, d);
    any = true;
  }
  return any;
}

}  // namespace tsv
