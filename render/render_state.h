// render_state.h: the modeling-view renderer's global state in one record: the fixed view buffers
// (depth, 8-bit shade, 32-bit colour, the 256 x 256 texture work image), the finished picture, the
// view rotation, light vector and light tables of the redraw in progress, the time of the last
// redraw and the entries of the hardware back ends; the composer picture with the hooks its
// renderer works through; the noise lattice. Start-up, shutdown and the test reset.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/status.h"
#include "render/composer_state.h"

namespace tsv {

struct SceneObject;
struct FileSpec;
struct ComposerTexture;

inline constexpr int kViewSide = 400;  // every modeling view is 400 x 400 pixels
inline constexpr int kViewPixelCount = kViewSide * kViewSide;
inline constexpr int kViewBottomRow = kViewSide - 1;
inline constexpr int kThumbnailSide = 100;
inline constexpr int kTextureSide = 256;  // the texture work image repeats every 256 texels
inline constexpr int kTexturePixelCount = kTextureSide * kTextureSide;
// Depth: larger is nearer. Empty pixels hold kEmptyDepth; anything at or above kDrawnDepth has
// been drawn (the margin keeps float noise near the empty value from counting).
inline constexpr float kEmptyDepth = -100000.0f;
inline constexpr float kDrawnDepth = -99000.0f;
// The light of a new project: from the upper left, in front of the object.
inline constexpr std::array<float, 3> kDefaultLightAngles = {-0.7853982f, 0.0f, 0.7853982f};

// A clip rectangle, half-open: columns left <= j < right, rows top <= r < bottom, in buffer rows
// (row r is element r * 400 of a buffer; larger rows are higher on the screen).
struct ClipRect {
  int left = 0, top = 0, right = kViewSide, bottom = kViewSide;
};
inline constexpr ClipRect kViewClip{0, 0, kViewSide, kViewSide};
// An empty rectangle that any drawn pixel widens.
inline constexpr ClipRect kNothingDrawn{kViewSide, kViewSide, 0, 0};
inline constexpr ClipRect kThumbnailClip{0, 0, kThumbnailSide, kThumbnailSide};

// The renderer choice of the view's "Draw options" menu (low three bits of the renderer byte).
inline constexpr uint8_t kRendererChoiceSoftDraw = 0;
inline constexpr uint8_t kRendererChoiceQuickDraw3D =
    1;  // nothing is drawn; only the depth is cleared
inline constexpr uint8_t kRendererChoiceOpenGL = 2;
inline constexpr uint8_t kRendererChoiceDirect3D = 4;

// A hardware back end's view entry: draws `object` (projected and lit already) into the view or
// thumbnail given by the clip rectangle.
using HardwareViewEntry = void (*)(const ClipRect& clip, SceneObject& object, bool fullDetail);

// How long the last redraw took. framesPerSecond is 1,000,000 / microseconds, shown as at most
// 9999 (also when no time could be measured).
struct RedrawTiming {
  uint32_t microseconds = 0;
  uint32_t framesPerSecond = 0;
};

// Where the triangles of the drawn object lay on the view at a full redraw, in square tiles, so
// that a redraw of part of the view draws only the triangles that can reach it (SoftDrawPart).
inline constexpr int kTriangleTileSide = 2;
inline constexpr int kTriangleTilesAcross = kViewSide / kTriangleTileSide;
struct TriangleBins {
  const SceneObject* object = nullptr;  // null: not built
  uint64_t serial = 0;
  uint32_t triangleCount = 0;
  std::array<float, 3> angles{};  // the view they were built in
  float zoom = 0;
  int32_t centerX = 0, centerY = 0;
  ClipRect drawn{};  // the drawn bounds of the view as last drawn
  // A triangle whose screen box spans more pixels than this either way is kept in a list of its
  // own instead of its tile (chosen at the build from the triangles' sizes).
  int32_t span = 8;
  // The small front-facing triangles reaching the view, by the tile of their box's first corner
  // (ascending in each tile); the large ones in a list.
  std::vector<uint32_t> tileStart;
  std::vector<uint32_t> tileTriangles;
  std::vector<uint32_t> large;
  // Each triangle's tile (or large, or none): where it lay at the build, or for the triangles
  // whose corners moved since (a flag per triangle and their list), where it lies now.
  std::vector<uint16_t> tileOf;
  std::vector<uint8_t> extent;  // scratch of the build: each box's larger side
  std::vector<uint8_t> changed;
  std::vector<uint32_t> changedList;
  // Scratch of a partial redraw: one bit per triangle, and the candidates in index order.
  std::vector<uint64_t> candidates;
  std::vector<uint32_t> subset;
};

// The noise lattice: 32 x 32 x 32 values in 0..1, entry x * 1024 + y * 32 + z.
inline constexpr int kNoiseLatticeSide = 32;
inline constexpr int kNoiseLatticeSize = kNoiseLatticeSide * kNoiseLatticeSide * kNoiseLatticeSide;

// Pixels per unit at zoom 1 of a parallel composer camera: a unit sphere at zoom 1 spans about
// as much of a 400-pixel picture as it does through the perspective camera.
inline constexpr float kComposerOrthographicScale = 100.0f;

// The composer's picture: the last render, kept between renders and shown by the composer window.
// Pixels 0xAARRGGBB, top row first; alpha is the objects' coverage.
struct ComposerPicture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  float orthographicScale = kComposerOrthographicScale;
};

