#pragma once
#include <memory>

#include "link/ConnectionIndicator.h"
#include "link/ControllerLink.h"
#include "link/D2XXUnit.h"
#include "job/CuttingProcess.h"
#include "job/JobRunner.h"
#include "machine/Connection.h"
#include "machine/MachineCommands.h"
#include "machine/Moves.h"
#include "virtual/MakeUsbDevice.h"

namespace corvane {

struct CommandLine;
class System;

// Everything between the program and its controller, wired once at start:
// the chosen device, the driver module, the exchange, the command set, the
// positioning moves, the connection sequence and the connection label's model. The UI keeps one,
// fills the field readers and hooks, and calls StartupConnect.
struct Controller {
  Controller(System& system, ProgramDevice made);
  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  ProgramDevice device;
  ConnectionIndicator indicator;
  D2XXUnit unit;
  ControllerLink link;
  MachineCommands commands;
  Moves moves;
  Connection connection;
  CuttingProcess cutting;
  JobRunner runner;
};

// The built-in virtual board on the system's clock, with `wrap` put between it
// and the program (a wire tap, a counter) and the fields bound: a whole
// controller side for driving jobs in tests and benchmarks.
std::unique_ptr<Controller> MakeWrappedVirtualController(
    System& system, const std::function<std::unique_ptr<UsbDevice>(UsbDevice& inner)>& wrap);

// The controller for the device the command line or CORVANE_DEVICE chose;
// an unknown device value is logged and the real board is used.
std::unique_ptr<Controller> MakeController(System& system, const CommandLine& line);

}  // namespace corvane
