// rasterisers.h: the five triangle rasterisers of the modeling view (shaded, painted, textured,
// depth-only, mask) and the light tables the painted and textured ones read. They share one
// triangle set-up: triangles in index order (or the coarse four-to-one outline of a Fast
// Synthetic object when full detail is off), back faces dropped, rows from the top corner's row
// + 1 down to the bottom corner's row, edges and spans walked with integer error terms, and a
// strict depth test (the first of two equal depths keeps the pixel). They read the projected and
// shaded work records and allocate nothing.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "render/render_state.h"
#include "scene/types.h"
#include "scene/work_records.h"

namespace tsv {

struct SceneObject;

// The clip rectangle held within the 400 x 400 buffers.
ClipRect ClipWithinView(const ClipRect& clip);

// renderState.specularRamp and diffuseRamp from the object's optics:
//   specularRamp[i] = trunc(255 t / (n - n t + t)) within 0..256 for i >= 128, t = (i - 128)/127
//   diffuseRamp[i]  = (i - A0) K / (255 - A0) above the ambient threshold A0, else 0.
void BuildLightTables(const SceneObject& object);

// Every rasteriser takes buffers of 400 x 400 elements (rows of 400), the half-open clip
// rectangle (held within the buffer), the object (null: nothing happens) and the full-detail
// flag. An object that is not bound to the work arrays, has no triangles or lacks the per-point
// arrays a variant reads draws nothing. Buffers are not cleared here. With `only`, just those
// triangles are drawn (ascending indices, at full detail; indices beyond the triangles are
// passed over), for a redraw of part of the view: the clip is that part, and each triangle
// gives the pixels of the part exactly what a redraw of the whole view gives them.

// The low byte of the interpolated point shade into the shade buffer.
void DrawShadedTriangles(std::span<uint8_t> shadeBuffer, std::span<float> depthBuffer,
                         const ClipRect& clip, SceneObject* object, bool fullDetail,
                         const std::vector<uint32_t>* only = nullptr);
// The point paint lit per vertex (ambient, diffuse and specular light tables), interpolated.
// Needs BuildLightTables.
void DrawPaintedTriangles(std::span<uint32_t> colourBuffer, std::span<float> depthBuffer,
                          const ClipRect& clip, SceneObject* object, bool fullDetail,
                          const std::vector<uint32_t>* only = nullptr);
// Vertex colour (paint, or the diffuse colour of an unpainted object) blended with the texture
// work image and lit per pixel. A painted object without a texture picture, or with
// `texturedObjects` off, is drawn by DrawPaintedTriangles instead. Needs BuildLightTables.
void DrawTexturedTriangles(std::span<uint32_t> colourBuffer, std::span<float> depthBuffer,
                           const ClipRect& clip, SceneObject* object, bool fullDetail,
                           bool texturedObjects, const std::vector<uint32_t>* only = nullptr);
// Only the depth.
void DrawDepthTriangles(std::span<float> depthBuffer, const ClipRect& clip, SceneObject* object,
                        bool fullDetail);
// Only the depth, into a buffer of any size up to kMaxDepthTargetSide a side (rows of `width`,
// larger rows higher, as in the view buffers), from corners given straight as screen positions
// and depths (sx, sy, depth of each record; the rest is not read) and triangles indexing them.
// Both sides of every triangle are drawn; a triangle naming a corner beyond `corners` is passed
// over, and so is a buffer smaller than width x height.
inline constexpr int kMaxDepthTargetSide = 16384;  // screen positions are 16-bit
void DrawDepthTrianglesSized(std::span<float> depthBuffer, int width, int height,
                             std::span<const PointWork> corners, std::span<const Triangle> triangles);
// The lit grey of each point with its mask shown: grey where the mask is 255, red where it is 0.
void DrawMaskTriangles(std::span<uint32_t> colourBuffer, std::span<float> depthBuffer,
                       const ClipRect& clip, SceneObject* object, bool fullDetail,
                       const std::vector<uint32_t>* only = nullptr);

}  // namespace tsv
