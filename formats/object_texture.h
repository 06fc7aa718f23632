// object_texture.h: laying a picture on an object as its texture, and taking it off again.
#pragma once

#include "platform/file_spec.h"

namespace tsv {

struct SceneObject;

// The texture kind of an object whose texture is a picture file.
inline constexpr uint16_t kTextureKindPicture = 1;

// Loads the picture `spec` names through the shared picture loader (which asks for a missing file
// and shows what went wrong) and makes it the object's texture: `textureFile` (the file actually
// found), `textureImage`, `textureImageSize`, `textureDepth`, `textureKind`, `textureError`. The
// texture settings (zoom, offset, parameters) stay as they are. False, with the object's previous
// texture untouched, when the picture cannot be had.
[[nodiscard]] bool LayTexturePicture(SceneObject& object, FileSpec spec);

// Loads the picture the object's `textureFile` names (an object file just read). False when it
// cannot be had; the caller then clears the reference.
[[nodiscard]] bool LoadObjectTexturePicture(SceneObject& object);

// Takes the texture off: no file, no picture, kind 0, offset 0. The other settings stay, so that a
// texture laid on later finds them.
void RemoveTexture(SceneObject& object);

}  // namespace tsv
