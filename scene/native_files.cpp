// native_files.cpp: the native files' state and the project folders derived from it.
#include "scene/native_files.h"

#include <sys/stat.h>

#include "platform/string_ids.h"
#include "platform/string_table.h"

namespace tsv {

NativeFilesState nativeFiles;

void ResetNativeFilesState() {
  nativeFiles = NativeFilesState{};
  nativeFiles.project = DefaultProjectRecord();
}

std::string ProjectFolderPath() {
  if (!IsFileSpecSet(nativeFiles.project.projectFile)) return {};
  return FolderOfPath(PathOfSpec(nativeFiles.project.projectFile));
}

std::string ProjectObjectsFolderPath() {
  const std::string folder = ProjectFolderPath();
  if (folder.empty()) return folder;
  const std::string objects = folder + "/" + GetString(kFolderObjects);
  struct stat info;
  return ::stat(objects.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? objects : folder;
}

}  // namespace tsv
