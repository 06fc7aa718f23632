// task_replay.h: replaying recorded task steps on an object: one step (RunTaskStep) with the
// recorded view and brush settings and the replay strength, the four replay commands of the task
// panel over "TaskSteps", and the replay batch procedure over a task file.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/status.h"
#include "tasks/task_record.h"

namespace tsv {

struct SceneObject;

// Amounts under the replay strength s (0..256), truncated toward zero: neutral-0 amounts a s /
// 256, amounts centred on 128 (a - 128) s / 256 + 128, Flatten's 256 - (256 - a) s / 256.
inline int ScaleNeutralAmount(int a, int s) { return a * s / 256; }
inline int ScaleCentredAmount(int a, int s) { return (a - 128) * s / 256 + 128; }
inline int ScaleFlattenAmount(int a, int s) { return 256 - (256 - a) * s / 256; }

// One step on the current object with the undo copy: 0 when the list ends (EN, or the cancel
// gesture), else 1. A step whose code the recorder does not know, an MA step of an unknown kind,
// and a step whose view or tilt is out of range (HasSoundView) are passed over (1). Every brush
// and paint setting the step takes from its record, and the alternate colour that painting sets,
// is given back afterwards.
int RunTaskStep(const TaskStep& step);
// The same on a given object (the batch procedure's object is not in the object table).
int RunTaskStepOn(const TaskStep& step, SceneObject* object, SceneObject* undo);

// The commands over "TaskSteps". Each needs a current object; a missing "TaskSteps" shows
// "Error: There are no recorded Task steps.". The view in force before is restored afterwards.
void RunAllSteps();
void RunFromCursor();
void RunToCursor();
void RunStep();

// Replays `steps` from `first` up to, not including, `end` (clamped to the list) on `object`,
// stopping at a 0 from RunTaskStepOn. The view is saved and restored around the run. Steps whose
// view or tilt is out of range are passed over, and a note afterwards says how many. Returns the
// steps run.
size_t ReplaySteps(std::span<const TaskStep> steps, size_t first, size_t end, SceneObject* object,
                   SceneObject* undo);

// The replay batch command: opens the object file `inPath`, replays every step of the task file
// `tasksPath` at strength `strength` (0..256), commits and saves the result to `outPath`. A
// strength out of range is refused with its message (kMalformed); a task file that cannot be read
// gives its status and its message (kMalformed for one longer than a task list can be), an object
// that cannot be opened -39, one that cannot be written 1. The task file is read as the task
// panel opens it: what was left out of it is noted.
Status ReplayTaskFile(const std::string& tasksPath, const std::string& inPath, const std::string& outPath,
                      int strength);

}  // namespace tsv
