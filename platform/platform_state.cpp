// platform_state.cpp: the platform layer's global record and the folders found at start.
#include "platform/platform_state.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

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
    std::string folder = FolderOfPath(buffer);
    if (folder.empty()) folder = "/";
    // A build tree keeps Resource beside the executable; an installed program keeps it in
    // <prefix>/share/tessivar while the executable is <prefix>/bin/tessivar. Without either, the
    // executable's folder stays the answer, so a missing resource is reported where it belongs.
    std::error_code error;
    const std::filesystem::path installed = std::filesystem::path(folder).parent_path() / "share" / "tessivar";
    if (!std::filesystem::is_directory(std::filesystem::path(folder) / "Resource", error) &&
        std::filesystem::is_directory(installed / "Resource", error)) {
      folder = installed.string();
    }
    platform.resourceDirectory = folder;
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
