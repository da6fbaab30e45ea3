#include "support/SimulatorProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "link/PtyDevice.h"

namespace corvane::testing {
namespace {

using Steady = std::chrono::steady_clock;

}  // namespace

SimulatorProcess::SimulatorProcess(const std::string& executable, const TempDir& dir)
    : link_(dir.file("board")), control_(dir.file("board.ctl")) {
  const std::string output = dir.file("sim.out");
  pid_ = ::fork();
  if (pid_ == 0) {
    const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(out, 2);
    ::execl(executable.c_str(), executable.c_str(), "--no-stdin", "--link", link_.c_str(),
            "--control", control_.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
}

SimulatorProcess::~SimulatorProcess() {
  if (pid_ <= 0) return;
  control("quit");
  const auto deadline = Steady::now() + std::chrono::seconds(5);
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (Steady::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    ::usleep(10000);
  }
}

bool SimulatorProcess::ready() {
  const auto deadline = Steady::now() + std::chrono::seconds(10);
  while (pid_ > 0 && Steady::now() < deadline) {
    if (::access(link_.c_str(), F_OK) == 0 && control("state").find("ok") != std::string::npos)
      return true;
    ::usleep(20000);
  }
  return false;
}

std::string AskSimulator(const std::string& controlPath, const std::string& line) {
  return AskSimulatorControl(controlPath, line);
}

std::string SimulatorProcess::control(const std::string& line) { return AskSimulator(control_, line); }

void SimulatorProcess::stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

}  // namespace corvane::testing
