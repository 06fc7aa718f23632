// The room and panel layout source: parsing, its checks, the item maps and the layout table.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "resources/generator/layout_source.h"

namespace tsv::resgen {
namespace {

std::vector<StringEntry> Strings() {
  std::vector<std::string> errors;
  return ParseStringSource("I4000\tkLabel\tLabel\nI4001\tkHover\tHover\nI4002\tkRoom\tRoom\n", "s", errors);
}

InterfaceLayout Parse(const std::string& text, std::vector<std::string>& errors) {
  return ParseLayoutSource(text, "layout", Strings(), errors);
}

TEST(LayoutSource, FlowPlacesItemsInCellsAndRoomsPlacePanels) {
  std::vector<std::string> errors;
  InterfaceLayout layout = Parse(
      "panel Tools 5 100 60\n"
      "  frame 2 2 96 56 kLabel\n"
      "  flow 4 4 2 40 20 2 3\n"
      "  item 1 kA button kLabel kHover key=e\n"
      "  item 2 kB button kLabel kHover\n"
      "  item 3 kC drag - kHover\n"
      "  item 9 kD label @ 50 40 40 10 - kHover\n"
      "room 1 kRoom\n"
      "  place Tools left 4 view -10\n",
      errors);
  ASSERT_TRUE(errors.empty()) << errors.front();
  ASSERT_EQ(layout.panels.size(), 1u);
  const PanelLayout& p = layout.panels[0];
  ASSERT_EQ(p.items.size(), 4u);
  EXPECT_EQ(p.items[1].x, 46);
  EXPECT_EQ(p.items[2].y, 27);
  EXPECT_EQ(p.items[0].key, "e");
  EXPECT_EQ(p.items[2].label, 0);
  EXPECT_EQ(p.items[0].hover, 4001);
  ASSERT_EQ(layout.rooms.size(), 1u);
  EXPECT_EQ(layout.rooms[0].places[0].dy, -10);
  EXPECT_EQ(layout.rooms[0].places[0].yAnchor, Anchor::View);

  std::string map = FormatItemMap(p);
  ASSERT_EQ(map.size(), 100u * 60 * 7);
  auto itemAt = [&](int x, int y) { return int(uint8_t(map[(size_t(y) * 100 + size_t(x)) * 7 + 6])); };
  EXPECT_EQ(itemAt(4, 4), 1);
  EXPECT_EQ(itemAt(43, 23), 1);
  EXPECT_EQ(itemAt(44, 4), 0);  // the gap between cells
  EXPECT_EQ(itemAt(46, 4), 2);
  EXPECT_EQ(itemAt(89, 49), 9);
  EXPECT_EQ(map[6 * 100 * 7 + 4 * 7], '\0');  // only the seventh byte carries the item

  EXPECT_EQ(FormatPanelPicture(p).size(), 100u * 60 * 4);
  std::string table = FormatLayoutTable(layout);
  EXPECT_EQ(table.substr(0, 4), "LAYT");
}

TEST(LayoutSource, RejectsFaultyLayouts) {
  const char* bad[] = {
      "panel P 17 10 10\n",                                               // panel number
      "panel P 1 10 10\n  item 1 kA button @ 5 5 10 10 - kHover\n",       // outside the panel
      "panel P 1 50 50\n  item 1 kA button @ 0 0 10 10 - kHover\n  item 2 kB button @ 5 5 10 10 - kHover\n",  // overlap
      "panel P 1 50 50\n  item 1 kA button @ 0 0 10 10 - kMissing\n",     // unknown string
      "panel P 1 50 50\n  item 1 kA wobble @ 0 0 10 10 - kHover\n",       // unknown kind
      "panel P 1 50 50\n  item 1 kA button - kHover\n",                   // no place, no flow
      "room 1 kRoom\n  place Nowhere left 0 top 0\n",                     // unknown panel
      "item 1 kA button @ 0 0 1 1 - kHover\n",                            // item outside a panel
  };
  for (const char* text : bad) {
    std::vector<std::string> errors;
    Parse(text, errors);
    EXPECT_FALSE(errors.empty()) << text;
  }
}

TEST(LayoutSource, TheProgramsLayoutIsValid) {
  auto read = [](const char* path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  };
  std::vector<std::string> errors;
  auto strings = ParseStringSource(read(TESSIVAR_TEST_SOURCE_ROOT "/resources/strings/strings.txt"), "strings", errors);
  InterfaceLayout layout = ParseLayoutSource(read(TESSIVAR_TEST_SOURCE_ROOT "/resources/ui/layout.txt"), "layout",
                                             strings, errors);
  EXPECT_TRUE(errors.empty()) << errors.front();
  ASSERT_EQ(layout.rooms.size(), 10u);
  for (const RoomLayout& room : layout.rooms) {
    // Every room has the top strip with its tabs, and no two panels of a room share a number.
    std::set<int32_t> numbers;
    for (const Placement& place : room.places) {
      EXPECT_TRUE(numbers.insert(layout.panels[size_t(place.layout)].number).second) << "room " << room.number;
    }
    EXPECT_TRUE(numbers.count(1)) << "room " << room.number;
  }
}

}  // namespace
}  // namespace tsv::resgen
