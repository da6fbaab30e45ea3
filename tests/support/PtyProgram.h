#pragma once
#include <algorithm>
#include <string>

#include "link/ControllerLink.h"
#include "link/PtyDevice.h"
#include "machine/Connection.h"
#include "machine/MachineCommands.h"
#include "support/RecordingHost.h"
#include "support/SimulatorProcess.h"
#include "support/TempDir.h"
#include "system/System.h"

namespace corvane::testing {

// The program's controller side in real time, talking to the simulator
// process over its terminal: device, unit, link, command set and connection.
// Call `simulator.ready()` before connecting.
struct PtyProgram {
  explicit PtyProgram(const std::string& simulatorExe) : simulator(simulatorExe, dir) {
    system.loading = false;  // settings are in: status reads update the state
  }

  static Paths TestPaths(const TempDir& dir) {
    Paths paths;
    paths.programFolder = std::string(CORVANE_TEST_DATA_DIR) + "/";
    paths.dataRoot = dir.path() + "Quorvatek/";
    return paths;
  }
  bool logged(const std::string& line) const {
    return std::find(host.logPane.begin(), host.logPane.end(), line) != host.logPane.end();
  }

  TempDir dir;
  SteadyClock clock;
  RecordingHost host;
  System system{clock, host, TestPaths(dir)};
  SimulatorProcess simulator;
  PtyDevice device{simulator.link(), simulator.controlPath()};
  ConnectionIndicator indicator;
  D2XXUnit unit{device, host, system.log};
  ControllerLink link{unit, clock, host, system.log, indicator, system.StatisticsChanged};
  MachineCommands commands{system, link};
  Connection connection{system, link, commands};
};

}  // namespace corvane::testing
