// task_recorder.cpp: recording, the working files, the cursor, deleting and editing steps, task
// files and the panel's lines.
#include "tasks/task_recorder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "paint/map_apply.h"
#include "paint/object_paint.h"
#include "platform/counted_string.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "scene/safe_save.h"
#include "scene/scene_object.h"
#include "scene/scene_state.h"
#include "tools/brush.h"
#include "tools/brush_settings.h"
#include "tools/deform_table.h"

namespace tsv {

TaskRecorderState taskRecorder;

namespace {

constexpr int64_t kStepBytes = int64_t(kTaskStepSize);

void ShowFileError() { ShowStopMessage(GetString(kErrFileError)); }

void RefreshPanel() {
  if (taskRecorder.refreshPanel) taskRecorder.refreshPanel();
}

// Whole-file helpers over the working files. Reading distinguishes a missing file.
Status ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  bytes.clear();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return kFileNotFound;
  uint8_t chunk[8192];
  Status status = kNoError;
  for (;;) {
    const size_t got = std::fread(chunk, 1, sizeof chunk, file);
    bytes.insert(bytes.end(), chunk, chunk + got);
    if (got < sizeof chunk) {
      if (std::ferror(file)) status = kReadError;
      break;
    }
  }
  std::fclose(file);
  return status;
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, const char* mode) {
  std::FILE* file = std::fopen(path.c_str(), mode);
  if (file == nullptr) return false;
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}

void RemoveFile(const std::string& path) {
  std::error_code error;
  std::filesystem::remove(path, error);
}

// The visible line the cursor stands on: the steps before it that are not continuations.
int32_t LineOfCursor(const std::vector<TaskStep>& steps) {
  int32_t line = 0;
  const size_t end =
      std::min(steps.size(), size_t(std::max<int64_t>(0, taskRecorder.taskCursor) / kStepBytes));
  for (size_t i = 0; i < end; ++i) line += IsContinuationStep(steps[i].code) ? 0 : 1;
  return line;
}

// Keeps the first visible line such that the cursor's line is shown.
void FollowCursor(const std::vector<TaskStep>& steps) {
  const int32_t line = LineOfCursor(steps);
  const int32_t lines = std::max(1, taskRecorder.visibleLineCount);
  if (line < taskRecorder.firstVisibleLine) taskRecorder.firstVisibleLine = line;
  if (line >= taskRecorder.firstVisibleLine + lines) taskRecorder.firstVisibleLine = line - lines + 1;
  taskRecorder.firstVisibleLine = std::max(0, taskRecorder.firstVisibleLine);
}

// A cursor that stands on a record of the list (or 0 for an empty list), on a visible step.
void SettleCursor(const std::vector<TaskStep>& steps) {
  const int64_t count = int64_t(steps.size());
  int64_t index = taskRecorder.taskCursor / kStepBytes;
  if (taskRecorder.taskCursor < 0 || index < 0) index = 0;
  if (index >= count) index = count - 1;
  while (index > 0 && IsContinuationStep(steps[size_t(index)].code)) --index;
  taskRecorder.taskCursor = std::max<int64_t>(0, index) * kStepBytes;
}

// The merge after a stop: the session's steps in front of the selected step.
bool MergeSession() {
  taskRecorder.taskStepCount = 0;
  std::vector<TaskStep> list;
  if (const Status status = ReadTaskSteps(list); status != kNoError && status != kFileNotFound) return false;
  std::vector<uint8_t> sessionBytes;
  if (ReadWholeFile(TaskStepsSessionPath(), sessionBytes) != kNoError) return false;
  const std::vector<TaskStep> session = DecodeTaskSteps(sessionBytes);
  const size_t at = std::min(list.size(), size_t(std::max<int64_t>(0, taskRecorder.taskCursor) / kStepBytes));
  list.insert(list.begin() + std::ptrdiff_t(at), session.begin(), session.end());
  if (!WriteTaskSteps(list)) return false;
  CountSteps();
  return true;
}

}  // namespace

