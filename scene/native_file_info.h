// native_file_info.h: batch functions over the native files, for the command line: what a native
// file holds, and a project made from object files. Both use the very procedures the panels call.
#pragma once

#include <string>
#include <vector>

#include "platform/status.h"

namespace tsv {

struct NativeFileInfo {
  bool ok = false;
  std::string text;  // the facts, one per line; or the program's error text when !ok
};

// What an object, project, optics or preview file holds: its type, name, counts, description,
// optics and the chunks seen (objects), or the objects and folders (projects). Nothing is asked
// and nothing is shown: the texts the file calls would show become the error text, and the
// object table and project in memory are left alone. The object's texture picture is not loaded.
NativeFileInfo InfoOfNativeFile(const std::string& path);

// Makes the project `projectPath` (".cma" added when missing) from object files: the objects
// replace the object table (in the order given, from slot 0), each is saved into the project's
// "Objects" folder under its file name (a name used twice gets a number: "Rock 2.cmf") and the
// project is saved as SaveProject does, textures copied into "Textures". Messages are shown
// through the user services in use. 0, or the status of the step that failed: -43 for an object
// file that does not exist, 1 for one that cannot be read or a save that fails.
Status MakeProjectFromObjects(const std::string& projectPath, const std::vector<std::string>& objectPaths);

}  // namespace tsv
