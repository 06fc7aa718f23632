// soft_draw.h: one redraw of the 400 x 400 modeling view by the software renderer, the object's
// 100 x 100 thumbnail, the depth view, the time the last redraw took, and the render-side half of
// the batch command that draws an object into a picture. The pixel work is in rasterisers.h, the
// per-point preparation in work_data.h.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "render/render_state.h"

namespace tsv {

struct SceneObject;

// The view's drawing options for one redraw.
struct SoftDrawOptions {
  bool texturedObjects = true;  // "Textured Objects": show texture pictures
  bool depthView = false;       // show depth as light instead of the lit object
  bool maskRoom = false;        // the mask room: show the deformation mask
  // Full detail draws every triangle; interactive tools pass false, which draws a Fast Synthetic
  // object from its coarse four-to-one outline.
  bool fullDetail = true;
  bool updateThumbnail = false;                // redraw the object's preview first
  // The caller has just run RefreshWorkData on the object, and nothing has moved its points or
  // changed its view since: the redraw takes the refresh's projection and shades (shading again
  // only when its light is another) instead of making them a second time.
  bool workDataCurrent = false;
  uint8_t renderer = kRendererChoiceSoftDraw;  // the renderer byte; its low three bits count
  std::array<float, 3> lightAngles = kDefaultLightAngles;
};

// One redraw of `object` in its current view, into renderState.viewPicture (400 x 400,
// 0x00RRGGBB, top row first). Recomputes what the object's dirty flags ask for (normals, shade
// palette), then: the thumbnail when asked; the view rotation, projection and shading of every
// point (unless options.workDataCurrent says the refresh made them); then the picture:
//  - a hardware renderer that has registered its entry draws instead (QuickDraw3D draws nothing
//    and only clears the depth buffer); without its entry the software path draws;
//  - the depth view: nearer shows lighter, through the object's shade palette;
//  - the mask room: DrawMaskTriangles;
//  - a textured object with "Textured Objects" on, or a painted object: DrawTexturedTriangles
//    into the colour buffer;
//  - otherwise DrawShadedTriangles, shown through the object's shade palette, whose entry 0 is
//    the modeling background colour.
// The time it took is kept (LastRedrawTiming). False, with nothing drawn, for a null object, an
// object not bound to the work arrays, or a renderer that was never started.
[[nodiscard]] bool SoftDraw(SceneObject* object, const SoftDrawOptions& options);

// Redrawing part of the view. After a full SoftDraw of an object's view, BuildTriangleBins notes
// where its triangles lie (false, with nothing kept, when memory runs out). While the view, the
// light and the object's topology stay, and every triangle whose corners move is told to
// NoteTrianglesChanged once the records are current again, SoftDrawPart redraws the rectangle `part` of the view picture and the
// view buffers from the triangles that can reach it, exactly as a full SoftDraw would draw it,
// and leaves the rest as it is: `part` must cover every pixel a change can have touched, before
// and after. The records must be current (options.workDataCurrent). False, with nothing drawn,
// when it cannot (no bins for this object and view, the depth view, a hardware renderer, the
// coarse outline, dirty normals or shade palette, another light): a full SoftDraw is needed.
[[nodiscard]] bool BuildTriangleBins(const SceneObject& object);
void ForgetTriangleBins();
void NoteTrianglesChanged(const SceneObject& object, std::span<const uint32_t> triangles);
[[nodiscard]] bool SoftDrawPart(SceneObject* object, const SoftDrawOptions& options, const ClipRect& part);

// The object's 100 x 100 `preview` drawn as the view would be (same angles, a quarter of the
// zoom and of the centre), through the clip (0, 0, 100, 100) of the same buffers. The work
// records are left projected and shaded for the current view.
[[nodiscard]] bool DrawObjectThumbnail(SceneObject& object, const SoftDrawOptions& options);

// The depth view into the shade buffer within `clip`: the depth-only rasteriser, then every drawn
// pixel gets trunc((depth - min) x 256 / (max - min + 2)) over the drawn depths of the clip; an
// empty view stays 0. With `recordRange` the object keeps the range in depthMin and depthMax.
void DrawDepthView(SceneObject& object, const ClipRect& clip, bool fullDetail, bool recordRange);

// The hardware entry used instead of the software path: forwards to the registered OpenGL or
// Direct3D view entry of the renderer choice. False when that back end has no entry.
[[nodiscard]] bool DrawHardwareView(uint8_t renderer, const ClipRect& clip, SceneObject& object, bool fullDetail);

// The modeling background colour as a pixel.
uint32_t ModelingBackgroundPixel();

// The last redraw's duration and frames per second.
RedrawTiming LastRedrawTiming();
// The readout of the view corner for the "Display" preference: 1 the time ("0.8 ms"), 2 the
// frames per second ("1250 fps"); empty for 0 ("Nothing") and anything else.
std::string RedrawReadoutText(uint16_t displayChoice);

// What the batch view command draws.
enum class ViewMode { Shaded, Painted, Textured, Depth, Mask };
// "shaded", "painted", "textured", "depth" or "mask".
std::optional<ViewMode> ViewModeFromName(std::string_view name);

// Draws `object` through SoftDraw in stored view `viewIndex` (0..6) at `zoom`, in `mode`, at full
// detail or (quarter) from the four-to-one outline, into `pixels` (400 x 400, 0x00RRGGBB, top row
// first). The object is activated first when it is not the one bound to the work arrays. Shaded
// shows the lit object colour even on a painted object, Painted the point paint, Textured the
// texture picture when there is one. The object's view, zoom and paint switch are as before
// afterwards. False for a view index out of range, a zoom that is not a positive number, or an
// object that cannot be activated or drawn.
[[nodiscard]] bool RenderObjectView(SceneObject& object, int viewIndex, float zoom, ViewMode mode, bool quarter,
                      std::vector<uint32_t>& pixels);

}  // namespace tsv