std::string TaskStepsPath() { return PathOfSpec(MakeTempFileSpec(ScratchFile::TaskSteps)); }
std::string TaskStepsSessionPath() { return PathOfSpec(MakeTempFileSpec(ScratchFile::TaskStepsSession)); }
std::string TaskStepsNewPath() { return PathOfSpec(MakeTempFileSpec(ScratchFile::TaskStepsNew)); }

void InstallTaskRecorder() { taskSteps.hook = StoreTaskStep; }

void ResetTaskRecorder() {
  taskRecorder = TaskRecorderState{};
  ResetTaskSteps();
}

void StoreTaskStep(uint16_t code, int16_t value1, int16_t value2, int16_t value3, int16_t value4) {
  TaskRecorderState& r = taskRecorder;
  if (r.taskState != kTaskRecording || scene.currentObject == nullptr) return;
  if (r.bufferCount >= kTaskBufferSize && !FlushTaskBuffer()) return;
  const SceneObject& object = *scene.currentObject;
  const ObjectView& view = CurrentView(object);
  const BrushSettings& b = brushSettings;

  TaskStep& s = r.buffer[size_t(r.bufferCount)];
  s = TaskStep{};
  s.code = code;
  s.value1 = value1;
  s.value2 = value2;
  s.value3 = value3;
  s.value4 = value4;
  s.viewAngles = view.angles;
  s.viewZoom = view.zoom;
  s.centerY = view.centerY;
  s.centerX = view.centerX;
  s.brushDepth = b.depth;
  s.brushSize = b.size;
  s.spacingRepeat = uint16_t((uint16_t(b.repeat) << 9) | (uint16_t(b.spacing) & 0x1FF));
  s.sideShape = uint16_t((uint16_t(b.side) << 8) | (uint16_t(b.shape) & 0xFF));
  s.typeFusion = uint16_t((uint16_t(b.type) << 8) | (uint16_t(b.fusionSide) & 0xFF));
  if (r.brushDragValues) {
    const std::array<int16_t, 2> drag = r.brushDragValues();
    s.dragFirst = drag[0];
    s.dragSecond = drag[1];
  }
  s.room = uint16_t(r.currentRoom ? r.currentRoom() : 1);
  // The colour and tilt the brush itself takes, so that a replayed stroke paints and leans alike.
  const Rgb16 colour = PaintColourInForce();
  s.red = colour.red;
  s.green = colour.green;
  s.blue = colour.blue;
  const std::array<int16_t, 2> tilt = TiltInForce();
  s.tiltFirst = tilt[0];
  s.tiltSecond = tilt[1];
  ++r.bufferCount;
  // A failed flush stops the recording and has told the user.
  if (r.bufferCount == kTaskBufferSize) (void)FlushTaskBuffer();
}

bool FlushTaskBuffer() {
  TaskRecorderState& r = taskRecorder;
  if (r.bufferCount == 0) return true;
  const std::vector<uint8_t> bytes =
      EncodeTaskSteps(std::span<const TaskStep>(r.buffer.data(), size_t(r.bufferCount)));
  if (!WriteWholeFile(TaskStepsSessionPath(), bytes, "ab")) {
    r.taskState = kTaskIdle;
    r.bufferCount = 0;
    ShowFileError();
    return false;
  }
  r.bufferCount = 0;
  return true;
}

