// sdl_services.h: the user services of the program window. Message boxes and the file and colour
// dialogs are drawn inside the window by the interface, which installs them here (the platform
// layer cannot call it); the progress box is drawn into the window's frame buffer directly.
#pragma once

#include <functional>

#include "platform/canvas.h"
#include "platform/user_services.h"

namespace tsv {

struct SdlServices final : UserServices {
  Canvas* screen = nullptr;         // the window's frame buffer, where the progress box is drawn
  int contentTop = 0;               // top of the content area on the screen
  std::function<void()> present;    // shows the frame buffer after the progress box changed
  std::function<void()> afterModal; // clears the pending mouse state and redraws after a box
  // The boxes and dialogs drawn by the interface, installed once it exists. Until then a box's
  // text goes to standard error and it answers with its Cancel button; the choosers answer Cancel.
  std::function<int(const MessageRequest&)> messageBox;
  std::function<bool(const FileDialogRequest&, FileChoice&)> openDialog;
  std::function<bool(const FileDialogRequest&, FileChoice&)> saveDialog;
  std::function<bool(Rgb16, Rgb16&)> colorDialog;

  void ShowStopMessage(std::string_view text) override;
  bool AskMessage(std::string_view text) override;
  void ShowAlert(std::string_view text) override;
  int AskChoice(std::string_view text, const std::vector<std::string>& answers) override;
  bool ChooseOpenFile(const FileDialogRequest& request, FileChoice& choice) override;
  bool ChooseSaveFile(const FileDialogRequest& request, FileChoice& choice) override;
  bool ChooseColor(Rgb16 initial, Rgb16& chosen) override;
  void ShowProgress(std::string_view text, int top) override;
  void AdvanceProgress(int value, int top) override;
  void HideProgress() override;

 private:
  int Ask(MessageRequest request);
  bool progressVisible_ = false;
  Canvas saved_;
  Rect box_;
};

// The requests of the program's boxes: the stop message (the program's title, OK), the "Message"
// question (OK and Cancel), the "Alert" (OK) and the question with its own answers ("Message").
MessageRequest StopMessageRequest(std::string_view text);
MessageRequest QuestionRequest(std::string_view text);
MessageRequest AlertRequest(std::string_view text);
MessageRequest ChoiceRequest(std::string_view text, const std::vector<std::string>& answers);

}  // namespace tsv
