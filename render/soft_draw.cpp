// soft_draw.cpp: the calling order of one modeling-view redraw, the thumbnail, the depth view,
// presenting the buffers as a picture, the redraw time and the batch view.
#include "render/soft_draw.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/canvas.h"
#include "platform/preferences.h"
#include "platform/string_table.h"
#include "render/projection.h"
#include "render/rasterisers.h"
#include "render/texture_work_image.h"
#include "render/work_data.h"
#include "scene/object_table.h"
#include "scene/scene_object.h"
#include "scene/shade_ramp.h"

namespace tsv {
namespace {

constexpr uint32_t kMaxFramesPerSecond = 9999;

bool BuffersReady() {
  return renderState.depthBuffer.size() == size_t(kViewPixelCount) &&
         renderState.shadeBuffer.size() == size_t(kViewPixelCount) &&
         renderState.colourBuffer.size() == size_t(kViewPixelCount) &&
         renderState.viewPicture.size() == size_t(kViewPixelCount) &&
         renderState.textureWorkImage.size() == size_t(kTexturePixelCount);
}

// Fills the clip's first row, then copies it into the others: a plain copy runs at memory speed
// where an element-by-element fill of a float value would not.
template <class T>
void FillClip(std::vector<T>& buffer, const ClipRect& clip, T value) {
  if (clip.top >= clip.bottom || clip.left >= clip.right) return;
  const T* first = buffer.data() + size_t(clip.top) * kViewSide + clip.left;
  std::fill(buffer.data() + size_t(clip.top) * kViewSide + clip.left,
            buffer.data() + size_t(clip.top) * kViewSide + clip.right, value);
  const size_t bytes = size_t(clip.right - clip.left) * sizeof(T);
  for (int row = clip.top + 1; row < clip.bottom; ++row) {
    std::memcpy(buffer.data() + size_t(row) * kViewSide + clip.left, first, bytes);
  }
}

// Pictures are top row first; buffer rows grow upward on the screen, so picture row k of a clip
// is its buffer row (bottom - 1 - k).
void PresentColourBuffer(const ClipRect& clip, uint32_t* picture) {
  const int width = clip.right - clip.left;
  for (int k = 0; k < clip.bottom - clip.top; ++k) {
    const uint32_t* line =
        renderState.colourBuffer.data() + size_t(clip.bottom - 1 - k) * kViewSide;
    std::copy(line + clip.left, line + clip.right, picture + size_t(k) * size_t(width));
  }
}

void PresentShadeBuffer(const SceneObject& object, const ClipRect& clip, uint32_t* picture) {
  std::array<uint32_t, 256> palette;
  if (object.shadeRamp.size() == palette.size()) {
    std::copy(object.shadeRamp.begin(), object.shadeRamp.end(), palette.begin());
  } else {
    for (int i = 0; i < 256; ++i) palette[size_t(i)] = Rgb(uint8_t(i), uint8_t(i), uint8_t(i));
  }
  palette[0] = ModelingBackgroundPixel();
  std::array<uint32_t, kViewSide> backgroundRow;
  backgroundRow.fill(palette[0]);

  // Outside the drawn bounds every shade is 0: those pixels are copied as background. Inside,
  // eight empty shades at a time still become eight background pixels.
  const ClipRect& drawn = renderState.drawnBounds;
  const int left = std::max(clip.left, drawn.left), right = std::min(clip.right, drawn.right);
  const int top = std::max(clip.top, drawn.top), bottom = std::min(clip.bottom, drawn.bottom);
  const int width = clip.right - clip.left;
  for (int k = 0; k < clip.bottom - clip.top; ++k) {
    const int row = clip.bottom - 1 - k;
    uint32_t* out = picture + size_t(k) * size_t(width);
    if (row < top || row >= bottom || left >= right) {
      std::memcpy(out, backgroundRow.data(), size_t(width) * sizeof(uint32_t));
      continue;
    }
    std::memcpy(out, backgroundRow.data(), size_t(left - clip.left) * sizeof(uint32_t));
    out += left - clip.left;
    const uint8_t* line = renderState.shadeBuffer.data() + size_t(row) * kViewSide;
    int j = left;
    for (; j + 8 <= right; j += 8, out += 8) {
      uint64_t eight;
      std::memcpy(&eight, line + j, sizeof eight);
      if (eight == 0) {
        std::memcpy(out, backgroundRow.data(), 8 * sizeof(uint32_t));
      } else {
        for (int i = 0; i < 8; ++i) out[i] = palette[line[j + i]];
      }
    }
    for (; j < right; ++j) *out++ = palette[line[j]];
    std::memcpy(out, backgroundRow.data(), size_t(clip.right - right) * sizeof(uint32_t));
  }
}

// Steps 4 to 6 of a redraw, for the view or the thumbnail: rasterise in the variant the options
// and the object call for and present the buffer into `picture` (clip width x height).
void RasteriseAndPresent(SceneObject& object, const SoftDrawOptions& options, const ClipRect& clip,
                         bool recordDepthRange, uint32_t* picture) {
  RenderState& state = renderState;
  if (options.depthView) {
    DrawDepthView(object, clip, options.fullDetail, recordDepthRange);
    PresentShadeBuffer(object, clip, picture);
    return;
  }
  const bool textured = options.texturedObjects && !object.textureImage.empty();
  if (options.maskRoom || textured || object.optics.isPainted != 0) {
    FillClip(state.colourBuffer, clip, ModelingBackgroundPixel());
    FillClip(state.depthBuffer, clip, kEmptyDepth);
    state.drawnBounds = kNothingDrawn;
    if (options.maskRoom) {
      DrawMaskTriangles(state.colourBuffer, state.depthBuffer, clip, &object, options.fullDetail);
    } else {
      BuildLightTables(object);
      DrawTexturedTriangles(state.colourBuffer, state.depthBuffer, clip, &object,
                            options.fullDetail, options.texturedObjects);
    }
    PresentColourBuffer(clip, picture);
    return;
  }
  FillClip(state.shadeBuffer, clip, uint8_t(0));
  FillClip(state.depthBuffer, clip, kEmptyDepth);
  state.drawnBounds = kNothingDrawn;
  DrawShadedTriangles(state.shadeBuffer, state.depthBuffer, clip, &object, options.fullDetail);
  PresentShadeBuffer(object, clip, picture);
}

// Recomputes what the dirty flags ask for before drawing; true when the normals were recomputed
// (the shades made from the old ones are stale then).
bool RefreshDerivedData(SceneObject& object) {
  if (object.dirtyFlags & kDirtyShadeRamp) {
    BuildShadeRamp(object);
    object.dirtyFlags = uint16_t(object.dirtyFlags & ~kDirtyShadeRamp);
  }
  if (object.dirtyFlags & kDirtyNormals) {
    ComputeFaceNormals(object);
    ComputePointNormals(object);
    object.dirtyFlags = uint16_t(object.dirtyFlags & ~kDirtyNormals);
    return true;
  }
  return false;
}

void ProjectAndShade(SceneObject& object, const ObjectView& view, int bottomRow) {
  BuildViewRotation(view.angles);
  ProjectPointsWithView(object, view, bottomRow);
  BuildInverseViewRotation(view.angles);
  ShadePoints(object);
}

bool DrawThumbnailPicture(SceneObject& object, const SoftDrawOptions& options) {
  if (object.preview.size() != size_t(kThumbnailSide) * kThumbnailSide) return false;
  // The thumbnail shows what the view shows, at a quarter of the size.
  ObjectView view = CurrentView(object);
  view.zoom *= 0.25f;
  view.centerX = uint16_t(view.centerX / 4);
  view.centerY = uint16_t(view.centerY / 4);
  ProjectAndShade(object, view, kThumbnailSide - 1);
  RasteriseAndPresent(object, options, kThumbnailClip, false, object.preview.data());
  return true;
}

void RecordTiming(std::chrono::steady_clock::time_point start) {
  const auto elapsed = std::chrono::steady_clock::now() - start;
  const int64_t micros = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
  RedrawTiming& timing = renderState.lastRedraw;
  timing.microseconds = uint32_t(std::clamp<int64_t>(micros, 0, INT32_MAX));
  timing.framesPerSecond = micros <= 0
                               ? kMaxFramesPerSecond
                               : uint32_t(std::min<int64_t>(1000000 / micros, kMaxFramesPerSecond));
}

}  // namespace

uint32_t ModelingBackgroundPixel() {
  const Rgb16& background = preferences.modelingBackground;
  return Rgb(uint8_t(background.red >> 8), uint8_t(background.green >> 8),
             uint8_t(background.blue >> 8));
}

void DrawDepthView(SceneObject& object, const ClipRect& requested, bool fullDetail,
                   bool recordRange) {
  if (!BuffersReady()) return;
  const ClipRect clip = ClipWithinView(requested);
  RenderState& state = renderState;
  FillClip(state.shadeBuffer, clip, uint8_t(0));
  FillClip(state.depthBuffer, clip, kEmptyDepth);
  state.drawnBounds = kNothingDrawn;
  DrawDepthTriangles(state.depthBuffer, clip, &object, fullDetail);

  // Only the drawn bounds can hold depths; the rest of the clip is empty.
  const ClipRect& drawn = state.drawnBounds;
  const int left = std::max(clip.left, drawn.left), right = std::min(clip.right, drawn.right);
  const int top = std::max(clip.top, drawn.top), bottom = std::min(clip.bottom, drawn.bottom);
  float nearest = -HUGE_VALF, farthest = HUGE_VALF;
  for (int row = top; row < bottom; ++row) {
    const float* line = state.depthBuffer.data() + size_t(row) * kViewSide;
    for (int j = left; j < right; ++j) {
      if (line[j] >= kDrawnDepth) {
        nearest = std::max(nearest, line[j]);
        farthest = std::min(farthest, line[j]);
      }
    }
  }
  if (!(nearest + 2.0f > farthest)) return;  // nothing drawn: the view stays at shade 0
  const float range = nearest - farthest + 2.0f;
  for (int row = top; row < bottom; ++row) {
    const size_t base = size_t(row) * kViewSide;
    for (int j = left; j < right; ++j) {
      const float depth = state.depthBuffer[base + size_t(j)];
      if (depth >= kDrawnDepth) {
        // Within 0..255 for every depth between the extremes; held there for depths so far
        // apart that the range has no room left for the 2 (or is infinite).
        state.shadeBuffer[base + size_t(j)] =
            uint8_t(ClampedTrunc((depth - farthest) * 256.0f / range, 0, 255));
      }
    }
  }
  if (recordRange) {
    object.depthMax = nearest;
    object.depthMin = farthest;
  }
}

bool DrawHardwareView(uint8_t renderer, const ClipRect& clip, SceneObject& object,
                      bool fullDetail) {
  HardwareViewEntry entry = nullptr;
  if (renderer & kRendererChoiceOpenGL) {
    entry = renderState.openGLDrawView;
  } else if (renderer & kRendererChoiceDirect3D) {
    entry = renderState.direct3DDrawView;
  }
  if (entry == nullptr) return false;
  entry(clip, object, fullDetail);
  return true;
}

bool SoftDraw(SceneObject* object, const SoftDrawOptions& options) {
  const auto start = std::chrono::steady_clock::now();
  if (object == nullptr || !BuffersReady() || !HasWorkRecords(*object)) return false;
  const bool normalsChanged = RefreshDerivedData(*object);
  const std::array<float, 3> shadedWith = renderState.lightVector;
  BuildLightVector(options.lightAngles);
  const bool thumbnailDrawn = options.updateThumbnail && DrawThumbnailPicture(*object, options);

  const ObjectView& view = CurrentView(*object);
  if (!options.workDataCurrent || normalsChanged || thumbnailDrawn) {
    ProjectAndShade(*object, view, kViewBottomRow);
  } else if (renderState.lightVector != shadedWith) {
    // The refresh projected for this view; only its light was another.
    BuildInverseViewRotation(view.angles);
    ShadePoints(*object);
  }

  const uint8_t renderer = options.renderer & 7;
  if (renderer == kRendererChoiceQuickDraw3D) {
    std::fill(renderState.depthBuffer.begin(), renderState.depthBuffer.end(), kEmptyDepth);
    RecordTiming(start);
    return true;
  }
  if (renderer != kRendererChoiceSoftDraw &&
      DrawHardwareView(renderer, kViewClip, *object, options.fullDetail)) {
    RecordTiming(start);
    return true;
  }
  RasteriseAndPresent(*object, options, kViewClip, true, renderState.viewPicture.data());
  RecordTiming(start);
  return true;
}

bool DrawObjectThumbnail(SceneObject& object, const SoftDrawOptions& options) {
  if (!BuffersReady() || !HasWorkRecords(object)) return false;
  RefreshDerivedData(object);
  BuildLightVector(options.lightAngles);
  const bool drawn = DrawThumbnailPicture(object, options);
  ProjectAndShade(object, CurrentView(object), kViewBottomRow);
  return drawn;
}

RedrawTiming LastRedrawTiming() { return renderState.lastRedraw; }

std::string RedrawReadoutText(uint16_t displayChoice) {
  const RedrawTiming& timing = renderState.lastRedraw;
  char number[32];
  if (displayChoice == 1) {
    std::snprintf(number, sizeof number, "%.1f", double(timing.microseconds) / 1000.0);
    return FormatString(kRedrawTimeReadout, {number});
  }
  if (displayChoice == 2) {
    std::snprintf(number, sizeof number, "%u", unsigned(timing.framesPerSecond));
    return FormatString(kRedrawFpsReadout, {number});
  }
  return {};
}

std::optional<ViewMode> ViewModeFromName(std::string_view name) {
  if (name == "shaded") return ViewMode::Shaded;
  if (name == "painted") return ViewMode::Painted;
  if (name == "textured") return ViewMode::Textured;
  if (name == "depth") return ViewMode::Depth;
  if (name == "mask") return ViewMode::Mask;
  return std::nullopt;
}

bool RenderObjectView(SceneObject& object, int viewIndex, float zoom, ViewMode mode, bool quarter,
                      std::vector<uint32_t>& pixels) {
  if (viewIndex < 0 || viewIndex >= kObjectViewCount || !std::isfinite(zoom) || !(zoom > 0.0f)) {
    return false;
  }
  if (!BuffersReady()) return false;
  if (!HasWorkRecords(object) && !ActivateSceneObject(&object)) return false;
  PrepareTextureWorkImage(object);

  SoftDrawOptions options;
  options.fullDetail = !quarter;
  options.texturedObjects = mode == ViewMode::Textured;
  options.depthView = mode == ViewMode::Depth;
  options.maskRoom = mode == ViewMode::Mask;

  const uint16_t savedView = object.currentView;
  const float savedZoom = object.views[size_t(viewIndex)].zoom;
  const uint16_t savedPainted = object.optics.isPainted;
  object.currentView = uint16_t(viewIndex);
  object.views[size_t(viewIndex)].zoom = zoom;
  if (mode == ViewMode::Shaded) object.optics.isPainted = 0;
  if (mode == ViewMode::Painted) object.optics.isPainted = 1;

  const bool drawn = SoftDraw(&object, options);

  object.currentView = savedView;
  object.views[size_t(viewIndex)].zoom = savedZoom;
  object.optics.isPainted = savedPainted;
  if (!drawn) return false;
  pixels = renderState.viewPicture;
  return true;
}

}  // namespace tsv
