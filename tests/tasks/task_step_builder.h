// task_step_builder.h: a task step built by hand for tests, with the brush settings and view a
// recording would give it.
#pragma once

#include "tasks/task_record.h"

namespace tsv::test {

inline TaskStep MakeTaskStep(const char (&code)[3], int a = 0, int b = 0, int g = 0, int h = 0) {
  TaskStep s;
  s.code = TaskStepCode(code);
  s.value1 = int16_t(a);
  s.value2 = int16_t(b);
  s.value3 = int16_t(g);
  s.value4 = int16_t(h);
  s.brushDepth = 64;
  s.brushSize = 128;
  s.spacingRepeat = 128;
  s.sideShape = 1;
  s.room = 1;
  return s;
}

}  // namespace tsv::test
