// settings.h: the program's settings beyond the 156-byte preferences record, which keeps its
// layout: kept in a small text file beside the preferences ("Tessivar 1.0 Settings"), one
// "key value" line each. Lines the program does not know are kept as they were when it writes
// the file again; values out of their range are clamped when read.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/status.h"

namespace tsv {

inline constexpr int kInterfaceScaleAuto = 0;  // the largest scale at which the rooms fit
inline constexpr int kMinInterfaceScale = 100;
inline constexpr int kMaxInterfaceScale = 200;
inline constexpr uint32_t kDefaultHistoryBudgetMB = 256;
inline constexpr uint32_t kMaxHistoryBudgetMB = 65536;

struct Settings {
  int interfaceScale = kInterfaceScaleAuto;                 // 0 Auto, else 100..200 (per cent)
  uint32_t historyBudgetMB = kDefaultHistoryBudgetMB;       // the undo history of all objects, at most
  std::map<std::string, std::string> dialogFolders;         // the folder each file dialog used last
  std::vector<std::string> otherLines;                      // lines of a later version, kept as read
};

// The values as the settings hold them: a scale of 0 or less is Auto, others are held within
// 100..200 %; the undo memory within 1..65536 MB.
int InterfaceScaleSetting(int64_t percent);
uint32_t HistoryBudgetSetting(int64_t megabytes);

void SetDefaultSettings(Settings& settings);
// The settings file over the defaults; a missing or unreadable file leaves the defaults. Never
// shows anything: settings are a convenience.
void ReadSettings();
// Writes the settings file whole (through a temporary beside it). kWriteError when it cannot be.
[[nodiscard]] Status WriteSettings();
// The settings from the text of a settings file, and the text that stores them.
Settings ParseSettings(const std::string& text);
std::string FormatSettings(const Settings& settings);
std::string SettingsFilePath();

}  // namespace tsv
