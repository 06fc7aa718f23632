// The preferences dialog: a readable layout with every setting, edits that reach the record,
// out-of-range entries forced into their ranges, and Cancel changing nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "platform/events.h"
#include "platform/file_spec.h"
#include "platform/folders.h"
#include "platform/platform_state.h"
#include "platform/settings.h"
#include "platform/fonts.h"
#include "platform/preferences.h"
#include "platform/scripted_services.h"
#include "platform/window.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/temp_dir.h"
#include "ui/dialog_script.h"
#include "ui/preferences_dialog.h"
#include "tests/support/reset_all_state.h"

namespace tsv {
namespace {

class PreferencesDialogTest : public test::DialogFixture {
 protected:
  void SetUp() override {
    DialogFixture::SetUp();
    if (HasFatalFailure()) return;
    shown = MakePreferencesDialog(preferences);
  }
  void TearDown() override { DialogFixture::TearDown(); }
  int Index(int id) {
    int index = FindDialogItem(shown, id);
    EXPECT_GE(index, 0) << "no item " << id;
    return index;
  }
  Rect OnScreen(int id) { return ItemOnScreen(shown, Index(id)); }
  void TypeInto(int id, std::string_view text) {
    QueueClickOn(OnScreen(id));
    QueueKey('a', kControlBit);
    QueueText(text);
  }
  static std::array<uint8_t, kPreferencesSize> Bytes(const Preferences& p) {
    std::array<uint8_t, kPreferencesSize> bytes{};
    StorePreferences(p, bytes);
    return bytes;
  }

  // OK writes the preferences file: into this test's own folder, never the user's.
  test::TempDir config;
  test::ScopedEnv configHome{"XDG_CONFIG_HOME", config.str()};
  ScriptedServices services;
  Dialog shown;
};

bool Overlap(Rect a, Rect b) { return IntersectRects(a, b).width > 0 && IntersectRects(a, b).height > 0; }

bool Inside(Rect outer, Rect inner) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.left + inner.width <= outer.left + outer.width &&
         inner.top + inner.height <= outer.top + outer.height;
}

TEST_F(PreferencesDialogTest, LayoutIsClearAndEveryTextFits) {
  const Dialog& d = shown;
  Rect window = DialogWindowRect(d, 800, 600);
  EXPECT_LE(window.width, 800) << "usable on the smallest screen";
  EXPECT_LE(window.height, 600);
  std::vector<Rect> groups;
  for (const DialogItem& item : d.items) {
    EXPECT_TRUE(Inside({0, 0, d.width, d.height}, item.rect)) << item.text;
    if (item.kind == DialogItemKind::Group) {
      EXPECT_LE(TextWidth(FontKind::Bold, item.text), item.rect.width - 4) << item.text;
      for (Rect other : groups) EXPECT_FALSE(Overlap(other, item.rect)) << item.text;
      groups.push_back(item.rect);
    }
  }
  for (size_t i = 0; i < d.items.size(); ++i) {
    const DialogItem& item = d.items[i];
    if (item.kind == DialogItemKind::Group) continue;
    int containing = 0;
    for (Rect g : groups) containing += Inside(g, item.rect) ? 1 : 0;
    bool button = item.kind == DialogItemKind::Button;
    EXPECT_EQ(containing, button ? 0 : 1) << "item " << i << " " << item.text;
    for (size_t j = i + 1; j < d.items.size(); ++j) {
      if (d.items[j].kind != DialogItemKind::Group) {
        EXPECT_FALSE(Overlap(item.rect, d.items[j].rect)) << i << " and " << j;
      }
    }
    // Texts show whole, never cut.
    switch (item.kind) {
      case DialogItemKind::Label:
      case DialogItemKind::Button: EXPECT_LE(TextWidth(FontKind::Normal, item.text), item.rect.width - 6) << item.text; break;
      case DialogItemKind::CheckBox: EXPECT_LE(TextWidth(FontKind::Normal, item.text), item.rect.width - 20) << item.text; break;
      case DialogItemKind::RadioGroup:
        for (int k = 0; k < int(item.entries.size()); ++k) {
          EXPECT_LE(TextWidth(FontKind::Normal, item.entries[size_t(k)]), RadioEntryRect(item, k).width - 21);
        }
        break;
      default: break;
    }
    if (item.kind != DialogItemKind::Label) {
      EXPECT_FALSE(item.hover.empty()) << "item " << i << " has no hover text";
    }
  }
}

TEST_F(PreferencesDialogTest, ShowsEveryLabelledSetting) {
  std::vector<std::string> texts;
  for (const DialogItem& item : shown.items) {
    texts.push_back(item.text);
    texts.insert(texts.end(), item.entries.begin(), item.entries.end());
  }
  for (const char* expected :
       {"Display", "Nothing", "Time", "Frames Per Second", "On Startup", "Do Nothing", "Create Sphere", "Open Project",
        "Open Object", "Texture Quality", "Normal", "Bi-Linear", "Bi-Cubic", "Modeling Background",
        "Composer Background", "Composer Wireframe", "Composer Selected", "Composer Anim", "Default Object",
        "Initial Object Color", "Buffer Size", "Smoothness", "Lightness", "Quality", "Snaps", "Radius:",
        "Breaking Angle:", "Quorvels Resolution", "Real-time:", "Final:", "Morph", "Tablet", "Affect Pressure",
        "Affect Radius", "Tilt enable", "Wallpaper", "Background picture alignment", "Fill background",
        "1:1 - No stretching", "Fit x", "Fit y", "OK", "Cancel"}) {
    EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end()) << expected;
  }
}

