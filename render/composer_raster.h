// composer_raster.h: the composer's object rasteriser: one object drawn into one band of the
// composer picture (floating-point, perspective-correct, a per-pixel normal with a diffuse term
// and a mirror-reflection highlight, received shadows, texture pictures), the shadow buffer built
// once per frame from the casting objects as the light sees them, and the texel sampler. The
// frame, its bands, the object order, fog and smoke and supersampling are in composer_frame.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/vec3.h"

namespace tsv {

struct SceneObject;
struct ProjectRecord;

// The composer's camera: the composer view `cameraViewIndex` names (a damaged index takes the last
// view, the default camera), standing this far back along its axis.
inline constexpr float kComposerCameraDistance = 700.0f;
size_t ComposerCameraIndex(const ProjectRecord& project);
// An object's turn and scale in the scene (its placement adds its position).
Rotation3 ComposerObjectMatrix(const SceneObject& object);

// The composer picture's sides while rendering (doubled while supersampling) and the band being
// drawn: its colour rows (0xAARRGGBB, alpha left as it is) and depth rows (f32, larger nearer,
// kEmptyComposerDepth empty), `rows` rows of `width` pixels starting at picture row `firstRow`.
inline constexpr float kEmptyComposerDepth = -100000.0f;
struct ComposerBand {
  uint32_t* colour = nullptr;
  float* depth = nullptr;
  int firstRow = 0;
  int width = 0;
  int rows = 0;
  int pictureWidth = 0, pictureHeight = 0;
  float orthographicScale = 0;  // pixels per unit at zoom 1 of a parallel camera (doubled too)
  // The progress bar moves from progressStart to progressEnd (0..128) over the object in four
  // steps, in the box placed at progressTop; a negative progressStart leaves it alone.
  int progressStart = -1, progressEnd = -1, progressTop = -1;
};

// An object's texture picture as the composer samples it: the loaded picture (0xAARRGGBB, top row
// first). The mapping and alpha settings are the object's own (TextureMappingOf), read when the
// object is drawn, so the picture is all the frame has to hand over.
struct ComposerTexture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

// The shadow buffer of a frame: light depths (larger nearer the light; rows stored bottom row
// first), its size, the light and camera values it was made with and the light-space extent of
// the casting objects. Empty (no cells) when shadows are off or nothing casts: then every point
// is lit. Casters are the non-ghosted objects with castsShadow; both sides of their faces cast.
struct ShadowBuffer {
  std::vector<float> cells;
  int width = 0, height = 0;
  std::array<float, 3> lightAngles{};
  Vec3f viewOffset{};
  float floor = 0.1f;  // the shadow "Lightness"
  float a0 = 0, b0 = 0, ra = 0, rb = 0;
  // Scene positions (placed and offset by viewOffset) into light space: the inverse of the
  // light's rotation after the camera's, so light space looks along the light vector the
  // shading uses, larger z nearer the light. Row-major.
  std::array<float, 9> lightRotation{1, 0, 0, 0, 1, 0, 0, 0, 1};
};

// Draws `object` (null: nothing, the progress still advanced) into `band` through the project's
// camera view, with `texture` (null: untextured) and `shadow` (null, or an object that does not
// receive shadows: unshadowed). Nothing of the object changes; the per-object scratch lives in
// renderState.composer. Triangles with a corner that is not a finite number are left out.
void RenderObjectIntoBand(const ComposerBand& band, SceneObject* object, const ComposerTexture* texture,
                          const ShadowBuffer* shadow);

// The frame's shadow buffer for a picture of these sides (doubled while supersampling) into
// `shadow`: cleared when shadows are off; false, after "Error: Not enough memory for rendering.",
// when its cells cannot be had. Restarts the random table, so that every frame draws the same
// jitter whether it is rendered alone or within an animation.
[[nodiscard]] bool BuildShadowBuffer(int pictureWidth, int pictureHeight, ShadowBuffer& shadow);

// The light that reaches a point at buffer column x, row y and light depth z: from the buffer's
// floor (fully shadowed) to 1.0 (lit), sampled around (x, y) as the shadow "Quality" and
// "Smoothness" ask, with jitter and bias drawn from the random table. 1.0 without cells.
float ShadowFactor(float x, float y, float z, const ShadowBuffer& shadow);

// A texel of `texture` at texel position (u, v) under the object's mapping settings, filtered as
// "Texture Quality" asks: its opacity 0..255 (the picture's alpha, as textureUsesAlpha and the
// strength make it) and its colour.
struct ComposerTexel {
  int alpha = 0;
  int red = 0, green = 0, blue = 0;
  // The relief shade of a texture with a bump strength: the picture's brightness read as heights
  // and lit from the top left of the picture, a factor on the light (1 where the picture is flat or
  // the bump strength is 0).
  float relief = 1.0f;
};
struct TextureMapping;
ComposerTexel SampleComposerTexture(const ComposerTexture& texture, const TextureMapping& mapping,
                                    float u, float v);

// The random table filled (once) and its index back at the start.
void RestartRandomTable();

}  // namespace tsv
