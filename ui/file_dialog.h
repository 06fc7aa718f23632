// file_dialog.h: the program's own open and save dialogs, the choosers behind AskOpenFile and
// AskSaveFile: a folder with its subfolders and files, a filter list built from the file-type
// table, the file name field and, when objects are opened, the preview pane of the chosen object.
// The bookkeeping around a choice (internal path, types, remembered folder) stays with the callers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/user_services.h"
#include "ui/dialog.h"

namespace tsv {

// The ids of the dialog's items (DialogItem::id), for the code and the tests that look them up.
enum FileDialogItemId : int {
  kFileItemFolder = 1,  // the folder shown, as a label
  kFileItemUp,
  kFileItemHome,
  kFileItemProject,
  kFileItemList,        // subfolders, then files
  kFileItemName,
  kFileItemFilter,
  kFileItemMessage,     // the error line
  kFileItemPreviewGroup,
  kFileItemPreviewPicture,
  kFileItemPreviewType,
  kFileItemPreviewCounts,
  kFileItemPreviewTexture,
  kFileItemPreviewPainted,
  kFileItemPreviewDescription,  // the first of kPreviewDescriptionLines labels, ids counting up
};
inline constexpr int kPreviewDescriptionLines = 4;

// The filter list of a request: one entry per type ("Autocad DXF (*.dxf)"), then "All formats"
// (any type of the request) and "All files (*.*)". Entry i is filter index i + 1.
std::vector<std::string> FileFilterEntries(const FileDialogRequest& request);
// Whether a file of this name is listed under filter `filterIndex` (1-based) of the request.
[[nodiscard]] bool FileMatchesFilter(const FileDialogRequest& request, int filterIndex, std::string_view name);

// What the list shows of one folder: the subfolders and the files that pass the filter, each
// sorted without regard to case; names starting with '.' are left out, and so is everything that
// is neither a folder nor a regular file. `error` tells why a folder could not be read.
struct FolderListing {
  std::vector<std::string> folders;
  std::vector<std::string> files;
  std::string error;
};
FolderListing ListFolder(const std::string& folder, const FileDialogRequest& request, int filterIndex);

// The choosers the window's user services take (SdlServices::openDialog and saveDialog). False
// when cancelled. Open accepts only an existing regular file. Save returns the path with the
// extension of the chosen filter's type already added, and asks before an existing file is
// replaced. `choice.filterIndex` is the filter chosen, 1-based.
[[nodiscard]] bool ChooseFileToOpen(const FileDialogRequest& request, FileChoice& choice);
[[nodiscard]] bool ChooseFileToSave(const FileDialogRequest& request, FileChoice& choice);

}  // namespace tsv