TEST_F(PreferencesDialogTest, OutOfRangeEntriesAreClampedOnOk) {
  struct Case {
    int id;
    const char* typed;
    std::function<double(const Preferences&)> member;
    double expected;
  };
  std::vector<Case> cases = {
      {kPrefItemBreakingAngle, "999", [](const Preferences& p) { return p.breakingAngle; }, 180},
      {kPrefItemSnapRadius, "1", [](const Preferences& p) { return p.snapRadius; }, 2},
      {kPrefItemBufferSize, "0.1", [](const Preferences& p) { return p.shadowBufferSize; }, 0.5},
      {kPrefItemSmoothness, "12.5", [](const Preferences& p) { return p.shadowSmoothness; }, 12.5},
      {kPrefItemLightness, "5", [](const Preferences& p) { return p.shadowLightness; }, 1},
      {kPrefItemRealTime, "4", [](const Preferences& p) { return p.quorvelRealtimeResolution; }, 8},
      {kPrefItemFinal, "300", [](const Preferences& p) { return p.quorvelFinalResolution; }, 128},
      {kPrefItemMorphQuality, "600", [](const Preferences& p) { return p.morphQuality; }, 512},
  };
  for (const Case& c : cases) TypeInto(c.id, c.typed);
  QueueKey(kCharReturn);
  ASSERT_TRUE(RunPreferencesDialog());
  for (const Case& c : cases) EXPECT_FLOAT_EQ(float(c.member(preferences)), float(c.expected)) << c.typed;
}

TEST_F(PreferencesDialogTest, FieldShowsTheClampedValueWhileTheDialogStaysOpen) {
  std::string shownText;
  int angle = Index(kPrefItemBreakingAngle);
  dialogState.observer = [&](const Canvas&, const Dialog& d) { shownText = d.items[size_t(angle)].text; };
  TypeInto(kPrefItemBreakingAngle, "999");
  QueueKey(kCharTab);
  QueueKey(kCharReturn);
  ASSERT_TRUE(RunPreferencesDialog());
  EXPECT_EQ(shownText, "180");
  EXPECT_EQ(preferences.breakingAngle, 180.0f);
}

TEST_F(PreferencesDialogTest, EditsReachTheRecord) {
  preferences.tabletFlags = 1 | 4 | 0x40;  // a bit the dialog does not show stays as it is
  shown = MakePreferencesDialog(preferences);
  services.colorAnswers.push_back(Rgb16{0x1200, 0x3400, 0x5600});
  QueueClickOn(RadioEntryOnScreen(shown, Index(kPrefItemDisplay), 2));
  QueueClickOn(RadioEntryOnScreen(shown, Index(kPrefItemTextureQuality), 2));
  QueueClickOn(OnScreen(kPrefItemAffectPressure));
  QueueClickOn(OnScreen(kPrefItemAffectRadius));
  QueueClickOn(OnScreen(kPrefItemModelingBackground));
  QueueClickOn(OnScreen(kPrefItemShadowQuality));  // the slider takes the focus...
  QueueKey(kCharRight);                             // ...and a step to the right
  TypeInto(kPrefItemFinal, "100");
  QueueClickOn(OnScreen(kPrefItemWallpaper));
  QueueKey(kCharUp);
  QueueKey(kCharReturn);
  ASSERT_TRUE(RunPreferencesDialog());
  EXPECT_EQ(preferences.displayChoice, 2);
  EXPECT_EQ(preferences.textureQuality, 2);
  EXPECT_EQ(preferences.tabletFlags, 2 | 4 | 0x40);
  EXPECT_EQ(preferences.modelingBackground.green, 0x3400);
  EXPECT_EQ(preferences.shadowQuality, 3) << "the click put it at its middle value 2, the key one step up";
  EXPECT_EQ(preferences.quorvelFinalResolution, 100);
  EXPECT_EQ(preferences.wallpaperIndex, 6);
}

