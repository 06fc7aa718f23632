// object_texture.h: laying a picture on an object as its texture, finding the texture picture of an
// object file just opened, and taking the texture off again.
#pragma once

#include "formats/picture.h"
#include "platform/file_spec.h"

namespace tsv {

struct SceneObject;

// The texture kind of an object whose texture is a picture file.
inline constexpr uint16_t kTextureKindPicture = 1;

// Makes a loaded picture the object's texture: `textureFile` (the file it was read from),
// `textureImage`, `textureImageSize`, `textureDepth`, `textureKind`, `textureError`. The texture
// settings (zoom, offset, parameters) stay as they are.
void SetTexturePicture(SceneObject& object, Picture picture, const FileSpec& spec);

// Loads the picture the object's `textureFile` names (an object file just read). A picture that is
// not where the file says is looked for by name in the project's "Textures" folder (or, without
// one, the project file's folder) and below it, then with the "Find Picture" dialog. False when it
// cannot be had, after one message: "Error: The texture picture "name" was not found; the object
// opens without it." when no file was found, else the loader's message. The caller then clears
// the reference.
[[nodiscard]] bool LoadObjectTexturePicture(SceneObject& object);

// Takes the texture off: no file, no picture, kind 0, offset 0. The other settings stay, so that a
// texture laid on later finds them.
void RemoveTexture(SceneObject& object);

}  // namespace tsv
