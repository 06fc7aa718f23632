// canvas.cpp: clipped rectangle operations on 32-bit pictures.
#include "platform/canvas.h"

#include <algorithm>

namespace tsv {
namespace {

// The part of `rect` inside the canvas; width or height 0 when nothing is.
Rect Clip(const Canvas& canvas, Rect rect) {
  int left = std::max(rect.left, 0);
  int top = std::max(rect.top, 0);
  int right = std::min(rect.left + rect.width, canvas.width);
  int bottom = std::min(rect.top + rect.height, canvas.height);
  return {left, top, std::max(0, right - left), std::max(0, bottom - top)};
}

}  // namespace

void ResizeCanvas(Canvas& canvas, int width, int height, uint32_t fill) {
  canvas.width = std::max(0, width);
  canvas.height = std::max(0, height);
  canvas.pixels.assign(size_t(canvas.width) * size_t(canvas.height), fill);
}

void FillRect(Canvas& canvas, Rect rect, uint32_t colour) {
  Rect c = Clip(canvas, rect);
  for (int y = c.top; y < c.top + c.height; ++y) {
    uint32_t* row = canvas.pixels.data() + size_t(y) * size_t(canvas.width);
    std::fill(row + c.left, row + c.left + c.width, colour);
  }
}

void FrameRect(Canvas& canvas, Rect rect, uint32_t colour) {
  if (rect.width <= 0 || rect.height <= 0) return;
  FillRect(canvas, {rect.left, rect.top, rect.width, 1}, colour);
  FillRect(canvas, {rect.left, rect.top + rect.height - 1, rect.width, 1}, colour);
  FillRect(canvas, {rect.left, rect.top, 1, rect.height}, colour);
  FillRect(canvas, {rect.left + rect.width - 1, rect.top, 1, rect.height}, colour);
}

uint32_t PixelAt(const Canvas& canvas, int x, int y) {
  if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) return 0;
  return canvas.pixels[size_t(y) * size_t(canvas.width) + size_t(x)];
}

Canvas CopyArea(const Canvas& canvas, Rect rect) {
  Canvas area;
  ResizeCanvas(area, rect.width, rect.height);
  for (int y = 0; y < area.height; ++y) {
    for (int x = 0; x < area.width; ++x) {
      area.pixels[size_t(y) * size_t(area.width) + size_t(x)] = PixelAt(canvas, rect.left + x, rect.top + y);
    }
  }
  return area;
}

void PasteArea(Canvas& canvas, const Canvas& area, int left, int top) {
  Rect c = Clip(canvas, {left, top, area.width, area.height});
  for (int y = c.top; y < c.top + c.height; ++y) {
    const uint32_t* from = area.pixels.data() + size_t(y - top) * size_t(area.width) + size_t(c.left - left);
    std::copy(from, from + c.width, canvas.pixels.data() + size_t(y) * size_t(canvas.width) + size_t(c.left));
  }
}

}  // namespace tsv
