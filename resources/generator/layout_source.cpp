// layout_source.cpp: parsing and compiling the room and panel layouts.
#include "resources/generator/layout_source.h"

#include <sstream>

namespace tsv::resgen {
namespace {

struct Flow {
  int32_t x = 0, y = 0, columns = 1, cellWidth = 0, cellHeight = 0, gapX = 0, gapY = 0;
  int32_t next = 0;
  bool set = false;
};

const std::map<std::string, ItemKind>& Kinds() {
  static const std::map<std::string, ItemKind> kinds = {
      {"button", ItemKind::Button}, {"toggle", ItemKind::Toggle},   {"tab", ItemKind::Tab},
      {"drag", ItemKind::Drag},     {"trackball", ItemKind::Trackball}, {"slider", ItemKind::Slider},
      {"swatch", ItemKind::Swatch}, {"field", ItemKind::Field},     {"list", ItemKind::List},
      {"label", ItemKind::Label},   {"picture", ItemKind::Picture}, {"menu", ItemKind::Menu},
      {"readout", ItemKind::Readout}, {"view", ItemKind::View}};
  return kinds;
}

bool ToInt(const std::string& s, int32_t& out) {
  if (s.empty()) return false;
  size_t i = s[0] == '-' ? 1 : 0;
  if (i == s.size()) return false;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
    if (v > 100000) return false;
  }
  out = int32_t(s[0] == '-' ? -v : v);
  return true;
}

void PutU32(std::string& out, uint32_t v) {
  out += char(v >> 24);
  out += char(v >> 16);
  out += char(v >> 8);
  out += char(v);
}

void PutText(std::string& out, const std::string& text) {
  PutU32(out, uint32_t(text.size()));
  out += text;
  while (out.size() % 4) out += '\0';
}

}  // namespace

