// tool_state.cpp: the tools' state record.
#include "tools/tool_state.h"

namespace tsv {

ToolState toolState;

void ResetToolState() { toolState = ToolState{}; }

}  // namespace tsv
