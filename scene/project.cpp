// project.cpp: saving and opening projects, and keeping their objects and pictures beside them.
#include "scene/project.h"

#include <sys/stat.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/platform_state.h"
#include "platform/progress.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/file_bytes.h"
#include "scene/native_files.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/preview_file.h"
#include "scene/safe_save.h"
#include "scene/scene_state.h"
#include "scene/shade_ramp.h"

namespace tsv {
namespace {

constexpr size_t kCopyBlock = 4096;
constexpr int kMaxNumberedNames = 1000;

std::string LastName(const CountedString& internal) {
  const std::string_view text = View(internal);
  const size_t cut = text.rfind(':');
  return std::string(cut == std::string_view::npos ? text : text.substr(cut + 1));
}

// The internal name of `fileName` inside `folder` (the FileSpec of a folder), or empty when it would not fit.
CountedString InsideFolder(const FileSpec& folder, std::string_view fileName) {
  const std::string joined = std::string(View(folder.name)) + ":" + std::string(fileName);
  if (joined.size() > size_t(kCountedStringMax)) return {};
  return TextToCountedString(joined);
}

bool IsRegularFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// True when both files hold the same bytes.
bool SameContents(const std::string& a, const std::string& b) {
  FileSpec specA = FileSpecForPath(a, 0), specB = FileSpecForPath(b, 0);
  FileRef fa, fb;
  if (OpenFile(specA, FileMode::Read, fa) != kNoError) return false;
  if (OpenFile(specB, FileMode::Read, fb) != kNoError) {
    CloseFileQuietly(fa);
    return false;
  }
  FileReader ra(fa), rb(fb);
  bool same = !ra.failed && !rb.failed && ra.size == rb.size;
  std::vector<uint8_t> blockA(kCopyBlock), blockB(kCopyBlock);
  while (same && ra.Remaining() > 0) {
    const size_t n = size_t(std::min<int64_t>(int64_t(kCopyBlock), ra.Remaining()));
    same = ra.Read(blockA.data(), n) && rb.Read(blockB.data(), n) &&
           std::equal(blockA.begin(), blockA.begin() + std::ptrdiff_t(n), blockB.begin());
  }
  CloseFileQuietly(fa);
  CloseFileQuietly(fb);
  return same;
}

// "wood.bmp" -> "wood 2.bmp", "wood 3.bmp", ...
std::string NumberedName(const std::string& name, int number) {
  const size_t dot = name.rfind('.');
  const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
  const std::string extension = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
  return stem + " " + std::to_string(number) + extension;
}

// Copies `source` to `target` in blocks through a temporary, so a copy that fails part-way never
// leaves a broken picture behind that a later save would take for the real one.
bool CopyFile(const std::string& source, const FileSpec& target) {
  FileSpec sourceSpec = FileSpecForPath(source, 0);
  FileRef in;
  if (OpenFile(sourceSpec, FileMode::Read, in) != kNoError) return false;
  FileReader r(in);
  SafeSave save;
  if (r.failed || !BeginSafeSave(target, save)) {
    CloseFileQuietly(in);
    return false;
  }
  FileWriter w(save.file);
  std::vector<uint8_t> block(kCopyBlock);
  while (r.Remaining() > 0 && !w.failed) {
    const size_t n = size_t(std::min<int64_t>(int64_t(kCopyBlock), r.Remaining()));
    if (!r.Read(block.data(), n)) break;
    w.Bytes(block.data(), n);
  }
  const bool complete = !r.failed && w.Flush();
  CloseFileQuietly(in);
  if (!complete) return false;
  return CommitSafeSave(save);
}

// Folders carry no file type.
FileSpec FolderSpec(const std::string& path) { return FileSpecForPath(path, 0); }

// Saving an object shows its own progress box; the project's comes back after each object.
void ShowProjectProgress(StringId text, int done, int total) {
  ShowProgress(GetString(text), -1);
  AdvanceProgress(total > 0 ? done * kProgressMax / total : 0, -1);
}

}  // namespace

void MarkProjectModified() {
  scene.projectModified = true;
  nativeFiles.project.projectModified = 1;
}

void MarkObjectChanged(SceneObject& object) {
  object.hasUnsavedChanges = 1;
  MarkProjectModified();
}

bool IsProjectModified() { return scene.projectModified; }

void ClearProjectModified() {
  scene.projectModified = false;
  nativeFiles.project.projectModified = 0;
}

void ResetProject() {
  nativeFiles.project = DefaultProjectRecord();
  ClearProjectModified();
  if (nativeFiles.clearComposerPreview) nativeFiles.clearComposerPreview();
}

void MakeProjectFolder(std::string_view name, FileSpec& folder) {
  const std::string projectFolder = ProjectFolderPath();
  if (projectFolder.empty()) {
    folder = FileSpec{};
    return;
  }
  const std::string path = projectFolder + "/" + std::string(name);
  // An existing folder is what we want; any other failure shows up when the folder is used.
  ::mkdir(path.c_str(), 0777);
  folder = FolderSpec(path);
}

bool EnsureObjectInProject(SceneObject& object) {
  const ProjectRecord& project = nativeFiles.project;
  if (IsFileSpecSet(object.fileSpec) && IsFileSpecSet(project.objectsFolder)) {
    const CountedString target = InsideFolder(project.objectsFolder, LastName(object.fileSpec.name));
    if (target.length > 0 && SameCountedString(target, object.fileSpec.name)) return true;
  }
  CountedString proposed = object.name;
  (void)AddExtension(proposed, kObjectFileType);  // a type of the table: always known
  FileSpec chosen;
  chosen.name = proposed;
  chosen.typeCount = 1;
  chosen.fileTypes[0] = kObjectFileType;
  // The dialog names the object it asks about, and starts in the project's Objects folder.
  const std::string folder = IsFileSpecSet(project.objectsFolder) ? PathOfSpec(project.objectsFolder) : std::string();
  const std::string title = FormatString(kSaveObjectOfProjectTitle, {CountedToText(object.name)});
  const PreviewPane shown = PreviewPaneForObject(object);
  if (AskSaveFile(chosen, &shown, title, folder) != kNoError) return false;
  object.fileSpec = chosen;
  object.name = ObjectNameOfFile(chosen);
  return true;
}

bool EnsurePictureInProject(FileSpec& spec) {
  const ProjectRecord& project = nativeFiles.project;
  if (!IsFileSpecSet(spec) || !IsFileSpecSet(project.texturesFolder)) return false;
  const std::string name = LastName(spec.name);
  const std::string source = PathOfSpec(spec);
  for (int number = 1; number <= kMaxNumberedNames; ++number) {
    const CountedString target = InsideFolder(project.texturesFolder, number == 1 ? name : NumberedName(name, number));
    if (target.length == 0) return false;
    if (SameCountedString(target, spec.name)) return true;  // already inside the project
    FileSpec targetSpec = spec;
    targetSpec.name = target;
    const std::string targetPath = PathOfSpec(targetSpec);
    if (IsRegularFile(targetPath)) {
      // The same picture, copied by an earlier save or for another object: use it. Another
      // picture of the same name must not stand in for this one: try the next name.
      if (SameContents(source, targetPath)) {
        spec.name = target;
        return true;
      }
      continue;
    }
    if (!CopyFile(source, targetSpec)) return false;
    spec.name = target;
    return true;
  }
  return false;
}

bool SaveProject() {
  ProjectRecord& project = nativeFiles.project;
  for (auto& slot : scene.objectTable) {
    if (!slot) continue;
    slot->fileSpec.volumeRef = 0;
    slot->fileSpec.directoryId = 0;
    slot->textureFile.volumeRef = 0;
    slot->textureFile.directoryId = 0;
  }

  const FileSpec previousFile = project.projectFile;
  bool chosenNow = false;
  if (!IsFileSpecSet(project.projectFile)) {
    FileSpec chosen;
    chosen.name = project.projectName;
    (void)AddExtension(chosen.name, kProjectFileType);  // a type of the table: always known
    chosen.typeCount = 1;
    chosen.fileTypes[0] = kProjectFileType;
    if (AskSaveFile(chosen) != kNoError) return false;
    project.projectFile = chosen;
    chosenNow = true;
  }
  // A save that goes no further than the dialog leaves things as they were.
  auto giveUp = [&] {
    HideProgress();
    if (chosenNow) project.projectFile = previousFile;
    return false;
  };
  // Writes go to a temporary beside the project file; the file itself changes only at the end.
  SafeSave save;
  if (!BeginSafeSave(project.projectFile, save)) return giveUp();

  MakeProjectFolder(GetString(kFolderObjects), project.objectsFolder);
  MakeProjectFolder(GetString(kFolderTextures), project.texturesFolder);

  const int total = ObjectCount();
  int done = 0;
  ShowProjectProgress(kProgressSavingProject, 0, total);
  for (int slot = 0; slot < kObjectSlotCount; ++slot) {
    SceneObject* object = scene.objectTable[size_t(slot)].get();
    if (object == nullptr) {
      project.objectFiles[size_t(slot)] = FileSpec{};
      continue;
    }
    if (!EnsureObjectInProject(*object)) return giveUp();
    // A picture that cannot be copied stays where it is; the object still names it.
    (void)EnsurePictureInProject(object->textureFile);
    if (!SaveObject(*object)) {
      HideProgress();
      ClearFileSpec(project.projectFile);
      return false;
    }
    project.objectFiles[size_t(slot)] = object->fileSpec;
    ShowProjectProgress(kProgressSavingProject, ++done, total);
  }
  (void)EnsurePictureInProject(project.quorvelFile);

  project.currentObjectIndex = scene.currentObjectIndex;
  project.projectModified = scene.projectModified ? 1 : 0;
  std::vector<uint8_t> image(kProjectRecordSize);
  StoreProjectRecord(project, std::span<uint8_t, kProjectRecordSize>(image));
  FileWriter w(save.file);
  w.Bytes(image.data(), image.size());
  if (!w.Flush() || !CommitSafeSave(save)) {
    HideProgress();
    ClearFileSpec(project.projectFile);
    return false;
  }
  ClearProjectModified();
  HideProgress();
  return true;
}

Status ReadProjectRecordFile(const FileSpec& spec, std::unique_ptr<ProjectRecord>& record) {
  FileSpec opened = spec;
  FileRef file;
  if (OpenFile(opened, FileMode::Read, file) != kNoError) return kFileNotFound;
  // A file too short to hold the record is refused before anything is allocated for it.
  FileReader r(file);
  std::vector<uint8_t> image;
  if (!r.failed && r.Remaining() >= int64_t(kProjectRecordSize)) {
    image.resize(kProjectRecordSize);
    r.Read(image.data(), image.size());
  }
  const bool read = !r.failed && !image.empty();
  CloseFileQuietly(file);
  if (!read) return kReadError;
  record = std::make_unique<ProjectRecord>(LoadProjectRecord(std::span<const uint8_t, kProjectRecordSize>(image)));
  // The record names the file it was read from, wherever it was written.
  record->projectFile = opened;
  record->projectFile.typeCount = 1;
  record->projectFile.fileTypes[0] = kProjectFileType;
  return kNoError;
}

bool OpenProjectFile(const FileSpec& spec) {
  std::unique_ptr<ProjectRecord> record;
  if (ReadProjectRecordFile(spec, record) != kNoError) return false;
  const std::string projectFolder = FolderOfPath(PathOfSpec(record->projectFile));
  if (!IsFileSpecSet(record->objectsFolder)) record->objectsFolder = FolderSpec(projectFolder);
  if (!IsFileSpecSet(record->texturesFolder)) record->texturesFolder = FolderSpec(projectFolder);

  int total = 0;
  for (const FileSpec& entry : record->objectFiles) total += IsFileSpecSet(entry) ? 1 : 0;
  int done = 0;
  ShowProgress(GetString(kProgressOpeningProject), -1);
  // The objects are built aside and take their slots only when all are in.
  std::array<std::unique_ptr<SceneObject>, kObjectSlotCount> loaded;
  for (int slot = 0; slot < kObjectSlotCount; ++slot) {
    FileSpec& entry = record->objectFiles[size_t(slot)];
    if (!IsFileSpecSet(entry)) continue;
    std::unique_ptr<SceneObject> object = OpenObjectFileSearching(entry, projectFolder);
    if (object) {
      entry = object->fileSpec;  // where it was found
      RegisterLiveObject(object.get());
      loaded[size_t(slot)] = std::move(object);
    } else {
      entry = FileSpec{};
    }
    AdvanceProgress(++done * kProgressMax / total, -1);
  }

  ClearCurrentObject();
  for (auto& slot : scene.objectTable) DisposeSceneObject(slot);
  nativeFiles.project = *record;
  for (int slot = 0; slot < kObjectSlotCount; ++slot) {
    std::unique_ptr<SceneObject>& object = loaded[size_t(slot)];
    if (!object) continue;
    UnregisterLiveObject(object.get());
    SceneObject* placed = object.get();
    scene.objectTable[size_t(slot)] = std::move(object);
    // An object that cannot be activated stays in its slot, not current; its failure was shown.
    (void)SetCurrentObject(slot);
    BuildShadeRamp(*placed);
    if (nativeFiles.projectObjectOpened) nativeFiles.projectObjectOpened(*placed);
  }
  if (IsFileSpecSet(nativeFiles.project.quorvelFile) && nativeFiles.loadQuorvelPicture) {
    nativeFiles.loadQuorvelPicture(nativeFiles.project.quorvelFile);
  }
  nativeFiles.project.currentObjectIndex = scene.currentObjectIndex;
  HideProgress();
  ClearProjectModified();
  return true;
}

bool AskAndOpenProject() {
  platform.rememberedFolder = platform.startDirectory;
  FileSpec chosen;
  chosen.name = TextToCountedString(GetString(kNameProjectOpenPattern));
  chosen.typeCount = 1;
  chosen.fileTypes[0] = kProjectFileType;
  if (AskOpenFile(chosen) != kNoError) return false;
  return OpenProjectFile(chosen);
}

}  // namespace tsv
