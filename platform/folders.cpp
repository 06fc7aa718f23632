// folders.cpp: file search, temporary folder and scratch files, preferences location.
#include "platform/folders.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

#include "platform/platform_state.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"

namespace tsv {
namespace {

constexpr int kMaxSearchDepth = 64;

bool IsRegularFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string JoinPath(const std::string& folder, std::string_view name) {
  if (!folder.empty() && folder.back() == '/') return folder + std::string(name);
  return folder + "/" + std::string(name);
}

bool Search(const std::string& folder, std::string_view name, int depth,
            std::set<std::pair<dev_t, ino_t>>& visited, std::string& result) {
  struct stat info;
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  if (!visited.insert({info.st_dev, info.st_ino}).second) return false;
  std::string candidate = JoinPath(folder, name);
  if (IsRegularFile(candidate)) {
    result = candidate;
    return true;
  }
  if (depth >= kMaxSearchDepth) return false;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return false;
  std::vector<std::string> subfolders;
  while (dirent* entry = ::readdir(dir)) {
    std::string_view entryName = entry->d_name;
    if (entryName == "." || entryName == "..") continue;
    std::string path = JoinPath(folder, entryName);
    struct stat entryInfo;
    if (::stat(path.c_str(), &entryInfo) == 0 && S_ISDIR(entryInfo.st_mode)) subfolders.push_back(path);
  }
  ::closedir(dir);
  for (const std::string& sub : subfolders) {
    if (Search(sub, name, depth + 1, visited, result)) return true;
  }
  return false;
}

StringId ScratchName(ScratchFile kind, int slot) {
  static constexpr StringId kKeyframes[8] = {kScratchMorphKf0, kScratchMorphKf1, kScratchMorphKf2,
                                             kScratchMorphKf3, kScratchMorphKf4, kScratchMorphKf5,
                                             kScratchMorphKf6, kScratchMorphKf7};
  switch (kind) {
    case ScratchFile::MorphKeyframe: return kKeyframes[slot < 0 ? 0 : slot > 7 ? 7 : slot];
    case ScratchFile::MorphObject: return kScratchMorphObject;
    case ScratchFile::Strips: return kScratchStrips;
    case ScratchFile::SavedMetaBalls: return kScratchSavedMetaBalls;
    case ScratchFile::MetaBallsRec: return kScratchMetaBallsRec;
    case ScratchFile::MetaBodyVertices: return kScratchMetaBodyVertices;
    case ScratchFile::MetaBodyTriangles: return kScratchMetaBodyTriangles;
    case ScratchFile::TaskSteps: return kScratchTaskSteps;
    case ScratchFile::TaskStepsSession: return kScratchTaskStepsSession;
    case ScratchFile::TaskStepsNew: return kScratchTaskStepsNew;
  }
  return kScratchTaskSteps;
}

uint32_t ScratchType(ScratchFile kind) {
  switch (kind) {
    case ScratchFile::MorphKeyframe: return FourCC("MKFF");
    case ScratchFile::TaskSteps:
    case ScratchFile::TaskStepsSession:
    case ScratchFile::TaskStepsNew: return FourCC("TSKS");
    default: return FourCC("RSRC");
  }
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return home;
  if (const passwd* user = ::getpwuid(::getuid())) return user->pw_dir;
  return "/tmp";
}

}  // namespace

bool FindFileInFolderTree(const std::string& folder, std::string_view name, FileSpec& found) {
  if (name.empty() || name.find('/') != std::string_view::npos) return false;
  std::set<std::pair<dev_t, ino_t>> visited;
  std::string path;
  if (!Search(folder, name, 0, visited, path)) return false;
  found = FileSpecForPath(path, FileTypeFromName(path));
  return IsFileSpecSet(found);
}

std::string TempFolderPath() {
  const char* base = std::getenv("TMPDIR");
  std::string folder = base != nullptr && base[0] == '/' ? base : "/tmp";
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return JoinPath(folder, GetString(kFolderTemp) + "-" + std::to_string(::getuid()));
}

Status CreateTempFolder() {
  if (!platform.processTempFolder.empty()) {
    platform.tempFolder = platform.processTempFolder;
    return kNoError;
  }
  std::string folder = TempFolderPath();
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return kWriteError;
  // The folder lives in a shared place: use it only when it is a real folder of our own.
  struct stat info;
  if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
    return kWriteError;
  }
  platform.tempFolder = folder;
  return kNoError;
}

Status CreateProcessTempFolder() {
  if (!platform.processTempFolder.empty()) return CreateTempFolder();
  std::string pattern = TempFolderPath() + ".XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) return kWriteError;  // made 0700, ours alone
  platform.processTempFolder = pattern;
  if (!platform.processTempFolderRemovalRegistered) {
    platform.processTempFolderRemovalRegistered = std::atexit(RemoveProcessTempFolder) == 0;
  }
  return CreateTempFolder();
}

void RemoveProcessTempFolder() {
  const std::string folder = platform.processTempFolder;
  if (folder.empty()) return;
  // Only scratch files live there, never folders.
  if (DIR* dir = ::opendir(folder.c_str())) {
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    for (const std::string& name : names) (void)::unlink(JoinPath(folder, name).c_str());
  }
  (void)::rmdir(folder.c_str());
  if (platform.tempFolder == folder) platform.tempFolder.clear();
  platform.processTempFolder.clear();
}

FileSpec MakeTempFileSpec(ScratchFile kind, int slot) {
  // Scratch files never fall back to a shared folder where another user could place a link under
  // the same name: without our own folder the returned FileSpec names no file and every use of it fails.
  if (platform.tempFolder.empty() && CreateTempFolder() != kNoError) return FileSpec{};
  return FileSpecForPath(JoinPath(platform.tempFolder, GetString(ScratchName(kind, slot))), ScratchType(kind));
}

std::string ConfigFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base = config != nullptr && config[0] == '/' ? config : JoinPath(HomeFolder(), ".config");
  return JoinPath(base, "Tessivar");
}

FileSpec MakePrefsFileSpec() {
  return FileSpecForPath(JoinPath(ConfigFolder(), GetString(kFilePrefs)), FourCC("RSRC"));
}

}  // namespace tsv
