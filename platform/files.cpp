// files.cpp: POSIX file descriptors behind the FileSpec file calls.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdio>

#include "platform/byte_order.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"

namespace tsv {
namespace {

void ReportFileError(FileRef& file) {
  ShowStopMessage(GetString(kErrFileError));
  CloseFileQuietly(file);
}

}  // namespace

FileRef::FileRef(FileRef&& other) noexcept
    : reserved(other.reserved), openFlag(other.openFlag), descriptor(other.descriptor) {
  other.openFlag = 0;
  other.descriptor = -1;
}

FileRef& FileRef::operator=(FileRef&& other) noexcept {
  if (this != &other) {
    CloseFileQuietly(*this);
    reserved = other.reserved;
    openFlag = other.openFlag;
    descriptor = other.descriptor;
    other.openFlag = 0;
    other.descriptor = -1;
  }
  return *this;
}

FileRef::~FileRef() { CloseFileQuietly(*this); }

void CloseFileQuietly(FileRef& file) {
  if (file.openFlag != 0) ::close(file.descriptor);
  file.descriptor = -1;
  file.openFlag = 0;
}

Status CreateFile(const FileSpec& spec) {
  int fd = ::open(PathOfSpec(spec).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return kWriteError;
  ::close(fd);
  return kNoError;
}

Status DeleteFile(const FileSpec& spec) {
  return ::unlink(PathOfSpec(spec).c_str()) == 0 ? kNoError : kFileNotFound;
}

Status RenameFile(FileSpec& spec, std::string_view newName) {
  if (newName.empty() || newName.find_first_of("/:") != std::string_view::npos) return kWriteError;
  std::string from = PathOfSpec(spec);
  std::string folder = FolderOfPath(from);
  std::string to = (folder.empty() && !from.empty() && from[0] == '/' ? "" : folder) + "/" + std::string(newName);
  CountedString internal;
  if (!PathToInternal(to, internal)) return kWriteError;
  if (::rename(from.c_str(), to.c_str()) != 0) return errno == ENOENT ? kFileNotFound : kWriteError;
  spec.name = internal;
  return kNoError;
}

Status OpenFile(FileSpec& spec, FileMode mode, FileRef& file) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case FileMode::Read: flags |= O_RDONLY; break;
    case FileMode::Write: flags |= O_WRONLY | O_CREAT; break;
    case FileMode::ReadWrite: flags |= O_RDWR; break;
  }
  file = FileRef{};
  if (!IsFileSpecSet(spec)) return kFileNotFound;
  std::string path = PathOfSpec(spec);
  int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) return kFileNotFound;
  // A folder opens on Linux but is no file to read or write.
  struct stat info;
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    return kFileNotFound;
  }
  file.descriptor = fd;
  file.openFlag = 1;
  spec.fileTypes[0] = FileTypeFromName(path);
  if (spec.typeCount == 0) spec.typeCount = 1;
  return kNoError;
}

Status CloseFile(FileRef& file) {
  if (file.openFlag == 0) return kNoError;
  int result = ::close(file.descriptor);
  file.descriptor = -1;
  file.openFlag = 0;
  return result == 0 ? kNoError : kWriteError;
}

Status SetEndOfFile(FileRef& file) {
  int64_t position = 0;
  if (GetFilePosition(file, position) != kNoError) return kWriteError;
  if (::ftruncate(file.descriptor, position) != 0) {
    ReportFileError(file);
    return kWriteError;
  }
  return kNoError;
}

Status FlushFile(FileRef& file) {
  // Writes go straight to the system; nothing is held back in this process.
  return file.openFlag ? kNoError : kWriteError;
}

Status SetFilePosition(FileRef& file, int64_t offset, SeekFrom from) {
  if (file.openFlag == 0) return kReadError;
  int whence = from == SeekFrom::Start ? SEEK_SET : from == SeekFrom::Current ? SEEK_CUR : SEEK_END;
  return ::lseek(file.descriptor, offset, whence) < 0 ? kReadError : kNoError;
}

Status GetFilePosition(FileRef& file, int64_t& position) {
  off_t result = file.openFlag ? ::lseek(file.descriptor, 0, SEEK_CUR) : -1;
  if (result < 0) {
    ReportFileError(file);
    return kWriteError;
  }
  position = result;
  return kNoError;
}

Status GetFileSize(FileRef& file, int64_t& size) {
  struct stat info;
  if (file.openFlag == 0 || ::fstat(file.descriptor, &info) != 0) {
    ReportFileError(file);
    return kWriteError;
  }
  size = info.st_size;
  return kNoError;
}

Status ReadBytes(FileRef& file, void* buffer, size_t count) {
  if (file.openFlag == 0) return kReadError;
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::read(file.descriptor, out + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return kReadError;
    done += size_t(n);
  }
  return kNoError;
}

Status WriteBytes(FileRef& file, const void* buffer, size_t count) {
  if (file.openFlag == 0) {
    ShowStopMessage(GetString(kErrFileError));
    return kWriteError;
  }
  const auto* in = static_cast<const uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(file.descriptor, in + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ReportFileError(file);
      return kWriteError;
    }
    done += size_t(n);
  }
  return kNoError;
}

Status ReadU16(FileRef& file, uint16_t& value, bool raw) {
  uint8_t bytes[2];
  Status status = ReadBytes(file, bytes, 2);
  if (status != kNoError) return status;
  value = raw ? std::bit_cast<uint16_t>(bytes) : LoadU16BE(bytes);
  return kNoError;
}

Status ReadU32(FileRef& file, uint32_t& value, bool raw) {
  uint8_t bytes[4];
  Status status = ReadBytes(file, bytes, 4);
  if (status != kNoError) return status;
  value = raw ? std::bit_cast<uint32_t>(bytes) : LoadU32BE(bytes);
  return kNoError;
}

Status ReadU16Reporting(FileRef& file, uint16_t& value) {
  Status status = ReadU16(file, value);
  if (status != kNoError) ReportFileError(file);
  return status;
}

Status ReadF32(FileRef& file, float& value) {
  uint32_t bits = 0;
  Status status = ReadU32(file, bits);
  if (status != kNoError) {
    ReportFileError(file);
    return status;
  }
  value = std::bit_cast<float>(bits);
  return kNoError;
}

Status WriteU16(FileRef& file, uint16_t value) {
  uint8_t bytes[2];
  StoreU16BE(bytes, value);
  return WriteBytes(file, bytes, 2);
}

Status WriteU32(FileRef& file, uint32_t value) {
  uint8_t bytes[4];
  StoreU32BE(bytes, value);
  return WriteBytes(file, bytes, 4);
}

Status WriteF32(FileRef& file, float value) { return WriteU32(file, std::bit_cast<uint32_t>(value)); }

}  // namespace tsv
