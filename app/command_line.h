// command_line.h: what the command line asks for: the program window (optionally with a file to
// open), or one of the batch commands that run without a window.
#pragma once

#include <string>
#include <vector>

namespace tsv {

enum class CommandKind { Window, Version, Help, Batch, Invalid };

struct Command {
  CommandKind kind = CommandKind::Window;
  std::string file;               // the file to open at start (Window)
  std::string name;               // the batch command (Batch)
  std::vector<std::string> args;  // its arguments
  std::string error;              // what is wrong (Invalid)
};

Command ParseCommandLine(const std::vector<std::string>& arguments);
[[nodiscard]] bool IsBatchCommand(const std::string& name);
// The whole usage, or the lines of one batch command (the whole usage for an unknown name).
std::string UsageText();
std::string CommandUsageText(const std::string& name);

}  // namespace tsv
