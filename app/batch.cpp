// batch.cpp: the batch commands.
#include "app/batch.h"

#include <cstdio>

#include "app/command_line.h"
#include "platform/folders.h"
#include "platform/platform_state.h"
#include "platform/preferences.h"
#include "platform/string_table.h"
#include "scene/native_file_info.h"
#include "scene/project.h"
#include "scene/scene_state.h"

namespace tsv {
namespace {

// What every batch command needs: the resource folder, the texts, the preferences (the colours
// of new objects), the scratch folder and an empty scene.
bool StartBatch() {
  InitPlatformDirectories();
  LoadStringTable();
  ReadPreferences();
  CreateTempFolder();
  if (!InitScene()) return false;
  ResetProject();
  return true;
}

int Usage(const char* message) {
  std::fprintf(stderr, "tessivar: %s\n%s", message, UsageText().c_str());
  return 1;
}

int Info(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage("info takes one file");
  NativeFileInfo info = InfoOfNativeFile(args[0]);
  std::fputs(info.text.c_str(), info.ok ? stdout : stderr);
  if (!info.text.empty() && info.text.back() != '\n') std::fputc('\n', info.ok ? stdout : stderr);
  return info.ok ? 0 : 1;
}

int Project(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage("project takes the project file and at least one object file");
  std::vector<std::string> objects(args.begin() + 1, args.end());
  return MakeProjectFromObjects(args[0], objects) == 0 ? 0 : 1;
}

}  // namespace

int RunBatchCommand(const std::string& name, const std::vector<std::string>& args) {
  if (name != "info" && name != "project") return Usage(("unknown command " + name).c_str());
  if (!StartBatch()) {
    std::fputs("tessivar: not enough memory to start\n", stderr);
    return 1;
  }
  int status = name == "info" ? Info(args) : Project(args);
  ShutdownScene();
  return status;
}

}  // namespace tsv
