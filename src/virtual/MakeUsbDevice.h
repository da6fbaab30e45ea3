#pragma once
#include <functional>
#include <memory>

#include "link/DeviceChoice.h"
#include "link/UsbDevice.h"

namespace corvane {
class Clock;
namespace sim {
class VirtualBoard;
}

// The device the program talks to and, for the virtual choice, the board
// behind it (kept alive as long as the device).
struct ProgramDevice {
  ProgramDevice();
  ProgramDevice(ProgramDevice&&) noexcept;
  ProgramDevice& operator=(ProgramDevice&&) noexcept;
  ~ProgramDevice();
  // Declared first so the device, which refers to it, goes first.
  std::unique_ptr<sim::VirtualBoard> board;
  // A device a wrapper sits on (a wire tap, a counter); it goes after the wrapper.
  std::unique_ptr<UsbDevice> underneath;
  std::unique_ptr<UsbDevice> device;
  // Only a real board gets the raised priority during the reply wait
  // (ControllerLink::raisePriorityWhileWaiting).
  bool realBoard = false;
};

// The real board, the simulator's pseudo-terminal, or the in-process virtual
// board running on the program's clock.
ProgramDevice MakeUsbDevice(const DeviceChoice& choice, Clock& clock);

// Puts a wrapper between the program and its device: `wrap` gets the device
// and returns what the program talks to instead.
ProgramDevice WrapDevice(ProgramDevice made,
                         const std::function<std::unique_ptr<UsbDevice>(UsbDevice& inner)>& wrap);

}  // namespace corvane
