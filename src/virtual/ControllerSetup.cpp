#include "virtual/ControllerSetup.h"

#include <cmath>

#include "system/CommandLine.h"
#include "system/System.h"

namespace corvane {

Controller::Controller(System& system, ProgramDevice made)
    : device(std::move(made)),
      unit(*device.device, system.host, system.log),
      link(unit, system.clock, system.host, system.log, indicator, system.StatisticsChanged),
      commands(system, link),
      moves(system, link, commands),
      connection(system, link, commands) {
  commands.ui.resetMotionState = [this] { moves.ResetMotionState(); };
  link.replyTimeoutMicros = static_cast<std::int64_t>(
      std::llround(static_cast<double>(system.counter.ticksPer10ms) * system.counter.periodMicros));
  link.raisePriorityWhileWaiting = device.realBoard;
}

std::unique_ptr<Controller> MakeController(System& system, const CommandLine& line) {
  const DeviceChoice choice = ChooseDevice(line);
  if (!choice.error.empty()) system.log.WriteLog(choice.error);
  return std::make_unique<Controller>(system, MakeUsbDevice(choice, system.clock));
}

}  // namespace corvane
