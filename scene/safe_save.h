// safe_save.h: replacing a file without ever losing it. The new contents go to a temporary file
// beside the target, and only a complete write, forced to disk, is renamed over the target; a
// write that fails part-way leaves the previous file as it was and removes the temporary. A target
// that is a character device, a pipe or a socket (standard output, /dev/null) cannot be replaced:
// it is written in place. Folders and block devices are refused.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/file_spec.h"
#include "platform/files.h"

namespace tsv {

struct SafeSave {
  SafeSave() = default;
  SafeSave(const SafeSave&) = delete;
  SafeSave& operator=(const SafeSave&) = delete;
  // A save that was begun and never committed is abandoned.
  ~SafeSave();

  std::string targetPath;     // the file to replace (through a symbolic link, the file it names)
  std::string temporaryPath;  // the temporary beside it while the save runs; empty in place
  FileRef file;               // the temporary (or the device itself), open for writing
  bool active = false;
  bool inPlace = false;       // the target is a device or a pipe, written directly
  // Set before BeginSafeSave for a file whose failures are passed over in silence (the preview
  // beside an object that is already saved): nothing is shown at any step.
  bool quiet = false;
};

// Creates a new temporary file in the target's folder (private name, the permissions the target
// has, or the usual ones for a new file) and opens it for writing; a device or pipe target is
// opened itself. False, after "Error: File error has occured.", when the target names no absolute
// path or the folder takes no new file; after a text naming it, when it is a folder or a block
// device.
[[nodiscard]] bool BeginSafeSave(const FileSpec& target, SafeSave& save);

// Sets the end of the temporary at its current position, forces it to disk, closes it, renames it
// over the target and forces the folder's entry to disk. In place, only the close remains. False
// (the file error shown, the temporary removed, the target untouched) when any of that fails, or
// when the file was already closed by a failed write.
[[nodiscard]] bool CommitSafeSave(SafeSave& save);

// Writes the bytes into the save; a failure closes the file (the commit then fails) and is shown
// unless the save is quiet. False on a failure.
[[nodiscard]] bool WriteSafeSave(SafeSave& save, std::span<const uint8_t> bytes);

// Closes and removes the temporary; the target stays as it was.
void AbandonSafeSave(SafeSave& save);

}  // namespace tsv
