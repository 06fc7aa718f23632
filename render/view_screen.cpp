// view_screen.cpp: the view's picture at its size on the screen, and screen points in view units.
#include "render/view_screen.h"

#include <algorithm>
#include <cmath>

#include "render/render_state.h"
#include "render/work_data.h"

namespace tsv {
namespace {

uint32_t Lerp(uint32_t a, uint32_t b, uint32_t weight /* 0..256 */) {
  auto channel = [&](int shift) {
    const uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    return ((ca * (256 - weight) + cb * weight) >> 8) << shift;
  };
  return channel(16) | channel(8) | channel(0);
}

}  // namespace

void DrawScaledPicture(Canvas& target, std::span<const uint32_t> picture, int side, Rect where) {
  if (side <= 0 || picture.size() < size_t(side) * size_t(side) || where.width <= 0 || where.height <= 0) return;
  const int left = std::max(0, where.left), top = std::max(0, where.top);
  const int right = std::min(target.width, where.left + where.width);
  const int bottom = std::min(target.height, where.top + where.height);
  if (left >= right || top >= bottom) return;
  if (where.width == side && where.height == side) {
    for (int y = top; y < bottom; ++y) {
      const uint32_t* from = picture.data() + size_t(y - where.top) * size_t(side) + size_t(left - where.left);
      std::copy(from, from + (right - left), target.pixels.begin() + std::ptrdiff_t(size_t(y) * size_t(target.width) + size_t(left)));
    }
    return;
  }
  // Fixed point, 8 fraction bits: the centre of screen pixel p samples picture position
  // (p + 0.5) * side / size - 0.5, held inside the picture.
  const int64_t stepX = (int64_t(side) << 8) / where.width, stepY = (int64_t(side) << 8) / where.height;
  const int64_t maxPos = int64_t(side - 1) << 8;
  for (int y = top; y < bottom; ++y) {
    const int64_t sy = std::clamp<int64_t>((int64_t(y - where.top) * stepY) + stepY / 2 - 128, 0, maxPos);
    const int y0 = int(sy >> 8), y1 = std::min(y0 + 1, side - 1);
    const uint32_t wy = uint32_t(sy & 0xFF);
    const uint32_t* row0 = picture.data() + size_t(y0) * size_t(side);
    const uint32_t* row1 = picture.data() + size_t(y1) * size_t(side);
    uint32_t* out = target.pixels.data() + size_t(y) * size_t(target.width);
    for (int x = left; x < right; ++x) {
      const int64_t sx = std::clamp<int64_t>((int64_t(x - where.left) * stepX) + stepX / 2 - 128, 0, maxPos);
      const int x0 = int(sx >> 8), x1 = std::min(x0 + 1, side - 1);
      const uint32_t wx = uint32_t(sx & 0xFF);
      out[x] = Lerp(Lerp(row0[x0], row0[x1], wx), Lerp(row1[x0], row1[x1], wx), wy);
    }
  }
}

void DrawViewPicture(Canvas& target, const ViewScreen& screen, std::span<const uint32_t> picture) {
  DrawScaledPicture(target, picture, kViewSide, screen.view);
}

void DrawThumbnailPicture(Canvas& target, const ViewScreen& screen, std::span<const uint32_t> picture) {
  DrawScaledPicture(target, picture, kThumbnailSide, screen.thumbnail);
}

void ScreenToView(const ViewScreen& screen, int x, int y, int& viewX, int& viewY) {
  const Rect& v = screen.view;
  if (v.width <= 0 || v.height <= 0) {
    viewX = x - v.left;
    viewY = y - v.top;
    return;
  }
  // floor, so that the pixels left of or above the view map below 0.
  viewX = int(std::floor(double(x - v.left) * kViewSide / v.width));
  viewY = int(std::floor(double(y - v.top) * kViewSide / v.height));
}

float ViewUnitsToScreen(const ViewScreen& screen, float units) {
  return units * float(screen.view.width) / float(kViewSide);
}

bool FrameObjectInView(const SceneObject& object, ObjectView& view, float minZoom, float maxZoom) {
  const std::array<float, 9> r = ViewRotationMatrix(view.angles);
  float minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
  const size_t count = std::min(object.points.size(), size_t(std::max(0, object.pointCount)));
  for (size_t i = 0; i < count; ++i) {
    const Vec3f v = Rotate(r, object.points[i]);
    const float x = v.x, y = v.y;
    if (!std::isfinite(x) || !std::isfinite(y)) continue;  // a damaged point does not steer the view
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  }
  if (!(minX <= maxX)) return false;
  const float extent = std::max(maxX - minX, maxY - minY);
  constexpr float kFilled = 0.9f * float(kViewSide);
  const float zoom = std::clamp(extent > 0 ? kFilled / extent : maxZoom, minZoom, maxZoom);
  // sx = zoom vx + centre x; rows are counted from the top, so the row of vy is centre y - zoom vy.
  const float middle = float(kViewSide) / 2.0f;
  const float centerX = middle - zoom * (minX + maxX) / 2.0f, centerY = middle + zoom * (minY + maxY) / 2.0f;
  view.zoom = zoom;
  view.centerX = uint16_t(std::clamp(std::lround(centerX), 0L, 65535L));
  view.centerY = uint16_t(std::clamp(std::lround(centerY), 0L, 65535L));
  return true;
}

}  // namespace tsv
