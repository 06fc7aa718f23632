// reset_all_state.cpp: the resets of every subsystem, upper layers first (they point into the
// lower ones).
#include "tests/support/reset_all_state.h"

#include "core/app_state.h"
#include "formats/formats_state.h"
#include "letters/letters.h"
#include "mesh/mesh_state.h"
#include "paint/paint_state.h"
#include "platform/events.h"
#include "platform/folders.h"
#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/relative_drag.h"
#include "platform/stream.h"
#include "platform/string_table.h"
#include "platform/tablet.h"
#include "render/render_state.h"
#include "scene/native_files.h"
#include "scene/scene_state.h"
#include "scene/task_steps.h"
#include "tasks/task_recorder.h"
#include "tools/brush.h"
#include "tools/brush_session.h"
#include "tools/brush_settings.h"
#include "tools/quorvels.h"
#include "tools/tool_state.h"
#include "ui/dialog.h"
#include "ui/rooms.h"

namespace tsv::test {

void ResetAllState() {
  ResetAppState();
  ResetUiState();
  ResetDialogState();
  ResetTaskRecorder();
  ResetFormatsState();
  ResetLetterState();
  ResetPaintState();
  ResetMeshState();
  ResetBrushSession();
  ResetBrushEngine();
  ResetBrushSettings();
  ResetQuorvelState();
  ResetToolState();
  ShutdownSoftDraw();
  ResetTaskSteps();
  ResetNativeFilesState();
  ResetScene();
  ResetStream();
  ResetStringTable();
  ResetTablet();
  ResetRelativeDrag();
  ResetInput();
  SetDefaultPreferences(preferences);
  ResetPlatformState();
  // Every test starts with an empty scratch folder of its own process: test programs that run side
  // by side never meet in the shared one.
  RemoveProcessTempFolder();
  (void)CreateProcessTempFolder();
}

}  // namespace tsv::test