void SetRecording(int command) {
  TaskRecorderState& r = taskRecorder;
  switch (command) {
    case kRecordStart: {
      RemoveFile(TaskStepsSessionPath());
      r.bufferCount = 0;
      if (!WriteWholeFile(TaskStepsSessionPath(), {}, "wb")) {
        ShowFileError();
        return;
      }
      r.taskState = kTaskRecording;
      return;
    }
    case kRecordStop: {
      if (r.taskState != kTaskRecording && r.taskState != kTaskPaused) return;
      if (!r.taskHasEnd) {
        // The end step is stored whatever the pause state and whether or not an object is
        // current: the list must end.
        const int saved = r.taskState;
        r.taskState = kTaskRecording;
        SceneObject* const current = scene.currentObject;
        if (current != nullptr) {
          StoreTaskStep(kStepEnd, 0, 0, 0, 0);
        } else if (r.bufferCount < kTaskBufferSize || FlushTaskBuffer()) {
          TaskStep end;
          end.code = kStepEnd;
          r.buffer[size_t(r.bufferCount++)] = end;
        }
        if (r.taskState == kTaskRecording) r.taskState = saved;
        r.taskHasEnd = true;
      }
      if (r.taskState != kTaskIdle && FlushTaskBuffer()) {
        if (!MergeSession()) ShowFileError();
      }
      r.taskState = kTaskIdle;
      RefreshPanel();
      return;
    }
    case kRecordPauseResume:
      if (r.taskState == kTaskRecording) {
        if (FlushTaskBuffer()) r.taskState = kTaskPaused;
      } else if (r.taskState == kTaskPaused) {
        r.taskState = kTaskRecording;
      }
      return;
    default: return;
  }
}

void NewTaskList() {
  TaskRecorderState& r = taskRecorder;
  r.taskHasEnd = false;
  RemoveFile(TaskStepsPath());
  RemoveFile(TaskStepsSessionPath());
  RemoveFile(TaskStepsNewPath());
  r.taskCursor = 0;
  r.taskStepCount = 0;
  r.firstVisibleLine = 0;
  if (!WriteWholeFile(TaskStepsPath(), {}, "wb")) ShowFileError();
  ClearFileSpec(r.taskFile);
  RefreshPanel();
}

Status ReadTaskFile(const std::string& path, std::vector<TaskStep>& steps) {
  std::vector<uint8_t> bytes;
  const Status status = ReadWholeFile(path, bytes);
  if (status != kNoError) return status;
  steps = DecodeTaskSteps(bytes);
  return kNoError;
}

Status OpenTaskFileAt(const std::string& path) {
  std::vector<TaskStep> steps;
  if (const Status status = ReadTaskFile(path, steps); status != kNoError) {
    ShowFileError();
    return status;
  }
  NewTaskList();
  if (!WriteTaskSteps(steps)) return kWriteError;
  taskRecorder.taskFile = FileSpecForPath(path, kTaskFileType);
  CountSteps();
  taskRecorder.taskHasEnd = true;
  RefreshPanel();
  return kNoError;
}

Status SaveTaskFileTo(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (const Status status = ReadWholeFile(TaskStepsPath(), bytes); status == kReadError) {
    ShowFileError();
    return status;
  }
  // Only whole records go out.
  const size_t whole = bytes.size() / kTaskStepSize * kTaskStepSize;
  bytes.erase(bytes.begin() + std::ptrdiff_t(whole), bytes.end());
  const FileSpec target = FileSpecForPath(path, kTaskFileType);
  SafeSave save;
  if (!BeginSafeSave(target, save)) return kWriteError;
  if (WriteBytes(save.file, bytes.data(), bytes.size()) != kNoError) {
    AbandonSafeSave(save);
    return kWriteError;
  }
  if (!CommitSafeSave(save)) return kWriteError;
  taskRecorder.taskFile = target;
  return kNoError;
}

Status OpenTaskFile() {
  FileSpec spec;
  spec.fileTypes[0] = kTaskFileType;
  spec.typeCount = 1;
  if (const Status status = AskOpenFile(spec); status != kNoError) return status;
  return OpenTaskFileAt(PathOfSpec(spec));
}

Status SaveTaskFile() {
  FileSpec spec = taskRecorder.taskFile;
  if (!IsFileSpecSet(spec)) {
    spec = FileSpec{};
    spec.name = TextToCountedString(GetString(kNameUntitledTasks));
  }
  spec.fileTypes[0] = kTaskFileType;
  spec.typeCount = 1;
  if (const Status status = AskSaveFile(spec); status != kNoError) return status;
  return SaveTaskFileTo(PathOfSpec(spec));
}

