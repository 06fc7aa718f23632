// preferences_fuzz.cpp: any bytes as the preferences file, read the way the program reads it at
// start. What it reads must already be within the clamps: clamping it again changes nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <span>

#include "fuzz/fuzz_support.h"
#include "platform/file_spec.h"
#include "platform/folders.h"
#include "platform/preferences.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tsv::fuzz::InitFuzzTarget();
  // The preferences file of this process lies in its private folder, never in the user's.
  if (::setenv("XDG_CONFIG_HOME", tsv::fuzz::FuzzFolder().c_str(), 1) != 0) std::abort();
  std::filesystem::create_directories(tsv::ConfigFolder());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tsv;
  const std::string name = FileNameOfPath(PathOfSpec(MakePrefsFileSpec()));
  (void)fuzz::WriteFuzzFile("Tessivar/" + name, std::span<const uint8_t>(data, size));  // path known
  ReadPreferences();
  Preferences clamped = preferences;
  ClampPreferences(clamped);
  uint8_t read[kPreferencesSize];
  uint8_t again[kPreferencesSize];
  StorePreferences(preferences, read);
  StorePreferences(clamped, again);
  if (std::memcmp(read, again, kPreferencesSize) != 0) std::abort();
  fuzz::ForgetShownTexts();
  return 0;
}
