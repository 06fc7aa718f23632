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

// Whole-file helpers over the working files. Reading distinguishes a missing file, and stops with
// kMalformed once more than `maxBytes` came in: a device or a damaged file never ends.
Status ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes,
                     size_t maxBytes = kMaxTaskSteps * kTaskStepSize + kTaskStepSize - 1) {
  bytes.clear();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return kFileNotFound;
  uint8_t chunk[8192];
  Status status = kNoError;
  for (;;) {
    const size_t got = std::fread(chunk, 1, sizeof chunk, file);
    if (got > maxBytes - bytes.size()) {
      status = kMalformed;
      break;
    }
    bytes.insert(bytes.end(), chunk, chunk + got);
    if (got < sizeof chunk) {
      if (std::ferror(file)) status = kReadError;
      break;
    }
  }
  std::fclose(file);
  if (status != kNoError) bytes.clear();
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
// False when it failed; the user has been told.
bool MergeSession() {
  std::vector<TaskStep> list;
  std::vector<uint8_t> sessionBytes;
  if (const Status status = ReadTaskSteps(list); status != kNoError && status != kFileNotFound) {
    ShowFileError();
    return false;
  }
  if (ReadWholeFile(TaskStepsSessionPath(), sessionBytes) != kNoError) {
    ShowFileError();
    return false;
  }
  const std::vector<TaskStep> session = DecodeTaskSteps(sessionBytes);
  const size_t at = std::min(list.size(), size_t(std::max<int64_t>(0, taskRecorder.taskCursor) / kStepBytes));
  list.insert(list.begin() + std::ptrdiff_t(at), session.begin(), session.end());
  return WriteTaskSteps(list);
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
  r.shownStale = true;  // the list shows the step at once
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
      // A failed write has told the user already.
      if (r.taskState != kTaskIdle && FlushTaskBuffer()) (void)MergeSession();
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
  r.firstVisibleLine = 0;
  if (!WriteWholeFile(TaskStepsPath(), {}, "wb")) ShowFileError();
  ClearFileSpec(r.taskFile);
  ShowTaskList({});
}

namespace {

// The whole records of a file, as they are; `trailingBytes` gets the length of a last part shorter
// than a record.
Status ReadStepRecords(const std::string& path, std::vector<TaskStep>& steps, size_t* trailingBytes = nullptr) {
  std::vector<uint8_t> bytes;
  const Status status = ReadWholeFile(path, bytes);
  if (status != kNoError) return status;
  if (trailingBytes != nullptr) *trailingBytes = bytes.size() % kTaskStepSize;
  steps = DecodeTaskSteps(bytes);
  return kNoError;
}

}  // namespace

Status ReadTaskFile(const std::string& path, std::vector<TaskStep>& steps, TaskFileDamage* damage) {
  TaskFileDamage found;
  if (const Status status = ReadStepRecords(path, steps, &found.trailingBytes); status != kNoError) return status;
  found.unsoundSteps = DropUnsoundSteps(steps);
  if (damage != nullptr) *damage = found;
  return kNoError;
}

std::string TaskFileErrorText(const std::string& path, Status status) {
  if (status != kMalformed) return GetString(kErrFileError);
  return FormatString(kErrCantOpenFile, {path, FormatString(kTaskFileTooLong, {std::to_string(kMaxTaskSteps)})});
}

std::string TaskFileDamageNote(const std::string& path, const TaskFileDamage& damage) {
  std::string note;
  if (damage.unsoundSteps > 0) note = FormatString(kNoteTaskStepsLeftOut, {std::to_string(damage.unsoundSteps), path});
  if (damage.trailingBytes > 0) {
    if (!note.empty()) note += "\n";
    note += FormatString(kNoteTaskFileCutOff, {path, std::to_string(damage.trailingBytes)});
  }
  return note;
}

size_t DropUnsoundSteps(std::vector<TaskStep>& steps) {
  size_t dropped = 0, kept = 0;
  for (size_t at = 0; at < steps.size();) {
    const size_t end = StepGroupEnd(steps, at);
    const bool sound = std::all_of(steps.begin() + std::ptrdiff_t(at), steps.begin() + std::ptrdiff_t(end),
                                   [](const TaskStep& s) { return HasSoundView(s); });
    if (sound) {
      for (size_t i = at; i < end; ++i) steps[kept++] = steps[i];
    } else {
      ++dropped;
    }
    at = end;
  }
  steps.resize(kept);
  return dropped;
}

Status OpenTaskFileAt(const std::string& path) {
  std::vector<TaskStep> steps;
  TaskFileDamage damage;
  if (const Status status = ReadTaskFile(path, steps, &damage); status != kNoError) {
    ShowStopMessage(TaskFileErrorText(path, status));
    return status;
  }
  NewTaskList();
  if (!WriteTaskSteps(steps)) return kWriteError;
  taskRecorder.taskFile = FileSpecForPath(path, kTaskFileType);
  taskRecorder.taskHasEnd = true;
  if (const std::string note = TaskFileDamageNote(path, damage); !note.empty()) ShowAlert(note);
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
  FileSpec spec = FileSpecToSave(taskRecorder.taskFile, GetString(kNameUntitledTasks), kTaskFileType);
  if (const Status status = AskSaveFile(spec); status != kNoError) return status;
  return SaveTaskFileTo(PathOfSpec(spec));
}

Status ReadTaskSteps(std::vector<TaskStep>& steps) {
  steps.clear();
  return ReadStepRecords(TaskStepsPath(), steps);
}

Status ReadTaskStepAt(int64_t offset, TaskStep& step) {
  if (offset < 0 || offset % kStepBytes != 0) return kReadError;
  std::FILE* file = std::fopen(TaskStepsPath().c_str(), "rb");
  if (file == nullptr) return kFileNotFound;
  std::array<uint8_t, kTaskStepSize> record{};
  const bool read = std::fseek(file, long(offset), SEEK_SET) == 0 &&
                    std::fread(record.data(), 1, record.size(), file) == record.size();
  std::fclose(file);
  if (!read) return kReadError;
  step = DecodeTaskStep(record);
  return kNoError;
}

bool WriteTaskSteps(const std::vector<TaskStep>& steps) {
  // A longer list could not be read back.
  if (steps.size() > kMaxTaskSteps) {
    ShowStopMessage(FormatString(kErrTaskListFull, {std::to_string(kMaxTaskSteps)}));
    return false;
  }
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
  ShowTaskList(steps);
  return true;
}

int32_t CountSteps(const std::vector<TaskStep>& steps) {
  return int32_t(std::count_if(steps.begin(), steps.end(),
                               [](const TaskStep& s) { return !IsContinuationStep(s.code); }));
}

int32_t CountSteps() {
  RefreshTaskList();
  return taskRecorder.taskStepCount;
}

void ShowTaskList(const std::vector<TaskStep>& steps) {
  TaskRecorderState& r = taskRecorder;
  SettleCursor(steps);
  FollowCursor(steps);
  r.taskStepCount = CountSteps(steps);
  r.cursorLine = LineOfCursor(steps);
  r.shownLines.clear();
  int32_t line = 0;
  const int32_t room = std::max(0, r.visibleLineCount);
  for (size_t i = 0; i < steps.size() && int32_t(r.shownLines.size()) < room; ++i) {
    if (IsContinuationStep(steps[i].code)) continue;
    if (line++ < r.firstVisibleLine) continue;
    const int64_t offset = int64_t(i) * kStepBytes;
    r.shownLines.push_back(TaskListLineOf(steps[i], offset, offset == r.taskCursor));
  }
  r.shownStale = false;
  RefreshPanel();
}

void RefreshTaskList() {
  TaskRecorderState& r = taskRecorder;
  std::vector<TaskStep> steps;
  (void)ReadTaskSteps(steps);  // a list that cannot be read shows as empty
  if (r.taskState == kTaskIdle) {
    ShowTaskList(steps);
    return;
  }
  // While recording, the list shows the steps recorded so far where they will go, with the cursor
  // on the last of them; the cursor the recording goes in at stays where it is.
  std::vector<uint8_t> sessionBytes;
  (void)ReadWholeFile(TaskStepsSessionPath(), sessionBytes);  // nothing flushed yet shows none
  std::vector<TaskStep> session = DecodeTaskSteps(sessionBytes);
  session.insert(session.end(), r.buffer.begin(), r.buffer.begin() + std::ptrdiff_t(std::clamp(r.bufferCount, 0, kTaskBufferSize)));
  const size_t at = std::min(steps.size(), size_t(std::max<int64_t>(0, r.taskCursor) / kStepBytes));
  steps.insert(steps.begin() + std::ptrdiff_t(at), session.begin(), session.end());
  const int64_t mergeCursor = r.taskCursor;
  r.taskCursor = int64_t(at + session.size()) * kStepBytes;
  ShowTaskList(steps);
  r.taskCursor = mergeCursor;
}

void SetVisibleLineCount(int32_t lines) {
  lines = std::max(1, lines);
  if (lines == taskRecorder.visibleLineCount && !taskRecorder.shownStale) return;
  taskRecorder.visibleLineCount = lines;
  RefreshTaskList();
}

const std::vector<TaskListLine>& VisibleTaskLines() {
  if (taskRecorder.shownStale) RefreshTaskList();
  return taskRecorder.shownLines;
}

int32_t ShownStepCount() {
  if (taskRecorder.shownStale) RefreshTaskList();
  return taskRecorder.taskStepCount;
}

int32_t CursorLine() {
  if (taskRecorder.shownStale) RefreshTaskList();
  return taskRecorder.cursorLine;
}

namespace {

// Moves the cursor one visible step along `direction` (+1 down, -1 up); a move that would leave
// the list keeps it where it was.
void MoveCursor(int direction) {
  std::vector<TaskStep> steps;
  if (ReadTaskSteps(steps) != kNoError) return;
  const int64_t count = int64_t(steps.size());
  const int64_t saved = std::clamp<int64_t>(taskRecorder.taskCursor / kStepBytes, 0, std::max<int64_t>(0, count - 1));
  int64_t index = saved + direction;
  while (index >= 0 && index < count && IsContinuationStep(steps[size_t(index)].code)) index += direction;
  if (index < 0 || index >= count) index = saved;
  taskRecorder.taskCursor = index * kStepBytes;
  ShowTaskList(steps);
}

}  // namespace

void CursorDown() { MoveCursor(+1); }
void CursorUp() { MoveCursor(-1); }

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
  ShowTaskList(steps);
}

