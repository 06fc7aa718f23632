// canvas.h: a 32-bit picture in memory (pixels 0x00RRGGBB, rows top-down) with the few drawing
// operations the platform layer needs: rectangles and saving and restoring an area.
#pragma once

#include <cstdint>
#include <vector>

namespace tsv {

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
};

struct Canvas {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

constexpr uint32_t Rgb(uint8_t red, uint8_t green, uint8_t blue) {
  return (uint32_t(red) << 16) | (uint32_t(green) << 8) | uint32_t(blue);
}

void ResizeCanvas(Canvas& canvas, int width, int height, uint32_t fill = 0);
// Drawing is clipped to the canvas.
void FillRect(Canvas& canvas, Rect rect, uint32_t colour);
void FrameRect(Canvas& canvas, Rect rect, uint32_t colour);  // one-pixel outline
uint32_t PixelAt(const Canvas& canvas, int x, int y);        // 0 outside
// The pixels of an area (parts outside the canvas read as 0), and putting them back.
Canvas CopyArea(const Canvas& canvas, Rect rect);
void PasteArea(Canvas& canvas, const Canvas& area, int left, int top);

}  // namespace tsv
