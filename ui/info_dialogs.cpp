// info_dialogs.cpp: the object and project information dialogs: two text fields to edit above a
// column of facts, each a label with its value in bold beside it.
#include "ui/info_dialogs.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/counted_string.h"
#include "platform/file_spec.h"
#include "platform/string_table.h"
#include "scene/native_files.h"
#include "scene/object_table.h"
#include "scene/project.h"

namespace tsv {
namespace {

constexpr int kWidth = 440;
constexpr int kMargin = 12;
constexpr int kLabelWidth = 136;
constexpr int kFieldLeft = kMargin + kLabelWidth + 8;
constexpr int kFieldRow = 28;
constexpr int kFactRow = 20;
constexpr int kFactsTop = kMargin + 2 * kFieldRow + 10;
constexpr size_t kNameLength = 255;
constexpr size_t kDescriptionLength = kDescriptionSize - 1;  // the last byte ends the text

const DialogItem* Find(const Dialog& dialog, int id) {
  int index = FindDialogItem(dialog, id);
  return index >= 0 ? &dialog.items[size_t(index)] : nullptr;
}

void AddField(Dialog& dialog, int row, StringId label, const std::string& text, size_t maxLength, int id,
              StringId hover) {
  const int top = kMargin + row * kFieldRow;
  AddLabel(dialog, {kMargin, top, kLabelWidth, 22}, GetString(label), {}, GetString(hover));
  int index = AddTextField(dialog, {kFieldLeft, top, kWidth - kMargin - kFieldLeft, 22}, text, GetString(hover), maxLength);
  dialog.items[size_t(index)].id = id;
}

void AddFact(Dialog& dialog, int row, StringId label, const std::string& value, int id) {
  const int top = kFactsTop + row * kFactRow;
  AddLabel(dialog, {kMargin, top, kLabelWidth, kFactRow}, GetString(label));
  LabelStyle bold;
  bold.font = FontKind::Bold;
  int index = AddLabel(dialog, {kFieldLeft, top, kWidth - kMargin - kFieldLeft, kFactRow}, value, bold);
  dialog.items[size_t(index)].id = id;
}

std::string YesNo(bool yes) { return GetString(yes ? kInfoYes : kInfoNo); }

std::string DescriptionText(const std::array<char, kDescriptionSize>& description) {
  return std::string(description.data(), strnlen(description.data(), description.size()));
}

// The field's text over `description`: the rest of the block zero, so that the text always ends.
// The field takes at most kDescriptionLength bytes; a longer text is cut at a character boundary.
void StoreDescription(std::string_view text, std::array<char, kDescriptionSize>& description) {
  size_t length = std::min(text.size(), kDescriptionLength);
  while (length > 0 && length < text.size() && IsTrailByte(text[length])) --length;
  description.fill(0);
  std::copy_n(text.data(), length, description.data());
}

bool IsBlank(std::string_view text) { return text.find_first_not_of(" \t") == std::string_view::npos; }

// The edited name and description over the ones given; true when either changed.
bool ReadNameAndDescription(const Dialog& dialog, CountedString& name, std::array<char, kDescriptionSize>& description) {
  bool changed = false;
  if (const DialogItem* field = Find(dialog, kInfoItemName); field != nullptr && !IsBlank(field->text)) {
    std::string_view text = field->text;
    size_t length = std::min(text.size(), kNameLength);
    while (length > 0 && length < text.size() && IsTrailByte(text[length])) --length;
    CountedString edited = TextToCountedString(text.substr(0, length));
    if (!SameCountedString(edited, name)) {
      name = edited;
      changed = true;
    }
  }
  if (const DialogItem* field = Find(dialog, kInfoItemDescription)) {
    std::array<char, kDescriptionSize> edited{};
    StoreDescription(field->text, edited);
    if (DescriptionText(edited) != DescriptionText(description)) {
      description = edited;
      changed = true;
    }
  }
  return changed;
}

}  // namespace

std::string TextureInfoText(const SceneObject& object) {
  const bool hasTexture = IsFileSpecSet(object.textureFile) || !object.textureImage.empty();
  if (!hasTexture) return GetString(kInfoNo);
  return GetString(object.textureUsesAlpha != 0 ? kInfoYesUsesAlpha : kInfoYes);
}

std::string HierarchyInfoText(const SceneObject& object) {
  if (object.hierarchy.empty()) return GetString(kInfoNo);
  switch (object.hierarchy.front().role) {
    case kHierarchyCompact: return GetString(kInfoCompact);
    case kHierarchyParent: return GetString(kInfoParent);
    case kHierarchyChild: return GetString(kInfoChild);
    default: return GetString(kInfoNo);
  }
}

std::string ShadowInfoText(const Optics& optics) {
  const bool casts = optics.castsShadow != 0, receives = optics.receivesShadow != 0;
  if (casts && receives) return GetString(kInfoCastsAndReceives);
  if (casts) return GetString(kInfoOnlyCasts);
  if (receives) return GetString(kInfoOnlyReceives);
  return GetString(kInfoTransparent);
}

Dialog MakeObjectInfoDialog(const SceneObject& object) {
  Dialog dialog;
  dialog.title = GetString(kInfoObjectTitle);
  dialog.width = kWidth;
  AddField(dialog, 0, kInfoObjectName, CountedToText(object.name), kNameLength, kInfoItemName, kHoverInfoObjectName);
  AddField(dialog, 1, kInfoShortDescription, DescriptionText(object.description), kDescriptionLength,
           kInfoItemDescription, kHoverInfoObjectDescription);
  int row = 0;
  AddFact(dialog, row++, kInfoType, ObjectTypeText(object), kInfoItemType);
  AddFact(dialog, row++, kInfoPoints, std::to_string(object.pointCount), kInfoItemPoints);
  AddFact(dialog, row++, kInfoTriangles, std::to_string(object.triangleCount), kInfoItemTriangles);
  AddFact(dialog, row++, kUiTexture, TextureInfoText(object), kInfoItemTexture);
  AddFact(dialog, row++, kInfoHierarchy, HierarchyInfoText(object), kInfoItemHierarchy);
  AddFact(dialog, row++, kPrefShadows, ShadowInfoText(object.optics), kInfoItemShadows);
  AddFact(dialog, row++, kInfoPaintedVertices, YesNo(object.optics.isPainted != 0), kInfoItemPainted);
  AddFact(dialog, row++, kInfoGhosted, YesNo((object.ghostState & kGhosted) != 0), kInfoItemGhosted);
  AddFact(dialog, row++, kInfoUnsavedChanges, YesNo(object.hasUnsavedChanges != 0), kInfoItemUnsaved);
  dialog.height = kFactsTop + row * kFactRow + 12 + 24 + kMargin;
  AddOkCancel(dialog);
  return dialog;
}

bool ReadObjectInfoDialog(const Dialog& dialog, SceneObject& object) {
  if (!ReadNameAndDescription(dialog, object.name, object.description)) return false;
  object.hasUnsavedChanges = 1;
  return true;
}

bool RunObjectInfoDialog(SceneObject& object) {
  Dialog dialog = MakeObjectInfoDialog(object);
  if (RunDialog(dialog).role == ButtonRole::Cancel) return false;
  (void)ReadObjectInfoDialog(dialog, object);  // fields that do not read keep their values
  return true;
}

Dialog MakeProjectInfoDialog(const ProjectRecord& project, int objectCount) {
  Dialog dialog;
  dialog.title = GetString(kInfoProjectTitle);
  dialog.width = kWidth;
  AddField(dialog, 0, kInfoProjectName, CountedToText(project.projectName), kNameLength, kInfoItemName,
           kHoverInfoProjectName);
  AddField(dialog, 1, kInfoShortDescription, DescriptionText(project.projectDescription), kDescriptionLength,
           kInfoItemDescription, kHoverInfoProjectDescription);
  AddFact(dialog, 0, kInfoObjects, std::to_string(objectCount), kInfoItemObjects);
  const std::string file = IsFileSpecSet(project.projectFile) ? PathOfSpec(project.projectFile) : GetString(kInfoNotSaved);
  AddFact(dialog, 1, kInfoProjectFile, file, kInfoItemProjectFile);
  // A long path shows its end, where the file's own name is; the whole path is the hover text.
  DialogItem& fileValue = dialog.items.back();
  fileValue.hover = file;
  if (TextWidth(FontKind::Bold, file) > fileValue.rect.width) {
    for (size_t cut = 1; cut < file.size(); ++cut) {
      if (IsTrailByte(file[cut])) continue;
      std::string shown = "\xE2\x80\xA6" + file.substr(cut);
      if (TextWidth(FontKind::Bold, shown) <= fileValue.rect.width) {
        fileValue.text = shown;
        break;
      }
    }
  }
  dialog.height = kFactsTop + 2 * kFactRow + 12 + 24 + kMargin;
  AddOkCancel(dialog);
  return dialog;
}

bool ReadProjectInfoDialog(const Dialog& dialog, ProjectRecord& project) {
  return ReadNameAndDescription(dialog, project.projectName, project.projectDescription);
}

bool RunProjectInfoDialog() {
  Dialog dialog = MakeProjectInfoDialog(nativeFiles.project, ObjectCount());
  if (RunDialog(dialog).role == ButtonRole::Cancel) return false;
  if (ReadProjectInfoDialog(dialog, nativeFiles.project)) MarkProjectModified();
  return true;
}

}  // namespace tsv
