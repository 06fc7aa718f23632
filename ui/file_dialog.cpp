// file_dialog.cpp: the open and save dialogs. One chooser record keeps the folder, the filter and
// the rows the list shows; the dialog's callbacks keep its items in step with it, and closing with
// OK is checked here while the dialog stays on show: a folder is entered, a name that cannot be
// used keeps the dialog open with a message, and only a usable path ends the dialog.
#include "ui/file_dialog.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

#include "platform/counted_string.h"
#include "platform/events.h"
#include "platform/file_spec.h"
#include "platform/string_table.h"
#include "scene/native_files.h"
#include "scene/preview_file.h"

namespace tsv {
namespace {

constexpr int kWidth = 640, kHeight = 440;
constexpr int kMargin = 12;
constexpr int kButtonWidth = 72, kButtonHeight = 24, kButtonGap = 6;
constexpr int kListTop = 44;
constexpr int kListRows = 16;
constexpr int kPaneWidth = 204;
constexpr int kLabelWidth = 92;   // "File name:" and "Files of type:"
constexpr int kFieldLeft = kMargin + kLabelWidth + 4;
constexpr int kOkWidth = 84;
constexpr int kFilterRows = 4;
constexpr int kFactRow = 16, kDescriptionRow = 15;
constexpr uint32_t kMessageColour = Rgb(176, 32, 32);
constexpr uint32_t kObjectFileType = FourCC("CMF ");
// Two presses on the same row within this time open it, as the desktop's double-click does.
constexpr uint32_t kDoubleClickTicks = TicksFromMilliseconds(500);

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = LowerAscii(c);
  return lower;
}

bool EndsWithExtension(std::string_view name, std::string_view extension) {
  std::string lower = Lower(name);
  return lower.size() > extension.size() && lower[lower.size() - extension.size() - 1] == '.' &&
         std::string_view(lower).substr(lower.size() - extension.size()) == extension;
}

// The order of names in the list: letters without regard to case, and runs of digits by their
// value, so that "shape 2" comes before "shape 10". Names equal that way keep a fixed order by
// their bytes.
bool NameBefore(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      size_t endA = i, endB = j;
      while (endA < a.size() && IsDigit(a[endA])) ++endA;
      while (endB < b.size() && IsDigit(b[endB])) ++endB;
      while (i + 1 < endA && a[i] == '0') ++i;
      while (j + 1 < endB && b[j] == '0') ++j;
      if (endA - i != endB - j) return endA - i < endB - j;
      if (int order = a.compare(i, endA - i, b, j, endB - j); order != 0) return order < 0;
      i = endA;
      j = endB;
      continue;
    }
    const unsigned char ca = uint8_t(LowerAscii(a[i])), cb = uint8_t(LowerAscii(b[j]));
    if (ca != cb) return ca < cb;
    ++i;
    ++j;
  }
  if ((i == a.size()) != (j == b.size())) return i == a.size();
  return a < b;
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) return entry->pw_dir;
  return "/";
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The absolute, tidied form of a path ("/a/b/../c/" gives "/a/c").
std::string Tidy(const std::string& path) {
  std::string tidy = std::filesystem::path(path).lexically_normal().string();
  while (tidy.size() > 1 && tidy.back() == '/') tidy.pop_back();
  return tidy.empty() ? "/" : tidy;
}

std::string Join(const std::string& folder, std::string_view name) {
  return Tidy(folder == "/" ? "/" + std::string(name) : folder + "/" + std::string(name));
}

std::string ParentFolder(const std::string& folder) {
  std::string parent = std::filesystem::path(folder).parent_path().string();
  return parent.empty() ? "/" : parent;
}

// A typed name: absolute, from the home folder ("~/..."), or relative to the folder shown.
std::string ResolveTyped(const std::string& folder, const std::string& typed) {
  if (typed[0] == '/') return Tidy(typed);
  if (typed == "~") return HomeFolder();
  if (typed.rfind("~/", 0) == 0) return Join(HomeFolder(), typed.substr(2));
  return Join(folder, typed);
}

