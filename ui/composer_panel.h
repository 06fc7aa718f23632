// composer_panel.h: the composer room: the scene panel (placing the current object, ghosting it,
// the light ball, the seven cameras and their perspective switch), the render settings
// (supersampling, shadows, textures, fog and smoke, the background), the render and save
// commands, and the composer view (the picture fitted, a click selecting the object under it,
// Space+drag moving the camera, the wheel zooming it).
#pragma once

#include <string>

#include "platform/canvas.h"
#include "scene/vec3.h"
#include "ui/dialog.h"

namespace tsv {

struct PlacedPanel;
struct PanelItem;
struct SceneObject;

// The scene panel (panel 9).
[[nodiscard]] bool SceneItemEnabled(int item);
[[nodiscard]] bool SceneItemChecked(int item);
int SceneItemClick(int item, Rect rect);
// The placement area and the light ball follow their drags themselves.
int SceneItemPress(const PlacedPanel& placed, const PanelItem& item, int phase);

// The render settings (panel 13).
[[nodiscard]] bool RenderSettingsItemEnabled(int item);
[[nodiscard]] bool RenderSettingsItemChecked(int item);
int RenderSettingsItemClick(int item, Rect rect);

// The animation panel's commands that do not need keyframes: Render (Return) and Save picture.
int AnimationItemClick(int item);
// Renders the composer picture with the project's settings, each band shown as it lands (the
// progress box offers Cancel; Escape cancels too). A loop result.
int RenderComposerPicture();
// Saves the composer picture (its coverage as alpha where the type keeps one). A loop result.
int SaveComposerPicture();
// The fog and smoke dialog: the on switch, the fog colour, eight values and a preview that follows
// them, drawn on a thread of its own that is stopped before OK or Cancel act. OK stores the values
// (each held to its range) in the project.
Dialog MakeFogDialog(const Canvas* preview);
[[nodiscard]] bool RunFogDialog();

// The background dialog: its colour, its picture and the switch that shows the picture.
enum BackgroundItemId : int { kBackgroundColourItem = 1, kBackgroundPictureOnItem, kBackgroundChooseItem, kBackgroundFileItem };
Dialog MakeBackgroundDialog();
[[nodiscard]] bool RunBackgroundDialog();

// The handler number the main loop tracks a drag of the composer view by.
inline constexpr int kComposerViewHandler = 18;

// The composer picture fitted into the composer view's area, after a quick render when the scene
// changed since the last one.
void DrawComposerView(Canvas& canvas);
// Shows the composer picture as it stands in the window at once: the band hook of full renders
// and of animation runs (a band of `rows` rows from picture row `firstRow` has just landed).
void PresentComposerBand(int firstRow, int rows);

// The composer view (part code 11): a click makes the object under it current; Space+drag moves
// the camera. A loop result.
int HandleComposerView(int phase, int mouseX, int mouseY);
// Where a picture of this size shows in the composer view area: as large as fits, centred.
Rect FittedPictureRect(Rect area, int width, int height);

// The camera of the composer (0..6): the keys 1..7 and the camera buttons.
int ChooseCamera(int index);
// The wheel over the composer view: nearer (up) or farther, 16 zoom positions a step.
int ZoomCamera(int steps);

// Where a scene point lands in the composer picture of this size through the current camera:
// picture column and row (row 0 at the top) and the depth the renderer compares (larger nearer);
// false behind the camera.
struct PicturePosition {
  float x = 0, y = 0, depth = 0;
};
[[nodiscard]] bool ProjectForCamera(const Vec3f& scene, int width, int height, PicturePosition& at);
// A point of an object in the scene: turned by its rotation, scaled, moved to its position.
Vec3f ScenePointOf(const SceneObject& object, const Vec3f& point);
// The object whose triangles lie nearest in front under picture point (x, y), or null. Ghosted
// objects are passed over.
SceneObject* ObjectAtPicturePoint(float x, float y, int width, int height);

// Mouse motions of the placement area on the current object (dx, dy in pixels of the picture):
// plain moves it in the camera's picture plane, Shift towards or away from the camera, Ctrl turns
// it as a trackball, Alt scales it (twice per 100 pixels up).
void MoveObjectInScene(SceneObject& object, int dx, int dy, uint16_t modifiers, int width, int height);

}  // namespace tsv
