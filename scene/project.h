// project.h: the project file ('CMA ', "cma") and the project commands. A project file is the
// project record's byte image (project_record.h); the objects live in their own object files in
// the "Objects" folder beside it, their texture pictures and the background picture in
// "Textures".
//
// The "modified" flag: scene.projectModified is the one every change sets (object creation and
// disposal among them). The record's `projectModified` is its copy for the byte image, taken on
// every write; saving, opening and resetting the project clear both.
#pragma once

#include <memory>
#include <string_view>

#include "platform/file_spec.h"
#include "platform/status.h"
#include "scene/project_record.h"
#include "scene/scene_object.h"

namespace tsv {

inline constexpr uint32_t kProjectFileType = FourCC("CMA ");

// Every member of the project record back to its default (the table of objects is not touched),
// the modified flag cleared, the composer preview's scratch buffer cleared through its hook.
void ResetProject();

void MarkProjectModified();
// An edit of `object` outside the tools' commit (its material, texture, mask fill): the object
// and the project both have unsaved changes.
void MarkObjectChanged(SceneObject& object);
[[nodiscard]] bool IsProjectModified();
void ClearProjectModified();

// "Save project" (also Ctrl+S): asks for the project file the first time, makes the "Objects"
// and "Textures" folders beside it, saves every object of the table into "Objects" (asking for
// a file for each object that is not there yet) with its texture copied into "Textures", then
// writes the record. False when a dialog is cancelled or a write fails; after a failed write the
// project's file is forgotten, so that the next save asks again. The previous project file stays
// intact whatever fails.
[[nodiscard]] bool SaveProject();

// "Open project": the open dialog for project files, then OpenProjectFile.
[[nodiscard]] bool AskAndOpenProject();

// Reads the project file, then every object it names (a missing one is looked for in the
// project's folder tree, then the user is asked; one that cannot be had leaves its slot empty).
// Only once the record is read does the project replace the one in memory: the objects of the
// table are disposed and the project's objects take their slots. False for a missing or short
// project file, with nothing changed.
[[nodiscard]] bool OpenProjectFile(const FileSpec& spec);

// Makes sure the object's file is the file of its name in the project's "Objects" folder: true
// at once when it is; otherwise the save dialog (starting there, the object's name proposed), and
// the object's new file and name. False when cancelled (the object's file as it was).
[[nodiscard]] bool EnsureObjectInProject(SceneObject& object);

// Makes sure the picture `spec` names lies in the project's "Textures" folder: a picture outside
// is copied there once and `spec` then names the copy. A picture of the same name already there
// is used when it is the same picture; a different one of that name gets a numbered name
// ("wood 2.bmp"). False, with `spec` unchanged, when the copy fails or there is nothing to do
// because `spec` is empty.
[[nodiscard]] bool EnsurePictureInProject(FileSpec& spec);

// Creates the folder `name` beside the project file (a folder already there is fine; a failure
// is passed over) and sets `folder` to it; `folder` is cleared while the project has no file.
void MakeProjectFolder(std::string_view name, FileSpec& folder);

// Reads a project file's record without touching the project in memory: 0 (`record` holds it,
// naming the file it was read from), -43 when the file cannot be opened, -39 when it is short.
Status ReadProjectRecordFile(const FileSpec& spec, std::unique_ptr<ProjectRecord>& record);

}  // namespace tsv
