// task_replay.cpp: replaying task steps, the replay commands and the replay batch procedure.
#include "tasks/task_replay.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "paint/map_apply.h"
#include "paint/object_paint.h"
#include "paint/paint_state.h"
#include "platform/events.h"
#include "platform/file_spec.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_services.h"
#include "render/rasterisers.h"
#include "render/render_state.h"
#include "render/soft_draw.h"
#include "render/work_data.h"
#include "scene/object_file.h"
#include "scene/object_table.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "scene/shade_ramp.h"
#include "tasks/task_recorder.h"
#include "tools/brush.h"
#include "tools/brush_session.h"
#include "tools/deform_batch.h"
#include "tools/brush_settings.h"
#include "tools/deform_table.h"
#include "tools/tool_frame.h"
#include "tools/tool_state.h"
#include "tools/trackball.h"

namespace tsv {

namespace {

// A full redraw of the modeling view in its present state (nothing without a renderer).
void RedrawView(SceneObject& object) {
  if (HasWorkRecords(object)) RefreshWorkData(object);
  SoftDrawOptions options = toolState.drawOptions;
  options.fullDetail = true;
  options.updateThumbnail = false;
  if (SoftDraw(&object, options)) PresentBrushView(kViewClip);
}

// The settings a step takes from its record and gives back afterwards. The alternate colour is
// no part of a record, but "Paint object" sets it to the paint colour: it is given back too.
struct StepSettings {
  int16_t depth, size, shape, spacing, type, side, repeat, fusionSide;
  Rgb16 paintColour, alternateColour;
  std::array<int16_t, 2> tilt;
};

StepSettings CurrentSettings() {
  const BrushSettings& b = brushSettings;
  return {b.depth,      b.size,        b.shape,           b.spacing, b.type, b.side, b.repeat,
          b.fusionSide, b.paintColour, b.alternateColour, b.tilt};
}

void ApplySettings(const StepSettings& s) {
  BrushSettings& b = brushSettings;
  b.depth = s.depth;
  b.size = s.size;
  b.shape = s.shape;
  b.spacing = s.spacing;
  b.type = s.type;
  b.side = s.side;
  b.repeat = s.repeat;
  b.fusionSide = s.fusionSide;
  b.paintColour = s.paintColour;
  b.alternateColour = s.alternateColour;
  b.tilt = s.tilt;
}

StepSettings SettingsOfStep(const TaskStep& step) {
  StepSettings s = CurrentSettings();
  s.depth = step.brushDepth;
  s.size = step.brushSize;
  s.shape = int16_t(std::clamp(step.Shape(), 1, kBrushShapeCount));
  s.spacing = int16_t(step.Spacing());
  s.type = int16_t(step.BrushType());
  s.side = int16_t(step.Side());
  s.repeat = int16_t(std::clamp(step.Repeat(), 0, kBrushRepeatModeCount - 1));
  s.fusionSide = int16_t(step.FusionSide() == kFusionSideRight ? kFusionSideRight : kFusionSideLeft);
  s.paintColour = Rgb16{step.red, step.green, step.blue};
  s.tilt = {step.tiltFirst, step.tiltSecond};
  return s;
}

// Takes the recorded view where it differs from the current one; redraws when anything changed.
void TakeRecordedView(const TaskStep& step, SceneObject& object) {
  ObjectView& view = CurrentView(object);
  bool changed = false;
  for (size_t i = 0; i < 3; ++i) {
    if (view.angles[i] != step.viewAngles[i]) {
      view.angles[i] = step.viewAngles[i];
      changed = true;
    }
  }
  // The caller has made sure the record's view is sound (HasSoundView).
  if (view.zoom != step.viewZoom) {
    view.zoom = step.viewZoom;
    changed = true;
  }
  if (view.centerX != step.centerX) {
    view.centerX = step.centerX;
    changed = true;
  }
  if (view.centerY != step.centerY) {
    view.centerY = step.centerY;
    changed = true;
  }
  if (changed) RedrawView(object);
}

// In the paint room an object that is not paintable is offered to be made so; the operation then
// runs whatever the answer.
void OfferPaintable(const TaskStep& step, SceneObject* object, SceneObject* undo) {
  if (step.room != kBrushRoomPaint || object->optics.isPainted != 0) return;
  (void)EnsurePaintable(object, undo, true);  // the step runs whatever the answer
  RedrawView(*object);
}

void RunBrushSegment(const TaskStep& step, SceneObject* object, SceneObject* undo, int s) {
  if (!HasWorkRecords(*object)) return;
  const int room = step.room;
  // Once per stroke, at its first segment: after a No its further segments paint on unasked.
  if (step.code == kStepStrokeFirst) OfferPaintable(step, object, undo);
  // The stroke itself builds the profile of the recorded shape; without memory for the mirrored
  // pass the stroke runs without it.
  (void)PrepareBrushEngine();
  if (step.code == kStepStrokeFirst) {
    // A stroke begins as a pressed button begins one: from the shape as it is now.
    brushEngine.accumulator = 0;
    RefreshWorkData(*object);
    DrawViewDepth(*object);
  }
  const float pressure = BrushPressureFromDepth(step.brushDepth) * float(s) / 256.0f;
  BrushStroke(object, room, float(step.value1), float(step.value2), float(step.value3),
              float(step.value4), pressure, BrushSizeFactor(step.brushSize), renderState.depthBuffer);
  const ClipRect redraw = SegmentRedrawRect(*object, room);
  if (redraw.left >= redraw.right || redraw.top >= redraw.bottom) return;
  if (RedrawAfterSegment(*object, room)) PresentBrushView(redraw);
}

void RunToolStep(const DeformToolEntry& tool, const TaskStep& step, SceneObject* object,
                 SceneObject* undo, int s) {
  const int a = step.value1, b = step.value2;
  int first = 0, second = 0;
  switch (tool.kind) {
    case DeformKind::Centred: first = ScaleCentredAmount(a, s); break;
    case DeformKind::Rising:
    case DeformKind::Signed: first = ScaleNeutralAmount(a, s); break;
    case DeformKind::Flatten: first = ScaleFlattenAmount(a, s); break;
    case DeformKind::TwoAxis:
      first = ScaleCentredAmount(a, s);
      second = ScaleCentredAmount(b, s);
      break;
    case DeformKind::Trackball: return;  // RO and RX are handled by the caller
  }
  // A recorded amount is never taken for the interactive marker.
  const AmountRange range = RangeOfKind(tool.kind);
  first = std::clamp<int>(first, range.minimum, range.maximum);
  second = std::clamp<int>(second, range.minimum, range.maximum);
  RunDeformTool(tool, object, undo, int16_t(first), int16_t(second));
  CommitObjectChange(object, undo);
}

void RunColourStep(const TaskStep& step, SceneObject* object, SceneObject* undo, int s) {
  // The components are 16-bit colour values: scaled as such, so that full strength gives back
  // exactly the recorded colour.
  auto scale = [s](int16_t value) { return uint16_t(uint32_t(uint16_t(value)) * uint32_t(s) / 256u); };
  const Rgb16 colour{scale(step.value1), scale(step.value2), scale(step.value3)};
  if (step.code == kStepSpecularColour) object->optics.specularColor = colour;
  if (step.code == kStepDiffuseColour) object->optics.diffuseColor = colour;
  if (step.code == kStepAmbientColour) object->optics.ambientColor = colour;
  CommitObjectChange(object, undo);
  BuildShadeRamp(*object);
  RedrawView(*object);
}

// The step itself, with the settings already taken from the record.
void DispatchStep(const TaskStep& step, SceneObject* object, SceneObject* undo, int s) {
  const uint16_t code = step.code;
  switch (code) {
    case kStepRotateStart: return;  // a marker: its motions follow as RX steps
    case kStepRotateMotion: {
      const AmountRange range = RangeOfKind(DeformKind::Trackball);
      const int dx = std::clamp<int>(ScaleNeutralAmount(step.value1, s), range.minimum, range.maximum);
      const int dy = std::clamp<int>(ScaleNeutralAmount(step.value2, s), range.minimum, range.maximum);
      RotateSession(object, undo, int16_t(dx), int16_t(dy));
      CommitObjectChange(object, undo);
      return;
    }
    case kStepStrokeFirst:
    case kStepStrokeSegment: RunBrushSegment(step, object, undo, s); return;
    case kStepStrokeEnd: CommitObjectChange(object, undo); return;
    case kStepMapApply:
      // Only the three kinds are applied: any other value (the interactive marker among them)
      // would start the map-apply drag in the middle of a replay.
      if (step.value1 < kMapFlat || step.value1 > kMapSpheric) return;
      // The amount is centred on 128 like the two-end tools: weakened toward 128, so that strength
      // 0 leaves the object as it is.
      (void)RunMapApply(object, undo, step.value1, int16_t(ScaleCentredAmount(step.value2, s)));
      return;
    case kStepMorph:
      if (taskRecorder.shapeMorph) {
        taskRecorder.shapeMorph(object, undo, step.value1, step.value2, ScaleNeutralAmount(step.value3, s),
                       ScaleNeutralAmount(step.value4, s));
        CommitObjectChange(object, undo);
      }
      return;
    case kStepPaintableFlag:
      object->optics.isPainted = uint16_t(step.value1);
      CommitObjectChange(object, undo);
      RedrawView(*object);
      return;
    case kStepSpecularColour:
    case kStepDiffuseColour:
    case kStepAmbientColour: RunColourStep(step, object, undo, s); return;
    default: break;
  }
  if (FindPaintCommand(code) != nullptr) {
    (void)ReplayPaintStep(code, object, undo, step.room == kBrushRoomPaint);
    return;
  }
  if (const DeformToolEntry* tool = FindDeformToolByCode(code)) RunToolStep(*tool, step, object, undo, s);
  // Any other code is not one of ours (a damaged or foreign file): passed over.
}

bool NeedsObject() {
  if (scene.currentObject != nullptr) return true;
  return false;
}

// Reads "TaskSteps" for a replay command; the message when it does not exist.
bool StepsForReplay(std::vector<TaskStep>& steps) {
  const Status status = ReadTaskSteps(steps);
  if (status == kFileNotFound) {
    ShowStopMessage(GetString(kErrNoTaskSteps));
    return false;
  }
  return status == kNoError;
}

size_t CursorIndex(const std::vector<TaskStep>& steps) {
  const int64_t cursor = std::max<int64_t>(0, taskRecorder.taskCursor);
  return std::min(steps.size(), size_t(cursor / int64_t(kTaskStepSize)));
}

}  // namespace

int RunTaskStepOn(const TaskStep& step, SceneObject* object, SceneObject* undo) {
  if (step.code == kStepEnd) return 0;
  if (CancelRequested()) return 0;
  if (object == nullptr || !HasSoundView(step)) return 1;
  const int s = std::clamp<int>(taskRecorder.replayStrength, 0, kReplayStrengthMax);
  const StepSettings saved = CurrentSettings();
  TakeRecordedView(step, *object);
  ApplySettings(SettingsOfStep(step));
  DispatchStep(step, object, undo, s);
  ApplySettings(saved);
  BuildBrushProfile(brushSettings.shape);
  return 1;
}

int RunTaskStep(const TaskStep& step) {
  return RunTaskStepOn(step, scene.currentObject, scene.workObject.get());
}

size_t ReplaySteps(std::span<const TaskStep> steps, size_t first, size_t end, SceneObject* object,
                   SceneObject* undo) {
  if (object == nullptr) return 0;
  end = std::min(end, steps.size());
  const ObjectView savedView = CurrentView(*object);
  const bool wasReplaying = taskRecorder.replaying;
  taskRecorder.replaying = true;
  size_t run = 0, skipped = 0;
  for (size_t i = first; i < end; ++i) {
    ++run;
    if (steps[i].code != kStepEnd && !HasSoundView(steps[i])) {
      ++skipped;
      continue;
    }
    if (RunTaskStepOn(steps[i], object, undo) == 0) break;
  }
  taskRecorder.replaying = wasReplaying;
  CurrentView(*object) = savedView;
  RedrawView(*object);
  if (skipped > 0) ShowAlert(FormatString(kNoteTaskStepsSkipped, {std::to_string(skipped)}));
  return run;
}

void RunAllSteps() {
  std::vector<TaskStep> steps;
  if (!NeedsObject() || !StepsForReplay(steps)) return;
  ReplaySteps(steps, 0, steps.size(), scene.currentObject, scene.workObject.get());
}

void RunFromCursor() {
  std::vector<TaskStep> steps;
  if (!NeedsObject() || !StepsForReplay(steps)) return;
  ReplaySteps(steps, CursorIndex(steps), steps.size(), scene.currentObject, scene.workObject.get());
}

void RunToCursor() {
  std::vector<TaskStep> steps;
  if (!NeedsObject() || !StepsForReplay(steps)) return;
  ReplaySteps(steps, 0, CursorIndex(steps), scene.currentObject, scene.workObject.get());
}

void RunStep() {
  std::vector<TaskStep> steps;
  if (!NeedsObject() || !StepsForReplay(steps)) return;
  const size_t at = CursorIndex(steps);
  if (at >= steps.size()) return;
  ReplaySteps(steps, at, StepGroupEnd(steps, at), scene.currentObject, scene.workObject.get());
}

Status ReplayTaskFile(const std::string& tasksPath, const std::string& inPath, const std::string& outPath,
                      int strength) {
  if (strength < 0 || strength > kReplayStrengthMax) {
    ShowStopMessage(GetString(kErrReplayStrengthRange));
    return kMalformed;
  }
  std::vector<TaskStep> steps;
  TaskFileDamage damage;
  if (const Status status = ReadTaskFile(tasksPath, steps, &damage); status != kNoError) {
    ShowStopMessage(TaskFileErrorText(tasksPath, status));
    return status;
  }
  if (const std::string note = TaskFileDamageNote(tasksPath, damage); !note.empty()) ShowAlert(note);
  return EditObjectFile(inPath, outPath, [&](SceneObject& object, SceneObject* undo) {
    const int16_t savedStrength = taskRecorder.replayStrength;
    taskRecorder.replayStrength = int16_t(strength);
    ReplaySteps(steps, 0, steps.size(), &object, undo);
    taskRecorder.replayStrength = savedStrength;
    // A list cut off inside a stroke leaves its last segments uncommitted: the frame commits.
  });
}

}  // namespace tsv
