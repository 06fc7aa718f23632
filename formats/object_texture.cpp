// object_texture.cpp: an object's texture picture.
#include "formats/object_texture.h"

#include <string>
#include <utility>

#include "formats/picture_files.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "scene/native_files.h"
#include "scene/scene_object.h"

namespace tsv {
namespace {

// Where the texture pictures of the project's objects are looked for: its "Textures" folder, else
// the folder of the project file; "" while the project has neither.
std::string TextureSearchFolder() {
  const FileSpec& textures = nativeFiles.project.texturesFolder;
  return IsFileSpecSet(textures) ? PathOfSpec(textures) : ProjectFolderPath();
}

}  // namespace

void SetTexturePicture(SceneObject& object, Picture picture, const FileSpec& spec) {
  object.textureImage = std::move(picture.pixels);
  object.textureImageSize = {uint16_t(picture.width), uint16_t(picture.height)};
  object.textureDepth = {4, 0};
  object.textureKind = kTextureKindPicture;
  object.textureError = 0;
  CopyFileSpec(object.textureFile, spec);
}

bool LoadObjectTexturePicture(SceneObject& object) {
  FileSpec spec = object.textureFile;
  Picture picture;
  const PictureLoad load = FindAndLoadPicture(spec, picture, TextureSearchFolder());
  if (load.status == kNoError) {
    SetTexturePicture(object, std::move(picture), spec);
    return true;
  }
  if (load.status == kFileNotFound) {
    ShowStopMessage(FormatString(kErrTexturePictureNotFound, {FileNameOfPath(PathOfSpec(object.textureFile))}));
  } else {
    ReportPictureLoadFailure(load.status);
  }
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
