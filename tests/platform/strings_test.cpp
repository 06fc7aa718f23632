// Counted strings, placeholders and the string table.
#include <gtest/gtest.h>

#include <string>

#include "platform/counted_string.h"
#include "platform/platform_state.h"
#include "platform/scripted_services.h"
#include "platform/string_table.h"
#include "tests/support/temp_dir.h"
#include "tests/support/reset_all_state.h"

namespace tsv {
namespace {

TEST(CountedString, TextConversionsCutAt255WithoutSplittingACharacter) {
  EXPECT_EQ(TextToCountedString(std::string(300, 'a')).length, 255);
  // 254 ASCII bytes then a two-byte character: the character does not fit and is left out whole.
  std::string text = std::string(254, 'a') + "\xC3\xA9";
  CountedString s = TextToCountedString(text);
  EXPECT_EQ(s.length, 254);
  EXPECT_EQ(CountedToText(TextToCountedString("Rock")), "Rock");
}

TEST(CountedString, FindReplaceAndEndsWith) {
  CountedString path = TextToCountedString("C:\\Work\\Rock.cmf");
  EXPECT_EQ(FindCharacter(path, '\\'), 2);
  EXPECT_EQ(FindCharacter(path, '#'), -1);
  ReplaceCharacter(path, '\\', ':');
  EXPECT_EQ(View(path), "C::Work:Rock.cmf");
  EXPECT_TRUE(EndsWith(path, ".cmf"));
  EXPECT_FALSE(EndsWith(path, ".CMF"));
  EXPECT_TRUE(EndsWith(path, ""));
  EXPECT_FALSE(EndsWith(TextToCountedString("ab"), "xab"));
  // A suffix that would start inside a multi-byte character does not match.
  CountedString word = TextToCountedString("caf\xC3\xA9");
  EXPECT_FALSE(EndsWith(word, "\xA9"));
  EXPECT_TRUE(EndsWith(word, "\xC3\xA9"));
  EXPECT_EQ(FindCharacter(word, '\xA9'), -1);
}

TEST(CountedString, ShiftOpensAndClosesGaps) {
  CountedString s = TextToCountedString("abcdef");
  ShiftCountedString(s, 2, 3);
  EXPECT_EQ(s.length, 9);
  EXPECT_EQ(std::string(s.text + 5, 4), "cdef");
  ShiftCountedString(s, 5, -3);
  EXPECT_EQ(View(s), "abcdef");
  CountedString full = TextToCountedString(std::string(250, 'x') + "12345");
  ShiftCountedString(full, 250, 4);  // the tail may only grow to 255 bytes in all
  EXPECT_EQ(full.length, 255);
  EXPECT_EQ(full.text[254], '1');
}

TEST(CountedString, NumbersAndEquality) {
  EXPECT_EQ(View(NumberToCountedString(-2147483647 - 1)), "-2147483648");
  EXPECT_EQ(View(NumberToCountedString(0)), "0");
  EXPECT_TRUE(SameCountedString(TextToCountedString("ab"), TextToCountedString("ab")));
  EXPECT_FALSE(SameCountedString(TextToCountedString("ab"), TextToCountedString("abc")));
}

struct PlaceholderCase {
  const char* text;
  int n;
  const char* replacement;
  const char* expected;
  bool replaced;
  friend void PrintTo(const PlaceholderCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }
};

class Placeholder : public testing::TestWithParam<PlaceholderCase> {};

TEST_P(Placeholder, ReplacesTheFirstMatchingPlaceholder) {
  const PlaceholderCase& c = GetParam();
  CountedString s = TextToCountedString(c.text);
  EXPECT_EQ(SubstitutePlaceholder(s, c.n, c.replacement), c.replaced);
  EXPECT_EQ(View(s), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Placeholder,
    testing::Values(PlaceholderCase{"Can't find data resource ^0", 0, "3004", "Can't find data resource 3004", true},
                    PlaceholderCase{"No placeholder here", 0, "x", "No placeholder here", false},
                    PlaceholderCase{"^1 then ^0", 0, "A", "^1 then A", true},
                    PlaceholderCase{"^0 and ^0", 0, "A", "A and ^0", true},
                    PlaceholderCase{"^0", 0, "", "", true},
                    PlaceholderCase{"ends with ^", 0, "x", "ends with ^", false}));

TEST(CountedString, PlaceholderInAFullStringCountsItAs254Bytes) {
  // The last byte of a 255-byte text is not part of the text that is searched and kept.
  std::string text = std::string(252, 'a') + "^0b";
  CountedString s = TextToCountedString(text);
  ASSERT_EQ(s.length, 255);
  EXPECT_TRUE(SubstitutePlaceholder(s, 0, "XY"));
  EXPECT_EQ(s.length, 254);
  EXPECT_EQ(std::string(View(s)), std::string(252, 'a') + "XY");
  // A replacement that would overflow is cut at 255 bytes.
  CountedString small = TextToCountedString("^0!");
  EXPECT_TRUE(SubstitutePlaceholder(small, 0, std::string(300, 'z')));
  EXPECT_EQ(small.length, 255);
}

TEST(StringTable, FixedIndicesAndIds) {
  EXPECT_EQ(View(GetIndexedString(128, 4)), "Error: No empty space.");
  EXPECT_EQ(View(GetIndexedString(153, 29)), "Saving object...");
  EXPECT_EQ(StringIdOf(128, 1), 2000);
  EXPECT_EQ(StringIdOf(153, 1), 3600);
  EXPECT_EQ(GetString(kErrNoEmptySpace), "Error: No empty space.");
  EXPECT_EQ(GetStringById(129),
            "Not enough memory to run Tessivar. Try quitting other applications to free some and then restart.");
  EXPECT_EQ(GetStringById(31000), "");
  EXPECT_EQ(FormatString(kResMissingData, {"3004"}), "Can't find data resource 3004");
}

TEST(StringTable, BuiltInCopyIsSortedAndEveryTextFitsACountedString) {
  for (size_t i = 0; i < kBuiltinStringCount; ++i) {
    EXPECT_LE(std::string(kBuiltinStrings[i].text).size(), 255u) << kBuiltinStrings[i].id;
    if (i > 0) {
      EXPECT_LT(kBuiltinStrings[i - 1].id, kBuiltinStrings[i].id);
    }
  }
}

class StringTableLoading : public testing::Test {
 protected:
  void TearDown() override { test::ResetAllState(); }
  ScriptedServices services;
};

TEST_F(StringTableLoading, TextResourcesOfTheBuildMatchTheBuiltInTable) {
  platform.resourceDirectory = TESSIVAR_TEST_RESOURCE_ROOT;
  EXPECT_TRUE(LoadStringTable());
  EXPECT_TRUE(services.shown.empty());
  for (size_t i = 0; i < kBuiltinStringCount; ++i) {
    EXPECT_EQ(GetStringById(kBuiltinStrings[i].id), kBuiltinStrings[i].text);
  }
}

TEST_F(StringTableLoading, ResourceTextsReplaceBuiltInOnesAndMissingListsAreReported) {
  test::TempDir dir;
  platform.resourceDirectory = dir.str();
  test::WriteFileText(dir / "Resource/english/Text/res0128", "4\tKein Platz.\\n\r\n1\tKein Speicher.\n");
  EXPECT_FALSE(LoadStringTable());
  EXPECT_EQ(View(GetIndexedString(128, 4)), "Kein Platz.\n");
  EXPECT_EQ(GetString(kErrNotEnoughMemory), "Kein Speicher.");
  EXPECT_EQ(View(GetIndexedString(153, 29)), "Saving object...");  // built-in where nothing loaded
  std::vector<std::string> stops = services.Texts(ShownKind::Stop);
  ASSERT_FALSE(stops.empty());
  EXPECT_EQ(stops[0].rfind("Can't find text resource ", 0), 0u);
}

TEST_F(StringTableLoading, MalformedLinesAreReportedAndSkipped) {
  test::TempDir dir;
  platform.resourceDirectory = dir.str();
  test::WriteFileText(dir / "Resource/english/Text/res0128", "x\tbad\n99\tout of range\n4\tok\n");
  EXPECT_FALSE(LoadStringTable());
  EXPECT_EQ(View(GetIndexedString(128, 4)), "ok");
  std::vector<std::string> stops = services.Texts(ShownKind::Stop);
  EXPECT_NE(std::find(stops.begin(), stops.end(), "Error reading resource 128"), stops.end());
}

}  // namespace
}  // namespace tsv
