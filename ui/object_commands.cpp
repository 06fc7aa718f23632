// object_commands.cpp: Duplicate, Mirror, Merge, Make synthetic and Derivative from the object
// panel, and the derivation dialog.
#include "ui/object_commands.h"

#include <algorithm>
#include <string>
#include <vector>

#include "mesh/mesh_state.h"
#include "mesh/object_copies.h"
#include "platform/events.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"
#include "ui/layout_ids.h"
#include "ui/loop_result.h"
#include "ui/menus.h"
#include "ui/object_list.h"
#include "ui/panels.h"
#include "ui/rooms.h"
#include "ui/widgets.h"

namespace tsv {
namespace {

constexpr int kMargin = 12;
constexpr int kDialogWidth = 470;
constexpr int kCheckHeight = 20;
constexpr int kAboutLineHeight = 15;
constexpr int kAboutIndent = 24;
constexpr int kGap = 8;
constexpr int kButtonHeight = 24;

// The current object bound to the work arrays again after its mesh changed.
void Rebind() {
  if (scene.currentObjectIndex >= 0) (void)SetCurrentObject(scene.currentObjectIndex);  // failures are shown
  ui.fullDetail = true;
}

const DialogItem* Find(const Dialog& dialog, int id) {
  const int index = FindDialogItem(dialog, id);
  return index >= 0 ? &dialog.items[size_t(index)] : nullptr;
}

bool Checked(const Dialog& dialog, int id) {
  const DialogItem* item = Find(dialog, id);
  return item != nullptr && item->checked;
}

int Check(Dialog& dialog, Rect rect, StringId text, bool checked, StringId hover, int id) {
  const int index = AddCheckBox(dialog, rect, GetString(text), checked, GetString(hover));
  dialog.items[size_t(index)].id = id;
  return index;
}

// A check box with its explanation wrapped below it, in the small font; returns the next top.
int CheckWithAbout(Dialog& dialog, int top, StringId text, bool checked, StringId hover, int id, StringId about) {
  Check(dialog, {kMargin, top, kDialogWidth - 2 * kMargin, kCheckHeight}, text, checked, hover, id);
  top += kCheckHeight;
  const int width = kDialogWidth - 2 * kMargin - kAboutIndent;
  for (const std::string& line : WrapText(FontKind::Small, GetString(about), width)) {
    AddLabel(dialog, {kMargin + kAboutIndent, top, width, kAboutLineHeight}, line, {TextAlign::Left, FontKind::Small},
             GetString(hover));
    top += kAboutLineHeight;
  }
  return top + kGap;
}

}  // namespace

int DuplicateCurrentObject() {
  if (scene.currentObject == nullptr) return -1;
  (void)DuplicateObject(scene.currentObject);  // failures are shown
  return kLoopRedrawViewFull;
}

int MirrorCurrentObject(Rect item) {
  SceneObject* object = scene.currentObject;
  if (object == nullptr) return -1;
  const int preset = MirrorAxisOfSetting(uint16_t(ui.axisLock));
  const std::vector<std::string> axes = {GetString(kMirrorAcrossX), GetString(kMirrorAcrossY),
                                         GetString(kMirrorAcrossZ)};
  const int axis = PopUpMenu(axes, item.left, item.top + item.height, preset);
  if (axis < 0) return kLoopRedrawViewFull;
  if (MirrorObject(object, axis)) Rebind();
  return kLoopRedrawViewFull;
}

bool TakeBackCurrentMirror() {
  SceneObject* object = scene.currentObject;
  if (object == nullptr || !TakeBackMirror(*object)) return false;
  Rebind();
  return true;
}

int StartMerge() {
  if (scene.currentObject == nullptr || ObjectCount() < 2) return -1;
  ui.mergeFirst = scene.currentObject->serial;
  return kLoopRedrawViewFull;
}

bool MergeWaiting() { return ui.mergeFirst != 0; }

void CancelMerge() { ui.mergeFirst = 0; }

int MergeWithPressed(uint16_t partCode) {
  SceneObject* first = FindObjectBySerial(ui.mergeFirst);
  CancelMerge();
  if (first == nullptr) return kLoopRedrawViewFull;
  SceneObject* second = nullptr;
  const int panel = partCode >> 8;
  if (panel == layout::ObjectList::kPanel && (partCode & 0xFF) == layout::ObjectList::kList) {
    if (const PlacedPanel* placed = FindPlacedPanel(panel)) {
      if (const PanelItem* list = FindItem(LayoutOf(*placed), layout::ObjectList::kList)) {
        const int slot = ObjectListSlotAt(ItemRectOnScreen(*placed, *list), input.mouseX, input.mouseY);
        if (slot >= 0) second = scene.objectTable[size_t(slot)].get();
      }
    }
  } else if (panel == kStripPanel) {
    second = ChooseFromStripPopUp();
  }
  if (second != nullptr && second != first) (void)MergeObjects(first, second);  // failures are shown
  return kLoopRedrawViewFull;
}

void DrawMergePrompt(Canvas& canvas) {
  if (!MergeWaiting()) return;
  const Rect& view = ui.viewRect;
  const StringId lines[] = {kAskMergeLine1, kAskMergeLine2, kAskMergeLine3, kAskMergeLine4};
  const int lineHeight = int(20 * ui.scale);
  int width = 0;
  for (StringId line : lines) width = std::max(width, TextWidth(FontKind::Normal, GetString(line)));
  // Below the corner where the view shows its drawing time.
  const Rect box{view.left + 10, view.top + int(28 * ui.scale), width + 20, 4 * lineHeight + 12};
  FillRect(canvas, box, 0x202020);
  FrameRect(canvas, box, kAccentColour);
  for (int i = 0; i < 4; ++i) {
    DrawLabel(canvas, {box.left + 10, box.top + 6 + i * lineHeight, width, lineHeight}, GetString(lines[i]),
              {TextAlign::Left, FontKind::Normal, true, Rgb(255, 255, 255)});
  }
}

int MakeCurrentSynthetic() {
  SceneObject* object = scene.currentObject;
  if (object == nullptr || object->isOrganic == 0) return -1;
  if (!ConfirmHierarchyLoss(*object)) return kLoopRedrawViewFull;
  if (MakeSynthetic(object)) Rebind();
  return kLoopRedrawViewFull;
}

Dialog MakeDerivativeDialog(const DerivationSteps& steps, bool protectEdges) {
  Dialog dialog;
  dialog.title = GetString(kMeshDerivative);
  dialog.width = kDialogWidth;
  const int half = (kDialogWidth - 2 * kMargin) / 2;
  int top = kMargin;
  Check(dialog, {kMargin, top, half, kCheckHeight}, kImportJoinVertices, steps.joinPoints, kHoverDeriveJoin,
        kDeriveJoin);
  Check(dialog, {kMargin + half, top, half, kCheckHeight}, kImportCorrectNormals, steps.correctNormals,
        kHoverDeriveNormals, kDeriveNormals);
  top += kCheckHeight + kGap;
  top = CheckWithAbout(dialog, top, kMeshSimplification, steps.simplifyPasses > 0, kHoverDeriveSimplify,
                       kDeriveSimplify, kMeshAboutSimplification);
  top = CheckWithAbout(dialog, top, kMeshQuadDensity, steps.quadPasses > 0, kHoverDeriveQuad, kDeriveQuad,
                       kMeshAboutQuadDensity);
  top = CheckWithAbout(dialog, top, kMeshAdaptiveRemesh, steps.adaptiveRemesh, kHoverDeriveAdaptive,
                       kDeriveAdaptive, kMeshAboutAdaptiveRemesh);
  Check(dialog, {kMargin, top, kDialogWidth - 2 * kMargin, kCheckHeight}, kImportProtectEdges, protectEdges,
        kHoverDeriveProtect, kDeriveProtectEdges);
  top += kCheckHeight + kGap;
  // The three quarter turns share the row with the inversion, which has the longest label.
  constexpr int kAxisWidth = 90;
  Check(dialog, {kMargin, top, kAxisWidth, kCheckHeight}, kImportXAxis, steps.turnsX > 0, kHoverDeriveTurn, kDeriveTurnX);
  Check(dialog, {kMargin + kAxisWidth, top, kAxisWidth, kCheckHeight}, kImportYAxis, steps.turnsY > 0,
        kHoverDeriveTurn, kDeriveTurnY);
  Check(dialog, {kMargin + 2 * kAxisWidth, top, kAxisWidth, kCheckHeight}, kImportZAxis, steps.turnsZ > 0,
        kHoverDeriveTurn, kDeriveTurnZ);
  Check(dialog, {kMargin + 3 * kAxisWidth, top, kDialogWidth - 2 * kMargin - 3 * kAxisWidth, kCheckHeight},
        kImportInvertNormals, steps.invertNormals, kHoverDeriveInvert, kDeriveInvert);
  top += kCheckHeight;
  dialog.height = top + kMargin + kButtonHeight + kMargin;
  AddOkCancel(dialog);
  return dialog;
}

void ReadDerivativeDialog(const Dialog& dialog, DerivationSteps& steps, bool& protectEdges) {
  steps.joinPoints = Checked(dialog, kDeriveJoin);
  steps.correctNormals = Checked(dialog, kDeriveNormals);
  steps.simplifyPasses = Checked(dialog, kDeriveSimplify) ? 1 : 0;
  steps.quadPasses = Checked(dialog, kDeriveQuad) ? 1 : 0;
  steps.adaptiveRemesh = Checked(dialog, kDeriveAdaptive);
  steps.turnsX = Checked(dialog, kDeriveTurnX) ? 1 : 0;
  steps.turnsY = Checked(dialog, kDeriveTurnY) ? 1 : 0;
  steps.turnsZ = Checked(dialog, kDeriveTurnZ) ? 1 : 0;
  steps.invertNormals = Checked(dialog, kDeriveInvert);
  protectEdges = Checked(dialog, kDeriveProtectEdges);
}

int DeriveFromDialog() {
  if (scene.currentObject == nullptr) return -1;
  Dialog dialog = MakeDerivativeDialog(ui.lastDerivation, meshState.preserveBorders);
  if (RunDialog(dialog).role == ButtonRole::Cancel) return kLoopRedrawViewFull;
  ReadDerivativeDialog(dialog, ui.lastDerivation, meshState.preserveBorders);
  (void)DeriveNewObject(ui.lastDerivation);  // failures are shown; the current object stays
  ui.fullDetail = true;
  return kLoopRedrawViewFull;
}

}  // namespace tsv