Status ReadTaskSteps(std::vector<TaskStep>& steps) {
  steps.clear();
  return ReadTaskFile(TaskStepsPath(), steps);
}

bool WriteTaskSteps(const std::vector<TaskStep>& steps) {
  // The new list goes to the scratch file first and replaces the list only when complete.
  const std::string scratch = TaskStepsNewPath();
  RemoveFile(scratch);
  if (!WriteWholeFile(scratch, EncodeTaskSteps(steps), "wb")) {
    RemoveFile(scratch);
    ShowFileError();
    return false;
  }
  std::error_code error;
  std::filesystem::rename(scratch, TaskStepsPath(), error);
  if (error) {
    RemoveFile(scratch);
    ShowFileError();
    return false;
  }
  return true;
}

int32_t CountSteps(const std::vector<TaskStep>& steps) {
  return int32_t(std::count_if(steps.begin(), steps.end(),
                               [](const TaskStep& s) { return !IsContinuationStep(s.code); }));
}

int32_t CountSteps() {
  std::vector<TaskStep> steps;
  (void)ReadTaskSteps(steps);  // a list that cannot be read counts as empty
  taskRecorder.taskStepCount = CountSteps(steps);
  return taskRecorder.taskStepCount;
}

void CursorDown() {
  std::vector<TaskStep> steps;
  if (ReadTaskSteps(steps) != kNoError) return;
  const int64_t saved = taskRecorder.taskCursor;
  int64_t index = saved / kStepBytes + 1;
  while (index < int64_t(steps.size()) && IsContinuationStep(steps[size_t(index)].code)) ++index;
  if (index >= int64_t(steps.size())) index = saved / kStepBytes;  // past the end: stay
  taskRecorder.taskCursor = index * kStepBytes;
  SettleCursor(steps);
  FollowCursor(steps);
}

void CursorUp() {
  std::vector<TaskStep> steps;
  if (ReadTaskSteps(steps) != kNoError) return;
  const int64_t saved = taskRecorder.taskCursor;
  int64_t index = saved / kStepBytes - 1;
  while (index >= 0 && IsContinuationStep(steps[size_t(index)].code)) --index;
  if (index < 0) index = saved / kStepBytes;
  taskRecorder.taskCursor = index * kStepBytes;
  SettleCursor(steps);
  FollowCursor(steps);
}

void SetCursorLine(int32_t target) {
  std::vector<TaskStep> steps;
  if (ReadTaskSteps(steps) != kNoError || steps.empty()) return;
  // The record of the target's visible step, or the last visible one when the list is shorter.
  int32_t line = -1;
  size_t at = 0;
  for (size_t i = 0; i < steps.size(); ++i) {
    if (IsContinuationStep(steps[i].code)) continue;
    at = i;
    if (++line >= target) break;
  }
  taskRecorder.taskCursor = int64_t(at) * kStepBytes;
  SettleCursor(steps);
  FollowCursor(steps);
}

int32_t CursorLine() {
  std::vector<TaskStep> steps;
  (void)ReadTaskSteps(steps);  // a list that cannot be read counts as empty
  return LineOfCursor(steps);
}

void DeleteStep() {
  std::vector<TaskStep> steps;
  if (ReadTaskSteps(steps) != kNoError || steps.empty()) return;
  SettleCursor(steps);
  const size_t at = size_t(taskRecorder.taskCursor / kStepBytes);
  if (steps[at].code == kStepEnd) return;
  const size_t end = StepGroupEnd(steps, at);
  steps.erase(steps.begin() + std::ptrdiff_t(at), steps.begin() + std::ptrdiff_t(end));
  if (!WriteTaskSteps(steps)) return;
  SettleCursor(steps);
  taskRecorder.taskStepCount = CountSteps(steps);
  FollowCursor(steps);
  RefreshPanel();
}

