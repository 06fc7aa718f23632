// panel_table.h: what the items of each panel layout do, as one row of handlers per layout, keyed
// by the layout's index in the layout table (layout::<Panel>::kLayout). The panel protocol
// (panels.h) asks the row of the panel an event or a drawing concerns. A new panel is one row in
// panel_table.cpp and the handlers it names.
#pragma once

#include <cstdint>
#include <string>

#include "platform/canvas.h"
#include "ui/interface_layout.h"

namespace tsv {

struct PlacedPanel;

inline constexpr uint32_t kNoItemColour = 0xFFFFFFFFu;

struct PanelHandlers {
  // Whether an item works now. Null: no item of the panel works yet (all are greyed).
  bool (*enabled)(int item) = nullptr;
  // Toggles and tabs: on or off. Null: all off.
  bool (*checked)(int item) = nullptr;
  // Sliders: the value 0..256, and a new value while the button is held.
  int (*value)(int item) = nullptr;
  void (*setValue)(int item, int value) = nullptr;
  // Sliders: the value as shown beside the track (null: the number itself), and where a mark on
  // the track shows the neutral value (null or -1: no mark).
  bool (*valueText)(int item, int value, std::string& text) = nullptr;
  int (*neutral)(int item) = nullptr;
  // Swatches: the colour shown, 0xRRGGBB. Buttons: a mark of that colour along the bottom edge,
  // none for kNoItemColour.
  uint32_t (*colour)(int item) = nullptr;
  // Picture items: what they show; null (or a null handler) shows an empty box.
  const Canvas* (*picture)(int item) = nullptr;
  // Items whose text changes (menus that show their choice, labels): `text` comes in as the item's
  // label; true when the handler changed it.
  bool (*text)(int item, std::string& text) = nullptr;
  // Items whose hover text follows their state (Record reads "Stop" while recording): the text's
  // id, or 0 for the item's own.
  int32_t (*hover)(int item) = nullptr;
  // A click: press and release on the same item. `rect` is the item on the screen (pop-up menus
  // open under it). A loop result; 0 redraws the window.
  int (*click)(int item, Rect rect) = nullptr;
  // Items that follow the press themselves (tool drags, lists, the offset area): the loop result
  // of the phase, or kNotMine for the usual press, drag and release of buttons and sliders.
  int (*press)(const PlacedPanel& placed, const PanelItem& item, int phase) = nullptr;
  // Lists that draw their own rows (the object list, the task list); null: an empty list box.
  void (*drawList)(Canvas& canvas, Rect rect, bool enabled) = nullptr;
};

// The row of a panel layout; an empty row for an index outside the table.
const PanelHandlers& PanelHandlersOf(const PanelLayout& panel);

}  // namespace tsv
