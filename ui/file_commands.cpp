// file_commands.cpp: project and object commands.
#include "ui/file_commands.h"

#include "platform/file_spec.h"
#include "platform/preferences.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/optics_file.h"
#include "scene/organic.h"
#include "scene/project.h"
#include "scene/scene_state.h"
#include "scene/shade_ramp.h"
#include "ui/panels.h"

namespace tsv {
namespace {

constexpr int kRedraw = 4;

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

bool ConfirmDiscardChanges() { return !HasUnsavedChanges() || AskMessage(GetString(kAskDiscardChanges)); }

int CommandNewProject() {
  if (!ConfirmDiscardChanges()) return kRedraw;
  scene.currentObject = nullptr;
  scene.currentObjectIndex = -1;
  for (auto& slot : scene.objectTable) DisposeSceneObject(slot);
  ResetProject();
  // A new project starts as the program does.
  if (preferences.startupAction == 1) NewOrganicObject(0);
  ClearProjectModified();
  return kRedraw;
}

int CommandOpenProject() {
  if (!ConfirmDiscardChanges()) return kRedraw;
  (void)AskAndOpenProject();  // a failure has been shown
  return kRedraw;
}

int CommandSaveProject() {
  (void)SaveProject();  // a failure has been shown
  return kRedraw;
}

int CommandOpenObject() {
  if (FindFreeObjectSlot() == kNoFreeSlot) {
    FindSlotForNewObject();  // says there is no room
    return kRedraw;
  }
  StoreOpenedObject(AskAndOpenObject());
  return kRedraw;
}

int CommandSaveObject() {
  if (scene.currentObject == nullptr) return -1;
  (void)SaveObject(*scene.currentObject);  // a failure has been shown
  return kRedraw;
}

int CommandSaveObjectAs() {
  if (scene.currentObject == nullptr) return -1;
  (void)SaveObjectAs(*scene.currentObject);  // a failure has been shown
  return kRedraw;
}

int CommandCopyOptics() {
  if (scene.currentObject == nullptr) return -1;
  CopyOptics(*scene.currentObject);
  return kRedraw;
}

int CommandPasteOptics() {
  if (scene.currentObject == nullptr) return -1;
  (void)PasteOptics(*scene.currentObject);  // a failure has been shown
  return kRedraw;
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
      FindSlotForNewObject();
      return false;
    }
    return StoreOpenedObject(OpenObjectFile(spec));
  }
  if (type == kProjectFileType) return ConfirmDiscardChanges() && OpenProjectFile(spec);
  if (type == 0) {
    ShowStopMessage(FormatString(kErrCantOpenFile, {path, GetString(kResUnknownFileType)}));
  } else {
    ShowStopMessage(FormatString(kErrCantOpenKind, {path}));
  }
  return false;
}

}  // namespace tsv
