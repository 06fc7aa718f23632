// room_panels.h: the panels that feed the brushes in the other rooms: the height map of the
// height-map fusion room (its picture, level, contrast, shown over the view), the two morph objects
// of the morph room that the fusion brushes press against, the mask room's fill and clear, and the
// paint room's colours.
#pragma once

#include <cstdint>

#include "platform/canvas.h"

namespace tsv {

struct SceneObject;

// Height map panel (room 2).
[[nodiscard]] bool HeightMapItemEnabled(int item);
[[nodiscard]] bool HeightMapItemChecked(int item);
int HeightMapItemValue(int item);
void SetHeightMapItemValue(int item, int value);
int HeightMapItemClick(int item);
const Canvas& HeightMapPicture();
// Lays the grey picture of `pixels` (0xAARRGGBB, top row first) in as the height map.
void SetHeightMapFromPixels(const uint32_t* pixels, int width, int height);

// Morph panel (room 3): the left and right objects and the fusion side. The morph itself is not
// here.
[[nodiscard]] bool MorphItemEnabled(int item);
[[nodiscard]] bool MorphItemChecked(int item);
int MorphItemClick(int item, int left, int bottom);
const Canvas& MorphObjectPicture(int item);
// The left (0) or right (1) morph object, or null when none is chosen or it has gone.
SceneObject* MorphObject(int side);
void SetMorphObject(int side, SceneObject* object);
// Renders the fusion side's object into its depth buffer as the current object's view sees it,
// for the stroke about to begin.
void RefreshMorphFusionSource();

// Mask panel (room 10).
[[nodiscard]] bool MaskItemEnabled(int item);
[[nodiscard]] bool MaskItemChecked(int item);
int MaskItemClick(int item);

// The paint panel (room 4): the colours and the painted switch, the six paint commands, and
// "Map apply" with its mapping, brightness, contrast and map picture.
[[nodiscard]] bool PaintItemEnabled(int item);
[[nodiscard]] bool PaintItemChecked(int item);
int PaintItemValue(int item);
void SetPaintItemValue(int item, int value);
uint32_t PaintItemColour(int item);
int PaintItemClick(int item);
// The map apply drag, as the panel's "Apply map" item runs it (the readout already placed).
void RunMapApplyDrag();
const Canvas& MapPicture();

// What the modeling view shows over the object in the current room (the height map while it is
// shown in the height-map fusion room).
void DrawViewOverlay(Canvas& canvas);

}  // namespace tsv
