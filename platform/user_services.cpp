// user_services.cpp: the free functions every Part calls, the dialog bookkeeping they share, and
// the console services used until a window or a test installs its own.
#include "platform/user_services.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "platform/files.h"
#include "platform/platform_state.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"

namespace tsv {
namespace {

void Print(std::string_view text) { std::fprintf(stderr, "%.*s\n", int(text.size()), text.data()); }

FileDialogRequest RequestFor(const FileSpec& spec) {
  FileDialogRequest request;
  for (int i = 0; i < std::min<int>(spec.typeCount, kMaxFileTypes); ++i) request.types.push_back(spec.fileTypes[i]);
  request.proposedName = FileNameOfPath(InternalToPath(spec.name));
  request.folder = platform.rememberedFolder.empty() ? platform.startDirectory : platform.rememberedFolder;
  return request;
}

// The type behind a filter index: 1 is the first type; "All formats" and "All files" give 0.
uint32_t TypeOfFilter(const FileDialogRequest& request, int filterIndex) {
  if (filterIndex < 1 || filterIndex > int(request.types.size())) return 0;
  return request.types[size_t(filterIndex - 1)];
}

}  // namespace

void ConsoleServices::ShowStopMessage(std::string_view text) { Print(text); }
bool ConsoleServices::AskMessage(std::string_view text) {
  Print(text);
  return false;
}
void ConsoleServices::ShowAlert(std::string_view text) { Print(text); }

UserServices& Services() { return platform.services ? *platform.services : platform.console; }
void SetServices(UserServices* services) { platform.services = services; }

void ShowStopMessage(std::string_view text) { Services().ShowStopMessage(text); }
bool AskMessage(std::string_view text) { return Services().AskMessage(text); }
void ShowAlert(std::string_view text) { Services().ShowAlert(text); }

Status AskOpenFile(FileSpec& spec, int* filterIndex, std::string_view title) {
  FileDialogRequest request = RequestFor(spec);
  request.title = std::string(title);
  FileChoice choice;
  if (!Services().ChooseOpenFile(request, choice)) return kCancelled;
  struct stat info;
  CountedString internal;
  if (::stat(choice.path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || !PathToInternal(choice.path, internal)) {
    ShowStopMessage(GetString(kErrFileError));
    return kFileNotFound;
  }
  platform.rememberedFolder = FolderOfPath(choice.path);
  platform.chosenFilterType = TypeOfFilter(request, choice.filterIndex);
  spec.name = internal;
  if (spec.typeCount == 0) spec.typeCount = 1;
  spec.fileTypes[0] = FileTypeFromName(choice.path);
  if (filterIndex != nullptr) *filterIndex = choice.filterIndex;
  return kNoError;
}

Status AskSaveFile(FileSpec& spec, const PreviewPane* objectPreview) {
  FileDialogRequest request = RequestFor(spec);
  if (objectPreview != nullptr) request.objectPreview = *objectPreview;
  FileChoice choice;
  if (!Services().ChooseSaveFile(request, choice)) return kCancelled;
  uint32_t type = TypeOfFilter(request, choice.filterIndex);
  if (type == 0 && !request.types.empty()) type = request.types[0];
  CountedString internal;
  if (!PathToInternal(choice.path, internal) || !AddExtension(internal, type)) {
    ShowStopMessage(GetString(kErrFileError));
    return kMalformed;
  }
  FileSpec chosen = spec;
  chosen.name = internal;
  if (chosen.typeCount == 0) chosen.typeCount = 1;
  chosen.fileTypes[0] = type;
  // Nothing is created here: the save that follows writes beside the target and puts the file in
  // place only when the whole write succeeded, so a failed save leaves no empty file behind.
  platform.rememberedFolder = FolderOfPath(PathOfSpec(chosen));
  platform.chosenFilterType = type;
  spec = chosen;
  return kNoError;
}

bool AskColor(Rgb16 initial, Rgb16& chosen) {
  Rgb16 picked;
  if (!Services().ChooseColor(initial, picked)) return false;
  // The chooser works in 8-bit components; settings keep them in the high byte.
  chosen = {uint16_t((picked.red >> 8) << 8), uint16_t((picked.green >> 8) << 8), uint16_t((picked.blue >> 8) << 8)};
  return true;
}

void ShowProgress(std::string_view text, int top) { Services().ShowProgress(text, top); }
void AdvanceProgress(int value, int top) { Services().AdvanceProgress(std::clamp(value, 0, 128), top); }
void HideProgress() { Services().HideProgress(); }

}  // namespace tsv
