// tool_frame.cpp: readout, redraw and commit shared by the deformation tools.
#include "tools/tool_frame.h"

#include <charconv>

#include "platform/events.h"
#include "platform/fonts.h"
#include "platform/relative_drag.h"
#include "platform/window.h"
#include "render/work_data.h"
#include "scene/history.h"
#include "scene/scene_object.h"
#include "tools/tool_state.h"

namespace tsv {

void WaitForMouseRelease() {
  while (DragButtonDown()) PumpEvents(kDragWaitMs);
}

namespace {

void DrawReadoutValue(Canvas& frame, int left, int top, int value) {
  char text[16];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  DrawText(frame, FontKind::Normal, left, top, std::string_view(text, size_t(end - text)),
           kReadoutTextColour);
}

}  // namespace

void ShowAmountReadout(int value1, int value2) {
  toolState.readoutValue1 = value1;
  toolState.readoutValue2 = value1 == kNoReadoutValue ? kNoReadoutValue : value2;
  const Rect& rect = toolState.readoutRect;
  if (rect.width <= 0 || rect.height <= 0) return;
  Canvas& frame = mainWindow.frame;
  FillRect(frame, rect, kReadoutColour);
  if (value1 == kNoReadoutValue) return;
  const int left = rect.left + 4, top = rect.top + 1;
  DrawReadoutValue(frame, left, top, value1);
  if (value2 > kNoReadoutValue) DrawReadoutValue(frame, left, top + kReadoutLineStep, value2);
}

void PresentToolFrame() {
  if (toolState.present) toolState.present();
}

void RedrawAfterEdit(SceneObject* object, SceneObject*) {
  if (object == nullptr) return;
  object->dirtyFlags = uint16_t(object->dirtyFlags | kDirtyNormals);
  SoftDrawOptions options = toolState.drawOptions;
  options.fullDetail = false;
  options.updateThumbnail = false;
  UpdateObjectPositionsFromView(*object);
  // The refresh shades with the light the redraw uses, and the redraw takes its projection and
  // shades as they are: the pass projects and shades once.
  BuildLightVector(options.lightAngles);
  RefreshWorkData(*object);
  options.workDataCurrent = true;
  (void)SoftDraw(object, options);  // nothing when the renderer has not been started
  PresentToolFrame();
}

bool WorkDiffersFromCommitted(const SceneObject& object) {
  if (!HasWorkRecords(object)) return false;
  const size_t count = size_t(object.pointCount);
  if (object.points.size() < count || object.pointColors.size() < count || object.pointMask.size() < count) return true;
  const PointWork* work = object.pointWork->data();
  for (size_t i = 0; i < count; ++i) {
    const PointWork& r = work[i];
    const Vec3f& p = object.points[i];
    const Rgb8& c = object.pointColors[i];
    if (r.x != p.x || r.y != p.y || r.z != p.z || r.mask != object.pointMask[i] || r.red != c.red ||
        r.green != c.green || r.blue != c.blue) {
      return true;
    }
  }
  return false;
}

void CommitObjectChange(SceneObject* object, SceneObject* undo) {
  if (object == nullptr || undo == nullptr || object == undo || !HasWorkRecords(*object)) return;
  const size_t count = size_t(object->pointCount);
  if (object->points.size() < count || object->pointColors.size() < count ||
      object->pointMask.size() < count || object->pointUV.size() < count ||
      undo->points.size() < count || undo->pointColors.size() < count ||
      undo->pointMask.size() < count || undo->pointUV.size() < 2 * count) {
    return;
  }
  PointWork* work = object->pointWork->data();
  for (size_t i = 0; i < count; ++i) {
    PointWork& record = work[i];
    undo->pointMask[i] = record.mask;
    record.mask = object->pointMask[i];
    undo->pointColors[i] = Rgb8{record.red, record.green, record.blue};
    const Rgb8 paint = object->pointColors[i];
    record.red = paint.red;
    record.green = paint.green;
    record.blue = paint.blue;
    undo->points[i] = object->points[i];
    object->points[i] = Vec3f{record.x, record.y, record.z};
    // Two texture coordinates per point: 2i the committed ones, 2i + 1 the ones before them.
    undo->pointUV[2 * i + 1] = undo->pointUV[2 * i];
    undo->pointUV[2 * i] = object->pointUV[i];
  }
  toolState.previousOptics = toolState.currentOptics;
  toolState.currentOptics = object->optics;
  toolState.previousTextureMapping = toolState.currentTextureMapping;
  toolState.currentTextureMapping = TextureMappingOf(*object);
  undo->hasUnsavedChanges = object->hasUnsavedChanges;
  object->hasUnsavedChanges = 1;
  // Every command commits here, so every change joins the object's history.
  RecordCommittedState(*object, *undo);
}

}  // namespace tsv
