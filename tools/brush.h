// brush.h: the brush stroke engine. A stroke segment (BrushStroke) is copied by the side and
// repeat modes, each copy is cut into dabs by the spacing rule (BrushSegment), and every dab
// changes the points under the brush: the modeling room's push, smudge, smooth, spheric and
// normal brushes, paint, the mask, the texture coordinates (liquify), height-map fusion and
// morph-object fusion. The weight of a point comes from the brush profile (BuildBrushProfile,
// BrushFalloff, with the pen tilt), its mask and, on the front side only, how far it lies behind
// the drawn surface (DepthVisibility). Dabs work on the view positions of the current object's
// work records and keep the object-space positions and depths of the points they move up to
// date; the caller refreshes the rest (normals, screen positions) after each segment. Nothing is
// allocated once PrepareBrushEngine has run. The session that drives strokes from the mouse is
// in brush_session.h, the settings in brush_settings.h.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/user_services.h"
#include "render/render_state.h"
#include "scene/types.h"

namespace tsv {

struct SceneObject;

// The profile is sampled at u = i / 512 for i = 0..513: the extra sample lets a point exactly at
// the rim (u = 1) interpolate without reading past the table.
inline constexpr int kBrushProfileSteps = 512;
inline constexpr int kBrushProfileSize = kBrushProfileSteps + 2;

// The brush radius in view units is this times the size factor over the zoom: 20 sqrt(ln 100), the
// distance at which the round profile exp(-4.58 u^2) has fallen to 1/100 of its centre for a
// spread of 20.
inline constexpr float kBrushExtentPerSize = 42.91932f;

// How far a brush of size setting S reaches from its centre, in view pixels (the zoom that turns
// the radius into view units cancels out on the screen).
inline float BrushReachInViewPixels(int size) { return kBrushExtentPerSize * float(size) / 128.0f; }

// The outline of a brush's reach: a polygon of `sides` corners, the first at `firstAngle`
// (radians, counter-clockwise from the view's x axis with y up), or a circle when sides is 0.
struct BrushOutline {
  int sides = 0;
  float firstAngle = 0;
};
BrushOutline BrushOutlineOf(int shape);

// A point further than this (view depth units) behind the drawn surface is out of the brush's
// reach on the front side; so is a point further than this from the picked point along the
// normal for the normal and spheric brushes.
inline constexpr float kBrushHiddenLimit = 20.0f;

// Visibility softness k of exp(-k d^2) for a point d units behind the drawn surface: ln 2 / 100,
// so that a point 10 units behind counts half and one 20 units behind (the limit) a sixteenth.
// The surface a point lies on is never drawn exactly at the point's own depth (the rasteriser
// interpolates across triangles, and the quick outline cuts corners), so points a few units
// behind must still count almost fully, while the far side of a thin part must not.
inline constexpr float kBrushVisibilitySoftness = 0.0069314718f;

// Height-map fusion K in exp((v - 1) K) for a grey value v in 0..1: ln 20, so that white moves
// the surface fully and black about 5 % as much. The picture then shapes the stroke clearly
// while black areas still follow the brush a little instead of leaving a hard step.
inline constexpr float kHeightMapFusionContrast = 2.9957323f;

// Dirty bits the dabs set besides the renderer's normals bit: the point paint (or mask) shown by
// the view changed, and the texture coordinates changed.
inline constexpr uint16_t kDirtyPointPaint = 4;
inline constexpr uint16_t kDirtyTextureCoordinates = 8;

// The pen tilt as the falloff uses it: the offset is measured in a frame turned by theta and
// stretched along it.
struct BrushTilt {
  bool active = false;
  float length = 0;    // m = sqrt(a^2 + b^2)
  float sinTheta = 0;  // theta = acos(b / m), 2 pi - theta when a < 0
  float cosTheta = 1;
  float across = 1;    // g = cos(atan(m / 32))
};
// The tilt of the pair (a, b); (0, 0) is no tilt.
BrushTilt MakeBrushTilt(int a, int b);
// The tilt pair (a, b) in force: the tablet's while tilt is enabled in the preferences and a pen
// is near, else the manual tilt vector of the settings.
std::array<int16_t, 2> TiltInForce();
// MakeBrushTilt of the pair in force.
BrushTilt CurrentBrushTilt();
// The paint colour in force: the alternate colour while the pen's second end is near or Alt is
// held with the mouse, else the paint colour.
Rgb16 PaintColourInForce();

// What one dab does.
enum class DabKind : uint8_t {
  Push,             // modeling Brush: along the view axis
  Smudge,           // modeling Smudge: along with the stroke, in the view plane
  Smooth,           // modeling Smooth: toward the neighbours
  Spheric,          // modeling Spheric: along the line from the object's centre
  Normal,           // modeling Normal: along the surface normal under the brush
  Paint,            // paint room: the paint colour into the points
  Mask,             // mask room: the deformation mask
  Liquify,          // liquify room: the texture coordinates against the stroke
  HeightMapFusion,  // height-map fusion room: a push shaped by the height map
  MorphFusion,      // morph room: a push shaped by a morph object's depth
};
// The dab of a room; the modeling room's (and any other room's) follows the brush type.
DabKind DabKindOf(int room, int type);

// Where a large mesh's points lie on the view, in square tiles of kPointTileSide pixels, so that a
// dab looks only at the points under and near the brush instead of at every point. Built from
// the screen positions of one projection (renderState.projectionPasses) of one object; the points
// a dab has moved since are kept in a list and always looked at, as their view positions no
// longer match the screen positions the tiles were made from. The candidates of a dab are visited
// in index order, as a walk over every point would visit them.
inline constexpr int kPointTileSide = 8;
inline constexpr int kPointTilesAcross = 50;  // 400 / 8
struct PointTileIndex {
  uint64_t projection = 0;  // the projection it was built after; 0: not built
  uint64_t serial = 0;      // of the object
  uint32_t count = 0;       // its points
  // A point in its tile, with the view position it had at the build, so that a dab can pass
  // over the points outside its reach without reading their work records.
  struct Slot {
    uint32_t point = 0;
    float vx = 0, vy = 0;
  };
  std::vector<uint32_t> tileStart;   // kPointTilesAcross^2 + 1 offsets into slots
  std::vector<Slot> slots;           // the points on the view, tile by tile, ascending in each
  std::vector<uint32_t> cursor;      // scratch of the build
  std::vector<uint8_t> moved;        // per point: a dab moved it since the build
  std::vector<uint32_t> movedPoints;
  std::vector<uint64_t> candidates;  // one bit per point: the dab's points to look at
};

struct BrushEngineState {
  std::array<float, kBrushProfileSize> brushProfile{};
  int profileShape = 0;  // the shape the profile was built for; 0 before the first build
  // The shape's polygon, for the polygon shapes (0 sides otherwise): circumradius 1, vertices
  // counter-clockwise from the first-vertex angle, the last repeating the first.
  int polygonSides = 0;
  bool polygonCone = false;  // a cone over the polygon, else a hard-edged polygon
  float polygonFirstAngle = 0;
  std::array<float, 7> polygonX{};
  std::array<float, 7> polygonY{};

