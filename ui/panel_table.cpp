// panel_table.cpp: one row of handlers per panel layout of resources/ui/layout.txt, in the
// layouts' table order. Panels whose commands are not built yet have an empty row: their items
// are greyed and do nothing.
#include "ui/panel_table.h"

#include <array>
#include <cmath>
#include <string>

#include "platform/events.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "tools/brush_settings.h"
#include "tools/tool_frame.h"
#include "ui/brush_panel.h"
#include "ui/animation_panel.h"
#include "ui/composer_panel.h"
#include "ui/layout_ids.h"
#include "ui/loop_result.h"
#include "ui/main_panels.h"
#include "ui/material_panels.h"
#include "ui/object_list.h"
#include "ui/panels.h"
#include "ui/quorvel_panel.h"
#include "ui/room_panels.h"
#include "ui/rooms.h"
#include "ui/task_panel.h"

namespace tsv {
namespace {

bool Always(int) { return true; }

// "Map apply" follows the mouse in its own loop; its amount shows in the item's corner.
int MapApplyPress(const PlacedPanel& placed, const PanelItem& item, int phase) {
  if (item.id != layout::PaintTools::kApply || phase != kPhasePress) return kNotMine;
  const Rect r = ItemRectOnScreen(placed, item);
  SetUpToolDrag({r.left + Scaled(4), r.top + r.height - Scaled(34), Scaled(45), Scaled(30)});
  RunMapApplyDrag();
  ShowAmountReadout(kNoReadoutValue, kNoReadoutValue);
  ui.fullDetail = true;
  return kLoopRedrawViewFull;
}

// The offset area pans the texture for as long as the button is held.
int TextureOffsetPress(const PlacedPanel& placed, const PanelItem& item, int phase) {
  if (item.id != layout::TextureTools::kOffset) return kNotMine;
  const bool holding = phase != kPhaseRelease;
  ui.trackingMouse = holding;
  ui.pressedPanel = holding ? LayoutOf(placed).number : 0;
  ui.pressedItem = holding ? item.id : 0;
  ui.pressedInside = holding;
  const int result = TextureOffsetDrag(phase, input.mouseX, input.mouseY);
  return holding ? result : kLoopRedrawViewFull;
}

int TaskListPressOf(const PlacedPanel& placed, const PanelItem& item, int phase) {
  if (item.kind != ItemKind::List) return kNotMine;
  return phase == kPhasePress ? TaskListPress(ItemRectOnScreen(placed, item), input.mouseX, input.mouseY) : 0;
}

constexpr std::array<PanelHandlers, layout::kLayoutCount> MakePanelTable() {
  std::array<PanelHandlers, layout::kLayoutCount> table{};
  table[layout::TopStrip::kLayout] = {
      .enabled = TopStripItemEnabled,
      .checked = TopStripItemChecked,
      .text = TopStripItemText,
      // In the Quorvels room Undo and Redo step through the edits of the balls.
      .hover =
          [](int item) {
            if (ui.currentRoom != kQuorvelsRoomNumber) return 0;
            if (item == layout::TopStrip::kUndo) return kHoverUndoBalls.id;
            return item == layout::TopStrip::kRedo ? kHoverRedoBalls.id : 0;
          },
      .click = TopStripItemClick,
  };
  table[layout::Views::kLayout] = {
      .enabled = ViewsItemEnabled,
      .checked = ViewsItemChecked,
      .value = ViewsItemValue,
      .setValue = SetViewsItemValue,
      .valueText =
          [](int item, int value, std::string& text) {
            if (item != layout::Views::kZoom) return false;
            const float zoom = ui.currentRoom == kQuorvelsRoomNumber ? KelvaneZoomAtSlider(value)
                                                                      : ZoomFromSlider(float(value));
            text = std::to_string(int(std::lround(zoom * 100.0f))) + "%";
            return true;
          },
      .text = ViewsItemText,
      .click = ViewsItemClick,
  };
  table[layout::ObjectList::kLayout] = {
      .enabled = Always,
      .press = ObjectListPress,
      .drawList = [](Canvas& canvas, Rect rect, bool) { DrawObjectList(canvas, rect); },
  };
  table[layout::Tasks::kLayout] = {
      .enabled = TaskItemEnabled,
      .checked = TaskItemChecked,
      .value = TaskItemValue,
      .setValue = SetTaskItemValue,
      .text =
          [](int item, std::string& text) {
            // Record reads "Stop" while recording: the same control ends it.
            if (item != layout::Tasks::kRecord || !RecordingTasks()) return false;
            text = GetString(kUiTaskStop);
            return true;
          },
      .hover =
          [](int item) {
            return item == layout::Tasks::kRecord && RecordingTasks() ? kHoverTaskStop.id : 0;
          },
      .click = [](int item, Rect) { return TaskItemClick(item); },
      .press = TaskListPressOf,
      .drawList = DrawTaskList,
  };
  table[layout::Brushes::kLayout] = {
      .enabled = BrushItemEnabled,
      .checked = BrushItemChecked,
      .value = BrushItemValue,
      .setValue = SetBrushItemValue,
      .neutral = [](int item) { return item == layout::Brushes::kDepth ? int(kBrushNeutralDepth) : -1; },
      .colour = BrushItemColour,
      .picture = [](int item) { return item == layout::Brushes::kShape ? &BrushShapePicture() : nullptr; },
      .text =
          [](int item, std::string& text) {
            if (item != layout::Brushes::kRepeat) return false;
            text = BrushItemText(item);
            return true;
          },
      .click = [](int item, Rect r) { return BrushItemClick(item, r.left, r.top + r.height); },
  };
  table[layout::DeformTools::kLayout] = {
      .enabled = Always,
      .text = DeformItemText,
      .click = DeformItemClick,
      .press = DeformToolPress,
  };
  table[layout::ObjectTools::kLayout] = {
      .enabled = ObjectToolsItemEnabled, .checked = ObjectToolsItemChecked, .click = ObjectToolsItemClick};
  table[layout::HeightMap::kLayout] = {
      .enabled = HeightMapItemEnabled,
      .checked = HeightMapItemChecked,
      .value = HeightMapItemValue,
      .setValue = SetHeightMapItemValue,
      .picture = [](int item) { return item == layout::HeightMap::kPicture ? &HeightMapPicture() : nullptr; },
      .click = [](int item, Rect) { return HeightMapItemClick(item); },
  };
  table[layout::Morphing::kLayout] = {
      .enabled = MorphItemEnabled,
      .checked = MorphItemChecked,
      .picture = [](int item) { return &MorphObjectPicture(item); },
      .click = [](int item, Rect r) { return MorphItemClick(item, r.left, r.top + r.height); },
  };
  table[layout::PaintTools::kLayout] = {
      .enabled = PaintItemEnabled,
      .checked = PaintItemChecked,
      .value = PaintItemValue,
      .setValue = SetPaintItemValue,
      .colour = PaintItemColour,
      .picture = [](int item) { return item == layout::PaintTools::kMapPreview ? &MapPicture() : nullptr; },
      .click = [](int item, Rect) { return PaintItemClick(item); },
      .press = MapApplyPress,
  };
  table[layout::SceneObjects::kLayout] = {
      .enabled = SceneItemEnabled,
      .checked = SceneItemChecked,
      .click = SceneItemClick,
      .press = SceneItemPress,
  };
  table[layout::RenderSettings::kLayout] = {
      .enabled = RenderSettingsItemEnabled,
      .checked = RenderSettingsItemChecked,
      .click = RenderSettingsItemClick,
  };
  table[layout::Animation::kLayout] = {
      .enabled = AnimationItemEnabled,
      .colour = AnimationItemColour,
      .text = AnimationItemText,
      .click = [](int item, Rect) { return AnimationPanelClick(item); },
  };
  table[layout::OpticsTools::kLayout] = {
      .enabled = OpticsItemEnabled,
      .checked = OpticsItemChecked,
      .value = OpticsItemValue,
      .setValue = SetOpticsItemValue,
      .colour = OpticsItemColour,
      .click = OpticsPanelClick,
  };
  table[layout::TextureTools::kLayout] = {
      .enabled = TextureItemEnabled,
      .checked = TextureItemChecked,
      .value = TextureItemValue,
      .setValue = SetTextureItemValue,
      .picture = [](int item) { return item == layout::TextureTools::kPicture ? &TextureThumbnail() : nullptr; },
      .click = [](int item, Rect) { return TextureItemClick(item); },
      .press = TextureOffsetPress,
  };
  table[layout::Balls::kLayout] = {
      .enabled = BallsItemEnabled,
      .checked = BallsItemChecked,
      .value = BallsItemValue,
      .setValue = SetBallsItemValue,
      .valueText = BallsItemValueText,
      .text = BallsItemText,
      .click = BallsItemClick,
      .press = [](const PlacedPanel&, const PanelItem& item, int phase) { return BallsItemPress(item.id, phase); },
  };
  table[layout::Shapes::kLayout] = {.enabled = ShapesItemEnabled, .click = ShapesItemClick};
  table[layout::MaskTools::kLayout] = {
      .enabled = MaskItemEnabled,
      .checked = MaskItemChecked,
      .click = [](int item, Rect) { return MaskItemClick(item); },
  };
  return table;
}

constexpr std::array<PanelHandlers, layout::kLayoutCount> kPanelTable = MakePanelTable();

}  // namespace

const PanelHandlers& PanelHandlersOf(const PanelLayout& panel) {
  static constexpr PanelHandlers kNone{};
  if (panel.index < 0 || panel.index >= layout::kLayoutCount) return kNone;
  return kPanelTable[size_t(panel.index)];
}

}  // namespace tsv
