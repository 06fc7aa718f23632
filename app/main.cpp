// main.cpp: the entry point. Reads the command line and runs the program window or a batch command.
#include <cstdio>
#include <string>
#include <vector>

#include "app/batch.h"
#include "app/command_line.h"
#include "core/application.h"

int main(int argc, char** argv) {
  using namespace tsv;
  std::vector<std::string> arguments(argv + 1, argv + argc);
  Command command = ParseCommandLine(arguments);
  switch (command.kind) {
    case CommandKind::Version:
      std::printf("Tessivar %s\n", TESSIVAR_VERSION);
      return 0;
    case CommandKind::Help:
      std::fputs(UsageText().c_str(), stdout);
      return 0;
    case CommandKind::Invalid:
      std::fprintf(stderr, "tessivar: %s\n%s", command.error.c_str(), UsageText().c_str());
      return 1;
    case CommandKind::Batch:
      return RunBatchCommand(command.name, command.args);
    case CommandKind::Window:
      break;
  }
  return AppEntry(command.file);
}
