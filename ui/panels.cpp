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
#include "tools/deform_table.h"
#include "tools/deform_tools.h"
#include "tools/tool_frame.h"
#include "tools/tool_state.h"
#include "ui/brush_panel.h"
#include "ui/file_commands.h"
#include "ui/info_dialogs.h"
#include "ui/layout_ids.h"
#include "ui/material_panels.h"
#include "ui/menus.h"
#include "ui/object_list.h"
#include "ui/picture_save_dialog.h"
#include "ui/preferences_dialog.h"
#include "ui/shape_dialog.h"
#include "ui/room_panels.h"
#include "ui/rooms.h"
#include "ui/task_panel.h"
#include "ui/widgets.h"

namespace tsv {
namespace {

constexpr int kRedraw = 4;  // the loop result that redraws the window
constexpr int kZoomPositions = 256;

bool Is(const PanelLayout& panel, std::string_view name) { return panel.name == name; }

// The view of the current object, or null without one.
ObjectView* CurrentObjectView() { return scene.currentObject ? &CurrentView(*scene.currentObject) : nullptr; }

// The screen rectangle of an item of a placed panel.
Rect ItemRect(const PlacedPanel& placed, const PanelItem& item) {
  return {placed.rect.left + item.rect.left, placed.rect.top + item.rect.top, item.rect.width, item.rect.height};
}

// The slider part of a slider item (the label takes the left part, as it is drawn).
Rect SliderTrack(Rect rect, bool hasLabel) {
  const int labelWidth = hasLabel ? std::min(92, rect.width / 3) : 0;
  return {rect.left + labelWidth, rect.top, rect.width - labelWidth, rect.height};
}

void SetItemValue(const PanelLayout& panel, const PanelItem& item, int value) {
  if (Is(panel, "Views") && item.id == layout::Views::kZoom) {
    if (ObjectView* view = CurrentObjectView()) view->zoom = ZoomFromPosition(float(std::clamp(value, 0, kZoomPositions)));
  } else if (Is(panel, "OpticsTools")) {
    SetOpticsItemValue(item.id, value);
  } else if (Is(panel, "TextureTools")) {
    SetTextureItemValue(item.id, value);
  } else if (Is(panel, "Brushes")) {
    SetBrushItemValue(item.id, value);
  } else if (Is(panel, "HeightMap")) {
    SetHeightMapItemValue(item.id, value);
  } else if (Is(panel, "PaintTools")) {
    SetPaintItemValue(item.id, value);
  } else if (Is(panel, "Tasks")) {
    SetTaskItemValue(item.id, value);
  }
}

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
  return kRedraw;
}

// The strip over the view: a click opens the object pop-up list under it to choose the current
// object.
int HandleStrip(int phase) {
  if (phase != kPhasePress) return 0;
  // The pop-up list keeps its lower edge where ten rows would end; place that so the list, however
  // long, opens right under the strip.
  const int rows = std::min(int(ListedSlots().size()), 10);
  const int below = ui.stripRect.top + ui.stripRect.height;
  SceneObject* chosen = ObjectPopUp(ui.stripRect.left, below - (10 - rows) * kObjectRowHeight);
  if (chosen != nullptr) (void)SetCurrentObject(SlotOfObject(chosen));  // a failure has been shown
  return kRedraw;
}

// A deformation tool or the trackball follows the mouse in its own loop until the button is
// released; the change is then committed, so that "To undo" and Ctrl+Z can take it back.
// What every drag that reshapes the object live needs: where its amount is shown, the axis lock
// and the view's draw options.
void SetUpToolDrag(Rect readout) {
  toolState.readoutRect = readout;
  toolState.axisLock = ui.axisLock;
  toolState.drawOptions.texturedObjects = ui.texturedObjects;
  toolState.drawOptions.depthView = ui.depthView;
  toolState.drawOptions.maskRoom = ui.currentRoom == kMaskRoomNumber;
  toolState.drawOptions.renderer = uint8_t(preferences.rendererWord & 0xFF);
}

int RunToolDrag(const PlacedPanel& placed, const DeformToolEntry& tool) {
  const PanelLayout& panel = LayoutOf(placed);
  const PanelItem* readout = FindItem(panel, layout::DeformTools::kAmount);
  SetUpToolDrag(readout ? ItemRect(placed, *readout) : toolState.readoutRect);
  SceneObject* object = scene.currentObject;
  RunDeformTool(tool, object, scene.workObject.get(), kAmountInteractive);
  if (object != nullptr) CommitObjectChange(object, scene.workObject.get());
  ShowAmountReadout(kNoReadoutValue, kNoReadoutValue);
  ui.fullDetail = true;
  return kRedraw;
}

// The command of a click (press and release on the same item).
int Click(const PlacedPanel& placed, const PanelItem& item) {
  const PanelLayout& panel = LayoutOf(placed);
  const int id = item.id;
  if (Is(panel, "TopStrip")) {
    using namespace layout::TopStrip;
    if (int room = RoomOfTab(id)) return ChooseRoom(room);
    switch (id) {
      case kPreferences: return OpenPreferences();
      case kObjectName: return OpenObjectInformation();
      case kNewProject: return CommandNewProject();
      case kOpenProject: return CommandOpenProject();
      case kSaveProject: return CommandSaveProject();
      case kOpenObject: return CommandOpenObject();
      case kSaveObject: return CommandSaveObject();
      case kSaveObjectAs: return CommandSaveObjectAs();
      default: break;
    }
  } else if (Is(panel, "Views")) {
    using namespace layout::Views;
    if (id >= kView1 && id <= kView7) return ChooseView(id - kView1);
    if (id == kRenderer) return DrawOptionsMenu(ItemRect(placed, item));
    if (id == layout::Views::kFreeView) return CycleFreeViewMode();
    if (id == layout::Views::kAxisLock) return CycleAxisLock();
    if (id == kTextured) {
      ui.texturedObjects = !ui.texturedObjects;
      return kRedraw;
    }
    if (id == kDepthView) {
      ui.depthView = !ui.depthView;
      return kRedraw;
    }
  } else if (Is(panel, "TextureTools")) {
    return TextureItemClick(id);
  } else if (Is(panel, "Brushes")) {
    const Rect r = ItemRect(placed, item);
    return BrushItemClick(id, r.left, r.top + r.height);
  } else if (Is(panel, "HeightMap")) {
    return HeightMapItemClick(id);
  } else if (Is(panel, "Morphing")) {
    const Rect r = ItemRect(placed, item);
    return MorphItemClick(id, r.left, r.top + r.height);
  } else if (Is(panel, "MaskTools")) {
    return MaskItemClick(id);
  } else if (Is(panel, "PaintTools")) {
    return PaintItemClick(id);
  } else if (Is(panel, "Tasks")) {
    return TaskItemClick(id);
  } else if (Is(panel, "OpticsTools")) {
    using namespace layout::OpticsTools;
    if (scene.currentObject == nullptr) return 0;
    if (int result = OpticsItemClick(id)) return result;
    if (id == kCopy) return CommandCopyOptics();
    if (id == kPaste) return CommandPasteOptics();
    if (id == kOpen) {
      (void)OpenOptics(*scene.currentObject);  // a cancelled or failed open changes nothing
      return kRedraw;
    }
    if (id == kSave) {
      (void)SaveOptics(*scene.currentObject);  // a failure has been shown
      return kRedraw;
    }
  } else if (Is(panel, "DeformTools")) {
    if (id == layout::DeformTools::kAxes) return CycleAxisLock();
  } else if (Is(panel, "ObjectTools")) {
    using namespace layout::ObjectTools;
    if (id == kDelete) return DeleteCurrentObject();
    if (id == kNewSynthetic) return NewSyntheticFromDialog();
    if (id == kInformation) return OpenObjectInformation();
    if (id == kNewOrganic) {
      const Rect r = ItemRect(placed, item);
      std::vector<std::string> shapes;
      for (StringId s : {kShapeSphere, kShapeTetrahedron, kShapeCylinder, kShapeCube, kShapeCylinderWithCaps}) {
        shapes.push_back(GetString(s));
      }
      int shape = PopUpMenu(shapes, r.left, r.top + r.height);
      return shape >= 0 ? NewOrganicObject(shape) : kRedraw;
    }
  } else if (Is(panel, "Shapes")) {
    using namespace layout::Shapes;
    if (id >= kSphere && id <= kCylinderWithCaps) return NewOrganicObject(id - kSphere);
    if (id == kSynthetic) return NewSyntheticFromDialog();
  }
  return 0;
}

int HandleObjectList(const PlacedPanel& placed, const PanelItem& item, int phase) {
  if (phase != kPhasePress) return 0;
  const Rect r = ItemRect(placed, item);
  const int slot = ObjectListSlotAt(r, input.mouseX, input.mouseY);
  if (slot < 0 || slot == scene.currentObjectIndex) return kRedraw;
  (void)SetCurrentObject(slot);  // a failure has been shown
  return kRedraw;
}

}  // namespace

