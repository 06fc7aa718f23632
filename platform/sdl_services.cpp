// sdl_services.cpp: message boxes through SDL, progress drawn into the window's frame buffer.
#include "platform/sdl_services.h"

#include <SDL.h>

#include <cstdio>
#include <string>

#include "platform/progress.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"

namespace tsv {
namespace {

// Shows one box; returns the button chosen, or kCancel when no box could be shown (the text then
// goes to standard error so it is never lost).
int ShowBox(SDL_Window* window, Uint32 flags, const std::string& title, std::string_view text, bool withCancel) {
  std::string message(text);
  const std::string okText = GetString(kDialogOk), cancelText = GetString(kDialogCancel);
  SDL_MessageBoxButtonData buttons[2];
  MessageBoxButtons(withCancel, okText.c_str(), cancelText.c_str(), buttons);
  SDL_MessageBoxData data{};
  data.flags = flags;
  data.window = window;
  data.title = title.c_str();
  data.message = message.c_str();
  data.numbuttons = withCancel ? 2 : 1;
  data.buttons = buttons;
  int chosen = kMessageBoxCancel;
  if (SDL_ShowMessageBox(&data, &chosen) != 0) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), message.c_str());
    return kMessageBoxCancel;
  }
  return chosen;
}

}  // namespace

void MessageBoxButtons(bool withCancel, const char* okText, const char* cancelText, SDL_MessageBoxButtonData (&buttons)[2]) {
  // Return means OK; Escape means Cancel, or OK when OK is the only button.
  Uint32 okFlags = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
  if (!withCancel) okFlags |= Uint32(SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT);
  buttons[0] = {okFlags, kMessageBoxOk, okText};
  buttons[1] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, kMessageBoxCancel, cancelText};
}

bool IsOkAnswer(int chosenButton) { return chosenButton == kMessageBoxOk; }

void SdlServices::ShowStopMessage(std::string_view text) {
  ShowBox(window, SDL_MESSAGEBOX_ERROR, GetString(kWindowTitle), text, false);
  if (afterModal) afterModal();
}

bool SdlServices::AskMessage(std::string_view text) {
  bool ok = IsOkAnswer(ShowBox(window, SDL_MESSAGEBOX_WARNING, GetString(kTitleMessage), text, true));
  if (afterModal) afterModal();
  return ok;
}

void SdlServices::ShowAlert(std::string_view text) {
  ShowBox(window, SDL_MESSAGEBOX_WARNING, GetString(kTitleAlert), text, false);
  if (afterModal) afterModal();
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
