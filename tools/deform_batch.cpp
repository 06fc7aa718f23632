// deform_batch.cpp: the deform batch command's procedure.
#include "tools/deform_batch.h"

#include <memory>

#include "platform/file_spec.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "tools/deform_table.h"
#include "tools/tool_frame.h"

namespace tsv {

namespace {

bool AmountFits(const DeformToolEntry& tool, int amount) {
  const AmountRange range = RangeOfKind(tool.kind);
  if (amount >= range.minimum && amount <= range.maximum) return true;
  ShowStopMessage(FormatString(kErrDeformAmountRange,
                               {GetString(tool.name), std::to_string(range.minimum),
                                std::to_string(range.maximum)}));
  return false;
}

}  // namespace

Status DeformObjectFile(const std::string& inPath, const std::string& outPath, std::string_view tool,
                        int amount, int amountY, int viewIndex) {
  const DeformToolEntry* entry = FindDeformTool(tool);
  if (entry == nullptr) {
    ShowStopMessage(FormatString(kErrUnknownDeformTool, {tool}));
    return kMalformed;
  }
  const bool twoAmounts = entry->kind == DeformKind::TwoAxis || entry->kind == DeformKind::Trackball;
  if (!AmountFits(*entry, amount) || (twoAmounts && !AmountFits(*entry, amountY))) return kMalformed;
  if (viewIndex < 0 || viewIndex >= kObjectViewCount) {
    ShowStopMessage(GetString(kErrDeformViewRange));
    return kMalformed;
  }

  return EditObjectFile(inPath, outPath, [&](SceneObject& object, SceneObject* undo) {
    const uint16_t savedView = object.currentView;
    object.currentView = uint16_t(viewIndex);
    RunDeformTool(*entry, &object, undo, int16_t(amount), int16_t(twoAmounts ? amountY : 0));
    object.currentView = savedView;  // EditObjectFile commits the change
  });
}

Status EditObjectFile(const std::string& inPath, const std::string& outPath,
                      const std::function<void(SceneObject& object, SceneObject* undo)>& edit) {
  std::unique_ptr<SceneObject> object = ReadObjectFile(FileSpecForPath(inPath, kObjectFileType));
  if (!object) return kReadError;
  SceneObject* const previouslyActive = scene.activeObject;
  if (!ActivateSceneObject(object.get())) {
    DisposeSceneObject(object);
    if (previouslyActive != nullptr) (void)ActivateSceneObject(previouslyActive);
    return kNoMemory;
  }
  SceneObject* undo = scene.workObject.get();
  edit(*object, undo);
  CommitObjectChange(object.get(), undo);

  const bool saved = SaveObjectToFile(*object, FileSpecForPath(outPath, kObjectFileType));
  DisposeSceneObject(object);
  if (previouslyActive != nullptr) (void)ActivateSceneObject(previouslyActive);
  return saved ? kNoError : kWriteError;
}

}  // namespace tsv
