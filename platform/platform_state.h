// platform_state.h: the platform layer's global state in one record, with the reset tests use.
// The input state (`input`), the window (`mainWindow`), the tablet, the relative drag and the
// preferences keep records of their own, declared with their services.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/files.h"
#include "platform/settings.h"
#include "platform/user_services.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;

namespace tsv {

// The interface faces, loaded once by InitInterfaceFonts.
struct FontState {
  FT_LibraryRec_* library = nullptr;
  FT_FaceRec_* regular = nullptr;
  FT_FaceRec_* bold = nullptr;
  bool tried = false;
  bool exitHookSet = false;
  bool fontconfigUsed = false;
  float scale = 1.0f;  // the interface scale the text is drawn at
};

// The one buffered stream of the exchange formats.
struct StreamState {
  FileRef file;
  std::vector<uint8_t> buffer;
  bool writing = false;
  bool finished = false;
  size_t position = 0;  // next byte to read, or the count of bytes pending a write
  size_t filled = 0;    // bytes of the buffer holding file data (reading)
  int64_t fileSize = 0;
};

// The first instance's listening socket, through which a second start hands over its file.
struct InstanceState {
  int listener = -1;
  std::string socketPath;
};

struct PlatformState {
  std::string resourceDirectory;  // the folder that holds Resource/english
  std::string startDirectory;     // the working directory at start
  std::string tempFolder;         // set by CreateTempFolder
  // A scratch folder of this process alone (CreateProcessTempFolder); it outlives resets, and
  // CreateTempFolder takes it over the shared one while it exists.
  std::string processTempFolder;
  bool processTempFolderRemovalRegistered = false;  // its exit handler, once per process
  std::string rememberedFolder;   // where the next file dialog opens
  uint32_t chosenFilterType = 0;  // type of the filter chosen in the last file dialog
  UserServices* services = nullptr;
  // Stands in while no window or test has installed services of its own.
  ConsoleServices console;

  std::unordered_map<int32_t, std::string> loadedStrings;  // texts read over the built-in table
  FontState fonts;
  StreamState stream;
  InstanceState instance;
  bool videoStarted = false;  // SDL's video subsystem runs
  Settings settings;          // beside the preferences: scale, history budget, dialog folders
};

extern PlatformState platform;

// Working directory as startDirectory; resourceDirectory from TESSIVAR_HOME, else the folder of the
// executable (or <prefix>/share/tessivar for an installed <prefix>/bin/tessivar), else the working
// directory.
void InitPlatformDirectories();
// Back to the state before start-up. The installed services, the fonts, the instance socket and
// the video subsystem outlive a reset: they belong to whoever set them up and are released by
// their own shutdown calls.
void ResetPlatformState();

}  // namespace tsv
