// scripted_services.h: user services for tests. Questions, file choices and colours are answered
// from queues (Cancel when a queue is empty); every text shown is recorded in order, and the
// progress box is drawn on a canvas of its own so its geometry can be checked.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/canvas.h"
#include "platform/user_services.h"

namespace tsv {

enum class ShownKind { Stop, Message, Alert, Choice, Progress };

struct ShownText {
  ShownKind kind;
  std::string text;
};

struct ScriptedServices final : UserServices {
  std::vector<ShownText> shown;
  std::deque<bool> messageAnswers;
  std::deque<int> choiceAnswers;                        // the index of the answer; Cancel when empty
  std::vector<std::vector<std::string>> choicesOffered; // the answers of every choice asked, in order
  std::deque<std::optional<FileChoice>> openAnswers;
  std::deque<std::optional<FileChoice>> saveAnswers;
  std::deque<std::optional<Rgb16>> colorAnswers;
  std::vector<FileDialogRequest> fileRequests;  // every file dialog asked for, in order
  std::vector<int> progressValues;
  bool progressVisible = false;
  Canvas screen;  // 1024 x 768, where the progress box is drawn

  ScriptedServices();
  // Installs itself for the lifetime of the object and restores the console services afterwards.
  ~ScriptedServices() override;

  // Texts of one kind, in the order shown.
  std::vector<std::string> Texts(ShownKind kind) const;

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
  UserServices* previous_ = nullptr;
  Canvas saved_;
  Rect box_;
};

}  // namespace tsv
