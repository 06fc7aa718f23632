// program_fixture.h: starting the real program as its own process for a test, with its output going
// to files, and waiting for it to end; and a small picture for it to read.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace tsv::test {

struct Process {
  pid_t pid = -1;
};

// The program's command line and its environment (the test's own, with `extraEnvironment` set over
// it), as the exec calls take them.
struct ProgramLaunch {
  std::vector<std::string> args, env;
  std::vector<char*> argv, envp;
  ProgramLaunch(const std::vector<std::string>& arguments, const std::vector<std::string>& extraEnvironment) {
    args.push_back(TESSIVAR_TEST_PROGRAM);
    args.insert(args.end(), arguments.begin(), arguments.end());
    for (char** e = environ; *e; ++e) {
      std::string entry = *e;
      bool replaced = false;
      for (const std::string& extra : extraEnvironment) {
        if (entry.substr(0, entry.find('=') + 1) == extra.substr(0, extra.find('=') + 1)) replaced = true;
      }
      if (!replaced) env.push_back(entry);
    }
    env.insert(env.end(), extraEnvironment.begin(), extraEnvironment.end());
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
  }
};

// Starts the program with extra environment settings, its output going to two files.
inline Process Start(const std::vector<std::string>& arguments, const std::vector<std::string>& extraEnvironment,
                     const std::string& outPath, const std::string& errPath) {
  ProgramLaunch launch(arguments, extraEnvironment);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  Process process;
  if (posix_spawn(&process.pid, launch.argv[0], &actions, nullptr, launch.argv.data(), launch.envp.data()) != 0) {
    process.pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  return process;
}

// The same, run as another user and group (a test running as the superuser, whom no permission
// stops, sees through it what an ordinary user meets). The output files are opened before the
// switch, so they may lie where that user cannot write.
inline Process StartAs(uid_t user, gid_t group, const std::vector<std::string>& arguments,
                       const std::vector<std::string>& extraEnvironment, const std::string& outPath,
                       const std::string& errPath) {
  ProgramLaunch launch(arguments, extraEnvironment);
  Process process;
  process.pid = ::fork();
  if (process.pid == 0) {
    // Only calls that are safe between fork and exec.
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || ::setgroups(0, nullptr) != 0 ||
        ::setgid(group) != 0 || ::setuid(user) != 0) {
      ::_exit(127);
    }
    ::execve(launch.argv[0], launch.argv.data(), launch.envp.data());
    ::_exit(127);
  }
  return process;
}

// The exit status, or -1 when the process did not end in time (it is then killed).
inline int WaitForExit(Process& process, std::chrono::milliseconds timeout) {
  using namespace std::chrono_literals;
  auto end = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  while (std::chrono::steady_clock::now() < end) {
    pid_t done = ::waitpid(process.pid, &status, WNOHANG);
    if (done == process.pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::this_thread::sleep_for(20ms);
  }
  ::kill(process.pid, SIGKILL);
  ::waitpid(process.pid, &status, 0);
  return -1;
}

inline bool WaitForFile(const std::string& path, std::chrono::milliseconds timeout) {
  using namespace std::chrono_literals;
  auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    if (std::filesystem::exists(path)) return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

// A 3 x 2 picture as the program writes a 24-bit BMP: red, green, blue over white, black, yellow.
inline std::vector<uint8_t> SmallBmp() {
  std::vector<uint8_t> bmp = {'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0,
                              1, 0, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  // Rows bottom-up, blue, green, red, each padded to 12 bytes.
  const uint8_t rows[2][12] = {{255, 255, 255, 0, 0, 0, 0, 255, 255, 0, 0, 0}, {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0}};
  for (const auto& row : rows) bmp.insert(bmp.end(), row, row + 12);
  return bmp;
}

// A batch command run as the real program in a fresh folder of its own: its configuration, home
// and scratch folders there, its standard output and error kept for the test to read.
class BatchRun : public testing::Test {
 protected:
  int Run(const std::vector<std::string>& args) {
    using namespace std::chrono_literals;
    Process p = Start(args, {"XDG_CONFIG_HOME=" + (dir / "config"), "TMPDIR=" + dir.str(), "HOME=" + dir.str()},
                      dir / "out", dir / "err");
    return WaitForExit(p, 120s);
  }
  std::string Out() { return ReadFileText(dir / "out"); }
  std::string Err() { return ReadFileText(dir / "err"); }
  TempDir dir;
};

}  // namespace tsv::test
