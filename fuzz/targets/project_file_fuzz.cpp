// project_file_fuzz.cpp: any bytes as a project file, opened the way "Open project" opens one,
// with an "Objects" folder beside it holding the objects the seeds name (a sphere and a square),
// so that the objects a project names are looked for, found and read as in the program.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/file_spec.h"
#include "scene/native_files.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/organic.h"
#include "scene/project.h"
#include "scene/scene_state.h"

namespace {

using namespace tsv;

// No object in the table: the state every input starts from.
bool TableIsEmpty() {
  for (const auto& slot : scene.objectTable) {
    if (slot) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::InitFuzzTarget();
  if (!InitScene()) std::abort();
  if (!fuzz::WriteFuzzObjects(fuzz::FuzzFolder() + "/Objects")) std::abort();
  ResetProject();  // making the objects marked the project changed
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteFuzzFile("Input.cma", std::span<const uint8_t>(data, size));
  if (!OpenProjectFile(FileSpecForPath(path, kProjectFileType))) {
    // A project that cannot be read changes nothing.
    if (!TableIsEmpty() || IsProjectModified()) std::abort();
  } else {
    // Every object it holds took a slot whole, and the record names where each was found.
    for (size_t slot = 0; slot < scene.objectTable.size(); ++slot) {
      const auto& object = scene.objectTable[slot];
      if (!object) continue;
      if (object->points.size() != size_t(object->pointCount)) std::abort();
      if (!IsFileSpecSet(nativeFiles.project.objectFiles[slot])) std::abort();
    }
  }
  ClearCurrentObject();
  for (auto& slot : scene.objectTable) DisposeSceneObject(slot);
  ResetProject();
  fuzz::ForgetShownTexts();
  return 0;
}
