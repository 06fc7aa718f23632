// interface_layout.cpp: reading the layout resources, every count and size checked against the
// bytes there are.
#include "ui/interface_layout.h"

#include "platform/byte_order.h"
#include "platform/resources.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "ui/layout_ids.h"

namespace tsv {
namespace {

struct Reader {
  const std::vector<uint8_t>& bytes;
  size_t at = 0;
  bool failed = false;
  uint32_t U32() {
    if (at + 4 > bytes.size()) {
      failed = true;
      return 0;
    }
    uint32_t v = LoadU32BE(bytes.data() + at);
    at += 4;
    return v;
  }
  int32_t I32() { return int32_t(U32()); }
  std::string Text() {
    uint32_t length = U32();
    if (failed || length > 255 || at + length > bytes.size()) {
      failed = true;
      return {};
    }
    std::string text(reinterpret_cast<const char*>(bytes.data() + at), length);
    at += (length + 3) & ~3u;
    return text;
  }
  // A count of records of at least `recordBytes` each that the remaining bytes could hold.
  uint32_t Count(size_t recordBytes) {
    uint32_t n = U32();
    if (!failed && n > (bytes.size() - at) / recordBytes) failed = true;
    return failed ? 0 : n;
  }
};

bool InPanel(const Rect& r, int width, int height) {
  return r.left >= 0 && r.top >= 0 && r.width > 0 && r.height > 0 && r.left + r.width <= width &&
         r.top + r.height <= height;
}

}  // namespace

bool ParseLayoutTable(const std::vector<uint8_t>& bytes, InterfaceLayout& layout) {
  Reader r{bytes};
  if (r.U32() != 0x4C415954 || r.U32() != 1) return false;
  uint32_t panelCount = r.Count(24);
  uint32_t roomCount = r.Count(12);
  InterfaceLayout result;
  for (uint32_t k = 0; k < panelCount && !r.failed; ++k) {
    PanelLayout p;
    p.index = int(k);
    p.number = r.I32();
    p.width = r.I32();
    p.height = r.I32();
    uint32_t frames = r.Count(20);
    uint32_t items = r.Count(36);
    p.name = r.Text();
    if (p.number < 1 || p.number > 16 || p.width < 1 || p.height < 1 || p.width > 4096 || p.height > 4096) return false;
    for (uint32_t f = 0; f < frames && !r.failed; ++f) {
      PanelFrame frame;
      frame.rect = {r.I32(), r.I32(), r.I32(), r.I32()};
      frame.title = r.I32();
      p.frames.push_back(frame);
    }
    for (uint32_t i = 0; i < items && !r.failed; ++i) {
      PanelItem item;
      item.id = r.I32();
      item.kind = ItemKind(r.U32());
      item.rect = {r.I32(), r.I32(), r.I32(), r.I32()};
      item.label = r.I32();
      item.hover = r.I32();
      item.key = r.Text();
      if (item.id < 1 || item.id > 255 || uint32_t(item.kind) < 1 || uint32_t(item.kind) > uint32_t(ItemKind::View) ||
          !InPanel(item.rect, p.width, p.height)) {
        return false;
      }
      p.items.push_back(item);
    }
    result.panels.push_back(std::move(p));
  }
  for (uint32_t k = 0; k < roomCount && !r.failed; ++k) {
    RoomLayout room;
    room.number = r.I32();
    room.name = r.I32();
    uint32_t places = r.Count(20);
    for (uint32_t i = 0; i < places && !r.failed; ++i) {
      PanelPlace place;
      place.layout = r.I32();
      place.xAnchor = Anchor(r.U32());
      place.dx = r.I32();
      place.yAnchor = Anchor(r.U32());
      place.dy = r.I32();
      if (place.layout < 0 || size_t(place.layout) >= result.panels.size() || uint32_t(place.xAnchor) > 4 ||
          uint32_t(place.yAnchor) > 4) {
        return false;
      }
      room.places.push_back(place);
    }
    result.rooms.push_back(std::move(room));
  }
  if (r.failed) return false;
  layout = std::move(result);
  return true;
}

bool LoadInterfaceLayout(InterfaceLayout& layout) {
  auto damaged = [](int id) {
    ShowStopMessage(FormatString(kResReadError, {std::to_string(id)}));
    return false;
  };
  std::optional<std::vector<uint8_t>> table = LoadResourceFile(ResourceKind::Data, kLayoutTableResource);
  if (!table) return false;
  InterfaceLayout result;
  if (!ParseLayoutTable(*table, result)) return damaged(kLayoutTableResource);
  // The panels' handlers are tabled by the layouts this program was built with.
  if (result.panels.size() != size_t(layout::kLayoutCount)) return damaged(kLayoutTableResource);
  for (size_t k = 0; k < result.panels.size(); ++k) {
    if (result.panels[k].name != layout::kLayoutNames[k]) return damaged(kLayoutTableResource);
  }
  for (size_t k = 0; k < result.panels.size(); ++k) {
    PanelLayout& p = result.panels[k];
    const size_t pixels = size_t(p.width) * size_t(p.height);
    const int mapId = kFirstItemMapResource + int(k);
    const int pictureId = kFirstPanelPictureResource + int(k);
    std::optional<std::vector<uint8_t>> map = LoadResourceFile(ResourceKind::Data, mapId, pixels * 7);
    if (!map) return false;
    std::optional<std::vector<uint8_t>> picture = LoadResourceFile(ResourceKind::Data, pictureId, pixels * 4);
    if (!picture) return false;
    // Only the seventh byte of each map entry names the item; keep just that.
    p.itemMap.resize(pixels);
    for (size_t i = 0; i < pixels; ++i) {
      uint8_t item = (*map)[i * 7 + 6];
      if (item != 0 && FindItem(p, item) == nullptr) return damaged(mapId);
      p.itemMap[i] = item;
    }
    ResizeCanvas(p.picture, p.width, p.height);
    for (size_t i = 0; i < pixels; ++i) p.picture.pixels[i] = LoadU32BE(picture->data() + i * 4) & 0xFFFFFF;
  }
  layout = std::move(result);
  return true;
}

const PanelItem* FindItem(const PanelLayout& panel, int id) {
  for (const PanelItem& item : panel.items) {
    if (item.id == id) return &item;
  }
  return nullptr;
}

}  // namespace tsv
