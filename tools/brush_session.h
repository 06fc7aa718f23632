// brush_session.h: a brush stroke as the view's panel drives it: BeginStroke on the press in the
// view, ContinueStroke on every motion, EndStroke on the release. The session keeps the stroke's
// room and object, makes an unpainted object painted before the first paint stroke, records the
// segments as task steps (BR, then BS, and BE at the end), refreshes the derived data and redraws
// after every segment, and commits on the release so that the stroke is one undoable change.
// The dabs themselves are in brush.h.
#pragma once

#include <cstdint>
#include <functional>

#include "render/render_state.h"

namespace tsv {

struct SceneObject;

struct BrushSessionState {
  bool active = false;
  int room = 1;
  SceneObject* object = nullptr;  // the current object when the stroke began; not owned
  SceneObject* undo = nullptr;    // the undo copy it commits into; not owned
  int32_t segmentCount = 0;       // segments applied so far
  int pressX = 0, pressY = 0;     // where the stroke began, in view pixels
  // What the last segment asks to be drawn again (buffer rows, half-open): the changed
  // triangles for the push brush and the rooms that paint or fuse, the whole view for the brush
  // types that move points sideways and after a symmetric segment.
  ClipRect redrawRect = kNothingDrawn;
  // SegmentRedrawRect refreshed the work data after the segment that just ran; the redraw that
  // follows (RedrawAfterSegment) reuses that projection instead of making another.
  bool workDataRefreshed = false;
  // Objects of this many triangles or more are redrawn in part after segments that started from
  // the records the one before kept (SoftDrawPart); smaller ones are drawn whole every time.
  int32_t partialRedrawFrom = 32768;
  // Called after every segment's redraw with redrawRect, to put that part of the view
  // (renderState.viewPicture, top row first: buffer rows run upward) on the screen. Empty: the
  // tools' present hook shows the whole view instead (toolState.present).
  std::function<void(const ClipRect& redrawRect)> present;
};

extern BrushSessionState brushSession;

// No stroke and no hook (tests).
void ResetBrushSession();

// Task step codes of a stroke.
inline constexpr uint16_t kStepBrushFirst = 0x4252;     // "BR": the first segment
inline constexpr uint16_t kStepBrushSegment = 0x4253;   // "BS": every further segment
inline constexpr uint16_t kStepBrushEnd = 0x4245;       // "BE": the end of the stroke
inline constexpr uint16_t kStepPaintable = 0x4350;      // "CP": painted vertices on (1) or off

// The pressure and size factor of a segment: (128 - D) / 128 and S / 128, scaled by the pen's
// pressure while a tablet pen is near and the tablet preferences let pressure affect the
// pressure (bit 1) or the radius (bit 2).
float StrokePressure();
float StrokeSize();

// The press at (x, y) in view pixels (y down from the top of the view) in `room` (1 modeling, 2
// height-map fusion, 3 morph, 4 paint, 8 liquify, 10 mask; any other strokes as modeling). Starts
// a stroke on the current object: the accumulator at 0, the profile of the shape setting, the
// work data and the view's depth buffer brought up to date; in the paint room an object that is
// not painted is first made painted (MakeObjectPaintable). No dab is made yet. A stroke still
// running is ended first. False, with no stroke, when there is no current object bound to the
// work arrays. (x, y) is kept as the stroke's start.
[[nodiscard]] bool BeginStroke(int room, int x, int y);

// One motion: the segment from (x, y), the pointer where this motion began, along (dx, dy) to
// where the pointer is now. Applies the stroke (BrushStroke with the pressure and size in
// force), records BR for the first segment and BS for the others with (x, y, dx, dy), refreshes
// the derived data, works out redrawRect, redraws the view (its depth buffer kept current for
// the next segment's visibility) and presents it. A motion that changed nothing (the spacing put
// no dab on it) leaves the view as it is, with an empty redrawRect. Nothing without a stroke
// running.
void ContinueStroke(int x, int y, int dx, int dy);

// The release: records BE and commits the change (CommitObjectChange with the undo copy) when
// any segment ran; a press without motion records and commits nothing.
void EndStroke();

// After a segment has run: refreshes the derived data when points moved (shading with the light
// of the tools' draw options), widens the engine's changed rectangle by where the changed
// triangles lie now, and gives the part of the view to draw again (RedrawsChangedPartOnly: the
// changed rectangle, else the whole view); empty when the segment changed nothing.
ClipRect SegmentRedrawRect(SceneObject& object, int room);
// The full-detail redraw of the view after a segment in `room` (the mask room shows the mask),
// without the thumbnail, its depth buffer kept current for the next segment's visibility; it
// reuses the projection of a refresh SegmentRedrawRect has just made. False when nothing was
// drawn.
bool RedrawAfterSegment(SceneObject& object, int room);
// Puts `rect` of the view on the screen: through the session's present hook, else the tools'
// present hook shows the whole view.
void PresentBrushView(const ClipRect& rect);

// The view's depth buffer drawn afresh from the work records (full detail), for the visibility
// of the next dabs when the redraw did not leave one (a hardware renderer draws elsewhere).
void DrawViewDepth(SceneObject& object);
// Whether a segment in `room` needs only the changed triangles redrawn: the push brush and the
// rooms that paint, fuse or move the texture change points in place; the other brush types move
// points sideways.
[[nodiscard]] bool RedrawsChangedPartOnly(int room);

// Turns on the object's painted vertices before its first paint stroke: the flag is set, the
// step CP 1 recorded and the change committed. Nothing for a null object or one painted already;
// true when the object was switched.
bool MakeObjectPaintable(SceneObject* object, SceneObject* undo);

}  // namespace tsv
