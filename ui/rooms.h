// rooms.h: the interface's state, the placing of the current room's panels in the window, hit
// testing against their item maps, and the drawing of the whole window.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "mesh/mesh_density.h"
#include "mesh/synthetic_shapes.h"
#include "platform/canvas.h"
#include "render/view_screen.h"
#include "tools/quorvels.h"
#include "ui/interface_layout.h"

namespace tsv {

// Part codes of the two view areas (panel 0), and of the strip over the view.
inline constexpr uint16_t kPartModelingView = 10;
inline constexpr uint16_t kPartComposerView = 11;
inline constexpr int kStripPanel = 16;
inline constexpr int kStripHeight = 20;

inline constexpr int kRoomCount = 10;
inline constexpr int kComposerRoomNumber = 5;
inline constexpr int kQuorvelsRoomNumber = 7;
inline constexpr int kMaskRoomNumber = 10;

inline constexpr int kViewSize = 400;
inline constexpr int kThumbnailSize = 100;
inline constexpr int kThumbnailOffset = 411;  // the thumbnail's left edge, right of the view's

struct PlacedPanel {
  int layout = 0;  // index into ui.layout.panels
  Rect rect;       // on the screen
};

// Free-view motion modes, cycled by 'p'.
enum class FreeViewMode { Off = 0, Turning, Spinning, Following };

// The texture offset area pans the texture while the button is held.
struct TextureOffsetPan {
  int anchorX = 0, anchorY = 0;
  int16_t startU = 0, startV = 0;
  bool active = false;
};

// A morph object is remembered by its serial, so that an object deleted and replaced by another
// (in the same slot, at the same address) is never taken for it.
struct MorphChoice {
  uint64_t serial = 0;
  Canvas picture;  // its preview when it was chosen
};

// A press in the Kelvane view and what its drag does: move, scale or turn the ball pressed, or
// turn the view (a press beside every ball).
enum class KelvaneDragMode : uint8_t { None, Move, Scale, Turn, TurnView };
struct KelvaneDrag {
  KelvaneDragMode mode = KelvaneDragMode::None;
  int ball = -1;
  int lastX = 0, lastY = 0;  // view units
  bool moved = false;
  BallListStep before;  // the balls as they were at the press
};

// A drag of the composer's placement area, light ball or view: the item (0 for the view) and the
// pointer's last position on the screen.
struct ComposerDrag {
  int item = 0;
  int lastX = 0, lastY = 0;
};

struct UiState {
  InterfaceLayout layout;
  int currentRoom = 1;
  // The interface scale the room is laid out at (1 = the design's pixels): panels, text and the
  // view's picture grow with it; the view keeps its 400-unit coordinates.
  float scale = 1.0f;
  // Whether the last drawing of the view had the brush outline on it (to be taken away when the
  // pointer leaves the view).
  bool outlineDrawn = false;
  // "Show mask": the view tints protected points in every room where tools and brushes act, as
  // the mask room always does.
  bool showMask = false;
  std::vector<PlacedPanel> placed;  // the current room's panels in their order
  int frameWidth = 0, frameHeight = 0;
  Rect viewRect, thumbnailRect, stripRect, composerViewRect;

  // The item under the pointer and since when it rests there (for the hover text).
  int hoverPanel = 0, hoverItem = 0;
  uint32_t hoverSince = 0;
  bool hoverShown = false;  // the hover text of that item is on the screen
  int pointerX = -1, pointerY = -1;
  // A panel follows a press with drag steps and a release while this is set.
  bool trackingMouse = false;
  // The item a press started on, and whether the pointer is still over it.
  int pressedPanel = 0, pressedItem = 0;
  bool pressedInside = false;

  // View settings that belong to the interface.
  FreeViewMode freeViewMode = FreeViewMode::Off;
  int axisLock = 0;  // 0 none, 1 no vertical, 2 no horizontal, 3 both
  bool texturedObjects = true;
  bool depthView = false;
  int objectListFirst = 0;  // first row shown in the object list

