// preferences.cpp: defaults, clamps and the little-endian byte image of the preferences record.
#include "platform/preferences.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/byte_order.h"
#include "platform/files.h"
#include "platform/folders.h"

namespace tsv {

Preferences preferences;

namespace {

// Offsets of the stored record, each next to the member it holds.
struct Writer {
  uint8_t* p;
  void U16(size_t at, uint16_t v) { StoreU16LE(p + at, v); }
  void I16(size_t at, int16_t v) { StoreU16LE(p + at, uint16_t(v)); }
  void U32(size_t at, uint32_t v) { StoreU32LE(p + at, v); }
  void F32(size_t at, float v) { StoreF32LE(p + at, v); }
  void Colour(size_t at, const Rgb16& c) {
    U16(at, c.red);
    U16(at + 2, c.green);
    U16(at + 4, c.blue);
  }
  template <size_t N>
  void Bytes(size_t at, const std::array<uint8_t, N>& b) { std::memcpy(p + at, b.data(), N); }
};

struct Reader {
  const uint8_t* p;
  uint16_t U16(size_t at) const { return LoadU16LE(p + at); }
  int16_t I16(size_t at) const { return int16_t(LoadU16LE(p + at)); }
  uint32_t U32(size_t at) const { return LoadU32LE(p + at); }
  float F32(size_t at) const { return LoadF32LE(p + at); }
  Rgb16 Colour(size_t at) const { return {U16(at), U16(at + 2), U16(at + 4)}; }
  template <size_t N>
  void Bytes(size_t at, std::array<uint8_t, N>& b) const { std::memcpy(b.data(), p + at, N); }
};

// A stored value outside its range is pulled to the nearest end; a stored NaN cannot be ordered
// and takes the default instead.
void ClampFloat(float& value, float low, float high, float fallback) {
  value = std::isnan(value) ? fallback : std::clamp(value, low, high);
}
template <typename T>
void ClampInt(T& value, T low, T high) {
  value = std::clamp(value, low, high);
}

}  // namespace

void SetDefaultPreferences(Preferences& prefs) {
  prefs.drawFullOnRedraw = 0;
  prefs.memorySize = 150000;
  prefs.screenHeight = 5000;
  prefs.screenWidth = 5000;
  prefs.displayChoice = 1;
  prefs.rendererWord = 0;
  prefs.composerBufferHeight = 300;
  prefs.composerBufferWidth = 400;
  prefs.wallpaperIndex = 5;
  prefs.modelingBackground = {0, 0, 0};
  prefs.composerBackground = {0, 0, 0};
  prefs.composerWireframe = {0xFF00, 0xFF00, 0xFF00};
  prefs.composerSelected = {0xFF00, 0, 0};
  prefs.composerAnim = {0xFF00, 0xFF00, 0};
  prefs.extraColour = {0x5000, 0, 0};
  prefs.defaultObjectColour = {0x9A00, 0xB300, 0xFF00};
  prefs.generalFlag = 1;
  prefs.pictureSaveOptions = {0, 0, 1, 0};
  prefs.pictureSaveFileType = FourCC("BMP ");
  prefs.shadowBufferSize = 1.0f;
  prefs.shadowSmoothness = 5.0f;
  prefs.shadingValue = 0.1f;
  prefs.shadowLightness = 0.1f;
  prefs.value104 = 0;
  prefs.shadowQuality = 1;
  prefs.textureQuality = 1;
  prefs.value112 = 0.01f;
  prefs.value116 = 5.0f;
  prefs.snapRadius = 7.0f;
  prefs.breakingAngle = 45.0f;
  prefs.showSecondStripItem = 0;
  prefs.quorvelRealtimeResolution = 32;
  prefs.quorvelFinalResolution = 48;
  prefs.morphQuality = 80;
  prefs.rendererRunningFlags = 0;
  prefs.tabletFlags = 5;
  prefs.startupAction = 1;
  prefs.backgroundAlignment = 0;
}

void ClampPreferences(Preferences& prefs) {
  ClampInt<uint16_t>(prefs.displayChoice, 0, 2);
  ClampFloat(prefs.shadowBufferSize, 0.5f, 10.0f, 1.0f);
  ClampFloat(prefs.shadowSmoothness, 0.0f, 40.0f, 5.0f);
  ClampFloat(prefs.shadowLightness, 0.0f, 1.0f, 0.1f);
  ClampInt<uint16_t>(prefs.shadowQuality, 0, 3);
  ClampInt<uint16_t>(prefs.textureQuality, 0, 2);
  ClampFloat(prefs.snapRadius, 2.0f, 20.0f, 7.0f);
  ClampFloat(prefs.breakingAngle, 0.0f, 180.0f, 45.0f);
  ClampInt<int16_t>(prefs.quorvelRealtimeResolution, 8, 128);
  ClampInt<int16_t>(prefs.quorvelFinalResolution, 8, 128);
  ClampInt<int16_t>(prefs.morphQuality, 16, 512);
  ClampInt<int16_t>(prefs.startupAction, 0, 4);
}

void StorePreferences(const Preferences& prefs, std::span<uint8_t, kPreferencesSize> out) {
  Writer w{out.data()};
  std::memset(w.p, 0, kPreferencesSize);
  w.U16(0, prefs.drawFullOnRedraw);
  w.Bytes(2, prefs.unused2);
  w.U32(4, prefs.memorySize);
  w.I16(8, prefs.screenHeight);
  w.I16(10, prefs.screenWidth);
  w.U16(12, prefs.displayChoice);
  w.U16(14, prefs.rendererWord);
  w.I16(16, prefs.composerBufferHeight);
  w.I16(18, prefs.composerBufferWidth);
  w.U16(20, prefs.wallpaperIndex);
  w.Colour(22, prefs.modelingBackground);
  w.Colour(28, prefs.composerBackground);
  w.Colour(34, prefs.composerWireframe);
  w.Colour(40, prefs.composerSelected);
  w.Colour(46, prefs.composerAnim);
  w.Colour(52, prefs.extraColour);
  w.Colour(58, prefs.defaultObjectColour);
  w.U16(64, prefs.generalFlag);
  for (size_t i = 0; i < 4; ++i) w.U16(66 + 2 * i, prefs.pictureSaveOptions[i]);
  w.Bytes(74, prefs.unused74);
  w.U32(76, prefs.pictureSaveFileType);
  for (size_t i = 0; i < 4; ++i) w.I16(80 + 2 * i, prefs.composerViewRect[i]);
  w.F32(88, prefs.shadowBufferSize);
  w.F32(92, prefs.shadowSmoothness);
  w.F32(96, prefs.shadingValue);
  w.F32(100, prefs.shadowLightness);
  w.F32(104, prefs.value104);
  w.U16(108, prefs.shadowQuality);
  w.U16(110, prefs.textureQuality);
  w.F32(112, prefs.value112);
  w.F32(116, prefs.value116);
  w.F32(120, prefs.snapRadius);
  w.F32(124, prefs.breakingAngle);
  w.U16(128, prefs.showSecondStripItem);
  w.I16(130, prefs.quorvelRealtimeResolution);
  w.I16(132, prefs.quorvelFinalResolution);
  w.I16(134, prefs.morphQuality);
  w.U16(136, prefs.rendererRunningFlags);
  w.Bytes(138, prefs.unused138);
  w.U16(146, prefs.tabletFlags);
  w.I16(148, prefs.startupAction);
  w.U16(150, prefs.backgroundAlignment);
  w.Bytes(152, prefs.unused152);
}

Preferences LoadPreferencesRecord(std::span<const uint8_t, kPreferencesSize> in) {
  Reader r{in.data()};
  Preferences prefs;
  prefs.drawFullOnRedraw = r.U16(0);
  r.Bytes(2, prefs.unused2);
  prefs.memorySize = r.U32(4);
  prefs.screenHeight = r.I16(8);
  prefs.screenWidth = r.I16(10);
  prefs.displayChoice = r.U16(12);
  prefs.rendererWord = r.U16(14);
  prefs.composerBufferHeight = r.I16(16);
  prefs.composerBufferWidth = r.I16(18);
  prefs.wallpaperIndex = r.U16(20);
  prefs.modelingBackground = r.Colour(22);
  prefs.composerBackground = r.Colour(28);
  prefs.composerWireframe = r.Colour(34);
  prefs.composerSelected = r.Colour(40);
  prefs.composerAnim = r.Colour(46);
  prefs.extraColour = r.Colour(52);
  prefs.defaultObjectColour = r.Colour(58);
  prefs.generalFlag = r.U16(64);
  for (size_t i = 0; i < 4; ++i) prefs.pictureSaveOptions[i] = r.U16(66 + 2 * i);
  r.Bytes(74, prefs.unused74);
  prefs.pictureSaveFileType = r.U32(76);
  for (size_t i = 0; i < 4; ++i) prefs.composerViewRect[i] = r.I16(80 + 2 * i);
  prefs.shadowBufferSize = r.F32(88);
  prefs.shadowSmoothness = r.F32(92);
  prefs.shadingValue = r.F32(96);
  prefs.shadowLightness = r.F32(100);
  prefs.value104 = r.F32(104);
  prefs.shadowQuality = r.U16(108);
  prefs.textureQuality = r.U16(110);
  prefs.value112 = r.F32(112);
  prefs.value116 = r.F32(116);
  prefs.snapRadius = r.F32(120);
  prefs.breakingAngle = r.F32(124);
  prefs.showSecondStripItem = r.U16(128);
  prefs.quorvelRealtimeResolution = r.I16(130);
  prefs.quorvelFinalResolution = r.I16(132);
  prefs.morphQuality = r.I16(134);
  prefs.rendererRunningFlags = r.U16(136);
  r.Bytes(138, prefs.unused138);
  prefs.tabletFlags = r.U16(146);
  prefs.startupAction = r.I16(148);
  prefs.backgroundAlignment = r.U16(150);
  r.Bytes(152, prefs.unused152);
  return prefs;
}

void ReadPreferences() {
  SetDefaultPreferences(preferences);
  FileSpec spec = MakePrefsFileSpec();
  FileRef file;
  if (OpenFile(spec, FileMode::Read, file) == kNoError) {
    uint8_t bytes[kPreferencesSize];
    // A short file is a damaged one: its bytes are not trusted and the defaults stay.
    if (ReadBytes(file, bytes, sizeof bytes) == kNoError) preferences = LoadPreferencesRecord(bytes);
  }
  ClampPreferences(preferences);
}

Status WritePreferences() {
  std::error_code error;
  std::filesystem::create_directories(ConfigFolder(), error);
  FileSpec spec = MakePrefsFileSpec();
  if (!IsFileSpecSet(spec)) return kWriteError;
  std::string path = PathOfSpec(spec);
  std::string temp = path + ".new";
  uint8_t bytes[kPreferencesSize];
  StorePreferences(preferences, bytes);
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return kWriteError;
  bool ok = ::write(fd, bytes, sizeof bytes) == ssize_t(sizeof bytes);
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return kWriteError;
  }
  return kNoError;
}

}  // namespace tsv
