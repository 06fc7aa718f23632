// native_file_info.cpp: "what does this file hold" and "make a project of these objects".
#include "scene/native_file_info.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>

#include "platform/file_spec.h"
#include "platform/files.h"
#include "platform/platform_state.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/native_files.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/optics_file.h"
#include "scene/preview_file.h"
#include "scene/project.h"
#include "scene/scene_state.h"

namespace tsv {
namespace {

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    if (!text.empty()) text += '\n';
    text += line;
  }
  return text;
}

std::string Number(int64_t value) { return std::to_string(value); }

std::string YesNo(bool value) { return GetString(value ? kInfoYes : kInfoNo); }

std::string ColorText(const Rgb16& c) {
  char text[24];
  std::snprintf(text, sizeof text, "%04X %04X %04X", c.red, c.green, c.blue);
  return text;
}

std::string TextOrNone(const std::string& text) { return text.empty() ? GetString(kNativeInfoNone) : text; }

std::string DescriptionOf(const std::array<char, kDescriptionSize>& description) {
  const auto end = std::find(description.begin(), description.end(), '\0');
  return std::string(description.begin(), end);
}

std::string TypeLine(uint32_t type) {
  const FileTypeEntry* entry = FindFileType(type);
  return FormatString(kNativeInfoType, {entry != nullptr ? GetString(entry->description) : std::string()});
}

void AddOpticsLines(std::vector<std::string>& lines, const Optics& o) {
  lines.push_back(FormatString(kNativeInfoOptics, {Number(o.shininess), Number(o.diffuseStrength),
                                                    Number(o.ambientLevel), Number(o.transparency),
                                                    Number(o.opticsExtra1), Number(o.opticsExtra2)}));
  lines.push_back(FormatString(kNativeInfoColors, {ColorText(o.specularColor), ColorText(o.diffuseColor),
                                                    ColorText(o.ambientColor)}));
}

std::string HierarchyText(const SceneObject& object) {
  if (object.hierarchy.empty()) return GetString(kInfoNo);
  static constexpr StringId kRoles[] = {kInfoCompact, kInfoParent, kInfoChild};
  const uint16_t role = object.hierarchy[0].role;
  const std::string roleText = role < 3 ? GetString(kRoles[role]) : Number(role);
  return FormatString(kNativeInfoHierarchyParts, {roleText, Number(int64_t(object.hierarchy.size()))});
}

NativeFileInfo ObjectInfo(const std::string& path) {
  // Looking changes nothing: no picture is loaded, and the scene's flag stays as it was.
  const bool wasModified = scene.projectModified;
  std::vector<uint32_t> tags;
  ObjectFileRead read = ReadObjectFileQuietly(FileSpecForPath(path, kObjectFileType), &tags);
  std::unique_ptr<SceneObject>& object = read.object;
  NativeFileInfo info;
  if (!object) {
    info.text = read.message;
    scene.projectModified = wasModified;
    return info;
  }
  const SceneObject& o = *object;
  std::vector<std::string> lines;
  lines.push_back(TypeLine(kObjectFileType));
  lines.push_back(FormatString(kNativeInfoName, {CountedToText(o.name)}));
  lines.push_back(FormatString(kNativeInfoKind, {ObjectTypeText(o)}));
  lines.push_back(FormatString(kNativeInfoCounts, {Number(o.pointCount), Number(o.triangleCount)}));
  lines.push_back(FormatString(kNativeInfoDescription, {TextOrNone(DescriptionOf(o.description))}));
  lines.push_back(FormatString(kNativeInfoTexture,
                               {TextOrNone(IsFileSpecSet(o.textureFile) ? PathOfSpec(o.textureFile) : "")}));
  AddOpticsLines(lines, o.optics);
  lines.push_back(FormatString(kNativeInfoSurface, {YesNo(o.optics.isPainted != 0), YesNo(o.optics.castsShadow != 0),
                                                     YesNo(o.optics.receivesShadow != 0)}));
  lines.push_back(FormatString(kNativeInfoHierarchy, {HierarchyText(o)}));
  std::string chunks;
  for (uint32_t tag : tags) chunks += (chunks.empty() ? "" : " ") + TagText(tag);
  lines.push_back(FormatString(kNativeInfoChunks, {chunks}));
  // Warnings the file gave while it was read (a hierarchy that had to be dropped) belong here too.
  lines.insert(lines.end(), read.warnings.begin(), read.warnings.end());
  DisposeSceneObject(object);
  scene.projectModified = wasModified;
  info.ok = true;
  info.text = Joined(lines);
  return info;
}

