// platform_state.h: the platform layer's global state in one record, with the reset tests use.
#pragma once

#include <cstdint>
#include <string>

namespace tsv {

struct UserServices;

struct PlatformState {
  std::string resourceDirectory;  // the folder that holds Resource/english
  std::string startDirectory;     // the working directory at start
  std::string tempFolder;         // set by CreateTempFolder
  std::string rememberedFolder;   // where the next file dialog opens
  uint32_t chosenFilterType = 0;  // type of the filter chosen in the last file dialog
  UserServices* services = nullptr;
};

extern PlatformState platform;

// Working directory as startDirectory; resourceDirectory from TESSIVAR_HOME, else the folder of the
// executable, else the working directory.
void InitPlatformDirectories();
void ResetPlatformState();

}  // namespace tsv
