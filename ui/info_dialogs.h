// info_dialogs.h: the object information dialog (the object's name and short description to edit,
// and what its record says about it) and the project information dialog (the project's name and
// short description).
#pragma once

#include <string>

#include "scene/project_record.h"
#include "scene/scene_object.h"
#include "ui/dialog.h"

namespace tsv {

// The ids of the dialogs' items (DialogItem::id), for the code and the tests that look them up.
enum InfoItemId : int {
  kInfoItemName = 1,
  kInfoItemDescription,
  kInfoItemType,
  kInfoItemPoints,
  kInfoItemTriangles,
  kInfoItemTexture,
  kInfoItemHierarchy,
  kInfoItemShadows,
  kInfoItemPainted,
  kInfoItemGhosted,
  kInfoItemUnsaved,
  kInfoItemObjects,
  kInfoItemProjectFile,
};

// The texts the dialog shows for the record: "Yes (uses alpha)", "Yes" or "No" for the texture;
// "No", "Compact", "Parent" or "Child (linked to parent)" for the hierarchy; "Casts and
// Receives", "Only Casts", "Only Receives" or "Transparent" for the shadow words.
std::string TextureInfoText(const SceneObject& object);
std::string HierarchyInfoText(const SceneObject& object);
std::string ShadowInfoText(const Optics& optics);

Dialog MakeObjectInfoDialog(const SceneObject& object);
// Stores the edited name and description; true when either changed, and the object is then
// marked as changed. An emptied name keeps the name the object had.
[[nodiscard]] bool ReadObjectInfoDialog(const Dialog& dialog, SceneObject& object);
// Runs the dialog over the main window; true when closed with OK.
[[nodiscard]] bool RunObjectInfoDialog(SceneObject& object);

Dialog MakeProjectInfoDialog(const ProjectRecord& project, int objectCount);
// Stores the edited name and description into the record; true when either changed. An emptied
// name keeps the name the project had.
[[nodiscard]] bool ReadProjectInfoDialog(const Dialog& dialog, ProjectRecord& project);
// Runs the dialog over the project in memory; true when closed with OK. A changed name or
// description marks the project modified.
[[nodiscard]] bool RunProjectInfoDialog();

}  // namespace tsv
