// composer_scene_fuzz.cpp: a project record and a small object from any bytes, rendered by the
// composer at 32 x 24 with every switch on (supersampling, shadows, textures, fog and smoke, the
// background picture): whatever the camera, light, fog values and mesh, the render ends with 0
// (or 1 when a buffer cannot be had), never hangs, and leaves the picture's size and scale as
// they were.
//
// Input: the first 79336 bytes are laid over the byte image of a new project (a shorter input
// keeps the rest of the defaults); then the object: seven floats (scale, position x, y, z,
// rotation x, y, z; little-endian), a flags byte (bit 0 ghosted, 1 receives shadows, 2 casts
// shadows, 3 painted, 4 textured), the point and triangle counts (a byte each, at most 64 and
// 128), three floats per point and three corner bytes per triangle (taken modulo the point
// count), zero where the input ends.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "render/composer_frame.h"
#include "render/render_state.h"
#include "scene/native_files.h"
#include "scene/object_table.h"
#include "scene/project.h"
#include "scene/project_record.h"
#include "scene/scene_state.h"

namespace {

using namespace tsv;

constexpr int kPictureWidth = 32, kPictureHeight = 24;
constexpr size_t kMostPoints = 64;
constexpr size_t kMostTriangles = 128;

// The object the bytes describe, or null when its mesh cannot be built.
std::unique_ptr<SceneObject> ObjectOf(fuzz::FuzzBytes& bytes) {
  const float scale = bytes.Float();
  const Vec3f position{bytes.Float(), bytes.Float(), bytes.Float()};
  const Vec3f rotation{bytes.Float(), bytes.Float(), bytes.Float()};
  const uint8_t flags = bytes.Byte();
  const size_t points = std::clamp<size_t>(bytes.Byte(), 3, kMostPoints);
  const size_t triangles = std::clamp<size_t>(bytes.Byte(), 1, kMostTriangles);
  std::unique_ptr<SceneObject> object = NewSceneObject(int32_t(points), int32_t(triangles));
  if (!object) return nullptr;
  for (Vec3f& p : object->points) p = {bytes.Float(), bytes.Float(), bytes.Float()};
  std::vector<Triangle>& corners = MutableTopology(*object)->triangles;
  for (Triangle& t : corners) {
    for (uint32_t& corner : t) corner = bytes.Byte() % uint32_t(points);
  }
  if (!BuildCornerLists(*object)) return nullptr;
  object->scale = scale;
  object->position = position;
  object->rotation = rotation;
  object->ghostState = flags & 1 ? kGhosted : 0;
  object->optics.receivesShadow = flags & 2 ? 1 : 0;
  object->optics.castsShadow = flags & 4 ? 1 : 0;
  object->optics.isPainted = flags & 8 ? 1 : 0;
  if (flags & 16) object->textureFile = FileSpecForPath(fuzz::FuzzFolder() + "/Texture.bmp", FourCC("BMP "));
  return object;
}

// Every picture the render asks for: a small one of every kind of pixel.
Status LoadFuzzPicture(const FileSpec&, ComposerTexture& picture) {
  picture.width = 4;
  picture.height = 3;
  picture.pixels = {0xFF000000u, 0x00FFFFFFu, 0x80FF0000u, 0xFF00FF00u, 0x000000FFu, 0x40102030u,
                    0xFFFFFFFFu, 0x7F7F7F7Fu, 0x01020304u, 0xFE000001u, 0x00808080u, 0xFFC0FFEEu};
  return kNoError;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::InitFuzzTarget();
  if (!InitScene() || !InitSoftDraw()) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ResetProject();
  std::vector<uint8_t> image(kProjectRecordSize);
  StoreProjectRecord(nativeFiles.project, std::span<uint8_t, kProjectRecordSize>(image.data(), kProjectRecordSize));
  std::copy_n(data, std::min(size, kProjectRecordSize), image.begin());
  nativeFiles.project = LoadProjectRecord(std::span<const uint8_t, kProjectRecordSize>(image.data(), kProjectRecordSize));
  ProjectRecord& project = nativeFiles.project;
  project.supersampling = 1;
  project.shadowsOn = 1;
  project.texturesOn = 1;
  project.fogAndSmokeOn = 1;
  project.backgroundPictureOn = 1;
  project.quorvelFile = FileSpecForPath(fuzz::FuzzFolder() + "/Background.bmp", FourCC("BMP "));

  fuzz::FuzzBytes rest(data + std::min(size, kProjectRecordSize), size - std::min(size, kProjectRecordSize));
  std::unique_ptr<SceneObject> object = ObjectOf(rest);
  if (object && !StoreObjectInSlot(3, std::move(object))) std::abort();

  ComposerPicture& picture = renderState.composerPicture;
  picture = ComposerPicture{};
  picture.width = kPictureWidth;
  picture.height = kPictureHeight;
  picture.pixels.assign(size_t(kPictureWidth) * kPictureHeight, 0);
  renderState.loadComposerPicture = LoadFuzzPicture;

  const int result = RenderComposerFrame();
  if (result != kFrameRendered && result != kFrameNotRendered) std::abort();
  if (picture.width != kPictureWidth || picture.height != kPictureHeight ||
      picture.pixels.size() != size_t(kPictureWidth) * kPictureHeight ||
      picture.orthographicScale != kComposerOrthographicScale) {
    std::abort();
  }
  // The order packs the object into slot 0.
  for (size_t slot = 1; slot < scene.objectTable.size(); ++slot) {
    if (scene.objectTable[slot]) std::abort();
  }

  ClearCurrentObject();
  for (auto& slot : scene.objectTable) DisposeSceneObject(slot);
  fuzz::ForgetShownTexts();
  return 0;
}