std::string Trimmed(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

// The callers store every chosen path in internal form, which holds 255 bytes and no ':' of a
// Linux path: a path that cannot be stored is refused here, while the dialog is still open.
bool Storable(const std::string& path) {
  CountedString internal;
  return PathToInternal(path, internal);
}

// The folder text cut at its start, so the part nearest the files stays readable.
std::string FitPathText(std::string_view path, int width) {
  if (TextWidth(FontKind::Normal, path) <= width) return std::string(path);
  for (size_t cut = 1; cut < path.size(); ++cut) {
    if (IsTrailByte(path[cut])) continue;
    std::string shown = "\xE2\x80\xA6" + std::string(path.substr(cut));  // "…"
    if (TextWidth(FontKind::Normal, shown) <= width) return shown;
  }
  return FitText(FontKind::Normal, path, width);
}

// The type a save through filter `filterIndex` writes: the filter's own type, else (for "All
// formats" and "All files") the first type of the request, as the save that follows does.
uint32_t SaveTypeOf(const FileDialogRequest& request, int filterIndex) {
  if (filterIndex >= 1 && filterIndex <= int(request.types.size())) return request.types[size_t(filterIndex - 1)];
  return request.types.empty() ? 0 : request.types[0];
}

std::string WithExtension(const std::string& path, uint32_t type) {
  const FileTypeEntry* entry = FindFileType(type);
  if (entry == nullptr || EndsWithExtension(path, entry->extension)) return path;
  return path + "." + entry->extension;
}

// A name ending in the extension of one of the request's types takes that of `type` instead, so
// that choosing another format in the save dialog renames "Rock.dxf" to "Rock.obj" rather than
// saving "Rock.dxf.obj".
std::string SwapExtension(const FileDialogRequest& request, const std::string& name, uint32_t type) {
  const FileTypeEntry* target = FindFileType(type);
  if (target == nullptr) return name;
  for (uint32_t other : request.types) {
    const FileTypeEntry* entry = FindFileType(other);
    if (entry != nullptr && EndsWithExtension(name, entry->extension)) {
      return name.substr(0, name.size() - std::strlen(entry->extension)) + target->extension;
    }
  }
  return name;
}

struct Row {
  std::string name;
  bool folder = false;
};

// The dialog's state beside its items.
struct Chooser {
  Chooser(const FileDialogRequest& r, bool forSave) : request(r), save(forSave) {}
  const FileDialogRequest& request;
  bool save = false;
  bool withPreview = false;
  std::string folder;
  int filterIndex = 1;
  std::vector<Row> rows;
  // The name field was typed into since the program last filled it: OK then means that name,
  // even while a folder is chosen in the list.
  bool nameTyped = false;
  std::string lastFileName;  // what the program last put into the name field
  Canvas previewPicture;
  // Double-click watch (see WatchPresses).
  int lastPressRow = -1;
  uint32_t lastPressWhen = 0;
  bool openOnRelease = false;
};

DialogItem& ItemOf(Dialog& dialog, int id) { return dialog.items[size_t(FindDialogItem(dialog, id))]; }

void SetMessage(Dialog& dialog, std::string text) { ItemOf(dialog, kFileItemMessage).text = std::move(text); }

void SetName(Chooser& chooser, Dialog& dialog, const std::string& name) {
  ItemOf(dialog, kFileItemName).text = name;
  chooser.lastFileName = name;
  chooser.nameTyped = false;
}

void ShowPreview(Chooser& chooser, Dialog& dialog, const std::string& path) {
  if (!chooser.withPreview) return;
  // A dialog for one object shows that object; otherwise the preview file of the selected one.
  PreviewPane pane = chooser.request.objectPreview;
  if (!pane.available && !path.empty() && EndsWithExtension(path, "cmf")) pane = PreviewPaneForObjectFile(path);
  const bool shown = pane.available && pane.pixels.size() == size_t(kPreviewSide) * kPreviewSide;
  chooser.previewPicture = Canvas{};
  if (shown) {
    chooser.previewPicture.width = chooser.previewPicture.height = kPreviewSide;
    chooser.previewPicture.pixels = pane.pixels;
  }
  ItemOf(dialog, kFileItemPreviewType).text = shown ? pane.typeText : "";
  ItemOf(dialog, kFileItemPreviewCounts).text =
      shown ? FormatString(kNativeInfoCounts, {pane.pointCountText, pane.triangleCountText}) : "";
  ItemOf(dialog, kFileItemPreviewTexture).text = shown ? FormatString(kNativeInfoTexture, {pane.textureText}) : "";
  ItemOf(dialog, kFileItemPreviewPainted).text = shown ? FormatString(kNativeInfoPainted, {pane.paintedText}) : "";
  std::vector<std::string> lines;
  const int width = ItemOf(dialog, kFileItemPreviewDescription).rect.width;
  if (shown) lines = WrapText(FontKind::Normal, pane.description, width);
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  if (lines.size() > size_t(kPreviewDescriptionLines)) {
    // The last line shown says that the text goes on.
    std::string& last = lines[size_t(kPreviewDescriptionLines - 1)];
    last = FitText(FontKind::Normal, last + " \xE2\x80\xA6", width);
  }
  for (int k = 0; k < kPreviewDescriptionLines; ++k) {
    ItemOf(dialog, kFileItemPreviewDescription + k).text = size_t(k) < lines.size() ? lines[size_t(k)] : "";
  }
}

// Fills the list from the folder and the filter; the choice in the list starts afresh.
void ShowFolder(Chooser& chooser, Dialog& dialog) {
  FolderListing listing = ListFolder(chooser.folder, chooser.request, chooser.filterIndex);
  chooser.rows.clear();
  DialogItem& list = ItemOf(dialog, kFileItemList);
  list.entries.clear();
  for (std::string& name : listing.folders) {
    list.entries.push_back(name + "/");
    chooser.rows.push_back({std::move(name), true});
  }
  for (std::string& name : listing.files) {
    list.entries.push_back(name);
    chooser.rows.push_back({std::move(name), false});
  }
  list.selected = -1;
  list.firstRow = 0;
  DialogItem& folder = ItemOf(dialog, kFileItemFolder);
  folder.text = FitPathText(chooser.folder, folder.rect.width);
  folder.hover = GetString(kHoverFileFolder) + ": " + chooser.folder;
  SetMessage(dialog, listing.error.empty() ? "" : FormatString(kFileDialogCantRead, {listing.error}));
  ShowPreview(chooser, dialog, {});
  chooser.lastPressRow = -1;
  chooser.openOnRelease = false;
}

void Navigate(Chooser& chooser, Dialog& dialog, const std::string& folder) {
  if (folder.empty()) return;
  chooser.folder = Tidy(folder);
  ShowFolder(chooser, dialog);
}

void ListChanged(Chooser& chooser, Dialog& dialog) {
  const DialogItem& list = ItemOf(dialog, kFileItemList);
  SetMessage(dialog, {});
  if (list.selected < 0 || list.selected >= int(chooser.rows.size())) return;
  const Row& row = chooser.rows[size_t(list.selected)];
  if (row.folder) {
    // The name typed so far stays; OK enters the folder until the name is typed into again.
    chooser.nameTyped = false;
    ShowPreview(chooser, dialog, {});
    return;
  }
  SetName(chooser, dialog, row.name);
  ShowPreview(chooser, dialog, Join(chooser.folder, row.name));
}

void FilterChanged(Chooser& chooser, Dialog& dialog) {
  const DialogItem& filter = ItemOf(dialog, kFileItemFilter);
  if (filter.selected < 0 || filter.selected + 1 == chooser.filterIndex) return;
  chooser.filterIndex = filter.selected + 1;
  if (chooser.save && chooser.filterIndex <= int(chooser.request.types.size())) {
    DialogItem& name = ItemOf(dialog, kFileItemName);
    std::string renamed = SwapExtension(chooser.request, name.text, chooser.request.types[size_t(chooser.filterIndex - 1)]);
    if (renamed != name.text) {
      const bool typed = chooser.nameTyped;
      SetName(chooser, dialog, renamed);
      chooser.nameTyped = typed;
    }
  }
  ShowFolder(chooser, dialog);
}

void OnChange(Chooser& chooser, Dialog& dialog, int index) {
  switch (dialog.items[size_t(index)].id) {
    case kFileItemList: ListChanged(chooser, dialog); break;
    case kFileItemName:
      chooser.nameTyped = true;
      SetMessage(dialog, {});
      break;
    case kFileItemFilter: FilterChanged(chooser, dialog); break;
    default: break;
  }
}

void OnCommand(Chooser& chooser, Dialog& dialog, int index) {
  switch (dialog.items[size_t(index)].id) {
    case kFileItemUp: Navigate(chooser, dialog, ParentFolder(chooser.folder)); break;
    case kFileItemHome: Navigate(chooser, dialog, HomeFolder()); break;
    case kFileItemProject: Navigate(chooser, dialog, ProjectFolderPath()); break;
    default: break;
  }
}

// The toolkit reports a click on a list row only when it changes the choice, so the second press
// of a double-click goes unreported. The redraw hook sees every press, though: a second press on
// the chosen row soon after the first is answered, once the button is released, with a Return,
// which the dialog takes like OK.
void WatchPresses(Chooser& chooser, const Canvas& screen, const Dialog& shown) {
  const int index = FindDialogItem(shown, kFileItemList);
  if (index < 0) return;
  const EventRecord& event = input.event;
  if (event.what == kMouseDown) {
    const DialogItem& list = shown.items[size_t(index)];
    Rect rect = ItemScreenRect(shown, DialogWindowRect(shown, screen.width, screen.height), index);
    int row = ListRowAt(rect, int(list.entries.size()), list.firstRow, event.whereH, event.whereV);
    if (row >= 0 && row == chooser.lastPressRow && row == list.selected &&
        event.when - chooser.lastPressWhen <= kDoubleClickTicks) {
      chooser.openOnRelease = true;
      chooser.lastPressRow = -1;
    } else {
      chooser.openOnRelease = false;
      chooser.lastPressRow = row;
      chooser.lastPressWhen = event.when;
    }
  } else if (event.what == kMouseUp && chooser.openOnRelease) {
    chooser.openOnRelease = false;
    EventRecord open = event;
    open.what = kKeyDown;
    open.message = kCharReturn;
    open.modifiers = 0;
    input.queue.push_front(open);
  }
}

Dialog MakeLayout(Chooser& chooser) {
  const FileDialogRequest& request = chooser.request;
  Dialog dialog;
  dialog.title = !request.title.empty() ? request.title
                                        : GetString(chooser.save ? kFileDialogSaveTitle : kFileDialogOpenTitle);
  dialog.width = kWidth;
  dialog.height = kHeight;
  auto withId = [&dialog](int index, int id) {
    dialog.items[size_t(index)].id = id;
    return index;
  };

  // Geometry: the folder row with the buttons that go elsewhere; the list, with the preview pane
  // beside it when objects are opened; name and filter, with OK and Cancel beside them.
  const int projectLeft = kWidth - kMargin - kButtonWidth;
  const int homeLeft = projectLeft - kButtonGap - kButtonWidth;
  const int upLeft = homeLeft - kButtonGap - kButtonWidth;
  const int listHeight = 2 + kListRows * kListRowHeight;
  const int listWidth = chooser.withPreview ? kWidth - 3 * kMargin - kPaneWidth : kWidth - 2 * kMargin;
  const int nameTop = kListTop + listHeight + 12;
  const int filterTop = nameTop + 30;
  const int okLeft = kWidth - kMargin - kOkWidth;
  const int fieldWidth = okLeft - 12 - kFieldLeft;
  const int messageTop = filterTop + 2 + kFilterRows * kListRowHeight + 4;

  // The controls in the order Tab visits them; the name field comes first and has the focus.
  const std::string nameHover = GetString(kHoverFileName);
  const std::string filterHover = GetString(chooser.save ? kHoverFileTypeSave : kHoverFileTypeOpen);
  withId(AddTextField(dialog, {kFieldLeft, nameTop, fieldWidth, 22}, {}, nameHover), kFileItemName);
  withId(AddList(dialog, {kMargin, kListTop, listWidth, listHeight}, {}, -1, GetString(kHoverFileList)), kFileItemList);
  withId(AddList(dialog, {kFieldLeft, filterTop, fieldWidth, 2 + kFilterRows * kListRowHeight},
                 FileFilterEntries(request), chooser.filterIndex - 1, filterHover),
         kFileItemFilter);
  AddButton(dialog, {okLeft, nameTop - 1, kOkWidth, kButtonHeight}, GetString(kDialogOk), ButtonRole::Ok,
            GetString(kHoverDialogOk));
  AddButton(dialog, {okLeft, filterTop, kOkWidth, kButtonHeight}, GetString(kDialogCancel), ButtonRole::Cancel,
            GetString(kHoverDialogCancel));
  withId(AddButton(dialog, {upLeft, kMargin, kButtonWidth, kButtonHeight}, GetString(kFileDialogUp), ButtonRole::Command,
                   GetString(kHoverFileUp)),
         kFileItemUp);
  withId(AddButton(dialog, {homeLeft, kMargin, kButtonWidth, kButtonHeight}, GetString(kFileDialogHome),
                   ButtonRole::Command, GetString(kHoverFileHome)),
         kFileItemHome);
  int project = withId(AddButton(dialog, {projectLeft, kMargin, kButtonWidth, kButtonHeight},
                                 GetString(kFileDialogProject), ButtonRole::Command, GetString(kHoverFileProject)),
                       kFileItemProject);
  dialog.items[size_t(project)].enabled = !ProjectFolderPath().empty();

  withId(AddLabel(dialog, {kMargin, kMargin, upLeft - 8 - kMargin, kButtonHeight}, {}), kFileItemFolder);
  AddLabel(dialog, {kMargin, nameTop, kLabelWidth, 22}, GetString(kFileDialogFileName), {}, nameHover);
  AddLabel(dialog, {kMargin, filterTop, kLabelWidth, 22}, GetString(kFileDialogFileType), {}, filterHover);
  LabelStyle warning;
  warning.colour = kMessageColour;
  withId(AddLabel(dialog, {kMargin, messageTop, kWidth - 2 * kMargin, kHeight - messageTop - 4}, {}, warning),
         kFileItemMessage);

  if (chooser.withPreview) {
    Rect frame = {kWidth - kMargin - kPaneWidth, kListTop - 4, kPaneWidth, listHeight + 4};
    withId(AddGroup(dialog, frame, GetString(kFileDialogPreview)), kFileItemPreviewGroup);
    Rect inside = GroupContentRect(frame);
    const std::string hover = GetString(kHoverFilePreview);
    const int side = kPreviewSide + 2;
    withId(AddPicture(dialog, {inside.left + (inside.width - side) / 2, inside.top, side, side}, &chooser.previewPicture,
                      hover),
           kFileItemPreviewPicture);
    int top = inside.top + side + 6;
    const int facts[] = {kFileItemPreviewType, kFileItemPreviewCounts, kFileItemPreviewTexture, kFileItemPreviewPainted};
    for (int id : facts) {
      LabelStyle style;
      if (id == kFileItemPreviewType) style.font = FontKind::Bold;
      withId(AddLabel(dialog, {inside.left, top, inside.width, kFactRow}, {}, style, hover), id);
      top += kFactRow;
    }
    for (int k = 0; k < kPreviewDescriptionLines; ++k) {
      withId(AddLabel(dialog, {inside.left, top, inside.width, kDescriptionRow}, {}, {}, hover),
             kFileItemPreviewDescription + k);
      top += kDescriptionRow;
    }
  }

  dialog.onChange = [&chooser](Dialog& d, int index) { OnChange(chooser, d, index); };
  dialog.onCommand = [&chooser](Dialog& d, int index) { OnCommand(chooser, d, index); };
  return dialog;
}

// OK was pressed: the path it chooses, or nothing when the dialog stays open (a folder was entered
// or a message tells what is wrong).
std::optional<std::string> Accept(Chooser& chooser, Dialog& dialog) {
  const DialogItem& list = ItemOf(dialog, kFileItemList);
  if (list.selected >= 0 && list.selected < int(chooser.rows.size()) && chooser.rows[size_t(list.selected)].folder &&
      !chooser.nameTyped) {
    Navigate(chooser, dialog, Join(chooser.folder, chooser.rows[size_t(list.selected)].name));
    return std::nullopt;
  }
  const std::string typed = Trimmed(ItemOf(dialog, kFileItemName).text);
  if (typed.empty()) {
    SetMessage(dialog, GetString(kFileDialogNoName));
    return std::nullopt;
  }
  std::string path = ResolveTyped(chooser.folder, typed);
  struct stat info;
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    // A typed folder is gone to; the save dialog keeps the name it had for the file.
    Navigate(chooser, dialog, path);
    SetName(chooser, dialog, chooser.save ? chooser.lastFileName : std::string());
    return std::nullopt;
  }
  if (!chooser.save) {
    if (::stat(path.c_str(), &info) != 0) {
      SetMessage(dialog, FormatString(kFileDialogNotFound, {typed}));
      return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
      SetMessage(dialog, FormatString(kFileDialogNotAFile, {typed}));
      return std::nullopt;
    }
    if (!Storable(path)) {
      SetMessage(dialog, GetString(kFileDialogBadPath));
      return std::nullopt;
    }
    return path;
  }
  // The extension is added here rather than after the dialog, so that the question below is
  // asked about the file that will really be written.
  path = WithExtension(path, SaveTypeOf(chooser.request, chooser.filterIndex));
  const std::string folder = ParentFolder(path);
  if (!IsFolder(folder)) {
    SetMessage(dialog, FormatString(kFileDialogNoFolder, {folder}));
    return std::nullopt;
  }
  if (!Storable(path)) {
    SetMessage(dialog, GetString(kFileDialogBadPath));
    return std::nullopt;
  }
  if (::stat(path.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode)) {
      SetMessage(dialog, FormatString(kFileDialogNotAFile, {FileNameOfPath(path)}));
      return std::nullopt;
    }
    if (!AskMessage(FormatString(kAskReplaceFile, {FileNameOfPath(path)}))) return std::nullopt;
  }
  return path;
}

