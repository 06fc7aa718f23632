// brush_session.cpp: the stroke session: begin, segments with their steps and redraws, commit.
#include "tools/brush_session.h"

#include <algorithm>
#include <span>

#include "platform/preferences.h"
#include "platform/tablet.h"
#include "render/rasterisers.h"
#include "render/soft_draw.h"
#include "render/work_data.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "scene/task_steps.h"
#include "tools/brush.h"
#include "tools/brush_settings.h"
#include "tools/tool_frame.h"
#include "tools/tool_state.h"

namespace tsv {

BrushSessionState brushSession;

void ResetBrushSession() { brushSession = BrushSessionState{}; }

namespace {

static_assert(kStepBrushFirst == TaskStepCode("BR") && kStepBrushSegment == TaskStepCode("BS") &&
              kStepBrushEnd == TaskStepCode("BE") && kStepPaintable == TaskStepCode("CP"));

constexpr uint16_t kTabletAffectsPressure = 1;
constexpr uint16_t kTabletAffectsRadius = 2;

float PenScale(uint16_t preferenceBit) {
  const TabletReport tablet = QueryTablet();
  if ((preferences.tabletFlags & preferenceBit) == 0 || !PenInProximity(tablet)) return 1.0f;
  return tablet.pressure;
}

int16_t StepValue(int value) { return int16_t(std::clamp(value, INT16_MIN, INT16_MAX)); }

bool IsEmpty(const ClipRect& rect) { return rect.left >= rect.right || rect.top >= rect.bottom; }

}  // namespace

ClipRect SegmentRedrawRect(SceneObject& object, int room) {
  brushSession.workDataRefreshed = false;
  bool whole = false;
  if (object.dirtyFlags & kDirtyNormals) {
    // Shaded with the light the redraw uses, so that the redraw can take the shades as they are.
    BuildLightVector(toolState.drawOptions.lightAngles);
    const std::span<const uint32_t> marked = MarkedTrianglesOf(object);
    if (brushEngine.segmentFromKept && marked.data() != nullptr) {
      // The rest of the records are as the last segment left them. The rectangle takes in where
      // the changed triangles lie now and the triangles whose corners took another shade.
      RefreshWorkDataAround(object, marked, &brushEngine.changedRect);
    } else {
      RefreshWorkData(object);
      ExtendChangedRect(object);
      // Shades may have changed around the changed part, where it cannot tell.
      whole = true;
    }
    brushSession.workDataRefreshed = true;
  } else {
    ExtendChangedRect(object);
    // No point moved (paint, mask, texture coordinates): kept records are current.
    brushSession.workDataRefreshed = brushEngine.segmentFromKept;
  }
  const ClipRect& changed = brushEngine.changedRect;
  if (IsEmpty(changed)) return kNothingDrawn;
  return RedrawsChangedPartOnly(room) && !whole ? changed : kViewClip;
}

bool RedrawAfterSegment(SceneObject& object, int room) {
  SoftDrawOptions options = toolState.drawOptions;
  options.fullDetail = true;
  options.updateThumbnail = false;
  options.maskRoom = room == kBrushRoomMask;
  // After a refresh the segment's pass projects once; otherwise (no point moved) the dabs'
  // projection is the last one made, and the redraw makes its own.
  options.workDataCurrent = brushSession.workDataRefreshed;
  brushSession.workDataRefreshed = false;
  const bool large = object.triangleCount >= brushSession.partialRedrawFrom;
  if (large && brushEngine.segmentFromKept && options.workDataCurrent) {
    // Only the changed part, when the bins of the last full redraw still hold.
    const std::span<const uint32_t> marked = MarkedTrianglesOf(object);
    if (marked.data() != nullptr) {
      NoteTrianglesChanged(object, marked);
      if (SoftDrawPart(&object, options, brushSession.redrawRect)) return true;
    }
  }
  const bool drawn = SoftDraw(&object, options);
  const bool software = (options.renderer & 7) == kRendererChoiceSoftDraw;
  if (!drawn || !software) DrawViewDepth(object);
  if (!(drawn && software && large && BuildTriangleBins(object))) ForgetTriangleBins();
  return drawn;
}

void PresentBrushView(const ClipRect& rect) {
  if (brushSession.present) {
    brushSession.present(rect);
  } else {
    PresentToolFrame();
  }
}

void DrawViewDepth(SceneObject& object) {
  std::vector<float>& depth = renderState.depthBuffer;
  if (depth.size() != size_t(kViewPixelCount)) return;
  std::fill(depth.begin(), depth.end(), kEmptyDepth);
  DrawDepthTriangles(depth, kViewClip, &object, true);
}

bool RedrawsChangedPartOnly(int room) {
  switch (room) {
    case kBrushRoomHeightMap:
    case kBrushRoomMorph:
    case kBrushRoomPaint:
    case kBrushRoomLiquify:
    case kBrushRoomMask: return true;
    default: return brushSettings.type == brush_type::kBrush;
  }
}

float StrokePressure() {
  return BrushPressureFromDepth(brushSettings.depth) * PenScale(kTabletAffectsPressure);
}

float StrokeSize() { return BrushSizeFactor(brushSettings.size) * PenScale(kTabletAffectsRadius); }

bool MakeObjectPaintable(SceneObject* object, SceneObject* undo) {
  if (object == nullptr || object->optics.isPainted != 0) return false;
  object->optics.isPainted = 1;
  RecordTaskStep(kStepPaintable, 1);
  CommitObjectChange(object, undo);
  return true;
}

bool BeginStroke(int room, int x, int y) {
  if (brushSession.active) EndStroke();
  SceneObject* object = scene.currentObject;
  if (object == nullptr || !HasWorkRecords(*object)) return false;
  SceneObject* undo = scene.workObject.get();

  // Without memory for the mirrored pass, symmetric strokes leave it out.
  (void)PrepareBrushEngine();
  if (brushEngine.profileShape != brushSettings.shape || brushEngine.profileShape == 0) {
    BuildBrushProfile(brushSettings.shape);
  }
  brushEngine.accumulator = 0;
  if (room == kBrushRoomPaint) MakeObjectPaintable(object, undo);

  // Shaded with the light of the redraws, so that the first segment can refresh only what it
  // changes.
  BuildLightVector(toolState.drawOptions.lightAngles);
  RefreshWorkData(*object);
  DrawViewDepth(*object);
  ForgetBrushRecords();  // the marks too: activation may have set every flag
  KeepBrushRecords(*object);
  ForgetTriangleBins();

  brushSession.active = true;
  brushSession.room = room;
  brushSession.object = object;
  brushSession.undo = undo;
  brushSession.segmentCount = 0;
  brushSession.pressX = x;
  brushSession.pressY = y;
  brushSession.redrawRect = kNothingDrawn;
  return true;
}

void ContinueStroke(int x, int y, int dx, int dy) {
  BrushSessionState& session = brushSession;
  if (!session.active || session.object == nullptr || !HasWorkRecords(*session.object)) return;
  SceneObject& object = *session.object;

  BrushStroke(&object, session.room, float(x), float(y), float(dx), float(dy), StrokePressure(),
              StrokeSize(), renderState.depthBuffer);
  RecordTaskStep(session.segmentCount == 0 ? kStepBrushFirst : kStepBrushSegment, StepValue(x),
                 StepValue(y), StepValue(dx), StepValue(dy));
  ++session.segmentCount;

  session.redrawRect = SegmentRedrawRect(object, session.room);
  if (IsEmpty(session.redrawRect)) return;  // no dab fell on this motion: the view stands
  if (RedrawAfterSegment(object, session.room)) KeepBrushRecords(object);
  PresentBrushView(session.redrawRect);
}

void EndStroke() {
  BrushSessionState& session = brushSession;
  if (!session.active) return;
  if (session.segmentCount > 0) {
    RecordTaskStep(kStepBrushEnd);
    CommitObjectChange(session.object, session.undo);
  }
  session.active = false;
  session.object = nullptr;
  session.undo = nullptr;
  ForgetBrushRecords();
  ForgetTriangleBins();
}

}  // namespace tsv