NativeFileInfo ProjectInfo(const std::string& path) {
  std::unique_ptr<ProjectRecord> record;
  NativeFileInfo info;
  if (ReadProjectRecordFile(FileSpecForPath(path, kProjectFileType), record) != kNoError) {
    info.text = GetString(kErrCantOpenProject);
    return info;
  }
  const ProjectRecord& r = *record;
  std::vector<std::string> lines;
  lines.push_back(TypeLine(kProjectFileType));
  lines.push_back(FormatString(kNativeInfoName, {CountedToText(r.projectName)}));
  lines.push_back(FormatString(kNativeInfoDescription, {TextOrNone(DescriptionOf(r.projectDescription))}));
  int count = 0;
  for (const FileSpec& entry : r.objectFiles) count += IsFileSpecSet(entry) ? 1 : 0;
  lines.push_back(FormatString(kNativeInfoObjects, {Number(count)}));
  for (int slot = 0; slot < kObjectSlotCount; ++slot) {
    const FileSpec& entry = r.objectFiles[size_t(slot)];
    if (IsFileSpecSet(entry)) lines.push_back(FormatString(kNativeInfoObjectSlot, {Number(slot), PathOfSpec(entry)}));
  }
  if (r.currentObjectIndex >= 0) lines.push_back(FormatString(kNativeInfoCurrentObject, {Number(r.currentObjectIndex)}));
  if (IsFileSpecSet(r.objectsFolder) || IsFileSpecSet(r.texturesFolder)) {
    lines.push_back(FormatString(kNativeInfoFolders, {TextOrNone(IsFileSpecSet(r.objectsFolder) ? PathOfSpec(r.objectsFolder) : ""),
                                                       TextOrNone(IsFileSpecSet(r.texturesFolder) ? PathOfSpec(r.texturesFolder) : "")}));
  }
  info.ok = true;
  info.text = Joined(lines);
  return info;
}

// Reads the first `size` bytes of a file; false when it is missing or shorter.
bool ReadHead(const std::string& path, std::vector<uint8_t>& bytes, size_t size) {
  FileSpec spec = FileSpecForPath(path, 0);
  FileRef file;
  if (OpenFile(spec, FileMode::Read, file) != kNoError) return false;
  bytes.assign(size, 0);
  const bool read = ReadBytes(file, bytes.data(), size) == kNoError;
  CloseFileQuietly(file);
  return read;
}

NativeFileInfo OpticsInfo(const std::string& path) {
  NativeFileInfo info;
  std::vector<uint8_t> bytes;
  if (!ReadHead(path, bytes, kOpticsFileSize)) {
    info.text = GetString(kErrCantOpenOptics);
    return info;
  }
  Optics optics;
  ApplyOpticsFileWords(optics, LoadOpticsFile(std::span<const uint8_t, kOpticsFileSize>(bytes.data(), kOpticsFileSize)));
  std::vector<std::string> lines{TypeLine(kOpticsFileType)};
  AddOpticsLines(lines, optics);
  info.ok = true;
  info.text = Joined(lines);
  return info;
}

NativeFileInfo PreviewInfo(const std::string& path) {
  NativeFileInfo info;
  std::vector<uint8_t> bytes;
  PreviewFacts facts;
  if (!ReadHead(path, bytes, kPreviewFileSize) ||
      !LoadPreviewFile(std::span<const uint8_t, kPreviewFileSize>(bytes.data(), kPreviewFileSize), facts)) {
    info.text = GetString(kErrCantOpenPreview);
    return info;
  }
  std::vector<std::string> lines{TypeLine(kPreviewFileType)};
  const std::string kind = (facts.typeFlags & kPreviewOrganic) != 0          ? GetString(kInfoOrganic)
                           : (facts.typeFlags & kPreviewFastSynthetic) != 0 ? GetString(kInfoFastSynthetic)
                                                                            : GetString(kInfoSynthetic);
  lines.push_back(FormatString(kNativeInfoKind, {kind}));
  lines.push_back(FormatString(kNativeInfoCounts, {Number(facts.pointCount), Number(facts.triangleCount)}));
  lines.push_back(FormatString(kNativeInfoTexturePicture, {YesNo(facts.hasTexture != 0)}));
  lines.push_back(FormatString(kNativeInfoPainted, {YesNo(facts.isPainted != 0)}));
  lines.push_back(FormatString(kNativeInfoDescription, {TextOrNone(DescriptionOf(facts.description))}));
  info.ok = true;
  info.text = Joined(lines);
  return info;
}

}  // namespace