bool RunChooser(Chooser& chooser, FileChoice& choice) {
  const FileDialogRequest& request = chooser.request;
  chooser.folder = Tidy(request.folder.empty() ? HomeFolder() : request.folder);
  if (!IsFolder(chooser.folder)) chooser.folder = IsFolder(HomeFolder()) ? HomeFolder() : "/";
  // Opening offers every type of the request at first; saving writes the first type unless
  // another is chosen.
  chooser.filterIndex = !chooser.save && request.types.size() > 1 ? int(request.types.size()) + 1 : 1;
  for (uint32_t type : request.types) chooser.withPreview = chooser.withPreview || (!chooser.save && type == kObjectFileType);
  chooser.withPreview = chooser.withPreview || request.objectPreview.available;

  Dialog dialog = MakeLayout(chooser);
  ShowFolder(chooser, dialog);
  // A proposed name that is only an extension (".cma") says which files are meant, not a name.
  const std::string& proposed = request.proposedName;
  if (chooser.save || (!proposed.empty() && proposed[0] != '.')) SetName(chooser, dialog, proposed);
  if (!chooser.save) {
    DialogItem& list = ItemOf(dialog, kFileItemList);
    for (size_t i = 0; i < chooser.rows.size(); ++i) {
      if (!chooser.rows[i].folder && chooser.rows[i].name == proposed) {
        list.selected = int(i);
        ShowPreview(chooser, dialog, Join(chooser.folder, proposed));
      }
    }
  }

  // The double-click watch rides on the redraw hook for as long as the dialog runs; whoever had
  // the hook before still gets every call.
  auto previous = dialogState.observer;
  dialogState.observer = [&chooser, previous](const Canvas& screen, const Dialog& shown) {
    if (previous) previous(screen, shown);
    WatchPresses(chooser, screen, shown);
  };
  struct Restore {
    decltype(previous)& saved;
    ~Restore() { dialogState.observer = saved; }
  } restore{previous};

  // OK is checked while the dialog is on show, so that the question before replacing a file
  // appears over it and a refusal leaves it as it was.
  std::optional<std::string> chosen;
  dialog.onAccept = [&chooser, &chosen](Dialog& d, int) {
    chosen = Accept(chooser, d);
    return chosen.has_value();
  };
  if (RunDialog(dialog).role == ButtonRole::Cancel || !chosen) return false;
  choice.path = *chosen;
  choice.filterIndex = chooser.filterIndex;
  return true;
}

}  // namespace

