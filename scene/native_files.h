// native_files.h: the global state of the native files in one record: the project in memory, the
// optics clipboard, and the hooks through which the upper layers (picture loading, the composer)
// take part in opening objects and projects. The file formats themselves are in object_file.h,
// project.h, optics_file.h and preview_file.h.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/file_spec.h"
#include "scene/project_record.h"
#include "scene/scene_object.h"

namespace tsv {

// The fifteen optics words an optics file holds: everything but `isPainted`, `castsShadow` and
// `receivesShadow`, which stay with the object.
inline constexpr int kOpticsFileWordCount = 15;
using OpticsFileWords = std::array<uint16_t, kOpticsFileWordCount>;

struct NativeFilesState {
  // The one project in memory. Start-up calls ResetProject for its defaults (the name comes from
  // the string table, which is not there yet when this record is first made).
  ProjectRecord project;

  // "Copy Optics" fills it; empty until the first copy, so a paste before that changes nothing.
  std::optional<OpticsFileWords> opticsClipboard;

  // Set by the picture code: loads `textureFile` into `textureImage` (with `textureImageSize`,
  // `textureDepth`, `textureKind`); false when the picture cannot be had. Without it an opened
  // object keeps its texture reference and simply has no picture loaded.
  std::function<bool(SceneObject&)> loadTexturePicture;
  // Set by the composer: loads the project's background (Quorvel) picture after a project opens.
  std::function<void(const FileSpec&)> loadQuorvelPicture;
  // Set by the renderer and the composer: called for every object of an opened project once it is
  // in its slot and current (backend resources, drawing, attaching it to the composer).
  std::function<void(SceneObject&)> projectObjectOpened;
  // Set by the composer: clears the scratch buffer of its preview when the project is reset.
  std::function<void()> clearComposerPreview;

  // Test hook: when >= 0, the native file writers fail after writing this many more bytes, as a
  // full disk would (the file error is shown and the write stops).
  int64_t failWriteAfterBytes = -1;
};

extern NativeFilesState nativeFiles;

// A new project record and clipboard, no hooks: for tests.
void ResetNativeFilesState();

// The folder of the current project file (native path), or "" while the project has no file.
std::string ProjectFolderPath();
// Where object dialogs start: the "Objects" folder beside the project file when it exists, else
// the project's folder; "" while the project has no file.
std::string ProjectObjectsFolderPath();

}  // namespace tsv