TEST_F(PreferencesDialogTest, TheInterfaceScaleAndUndoMemoryReachTheSettings) {
  // Auto at first: unticking it takes the scale typed; the undo memory as typed.
  ASSERT_EQ(platform.settings.interfaceScale, kInterfaceScaleAuto);
  QueueClickOn(OnScreen(kPrefItemAutoScale));
  TypeInto(kPrefItemInterfaceScale, "150");
  TypeInto(kPrefItemHistoryBudget, "512");
  QueueKey(kCharReturn);
  ASSERT_TRUE(RunPreferencesDialog());
  EXPECT_EQ(platform.settings.interfaceScale, 150);
  EXPECT_EQ(platform.settings.historyBudgetMB, 512u);
  EXPECT_EQ(ParseSettings(test::ReadFileText(SettingsFilePath())).interfaceScale, 150);

  // Shown as they are; ticking Auto again gives Auto whatever the field says.
  shown = MakePreferencesDialog(preferences);
  EXPECT_FALSE(shown.items[size_t(Index(kPrefItemAutoScale))].checked);
  EXPECT_EQ(shown.items[size_t(Index(kPrefItemInterfaceScale))].number, 150);
  QueueClickOn(OnScreen(kPrefItemAutoScale));
  QueueKey(kCharReturn);
  ASSERT_TRUE(RunPreferencesDialog());
  EXPECT_EQ(platform.settings.interfaceScale, kInterfaceScaleAuto);
}

TEST_F(PreferencesDialogTest, CancelLeavesThePreferencesUnchanged) {
  Preferences before = preferences;
  services.colorAnswers.push_back(Rgb16{0x1200, 0x3400, 0x5600});
  QueueClickOn(RadioEntryOnScreen(shown, Index(kPrefItemOnStartup), 3));
  QueueClickOn(OnScreen(kPrefItemTiltEnable));
  QueueClickOn(OnScreen(kPrefItemComposerAnim));
  TypeInto(kPrefItemMorphQuality, "200");
  QueueKey(kCharTab);
  QueueEscape();
  EXPECT_FALSE(RunPreferencesDialog());
  EXPECT_EQ(Bytes(preferences), Bytes(before));

  TypeInto(kPrefItemSnapRadius, "9");  // then the events run out: also a Cancel
  EXPECT_FALSE(RunPreferencesDialog());
  EXPECT_EQ(Bytes(preferences), Bytes(before));
}

TEST_F(PreferencesDialogTest, OkWithoutEditsChangesNothing) {
  preferences.startupAction = 4;            // in range, but none of the four entries names it
  preferences.shadowSmoothness = 5.123456f;  // finer than the field shows
  shown = MakePreferencesDialog(preferences);
  QueueClickOn(OnScreen(kPrefItemSmoothness));  // visiting the field is no edit
  QueueKey(kCharTab);
  QueueKey(kCharReturn);
  ASSERT_TRUE(RunPreferencesDialog());
  Preferences expected;
  SetDefaultPreferences(expected);
  expected.startupAction = 4;
  expected.shadowSmoothness = 5.123456f;
  EXPECT_EQ(Bytes(preferences), Bytes(expected));
}

// OK stores the preferences at once, with the settings beside them (the dialogs' folders), so that
// a session that ends without quitting keeps them; Cancel writes nothing.
TEST_F(PreferencesDialogTest, OkWritesThePreferencesAndSettingsFiles) {
  const std::string prefsPath = PathOfSpec(MakePrefsFileSpec());
  platform.settings.dialogFolders["open-object"] = "/home/ann/Objects";
  QueueEscape();
  EXPECT_FALSE(RunPreferencesDialog());
  EXPECT_FALSE(std::filesystem::exists(prefsPath));

  TypeInto(kPrefItemBreakingAngle, "45");
  QueueKey(kCharReturn);
  ASSERT_TRUE(RunPreferencesDialog());
  EXPECT_TRUE(services.shown.empty());
  const std::vector<uint8_t> bytes = test::ReadFileBytes(prefsPath);
  ASSERT_EQ(bytes.size(), size_t(kPreferencesSize));
  const Preferences read = LoadPreferencesRecord(std::span<const uint8_t, kPreferencesSize>(bytes.data(), kPreferencesSize));
  EXPECT_EQ(read.breakingAngle, 45.0f);
  EXPECT_EQ(ParseSettings(test::ReadFileText(SettingsFilePath())).dialogFolders.at("open-object"), "/home/ann/Objects");
}

TEST_F(PreferencesDialogTest, AFailedWriteSaysSoAndKeepsTheEdits) {
  // A file where the configuration folder should be: nothing can be written under it.
  test::WriteFileText(config / "Tessivar", "not a folder");
  TypeInto(kPrefItemBreakingAngle, "45");
  QueueKey(kCharReturn);
  ASSERT_TRUE(RunPreferencesDialog());
  EXPECT_EQ(preferences.breakingAngle, 45.0f);
  EXPECT_EQ(services.Texts(ShownKind::Stop),
            std::vector<std::string>{"Error: The preferences could not be saved in \"" + PathOfSpec(MakePrefsFileSpec()) +
                                     "\". They stay in effect until Tessivar quits."});
}

}  // namespace
}  // namespace tsv
