// safe_save.h: replacing a file without ever losing it. The new contents go to a temporary file
// beside the target, and only a complete write is renamed over the target; a write that fails
// part-way leaves the previous file as it was and removes the temporary.
#pragma once

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
  std::string temporaryPath;  // the temporary beside it while the save runs
  FileRef file;               // the temporary, open for writing
  bool active = false;
  // Set before BeginSafeSave for a file whose failure to start is passed over in silence (the
  // preview beside an object that is already saved).
  bool quiet = false;
};

// Creates a new temporary file in the target's folder (private name, the permissions the target
// has, or the usual ones for a new file) and opens it for writing. False, after "Error: File error
// has occured.", when the target names no absolute path or the folder takes no new file.
[[nodiscard]] bool BeginSafeSave(const FileSpec& target, SafeSave& save);

// Sets the end of the temporary at its current position, forces it to disk, closes it and renames
// it over the target. False (the file error shown, the temporary removed, the target untouched)
// when any of that fails, or when the file was already closed by a failed write.
[[nodiscard]] bool CommitSafeSave(SafeSave& save);

// Closes and removes the temporary; the target stays as it was.
void AbandonSafeSave(SafeSave& save);

}  // namespace tsv
