// render_state.cpp: the renderer's state record, its start-up, shutdown and test reset.
#include "render/render_state.h"

#include <new>

#include "render/texture_work_image.h"
#include "render/work_data.h"
#include "scene/scene_state.h"

namespace tsv {

RenderState renderState;

bool InitSoftDraw() {
  try {
    renderState.depthBuffer.assign(size_t(kViewPixelCount), kEmptyDepth);
    renderState.shadeBuffer.assign(size_t(kViewPixelCount), 0);
    renderState.colourBuffer.assign(size_t(kViewPixelCount), 0);
    renderState.viewPicture.assign(size_t(kViewPixelCount), 0);
    renderState.textureWorkImage.assign(size_t(kTexturePixelCount), 0xFF000000u);
  } catch (const std::bad_alloc&) {
    ShutdownSoftDraw();
    return false;
  }
  BuildLightVector(kDefaultLightAngles);
  scene.prepareTextureWorkImage = [](SceneObject& object) { PrepareTextureWorkImage(object); };
  return true;
}

void ShutdownSoftDraw() {
  renderState = RenderState{};
  scene.prepareTextureWorkImage = nullptr;
}

void ResetRenderState() {
  ShutdownSoftDraw();
  (void)InitSoftDraw();  // the next SoftDraw reports a renderer that could not start
}

}  // namespace tsv
