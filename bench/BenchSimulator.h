#pragma once
// corvane-sim started beside a benchmark: its terminal and control socket in
// a folder of the benchmark's, its output thrown away.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace corvane {

// The simulator built beside this program.
inline std::string SiblingSimulator() {
  std::vector<char> self(4096);
  const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
  const std::string path(self.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
  return path.substr(0, path.rfind('/') + 1) + "corvane-sim";
}

// Starts it on `terminal` and `control` and waits (up to 5 s) for both to
// appear; -1 when it cannot be started.
inline pid_t SpawnSimulator(const std::string& simulator, const std::string& terminal, const std::string& control) {
  std::vector<std::string> args = {simulator, "--no-stdin", "--link", terminal, "--control", control};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t child = -1;
  const bool started = posix_spawn(&child, simulator.c_str(), &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!started) return -1;
  for (int i = 0; i < 500 && (::access(terminal.c_str(), F_OK) != 0 || ::access(control.c_str(), F_OK) != 0); ++i)
    ::usleep(10000);
  return child;
}

inline void EndSimulator(pid_t child) {
  if (child <= 0) return;
  ::kill(child, SIGTERM);
  int status = 0;
  ::waitpid(child, &status, 0);
}

}  // namespace corvane
