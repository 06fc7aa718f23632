// composer_frame.h: the composer's frame renderer: the whole scene into the composer picture in
// bands of at most 400 rows (the working memory stays at picture width x 3200 bytes whatever the
// height), the object order, fog and smoke, and 2 x 2 supersampling. Drawing one object into a
// band and the shadow buffer are in composer_raster.h.
#pragma once

#include <atomic>
#include <cstdint>

#include "render/composer_raster.h"

namespace tsv {

struct ProjectRecord;

// Results of RenderComposerFrame besides a texture loader's status.
inline constexpr int kFrameRendered = 0;
inline constexpr int kFrameNotRendered = 1;  // no picture, no shadow buffer or no band memory
inline constexpr int kFrameCancelled = 123;

// Rows of one band: 400, or 200 rows of twice the width while supersampling.
inline constexpr int kComposerBandRows = 400;
inline constexpr int kComposerBandBytesPerColumn = 3200;  // 400 colour words + 400 depth floats

// Renders the scene of the project in memory into renderState.composerPicture: every object of
// the table that is not ghosted, over the background colour (and the background picture when it
// is on), with shadows, textures, fog and smoke and supersampling as the project's switches say.
// Each stored band is handed to renderState.composerBandStored. The cancel gesture is looked for
// between objects, while an object is drawn, after each band and every 16 rows of fog; a
// cancelled render keeps the bands stored so far. 0 when done; 1 when nothing could be rendered
// (no picture, shadow buffer or band memory; the memory failures have been shown); 123 when
// cancelled; otherwise the status of a picture that could not be loaded (its loader has said why).
// Reorders the object table (OrderObjectsForRender).
[[nodiscard]] int RenderComposerFrame();

// Packs the objects of the table into one run from slot 0 (keeping their order), leaves no object
// current, then brings a textured object to slot 0 and, slot by slot, the next object with the
// same texture file beside the one before it, so that objects sharing a texture follow each other.
void OrderObjectsForRender();

// The fog and smoke settings of a project, each held to its range (a value that is not a number
// takes the low end), with what the pass needs of the camera and the sampling step.
struct FogAndSmoke {
  uint32_t colour = 0xFFFFFF;  // 0x00RRGGBB
  float start = 0;             // 0..32000: distance at which fog and smoke begin
  float fogStrength = 0;       // 0..256
  float falloff = 60;          // 0..3200
  float smokeStrength = 100;   // 0..100
  float density = 0.5f;        // 0.001..1
  float contrast = 2;          // 0.001..10
  float seed = 0;              // 0..100
  int detail = 8;              // 1..10 octaves
  bool perspective = true;     // band depths are reciprocal distances
  float step = 0.01f;          // sample coordinate per pixel; halved while supersampling
};
FogAndSmoke FogAndSmokeOfProject(const ProjectRecord& project, bool supersampled);

// Fog and smoke over a band whose depths are final: each pixel's colour is blended towards the fog
// colour by the fog's weight at its distance and by the smoke met on the way there, and its alpha
// raised to the smoke's coverage. 0, or 123 when the cancel gesture came (looked for every 16 rows).
// With `stop` (the fog dialog's preview, on a thread of its own) no event is looked at and no
// progress shown: the pass returns 123 as soon as `stop` is set. Call EnsureNoiseLattice on the
// main thread before a pass runs on another.
[[nodiscard]] int FogAndSmokePass(const ComposerBand& band, const FogAndSmoke& fog,
                                  const std::atomic<bool>* stop = nullptr);

// The pre-filter of supersampling: every byte of every pixel becomes the 1-2-1 weighted mean of its
// 3 x 3 neighbourhood (over the neighbours that exist at the border). `scratch` takes width x rows
// words (any alignment). A band of fewer than 3 rows or columns is left as it is.
void SmoothBand3x3(uint32_t* colour, void* scratch, int width, int rows);

}  // namespace tsv
