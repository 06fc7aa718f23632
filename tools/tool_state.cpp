// tool_state.cpp: the tools' state record.
#include "tools/tool_state.h"

namespace tsv {

ToolState toolState;

void ResetToolState() { toolState = ToolState{}; }

TextureMapping TextureMappingOf(const SceneObject& object) {
  TextureMapping mapping;
  mapping.textureUsesAlpha = object.textureUsesAlpha;
  mapping.textureBump = object.textureBump;
  mapping.textureFlags = object.textureFlags;
  mapping.textureZoom = object.textureZoom;
  mapping.textureParams = object.textureParams;
  mapping.textureOffset = object.textureOffset;
  return mapping;
}

}  // namespace tsv
