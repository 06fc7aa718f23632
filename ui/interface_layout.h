// interface_layout.h: the rooms and panels of the window as the resource folder describes them:
// every panel layout with its items, item map and background picture, and every room with the
// places of its panels. Loaded once at start-up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/canvas.h"

namespace tsv {

enum class ItemKind : uint32_t {
  Button = 1, Toggle, Tab, Drag, Trackball, Slider, Swatch, Field, List, Label, Picture, Menu, Readout, View,
};

struct PanelItem {
  int id = 0;
  ItemKind kind = ItemKind::Button;
  Rect rect;          // relative to the panel
  int32_t label = 0;  // string-table id, 0 for none
  int32_t hover = 0;
  std::string key;    // shown in the hover text
};

struct PanelFrame {
  Rect rect;
  int32_t title = 0;
};

struct PanelLayout {
  int index = 0;  // its place in the layout table: the key of its handlers (layout::<name>::kLayout)
  std::string name;
  int number = 0;
  int width = 0, height = 0;
  std::vector<PanelFrame> frames;
  std::vector<PanelItem> items;
  std::vector<uint8_t> itemMap;  // the item under each pixel, row by row (0 = none)
  Canvas picture;                // the panel's background
};

enum class Anchor : uint32_t { Left = 0, Right = 1, View = 2, Top = 3, Bottom = 4 };

struct PanelPlace {
  int layout = 0;  // index into InterfaceLayout::panels
  Anchor xAnchor = Anchor::Left;
  int dx = 0;
  Anchor yAnchor = Anchor::Top;
  int dy = 0;
};

struct RoomLayout {
  int number = 0;
  int32_t name = 0;
  std::vector<PanelPlace> places;
};

struct InterfaceLayout {
  std::vector<PanelLayout> panels;
  std::vector<RoomLayout> rooms;
};

inline constexpr int kLayoutTableResource = 5000;
inline constexpr int kFirstItemMapResource = 5100;
inline constexpr int kFirstPanelPictureResource = 5300;

// Reads the layout table, the item maps and the pictures. A missing or damaged resource is
// reported (the resource loader's message, or "Error reading resource ^0") and gives false.
[[nodiscard]] bool LoadInterfaceLayout(InterfaceLayout& layout);
// The layout table alone from its bytes; false when they are damaged.
[[nodiscard]] bool ParseLayoutTable(const std::vector<uint8_t>& bytes, InterfaceLayout& layout);

const PanelItem* FindItem(const PanelLayout& panel, int id);

}  // namespace tsv
