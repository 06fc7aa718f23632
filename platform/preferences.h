// preferences.h: the 156-byte preferences record, kept between runs in the preferences file as
// little-endian bytes. Defaults are set first, the file is read over them, then members with a
// range are forced into it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/status.h"
#include "platform/user_services.h"

namespace tsv {

inline constexpr size_t kPreferencesSize = 156;

struct Preferences {
  uint16_t drawFullOnRedraw = 0;          // 0: full modeling-view redraw on every redraw request
  std::array<uint8_t, 2> unused2{};       // 2
  uint32_t memorySize = 0;                // 4
  int16_t screenHeight = 0;               // 8: lowered together with the width on display changes
  int16_t screenWidth = 0;                // 10
  uint16_t displayChoice = 0;             // 12: 0 "Nothing", 1 "Time", 2 "Frames Per Second"
  uint16_t rendererWord = 0;              // 14: renderer in use (low byte) and availability bits
  int16_t composerBufferHeight = 0;       // 16
  int16_t composerBufferWidth = 0;        // 18
  uint16_t wallpaperIndex = 0;            // 20
  Rgb16 modelingBackground;               // 22
  Rgb16 composerBackground;               // 28
  Rgb16 composerWireframe;                // 34
  Rgb16 composerSelected;                 // 40
  Rgb16 composerAnim;                     // 46
  Rgb16 extraColour;                      // 52
  Rgb16 defaultObjectColour;              // 58: the first diffuse colour of new objects
  uint16_t generalFlag = 0;               // 64
  std::array<uint16_t, 4> pictureSaveOptions{};  // 66
  std::array<uint8_t, 2> unused74{};      // 74
  uint32_t pictureSaveFileType = 0;       // 76
  std::array<int16_t, 4> composerViewRect{};     // 80: height, width, top, left
  float shadowBufferSize = 0;             // 88: "Buffer Size"
  float shadowSmoothness = 0;             // 92: "Smoothness"
  float shadingValue = 0;                 // 96
  float shadowLightness = 0;              // 100: "Lightness"
  float value104 = 0;                     // 104
  uint16_t shadowQuality = 0;             // 108: "Quality" slider 0..3
  uint16_t textureQuality = 0;            // 110: 0 "Normal", 1 "Bi-Linear", 2 "Bi-Cubic"
  float value112 = 0;                     // 112
  float value116 = 0;                     // 116
  float snapRadius = 0;                   // 120: "Snaps" "Radius:" in pixels
  float breakingAngle = 0;                // 124: "Breaking Angle:" in degrees
  uint16_t showSecondStripItem = 0;       // 128
  int16_t quorvelRealtimeResolution = 0;  // 130
  int16_t quorvelFinalResolution = 0;     // 132
  int16_t morphQuality = 0;               // 134
  uint16_t rendererRunningFlags = 0;      // 136: bit value 2 while a hardware back end runs
  std::array<uint8_t, 8> unused138{};     // 138
  uint16_t tabletFlags = 0;               // 146: 1 pressure, 2 radius, 4 tilt
  int16_t startupAction = 0;              // 148: 0 nothing, 1 sphere, 2 project, 3 object
  uint16_t backgroundAlignment = 0;       // 150
  std::array<uint8_t, 4> unused152{};     // 152
};

// The record of this run.
extern Preferences preferences;

void SetDefaultPreferences(Preferences& prefs);
void ClampPreferences(Preferences& prefs);

void StorePreferences(const Preferences& prefs, std::span<uint8_t, kPreferencesSize> out);
Preferences LoadPreferencesRecord(std::span<const uint8_t, kPreferencesSize> in);

// Defaults, then the file over them (a missing or short file leaves the defaults), then the clamps.
void ReadPreferences();
// Writes the record into a new file beside the old one and swaps it in, so a failed write never
// leaves a damaged preferences file. 0 or 1.
Status WritePreferences();

}  // namespace tsv