// Kinds 1..10 as room and brush type or fusion side.
namespace {
struct StrokeKind {
  uint16_t room;
  int type;  // the brush type, or the fusion side for room 3
};
constexpr std::array<StrokeKind, kBrushStepKindCount> kStrokeKinds = {{
    {1, brush_type::kBrush},   {1, brush_type::kSmudge}, {1, brush_type::kSmooth},
    {uint16_t(kBrushRoomHeightMap), 0}, {uint16_t(kBrushRoomMorph), kFusionSideLeft},
    {uint16_t(kBrushRoomMorph), kFusionSideRight}, {uint16_t(kBrushRoomPaint), 0},
    {uint16_t(kBrushRoomLiquify), 0}, {1, brush_type::kSpheric}, {1, brush_type::kNormal},
}};

int16_t ClampSetting(float value) {
  if (!(value == value)) return 0;
  return int16_t(std::clamp(value, 0.0f, float(kBrushSettingMax)));
}
}  // namespace

int BrushStepKind(const TaskStep& step) {
  switch (step.room) {
    case kBrushRoomHeightMap: return 4;
    case kBrushRoomMorph: return step.FusionSide() == kFusionSideRight ? 6 : 5;
    case kBrushRoomPaint: return 7;
    case kBrushRoomLiquify: return 8;
    default: break;
  }
  switch (step.BrushType()) {
    case brush_type::kSmudge: return 2;
    case brush_type::kSmooth: return 3;
    case brush_type::kSpheric: return 9;
    case brush_type::kNormal: return 10;
    default: return 1;
  }
}

void ApplyBrushStepEdit(TaskStep& step, const BrushStepEdit& edit) {
  const StrokeKind& kind = kStrokeKinds[size_t(std::clamp(edit.kind, 1, kBrushStepKindCount) - 1)];
  step.room = kind.room;
  int type = step.BrushType(), fusion = step.FusionSide();
  if (kind.room == kBrushRoomMorph) {
    fusion = kind.type;
  } else {
    type = kind.type;
  }
  step.typeFusion = uint16_t((uint16_t(type) << 8) | (uint16_t(fusion) & 0xFF));
  step.red = edit.paintColour.red;
  step.green = edit.paintColour.green;
  step.blue = edit.paintColour.blue;
  const int shape = std::clamp(edit.shape, 1, kBrushShapeCount);
  const int side = std::clamp(edit.side, 0, int(brush_side::kSymmetric));
  step.sideShape = uint16_t((side << 8) | shape);
  if (edit.pressure) step.brushDepth = ClampSetting(*edit.pressure * 128.0f + 128.0f);
  if (edit.size) step.brushSize = ClampSetting(*edit.size * 256.0f);
  if (edit.spacing) {
    step.spacingRepeat = uint16_t((step.spacingRepeat & ~0x1FF) | uint16_t(ClampSetting(*edit.spacing * 256.0f)));
  }
}

bool EditBrushStep(int64_t offset, const BrushStepEdit& edit) {
  std::vector<TaskStep> steps;
  if (offset < 0 || offset % kStepBytes != 0 || ReadTaskSteps(steps) != kNoError) return false;
  size_t at = size_t(offset / kStepBytes);
  if (at >= steps.size() || steps[at].code != kStepStrokeFirst) return false;
  ApplyBrushStepEdit(steps[at], edit);
  for (++at; at < steps.size() && steps[at].code == kStepStrokeSegment; ++at) ApplyBrushStepEdit(steps[at], edit);
  if (!WriteTaskSteps(steps)) return false;
  RefreshPanel();
  return true;
}

