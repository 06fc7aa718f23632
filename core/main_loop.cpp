// main_loop.cpp: events to panels and keys, and the free-view motion.
#include "core/main_loop.h"

#include <cmath>
#include <numbers>

#include "core/app_state.h"
#include "tasks/task_recorder.h"
#include "ui/brush_panel.h"
#include "ui/composer_panel.h"
#include "core/application.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/preferences.h"
#include "platform/single_instance.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "platform/window.h"
#include "scene/scene_state.h"
#include "ui/file_commands.h"
#include "ui/object_commands.h"
#include "ui/panels.h"
#include "ui/quorvel_panel.h"
#include "ui/rooms.h"
#include "ui/task_panel.h"

namespace tsv {
namespace {

// How long an idle step waits for input: long enough to sleep, short enough for hover texts and
// hand-overs; nothing waits while a motion runs.
constexpr int kIdleWaitMs = 30;
constexpr int kTrackingWaitMs = 10;
constexpr uint32_t kHoverDelayMs = 600;
constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;
// Radians per pixel of pointer movement when the free view follows the mouse.
constexpr float kFollowRadiansPerPixel = std::numbers::pi_v<float> / 200.0f;

float Wrap(float angle) {
  angle = std::fmod(angle, kTwoPi);
  return angle < 0 ? angle + kTwoPi : angle;
}

bool Animating() {
  return scene.currentObject != nullptr && ui.freeViewMode != FreeViewMode::Off;
}

// The hover bookkeeping of an idle step: which item the pointer rests on and since when; asks for
// a redraw when the hover text appears or goes.
int UpdateHover(uint16_t partCode) {
  const int panel = partCode >> 8, item = partCode & 0xFF;
  const uint32_t now = TickCount();
  if (panel != ui.hoverPanel || item != ui.hoverItem) {
    const bool wasShown = ui.hoverShown;
    ui.hoverPanel = panel;
    ui.hoverItem = item;
    ui.hoverSince = now;
    ui.hoverShown = false;
    return wasShown || panel != 0 ? kLoopRedrawViewFull : kLoopContinue;
  }
  if (!ui.hoverShown && panel != 0 && now - ui.hoverSince >= kHoverDelayMs) {
    ui.hoverShown = true;
    return kLoopRedrawViewFull;
  }
  return kLoopContinue;
}

// The view's own handler: the Kelvane view's in the Quorvels room, the brushes' elsewhere.
int HandleView(int phase) {
  if (ui.currentRoom == kQuorvelsRoomNumber) return HandleKelvaneView(phase, input.mouseX, input.mouseY);
  return HandleModelingView(phase, input.mouseX, input.mouseY);
}

int CallPanel(int panel, int phase, uint16_t partCode) {
  if (panel == kModelingViewHandler) return HandleView(phase);
  if (panel == kComposerViewHandler) return HandleComposerView(phase, input.mouseX, input.mouseY);
  return app.panelHandler ? app.panelHandler(panel, phase, partCode) : HandlePanel(panel, phase, partCode);
}

// Ctrl+Q and the window's close request: the quit command's questions, and a refused quit
// forgets the request.
int AskToQuit() {
  const int result = CommandQuit();
  if (result != kLoopQuit) input.quitRequested = false;
  return result;
}

}  // namespace

int DispatchPress(uint16_t partCode) {
  if ((input.modifiers & kRightButtonBit) == 0) app.partCode = partCode;
  NoteTaskPanelPress(partCode);  // the task list keeps the keyboard focus only while it is used
  // A merge waiting for its second object takes the next press, whatever it is on.
  if (MergeWaiting()) return MergeWithPressed(partCode);
  for (int panel = 1; panel <= 16; ++panel) {
    int result = CallPanel(panel, kPhasePress, partCode);
    if (result == kNotMine) continue;
    if (ui.trackingMouse) app.trackedPanel = panel;
    return result;
  }
  // The view areas: the modeling view strokes with the brush in the rooms that have one, the
  // Kelvane view edits the balls; the composer's view moves come with the composer.
  if (partCode == kPartModelingView) {
    const int result = HandleView(kPhasePress);
    if (ui.trackingMouse) app.trackedPanel = kModelingViewHandler;
    return result;
  }
  if (partCode == kPartComposerView) {
    const int result = HandleComposerView(kPhasePress, input.mouseX, input.mouseY);
    if (ui.trackingMouse) app.trackedPanel = kComposerViewHandler;
    return result;
  }
  return kLoopContinue;
}

int HandleKey(int /*previous*/) {
  const EventRecord& e = input.event;
  if (e.what != kKeyDown) return -1;
  const uint32_t c = e.message;
  // Escape (the cancel gesture) ends a merge waiting for its second object.
  if (MergeWaiting() && c == kCharCancel && (e.modifiers & kControlBit)) {
    CancelMerge();
    return kLoopRedrawViewFull;
  }
  if (e.modifiers & kControlBit) {
    switch (c) {
      case 'q': return AskToQuit();
      case 'p': return OpenPreferences();
      case 'n': return CommandNewProject();
      case 'o': return CommandOpenProject();
      case 's': return CommandSaveProject();
      case 'c': return CommandCopyOptics();
      case 'v': return CommandPasteOptics();
      case 'd': return DuplicateCurrentObject();
      // Ctrl+Shift+Z arrives as 'z' with both bits (the key's own letter, never the shifted one).
      case 'z': return (e.modifiers & kShiftBit) ? RedoLastChange() : UndoLastChange();
      case 'y': return RedoLastChange();
      default: return -1;  // import, export and the tools' commands come with their subsystems
    }
  }
  // While the task list has the focus, Up and Down move its cursor.
  if (const int taken = TaskPanelKey(c); taken >= 0) return taken;
  switch (c) {
    case kCharDelete: return ui.currentRoom == kQuorvelsRoomNumber ? DeleteSelectedBall() : DeleteCurrentObject();
    case kCharTab: return CycleAxisLock();
    case kCharUp: return SelectAdjacentObject(-1);
    case kCharDown: return SelectAdjacentObject(+1);
    case '1': case '2': case '3': case '4': case '5': case '6': case '7':
      // In the composer the keys choose the camera.
      if (ui.currentRoom == kComposerRoomNumber) return ChooseCamera(int(c - '1'));
      return ChooseView(int(c - '1'));
    case kCharReturn:
      return ui.currentRoom == kComposerRoomNumber ? RenderComposerPicture() : -1;
    // The top-row letters choose the rooms, as the tabs of the top strip do.
    case 'e': return ChooseRoom(1);
    case 'r': return ChooseRoom(2);
    case 't': return ChooseRoom(3);
    case 'y': return ChooseRoom(4);
    case 'o': return ChooseRoom(5);
    case 'q': return ChooseRoom(6);
    case 'i': return ChooseRoom(7);
    case 'u': return ChooseRoom(8);
    case 'w': return ChooseRoom(9);
    case 'k': return ChooseRoom(10);
    case 'm': return StepZoom(+1);
    case 'n': return StepZoom(-1);
    case kCharHome: return FrameCurrentObject();
    case 'p': return CycleFreeViewMode();
    default: return -1;
  }
}

int FreeViewStep() {
  SceneObject* object = scene.currentObject;
  if (object == nullptr || ui.freeViewMode == FreeViewMode::Off) {
    app.followPointerX = app.followPointerY = -1;
    return kLoopContinue;
  }
  ObjectView& view = object->views[6];
  constexpr float kStep = std::numbers::pi_v<float> / 1000.0f;
  switch (ui.freeViewMode) {
    case FreeViewMode::Spinning:
      for (int axis = 0; axis < 3; ++axis) view.angles[axis] = Wrap(view.angles[axis] + app.spinRates[axis] * kStep);
      break;
    case FreeViewMode::Turning:
      view.angles[1] = Wrap(view.angles[1] + app.spinRates[1] * kStep);
      break;
    case FreeViewMode::Following: {
      const int dx = app.followPointerX < 0 ? 0 : input.mouseX - app.followPointerX;
      const int dy = app.followPointerY < 0 ? 0 : input.mouseY - app.followPointerY;
      app.followPointerX = input.mouseX;
      app.followPointerY = input.mouseY;
      const float vertical = (ui.axisLock & 1) ? 0.0f : float(dy) * kFollowRadiansPerPixel;
      const float horizontal = (ui.axisLock & 2) ? 0.0f : float(dx) * kFollowRadiansPerPixel;
      if (vertical == 0 && horizontal == 0) return kLoopContinue;
      view.angles[0] = Wrap(view.angles[0] + vertical);
      view.angles[1] = Wrap(view.angles[1] + horizontal);
      break;
    }
    case FreeViewMode::Off:
      break;
  }
  object->dirtyFlags = kAllDirty;
  return kLoopRedrawView;
}

int MainLoopStep(int previous) {
  const int wait = ui.trackingMouse ? kTrackingWaitMs : Animating() ? 0 : kIdleWaitMs;
  const bool gotEvent = GetNextEvent(wait);
  for (const std::string& path : PollInstanceMessages()) {
    RaiseProgramWindow();
    if (!path.empty()) OpenFileByType(path);
    input.redrawRequested = true;
  }
  const bool pointerMoved = input.mouseX != ui.pointerX || input.mouseY != ui.pointerY;
  ui.pointerX = input.mouseX;
  ui.pointerY = input.mouseY;
  const uint16_t partCode = HitTest(input.mouseX, input.mouseY);

  // Motion modes show the free view.
  if (Animating() && scene.currentObject->currentView != 6) scene.currentObject->currentView = 6;

  int result = kLoopContinue;
  if (ui.trackingMouse) {
    result = CallPanel(app.trackedPanel, StillDown() ? kPhaseDrag : kPhaseRelease, partCode);
    if (!ui.trackingMouse) app.trackedPanel = 0;
  } else if (gotEvent && input.event.what == kMouseDown) {
    result = DispatchPress(partCode);
  } else if (gotEvent && input.event.what == kKeyDown) {
    result = HandleKey(previous);
    if (result < 0) result = kLoopContinue;
  } else {
    result = UpdateHover(partCode);
  }
  // The wheel zooms the view under the pointer; turned during a drag or elsewhere it is dropped.
  if (const int zoomed = WheelOverView(ui.trackingMouse ? 0 : partCode); result == kLoopContinue) result = zoomed;
  if (result == kLoopContinue && input.redrawRequested) result = kLoopRedrawViewFull;
  // The brush outline follows the pointer over the view, and goes when it leaves.
  if (result == kLoopContinue && pointerMoved && !ui.trackingMouse && (ui.outlineDrawn || BrushOutlineShown())) {
    result = kLoopRedrawPointer;
  }
  input.redrawRequested = false;
  if (scene.currentObject != nullptr) {
    if (int motion = FreeViewStep(); motion != kLoopContinue && result == kLoopContinue) result = motion;
  }
  return result;
}

void ActOnLoopResult(int result) {
  switch (result) {
    case kLoopRedrawView:
      // The quick view while something moves, unless the preferences ask for full redraws.
      ui.fullDetail = preferences.drawFullOnRedraw != 0;
      RedrawWindow();
      ui.fullDetail = true;
      break;
    case kLoopRedrawPointer:
      RedrawViewLayers();
      break;
    case kLoopRedrawViewSecond:
    case kLoopRedrawViewFull:
    case kLoopDepthLeft:
    case kLoopDepthRight:
      RedrawWindow();
      break;
    default:
      break;
  }
}

}  // namespace tsv