std::vector<std::string> FileFilterEntries(const FileDialogRequest& request) {
  std::vector<std::string> entries;
  const std::string prefix = GetString(kFilePatternPrefix);
  for (uint32_t type : request.types) {
    const FileTypeEntry* entry = FindFileType(type);
    if (entry == nullptr) {
      // A type outside the table keeps its place, so the filter indices still match the types.
      char code[5] = {char(type >> 24), char(type >> 16), char(type >> 8), char(type), 0};
      entries.push_back(code);
      continue;
    }
    entries.push_back(GetString(entry->description) + " (" + prefix + entry->extension + ")");
  }
  entries.push_back(GetString(kFileTypeAllFormats));
  entries.push_back(GetString(kFileTypeAllFiles) + " (" + GetString(kFilePatternAll) + ")");
  return entries;
}

bool FileMatchesFilter(const FileDialogRequest& request, int filterIndex, std::string_view name) {
  auto matches = [name](uint32_t type) {
    const FileTypeEntry* entry = FindFileType(type);
    return entry != nullptr && EndsWithExtension(name, entry->extension);
  };
  const int typeCount = int(request.types.size());
  if (filterIndex >= 1 && filterIndex <= typeCount) return matches(request.types[size_t(filterIndex - 1)]);
  // "All formats" of a request without types would list nothing at all; it lists every file then.
  if (filterIndex == typeCount + 1 && typeCount > 0) return std::any_of(request.types.begin(), request.types.end(), matches);
  return true;
}

FolderListing ListFolder(const std::string& folder, const FileDialogRequest& request, int filterIndex) {
  FolderListing listing;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    listing.error = std::strerror(errno);
    return listing;
  }
  while (const dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;
    // Links count as what they point at; sockets, pipes and devices are never offered, since
    // opening a pipe would wait for a writer forever.
    struct stat info;
    if (::stat(Join(folder, name).c_str(), &info) != 0) continue;
    if (S_ISDIR(info.st_mode)) {
      listing.folders.push_back(std::move(name));
    } else if (S_ISREG(info.st_mode) && FileMatchesFilter(request, filterIndex, name)) {
      listing.files.push_back(std::move(name));
    }
  }
  ::closedir(dir);
  std::sort(listing.folders.begin(), listing.folders.end(), NameBefore);
  std::sort(listing.files.begin(), listing.files.end(), NameBefore);
  return listing;
}

bool ChooseFileToOpen(const FileDialogRequest& request, FileChoice& choice) {
  Chooser chooser(request, false);
  return RunChooser(chooser, choice);
}

bool ChooseFileToSave(const FileDialogRequest& request, FileChoice& choice) {
  Chooser chooser(request, true);
  return RunChooser(chooser, choice);
}

}  // namespace tsv