InterfaceLayout ParseLayoutSource(const std::string& contents, const std::string& fileName,
                                  const std::vector<StringEntry>& strings, std::vector<std::string>& errors) {
  std::map<std::string, int32_t> ids;
  for (const StringEntry& e : strings) ids[e.name] = e.id;
  std::map<std::string, int32_t> layoutIndex;

  InterfaceLayout layout;
  PanelLayout* panel = nullptr;
  RoomLayout* room = nullptr;
  Flow flow;
  std::istringstream in(contents);
  std::string line;
  int lineNumber = 0;
  auto fail = [&](const std::string& message) { errors.push_back(fileName + ":" + std::to_string(lineNumber) + ": " + message); };
  auto stringId = [&](const std::string& name, int32_t& id, bool optional) {
    if (optional && name == "-") {
      id = 0;
      return true;
    }
    auto found = ids.find(name);
    if (found == ids.end()) {
      fail("unknown string " + name);
      return false;
    }
    id = found->second;
    return true;
  };

  while (std::getline(in, line)) {
    ++lineNumber;
    size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.empty()) continue;

    if (w[0] == "panel") {
      PanelLayout p;
      if (w.size() != 5 || !ToInt(w[2], p.number) || !ToInt(w[3], p.width) || !ToInt(w[4], p.height) ||
          p.number < 1 || p.number > 16 || p.width < 1 || p.height < 1 || p.width > 4096 || p.height > 4096) {
        fail("expected: panel <Name> <1..16> <width> <height>");
        continue;
      }
      p.name = w[1];
      if (layoutIndex.count(p.name)) {
        fail("panel " + p.name + " defined twice");
        continue;
      }
      layoutIndex[p.name] = int32_t(layout.panels.size());
      layout.panels.push_back(p);
      panel = &layout.panels.back();
      room = nullptr;
      flow = Flow{};
    } else if (w[0] == "frame") {
      LayoutFrame f;
      if (panel == nullptr || w.size() != 6 || !ToInt(w[1], f.x) || !ToInt(w[2], f.y) || !ToInt(w[3], f.width) ||
          !ToInt(w[4], f.height) || !stringId(w[5], f.title, true)) {
        fail("expected inside a panel: frame <x> <y> <w> <h> <kTitle|->");
        continue;
      }
      panel->frames.push_back(f);
    } else if (w[0] == "flow") {
      Flow f;
      if (panel == nullptr || w.size() != 8 || !ToInt(w[1], f.x) || !ToInt(w[2], f.y) || !ToInt(w[3], f.columns) ||
          !ToInt(w[4], f.cellWidth) || !ToInt(w[5], f.cellHeight) || !ToInt(w[6], f.gapX) || !ToInt(w[7], f.gapY) ||
          f.columns < 1) {
        fail("expected inside a panel: flow <x> <y> <columns> <cellW> <cellH> <gapX> <gapY>");
        continue;
      }
      f.set = true;
      flow = f;
    } else if (w[0] == "item") {
      LayoutItem item;
      size_t k = 4;
      if (panel == nullptr || w.size() < 6 || !ToInt(w[1], item.id) || item.id < 1 || item.id > 255) {
        fail("expected inside a panel: item <1..255> <kName> <kind> [@ x y w h] <kLabel|-> <kHover> [key=K]");
        continue;
      }
      item.name = w[2];
      auto kind = Kinds().find(w[3]);
      if (kind == Kinds().end()) {
        fail("unknown item kind " + w[3]);
        continue;
      }
      item.kind = kind->second;
      if (w[4] == "@") {
        if (w.size() < 11 || !ToInt(w[5], item.x) || !ToInt(w[6], item.y) || !ToInt(w[7], item.width) ||
            !ToInt(w[8], item.height)) {
          fail("expected @ <x> <y> <w> <h>");
          continue;
        }
        k = 9;
      } else if (flow.set) {
        item.x = flow.x + (flow.next % flow.columns) * (flow.cellWidth + flow.gapX);
        item.y = flow.y + (flow.next / flow.columns) * (flow.cellHeight + flow.gapY);
        item.width = flow.cellWidth;
        item.height = flow.cellHeight;
        ++flow.next;
      } else {
        fail("item without a place and no flow set");
        continue;
      }
      if (k + 2 > w.size() || !stringId(w[k], item.label, true) || !stringId(w[k + 1], item.hover, false)) continue;
      for (size_t extra = k + 2; extra < w.size(); ++extra) {
        if (w[extra].rfind("key=", 0) == 0) {
          item.key = w[extra].substr(4);
        } else {
          fail("unexpected word " + w[extra]);
        }
      }
      if (item.x < 0 || item.y < 0 || item.width < 1 || item.height < 1 || item.x + item.width > panel->width ||
          item.y + item.height > panel->height) {
        fail("item " + item.name + " lies outside its panel");
        continue;
      }
      for (const LayoutItem& other : panel->items) {
        if (other.id == item.id) fail("item id " + std::to_string(item.id) + " used twice in " + panel->name);
        if (other.name == item.name) fail("item name " + item.name + " used twice in " + panel->name);
        bool overlap = item.x < other.x + other.width && other.x < item.x + item.width &&
                       item.y < other.y + other.height && other.y < item.y + item.height;
        if (overlap) fail("item " + item.name + " overlaps " + other.name);
      }
      panel->items.push_back(item);
    } else if (w[0] == "room") {
      RoomLayout r;
      if (w.size() != 3 || !ToInt(w[1], r.number) || r.number < 1 || r.number > 10 || !stringId(w[2], r.name, false)) {
        fail("expected: room <1..10> <kName>");
        continue;
      }
      layout.rooms.push_back(r);
      room = &layout.rooms.back();
      panel = nullptr;
    } else if (w[0] == "place") {
      Placement p;
      auto anchor = [](const std::string& s, Anchor& a, bool horizontal) {
        if (horizontal && s == "left") a = Anchor::Left;
        else if (horizontal && s == "right") a = Anchor::Right;
        else if (s == "view") a = Anchor::View;
        else if (!horizontal && s == "top") a = Anchor::Top;
        else if (!horizontal && s == "bottom") a = Anchor::Bottom;
        else return false;
        return true;
      };
      auto found = w.size() == 6 ? layoutIndex.find(w[1]) : layoutIndex.end();
      if (room == nullptr || found == layoutIndex.end() || !anchor(w[2], p.xAnchor, true) || !ToInt(w[3], p.dx) ||
          !anchor(w[4], p.yAnchor, false) || !ToInt(w[5], p.dy)) {
        fail("expected inside a room: place <PanelName> <left|right|view> <dx> <top|view|bottom> <dy>");
        continue;
      }
      p.layout = found->second;
      room->places.push_back(p);
    } else {
      fail("unknown line " + w[0]);
    }
  }
  if (layout.panels.size() > size_t(kMaxPanelLayouts)) errors.push_back(fileName + ": too many panel layouts");
  return layout;
}

