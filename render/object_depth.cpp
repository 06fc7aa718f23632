// object_depth.cpp: a plain depth rasteriser over an object's own arrays.
#include "render/object_depth.h"

#include <algorithm>
#include <cmath>

#include "render/render_state.h"
#include "render/work_data.h"

namespace tsv {
namespace {


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
  const std::array<float, 9> r = ViewRotationMatrix(view.angles);
  const float zoom = view.zoom;
  if (!(zoom > 0) || !std::isfinite(zoom)) return false;
  const float column = float(view.centerX), row = float(kViewSide - 1) - float(view.centerY);
  std::vector<Projected> projected(object.points.size());
  for (size_t i = 0; i < object.points.size(); ++i) {
    const Vec3f& p = object.points[i];
    const float vx = r[0] * p.x + r[1] * p.y + r[2] * p.z;
    const float vy = r[3] * p.x + r[4] * p.y + r[5] * p.z;
    const float vz = r[6] * p.x + r[7] * p.y + r[8] * p.z;
    projected[i] = {std::trunc(zoom * vx) + column, std::trunc(zoom * vy) + row, zoom * vz};
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
