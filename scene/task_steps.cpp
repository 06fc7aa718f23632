// task_steps.cpp: the step-recording service below the tools.
#include "scene/task_steps.h"

namespace tsv {

TaskStepService taskSteps;

std::string TaskStepCodeText(uint16_t code) {
  return std::string{char(code >> 8), char(code & 0xFF)};
}

void RecordTaskStep(uint16_t code, int16_t value1, int16_t value2, int16_t value3, int16_t value4) {
  if (taskSteps.hook) taskSteps.hook(code, value1, value2, value3, value4);
}

void ResetTaskSteps() { taskSteps = TaskStepService{}; }

}  // namespace tsv