std::string TaskStepName(const TaskStep& step) {
  const uint16_t code = step.code;
  if (code == kStepEnd) return GetString(kTaskEnd);
  if (code == kStepStrokeFirst) return GetString(BrushSessionName(step.room, step.BrushType(), step.FusionSide()));
  if (code == kStepMapApply) return GetString(MapApplyName(step.value1));
  if (code == kStepMorph) {
    const int mode = std::clamp<int>(step.value1, 0, 3);
    return GetString(StringId{kMorphToBoth.id + mode});
  }
  if (code == kStepPaintableFlag) return GetString(step.value1 != 0 ? kPaintPaintable : kPaintSpotColor);
  if (code == kStepSpecularColour) return GetString(kColorSpecular);
  if (code == kStepDiffuseColour) return GetString(kColorDiffuse);
  if (code == kStepAmbientColour) return GetString(kColorAmbient);
  if (const PaintCommand* paint = FindPaintCommand(code)) return GetString(paint->name);
  if (code != kStepRotateMotion) {
    if (const DeformToolEntry* tool = FindDeformToolByCode(code)) return GetString(tool->name);
  }
  return TaskStepCodeText(code);
}

TaskListLine TaskListLineOf(const TaskStep& step, int64_t offset, bool selected) {
  TaskListLine line;
  line.offset = offset;
  line.selected = selected;
  line.textColour = selected ? Rgb16{0, 0, 0} : Rgb16{16384, 16384, 16384};
  const std::string name = TaskStepName(step);
  const int a = step.value1, b = step.value2;
  std::vector<std::string> values;
  const DeformToolEntry* tool =
      step.code == kStepRotateMotion || step.code == kStepRotateStart ? nullptr : FindDeformToolByCode(step.code);
  if (tool != nullptr) {
    switch (tool->kind) {
      case DeformKind::Centred: values = {std::to_string((a - 128) * 25 / 32)}; break;
      case DeformKind::Rising: values = {std::to_string(a * 25 / 64)}; break;
      case DeformKind::Signed: values = {std::to_string(a * 25 / 32)}; break;
      case DeformKind::Flatten: values = {std::to_string((256 - a) * 25 / 64)}; break;
      case DeformKind::TwoAxis:
        values = {std::to_string((a - 128) * 25 / 32), std::to_string((b - 128) * 25 / 32)};
        break;
      case DeformKind::Trackball: break;
    }
  } else if (step.code == kStepMapApply) {
    values = {std::to_string((b - 128) * 25 / 32)};
  } else if (step.code == kStepMorph) {
    values = {std::to_string(step.value3 * 25 / 64), std::to_string(step.value4 * 25 / 64)};
  } else if (step.code == kStepSpecularColour || step.code == kStepDiffuseColour ||
             step.code == kStepAmbientColour) {
    const Rgb16 colour{uint16_t(step.value1), uint16_t(step.value2), uint16_t(step.value3)};
    values = {std::to_string(colour.red >> 8), std::to_string(colour.green >> 8),
              std::to_string(colour.blue >> 8)};
    line.swatch = colour;
  }
  switch (values.size()) {
    case 1: line.text = FormatString(kTaskLine1, {name, values[0]}); break;
    case 2: line.text = FormatString(kTaskLine2, {name, values[0], values[1]}); break;
    case 3: line.text = FormatString(kTaskLine3, {name, values[0], values[1], values[2]}); break;
    default: line.text = name; break;
  }
  return line;
}

std::vector<TaskListLine> VisibleTaskLines() {
  std::vector<TaskListLine> lines;
  std::vector<TaskStep> steps;
  if (ReadTaskSteps(steps) != kNoError) return lines;
  int32_t line = 0;
  for (size_t i = 0; i < steps.size(); ++i) {
    if (IsContinuationStep(steps[i].code)) continue;
    if (line >= taskRecorder.firstVisibleLine &&
        int32_t(lines.size()) < std::max(0, taskRecorder.visibleLineCount)) {
      const int64_t offset = int64_t(i) * kStepBytes;
      lines.push_back(TaskListLineOf(steps[i], offset, offset == taskRecorder.taskCursor));
    }
    ++line;
  }
  return lines;
}

void ChangeReplayStrength(int motion) {
  taskRecorder.replayStrength =
      int16_t(std::clamp(int(taskRecorder.replayStrength) + motion, 0, int(kReplayStrengthMax)));
}

int ReplayStrengthReadout() { return taskRecorder.replayStrength * 25 / 64; }

}  // namespace tsv
