#include "import/CompanionExchange.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "ports/FileIo.h"
#include "ports/ProgramLog.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

std::string Canonical(const std::string& path) {
  std::error_code error;
  const fs::path canonical = fs::weakly_canonical(path, error);
  return error ? path : canonical.string();
}

std::string LinkTarget(const std::string& link) {
  std::error_code error;
  const fs::path target = fs::read_symlink(link, error);
  return error ? std::string() : target.string();
}

bool IsScript(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  char start[2] = {};
  return file.read(start, 2) && start[0] == '#' && start[1] == '!';
}

std::vector<std::string> Arguments(const std::string& procFolder) {
  std::ifstream file(procFolder + "/cmdline", std::ios::binary);
  std::vector<std::string> arguments;
  std::string argument;
  while (arguments.size() < 2 && std::getline(file, argument, '\0')) arguments.push_back(argument);
  return arguments;
}

// The process's executable; an executable replaced while it runs still counts as itself.
std::string ExecutableOf(const std::string& procFolder) {
  std::string exe = LinkTarget(procFolder + "/exe");
  const std::string deleted = " (deleted)";
  if (exe.size() > deleted.size() && exe.ends_with(deleted)) exe.resize(exe.size() - deleted.size());
  return exe;
}

// Whether an argument of the process names the file, relative arguments taken from its working folder.
bool ArgumentNames(const std::string& argument, const std::string& procFolder, const fs::path& target) {
  if (argument.empty() || fs::path(argument).filename() != target.filename()) return false;
  fs::path named(argument);
  if (named.is_relative()) named = fs::path(LinkTarget(procFolder + "/cwd")) / named;
  return Canonical(named.string()) == target.string();
}

// What the start reports back through its pipe: the new process, or which step failed.
struct StartReport {
  enum Kind : int { Pid, ForkFailed, ChdirFailed, ExecFailed } kind;
  int value;  // the process id or errno
};

void Report(int fd, StartReport report) {
  const ssize_t written = write(fd, &report, sizeof report);
  (void)written;  // nothing left to tell if even this fails
}

// Runs in the forked children: only async-signal-safe calls from here on.
[[noreturn]] void RunDetached(int reportFd, int nullFd, const char* program, char* const argv[],
                              const char* folder) {
  setsid();
  const pid_t worker = fork();
  if (worker != 0) {
    Report(reportFd, worker > 0 ? StartReport{StartReport::Pid, worker}
                                : StartReport{StartReport::ForkFailed, errno});
    _exit(0);
  }
  // Nothing of ours is passed on: signals blocked or ignored here, our terminal or pipes.
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction defaults {};
  defaults.sa_handler = SIG_DFL;
  for (int number = 1; number < NSIG; ++number) sigaction(number, &defaults, nullptr);
  if (nullFd >= 0)
    for (const int standard : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) dup2(nullFd, standard);
  close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
  if (chdir(folder) != 0) {
    Report(reportFd, {StartReport::ChdirFailed, errno});
    _exit(127);
  }
  execv(program, argv);
  Report(reportFd, {StartReport::ExecFailed, errno});
  _exit(127);
}

}  // namespace

std::vector<int> ProcessesRunning(const std::string& executable) {
  std::vector<int> found;
  const fs::path target(Canonical(executable));
  const bool script = IsScript(target.string());
  std::error_code error;
  for (fs::directory_iterator it("/proc", error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    const std::string folder = it->path().string();
    const std::string exe = ExecutableOf(folder);
    bool match = exe == target.string();
    if (!match) {
      const auto arguments = Arguments(folder);
      // A script runs as its interpreter with the script's path as first argument;
      // a process whose executable cannot be read (another user's) is known by its name.
      if (script && arguments.size() >= 2) match = ArgumentNames(arguments[1], folder, target);
      else if (exe.empty() && !arguments.empty()) match = ArgumentNames(arguments[0], folder, target);
    }
    if (match) found.push_back(std::stoi(name));
  }
  std::sort(found.begin(), found.end());
  return found;
}

DetachedStart StartDetached(const std::string& executable, const std::string& workingFolder) {
  DetachedStart result;
  const std::string program = Canonical(executable);
  std::string argument0 = program;
  char* const argv[] = {argument0.data(), nullptr};
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    result.error = std::strerror(errno);
    return result;
  }
  const int nullFd = open("/dev/null", O_RDWR | O_CLOEXEC);
  const pid_t middle = fork();
  if (middle == 0) {
    close(pipeFds[0]);
    RunDetached(pipeFds[1], nullFd, program.c_str(), argv, workingFolder.c_str());
  }
  const int forkError = errno;
  close(pipeFds[1]);
  if (nullFd >= 0) close(nullFd);
  if (middle < 0) {
    close(pipeFds[0]);
    result.error = std::strerror(forkError);
    return result;
  }
  // The pipe reaches its end once the middle process has gone and the program
  // has been executed (the pipe is closed on exec) or has failed.
  std::vector<StartReport> reports;
  StartReport report{};
  for (;;) {
    const ssize_t got = read(pipeFds[0], &report, sizeof report);
    if (got == sizeof report) reports.push_back(report);
    else if (got < 0 && errno == EINTR) continue;
    else break;
  }
  close(pipeFds[0]);
  while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
  }
  for (const StartReport& r : reports) {
    if (r.kind == StartReport::Pid) {
      result.pid = r.value;
      continue;
    }
    const std::string step = r.kind == StartReport::ChdirFailed ? "working folder " + workingFolder + ": " : "";
    result.error = step + std::strerror(r.value);
    return result;
  }
  result.started = result.pid > 0;
  if (!result.started) result.error = "the start was not confirmed";
  return result;
}

