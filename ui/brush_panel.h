// brush_panel.h: the brush panel of the rooms that stroke (brush type, size, depth, spacing, the
// 26 tip shapes, side and repeat modes, tilt, paint and alternate colours, mask erase) and the
// strokes themselves over the modeling view.
#pragma once

#include <cstdint>
#include <string>

#include "platform/canvas.h"

namespace tsv {

// Items of the brush panel (6).
[[nodiscard]] bool BrushItemEnabled(int item);
[[nodiscard]] bool BrushItemChecked(int item);
int BrushItemValue(int item);  // sliders: 0..256
void SetBrushItemValue(int item, int value);
uint32_t BrushItemColour(int item);  // swatches: 0xRRGGBB
std::string BrushItemText(int item);  // the repeat menu shows the mode in force
int BrushItemClick(int item, int left, int bottom);  // a loop result; menus open at (left, bottom)
// The picture of the current tip shape.
const Canvas& BrushShapePicture();
// The picture of tip shape 1..26: the brush weight over a square, dark where it is strong.
const Canvas& BrushShapePictureOf(int shape);

// The handler number the main loop gives the modeling view while a stroke tracks the mouse.
inline constexpr int kModelingViewHandler = 17;

// Whether the view shows the deformation mask: always in the mask room, and with "Show mask" on
// in the other rooms where tools and brushes act.
[[nodiscard]] bool MaskShown();

// Whether the room strokes with the brush when the modeling view is pressed.
[[nodiscard]] bool RoomStrokes(int room);
// The modeling view: a press starts a stroke (in the rooms that stroke), drags continue it and
// the release ends and commits it. Coordinates are the window's. A loop result.
int HandleModelingView(int phase, int mouseX, int mouseY);

// Whether the brush's outline follows the pointer now: a room that strokes, an object, and the
// pointer (ui.pointerX, ui.pointerY) over the modeling view.
[[nodiscard]] bool BrushOutlineShown();
// The brush's reach around the pointer, as large and as shaped as its dabs, in a colour that
// stands out from the pixels under it.
void DrawBrushOutline(Canvas& canvas);

}  // namespace tsv