struct RenderState {
  // The view buffers, allocated once at start-up (InitSoftDraw) and never resized.
  std::vector<float> depthBuffer;      // 400 x 400
  std::vector<uint8_t> shadeBuffer;    // 400 x 400 shade indices, 0 = background
  std::vector<uint32_t> colourBuffer;  // 400 x 400 pixels 0x00RRGGBB
  // 256 x 256 texels 0xWWRRGGBB: W is the weight the vertex colour keeps, RGB the texture colour
  // already scaled by its opacity, so a pixel is vertex colour x W / 256 + texel colour.
  std::vector<uint32_t> textureWorkImage;
  // The finished 400 x 400 picture of the last software redraw, 0x00RRGGBB, top row first.
  std::vector<uint32_t> viewPicture;

  // Valid between the set-up steps and the rasterisers of one redraw. `viewRotation` is R of the
  // view's angles after BuildViewRotation and its transpose after BuildInverseViewRotation;
  // row-major.
  std::array<float, 9> viewRotation{1, 0, 0, 0, 1, 0, 0, 0, 1};
  std::array<float, 3> lightVector{0, 0, 126};
  std::array<int16_t, 256> specularRamp{};
  std::array<int16_t, 256> diffuseRamp{};
  // Every rasteriser widens this to cover the pixels it may have written (within its clip);
  // the redraw empties it when it clears the buffers, so presenting can skip what stayed empty.
  ClipRect drawnBounds = kNothingDrawn;

  RedrawTiming lastRedraw;
  // Passes of the view projection over the work records since the start: a drag pass is meant
  // to make one (the refresh's), with the redraw reusing it.
  uint64_t projectionPasses = 0;
  // Scratch of the partial refresh: a stamp per point (the point is listed when it holds the
  // current stamp) and the points listed.
  std::vector<uint32_t> refreshVisits;
  uint32_t refreshStamp = 0;
  std::vector<uint32_t> refreshPoints;
  TriangleBins bins;
  // The composer's object rasteriser.
  ComposerRasterState composer;

  // Registered by the hardware back ends that started; null when absent.
  HardwareViewEntry openGLDrawView = nullptr;
  HardwareViewEntry direct3DDrawView = nullptr;

  ComposerPicture composerPicture;  // empty until start-up allocates it
  // Loads the picture a file spec names for the composer (a texture or the background), showing
  // its own message, which names the file, when it fails; the status says why. Set at start-up
  // by the layer that reads picture files; without it no picture can be had (kFileNotFound).
  std::function<Status(const FileSpec& file, ComposerTexture& picture)> loadComposerPicture;
  // Told of each band of the composer picture as soon as it is stored (picture rows), so that the
  // composer window can show it at once.
  std::function<void(int firstRow, int rows)> composerBandStored;
  // While an animation runs its frames under one progress box of its own, a frame shows no box
  // and moves the bar only within its part of the run (0..128 is the whole bar).
  bool composerFrameInRun = false;
  int composerRunProgressStart = 0, composerRunProgressEnd = 128;

  std::array<float, kNoiseLatticeSize> noiseLattice{};
  bool noiseLatticeReady = false;
};

extern RenderState renderState;

// Start-up: allocates the view buffers and the texture work image, builds the light of a new
// project and lets the scene prepare the texture work image of every object it activates. False
// when memory runs out (nothing is left allocated then); the caller stops the program with its
// out-of-memory message.
[[nodiscard]] bool InitSoftDraw();
// Shutdown: frees the buffers and withdraws the scene hook.
void ShutdownSoftDraw();
// A freshly started renderer, for tests.
void ResetRenderState();

}  // namespace tsv
