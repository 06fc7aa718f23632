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

bool IsFolder(const std::string& path) {
  struct stat info;
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The word a file type gives the kind of its dialogs: files that serve one purpose share a word,
// so that opening a texture and finding a lost picture start in the same folder.
struct KindWord {
  uint32_t type;
  const char* word;
};
constexpr KindWord kKindWords[] = {
    {FourCC("CMF "), "object"},   {FourCC("CIF "), "object"},   {FourCC("CMA "), "project"},
    {FourCC("CMO "), "optics"},   {FourCC("TSKS"), "tasks"},    {FourCC("MTBL"), "quorvels"},
    {FourCC("MooV"), "movie"},    {FourCC("CMSW"), "swatches"}, {FourCC("TIFF"), "picture"},
    {FourCC("JPEG"), "picture"},  {FourCC("PNGf"), "picture"},  {FourCC("BMP "), "picture"},
    {FourCC("GIFf"), "picture"},  {FourCC("EIDI"), "picture"},  {FourCC("PICT"), "picture"},
    {FourCC("TEXT"), "exchange"}, {FourCC("FACT"), "exchange"}, {FourCC("STUD"), "exchange"},
    {FourCC("LWOB"), "exchange"}, {FourCC("VRML"), "exchange"}, {FourCC("WAVF"), "exchange"},
};

const char* KindWordOfType(uint32_t type) {
  for (const KindWord& w : kKindWords) {
    if (w.type == type) return w.word;
  }
  return "file";
}

FileDialogRequest RequestFor(const FileSpec& spec, const std::string& kind, std::string_view givenFolder) {
  FileDialogRequest request;
  for (int i = 0; i < std::min<int>(spec.typeCount, kMaxFileTypes); ++i) request.types.push_back(spec.fileTypes[i]);
  request.proposedName = FileNameOfPath(InternalToPath(spec.name));
  const auto remembered = platform.settings.dialogFolders.find(kind);
  if (IsFolder(std::string(givenFolder))) {
    request.folder = std::string(givenFolder);
  } else if (remembered != platform.settings.dialogFolders.end() && IsFolder(remembered->second)) {
    request.folder = remembered->second;
  } else {
    // A folder remembered from an earlier start that is gone now gives way to this run's.
    request.folder = platform.rememberedFolder.empty() ? platform.startDirectory : platform.rememberedFolder;
  }
  return request;
}

// After a choice: the next dialog of this run, and every later dialog of the same kind, start in
// the folder the file was chosen in. Only absolute folders can be stored.
void RememberFolder(const std::string& kind, const std::string& folder) {
  platform.rememberedFolder = folder;
  if (!folder.empty() && folder[0] == '/') platform.settings.dialogFolders[kind] = folder;
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
int ConsoleServices::AskChoice(std::string_view text, const std::vector<std::string>& answers) {
  Print(text);
  return std::max(0, int(answers.size()) - 1);
}

UserServices& Services() { return platform.services ? *platform.services : platform.console; }
void SetServices(UserServices* services) { platform.services = services; }

void ShowStopMessage(std::string_view text) { Services().ShowStopMessage(text); }
bool AskMessage(std::string_view text) { return Services().AskMessage(text); }
void ShowAlert(std::string_view text) { Services().ShowAlert(text); }

int AskChoice(std::string_view text, const std::vector<std::string>& answers) {
  if (answers.empty()) return 0;
  const int chosen = Services().AskChoice(text, answers);
  // Whatever the services answer, the caller gets one of its answers; anything else is Cancel.
  return chosen >= 0 && chosen < int(answers.size()) ? chosen : int(answers.size()) - 1;
}

std::string FileDialogKind(const FileSpec& spec, bool save) {
  const uint32_t type = spec.typeCount > 0 ? spec.fileTypes[0] : 0;
  return std::string(save ? "save-" : "open-") + KindWordOfType(type);
}

Status AskOpenFile(FileSpec& spec, int* filterIndex, std::string_view title) {
  const std::string kind = FileDialogKind(spec, false);
  FileDialogRequest request = RequestFor(spec, kind, {});
  request.title = std::string(title);
  FileChoice choice;
  if (!Services().ChooseOpenFile(request, choice)) return kCancelled;
  struct stat info;
  CountedString internal;
  if (::stat(choice.path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || !PathToInternal(choice.path, internal)) {
    ShowStopMessage(GetString(kErrFileError));
    return kFileNotFound;
  }
  RememberFolder(kind, FolderOfPath(choice.path));
  platform.chosenFilterType = TypeOfFilter(request, choice.filterIndex);
  spec.name = internal;
  if (spec.typeCount == 0) spec.typeCount = 1;
  spec.fileTypes[0] = FileTypeFromName(choice.path);
  if (filterIndex != nullptr) *filterIndex = choice.filterIndex;
  return kNoError;
}

Status AskSaveFile(FileSpec& spec, const PreviewPane* objectPreview, std::string_view title, std::string_view folder) {
  const std::string kind = FileDialogKind(spec, true);
  FileDialogRequest request = RequestFor(spec, kind, folder);
  request.title = std::string(title);
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
  RememberFolder(kind, FolderOfPath(PathOfSpec(chosen)));
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
