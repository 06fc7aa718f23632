// task_list_fuzz.cpp: any bytes as a task list file, read as "Open Task List..." reads one, with
// the texts it would show for a failure or for what it left out.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "tasks/task_recorder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tsv;
  const std::string path = fuzz::WriteFuzzFile("Input.tsk", std::span<const uint8_t>(data, size));
  std::vector<TaskStep> steps;
  TaskFileDamage damage;
  const Status status = ReadTaskFile(path, steps, &damage);
  if (status != kNoError) {
    if (TaskFileErrorText(path, status).empty()) std::abort();
  } else {
    if (steps.size() > kMaxTaskSteps) std::abort();
    const bool damaged = damage.unsoundSteps != 0 || damage.trailingBytes != 0;
    if (damaged == TaskFileDamageNote(path, damage).empty()) std::abort();
    for (const TaskStep& step : steps) {
      if (!HasSoundView(step)) std::abort();  // unsound steps are left out
    }
  }
  fuzz::ForgetShownTexts();
  return 0;
}
