// The string table source: parsing, its checks, and the text resources written from it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "resources/generator/string_source.h"

namespace tsv::resgen {
namespace {

TEST(StringSource, ParsesListAndIdEntries) {
  std::vector<std::string> errors;
  auto entries = ParseStringSource(
      "# comment\n\nL128.4\tkErrNoEmptySpace\tError: No empty space.\nI128\tkFatal\tA\\tB\\\\C\\nD\n", "s", errors);
  ASSERT_TRUE(errors.empty());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].id, 128);
  EXPECT_EQ(entries[0].text, "A\tB\\C\nD");
  EXPECT_EQ(entries[1].id, 2003);
  EXPECT_EQ(entries[1].list, 128);
  EXPECT_EQ(entries[1].index, 4);
  // Ids outside the lists belong to the block of 64 their id falls in.
  EXPECT_EQ(entries[0].list, 98);
  EXPECT_EQ(entries[0].index, 49);
  EXPECT_EQ(FormatTextResource(entries, 128), "4\tError: No empty space.\n");
  EXPECT_EQ(FormatTextResource(entries, 98), "49\tA\\tB\\\\C\\nD\n");
}

TEST(StringSource, RejectsFaultyLines) {
  const char* bad[] = {
      "L128.0\tkA\tx\n",            // index below 1
      "L128.65\tkA\tx\n",           // index above 64
      "X1\tkA\tx\n",                // unknown key
      "I5\tbadName\tx\n",           // name style
      "I5\tkA\n",                   // missing text
      "I5\tkA\tbad \\q escape\n",   // unknown escape
      "I0\tkA\tx\n",                // id 0
  };
  for (const char* line : bad) {
    std::vector<std::string> errors;
    EXPECT_TRUE(ParseStringSource(line, "s", errors).empty()) << line;
    EXPECT_EQ(errors.size(), 1u) << line;
  }
  std::vector<std::string> errors;
  ParseStringSource("I5\tkA\tx\nI5\tkB\ty\nI6\tkA\tz\nI7\tkC\t" + std::string(256, 'x') + "\n", "s", errors);
  EXPECT_EQ(errors.size(), 3u);  // duplicate id, duplicate name, too long
}

TEST(StringSource, TheProgramsTableParsesCleanlyAndKeepsItsFixedEntries) {
  std::ifstream in(TESSIVAR_TEST_SOURCE_ROOT "/resources/strings/strings.txt");
  std::stringstream contents;
  contents << in.rdbuf();
  std::vector<std::string> errors;
  auto entries = ParseStringSource(contents.str(), "strings.txt", errors);
  EXPECT_TRUE(errors.empty()) << errors.front();
  auto text = [&](int id) {
    for (const auto& e : entries) {
      if (e.id == id) return e.text;
    }
    return std::string("<missing>");
  };
  EXPECT_EQ(text(128 * 64 + 4 - 6193), "Error: No empty space.");
  EXPECT_EQ(text(153 * 64 + 29 - 6193), "Saving object...");
  EXPECT_EQ(text(129), "Not enough memory to run Tessivar. Try quitting other applications to free some and then restart.");
}

}  // namespace
}  // namespace tsv::resgen
