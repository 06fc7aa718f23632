// panels.h: what the items of the panels do: whether each is available now, its state, value and
// text, and the panel handlers that the main loop calls with press (phase 0), drag steps (1) and
// release (2). Items whose command is not built are greyed and do nothing.
#pragma once

#include <cstdint>
#include <string>

#include "platform/canvas.h"
#include "ui/interface_layout.h"
#include "ui/loop_result.h"

namespace tsv {

struct PlacedPanel;
struct SceneObject;

enum PanelPhase { kPhasePress = 0, kPhaseDrag = 1, kPhaseRelease = 2 };

// Panel handler n (1..16): the loop result of the event, or kNotMine.
int HandlePanel(int panelNumber, int phase, uint16_t partCode);

[[nodiscard]] bool ItemEnabled(const PanelLayout& panel, const PanelItem& item);
// Toggles and tabs: on or off.
[[nodiscard]] bool ItemChecked(const PanelLayout& panel, const PanelItem& item);
// The text an item shows: its label, or what a menu or label shows now.
std::string ItemText(const PanelLayout& panel, const PanelItem& item);
// Sliders: the value 0..ItemMaximum.
int ItemValue(const PanelLayout& panel, const PanelItem& item);
int ItemMaximum(const PanelLayout& panel, const PanelItem& item);
// Swatches: the colour shown, 0xRRGGBB.
uint32_t ItemColour(const PanelLayout& panel, const PanelItem& item);
// Picture items: what they show (an empty canvas shows an empty box).
const Canvas& ItemPicture(const PanelLayout& panel, const PanelItem& item);

// Commands that keys share with panel items.
int ChooseRoom(int room);                // the room's tab
int ChooseView(int view);                // views 0..6 of the current object; 4, or -1 without one
int DeleteCurrentObject();               // the Delete key and the panel's Delete
int SelectAdjacentObject(int direction); // Up (-1) and Down (+1)
int CycleFreeViewMode();                 // 'p'
int CycleAxisLock();                     // Tab
int StepZoom(int steps);                 // 'm' nearer, 'n' farther: 16 zoom positions a step
int FrameCurrentObject();                // Home: the current view's zoom and centre fill it with the object
// The wheel steps turned since the last look: over the modeling view they zoom as 'm' and 'n'
// do (up nearer); elsewhere they are dropped.
int WheelOverView(uint16_t partCode);
int OpenPreferences();                   // Ctrl+P
// Ctrl+Z: one step back through the current object's history; while tasks are recorded, "To
// undo" at full amount (recorded, and again redoes).
int UndoLastChange();
int RedoLastChange();                    // Ctrl+Shift+Z, Ctrl+Y: one step forward again
bool RecordingTasks();                   // tasks are being recorded (or the recording is paused)
int OpenObjectInformation();             // the object panel's Information, a click on the name
int OpenProjectInformation();            // a click on the project's name
// Makes a new organic object of standard shape 0..4 current.
int NewOrganicObject(int shape);
// The standard shape dialog, then a new synthetic object of the chosen shape.
int NewSyntheticFromDialog();

// The object pop-up list opened under the strip over the view: the object chosen, or null.
SceneObject* ChooseFromStripPopUp();

// Zoom of the views on a logarithmic position 0..256 (128 is 1.0).
float ZoomFromPosition(float position);
float PositionFromZoom(float zoom);
// The view's zoom slider (0..256, 128 is 1.0) over the same range, gentler near its middle: half
// the response there, twice it at the ends, so that small changes of a framed view are easy.
float ZoomFromSlider(float slider);
float SliderFromZoom(float zoom);

}  // namespace tsv
