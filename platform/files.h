// files.h: files named by a FileSpec, read and written with the program's status codes. Numbers in
// files are big-endian unless a format says otherwise. Reading fails quietly (-39) for callers that
// test the status; the reporting readers, writes, positions and sizes show "Error: File error has
// occured." and close the file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_spec.h"
#include "platform/status.h"

namespace tsv {

// An open file. It closes itself when it goes out of scope; CloseFile closes it earlier and says
// whether the close succeeded (which matters after writing).
struct FileRef {
  uint16_t reserved = 0;
  uint16_t openFlag = 0;  // 1 while open
  int descriptor = -1;

  FileRef() = default;
  // Takes over an open descriptor.
  explicit FileRef(int openDescriptor) : openFlag(openDescriptor >= 0 ? 1 : 0), descriptor(openDescriptor) {}
  FileRef(const FileRef&) = delete;
  FileRef& operator=(const FileRef&) = delete;
  FileRef(FileRef&& other) noexcept;
  FileRef& operator=(FileRef&& other) noexcept;
  ~FileRef();
};

enum class FileMode {
  Read,       // an existing file, for reading
  Write,      // opened or created, for writing; existing contents stay until the end is set
  ReadWrite,  // an existing file, for both
};

enum class SeekFrom { Start = 0, Current = 1, End = 2 };

// Creates or truncates the file; 0 or 1.
Status CreateFile(const FileSpec& spec);
Status DeleteFile(const FileSpec& spec);
// Renames within the file's folder; the file spec then names the new file.
Status RenameFile(FileSpec& spec, std::string_view newName);

// -43 when the file cannot be opened. On success entry 0 of the file spec's types comes from its name.
Status OpenFile(FileSpec& spec, FileMode mode, FileRef& file);
Status CloseFile(FileRef& file);
// Closes a file that was only read, or whose failure has already been reported.
void CloseFileQuietly(FileRef& file);
Status SetEndOfFile(FileRef& file);  // at the current position
Status FlushFile(FileRef& file);

Status SetFilePosition(FileRef& file, int64_t offset, SeekFrom from);  // -39 on failure
Status GetFilePosition(FileRef& file, int64_t& position);
Status GetFileSize(FileRef& file, int64_t& size);

// -39 unless exactly `count` bytes were read.
Status ReadBytes(FileRef& file, void* buffer, size_t count);
Status WriteBytes(FileRef& file, const void* buffer, size_t count);

// Big-endian in the file, machine order for the caller (raw keeps the file's byte order).
Status ReadU16(FileRef& file, uint16_t& value, bool raw = false);
Status ReadU32(FileRef& file, uint32_t& value, bool raw = false);
Status ReadU16Reporting(FileRef& file, uint16_t& value);
Status ReadF32(FileRef& file, float& value);
Status WriteU16(FileRef& file, uint16_t value);
Status WriteU32(FileRef& file, uint32_t value);
Status WriteF32(FileRef& file, float value);

}  // namespace tsv
