// main_panels.cpp: the top strip, views, object list, deformation tools, object tools and shapes.
#include "ui/main_panels.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/events.h"
#include "platform/preferences.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "scene/history.h"
#include "scene/native_files.h"
#include "scene/object_table.h"
#include "scene/optics_file.h"
#include "scene/scene_state.h"
#include "tools/deform_table.h"
#include "tools/deform_tools.h"
#include "tools/tool_frame.h"
#include "tools/tool_state.h"
#include "ui/file_commands.h"
#include "ui/brush_panel.h"
#include "ui/layout_ids.h"
#include "ui/letters_dialog.h"
#include "ui/loop_result.h"
#include "ui/material_panels.h"
#include "ui/menus.h"
#include "ui/object_commands.h"
#include "ui/object_list.h"
#include "ui/panels.h"
#include "ui/picture_save_dialog.h"
#include "ui/quorvel_panel.h"
#include "ui/rooms.h"

namespace tsv {
namespace {

constexpr int kZoomPositions = 256;

// The view of the current object, or null without one.
ObjectView* CurrentObjectView() { return scene.currentObject ? &CurrentView(*scene.currentObject) : nullptr; }

int RoomOfTab(int item) {
  using namespace layout::TopStrip;
  switch (item) {
    case kModeling: return 1;
    case kHeightMap: return 2;
    case kMorph: return 3;
    case kPaint: return 4;
    case kComposer: return 5;
    case kOptics: return 6;
    case kQuorvels: return 7;
    case kLiquify: return 8;
    case kLetters: return 9;
    case kMask: return 10;
    default: return 0;
  }
}

// The view's draw options: the renderers there are (only SoftDraw until a hardware back end
// reports itself), "Textured Objects", the depth view and what the view's corner shows.
int DrawOptionsMenu(Rect under) {
  auto mark = [](bool on, std::string text) { return (on ? "\xE2\x9C\x93 " : "    ") + text; };
  const std::vector<std::string> entries = {
      mark(true, GetString(kRendererSoftDraw)),
      mark(ui.texturedObjects, GetString(kOptionTexturedObjects)),
      mark(ui.depthView, GetString(kUiDepthView)),
      mark(preferences.displayChoice == 0, GetString(kPrefDisplayNothing)),
      mark(preferences.displayChoice == 1, GetString(kPrefDisplayTime)),
      mark(preferences.displayChoice == 2, GetString(kPrefDisplayFps)),
      "    " + GetString(kUiSaveViewPicture),
  };
  const int choice = PopUpMenu(entries, under.left, under.top + under.height);
  if (choice == 1) ui.texturedObjects = !ui.texturedObjects;
  if (choice == 2) ui.depthView = !ui.depthView;
  if (choice >= 3 && choice <= 5) preferences.displayChoice = uint16_t(choice - 3);
  if (choice == 6) return CommandSaveViewPicture();
  return kLoopRedrawViewFull;
}

bool AxisLockText(std::string& text) {
  static constexpr StringId kAxes[4] = {kUiAxisNone, kUiAxisNoVertical, kUiAxisNoHorizontal, kUiAxisLocked};
  text = GetString(kAxes[ui.axisLock & 3]);
  return true;
}

}  // namespace

void SetUpToolDrag(Rect readout) {
  toolState.readoutRect = readout;
  toolState.axisLock = ui.axisLock;
  toolState.drawOptions.texturedObjects = ui.texturedObjects;
  toolState.drawOptions.depthView = ui.depthView;
  toolState.drawOptions.maskRoom = MaskShown();
  toolState.drawOptions.renderer = uint8_t(preferences.rendererWord & 0xFF);
}

// ---------------------------------------------------------------------------------- top strip

namespace {

// Steps of the current object's history each way; while tasks are recorded, the single level
// back (the recording's Ctrl+Z) and nothing forward.
size_t StepsBack() {
  if (ui.currentRoom == kQuorvelsRoomNumber) return quorvelState.undoSteps.size();
  const SceneObject* object = scene.currentObject;
  if (object == nullptr) return 0;
  return RecordingTasks() ? 1 : HistoryStepsBack(*object);
}

size_t StepsForward() {
  if (ui.currentRoom == kQuorvelsRoomNumber) return quorvelState.redoSteps.size();
  const SceneObject* object = scene.currentObject;
  return object == nullptr || RecordingTasks() ? 0 : HistoryStepsForward(*object);
}

}  // namespace

bool TopStripItemEnabled(int item) {
  using namespace layout::TopStrip;
  if (item == kSaveObject || item == kSaveObjectAs) return scene.currentObject != nullptr;
  if (item == kUndo) return StepsBack() > 0;
  if (item == kRedo) return StepsForward() > 0;
  return RoomOfTab(item) != 0 || item == kPreferences || item == kProjectName || item == kNewProject ||
         item == kOpenProject || item == kSaveProject || item == kOpenObject || item == kQuit;
}

bool TopStripItemChecked(int item) { return RoomOfTab(item) == ui.currentRoom; }

bool TopStripItemText(int item, std::string& text) {
  using namespace layout::TopStrip;
  if (item == kUndo || item == kRedo) {
    // "Undo 3", "Redo 1"; the plain label when there is no step (while recording: one level).
    const size_t steps = item == kUndo ? StepsBack() : StepsForward();
    const bool oneLevel = RecordingTasks() && ui.currentRoom != kQuorvelsRoomNumber;
    if (steps == 0 || (item == kUndo && oneLevel)) return false;
    text = FormatString(item == kUndo ? kUiUndoSteps : kUiRedoSteps, {std::to_string(steps)});
    return true;
  }
  if (item != kProjectName) return false;
  // The project; the current object's name stands over the view.
  text = CountedToText(nativeFiles.project.projectName);
  if (HasUnsavedChanges()) text += " " + GetString(kUiModifiedMark);
  return true;
}

int TopStripItemClick(int item, Rect) {
  using namespace layout::TopStrip;
  if (const int room = RoomOfTab(item)) return ChooseRoom(room);
  switch (item) {
    case kPreferences: return OpenPreferences();
    case kProjectName: return OpenProjectInformation();
    case kQuit: return CommandQuit();
    case kNewProject: return CommandNewProject();
    case kOpenProject: return CommandOpenProject();
    case kSaveProject: return CommandSaveProject();
    case kOpenObject: return CommandOpenObject();
    case kSaveObject: return CommandSaveObject();
    case kSaveObjectAs: return CommandSaveObjectAs();
    case kUndo: return UndoLastChange();
    case kRedo: return RedoLastChange();
    default: return 0;
  }
}

// -------------------------------------------------------------------------------------- views

bool ViewsItemEnabled(int item) {
  using namespace layout::Views;
  const bool hasObject = scene.currentObject != nullptr || ui.currentRoom == kQuorvelsRoomNumber;
  if ((item >= kView1 && item <= kView7) || item == kZoom) return hasObject;
  return item == layout::Views::kFreeView || item == kAxisLock || item == kTextured || item == kDepthView || item == kRenderer;
}

bool ViewsItemChecked(int item) {
  if (item == layout::Views::kTextured) return ui.texturedObjects;
  if (item == layout::Views::kDepthView) return ui.depthView;
  return false;
}

int ViewsItemValue(int item) {
  if (item != layout::Views::kZoom) return 0;
  if (ui.currentRoom == kQuorvelsRoomNumber) return KelvaneZoomSlider();
  const ObjectView* view = CurrentObjectView();
  return view ? int(std::lround(SliderFromZoom(view->zoom))) : 128;
}

void SetViewsItemValue(int item, int value) {
  if (item != layout::Views::kZoom) return;
  if (ui.currentRoom == kQuorvelsRoomNumber) return SetKelvaneZoomSlider(value);
  if (ObjectView* view = CurrentObjectView()) view->zoom = ZoomFromSlider(float(std::clamp(value, 0, kZoomPositions)));
}

bool ViewsItemText(int item, std::string& text) {
  if (item == layout::Views::kAxisLock) return AxisLockText(text);
  if (item == layout::Views::kFreeView) {
    static constexpr StringId kModes[4] = {kUiFreeViewOff, kUiFreeViewTurning, kUiFreeViewSpinning,
                                           kUiFreeViewFollowing};
    text = GetString(kModes[int(ui.freeViewMode) & 3]);
    return true;
  }
  return false;
}

int ViewsItemClick(int item, Rect rect) {
  using namespace layout::Views;
  if (item >= kView1 && item <= kView7) return ChooseView(item - kView1);
  switch (item) {
    case kRenderer: return DrawOptionsMenu(rect);
    case layout::Views::kFreeView: return CycleFreeViewMode();
    case kAxisLock: return CycleAxisLock();
    case kTextured:
      ui.texturedObjects = !ui.texturedObjects;
      return kLoopRedrawViewFull;
    case kDepthView:
      ui.depthView = !ui.depthView;
      return kLoopRedrawViewFull;
    default: return 0;
  }
}

// -------------------------------------------------------------------------------- object list

int ObjectListPress(const PlacedPanel& placed, const PanelItem& item, int phase) {
  if (item.kind != ItemKind::List) return kNotMine;
  if (phase != kPhasePress) return 0;
  const int slot = ObjectListSlotAt(ItemRectOnScreen(placed, item), input.mouseX, input.mouseY);
  if (slot < 0 || slot == scene.currentObjectIndex) return kLoopRedrawViewFull;
  (void)SetCurrentObject(slot);  // a failure has been shown
  return kLoopRedrawViewFull;
}

// ------------------------------------------------------------------------- deformation tools

bool DeformItemText(int item, std::string& text) {
  return item == layout::DeformTools::kAxes && AxisLockText(text);
}

int DeformItemClick(int item, Rect) { return item == layout::DeformTools::kAxes ? CycleAxisLock() : 0; }

int DeformToolPress(const PlacedPanel& placed, const PanelItem& item, int phase) {
  const DeformToolEntry* tool = phase == kPhasePress ? FindDeformToolByItem(item.id) : nullptr;
  if (tool == nullptr) return kNotMine;
  // The tool follows the mouse in its own loop until the button is released; the change is then
  // committed, so that "To undo" and Ctrl+Z can take it back.
  const PanelItem* readout = FindItem(LayoutOf(placed), layout::DeformTools::kAmount);
  SetUpToolDrag(readout ? ItemRectOnScreen(placed, *readout) : toolState.readoutRect);
  SceneObject* object = scene.currentObject;
  RunDeformTool(*tool, object, scene.workObject.get(), kAmountInteractive);
  // A drag that changed nothing leaves the object unmarked.
  if (object != nullptr && WorkDiffersFromCommitted(*object)) CommitObjectChange(object, scene.workObject.get());
  ShowAmountReadout(kNoReadoutValue, kNoReadoutValue);
  ui.fullDetail = true;
  return kLoopRedrawViewFull;
}

// ------------------------------------------------------------------------------ object tools

bool ObjectToolsItemEnabled(int item) {
  using namespace layout::ObjectTools;
  const SceneObject* object = scene.currentObject;
  switch (item) {
    case kNewOrganic:
    case kNewSynthetic: return true;
    case kDelete:
    case kInformation:
    case kDuplicate:
    case kMirror:
    case kDerivative: return object != nullptr;
    case kMerge: return object != nullptr && ObjectCount() >= 2;
    case kMakeSynthetic: return object != nullptr && object->isOrganic != 0;
    default: return false;
  }
}

bool ObjectToolsItemChecked(int item) { return item == layout::ObjectTools::kMerge && MergeWaiting(); }

int ObjectToolsItemClick(int item, Rect rect) {
  using namespace layout::ObjectTools;
  switch (item) {
    case kDelete: return DeleteCurrentObject();
    case kNewSynthetic: return NewSyntheticFromDialog();
    case kInformation: return OpenObjectInformation();
    case kDuplicate: return DuplicateCurrentObject();
    case kMirror: return MirrorCurrentObject(rect);
    case kMerge: return StartMerge();
    case kMakeSynthetic: return MakeCurrentSynthetic();
    case kDerivative: return DeriveFromDialog();
    case kNewOrganic: {
      std::vector<std::string> shapes;
      for (StringId s : {kShapeSphere, kShapeTetrahedron, kShapeCylinder, kShapeCube, kShapeCylinderWithCaps}) {
        shapes.push_back(GetString(s));
      }
      const int shape = PopUpMenu(shapes, rect.left, rect.top + rect.height);
      return shape >= 0 ? NewOrganicObject(shape) : kLoopRedrawViewFull;
    }
    default: return 0;
  }
}

// ------------------------------------------------------------------------------------ shapes

bool ShapesItemEnabled(int item) {
  using namespace layout::Shapes;
  return item >= kLetters && item <= kSynthetic;
}

int ShapesItemClick(int item, Rect) {
  using namespace layout::Shapes;
  if (item >= kSphere && item <= kCylinderWithCaps) return NewOrganicObject(item - kSphere);
  if (item == kSynthetic) return NewSyntheticFromDialog();
  if (item == kLetters) return NewLettersFromDialog();
  return 0;
}

// ------------------------------------------------------------------------------------ optics

int OpticsPanelClick(int item, Rect) {
  using namespace layout::OpticsTools;
  if (scene.currentObject == nullptr) return 0;
  if (const int result = OpticsItemClick(item)) return result;
  switch (item) {
    case kCopy: return CommandCopyOptics();
    case kPaste: return CommandPasteOptics();
    case kOpen:
      (void)OpenOptics(*scene.currentObject);  // a cancelled or failed open changes nothing
      return kLoopRedrawViewFull;
    case kSave:
      (void)SaveOptics(*scene.currentObject);  // a failure has been shown
      return kLoopRedrawViewFull;
    default: return 0;
  }
}

}  // namespace tsv