std::string FormatLayoutTable(const InterfaceLayout& layout) {
  std::string out;
  PutU32(out, 0x4C415954);  // 'LAYT'
  PutU32(out, 1);
  PutU32(out, uint32_t(layout.panels.size()));
  PutU32(out, uint32_t(layout.rooms.size()));
  for (const PanelLayout& p : layout.panels) {
    PutU32(out, uint32_t(p.number));
    PutU32(out, uint32_t(p.width));
    PutU32(out, uint32_t(p.height));
    PutU32(out, uint32_t(p.frames.size()));
    PutU32(out, uint32_t(p.items.size()));
    PutText(out, p.name);
    for (const LayoutFrame& f : p.frames) {
      for (int32_t v : {f.x, f.y, f.width, f.height, f.title}) PutU32(out, uint32_t(v));
    }
    for (const LayoutItem& i : p.items) {
      for (int32_t v : {i.id, int32_t(i.kind), i.x, i.y, i.width, i.height, i.label, i.hover}) PutU32(out, uint32_t(v));
      PutText(out, i.key);
    }
  }
  for (const RoomLayout& r : layout.rooms) {
    PutU32(out, uint32_t(r.number));
    PutU32(out, uint32_t(r.name));
    PutU32(out, uint32_t(r.places.size()));
    for (const Placement& p : r.places) {
      for (int32_t v : {p.layout, int32_t(p.xAnchor), p.dx, int32_t(p.yAnchor), p.dy}) PutU32(out, uint32_t(v));
    }
  }
  return out;
}

std::string FormatItemMap(const PanelLayout& panel) {
  std::string map(size_t(panel.width) * size_t(panel.height) * 7, '\0');
  for (const LayoutItem& item : panel.items) {
    for (int32_t y = item.y; y < item.y + item.height; ++y) {
      for (int32_t x = item.x; x < item.x + item.width; ++x) {
        map[(size_t(y) * size_t(panel.width) + size_t(x)) * 7 + 6] = char(item.id);
      }
    }
  }
  return map;
}

std::string FormatPanelPicture(const PanelLayout& panel) {
  const uint32_t background = 0xDADADA, edge = 0xB4B4B4, frameDark = 0xBEBEBE, frameLight = 0xF0F0F0;
  std::vector<uint32_t> pixels(size_t(panel.width) * size_t(panel.height), background);
  auto put = [&](int32_t x, int32_t y, uint32_t c) {
    if (x >= 0 && y >= 0 && x < panel.width && y < panel.height) pixels[size_t(y) * size_t(panel.width) + size_t(x)] = c;
  };
  auto box = [&](int32_t x, int32_t y, int32_t w, int32_t h, uint32_t c) {
    for (int32_t i = 0; i < w; ++i) {
      put(x + i, y, c);
      put(x + i, y + h - 1, c);
    }
    for (int32_t j = 0; j < h; ++j) {
      put(x, y + j, c);
      put(x + w - 1, y + j, c);
    }
  };
  box(0, 0, panel.width, panel.height, edge);
  // Group frames: an etched line, dark above light, so groups read without heavy borders.
  for (const LayoutFrame& f : panel.frames) {
    box(f.x + 1, f.y + 1, f.width, f.height, frameLight);
    box(f.x, f.y, f.width, f.height, frameDark);
  }
  std::string out;
  out.reserve(pixels.size() * 4);
  for (uint32_t p : pixels) PutU32(out, p);
  return out;
}

std::string FormatLayoutHeader(const InterfaceLayout& layout) {
  std::string out =
      "// layout_ids.h: generated from resources/ui/layout.txt by the resource generator; do not edit.\n"
      "// Every panel layout: its index in the layout table (kLayout), its panel number and its item ids.\n"
      "#pragma once\n\nnamespace tsv::layout {\n";
  for (size_t index = 0; index < layout.panels.size(); ++index) {
    const PanelLayout& p = layout.panels[index];
    out += "\nnamespace " + p.name + " {\ninline constexpr int kLayout = " + std::to_string(index) + ";\n";
    out += "inline constexpr int kPanel = " + std::to_string(p.number) + ";\n";
    for (const LayoutItem& i : p.items) out += "inline constexpr int " + i.name + " = " + std::to_string(i.id) + ";\n";
    out += "}  // namespace " + p.name + "\n";
  }
  out += "\ninline constexpr int kLayoutCount = " + std::to_string(layout.panels.size()) + ";\n";
  out += "// The layouts' names in table order, to check the table read at start against this header.\n";
  out += "inline constexpr const char* kLayoutNames[kLayoutCount] = {";
  for (size_t index = 0; index < layout.panels.size(); ++index) {
    out += (index == 0 ? "\"" : ", \"") + layout.panels[index].name + "\"";
  }
  out += "};\n";
  return out + "\n}  // namespace tsv::layout\n";
}

}  // namespace tsv::resgen
