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
#include "tools/deform_table.h"

namespace tsv {

struct SceneObject;

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

// The most steps a task list holds (60 MB of records): a task file beyond it is refused, so that a
// file without an end (a device, a damaged size) is never read for ever.
inline constexpr size_t kMaxTaskSteps = 1000000;

// One line of the task panel.
struct TaskListLine {
  int64_t offset = 0;  // of the step in "TaskSteps"
  std::string text;
  bool selected = false;                            // drawn black; the others grey
  Rgb16 textColour;                                 // black, or grey 16384
  std::optional<Rgb16> swatch;                      // colour steps: the colour shown beside
};

// ShapeMorph lives above the recorder's neighbours; the interface hands it down (mode, optics
// flag, the two amounts already scaled). Empty: MO steps are passed over.
using ShapeMorphHook = std::function<void(SceneObject* object, SceneObject* undo, int mode,
                                          int opticsFlag, int first, int second)>;

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
  ShapeMorphHook shapeMorph;

  // What the task panel shows, worked out once per change of the list or of the cursor (never
  // on a draw): the visible lines from firstVisibleLine on and the line the cursor stands on;
  // taskStepCount is the count. Stale after a reset until the first look refreshes it.
  std::vector<TaskListLine> shownLines;
  int32_t cursorLine = 0;
  bool shownStale = true;
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
// file as ReadTaskFile does, tells what it left out, and replaces the list only when the file
// could be read; saving writes a temporary beside the target and renames it over, so a failed
// save keeps the previous file.
Status OpenTaskFile();
Status SaveTaskFile();
Status OpenTaskFileAt(const std::string& path);
Status SaveTaskFileTo(const std::string& path);

// What reading a task file left out.
struct TaskFileDamage {
  size_t unsoundSteps = 0;   // steps (with their continuations) whose view or tilt is out of range
  size_t trailingBytes = 0;  // a last part shorter than a record
};
// Reads a task file's records: kFileNotFound when it cannot be opened, kReadError when reading
// fails, kMalformed (after reading no more than that) when it holds more than kMaxTaskSteps
// records. Steps whose view or tilt is out of range (HasSoundView) are left out with their
// continuations, and a trailing part shorter than a record too; `damage` counts both. Shows
// nothing.
Status ReadTaskFile(const std::string& path, std::vector<TaskStep>& steps, TaskFileDamage* damage = nullptr);
// The error text of a task file that could not be read (the file error, or that it is too long).
std::string TaskFileErrorText(const std::string& path, Status status);
// The note on what reading left out; empty when nothing was.
std::string TaskFileDamageNote(const std::string& path, const TaskFileDamage& damage);
// Leaves out the steps whose view or tilt is out of range, each with its whole group (a stroke or
// a trackball drag with all its records); returns how many visible steps went.
size_t DropUnsoundSteps(std::vector<TaskStep>& steps);

// The working files.
std::string TaskStepsPath();
std::string TaskStepsSessionPath();
std::string TaskStepsNewPath();
// "TaskSteps" read whole: kFileNotFound when it does not exist.
Status ReadTaskSteps(std::vector<TaskStep>& steps);
// The one record at byte `offset` of "TaskSteps": kFileNotFound when the list does not exist,
// kReadError when there is no whole record there.
Status ReadTaskStepAt(int64_t offset, TaskStep& step);
// Replaces "TaskSteps" through "TaskStepsNew" and brings what the panel shows up to date; false
// (with the file error shown, or that a list holds at most kMaxTaskSteps steps) on a failure,
// "TaskSteps" unchanged then.
[[nodiscard]] bool WriteTaskSteps(const std::vector<TaskStep>& steps);

// The number of steps that are not BS, BE or RX.
int32_t CountSteps(const std::vector<TaskStep>& steps);
// Reads "TaskSteps" once, brings what the panel shows up to date and returns taskStepCount.
int32_t CountSteps();

// What the panel shows, from one read of "TaskSteps" (RefreshTaskList) or from the list in hand
// (ShowTaskList): the cursor kept on a visible step of the list, the first visible line
// following it, the count and the visible lines. Every change of the list or the cursor does
// this once.
void RefreshTaskList();
void ShowTaskList(const std::vector<TaskStep>& steps);
// The number of lines the panel has room for; a change refreshes what it shows.
void SetVisibleLineCount(int32_t lines);

// One record along, then on past continuation steps; a cursor that would leave the list stays
// where it was. The first visible line follows so that the cursor stays in view.
void CursorDown();
void CursorUp();
// The visible line the cursor stands on (as last shown).
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

// What the step dialogs change in a step: a stroke's brush settings, a tool's amounts, or a
// colour (KS, KD, KA carry theirs in values 1..3; CC and the procedural paint steps paint with
// the recorded paint colour). Other steps have nothing to change.
enum class StepEditKind { None, Brush, Amount, Colour };
StepEditKind StepEditKindOf(const TaskStep& step);

// The deformation tool whose amounts a step carries (not the trackball's RO and RX); null for
// any other step.
const DeformToolEntry* AmountToolOf(const TaskStep& step);
// An amount as the list and the step dialog show it, the tool's readout: a x 25 / 32 for
// -128..128, a x 25 / 64 for 0..256 from 0, (a - 128) x 25 / 32 for amounts centred on 128
// (each of Stretch's two), (256 - a) x 25 / 64 for Flatten; truncated toward zero.
int StepAmountReadout(DeformKind kind, int amount);
// The amount nearest the tool's neutral value that shows `readout`, within the tool's range.
int StepAmountFromReadout(DeformKind kind, int readout);
// The readouts the tool's range shows: -100..100, or 0..100 for the amounts that start at 0
// (and Flatten).
struct ReadoutRange {
  int minimum = 0, maximum = 0;
};
ReadoutRange StepReadoutRange(DeformKind kind);
// Rewrites the amounts of the tool step at byte `offset`, each kept within the tool's range
// (`second` only for Stretch). False when there is no tool step with amounts there or the list
// cannot be rewritten.
[[nodiscard]] bool EditAmountStep(int64_t offset, int first, int second = 0);

// The colour a colour or paint step carries.
Rgb16 StepColour(const TaskStep& step);
// Rewrites that colour of the step at byte `offset`. False when there is no colour or paint step
// there or the list cannot be rewritten.
[[nodiscard]] bool EditColourStep(int64_t offset, Rgb16 colour);

// The text a step goes by in the list ("Twist", "Paint session", "<The End>", ...).
std::string TaskStepName(const TaskStep& step);

TaskListLine TaskListLineOf(const TaskStep& step, int64_t offset, bool selected);
// The lines from taskRecorder.firstVisibleLine on, at most visibleLineCount of them, as last
// shown.
const std::vector<TaskListLine>& VisibleTaskLines();
// The number of visible steps, as last shown.
int32_t ShownStepCount();

// The strength control: s changed by a horizontal motion and kept within 0..256; its readout
// s x 25 / 64 (per cent).
void ChangeReplayStrength(int motion);
int ReplayStrengthReadout();

}  // namespace tsv
