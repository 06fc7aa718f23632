// scripted_services.cpp: the test implementation of the user services.
#include "platform/scripted_services.h"

#include "platform/platform_state.h"
#include "platform/progress.h"

namespace tsv {

ScriptedServices::ScriptedServices() {
  ResizeCanvas(screen, 1024, 768, Rgb(218, 218, 218));
  previous_ = platform.services;
  SetServices(this);
}

ScriptedServices::~ScriptedServices() { SetServices(previous_); }

std::vector<std::string> ScriptedServices::Texts(ShownKind kind) const {
  std::vector<std::string> texts;
  for (const ShownText& s : shown) {
    if (s.kind == kind) texts.push_back(s.text);
  }
  return texts;
}

void ScriptedServices::ShowStopMessage(std::string_view text) { shown.push_back({ShownKind::Stop, std::string(text)}); }

bool ScriptedServices::AskMessage(std::string_view text) {
  shown.push_back({ShownKind::Message, std::string(text)});
  if (messageAnswers.empty()) return false;
  bool answer = messageAnswers.front();
  messageAnswers.pop_front();
  return answer;
}

void ScriptedServices::ShowAlert(std::string_view text) { shown.push_back({ShownKind::Alert, std::string(text)}); }

int ScriptedServices::AskChoice(std::string_view text, const std::vector<std::string>& answers) {
  shown.push_back({ShownKind::Choice, std::string(text)});
  choicesOffered.push_back(answers);
  const int cancel = int(answers.size()) - 1;
  if (choiceAnswers.empty()) return cancel;
  const int answer = choiceAnswers.front();
  choiceAnswers.pop_front();
  return answer;
}

namespace {
bool Answer(std::deque<std::optional<FileChoice>>& queue, FileChoice& choice) {
  if (queue.empty()) return false;
  std::optional<FileChoice> answer = queue.front();
  queue.pop_front();
  if (!answer) return false;
  choice = *answer;
  return true;
}
}  // namespace

bool ScriptedServices::ChooseOpenFile(const FileDialogRequest& request, FileChoice& choice) {
  fileRequests.push_back(request);
  return Answer(openAnswers, choice);
}

bool ScriptedServices::ChooseSaveFile(const FileDialogRequest& request, FileChoice& choice) {
  fileRequests.push_back(request);
  return Answer(saveAnswers, choice);
}

bool ScriptedServices::ChooseColor(Rgb16, Rgb16& chosen) {
  if (colorAnswers.empty()) return false;
  std::optional<Rgb16> answer = colorAnswers.front();
  colorAnswers.pop_front();
  if (!answer) return false;
  chosen = *answer;
  return true;
}

void ScriptedServices::ShowProgress(std::string_view text, int top) {
  shown.push_back({ShownKind::Progress, std::string(text)});
  if (progressVisible) PasteArea(screen, saved_, box_.left, box_.top);
  box_ = ProgressBoxRect(screen.width, screen.height, top);
  saved_ = CopyArea(screen, box_);
  DrawProgressBox(screen, box_, text);
  progressVisible = true;
}

void ScriptedServices::AdvanceProgress(int value, int top) {
  progressValues.push_back(value);
  Rect box = ProgressBoxRect(screen.width, screen.height, top);
  DrawProgressBar(screen, box, value);
}

void ScriptedServices::HideProgress() {
  if (!progressVisible) return;
  PasteArea(screen, saved_, box_.left, box_.top);
  progressVisible = false;
}

}  // namespace tsv
