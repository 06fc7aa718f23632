// task_steps.h: the service through which every recordable operation reports itself once it has
// finished: a step code of two letters and up to four values. The task recorder, which sits above
// the tools, installs its hook here; with no hook installed a step is simply not recorded.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tsv {

// Two ASCII letters in 16 bits, the first in the high byte ("SC" = 0x5343).
constexpr uint16_t TaskStepCode(const char (&letters)[3]) {
  return uint16_t((uint16_t(uint8_t(letters[0])) << 8) | uint8_t(letters[1]));
}
// The two letters of a code ("SC").
std::string TaskStepCodeText(uint16_t code);

using TaskStepHook =
    std::function<void(uint16_t code, int16_t value1, int16_t value2, int16_t value3, int16_t value4)>;

struct TaskStepService {
  TaskStepHook hook;  // installed by the task recorder; empty: nothing is recorded
};

extern TaskStepService taskSteps;

// Hands one finished step to the recorder, when one is installed.
void RecordTaskStep(uint16_t code, int16_t value1 = 0, int16_t value2 = 0, int16_t value3 = 0,
                    int16_t value4 = 0);

// No hook (tests).
void ResetTaskSteps();

}  // namespace tsv
