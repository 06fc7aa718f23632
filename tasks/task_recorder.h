// task_recorder.h: the task recorder: recording the steps the user takes into a buffer and the
// working files of the temporary folder ("TaskSteps" the list, "TaskStepsSession" the recording
// in progress, "TaskStepsNew" the scratch copy a rebuild writes), the list's cursor, deleting and
// editing steps, the task files, and the lines the task panel shows. Replaying is in
// task_replay.h.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_spec.h"
#include "platform/status.h"
#include "platform/user_services.h"
#include "tasks/task_record.h"

namespace tsv {

inline constexpr uint32_t kTaskFileType = FourCC("TSKS");
inline constexpr int kTaskBufferSize = 128;
inline constexpr int16_t kReplayStrengthMax = 256;

// taskState
inline constexpr int kTaskIdle = 0;
inline constexpr int kTaskRecording = 1;
inline constexpr int kTaskPaused = 3;

// SetRecording commands
inline constexpr int kRecordStart = 1;
inline constexpr int kRecordStop = 2;
inline constexpr int kRecordPauseResume = 3;

struct TaskRecorderState {
  int taskState = kTaskIdle;
  std::array<TaskStep, kTaskBufferSize> buffer{};
  int bufferCount = 0;
  int64_t taskCursor = 0;     // byte offset of the selected step in "TaskSteps", a multiple of 60
  bool taskHasEnd = false;    // the list already received its end step
  int32_t taskStepCount = 0;  // visible steps
  int32_t firstVisibleLine = 0;
  int32_t visibleLineCount = 12;  // lines the panel shows; the panel sets it
  FileSpec taskFile;              // the task file last opened or saved; empty: none
  int16_t replayStrength = kReplayStrengthMax;  // s, 0..256
  bool replaying = false;

  // What lives above the recorder, handed down by the interface. Empty: room 1 (modeling),
  // drag values 0, no panel refresh.
  std::function<int()> currentRoom;
  std::function<std::array<int16_t, 2>()> brushDragValues;  // {first (0..256), second (centred)}
  std::function<void()> refreshPanel;
};

extern TaskRecorderState taskRecorder;

// Installs the recorder as the hook every recordable operation reports to.
void InstallTaskRecorder();
// Idle, empty buffer, no hook, default strength (tests). The working files stay.
void ResetTaskRecorder();

// The hook: stores one finished step with the view, brush settings, room, paint colour and tilt
// in force. Nothing unless recording and there is a current object. The 128th buffered step
// flushes the buffer at once.
void StoreTaskStep(uint16_t code, int16_t value1, int16_t value2, int16_t value3, int16_t value4);

// Appends the buffered steps to "TaskStepsSession". On a failure recording stops and "Error:
// File error has occured." is shown; false then.
[[nodiscard]] bool FlushTaskBuffer();

// kRecordStart, kRecordStop (adds EN once, flushes and inserts the recording in front of the
// selected step) or kRecordPauseResume.
void SetRecording(int command);

// An empty list: all three working files deleted, "TaskSteps" created empty, cursor and counts
// 0, the task file forgotten.
void NewTaskList();

// The dialogs' versions and the ones by path the batch command and tests use. Opening reads the
// file's whole records (a trailing part shorter than a record is left out); saving writes a
// temporary beside the target and renames it over, so a failed save keeps the previous file.
Status OpenTaskFile();
Status SaveTaskFile();
Status OpenTaskFileAt(const std::string& path);
Status SaveTaskFileTo(const std::string& path);

// Reads a task file's records. kFileNotFound when it cannot be opened.
Status ReadTaskFile(const std::string& path, std::vector<TaskStep>& steps);

// The working files.
std::string TaskStepsPath();
std::string TaskStepsSessionPath();
std::string TaskStepsNewPath();
// "TaskSteps" read whole: kFileNotFound when it does not exist.
Status ReadTaskSteps(std::vector<TaskStep>& steps);
// Replaces "TaskSteps" through "TaskStepsNew"; false (with the file error shown) on a failure,
// "TaskSteps" unchanged then.
[[nodiscard]] bool WriteTaskSteps(const std::vector<TaskStep>& steps);

// The number of steps that are not BS, BE or RX.
int32_t CountSteps(const std::vector<TaskStep>& steps);
// Counts "TaskSteps" into taskStepCount and returns it.
int32_t CountSteps();

// One record along, then on past continuation steps; a cursor that would leave the list stays
// where it was. The first visible line follows so that the cursor stays in view.
void CursorDown();
void CursorUp();
// The visible line the cursor stands on.
int32_t CursorLine();
// Puts the cursor on visible line `line` (0 the first; beyond the end, the last).
void SetCursorLine(int32_t line);

// Deletes the step at the cursor (with its continuations for BR and RO); nothing for EN. The
// cursor then stands on the next visible step.
void DeleteStep();

// The kinds a stroke can be edited into, 1..10: Brush, Smudge, Smooth, HeightMap fusion, left
// fusion, right fusion, Paint, Liquify, Spheric, Normal.
inline constexpr int kBrushStepKindCount = 10;
struct BrushStepEdit {
  int kind = 1;
  Rgb16 paintColour;
  int shape = 1;
  int side = 0;
  std::optional<float> pressure;  // -1..1: depth = pressure x 128 + 128
  std::optional<float> size;      // 0..1: size = value x 256
  std::optional<float> spacing;   // 0..1: spacing = value x 256
};
// The kind 1..10 of a recorded stroke (from its room, brush type and fusion side).
int BrushStepKind(const TaskStep& step);
// Rewrites the BR at byte `offset` of "TaskSteps" and every BS directly after it. False when
// there is no BR there or the list cannot be rewritten.
[[nodiscard]] bool EditBrushStep(int64_t offset, const BrushStepEdit& edit);
// Applies an edit to one record (depth, size and spacing kept within 0..256).
void ApplyBrushStepEdit(TaskStep& step, const BrushStepEdit& edit);

// The text a step goes by in the list ("Twist", "Paint session", "<The End>", ...).
std::string TaskStepName(const TaskStep& step);

// One line of the task panel.
struct TaskListLine {
  int64_t offset = 0;  // of the step in "TaskSteps"
  std::string text;
  bool selected = false;                            // drawn black; the others grey
  Rgb16 textColour;                                 // black, or grey 16384
  std::optional<Rgb16> swatch;                      // colour steps: the colour shown beside
};
TaskListLine TaskListLineOf(const TaskStep& step, int64_t offset, bool selected);
// The lines from taskRecorder.firstVisibleLine on, at most visibleLineCount of them.
std::vector<TaskListLine> VisibleTaskLines();

// The strength control: s changed by a horizontal motion and kept within 0..256; its readout
// s x 25 / 64 (per cent).
void ChangeReplayStrength(int motion);
int ReplayStrengthReadout();

}  // namespace tsv