float ZoomFromPosition(float position) {
  return 0.1f * std::exp(0.0179889f * std::clamp(position, 0.0f, float(kZoomPositions)));
}

float PositionFromZoom(float zoom) {
  if (!(zoom > 0)) return 0;
  return std::clamp(55.5898f * std::log(10.0f * zoom), 0.0f, float(kZoomPositions));
}

bool ItemEnabled(const PanelLayout& panel, const PanelItem& item) {
  const int id = item.id;
  const bool hasObject = scene.currentObject != nullptr;
  if (Is(panel, "TopStrip")) {
    using namespace layout::TopStrip;
    if (id == kSaveObject || id == kSaveObjectAs) return hasObject;
    return RoomOfTab(id) != 0 || id == kPreferences || id == kObjectName || id == kNewProject || id == kOpenProject ||
           id == kSaveProject || id == kOpenObject;
  }
  if (Is(panel, "Views")) {
    using namespace layout::Views;
    if (id >= kView1 && id <= kView7) return hasObject;
    return id == kZoom ? hasObject
                       : id == layout::Views::kFreeView || id == kAxisLock || id == kTextured || id == kDepthView ||
                             id == kRenderer;
  }
  if (Is(panel, "ObjectList")) return true;
  if (Is(panel, "DeformTools")) return true;
  if (Is(panel, "OpticsTools")) return OpticsItemEnabled(id);
  if (Is(panel, "TextureTools")) return TextureItemEnabled(id);
  if (Is(panel, "Brushes")) return BrushItemEnabled(id);
  if (Is(panel, "HeightMap")) return HeightMapItemEnabled(id);
  if (Is(panel, "Morphing")) return MorphItemEnabled(id);
  if (Is(panel, "MaskTools")) return MaskItemEnabled(id);
  if (Is(panel, "PaintTools")) return PaintItemEnabled(id);
  if (Is(panel, "Tasks")) return TaskItemEnabled(id);
  if (Is(panel, "ObjectTools")) {
    using namespace layout::ObjectTools;
    return id == kNewOrganic || id == kNewSynthetic || ((id == kDelete || id == kInformation) && hasObject);
  }
  if (Is(panel, "Shapes")) {
    using namespace layout::Shapes;
    return id >= kSphere && id <= kSynthetic;
  }
  return false;
}

