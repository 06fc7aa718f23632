// progress.cpp: drawing of the progress box.
#include "platform/progress.h"

#include <algorithm>

#include "platform/fonts.h"

namespace tsv {
namespace {

constexpr uint32_t kBoxFill = Rgb(88, 92, 104);
constexpr uint32_t kBoxEdge = Rgb(32, 32, 36);
constexpr uint32_t kBarFrame = Rgb(230, 230, 230);
constexpr uint32_t kBarEmpty = Rgb(56, 58, 66);
constexpr uint32_t kBarFill = Rgb(120, 180, 255);

}  // namespace

Rect ProgressBoxRect(int screenWidth, int screenHeight, int top, int contentTop) {
  int boxTop = top == -1 ? screenHeight / 2 - kProgressBoxHeight / 2 : top == -2 ? contentTop + 10 : top;
  return {screenWidth / 2 - kProgressBoxWidth / 2, boxTop, kProgressBoxWidth, kProgressBoxHeight};
}

void DrawProgressBox(Canvas& screen, Rect box, std::string_view text) {
  FillRect(screen, box, kBoxFill);
  FrameRect(screen, box, kBoxEdge);
  DrawText(screen, FontKind::Normal, box.left + 11, box.top + 21, text, Rgb(0, 0, 0));
  DrawText(screen, FontKind::Normal, box.left + 10, box.top + 20, text, Rgb(255, 255, 255));
  FrameRect(screen, {box.left + 35, box.top + 39, 131, 13}, kBarFrame);
  FillRect(screen, {box.left + 36, box.top + 40, 129, 11}, kBarEmpty);
}

void DrawProgressBar(Canvas& screen, Rect box, int value) {
  value = std::clamp(value, 0, kProgressMax);
  FillRect(screen, {box.left + 36, box.top + 40, value + 1, 11}, kBarFill);
}

}  // namespace tsv