NativeFileInfo InfoOfNativeFile(const std::string& path) {
  // A name without an extension says nothing about its type here (no dialog filter to go by).
  const std::string name = FileNameOfPath(path);
  const uint32_t type = name.find('.') == std::string::npos ? 0 : FileTypeFromName(path);
  switch (type) {
    case kObjectFileType: return ObjectInfo(path);
    case kProjectFileType: return ProjectInfo(path);
    case kOpticsFileType: return OpticsInfo(path);
    case kPreviewFileType: return PreviewInfo(path);
    default: return {false, FormatString(kErrCantOpenFile, {path, GetString(kResUnknownFileType)})};
  }
}

Status MakeProjectFromObjects(const std::string& projectPath, const std::vector<std::string>& objectPaths) {
  if (objectPaths.size() > size_t(kObjectSlotCount)) {
    ShowStopMessage(GetString(kErrNoEmptySpace));
    return kWriteError;
  }
  FileSpec projectFile = FileSpecForPath(projectPath, kProjectFileType);
  if (!IsFileSpecSet(projectFile) || !AddExtension(projectFile.name, kProjectFileType)) {
    ShowStopMessage(GetString(kErrFileError));
    return kWriteError;
  }

  // Every object is read before anything of the program's state changes.
  std::vector<std::unique_ptr<SceneObject>> objects;
  auto disposeAll = [&] {
    for (auto& object : objects) {
      UnregisterLiveObject(object.get());
      DisposeSceneObject(object);
    }
  };
  for (const std::string& path : objectPaths) {
    FileSpec spec = FileSpecForPath(path, kObjectFileType);
    FileRef probe;
    if (OpenFile(spec, FileMode::Read, probe) != kNoError) {
      ShowStopMessage(FormatString(kErrCantOpenFile, {path, GetString(kErrCantOpenObject)}));
      disposeAll();
      return kFileNotFound;
    }
    CloseFileQuietly(probe);
    std::unique_ptr<SceneObject> object = ReadObjectFile(spec);
    if (!object) {
      disposeAll();
      return kWriteError;
    }
    RegisterLiveObject(object.get());
    objects.push_back(std::move(object));
  }

  ClearCurrentObject();
  for (auto& slot : scene.objectTable) DisposeSceneObject(slot);
  ResetProject();
  ProjectRecord& project = nativeFiles.project;
  project.projectFile = projectFile;
  CountedString projectName = TextToCountedString(FileNameOfPath(PathOfSpec(projectFile)));
  RemoveExtension(projectName, kProjectFileType);
  project.projectName = projectName;
  MakeProjectFolder(GetString(kFolderObjects), project.objectsFolder);

  // Each object goes into "Objects" under the name of its file, so no dialog is needed.
  std::set<std::string> used;
  for (size_t i = 0; i < objects.size(); ++i) {
    SceneObject& object = *objects[i];
    CountedString stemText = TextToCountedString(FileNameOfPath(PathOfSpec(object.fileSpec)));
    RemoveExtension(stemText, kObjectFileType);
    const std::string stem = CountedToText(stemText);
    std::string candidate = stem + ".cmf";
    for (int number = 2; used.count(candidate) != 0; ++number) {
      candidate = stem + " " + std::to_string(number) + ".cmf";
    }
    used.insert(candidate);
    FileSpec inProject = FileSpecForPath(PathOfSpec(project.objectsFolder) + "/" + candidate, kObjectFileType);
    if (!IsFileSpecSet(inProject)) {
      ShowStopMessage(GetString(kErrFileError));
      disposeAll();
      return kWriteError;
    }
    object.fileSpec = inProject;
    object.name = ObjectNameOfFile(inProject);
    UnregisterLiveObject(&object);
    // The slot was checked free above; an object that cannot be activated is still saved.
    (void)StoreObjectInSlot(int(i), std::move(objects[i]));
  }
  objects.clear();
  return SaveProject() ? kNoError : kWriteError;
}

}  // namespace tsv
