// progress.h: the geometry and drawing of the progress box, shared by every implementation of the
// user services that draws one.
#pragma once

#include <string_view>

#include "platform/canvas.h"

namespace tsv {

inline constexpr int kProgressBoxWidth = 200;
inline constexpr int kProgressBoxHeight = 70;
inline constexpr int kProgressMax = 128;

// The box on a screen: left at half the width - 100; top at `top`, or at half the height - 35 for
// -1, or 10 pixels below the top (`contentTop`) for -2.
Rect ProgressBoxRect(int screenWidth, int screenHeight, int top, int contentTop = 0);
// The box with its text (a black shadow one pixel right and down, the white text at 10, 20 inside)
// and the empty bar frame over columns 35..165 and rows 39..51.
void DrawProgressBox(Canvas& screen, Rect box, std::string_view text);
// The bar filled from column 36 to 36 + value over rows 40..50; value clamped to 0..128.
void DrawProgressBar(Canvas& screen, Rect box, int value);

}  // namespace tsv
