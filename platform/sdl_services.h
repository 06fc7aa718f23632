// sdl_services.h: the user services of the program window: SDL message boxes owned by the window,
// and the progress box drawn into the window's frame buffer. The file and colour dialogs are the
// program's own panels; until they are installed the choosers answer Cancel.
#pragma once

#include <SDL_messagebox.h>

#include <functional>

#include "platform/canvas.h"
#include "platform/user_services.h"

struct SDL_Window;

namespace tsv {

// The buttons of the message boxes: OK, and Cancel for the question box. Escape and closing the
// box answer Cancel (closing reports no button at all).
inline constexpr int kMessageBoxOk = 1;
inline constexpr int kMessageBoxCancel = 2;
void MessageBoxButtons(bool withCancel, const char* okText, const char* cancelText, SDL_MessageBoxButtonData (&buttons)[2]);
[[nodiscard]] bool IsOkAnswer(int chosenButton);

struct SdlServices final : UserServices {
  SDL_Window* window = nullptr;     // owner of the boxes; may be null
  Canvas* screen = nullptr;         // the window's frame buffer, where the progress box is drawn
  int contentTop = 0;               // top of the content area on the screen
  std::function<void()> present;    // shows the frame buffer after the progress box changed
  std::function<void()> afterModal; // clears the pending mouse state and redraws after a box
  // The panel-drawn dialogs, installed by the interface once it exists.
  std::function<bool(const FileDialogRequest&, FileChoice&)> openDialog;
  std::function<bool(const FileDialogRequest&, FileChoice&)> saveDialog;
  std::function<bool(Rgb16, Rgb16&)> colorDialog;

  void ShowStopMessage(std::string_view text) override;
  bool AskMessage(std::string_view text) override;
  void ShowAlert(std::string_view text) override;
  bool ChooseOpenFile(const FileDialogRequest& request, FileChoice& choice) override;
  bool ChooseSaveFile(const FileDialogRequest& request, FileChoice& choice) override;
  bool ChooseColor(Rgb16 initial, Rgb16& chosen) override;
  void ShowProgress(std::string_view text, int top) override;
  void AdvanceProgress(int value, int top) override;
  void HideProgress() override;

 private:
  bool progressVisible_ = false;
  Canvas saved_;
  Rect box_;
};

}  // namespace tsv
