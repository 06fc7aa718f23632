// mesh_file_command.cpp: the mesh operations on object files.
#include "mesh/mesh_file_command.h"

#include <cstdio>
#include <memory>
#include <utility>

#include "mesh/mesh_state.h"
#include "mesh/object_copies.h"
#include "platform/file_spec.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"

namespace tsv {
namespace {

// Reads an object file into the first free slot of the table; null after the reader's message.
SceneObject* ReadIntoTable(const std::string& path) {
  std::unique_ptr<SceneObject> object = ReadObjectFile(FileSpecForPath(path, kObjectFileType));
  if (!object) return nullptr;
  const int slot = FindSlotForNewObject();
  if (slot < 0 || !StoreObjectInSlot(slot, std::move(object))) return nullptr;
  return scene.objectTable[size_t(slot)].get();
}

void PrintCounts(const char* label, const SceneObject& object) {
  std::printf("%s: %d points, %d triangles\n", label, object.pointCount, object.triangleCount);
}

}  // namespace

Status MeshObjectFile(const std::string& inPath, const std::string& outPath, const MeshFileRequest& request) {
  SceneObject* object = ReadIntoTable(inPath);
  if (object == nullptr) return kReadError;
  SceneObject* other = nullptr;
  if (!request.mergeWith.empty() && (other = ReadIntoTable(request.mergeWith)) == nullptr) return kReadError;
  PrintCounts("before", *object);
  if (request.dropHierarchy) {
    DropHierarchy(*object);
    if (other != nullptr) DropHierarchy(*other);
  }
  meshState.preserveBorders = request.protectBorders;
  if (request.makeSynthetic && !MakeSynthetic(object)) return kNoMemory;
  if (const Status status = RunDerivationSteps(*object, request.steps); status != kNoError) return status;
  if (request.mirrorAxis >= 0 && !MirrorObject(object, request.mirrorAxis)) {
    return object->hierarchy.empty() ? kNoMemory : kCancelled;
  }
  SceneObject* result = object;
  if (other != nullptr) {
    if (!MergeObjects(object, other)) return object->hierarchy.empty() && other->hierarchy.empty() ? kNoMemory : kCancelled;
    result = scene.currentObject;
  }
  if (!SaveObjectToFile(*result, FileSpecForPath(outPath, kObjectFileType))) return kWriteError;
  PrintCounts("after", *result);
  return kNoError;
}

}  // namespace tsv
