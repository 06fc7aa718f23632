// object_list.h: the object list of the right column (one row per object of the table with its
// thumbnail, name and type) and the object pop-up list from which an object is chosen.
#pragma once

#include "platform/canvas.h"
#include "scene/scene_object.h"

namespace tsv {

inline constexpr int kObjectRowHeight = 30;
inline constexpr int kObjectThumbnailSide = 25;

// The slots of the table's objects in slot order.
std::vector<int> ListedSlots();
// The thumbnail of an object from its preview, at (left, top): 25 x 25 at the design's size,
// larger at the text's scale; black without a preview.
void DrawObjectListThumbnail(Canvas& canvas, const SceneObject& object, int left, int top);
// "  Project Object ( Organic )" and its siblings.
std::string PopUpTypeText(const SceneObject& object);

void DrawObjectList(Canvas& canvas, Rect rect);
// The slot of the row at a point of the list, or -1.
int ObjectListSlotAt(Rect rect, int x, int y);
// Scrolls the list by whole rows, kept within the objects there are.
void ScrollObjectList(Rect rect, int rows);

// The object pop-up list: opens with its bottom-left corner at (left, bottom), follows the pointer
// until the button goes down and up, and returns the chosen object (null for none).
SceneObject* ObjectPopUp(int left, int bottom);

// Geometry of the pop-up list for `count` objects: the rows shown and the list's rectangle.
struct PopUpGeometry {
  int rows = 0;
  Rect list;
};
PopUpGeometry ObjectPopUpGeometry(int count, int left, int bottom);

}  // namespace tsv
