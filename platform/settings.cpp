// settings.cpp: the settings file beside the preferences.
#include "platform/settings.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/folders.h"
#include "platform/platform_state.h"

namespace tsv {
namespace {

constexpr const char* kFileName = "Tessivar 1.0 Settings";
// A settings file is a few lines; anything much larger is not one of ours.
constexpr std::uintmax_t kMaxFileBytes = 1 << 20;

bool ParseWhole(std::string_view text, int64_t& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

void SetDefaultSettings(Settings& s) { s = Settings{}; }

std::string SettingsFilePath() { return ConfigFolder() + "/" + kFileName; }

int InterfaceScaleSetting(int64_t percent) {
  return percent <= 0 ? kInterfaceScaleAuto : int(std::clamp<int64_t>(percent, kMinInterfaceScale, kMaxInterfaceScale));
}

uint32_t HistoryBudgetSetting(int64_t megabytes) {
  return uint32_t(std::clamp<int64_t>(megabytes, 1, kMaxHistoryBudgetMB));
}

Settings ParseSettings(const std::string& text) {
  Settings s;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const size_t space = line.find(' ');
    const std::string key = line.substr(0, space);
    const std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);
    int64_t number = 0;
    if (key == "interface-scale") {
      if (ParseWhole(value, number)) s.interfaceScale = InterfaceScaleSetting(number);
    } else if (key == "history-mb") {
      if (ParseWhole(value, number)) s.historyBudgetMB = HistoryBudgetSetting(number);
    } else if (key == "folder") {
      // "folder <dialog> <path>": the dialog's name has no spaces, the path may.
      const size_t split = value.find(' ');
      if (split != std::string::npos && split > 0 && split + 1 < value.size() && value[split + 1] == '/') {
        s.dialogFolders[value.substr(0, split)] = value.substr(split + 1);
      }
    } else {
      s.otherLines.push_back(line);
    }
  }
  return s;
}

std::string FormatSettings(const Settings& s) {
  std::string text = "interface-scale " + std::to_string(s.interfaceScale) + "\n";
  text += "history-mb " + std::to_string(s.historyBudgetMB) + "\n";
  for (const auto& [dialog, folder] : s.dialogFolders) {
    // A folder name with a line break cannot be stored in a line; it is not remembered.
    if (folder.find('\n') == std::string::npos) text += "folder " + dialog + " " + folder + "\n";
  }
  for (const std::string& line : s.otherLines) text += line + "\n";
  return text;
}

void ReadSettings() {
  SetDefaultSettings(platform.settings);
  std::error_code error;
  const std::string path = SettingsFilePath();
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size > kMaxFileBytes || !std::filesystem::is_regular_file(path, error)) return;
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return;
  platform.settings = ParseSettings(text.str());
}

Status WriteSettings() {
  std::error_code error;
  std::filesystem::create_directories(ConfigFolder(), error);
  const std::string path = SettingsFilePath();
  const std::string temp = path + ".new";
  const std::string text = FormatSettings(platform.settings);
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return kWriteError;
  bool ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return kWriteError;
  }
  return kNoError;
}

}  // namespace tsv
