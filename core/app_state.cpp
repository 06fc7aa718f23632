// app_state.cpp: the application core's state record.
#include "core/app_state.h"

namespace tsv {

AppState app;

void ResetAppState() { app = AppState{}; }

}  // namespace tsv
