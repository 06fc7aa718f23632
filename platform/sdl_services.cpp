// sdl_services.cpp: message boxes and dialogs through the functions the interface installs,
// progress drawn into the window's frame buffer.
#include "platform/sdl_services.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/progress.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"

namespace tsv {

MessageRequest StopMessageRequest(std::string_view text) {
  MessageRequest request;
  request.mark = MessageMark::Stop;
  request.title = GetString(kWindowTitle);
  request.text = std::string(text);
  request.buttons = {GetString(kDialogOk)};
  return request;
}

MessageRequest QuestionRequest(std::string_view text) {
  return ChoiceRequest(text, {GetString(kDialogOk), GetString(kDialogCancel)});
}

MessageRequest AlertRequest(std::string_view text) {
  MessageRequest request;
  request.title = GetString(kTitleAlert);
  request.text = std::string(text);
  request.buttons = {GetString(kDialogOk)};
  return request;
}

MessageRequest ChoiceRequest(std::string_view text, const std::vector<std::string>& answers) {
  MessageRequest request;
  request.title = GetString(kTitleMessage);
  request.text = std::string(text);
  request.buttons = answers;
  request.cancelButton = std::max(0, int(answers.size()) - 1);
  return request;
}

int SdlServices::Ask(MessageRequest request) {
  int answer = request.cancelButton;
  if (messageBox) {
    answer = messageBox(request);
  } else {
    std::fprintf(stderr, "%s: %s\n", request.title.c_str(), request.text.c_str());
  }
  if (afterModal) afterModal();
  return answer;
}

// A stop message or an alert also goes to standard error, so that a session started from a
// terminal keeps a record of the errors it showed.
void SdlServices::ShowStopMessage(std::string_view text) {
  if (messageBox) std::fprintf(stderr, "tessivar: %.*s\n", int(text.size()), text.data());
  (void)Ask(StopMessageRequest(text));  // one button: nothing to choose
}

bool SdlServices::AskMessage(std::string_view text) { return Ask(QuestionRequest(text)) == 0; }

void SdlServices::ShowAlert(std::string_view text) {
  if (messageBox) std::fprintf(stderr, "tessivar: %.*s\n", int(text.size()), text.data());
  (void)Ask(AlertRequest(text));  // one button: nothing to choose
}

int SdlServices::AskChoice(std::string_view text, const std::vector<std::string>& answers) {
  return Ask(ChoiceRequest(text, answers));
}

bool SdlServices::ChooseOpenFile(const FileDialogRequest& request, FileChoice& choice) {
  return openDialog ? openDialog(request, choice) : false;
}

bool SdlServices::ChooseSaveFile(const FileDialogRequest& request, FileChoice& choice) {
  return saveDialog ? saveDialog(request, choice) : false;
}

bool SdlServices::ChooseColor(Rgb16 initial, Rgb16& chosen) {
  return colorDialog ? colorDialog(initial, chosen) : false;
}

void SdlServices::ShowProgress(std::string_view text, int top) {
  if (screen == nullptr) return;
  if (progressVisible_) PasteArea(*screen, saved_, box_.left, box_.top);
  box_ = ProgressBoxRect(screen->width, screen->height, top, contentTop);
  saved_ = CopyArea(*screen, box_);
  DrawProgressBox(*screen, box_, text);
  progressVisible_ = true;
  if (present) present();
}

void SdlServices::AdvanceProgress(int value, int top) {
  if (screen == nullptr) return;
  DrawProgressBar(*screen, ProgressBoxRect(screen->width, screen->height, top, contentTop), value);
  if (present) present();
}

void SdlServices::HideProgress() {
  if (screen == nullptr || !progressVisible_) return;
  PasteArea(*screen, saved_, box_.left, box_.top);
  progressVisible_ = false;
  if (present) present();
}

}  // namespace tsv
