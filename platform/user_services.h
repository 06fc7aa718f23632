// user_services.h: everything the program shows to or asks of the user, behind one interface with
// two implementations: the SDL window, and a scripted one for tests that answers from a queue and
// records every text shown. The free functions below are what the rest of the program calls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_spec.h"
#include "platform/status.h"

namespace tsv {

// A colour setting: three 16-bit components of which the high byte is used.
struct Rgb16 {
  uint16_t red = 0, green = 0, blue = 0;
};

// What the object dialogs' preview pane shows of one object: its picture and its facts.
struct PreviewPane {
  bool available = false;         // false: every text empty, no picture
  std::string typeText;           // "Organic", "Fast Synthetic" or "Synthetic"
  std::string triangleCountText;  // decimal
  std::string pointCountText;
  std::string textureText;        // "Yes" / "No": a texture picture was loaded
  std::string paintedText;        // "Yes" / "No": painted vertices shown
  std::string description;
  std::vector<uint32_t> pixels;   // 100 x 100, top row first
};

// What a file dialog offers: the types of its filter list (index 1 is the first), the proposed
// file name and the folder it opens in.
struct FileDialogRequest {
  std::vector<uint32_t> types;
  std::string proposedName;
  std::string folder;
  std::string title;  // empty: the dialog's usual "Open" or "Save"
  // A save dialog for one particular object shows that object in its preview pane, whatever
  // file is selected. Unavailable: no such object.
  PreviewPane objectPreview;
};
struct FileChoice {
  std::string path;      // native path of the chosen file
  int filterIndex = 1;   // 1-based index into the request's types
};

// What a message box shows: its mark, title, text and buttons. Return answers `defaultButton`,
// Escape `cancelButton`; the answer is the index of the button chosen.
enum class MessageMark : uint8_t { Stop, Caution };
struct MessageRequest {
  MessageMark mark = MessageMark::Caution;
  std::string title;
  std::string text;
  std::vector<std::string> buttons;
  int defaultButton = 0;
  int cancelButton = 0;
};

struct UserServices {
  virtual ~UserServices() = default;
  virtual void ShowStopMessage(std::string_view text) = 0;
  // The "Message" box: OK and Cancel; true for OK. Escape and closing the box mean Cancel.
  [[nodiscard]] virtual bool AskMessage(std::string_view text) = 0;
  // The "Alert" box: one OK button.
  virtual void ShowAlert(std::string_view text) = 0;
  // A question with more than two answers ("Save", "Don't Save", "Cancel"), in the "Message" box:
  // the index of the answer chosen. The first answer is the default (Return); the last one is
  // Cancel, which Escape and closing the box give.
  [[nodiscard]] virtual int AskChoice(std::string_view text, const std::vector<std::string>& answers) = 0;
  // File choice; false when cancelled. Open requires an existing file; save asks before
  // overwriting one.
  [[nodiscard]] virtual bool ChooseOpenFile(const FileDialogRequest& request, FileChoice& choice) = 0;
  [[nodiscard]] virtual bool ChooseSaveFile(const FileDialogRequest& request, FileChoice& choice) = 0;
  [[nodiscard]] virtual bool ChooseColor(Rgb16 initial, Rgb16& chosen) = 0;
  // The progress box; `top` as for ShowProgress below.
  virtual void ShowProgress(std::string_view text, int top) = 0;
  virtual void AdvanceProgress(int value, int top) = 0;
  virtual void HideProgress() = 0;
};

// Without a window every text goes to standard error and every question is answered with Cancel,
// so that nothing is changed on the user's behalf.
struct ConsoleServices final : UserServices {
  void ShowStopMessage(std::string_view text) override;
  bool AskMessage(std::string_view text) override;
  void ShowAlert(std::string_view text) override;
  int AskChoice(std::string_view text, const std::vector<std::string>& answers) override;
  bool ChooseOpenFile(const FileDialogRequest&, FileChoice&) override { return false; }
  bool ChooseSaveFile(const FileDialogRequest&, FileChoice&) override { return false; }
  bool ChooseColor(Rgb16, Rgb16&) override { return false; }
  void ShowProgress(std::string_view, int) override {}
  void AdvanceProgress(int, int) override {}
  void HideProgress() override {}
};

// The services in use. Until a window or a test installs its own, the console services answer.
UserServices& Services();
void SetServices(UserServices* services);  // nullptr restores the console services

void ShowStopMessage(std::string_view text);
[[nodiscard]] bool AskMessage(std::string_view text);
void ShowAlert(std::string_view text);
// The index of the answer chosen; the last answer (Cancel) when there is no one to ask.
[[nodiscard]] int AskChoice(std::string_view text, const std::vector<std::string>& answers);

// Every kind of file dialog remembers the folder it was last used in, across starts
// (platform.settings.dialogFolders): a dialog starts in the folder its caller gives, else in the
// folder of its kind, else where the last dialog of this run ended, else in the start folder.
// The kind is what the dialog does and the kind of file it is for: "open-object", "save-picture".
std::string FileDialogKind(const FileSpec& spec, bool save);

// The open dialog over the FileSpec's `fileTypes`. On success the FileSpec names the chosen file
// (internal form), its type entry 0 comes from the name and the chosen filter index is returned in
// `filterIndex`; a cancelled dialog returns kCancelled and changes nothing.
Status AskOpenFile(FileSpec& spec, int* filterIndex = nullptr, std::string_view title = {});
// The save dialog: the file spec's name proposed, entry 0 set to the chosen filter's type and the
// extension added. A save for one object shows `objectPreview` in the dialog's preview pane; an
// empty `title` is the dialog's usual one; `folder`, when given, is where the dialog starts.
// Nothing is created or changed on disk: the save that follows does that. kCancelled when cancelled.
Status AskSaveFile(FileSpec& spec, const PreviewPane* objectPreview = nullptr, std::string_view title = {},
                   std::string_view folder = {});
// The colour chooser; 8-bit choices come back widened by 256. False when cancelled.
[[nodiscard]] bool AskColor(Rgb16 initial, Rgb16& chosen);

// The progress box: 200 x 70 pixels, horizontally centred; its top at `top`, or centred
// vertically when `top` is -1, or 10 pixels below the top of the screen when `top` is -2.
void ShowProgress(std::string_view text, int top);
// Fills the bar to `value` (clamped to 0..128; callers scale their fraction to 128).
void AdvanceProgress(int value, int top);
void HideProgress();

}  // namespace tsv
