// object_texture.cpp: an object's texture picture.
#include "formats/object_texture.h"

#include <utility>

#include "formats/picture.h"
#include "formats/picture_files.h"
#include "scene/scene_object.h"

namespace tsv {

bool LayTexturePicture(SceneObject& object, FileSpec spec) {
  Picture picture;
  if (LoadPicture(spec, picture) != kNoError) return false;
  object.textureImage = std::move(picture.pixels);
  object.textureImageSize = {uint16_t(picture.width), uint16_t(picture.height)};
  object.textureDepth = {4, 0};
  object.textureKind = kTextureKindPicture;
  object.textureError = 0;
  CopyFileSpec(object.textureFile, spec);
  return true;
}

bool LoadObjectTexturePicture(SceneObject& object) {
  if (LayTexturePicture(object, object.textureFile)) return true;
  object.textureError = 1;
  return false;
}

void RemoveTexture(SceneObject& object) {
  ClearFileSpec(object.textureFile);
  object.textureImage.clear();
  object.textureImage.shrink_to_fit();
  object.textureImageSize = {};
  object.textureDepth = {};
  object.textureOffset = {};
  object.textureKind = 0;
  object.textureError = 0;
}

}  // namespace tsv