bool ItemChecked(const PanelLayout& panel, const PanelItem& item) {
  if (Is(panel, "TopStrip")) return RoomOfTab(item.id) == ui.currentRoom;
  if (Is(panel, "OpticsTools")) return OpticsItemChecked(item.id);
  if (Is(panel, "TextureTools")) return TextureItemChecked(item.id);
  if (Is(panel, "Brushes")) return BrushItemChecked(item.id);
  if (Is(panel, "HeightMap")) return HeightMapItemChecked(item.id);
  if (Is(panel, "Morphing")) return MorphItemChecked(item.id);
  if (Is(panel, "MaskTools")) return MaskItemChecked(item.id);
  if (Is(panel, "PaintTools")) return PaintItemChecked(item.id);
  if (Is(panel, "Tasks")) return TaskItemChecked(item.id);
  if (Is(panel, "Views")) {
    if (item.id == layout::Views::kTextured) return ui.texturedObjects;
    if (item.id == layout::Views::kDepthView) return ui.depthView;
  }
  return false;
}

std::string ItemText(const PanelLayout& panel, const PanelItem& item) {
  if (Is(panel, "TopStrip") && item.id == layout::TopStrip::kObjectName) {
    const SceneObject* object = scene.currentObject;
    if (object == nullptr) return GetString(kUiNoCurrentObject);
    std::string text = CountedToText(object->name);
    if (object->hasUnsavedChanges || scene.projectModified) text += " " + GetString(kUiModifiedMark);
    return text;
  }
  if ((Is(panel, "Views") && item.id == layout::Views::kAxisLock) ||
      (Is(panel, "DeformTools") && item.id == layout::DeformTools::kAxes)) {
    static constexpr StringId kAxes[4] = {kUiAxisNone, kUiAxisNoVertical, kUiAxisNoHorizontal, kUiAxisLocked};
    return GetString(kAxes[ui.axisLock & 3]);
  }
  if (Is(panel, "Views") && item.id == layout::Views::kFreeView) {
    static constexpr StringId kModes[4] = {kUiFreeViewOff, kUiFreeViewTurning, kUiFreeViewSpinning, kUiFreeViewFollowing};
    return GetString(kModes[int(ui.freeViewMode) & 3]);
  }
  if (Is(panel, "Brushes") && item.id == layout::Brushes::kRepeat) return BrushItemText(item.id);
  if (Is(panel, "Animation") && item.id >= layout::Animation::kKey1 && item.id <= layout::Animation::kKey8) {
    return GetStringById(item.label) + " " + std::to_string(item.id - layout::Animation::kKey1 + 1);
  }
  return item.label ? GetStringById(item.label) : std::string();
}

