// soft_draw.cpp: the calling order of one modeling-view redraw, the thumbnail, the depth view,
// presenting the buffers as a picture, the redraw time and the batch view.
#include "render/soft_draw.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <span>

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
// `stride` is the picture's row length (the clip's width, or the view's for a part of it).
void PresentColourBuffer(const ClipRect& clip, uint32_t* picture, size_t stride) {
  for (int k = 0; k < clip.bottom - clip.top; ++k) {
    const uint32_t* line =
        renderState.colourBuffer.data() + size_t(clip.bottom - 1 - k) * kViewSide;
    std::copy(line + clip.left, line + clip.right, picture + size_t(k) * stride);
  }
}

void PresentShadeBuffer(const SceneObject& object, const ClipRect& clip, uint32_t* picture,
                        size_t stride) {
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
    uint32_t* out = picture + size_t(k) * stride;
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
// and the object call for and present the buffer into `picture` (clip width x height). A redraw
// of part of the view passes the triangles that can reach it (`only`), the drawn bounds of the
// rest of the view (`drawnBefore`) and the view's row length (`stride`, the picture pointing at
// the part's first pixel); the depth view is never drawn in part.
void RasteriseAndPresent(SceneObject& object, const SoftDrawOptions& options, const ClipRect& clip,
                         bool recordDepthRange, uint32_t* picture,
                         const std::vector<uint32_t>* only = nullptr,
                         const ClipRect& drawnBefore = kNothingDrawn, size_t stride = 0) {
  RenderState& state = renderState;
  if (stride == 0) stride = size_t(clip.right - clip.left);
  if (options.depthView) {
    DrawDepthView(object, clip, options.fullDetail, recordDepthRange);
    PresentShadeBuffer(object, clip, picture, stride);
    return;
  }
  const bool textured = options.texturedObjects && !object.textureImage.empty();
  if (options.maskRoom || textured || object.optics.isPainted != 0) {
    FillClip(state.colourBuffer, clip, ModelingBackgroundPixel());
    FillClip(state.depthBuffer, clip, kEmptyDepth);
    state.drawnBounds = drawnBefore;
    if (options.maskRoom) {
      DrawMaskTriangles(state.colourBuffer, state.depthBuffer, clip, &object, options.fullDetail, only);
    } else {
      BuildLightTables(object);
      DrawTexturedTriangles(state.colourBuffer, state.depthBuffer, clip, &object,
                            options.fullDetail, options.texturedObjects, only);
    }
    PresentColourBuffer(clip, picture, stride);
    return;
  }
  FillClip(state.shadeBuffer, clip, uint8_t(0));
  FillClip(state.depthBuffer, clip, kEmptyDepth);
  state.drawnBounds = drawnBefore;
  DrawShadedTriangles(state.shadeBuffer, state.depthBuffer, clip, &object, options.fullDetail, only);
  PresentShadeBuffer(object, clip, picture, stride);
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

namespace {

constexpr size_t kTriangleTiles = size_t(kTriangleTilesAcross) * kTriangleTilesAcross;
constexpr uint16_t kNoTile = UINT16_MAX;         // never drawn where it lies
constexpr uint16_t kLargeTile = UINT16_MAX - 1;  // its box spans more than a small triangle's
static_assert(kTriangleTiles < kLargeTile);

// Where a triangle lies on the view now, for the bins: the tile of its box's first corner, or
// kLargeTile when its box spans more than `span` pixels either way, or kNoTile when it draws
// nothing there (a corner outside the points, facing away, or its box beside the view). With
// `extent`, its box's larger side (at most 255) is kept there.
// A triangle's screen box (pixels, inclusive).
struct ScreenBox {
  int32_t minX, maxX, minY, maxY;
};
ScreenBox BoxOf(const PointWork& a, const PointWork& b, const PointWork& c) {
  return {std::min({a.sx, b.sx, c.sx}), std::max({a.sx, b.sx, c.sx}), std::min({a.sy, b.sy, c.sy}),
          std::max({a.sy, b.sy, c.sy})};
}

uint16_t TriangleTile(const Triangle& tri, const PointWork* points, uint32_t pointCount, int32_t span,
                      uint8_t* extent = nullptr) {
  if (tri[0] >= pointCount || tri[1] >= pointCount || tri[2] >= pointCount) return kNoTile;
  // As the rasterisers take them: F, G, H = corners 0, 2, 1, drawn when facing the viewer.
  const PointWork& f = points[tri[0]];
  const PointWork& g = points[tri[2]];
  const PointWork& h = points[tri[1]];
  const int64_t facing = int64_t(h.sx - f.sx) * (g.sy - f.sy) - int64_t(g.sx - f.sx) * (h.sy - f.sy);
  if (facing < 0) return kNoTile;
  const auto [minX, maxX, minY, maxY] = BoxOf(f, g, h);
  if (maxX < 0 || maxY < 0 || minX > kViewBottomRow || minY > kViewBottomRow) return kNoTile;
  if (extent != nullptr) *extent = uint8_t(std::min<int32_t>(std::max(maxX - minX, maxY - minY), 255));
  if (maxX - minX > span || maxY - minY > span) return kLargeTile;
  return uint16_t(size_t(std::max(minY, 0) / kTriangleTileSide) * kTriangleTilesAcross +
                  size_t(std::max(minX, 0) / kTriangleTileSide));
}

}  // namespace

bool BuildTriangleBins(const SceneObject& object) {
  TriangleBins& b = renderState.bins;
  b.object = nullptr;
  if (!HasWorkRecords(object)) return false;
  const std::span<const Triangle> all = Triangles(object);
  const size_t count = std::min(all.size(), size_t(object.triangleCount));
  if (count >= UINT32_MAX) return false;
  const PointWork* points = object.pointWork->data();
  const uint32_t pointCount = uint32_t(object.pointCount);
  constexpr size_t kTiles = kTriangleTiles;
  try {
    b.tileOf.resize(count);
    b.extent.resize(count);
    b.tileStart.assign(kTiles + 1, 0);
    b.large.clear();
    // Every drawn triangle's tile and extent; the span of the small ones is then the least that
    // takes in nearly all (a query widens by it, while each large one is looked at every time).
    std::array<size_t, 256> extents{};
    size_t drawable = 0;
    for (size_t t = 0; t < count; ++t) {
      b.tileOf[t] = TriangleTile(all[t], points, pointCount, INT32_MAX, &b.extent[t]);
      if (b.tileOf[t] == kNoTile) continue;
      ++extents[b.extent[t]];
      ++drawable;
    }
    b.span = 64;
    for (const int32_t span : {2, 4, 8, 16, 32}) {
      size_t within = 0;
      for (int32_t e = 0; e <= span; ++e) within += extents[size_t(e)];
      if (within * 20 >= drawable * 19) {
        b.span = span;
        break;
      }
    }
    for (size_t t = 0; t < count; ++t) {
      if (b.tileOf[t] == kNoTile) continue;
      if (b.extent[t] > b.span) {
        b.tileOf[t] = kLargeTile;
        b.large.push_back(uint32_t(t));
      } else {
        ++b.tileStart[size_t(b.tileOf[t]) + 1];
      }
    }
    for (size_t k = 0; k < kTiles; ++k) b.tileStart[k + 1] += b.tileStart[k];
    b.tileTriangles.resize(b.tileStart[kTiles]);
    std::array<uint32_t, kTiles> cursor;
    std::copy_n(b.tileStart.begin(), kTiles, cursor.begin());
    for (size_t t = 0; t < count; ++t) {
      if (b.tileOf[t] < kTiles) b.tileTriangles[cursor[b.tileOf[t]]++] = uint32_t(t);
    }
    b.changed.assign(count, 0);
    b.changedList.clear();
    b.changedList.reserve(count);
    b.candidates.assign((count + 63) / 64, 0);
    b.subset.clear();
    b.subset.reserve(count);
  } catch (const std::bad_alloc&) {
    return false;
  }
  const ObjectView& view = CurrentView(object);
  b.angles = view.angles;
  b.zoom = view.zoom;
  b.centerX = view.centerX;
  b.centerY = view.centerY;
  b.drawn = renderState.drawnBounds;
  b.serial = object.serial;
  b.triangleCount = uint32_t(count);
  b.object = &object;
  return true;
}

void ForgetTriangleBins() { renderState.bins.object = nullptr; }

void NoteTrianglesChanged(const SceneObject& object, std::span<const uint32_t> triangles) {
  TriangleBins& b = renderState.bins;
  if (b.object != &object || !HasWorkRecords(object)) return;
  const std::span<const Triangle> all = Triangles(object);
  const PointWork* points = object.pointWork->data();
  const uint32_t pointCount = uint32_t(object.pointCount);
  for (const uint32_t t : triangles) {
    if (t >= b.changed.size() || t >= all.size()) continue;
    // Where it lies now; its bin keeps where it lay at the build.
    b.tileOf[t] = TriangleTile(all[t], points, pointCount, b.span);
    if (b.changed[t] != 0) continue;
    b.changed[t] = 1;
    b.changedList.push_back(t);  // room for every triangle was reserved
  }
}

bool SoftDrawPart(SceneObject* object, const SoftDrawOptions& options, const ClipRect& part) {
  const auto start = std::chrono::steady_clock::now();
  TriangleBins& b = renderState.bins;
  if (object == nullptr || !BuffersReady() || !HasWorkRecords(*object)) return false;
  const size_t count = std::min(Triangles(*object).size(), size_t(object->triangleCount));
  const ObjectView& view = CurrentView(*object);
  if (b.object != object || b.serial != object->serial || b.triangleCount != count ||
      b.angles != view.angles || b.zoom != view.zoom || b.centerX != view.centerX || b.centerY != view.centerY) {
    return false;
  }
  if (!options.workDataCurrent || options.updateThumbnail || options.depthView ||
      (options.renderer & 7) != kRendererChoiceSoftDraw || (!options.fullDetail && object->isFastSynthetic != 0) ||
      (object->dirtyFlags & (kDirtyNormals | kDirtyShadeRamp)) != 0) {
    return false;
  }
  // The rest of the view shows the shades of the light the records hold.
  const std::array<float, 3> shadedWith = renderState.lightVector;
  BuildLightVector(options.lightAngles);
  if (renderState.lightVector != shadedWith) {
    renderState.lightVector = shadedWith;
    return false;
  }
  const ClipRect clip = ClipWithinView(part);
  if (clip.left >= clip.right || clip.top >= clip.bottom) return true;

  // Many triangles moved since the build: built again from where everything lies now.
  if (b.changedList.size() > count / 8) {
    const ClipRect drawn = b.drawn;
    if (!BuildTriangleBins(*object)) return false;
    b.drawn = drawn;
  }
  // The candidates, once each, in index order: the small triangles whose first box corner lies
  // in a tile from which they can reach the part, the large ones whose box meets it, and every
  // triangle that moved since the build.
  auto mark = [&](uint32_t t) { b.candidates[t >> 6] |= uint64_t(1) << (t & 63); };
  auto tile = [](int pixel) { return std::clamp(pixel, 0, kViewBottomRow) / kTriangleTileSide; };
  const int c0 = tile(clip.left - b.span), c1 = tile(clip.right - 1);
  const int r0 = tile(clip.top - b.span), r1 = tile(clip.bottom - 1);
  for (int r = r0; r <= r1; ++r) {
    for (int c = c0; c <= c1; ++c) {
      const size_t k = size_t(r) * kTriangleTilesAcross + size_t(c);
      for (uint32_t j = b.tileStart[k]; j < b.tileStart[k + 1]; ++j) mark(b.tileTriangles[j]);
    }
  }
  const std::span<const Triangle> all = Triangles(*object);
  const PointWork* points = object->pointWork->data();
  const uint32_t pointCount = uint32_t(object->pointCount);
  for (const uint32_t t : b.large) {
    const Triangle& tri = all[t];
    if (tri[0] >= pointCount || tri[1] >= pointCount || tri[2] >= pointCount) continue;
    const ScreenBox box = BoxOf(points[tri[0]], points[tri[1]], points[tri[2]]);
    if (box.maxX >= clip.left && box.minX < clip.right && box.maxY >= clip.top && box.minY < clip.bottom) mark(t);
  }
  for (const uint32_t t : b.changedList) {
    const uint16_t k = b.tileOf[t];
    if (k == kLargeTile) {
      mark(t);
    } else if (k != kNoTile) {
      const int r = k / kTriangleTilesAcross, c = k % kTriangleTilesAcross;
      if (r >= r0 && r <= r1 && c >= c0 && c <= c1) mark(t);
    }
  }
  b.subset.clear();
  for (size_t w = 0; w < b.candidates.size(); ++w) {
    for (uint64_t bits = b.candidates[w]; bits != 0; bits &= bits - 1) {
      b.subset.push_back(uint32_t(w * 64 + size_t(std::countr_zero(bits))));
    }
    b.candidates[w] = 0;
  }

  uint32_t* picture = renderState.viewPicture.data() + size_t(kViewSide - clip.bottom) * kViewSide + size_t(clip.left);
  RasteriseAndPresent(*object, options, clip, false, picture, &b.subset, b.drawn, kViewSide);
  b.drawn = renderState.drawnBounds;
  RecordTiming(start);
  return true;
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
