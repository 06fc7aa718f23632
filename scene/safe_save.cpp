// safe_save.cpp: temporary file beside the target, then an atomic rename over it.
#include "scene/safe_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"

namespace tsv {
namespace {

void ShowFileError() { ShowStopMessage(GetString(kErrFileError)); }

// The file the save really replaces: a symbolic link is followed so that the link stays a link.
std::string ResolvedTarget(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
  return path;
}

mode_t NewFileMode() {
  // The process mask can only be read by setting it; everything runs on one thread.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

SafeSave::~SafeSave() {
  if (active) AbandonSafeSave(*this);
}

bool BeginSafeSave(const FileSpec& target, SafeSave& save) {
  if (save.active) AbandonSafeSave(save);
  const std::string path = PathOfSpec(target);
  // Only absolute paths of this system: a name kept from another system (C:\...) would otherwise
  // land in the working directory under a strange name.
  if (!IsFileSpecSet(target) || path.empty() || path[0] != '/' || path.back() == '/') {
    if (!save.quiet) ShowFileError();
    return false;
  }
  save.targetPath = ResolvedTarget(path);
  const std::string folder = FolderOfPath(save.targetPath);
  // The temporary carries the start of the target's name, so a leftover after a crash is
  // recognisable, but stays well within the longest name a folder takes.
  const std::string name = FileNameOfPath(save.targetPath).substr(0, 64);
  std::string pattern = folder + "/." + name + ".saving-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
  if (fd < 0) {
    if (!save.quiet) ShowFileError();
    return false;
  }
  struct stat info;
  const mode_t mode = ::stat(save.targetPath.c_str(), &info) == 0 ? (info.st_mode & 07777) : NewFileMode();
  if (::fchmod(fd, mode) != 0) {
    // A temporary we cannot give the right permissions would change the file's access.
    ::close(fd);
    ::unlink(buffer.data());
    if (!save.quiet) ShowFileError();
    return false;
  }
  save.temporaryPath = buffer.data();
  save.file = FileRef(fd);
  save.active = true;
  return true;
}

bool CommitSafeSave(SafeSave& save) {
  if (!save.active) return false;
  if (save.file.openFlag == 0) {
    // A failed write closed the file and has already been reported.
    AbandonSafeSave(save);
    return false;
  }
  bool ok = SetEndOfFile(save.file) == kNoError;  // reports its own failure
  if (ok && ::fsync(save.file.descriptor) != 0) {
    ShowFileError();
    ok = false;
  }
  if (!ok) {
    AbandonSafeSave(save);
    return false;
  }
  const bool closed = CloseFile(save.file) == kNoError;
  if (!closed || ::rename(save.temporaryPath.c_str(), save.targetPath.c_str()) != 0) {
    ShowFileError();
    AbandonSafeSave(save);
    return false;
  }
  save.active = false;
  return true;
}

void AbandonSafeSave(SafeSave& save) {
  if (!save.active) return;
  CloseFileQuietly(save.file);
  ::unlink(save.temporaryPath.c_str());
  save.active = false;
}

}  // namespace tsv
