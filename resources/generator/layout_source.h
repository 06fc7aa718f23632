// layout_source.h: the declarative room and panel layouts (resources/ui/layout.txt) for the
// resource generator: parsing, and writing the layout table, the item maps, the panel pictures and
// the C++ constants of the items.
//
// Source lines (blank lines and '#' comments ignored):
//   panel <Name> <number> <width> <height>
//     frame <x> <y> <w> <h> <kTitle|->              a group frame with an optional title
//     flow <x> <y> <columns> <cellW> <cellH> <gapX> <gapY>
//     item <id> <kName> <kind> [@ <x> <y> <w> <h>] <kLabel|-> <kHover> [key=<k>]
//   room <number> <kRoomName>
//     place <Name> <left|right|view> <dx> <top|view|bottom> <dy>
// An item without "@ x y w h" takes the next cell of the panel's current flow.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "resources/generator/string_source.h"

namespace tsv::resgen {

enum class ItemKind : uint32_t {
  Button = 1, Toggle, Tab, Drag, Trackball, Slider, Swatch, Field, List, Label, Picture, Menu, Readout, View,
};

struct LayoutItem {
  int32_t id = 0;          // 1..255 within the panel
  std::string name;        // C++ constant
  ItemKind kind = ItemKind::Button;
  int32_t x = 0, y = 0, width = 0, height = 0;
  int32_t label = 0;       // string-table id, 0 for none
  int32_t hover = 0;       // string-table id
  std::string key;         // the key shown in the hover text, e.g. "e" or "Ctrl+P"
};

struct LayoutFrame {
  int32_t x = 0, y = 0, width = 0, height = 0;
  int32_t title = 0;
};

struct PanelLayout {
  std::string name;
  int32_t number = 0;  // panel number 1..16
  int32_t width = 0, height = 0;
  std::vector<LayoutFrame> frames;
  std::vector<LayoutItem> items;
};

enum class Anchor : uint32_t { Left = 0, Right = 1, View = 2, Top = 3, Bottom = 4 };

struct Placement {
  int32_t layout = 0;  // index into the panel layouts
  Anchor xAnchor = Anchor::Left;
  int32_t dx = 0;
  Anchor yAnchor = Anchor::Top;
  int32_t dy = 0;
};

struct RoomLayout {
  int32_t number = 0;
  int32_t name = 0;  // string-table id
  std::vector<Placement> places;
};

struct InterfaceLayout {
  std::vector<PanelLayout> panels;
  std::vector<RoomLayout> rooms;
};

// Parses the layout source; faults go to `errors` as "file:line: message". String constants are
// looked up in `strings`.
InterfaceLayout ParseLayoutSource(const std::string& contents, const std::string& fileName,
                                  const std::vector<StringEntry>& strings, std::vector<std::string>& errors);

// The resources: the layout table, one item map (7 bytes a pixel, the item in the seventh) and one
// picture (big-endian 0x00RRGGBB words) per panel layout.
inline constexpr int kLayoutTableResource = 5000;
inline constexpr int kFirstItemMapResource = 5100;
inline constexpr int kFirstPanelPictureResource = 5300;
inline constexpr int kMaxPanelLayouts = 200;

std::string FormatLayoutTable(const InterfaceLayout& layout);
std::string FormatItemMap(const PanelLayout& panel);
std::string FormatPanelPicture(const PanelLayout& panel);
// One namespace per panel layout with its item ids: layout::<Name>::k<Item>.
std::string FormatLayoutHeader(const InterfaceLayout& layout);

}  // namespace tsv::resgen
