#pragma once
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace corvane::testing {

// corvane-cli as a user runs it: its output, error stream and exit code.
struct CliRun {
  int code = -1;
  std::string out, err;
};

inline const std::string kCli = std::string(CORVANE_BIN_DIR) + "/corvane-cli";
inline const std::string kCorpus = CORVANE_CORPUS_DIR;

inline std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs "corvane-cli <command> <arguments...>" through the shell, in workingDir when given.
inline CliRun RunCli(const std::string& command, const std::vector<std::string>& arguments,
                     const std::string& workingDir = "") {
  TempDir dir;
  std::string line = (workingDir.empty() ? "" : "cd " + ShellQuoted(workingDir) + " && ") +
                     ShellQuoted(kCli) + " " + command;
  for (const auto& argument : arguments) line.append(" ").append(ShellQuoted(argument));
  line.append(" >").append(ShellQuoted(dir.file("out")));
  line.append(" 2>").append(ShellQuoted(dir.file("err")));
  const int status = std::system(line.c_str());
  CliRun run;
  if (status != -1 && WIFEXITED(status)) run.code = WEXITSTATUS(status);
  run.out = ReadFileText(dir.file("out"));
  run.err = ReadFileText(dir.file("err"));
  return run;
}

}  // namespace corvane::testing
