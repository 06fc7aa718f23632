// platform_state.cpp: the platform layer's global record and the folders found at start.
#include "platform/platform_state.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/file_spec.h"

namespace tsv {

PlatformState platform;

void InitPlatformDirectories() {
  char buffer[4096];
  platform.startDirectory = getcwd(buffer, sizeof buffer) ? buffer : "/";
  const char* home = std::getenv("TESSIVAR_HOME");
  if (home != nullptr && home[0] != '\0') {
    platform.resourceDirectory = home;
    return;
  }
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n > 0) {
    buffer[n] = '\0';
    platform.resourceDirectory = FolderOfPath(buffer);
    if (platform.resourceDirectory.empty()) platform.resourceDirectory = "/";
    return;
  }
  platform.resourceDirectory = platform.startDirectory;
}

void ResetPlatformState() {
  platform.resourceDirectory.clear();
  platform.startDirectory.clear();
  platform.tempFolder.clear();
  platform.rememberedFolder.clear();
  platform.chosenFilterType = 0;
  SetDefaultSettings(platform.settings);
}

}  // namespace tsv
