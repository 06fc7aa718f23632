// panels.cpp: the items' commands and states, and the press-drag-release protocol of the panels.
#include "ui/panels.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "platform/events.h"
#include "platform/preferences.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "scene/object_table.h"
#include "scene/organic.h"
#include "scene/scene_state.h"
#include "mesh/synthetic_shapes.h"
#include "scene/optics_file.h"
#include "render/view_screen.h"
#include "tasks/task_recorder.h"
#include "tools/deform_table.h"
#include "tools/deform_tools.h"
#include "tools/tool_frame.h"
#include "tools/tool_state.h"
#include "ui/brush_panel.h"
#include "ui/composer_panel.h"
#include "ui/file_commands.h"
#include "ui/info_dialogs.h"
#include "ui/layout_ids.h"
#include "ui/loop_result.h"
#include "ui/material_panels.h"
#include "ui/menus.h"
#include "ui/object_commands.h"
#include "ui/object_list.h"
#include "ui/panel_table.h"
#include "ui/picture_save_dialog.h"
#include "ui/preferences_dialog.h"
#include "ui/shape_dialog.h"
#include "ui/room_panels.h"
#include "ui/quorvel_panel.h"
#include "ui/rooms.h"
#include "ui/task_panel.h"
#include "ui/widgets.h"

