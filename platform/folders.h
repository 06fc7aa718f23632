// folders.h: the recursive file search, the private temporary folder with its scratch files, and
// the location of the preferences file.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_spec.h"
#include "platform/status.h"

namespace tsv {

// Looks for folder/name, then searches the subfolders depth first in the order the system lists
// them; the first match wins. Folders reached twice through links are searched once.
[[nodiscard]] bool FindFileInFolderTree(const std::string& folder, std::string_view name, FileSpec& found);

// $TMPDIR (else /tmp) plus "Tessivar temp" and the user id, created private to the user when
// missing. A path that exists but is not our own folder is refused (returns 1).
Status CreateTempFolder();
std::string TempFolderPath();

// Gives this process a scratch folder of its own beside the shared one (the shared name plus a
// unique suffix, private to the user) and makes it the temporary folder: batch runs and test
// programs that run side by side then never share, or delete, each other's scratch files. The
// folder and its files are removed at exit, or earlier by RemoveProcessTempFolder.
Status CreateProcessTempFolder();
void RemoveProcessTempFolder();

enum class ScratchFile {
  MorphKeyframe,  // "MorphKF0".."MorphKF7": slot 0..7
  MorphObject,
  Strips,
  SavedMetaBalls,
  MetaBallsRec,
  MetaBodyVertices,
  MetaBodyTriangles,
  TaskSteps,
  TaskStepsSession,
  TaskStepsNew,
};
// The FileSpec of a scratch file inside the temporary folder (typeCount 1, the file's type).
FileSpec MakeTempFileSpec(ScratchFile kind, int slot = 0);

// $XDG_CONFIG_HOME (else ~/.config) / Tessivar / "Tessivar 1.0 Prefs".
FileSpec MakePrefsFileSpec();
std::string ConfigFolder();

}  // namespace tsv