void DeleteStep() {
  std::vector<TaskStep> steps;
  if (ReadTaskSteps(steps) != kNoError || steps.empty()) return;
  SettleCursor(steps);
  const size_t at = size_t(taskRecorder.taskCursor / kStepBytes);
  if (steps[at].code == kStepEnd) return;
  const size_t end = StepGroupEnd(steps, at);
  steps.erase(steps.begin() + std::ptrdiff_t(at), steps.begin() + std::ptrdiff_t(end));
  // The cursor keeps its offset: it now stands on the step after the deleted one.
  (void)WriteTaskSteps(steps);  // a failure has been shown and leaves the list as it was
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

namespace {

// Reads the list, checks the record at byte `offset` with `fits`, applies `change` to it and,
// with `segments`, to every BS directly after it, and writes the list back.
template <class Fits, class Change>
bool RewriteStepAt(int64_t offset, Fits fits, Change change, bool segments) {
  std::vector<TaskStep> steps;
  if (offset < 0 || offset % kStepBytes != 0 || ReadTaskSteps(steps) != kNoError) return false;
  size_t at = size_t(offset / kStepBytes);
  if (at >= steps.size() || !fits(steps[at])) return false;
  change(steps[at]);
  for (++at; segments && at < steps.size() && steps[at].code == kStepStrokeSegment; ++at) change(steps[at]);
  return WriteTaskSteps(steps);
}

bool IsColourStep(uint16_t code) {
  return code == kStepSpecularColour || code == kStepDiffuseColour || code == kStepAmbientColour;
}

}  // namespace

bool EditBrushStep(int64_t offset, const BrushStepEdit& edit) {
  return RewriteStepAt(
      offset, [](const TaskStep& s) { return s.code == kStepStrokeFirst; },
      [&](TaskStep& s) { ApplyBrushStepEdit(s, edit); }, true);
}

StepEditKind StepEditKindOf(const TaskStep& step) {
  if (step.code == kStepStrokeFirst) return StepEditKind::Brush;
  if (AmountToolOf(step) != nullptr) return StepEditKind::Amount;
  if (IsColourStep(step.code) || FindPaintCommand(step.code) != nullptr) return StepEditKind::Colour;
  return StepEditKind::None;
}

const DeformToolEntry* AmountToolOf(const TaskStep& step) {
  const DeformToolEntry* tool = FindDeformToolByCode(step.code);
  return tool != nullptr && tool->kind != DeformKind::Trackball ? tool : nullptr;
}

int StepAmountReadout(DeformKind kind, int amount) {
  switch (kind) {
    case DeformKind::Centred:
    case DeformKind::TwoAxis: return (amount - 128) * 25 / 32;
    case DeformKind::Rising: return amount * 25 / 64;
    case DeformKind::Signed: return amount * 25 / 32;
    case DeformKind::Flatten: return (256 - amount) * 25 / 64;
    case DeformKind::Trackball: return amount;
  }
  return amount;
}

int StepAmountFromReadout(DeformKind kind, int readout) {
  // The readout truncates toward zero, so the smallest offset from neutral that shows it is the
  // readout scaled back and rounded away from zero.
  auto offset = [readout](int unitsPer25) {
    const int magnitude = (std::abs(readout) * unitsPer25 + 24) / 25;
    return readout < 0 ? -magnitude : magnitude;
  };
  const AmountRange range = RangeOfKind(kind);
  int amount = readout;
  switch (kind) {
    case DeformKind::Centred:
    case DeformKind::TwoAxis: amount = 128 + offset(32); break;
    case DeformKind::Rising: amount = offset(64); break;
    case DeformKind::Signed: amount = offset(32); break;
    case DeformKind::Flatten: amount = 256 - offset(64); break;
    case DeformKind::Trackball: break;
  }
  return std::clamp<int>(amount, range.minimum, range.maximum);
}

ReadoutRange StepReadoutRange(DeformKind kind) {
  const AmountRange range = RangeOfKind(kind);
  const int a = StepAmountReadout(kind, range.minimum), b = StepAmountReadout(kind, range.maximum);
  return {std::min(a, b), std::max(a, b)};
}

bool EditAmountStep(int64_t offset, int first, int second) {
  return RewriteStepAt(
      offset, [](const TaskStep& s) { return AmountToolOf(s) != nullptr; },
      [&](TaskStep& s) {
        const DeformKind kind = AmountToolOf(s)->kind;
        const AmountRange range = RangeOfKind(kind);
        s.value1 = int16_t(std::clamp<int>(first, range.minimum, range.maximum));
        if (kind == DeformKind::TwoAxis) s.value2 = int16_t(std::clamp<int>(second, range.minimum, range.maximum));
      },
      false);
}

Rgb16 StepColour(const TaskStep& step) {
  if (IsColourStep(step.code)) return {uint16_t(step.value1), uint16_t(step.value2), uint16_t(step.value3)};
  return {step.red, step.green, step.blue};
}

bool EditColourStep(int64_t offset, Rgb16 colour) {
  return RewriteStepAt(
      offset, [](const TaskStep& s) { return StepEditKindOf(s) == StepEditKind::Colour; },
      [&](TaskStep& s) {
        if (IsColourStep(s.code)) {
          s.value1 = int16_t(colour.red);
          s.value2 = int16_t(colour.green);
          s.value3 = int16_t(colour.blue);
        } else {
          s.red = colour.red;
          s.green = colour.green;
          s.blue = colour.blue;
        }
      },
      false);
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
  std::vector<std::string> values;
  if (const DeformToolEntry* tool = AmountToolOf(step)) {
    values = {std::to_string(StepAmountReadout(tool->kind, step.value1))};
    if (tool->kind == DeformKind::TwoAxis) values.push_back(std::to_string(StepAmountReadout(tool->kind, step.value2)));
  } else if (step.code == kStepMapApply) {
    values = {std::to_string(StepAmountReadout(DeformKind::Centred, step.value2))};
  } else if (step.code == kStepMorph) {
    values = {std::to_string(step.value3 * 25 / 64), std::to_string(step.value4 * 25 / 64)};
  } else if (IsColourStep(step.code)) {
    const Rgb16 colour = StepColour(step);
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

void ChangeReplayStrength(int motion) {
  taskRecorder.replayStrength =
      int16_t(std::clamp(int(taskRecorder.replayStrength) + motion, 0, int(kReplayStrengthMax)));
}

int ReplayStrengthReadout() { return taskRecorder.replayStrength * 25 / 64; }

}  // namespace tsv