  // The next redraw of the modeling view draws every triangle (else the quick four-to-one
  // outline of Fast Synthetic objects).
  bool fullDetail = true;

  // The standard shape dialog starts from the settings used last.
  SyntheticShapeSettings lastShapeSettings;
  // The derivation dialog likewise.
  DerivationSteps lastDerivation;
  // While a merge waits for its second object: the serial of the first (0: no merge waiting).
  uint64_t mergeFirst = 0;

  // What the panels keep between events.
  std::vector<Canvas> brushShapePictures;  // one per tip shape, drawn on first use
  int strokeX = 0, strokeY = 0;            // the view point a brush stroke reached at its last step
  TextureOffsetPan textureOffsetPan;
  Canvas textureThumbnail;  // the current texture made small, remade whenever the panel shows it
  Canvas mapPreview;        // the map of "Map apply" made small, likewise
  Canvas heightMapGrey;     // the picture the height map was made from, grey, top row first
  bool heightMapShown = false;  // shown over the view
  std::array<MorphChoice, 2> morphChoices;  // left and right
  KelvaneDrag kelvaneDrag;
  ComposerDrag composerDrag;
  // The scene changed since the composer picture was last rendered: the composer view renders a
  // quick preview before it shows the picture.
  bool composerPreviewStale = true;
  // The task list has the keyboard focus (Up and Down move its cursor), got in this room: a room
  // change takes it away.
  bool taskListFocus = false;
  int taskFocusRoom = 0;

  // The panels' pictures at the scale they were last drawn at, by layout index.
  std::vector<Canvas> scaledPanelPictures;
  float scaledPicturesScale = 0.0f;
};

extern UiState ui;
// Back to a fresh state with the layout kept (tests).
void ResetUiState();

// Loads the layout resources into `ui.layout`; false when they are missing or damaged.
[[nodiscard]] bool LoadInterface();

// The interface scale for a frame of this size: the setting (100..200 %), or with Auto the largest
// in steps of 5 % at which the design (1024 x 768) fits; never more than fits, never below 1.
float InterfaceScaleFor(int setting, int frameWidth, int frameHeight);
// A length or a rectangle of the design at the interface scale. Rectangles are scaled by their
// edges, so that rectangles that meet in the design still meet.
int Scaled(int designPixels);
Rect ScaledRect(Rect design);

// The modeling view's last picture at its place on the screen with what lies over it: the height
// map, the redraw readout and the brush outline under the pointer. Nothing in the composer.
void DrawViewLayers(Canvas& canvas);

// Places the current room's panels for a window of the given size, at the interface scale
// (nothing happens when neither the room, the size nor the scale changed since the last time).
void PlaceRoom(int frameWidth, int frameHeight, bool force = false);
void SetCurrentRoom(int room);
const RoomLayout* CurrentRoomLayout();

// The placed panel of the current room with that number, or null.
const PlacedPanel* FindPlacedPanel(int panelNumber);
const PanelLayout& LayoutOf(const PlacedPanel& placed);
// A slider item's parts on the screen: its label on the left, the value shown on the right and
// the track between them.
struct SliderParts {
  Rect label, track, value;
};
SliderParts SliderPartsOf(Rect rect, bool hasLabel);
// An item's rectangle on the screen.
Rect ItemRectOnScreen(const PlacedPanel& placed, const PanelItem& item);
// Where the view and its thumbnail stand on the screen now.
ViewScreen ViewOnScreen();

// The part code (panel x 256 + item) under a point of the window, 0 for none: panels in their
// order with later ones replacing earlier ones, then the view areas (10, or 11 in the composer).
uint16_t HitTest(int x, int y);

// Draws the whole window into `canvas`.
void DrawInterface(Canvas& canvas);
// The hover text of a part code (the item's text with its label filled in), empty for none.
std::string HoverTextOf(uint16_t partCode);

}  // namespace tsv