  // The distance travelled since the last dab; the caller sets it to 0 when a stroke begins.
  float accumulator = 0;
  BrushTilt tilt;          // taken at the start of every segment
  Rgb8 paintColour{255, 255, 255};  // the paint dab's colour for the segment in progress

  // The view rectangle (buffer rows, half-open) covering every triangle the last segment changed,
  // where it lay when it changed; empty when nothing changed, the whole view after a symmetric
  // segment. ExtendChangedRect adds where the triangles lie after the refresh.
  ClipRect changedRect = kNothingDrawn;
  bool mirrored = false;  // the mirrored pass of a symmetric segment is running
  // The mirrored view's own depth buffer (400 x 400), allocated by PrepareBrushEngine.
  std::vector<float> mirrorDepthBuffer;

  uint64_t dabCount = 0;        // dabs made since the reset
  uint32_t lastDabPoints = 0;   // points the last dab weighed (falloff accepted)

  // The triangles the dabs marked since the marks were last cleared, in marking order; while
  // marksObject / marksSerial name the object, every other triangle's flag is 0.
  std::vector<uint32_t> markedTriangles;
  const SceneObject* marksObject = nullptr;
  uint64_t marksSerial = 0;
  // Records a stroke left current (KeepBrushRecords): the object, its serial and the projection
  // count then; keptObject null when none.
  const SceneObject* keptObject = nullptr;
  uint64_t keptSerial = 0;
  uint64_t keptProjection = 0;
  // The last segment started from kept records (without projecting them again).
  bool segmentFromKept = false;

