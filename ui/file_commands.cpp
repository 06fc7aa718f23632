// file_commands.cpp: project and object commands.
#include "ui/file_commands.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "formats/object_texture.h"
#include "formats/picture.h"
#include "formats/picture_files.h"
#include "platform/counted_string.h"
#include "platform/file_spec.h"
#include "platform/preferences.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/object_file.h"
#include "scene/native_files.h"
#include "scene/object_table.h"
#include "scene/optics_file.h"
#include "scene/organic.h"
#include "scene/project.h"
#include "scene/scene_state.h"
#include "render/texture_work_image.h"
#include "scene/shade_ramp.h"
#include "tasks/task_recorder.h"
#include "ui/panels.h"
#include "ui/quorvel_panel.h"
#include "ui/rooms.h"

namespace tsv {
namespace {

bool IsTexturePictureType(uint32_t type) {
  return std::find(std::begin(kOpenPictureTypes), std::end(kOpenPictureTypes), type) != std::end(kOpenPictureTypes);
}

// Enters an opened object into the lowest free slot and makes it current.
bool StoreOpenedObject(std::unique_ptr<SceneObject> object) {
  if (!object) return false;
  const int slot = FindSlotForNewObject();
  if (slot < 0) {
    DisposeSceneObject(object);
    return false;
  }
  return StoreObjectInSlot(slot, std::move(object));
}

}  // namespace

bool HasUnsavedChanges() {
  if (IsProjectModified()) return true;
  for (const auto& object : scene.objectTable) {
    if (object && object->hasUnsavedChanges) return true;
  }
  return false;
}

bool ResolveUnsavedChanges(bool quitting) {
  if (!HasUnsavedChanges()) return true;
  const std::string name = CountedToText(nativeFiles.project.projectName);
  const std::vector<std::string> answers = {GetString(kUiSave), GetString(kUiDontSave), GetString(kDialogCancel)};
  switch (AskChoice(FormatString(quitting ? kAskSaveBeforeQuit : kAskSaveBeforeClose, {name}), answers)) {
    case 0: return SaveProject();  // a save that failed or was cancelled has said so: stay
    case 1: return true;
    default: return false;
  }
}

int CommandQuit() {
  const bool recording = taskRecorder.taskState != kTaskIdle;
  if (recording && !AskMessage(GetString(kAskStopRecording))) return kLoopRedrawViewFull;
  return ResolveUnsavedChanges(true) ? kLoopQuit : kLoopRedrawViewFull;
}

int CommandNewProject() {
  if (!ResolveUnsavedChanges(false)) return kLoopRedrawViewFull;
  scene.currentObject = nullptr;
  scene.currentObjectIndex = -1;
  for (auto& slot : scene.objectTable) DisposeSceneObject(slot);
  ResetProject();
  // A new project starts as the program does.
  if (preferences.startupAction == 1) NewOrganicObject(0);
  ClearProjectModified();
  return kLoopRedrawViewFull;
}

int CommandOpenProject() {
  if (!ResolveUnsavedChanges(false)) return kLoopRedrawViewFull;
  (void)AskAndOpenProject();  // a failure has been shown
  return kLoopRedrawViewFull;
}

int CommandSaveProject() {
  (void)SaveProject();  // a failure has been shown
  return kLoopRedrawViewFull;
}

int CommandOpenObject() {
  if (FindFreeObjectSlot() == kNoFreeSlot) {
    (void)FindSlotForNewObject();  // says there is no room
    return kLoopRedrawViewFull;
  }
  StoreOpenedObject(AskAndOpenObject());
  return kLoopRedrawViewFull;
}

int CommandSaveObject() {
  if (scene.currentObject == nullptr) return -1;
  (void)SaveObject(*scene.currentObject);  // a failure has been shown
  return kLoopRedrawViewFull;
}

int CommandSaveObjectAs() {
  if (scene.currentObject == nullptr) return -1;
  (void)SaveObjectAs(*scene.currentObject);  // a failure has been shown
  return kLoopRedrawViewFull;
}

int CommandCopyOptics() {
  if (scene.currentObject == nullptr) return -1;
  CopyOptics(*scene.currentObject);
  return kLoopRedrawViewFull;
}

int CommandPasteOptics() {
  if (scene.currentObject == nullptr) return -1;
  (void)PasteOptics(*scene.currentObject);  // a failure has been shown
  return kLoopRedrawViewFull;
}

bool GoesOntoCurrentObject(const std::string& path) {
  const uint32_t type = FileTypeFromName(path);
  return type == kOpticsFileType || IsTexturePictureType(type);
}

bool OpenFileOfType(const std::string& path) {
  const uint32_t type = FileTypeFromName(path);
  FileSpec spec = FileSpecForPath(path, type);
  if (!IsFileSpecSet(spec)) {
    ShowStopMessage(FormatString(kErrCantOpenFile, {path, GetString(kErrFileError)}));
    return false;
  }
  if (type == kObjectFileType) {
    if (FindFreeObjectSlot() == kNoFreeSlot) {
      (void)FindSlotForNewObject();  // says there is no room
      return false;
    }
    return StoreOpenedObject(OpenObjectFile(spec));
  }
  if (type == kProjectFileType) return ResolveUnsavedChanges(false) && OpenProjectFile(spec);
  if (type == kTaskFileType) return OpenTaskFileAt(path) == kNoError;  // into the task panel
  if (type == FourCC("MTBL")) return OpenQuorvelSetFile(path);         // into the Quorvels room
  const bool picture = IsTexturePictureType(type);
  if (type == kOpticsFileType || picture) {
    // Optics and pictures go onto the current object: its material, or its texture.
    SceneObject* object = scene.currentObject;
    if (object == nullptr) {
      ShowStopMessage(FormatString(kErrNoObjectForFile, {path}));
      return false;
    }
    if (picture) {
      Picture loaded;
      if (LoadPicture(spec, loaded) != kNoError) return false;  // the loader has said why
      SetTexturePicture(*object, std::move(loaded), spec);
      ui.texturedObjects = true;  // a texture just laid on is meant to be seen
      PrepareTextureWorkImage(*object);
    } else if (const Status status = OpenOpticsFile(*object, spec); status != kNoError) {
      ShowStopMessage(FormatString(kErrCantOpenFile, {path, GetString(kErrCantOpenOptics)}));
      return false;
    }
    MarkObjectChanged(*object);
    return true;
  }
  if (type == 0) {
    ShowStopMessage(FormatString(kErrCantOpenFile, {path, GetString(kResUnknownFileType)}));
  } else {
    ShowStopMessage(FormatString(kErrCantOpenKind, {path}));
  }
  return false;
}

}  // namespace tsv