namespace tsv {
namespace {

constexpr int kZoomPositions = 256;

// The strip over the view: a click opens the object pop-up list under it to choose the current
// object.
int HandleStrip(int phase) {
  if (phase != kPhasePress) return 0;
  SceneObject* chosen = ChooseFromStripPopUp();
  if (chosen != nullptr) (void)SetCurrentObject(SlotOfObject(chosen));  // a failure has been shown
  return kLoopRedrawViewFull;
}

}  // namespace

SceneObject* ChooseFromStripPopUp() {
  // The pop-up list keeps its lower edge where ten rows would end; place that so the list, however
  // long, opens right under the strip.
  const int rows = std::min(int(ListedSlots().size()), 10);
  const int below = ui.stripRect.top + ui.stripRect.height;
  return ObjectPopUp(ui.stripRect.left, below - (10 - rows) * kObjectRowHeight);
}

float ZoomFromPosition(float position) {
  return 0.1f * std::exp(0.0179889f * std::clamp(position, 0.0f, float(kZoomPositions)));
}

float PositionFromZoom(float zoom) {
  if (!(zoom > 0)) return 0;
  return std::clamp(55.5898f * std::log(10.0f * zoom), 0.0f, float(kZoomPositions));
}

// t = (slider - 128) / 128 and u = (position - 128) / 128 with u = (t + t^3) / 2.
float ZoomFromSlider(float slider) {
  const float t = (std::clamp(slider, 0.0f, float(kZoomPositions)) - 128.0f) / 128.0f;
  return ZoomFromPosition(128.0f + 64.0f * (t + t * t * t));
}

float SliderFromZoom(float zoom) {
  const double u = (double(PositionFromZoom(zoom)) - 128.0) / 128.0;
  // The one real root of t^3 + t - 2u = 0 (Cardano; the discriminant u^2 + 1/27 is positive).
  const double root = std::sqrt(u * u + 1.0 / 27.0);
  const double t = std::cbrt(u + root) + std::cbrt(u - root);
  return std::clamp(float(128.0 + 128.0 * t), 0.0f, float(kZoomPositions));
}

bool ItemEnabled(const PanelLayout& panel, const PanelItem& item) {
  const PanelHandlers& h = PanelHandlersOf(panel);
  return h.enabled != nullptr && h.enabled(item.id);
}

bool ItemChecked(const PanelLayout& panel, const PanelItem& item) {
  const PanelHandlers& h = PanelHandlersOf(panel);
  return h.checked != nullptr && h.checked(item.id);
}

std::string ItemText(const PanelLayout& panel, const PanelItem& item) {
  std::string text = item.label ? GetStringById(item.label) : std::string();
  const PanelHandlers& h = PanelHandlersOf(panel);
  if (h.text != nullptr) (void)h.text(item.id, text);  // the label stays when the item keeps it
  return text;
}

int ItemValue(const PanelLayout& panel, const PanelItem& item) {
  const PanelHandlers& h = PanelHandlersOf(panel);
  return h.value != nullptr ? h.value(item.id) : 0;
}

// Zoom positions and the 0..256 settings of the panels share one range.
int ItemMaximum(const PanelLayout&, const PanelItem&) { return kZoomPositions; }

uint32_t ItemColour(const PanelLayout& panel, const PanelItem& item) {
  const PanelHandlers& h = PanelHandlersOf(panel);
  return h.colour != nullptr ? h.colour(item.id) : 0x808080;
}

const Canvas& ItemPicture(const PanelLayout& panel, const PanelItem& item) {
  static const Canvas kNone;
  const PanelHandlers& h = PanelHandlersOf(panel);
  const Canvas* picture = h.picture != nullptr ? h.picture(item.id) : nullptr;
  return picture != nullptr ? *picture : kNone;
}

int HandlePanel(int panelNumber, int phase, uint16_t partCode) {
  if (phase == kPhasePress && (partCode >> 8) != panelNumber) return kNotMine;
  if (panelNumber == kStripPanel) return HandleStrip(phase);
  const PlacedPanel* placed = FindPlacedPanel(panelNumber);
  if (placed == nullptr) return kNotMine;
  const PanelLayout& panel = LayoutOf(*placed);
  const int itemId = phase == kPhasePress ? (partCode & 0xFF) : ui.pressedItem;
  const PanelItem* item = FindItem(panel, itemId);
  if (item == nullptr || !ItemEnabled(panel, *item)) return 0;  // taken, but nothing to do
  const PanelHandlers& handlers = PanelHandlersOf(panel);
  if (handlers.press != nullptr) {
    if (const int result = handlers.press(*placed, *item, phase); result != kNotMine) return result;
  }

  const Rect rect = ItemRectOnScreen(*placed, *item);
  const bool inside = input.mouseX >= rect.left && input.mouseY >= rect.top && input.mouseX < rect.left + rect.width &&
                      input.mouseY < rect.top + rect.height;
  if (item->kind == ItemKind::Slider) {
    // Sliders follow the pointer for as long as the button is held.
    const Rect track = SliderPartsOf(rect, item->label != 0).track;
    if (handlers.setValue != nullptr) {
      handlers.setValue(item->id, SliderValueAt(track, ItemMaximum(panel, *item), input.mouseX));
    }
    ui.trackingMouse = phase != kPhaseRelease;
    ui.pressedPanel = phase == kPhaseRelease ? 0 : panelNumber;
    ui.pressedItem = item->id;
    ui.pressedInside = true;
    return kLoopRedrawViewFull;
  }
  switch (phase) {
    case kPhasePress:
      ui.pressedPanel = panelNumber;
      ui.pressedItem = item->id;
      ui.pressedInside = true;
      ui.trackingMouse = true;
      return kLoopRedrawViewFull;
    case kPhaseDrag:
      if (inside != ui.pressedInside) {
        ui.pressedInside = inside;
        return kLoopRedrawViewFull;
      }
      return 0;
    default: {
      ui.trackingMouse = false;
      ui.pressedPanel = ui.pressedItem = 0;
      const bool click = inside;
      ui.pressedInside = false;
      const int result = click && handlers.click != nullptr ? handlers.click(item->id, rect) : 0;
      return result != 0 ? result : kLoopRedrawViewFull;
    }
  }
}

int ChooseRoom(int room) {
  if (room < 1 || room > kRoomCount) return -1;
  SetCurrentRoom(room);
  return kLoopRedrawViewFull;
}

int ChooseView(int view) {
  if (ui.currentRoom == kQuorvelsRoomNumber) return ChooseKelvaneView(view);
  SceneObject* object = scene.currentObject;
  if (object == nullptr || view < 0 || view > 6) return -1;
  object->currentView = uint16_t(view);
  object->dirtyFlags = kAllDirty;
  return kLoopRedrawViewFull;
}

int DeleteCurrentObject() {
  const int slot = scene.currentObjectIndex;
  if (slot < 0 || !scene.objectTable[size_t(slot)]) return -1;
  DisposeSceneObject(scene.objectTable[size_t(slot)]);
  // The next object in the table becomes current, else the one before.
  for (int next = slot + 1; next < kObjectSlotCount; ++next) {
    if (scene.objectTable[size_t(next)]) {
      (void)SetCurrentObject(next);
      return kLoopRedrawViewFull;
    }
  }
  for (int previous = slot - 1; previous >= 0; --previous) {
    if (scene.objectTable[size_t(previous)]) {
      (void)SetCurrentObject(previous);
      return kLoopRedrawViewFull;
    }
  }
  return kLoopRedrawViewFull;
}

int SelectAdjacentObject(int direction) {
  const std::vector<int> slots = ListedSlots();
  if (slots.empty()) return -1;
  auto at = std::find(slots.begin(), slots.end(), int(scene.currentObjectIndex));
  int index = at == slots.end() ? (direction > 0 ? 0 : int(slots.size()) - 1)
                                : std::clamp(int(at - slots.begin()) + direction, 0, int(slots.size()) - 1);
  (void)SetCurrentObject(slots[size_t(index)]);
  return kLoopRedrawViewFull;
}

int CycleFreeViewMode() {
  ui.freeViewMode = FreeViewMode((int(ui.freeViewMode) + 1) % 4);
  return kLoopRedrawViewFull;
}

int CycleAxisLock() {
  ui.axisLock = (ui.axisLock + 1) % 4;
  return kLoopRedrawViewFull;
}

int StepZoom(int steps) {
  if (ui.currentRoom == kQuorvelsRoomNumber) return StepKelvaneZoom(steps);
  if (scene.currentObject == nullptr) return -1;
  ObjectView* view = &CurrentView(*scene.currentObject);
  view->zoom = ZoomFromPosition(PositionFromZoom(view->zoom) + 16.0f * float(steps));
  return kLoopRedrawViewFull;
}

int FrameCurrentObject() {
  if (ui.currentRoom == kQuorvelsRoomNumber) return FrameKelvaneBalls();
  if (scene.currentObject == nullptr) return -1;
  SceneObject& object = *scene.currentObject;
  if (!FrameObjectInView(object, CurrentView(object), ZoomFromPosition(0), ZoomFromPosition(float(kZoomPositions)))) {
    return -1;
  }
  object.dirtyFlags = kAllDirty;
  return kLoopRedrawViewFull;
}

int WheelOverView(uint16_t partCode) {
  const int steps = input.wheel;
  input.wheel = 0;
  if (steps != 0 && partCode == kPartComposerView) return ZoomCamera(steps);
  if (steps == 0 || partCode != kPartModelingView) return kLoopContinue;
  return std::max(int(kLoopContinue), StepZoom(steps));
}

int OpenPreferences() {
  (void)RunPreferencesDialog();
  return kLoopRedrawViewFull;
}

bool RecordingTasks() { return taskRecorder.taskState != kTaskIdle; }

int UndoLastChange() {
  if (ui.currentRoom == kQuorvelsRoomNumber) return UndoBallStep();
  if (scene.currentObject == nullptr) return -1;
  // Right after a mirror, Ctrl+Z takes it back (and again does it again).
  if (TakeBackCurrentMirror()) return kLoopRedrawViewFull;
  // While tasks are recorded, the single level that a task list replays as "To undo" 256.
  if (RecordingTasks()) {
    UndoRedo();
    return kLoopRedrawViewFull;
  }
  return StepBackInHistory() ? kLoopRedrawViewFull : kLoopContinue;
}

int RedoLastChange() {
  if (ui.currentRoom == kQuorvelsRoomNumber) return RedoBallStep();
  if (scene.currentObject == nullptr) return -1;
  if (TakeBackCurrentMirror()) return kLoopRedrawViewFull;
  // A recording has no forward step: its single level is taken back by Ctrl+Z again.
  if (RecordingTasks()) return kLoopContinue;
  return StepForwardInHistory() ? kLoopRedrawViewFull : kLoopContinue;
}

int OpenObjectInformation() {
  if (scene.currentObject == nullptr) return -1;
  (void)RunObjectInfoDialog(*scene.currentObject);
  return kLoopRedrawViewFull;
}

int OpenProjectInformation() {
  (void)RunProjectInfoDialog();
  return kLoopRedrawViewFull;
}

int NewOrganicObject(int shape) {
  NewOrganicShapeObject(shape);  // a failure has been shown
  return kLoopRedrawViewFull;
}

int NewSyntheticFromDialog() {
  // The dialog starts from the settings used last time.
  if (RunShapeDialog(ui.lastShapeSettings)) NewSyntheticObject(ui.lastShapeSettings);
  return kLoopRedrawViewFull;
}

}  // namespace tsv