int ItemValue(const PanelLayout& panel, const PanelItem& item) {
  if (Is(panel, "Views") && item.id == layout::Views::kZoom) {
    const ObjectView* view = CurrentObjectView();
    return view ? int(std::lround(PositionFromZoom(view->zoom))) : 128;
  }
  if (Is(panel, "OpticsTools")) return OpticsItemValue(item.id);
  if (Is(panel, "TextureTools")) return TextureItemValue(item.id);
  if (Is(panel, "Brushes")) return BrushItemValue(item.id);
  if (Is(panel, "HeightMap")) return HeightMapItemValue(item.id);
  if (Is(panel, "PaintTools")) return PaintItemValue(item.id);
  if (Is(panel, "Tasks")) return TaskItemValue(item.id);
  return 0;
}

// Zoom positions and the 0..256 settings of the material panels share one range.
int ItemMaximum(const PanelLayout&, const PanelItem&) { return kZoomPositions; }

uint32_t ItemColour(const PanelLayout& panel, const PanelItem& item) {
  if (Is(panel, "OpticsTools")) return OpticsItemColour(item.id);
  if (Is(panel, "Brushes")) return BrushItemColour(item.id);
  if (Is(panel, "PaintTools")) return PaintItemColour(item.id);
  return 0x808080;
}

const Canvas& ItemPicture(const PanelLayout& panel, const PanelItem& item) {
  static const Canvas kNone;
  if (Is(panel, "TextureTools") && item.id == layout::TextureTools::kPicture) return TextureThumbnail();
  if (Is(panel, "Brushes") && item.id == layout::Brushes::kShape) return BrushShapePicture();
  if (Is(panel, "HeightMap") && item.id == layout::HeightMap::kPicture) return HeightMapPicture();
  if (Is(panel, "Morphing")) return MorphObjectPicture(item.id);
  if (Is(panel, "PaintTools") && item.id == layout::PaintTools::kMapPreview) return MapPicture();
  return kNone;
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
  if (item->kind == ItemKind::List && panel.number == 10) return HandleObjectList(*placed, *item, phase);
  if (item->kind == ItemKind::List && Is(panel, "Tasks")) {
    return phase == kPhasePress ? TaskListPress(ItemRect(*placed, *item), input.mouseX, input.mouseY) : 0;
  }

  if (Is(panel, "DeformTools") && phase == kPhasePress) {
    if (const DeformToolEntry* tool = FindDeformToolByItem(item->id)) return RunToolDrag(*placed, *tool);
  }
  if (Is(panel, "PaintTools") && item->id == layout::PaintTools::kApply && phase == kPhasePress) {
    // "Map apply" follows the mouse in its own loop; the amount shows in the item's corner.
    const Rect r = ItemRect(*placed, *item);
    SetUpToolDrag({r.left + 4, r.top + r.height - 34, 45, 30});
    RunMapApplyDrag();
    ShowAmountReadout(kNoReadoutValue, kNoReadoutValue);
    ui.fullDetail = true;
    return kRedraw;
  }
  if (Is(panel, "TextureTools") && item->id == layout::TextureTools::kOffset) {
    // The offset area pans the texture for as long as the button is held.
    ui.trackingMouse = phase != kPhaseRelease;
    ui.pressedPanel = phase == kPhaseRelease ? 0 : panelNumber;
    ui.pressedItem = phase == kPhaseRelease ? 0 : item->id;
    ui.pressedInside = phase != kPhaseRelease;
    const int result = TextureOffsetDrag(phase, input.mouseX, input.mouseY);
    return phase == kPhaseRelease ? kRedraw : result;
  }
  const Rect rect = ItemRect(*placed, *item);
  const bool inside = input.mouseX >= rect.left && input.mouseY >= rect.top && input.mouseX < rect.left + rect.width &&
                      input.mouseY < rect.top + rect.height;
  if (item->kind == ItemKind::Slider) {
    // Sliders follow the pointer for as long as the button is held.
    const Rect track = SliderTrack(rect, item->label != 0);
    SetItemValue(panel, *item, SliderValueAt(track, ItemMaximum(panel, *item), input.mouseX));
    ui.trackingMouse = phase != kPhaseRelease;
    ui.pressedPanel = phase == kPhaseRelease ? 0 : panelNumber;
    ui.pressedItem = item->id;
    ui.pressedInside = true;
    return kRedraw;
  }
  switch (phase) {
    case kPhasePress:
      ui.pressedPanel = panelNumber;
      ui.pressedItem = item->id;
      ui.pressedInside = true;
      ui.trackingMouse = true;
      return kRedraw;
    case kPhaseDrag:
      if (inside != ui.pressedInside) {
        ui.pressedInside = inside;
        return kRedraw;
      }
      return 0;
    default: {
      ui.trackingMouse = false;
      ui.pressedPanel = ui.pressedItem = 0;
      const bool click = inside;
      ui.pressedInside = false;
      int result = click ? Click(*placed, *item) : 0;
      return result != 0 ? result : kRedraw;
    }
  }
}

