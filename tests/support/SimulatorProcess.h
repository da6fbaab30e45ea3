#pragma once
#include <sys/types.h>

#include <string>

#include "support/TempDir.h"

namespace corvane::testing {

// One console line to a simulator's control socket; the whole answer.
std::string AskSimulator(const std::string& controlPath, const std::string& line);

// corvane-sim started as a child process, with its terminal link, control
// socket and output ("sim.out") in a temporary folder.
class SimulatorProcess {
 public:
  SimulatorProcess(const std::string& executable, const TempDir& dir);
  ~SimulatorProcess();
  SimulatorProcess(const SimulatorProcess&) = delete;
  SimulatorProcess& operator=(const SimulatorProcess&) = delete;

  // Waits until the terminal exists and the control socket answers.
  bool ready();
  // One console line over the control socket; the whole answer.
  std::string control(const std::string& line);
  // Ends the process at once, as a pulled cable would.
  void stop();

  const std::string& link() const { return link_; }
  const std::string& controlPath() const { return control_; }

 private:
  std::string link_, control_;
  pid_t pid_ = -1;
};

}  // namespace corvane::testing