  PointTileIndex tiles;
  // Meshes of this many points or more are looked at through the tiles; smaller ones point by
  // point (the whole walk costs less than building the tiles).
  uint32_t pointTilesFrom = 16384;
};

extern BrushEngineState brushEngine;

// A fresh engine: no profile, accumulator 0, no mirror buffer (tests).
void ResetBrushEngine();
// Sizes what symmetric strokes need, so that strokes allocate nothing. False when memory runs
// out (symmetric segments then leave out their mirrored pass).
[[nodiscard]] bool PrepareBrushEngine();

// Fills the profile for `shape` (1..26; anything else builds shape 1) and, for the polygon
// shapes, the polygon.
void BuildBrushProfile(int shape);

// The brush weight at offset (u, v) in view units from the brush centre for extent R, with the
// profile last built and the engine's tilt: -1 (or any negative value) outside the brush. The rim
// belongs to the brush: a point exactly R away takes the profile's value at u = 1 (0 for the
// shapes that fall to 0 there), and a point on the edge of a polygon cone weighs 0, so the push
// passes over it while the other dabs still visit it.
float BrushFalloff(float u, float v, float R);

// How much a point at (sx, sy) with `depth` counts as visible: 1 where nothing is drawn or the
// point lies in front of the drawn surface, 0 further than kBrushHiddenLimit behind it, and
// exp(-k d^2) between. A pixel outside the 400 x 400 buffer (or a buffer too small) counts as
// nothing drawn; a depth that is not a number counts as hidden.
float DepthVisibility(std::span<const float> depthBuffer, int sx, int sy, float depth);

// A dab marks the triangles around the points it changes (TriangleWork::flags) and widens
// brushEngine.changedRect over the ones it marks; BrushStroke clears the marks and the rectangle
// first, so a triangle marked by an earlier dab of the segment is not widened over again.
//
// One dab at (x, y) in view pixels (y down from the top of the view) of the current object's
// current view. (stepX, stepY) is the dab's advance along the stroke (smudge, liquify). pressure
// is (128 - D) / 128 or the pen's; size the size factor. The tilt and paint colour are the
// engine's, as the last BrushStroke took them. Nothing for a null object, one not bound
// to the work arrays, a zoom or size that is not a positive number, or values that are not
// numbers.
void BrushDab(DabKind kind, SceneObject* object, float x, float y, float stepX, float stepY,
              float pressure, float size, std::span<const float> depthBuffer);

// One copy of a segment: dabs spaced along the motion (dx, dy) from (x, y), by the spacing
// setting and the accumulator. The room (and the brush type) choose the dab.
void BrushSegment(SceneObject* object, int room, float x, float y, float dx, float dy,
                  float pressure, float size, std::span<const float> depthBuffer);

// One stroke segment from (x, y) along (dx, dy): the copies of the side and repeat modes, each
// spaced by BrushSegment from the same accumulator. The profile is rebuilt first when the shape
// setting has changed. depthBuffer is the view's depth buffer as last drawn.
void BrushStroke(SceneObject* object, int room, float x, float y, float dx, float dy,
                 float pressure, float size, std::span<const float> depthBuffer);

// Widens brushEngine.changedRect by where the triangles the last segment changed lie now (after
// the refresh of the screen positions), so the rectangle covers them before and after.
void ExtendChangedRect(const SceneObject& object);

// Says that the work records of `object` are current in its view (projected, with normals and
// shades of the stroke's light) and its view's depth buffer drawn from them: the stroke session
// says it after each refresh and redraw. The next segment then starts from them without
// projecting again, and its refresh may be RefreshWorkDataAround the marked triangles, as long as
// nothing has projected since (renderState.projectionPasses) and the object is the same.
void KeepBrushRecords(const SceneObject& object);
// Forgets what KeepBrushRecords said (a stroke begins or ends), and the list of marks: the next
// segment clears every flag.
void ForgetBrushRecords();
// The kept records' condition above, for `object`.
[[nodiscard]] bool BrushRecordsKept(const SceneObject& object);
// Every triangle of `object` the last segment marked, when the engine has them listed; a span
// with a null data pointer when not (the flags must be read then).
[[nodiscard]] std::span<const uint32_t> MarkedTrianglesOf(const SceneObject& object);

}  // namespace tsv
