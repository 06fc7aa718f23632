// safe_save.cpp: temporary file beside the target, then an atomic rename over it.
#include "scene/safe_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
  save.inPlace = false;
  struct stat existing;
  if (::stat(save.targetPath.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
    // Renaming over a device would replace the device node itself; such targets take the
    // bytes as they come, or are refused.
    if (S_ISDIR(existing.st_mode) || S_ISBLK(existing.st_mode)) {
      if (!save.quiet) ShowStopMessage(FormatString(kErrNotWritableTarget, {save.targetPath}));
      return false;
    }
    const int fd = ::open(save.targetPath.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
      if (!save.quiet) ShowFileError();
      return false;
    }
    save.temporaryPath.clear();
    save.file = FileRef(fd);
    save.inPlace = true;
    save.active = true;
    return true;
  }
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
  if (save.inPlace) {
    // A device or pipe has no end to set and nothing to force; the close says whether the last
    // bytes got through.
    const bool closed = CloseFile(save.file) == kNoError;
    save.active = false;
    if (!closed && !save.quiet) ShowFileError();
    return closed;
  }
  // The end is set where the writes stopped, the bytes forced to disk, the file closed: only a
  // temporary that got through all of it replaces the target.
  const off_t end = ::lseek(save.file.descriptor, 0, SEEK_CUR);
  const bool complete = end >= 0 && ::ftruncate(save.file.descriptor, end) == 0 &&
                        ::fsync(save.file.descriptor) == 0 && CloseFile(save.file) == kNoError &&
                        ::rename(save.temporaryPath.c_str(), save.targetPath.c_str()) == 0;
  if (!complete) {
    if (!save.quiet) ShowFileError();
    AbandonSafeSave(save);
    return false;
  }
  save.active = false;
  // The rename is part of the save: it reaches the disk with the folder's entry.
  const int folder = ::open(FolderOfPath(save.targetPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return true;
}

bool WriteSafeSave(SafeSave& save, std::span<const uint8_t> bytes) {
  if (!save.active || save.file.openFlag == 0) return false;
  if (!save.quiet) return WriteBytes(save.file, bytes.data(), bytes.size()) == kNoError;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(save.file.descriptor, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      CloseFileQuietly(save.file);  // as a failed write of the file layer leaves it
      return false;
    }
    done += size_t(n);
  }
  return true;
}

void AbandonSafeSave(SafeSave& save) {
  if (!save.active) return;
  CloseFileQuietly(save.file);
  if (!save.inPlace) ::unlink(save.temporaryPath.c_str());
  save.active = false;
}

}  // namespace tsv