int ChooseRoom(int room) {
  if (room < 1 || room > kRoomCount) return -1;
  SetCurrentRoom(room);
  return kRedraw;
}

int ChooseView(int view) {
  SceneObject* object = scene.currentObject;
  if (object == nullptr || view < 0 || view > 6) return -1;
  object->currentView = uint16_t(view);
  object->dirtyFlags = kAllDirty;
  return kRedraw;
}

int DeleteCurrentObject() {
  const int slot = scene.currentObjectIndex;
  if (slot < 0 || !scene.objectTable[size_t(slot)]) return -1;
  DisposeSceneObject(scene.objectTable[size_t(slot)]);
  // The next object in the table becomes current, else the one before.
  for (int next = slot + 1; next < kObjectSlotCount; ++next) {
    if (scene.objectTable[size_t(next)]) {
      (void)SetCurrentObject(next);
      return kRedraw;
    }
  }
  for (int previous = slot - 1; previous >= 0; --previous) {
    if (scene.objectTable[size_t(previous)]) {
      (void)SetCurrentObject(previous);
      return kRedraw;
    }
  }
  return kRedraw;
}

int SelectAdjacentObject(int direction) {
  const std::vector<int> slots = ListedSlots();
  if (slots.empty()) return -1;
  auto at = std::find(slots.begin(), slots.end(), int(scene.currentObjectIndex));
  int index = at == slots.end() ? (direction > 0 ? 0 : int(slots.size()) - 1)
                                : std::clamp(int(at - slots.begin()) + direction, 0, int(slots.size()) - 1);
  (void)SetCurrentObject(slots[size_t(index)]);
  return kRedraw;
}

int CycleFreeViewMode() {
  ui.freeViewMode = FreeViewMode((int(ui.freeViewMode) + 1) % 4);
  return kRedraw;
}

int CycleAxisLock() {
  ui.axisLock = (ui.axisLock + 1) % 4;
  return kRedraw;
}

int StepZoom(int steps) {
  ObjectView* view = CurrentObjectView();
  if (view == nullptr) return -1;
  view->zoom = ZoomFromPosition(PositionFromZoom(view->zoom) + 16.0f * float(steps));
  return kRedraw;
}

int OpenPreferences() {
  (void)RunPreferencesDialog();
  return kRedraw;
}

int UndoLastChange() {
  if (scene.currentObject == nullptr) return -1;
  UndoRedo();
  return kRedraw;
}

int OpenObjectInformation() {
  if (scene.currentObject == nullptr) return -1;
  (void)RunObjectInfoDialog(*scene.currentObject);
  return kRedraw;
}

int OpenProjectInformation() {
  (void)RunProjectInfoDialog();
  return kRedraw;
}

int NewOrganicObject(int shape) {
  NewOrganicShapeObject(shape);  // a failure has been shown
  return kRedraw;
}

int NewSyntheticFromDialog() {
  // The dialog starts from the settings used last time.
  if (RunShapeDialog(ui.lastShapeSettings)) NewSyntheticObject(ui.lastShapeSettings);
  return kRedraw;
}

}  // namespace tsv
