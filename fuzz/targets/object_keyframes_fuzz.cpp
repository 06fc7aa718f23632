// object_keyframes_fuzz.cpp: any bytes as an object file opened the way the open command opens
// one, taking the keyframe shapes it holds, while another object owns a keyframe of its own (the
// owner question is answered OK for inputs of odd length, Cancel for even ones). Whatever the
// bytes, the keyframes afterwards are either the file's, whole and of the opened object's counts
// and triangles, with the opened object their owner, or the other object's, untouched; and no
// staging file is left behind.
#include <sys/stat.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/file_spec.h"
#include "platform/folders.h"
#include "scene/keyframe_file.h"
#include "scene/native_files.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/scene_state.h"

namespace {

using namespace tsv;

// The other owner's key sits in this slot; its shape is the other object's own.
constexpr int kOtherSlot = 1;

std::unique_ptr<SceneObject>& OtherOwner() { return fuzz::fuzzState.object; }

void Fail(const char* what) {
  std::fprintf(stderr, "object_keyframes: %s\n", what);
  std::abort();
}

bool FileExists(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

void GiveOtherOwnerItsKey() {
  if (WriteKeyframeSlot(kOtherSlot, *OtherOwner(), nativeFiles.project) != kNoError) Fail("the other key cannot be written");
  scene.keyframeOwner = OtherOwner().get();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::InitFuzzTarget();
  // The keyframe slots go to the private folder.
  if (::setenv("TMPDIR", fuzz::FuzzFolder().c_str(), 1) != 0) std::abort();
  if (CreateTempFolder() != kNoError || !InitScene()) std::abort();
  OtherOwner() = NewSceneObject(3, 1);
  if (!OtherOwner()) std::abort();
  GiveOtherOwnerItsKey();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::WriteFuzzFile("Input.cmf", std::span<const uint8_t>(data, size));
  fuzz::fuzzState.services->messageAnswers.assign(1, size % 2 == 1);
  std::unique_ptr<SceneObject> object = ReadObjectFile(FileSpecForPath(path, kObjectFileType), KeyframeChunks::Take);

  for (int slot = 0; slot < kKeyframeSlotCount; ++slot) {
    if (FileExists(KeyframeStagingPath(slot))) Fail("a staging file was left behind");
  }
  if (object && scene.keyframeOwner == object.get()) {
    // Taken: every set slot is a whole shape of the opened object.
    const std::span<const Triangle> triangles = Triangles(*object);
    bool any = false;
    for (int slot = 0; slot < kKeyframeSlotCount; ++slot) {
      if (!KeyframeExists(slot)) continue;
      any = true;
      KeyframeShape shape;
      if (ReadKeyframeSlot(slot, shape) != kNoError) Fail("a taken keyframe cannot be read back");
      if (shape.pointCount != uint32_t(object->pointCount) || shape.triangleCount != uint32_t(object->triangleCount) ||
          !std::equal(shape.triangles.begin(), shape.triangles.end(), triangles.begin(), triangles.end())) {
        Fail("a taken keyframe does not fit the opened object");
      }
    }
    if (!any) Fail("an owner without keyframes");
    DisposeSceneObject(object);
    DeleteAllKeyframes();
    GiveOtherOwnerItsKey();
  } else {
    // Not taken: the other owner's keyframe, and only that, is as it was.
    if (scene.keyframeOwner != OtherOwner().get()) Fail("the other owner lost its keyframes");
    for (int slot = 0; slot < kKeyframeSlotCount; ++slot) {
      if (KeyframeExists(slot) != (slot == kOtherSlot)) Fail("the other owner's slots changed");
    }
    uint32_t points = 0, triangles = 0;
    if (ReadKeyframeCounts(kOtherSlot, points, triangles) != kNoError || points != 3 || triangles != 1) {
      Fail("the other owner's keyframe changed");
    }
    DisposeSceneObject(object);
  }
  fuzz::ForgetShownTexts();
  return 0;
}