CompanionFiles CompanionFilesOf(const Paths& paths) {
  const std::string program = WithSlash(paths.programFolder) + "Lintora";
  const std::string exchange = WithSlash(paths.dataRoot) + "Lintora/";
  return {program + "/Lintora", program, exchange + "export.ready", exchange + "export.2d"};
}

CompanionStatus FindCompanion(const Paths& paths) {
  CompanionStatus status;
  status.executable = CompanionFilesOf(paths).executable;
  std::error_code error;
  status.installed = fs::is_regular_file(status.executable, error);
  if (!status.installed) return status;
  const auto running = ProcessesRunning(status.executable);
  status.running = !running.empty();
  if (status.running) status.pid = running.front();
  return status;
}

void ClearCompanionMarker(const Paths& paths, ProgramLog& log) {
  const std::string marker = CompanionFilesOf(paths).marker;
  std::error_code error;
  fs::remove(marker, error);
  if (error) log.WriteLog("Lintora: cannot remove " + marker + ": " + error.message());
}

CompanionStart StartCompanion(const Paths& paths, ProgramLog& log) {
  ClearCompanionMarker(paths, log);
  const CompanionFiles files = CompanionFilesOf(paths);
  const CompanionStatus status = FindCompanion(paths);
  CompanionStart result;
  if (!status.installed) {
    result.outcome = CompanionStart::Outcome::NotInstalled;
    result.message = "The drawing program Lintora is not installed (looked for " + files.executable + ")";
  } else if (status.running) {
    result.outcome = CompanionStart::Outcome::AlreadyRunning;
    result.pid = status.pid;
    log.WriteLog("Lintora is running (process " + std::to_string(status.pid) + ")");
    return result;
  } else if (const DetachedStart start = StartDetached(files.executable, files.workingFolder); start.started) {
    result.outcome = CompanionStart::Outcome::Started;
    result.pid = start.pid;
    log.WriteLog("Lintora started (process " + std::to_string(start.pid) + ")");
    return result;
  } else {
    result.outcome = CompanionStart::Outcome::Failed;
    result.message = "The drawing program Lintora could not be started (" + files.executable + "): " + start.error;
  }
  log.WriteLog(result.message);
  return result;
}

std::optional<std::string> PollCompanionExport(const Paths& paths, ProgramLog& log) {
  const CompanionFiles files = CompanionFilesOf(paths);
  std::error_code error;
  if (!fs::exists(files.marker, error)) return std::nullopt;
  if (!fs::remove(files.marker, error)) {
    // Gone in between: someone else took it. Not removable: taking it would repeat every check.
    if (error) log.WriteLog("Lintora: export not taken, cannot remove " + files.marker + ": " + error.message());
    return std::nullopt;
  }
  if (!fs::is_regular_file(files.drawing, error)) {
    log.WriteLog("Lintora: export marker without a drawing (" + files.drawing + ")");
    return std::nullopt;
  }
  log.WriteLog("Lintora: export " + files.drawing);
  return files.drawing;
}

std::optional<std::string> CopyCompanionExport(const std::string& drawing, const std::string& folder,
                                               ProgramLog& log) {
  const auto bytes = ReadWholeFile(drawing);
  if (!bytes) {
    log.WriteLog("Lintora: cannot read " + drawing);
    return std::nullopt;
  }
  const std::string copy = WithSlash(folder) + kCompanionCopyName;
  if (const FileResult written = WriteFileAtomically(copy, *bytes); !written) {
    log.WriteLog("Lintora: cannot write " + copy + ": " + written.error);
    return std::nullopt;
  }
  return copy;
}

}  // namespace corvane
