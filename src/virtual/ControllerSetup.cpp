#include "virtual/ControllerSetup.h"

#include <cmath>

#include "system/CommandLine.h"
#include "system/System.h"
#include "virtual/ControllerFields.h"

namespace corvane {

Controller::Controller(System& system, ProgramDevice made)
    : device(std::move(made)),
      unit(*device.device, system.host, system.log),
      link(unit, system.clock, system.host, system.log, indicator, system.StatisticsChanged),
      commands(system, link),
      moves(system, link, commands),
      connection(system, link, commands),
      cutting(system, link, commands, moves),
      runner(system, link, commands, moves, cutting, connection.ReferencedAxes) {
  commands.ui.resetMotionState = [this] { moves.ResetMotionState(); };
  // "Piercing count": one more for every torch-on the controller took.
  commands.ui.countPierce = [&system] {
    const std::string count = system.fields.text(Window::Configuration, "eSpec4");
    system.fields.setText(Window::Configuration, "eSpec4", std::to_string(system.parser.ParseInt1(count) + 1));
  };
  link.replyTimeoutMicros = static_cast<std::int64_t>(
      std::llround(static_cast<double>(system.counter.ticksPer10ms) * system.counter.periodMicros));
  link.raisePriorityWhileWaiting = device.realBoard;
}

std::unique_ptr<Controller> MakeWrappedVirtualController(
    System& system, const std::function<std::unique_ptr<UsbDevice>(UsbDevice& inner)>& wrap) {
  DeviceChoice choice;
  choice.kind = DeviceChoice::Kind::Virtual;
  auto controller = std::make_unique<Controller>(system, WrapDevice(MakeUsbDevice(choice, system.clock), wrap));
  BindControllerFields(system, *controller);
  return controller;
}

std::unique_ptr<Controller> MakeController(System& system, const CommandLine& line) {
  const DeviceChoice choice = ChooseDevice(line);
  if (!choice.error.empty()) system.log.WriteLog(choice.error);
  return std::make_unique<Controller>(system, MakeUsbDevice(choice, system.clock));
}

}  // namespace corvane
