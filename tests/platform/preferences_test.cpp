// The preferences record: defaults, clamps and its little-endian byte image.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/byte_order.h"
#include "platform/folders.h"
#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/settings.h"
#include "tests/support/reset_all_state.h"
#include "tests/support/temp_dir.h"

namespace tsv {
namespace {

class PreferencesFile : public testing::Test {
 protected:
  std::string PrefsPath() { return dir / "Tessivar/Tessivar 1.0 Prefs"; }
  test::TempDir dir;
  test::ScopedEnv config{"XDG_CONFIG_HOME", dir.str()};
};

TEST(Preferences, DefaultsInTheStoredImage) {
  Preferences prefs;
  SetDefaultPreferences(prefs);
  uint8_t image[kPreferencesSize];
  StorePreferences(prefs, image);
  EXPECT_EQ(LoadU32LE(image + 4), 150000u);
  EXPECT_EQ(LoadU16LE(image + 8), 5000);
  EXPECT_EQ(LoadU16LE(image + 10), 5000);
  EXPECT_EQ(LoadU16LE(image + 12), 1);
  EXPECT_EQ(LoadU16LE(image + 16), 300);
  EXPECT_EQ(LoadU16LE(image + 18), 400);
  EXPECT_EQ(LoadU16LE(image + 20), 5);
  EXPECT_EQ(LoadU16LE(image + 34), 0xFF00);
  EXPECT_EQ(LoadU16LE(image + 40), 0xFF00);
  EXPECT_EQ(LoadU16LE(image + 42), 0);
  EXPECT_EQ(LoadU16LE(image + 50), 0);  // composer anim blue
  EXPECT_EQ(LoadU16LE(image + 52), 0x5000);
  EXPECT_EQ(LoadU16LE(image + 58), 0x9A00);
  EXPECT_EQ(LoadU16LE(image + 60), 0xB300);
  EXPECT_EQ(LoadU16LE(image + 62), 0xFF00);
  EXPECT_EQ(LoadU16LE(image + 64), 1);
  EXPECT_EQ(LoadU16LE(image + 70), 1);  // third picture save option
  EXPECT_EQ(LoadU32LE(image + 76), FourCC("BMP "));
  EXPECT_EQ(LoadF32LE(image + 88), 1.0f);
  EXPECT_EQ(LoadF32LE(image + 92), 5.0f);
  EXPECT_EQ(LoadF32LE(image + 96), 0.1f);
  EXPECT_EQ(LoadF32LE(image + 100), 0.1f);
  EXPECT_EQ(LoadU16LE(image + 108), 1);
  EXPECT_EQ(LoadU16LE(image + 110), 1);
  EXPECT_EQ(LoadF32LE(image + 112), 0.01f);
  EXPECT_EQ(LoadF32LE(image + 116), 5.0f);
  EXPECT_EQ(LoadF32LE(image + 120), 7.0f);
  EXPECT_EQ(LoadF32LE(image + 124), 45.0f);
  EXPECT_EQ(LoadU16LE(image + 130), 32);
  EXPECT_EQ(LoadU16LE(image + 132), 48);
  EXPECT_EQ(LoadU16LE(image + 134), 80);
  EXPECT_EQ(LoadU16LE(image + 146), 5);
  EXPECT_EQ(LoadU16LE(image + 148), 1);
  EXPECT_EQ(LoadU16LE(image + 150), 0);
}

TEST(Preferences, EveryByteSurvivesLoadAndStore) {
  uint8_t image[kPreferencesSize];
  for (size_t i = 0; i < kPreferencesSize; ++i) image[i] = uint8_t(i * 37 + 11);
  uint8_t again[kPreferencesSize];
  StorePreferences(LoadPreferencesRecord(image), again);
  EXPECT_EQ(std::memcmp(image, again, kPreferencesSize), 0);
}

TEST(Preferences, ClampsForceMembersIntoTheirRanges) {
  Preferences prefs;
  SetDefaultPreferences(prefs);
  prefs.displayChoice = 9;
  prefs.shadowBufferSize = 0.1f;
  prefs.shadowSmoothness = 99;
  prefs.shadowLightness = NAN;
  prefs.shadowQuality = 7;
  prefs.textureQuality = 3;
  prefs.snapRadius = 1;
  prefs.breakingAngle = 360;
  prefs.quorvelRealtimeResolution = 2;
  prefs.quorvelFinalResolution = 500;
  prefs.morphQuality = -5;
  prefs.startupAction = 9;
  prefs.memorySize = 7;  // no range: kept
  ClampPreferences(prefs);
  EXPECT_EQ(prefs.displayChoice, 2);
  EXPECT_EQ(prefs.shadowBufferSize, 0.5f);
  EXPECT_EQ(prefs.shadowSmoothness, 40.0f);
  EXPECT_EQ(prefs.shadowLightness, 0.1f);
  EXPECT_EQ(prefs.shadowQuality, 3);
  EXPECT_EQ(prefs.textureQuality, 2);
  EXPECT_EQ(prefs.snapRadius, 2.0f);
  EXPECT_EQ(prefs.breakingAngle, 180.0f);
  EXPECT_EQ(prefs.quorvelRealtimeResolution, 8);
  EXPECT_EQ(prefs.quorvelFinalResolution, 128);
  EXPECT_EQ(prefs.morphQuality, 16);
  EXPECT_EQ(prefs.startupAction, 4);
  EXPECT_EQ(prefs.memorySize, 7u);
}

TEST_F(PreferencesFile, MissingFileGivesDefaultsAndWriteReadRoundTrips) {
  ReadPreferences();
  EXPECT_EQ(preferences.startupAction, 1);
  EXPECT_EQ(preferences.morphQuality, 80);
  preferences.startupAction = 3;
  preferences.textureQuality = 2;
  preferences.composerViewRect = {300, 400, 10, 20};
  preferences.unused138[3] = 0x5A;
  ASSERT_EQ(WritePreferences(), kNoError);
  std::vector<uint8_t> bytes = test::ReadFileBytes(PrefsPath());
  ASSERT_EQ(bytes.size(), kPreferencesSize);
  EXPECT_EQ(bytes[148], 3);
  EXPECT_EQ(bytes[149], 0);
  EXPECT_EQ(bytes[141], 0x5A);

  preferences = Preferences{};
  ReadPreferences();
  EXPECT_EQ(preferences.startupAction, 3);
  EXPECT_EQ(preferences.textureQuality, 2);
  EXPECT_EQ(preferences.composerViewRect[3], 20);
  uint8_t again[kPreferencesSize];
  StorePreferences(preferences, again);
  EXPECT_EQ(std::vector<uint8_t>(again, again + kPreferencesSize), bytes);
}

TEST_F(PreferencesFile, StoredValuesAreClampedAndAShortFileIsIgnored) {
  Preferences prefs;
  SetDefaultPreferences(prefs);
  prefs.startupAction = 42;
  prefs.snapRadius = 100;
  uint8_t image[kPreferencesSize];
  StorePreferences(prefs, image);
  test::WriteFileBytes(PrefsPath(), std::vector<uint8_t>(image, image + kPreferencesSize));
  ReadPreferences();
  EXPECT_EQ(preferences.startupAction, 4);
  EXPECT_EQ(preferences.snapRadius, 20.0f);

  test::WriteFileBytes(PrefsPath(), std::vector<uint8_t>(image, image + 100));
  ReadPreferences();
  EXPECT_EQ(preferences.startupAction, 1);
  EXPECT_EQ(preferences.snapRadius, 7.0f);
}

// The settings beside the preferences: clamped when read, unknown lines kept, written back whole.
TEST(Settings, ReadClampedAndWrittenBackWithWhatTheyDoNotKnow) {
  const Settings read = ParseSettings(
      "interface-scale 350\nhistory-mb 0\nfolder open-object /home/ann/Work Objects\n"
      "folder save-picture relative/path\nfuture-key 7\nhistory-mb x\n");
  EXPECT_EQ(read.interfaceScale, kMaxInterfaceScale);
  EXPECT_EQ(read.historyBudgetMB, 1u);
  ASSERT_EQ(read.dialogFolders.size(), 1u) << "only absolute folders are remembered";
  EXPECT_EQ(read.dialogFolders.at("open-object"), "/home/ann/Work Objects");
  EXPECT_EQ(read.otherLines, std::vector<std::string>{"future-key 7"});
  EXPECT_EQ(ParseSettings(FormatSettings(read)).dialogFolders, read.dialogFolders);
  EXPECT_EQ(FormatSettings(ParseSettings(FormatSettings(read))), FormatSettings(read));
  EXPECT_EQ(ParseSettings("interface-scale -3\n").interfaceScale, kInterfaceScaleAuto);
  EXPECT_EQ(ParseSettings("").historyBudgetMB, kDefaultHistoryBudgetMB);

  test::TempDir dir;
  test::ScopedEnv config("XDG_CONFIG_HOME", dir.str());
  platform.settings = read;
  ASSERT_EQ(WriteSettings(), kNoError);
  SetDefaultSettings(platform.settings);
  ReadSettings();
  EXPECT_EQ(platform.settings.dialogFolders, read.dialogFolders);
  EXPECT_EQ(platform.settings.interfaceScale, kMaxInterfaceScale);
  test::ResetAllState();
}

}  // namespace
}  // namespace tsv
