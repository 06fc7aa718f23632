// fuzz_support.cpp: the quiet state and the private folder of the fuzz targets.
#include "fuzz/fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/organic.h"

namespace tsv::fuzz {

FuzzState fuzzState;

namespace {

FuzzState& Process() { return fuzzState; }

void RemoveFolderAtExit() {
  std::error_code ignored;
  std::filesystem::remove_all(fuzzState.folder, ignored);
}

// Every input is written to a file before the reader opens it. On a disk the open, write and close
// of each input take two thirds of a small reader's time, so the folder goes in memory when the
// machine has a memory file system and TMPDIR does not name another place.
std::filesystem::path FuzzTempRoot() {
  const char* chosen = std::getenv("TMPDIR");
  if ((chosen == nullptr || *chosen == '\0') && ::access("/dev/shm", W_OK | X_OK) == 0) return "/dev/shm";
  return std::filesystem::temp_directory_path();
}

}  // namespace

void ResetFuzzState() {
  fuzzState.services.reset();
  fuzzState.object.reset();
  RemoveFolderAtExit();
  fuzzState.folder.clear();
}

const std::string& FuzzFolder() {
  FuzzState& process = Process();
  if (process.folder.empty()) {
    std::string pattern = (FuzzTempRoot() / "tessivar-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("tessivar fuzz: mkdtemp");
      std::abort();
    }
    process.folder = pattern;
    std::atexit(RemoveFolderAtExit);
  }
  return process.folder;
}

void InitFuzzTarget() {
  FuzzState& process = Process();
  if (process.services) return;
  SetDefaultPreferences(preferences);
  platform.resourceDirectory = TESSIVAR_FUZZ_RESOURCE_ROOT;
  platform.startDirectory = FuzzFolder();
  process.services = std::make_unique<ScriptedServices>();
}

void ForgetShownTexts() {
  ScriptedServices& services = *Process().services;
  services.shown.clear();
  services.choicesOffered.clear();
  services.fileRequests.clear();
  services.progressValues.clear();
}

std::string WriteFuzzFile(const std::string& name, std::span<const uint8_t> bytes) {
  const std::string path = FuzzFolder() + "/" + name;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  bool written = fd >= 0;
  size_t done = 0;
  while (written && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) written = false;
    else done += size_t(n);
  }
  if (fd >= 0 && ::close(fd) != 0) written = false;
  if (!written) {
    std::perror(("tessivar fuzz: writing " + path).c_str());
    std::abort();
  }
  return path;
}

bool WriteFuzzObjects(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return false;
  std::unique_ptr<SceneObject> sphere = NewOrganicSceneObject();
  std::unique_ptr<SceneObject> square = NewSceneObject(4, 2);
  if (!sphere || !square || !FillOrganicShape(*sphere, 0)) return false;
  return SaveObjectToFile(*sphere, FileSpecForPath(folder + "/" + kFuzzSphereName, kObjectFileType)) &&
         SaveObjectToFile(*square, FileSpecForPath(folder + "/" + kFuzzSquareName, kObjectFileType));
}

}  // namespace tsv::fuzz

// The set-up of the targets that need nothing more; a target with a set-up of its own defines
// LLVMFuzzerInitialize itself, and its definition takes the place of this one.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int*, char***) {
  tsv::fuzz::InitFuzzTarget();
  return 0;
}
