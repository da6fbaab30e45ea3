#include "virtual/MakeUsbDevice.h"

#include "ports/Clock.h"
#include "sim/VirtualBoard.h"
#include "virtual/VirtualUsbDevice.h"

namespace corvane {

ProgramDevice::ProgramDevice() = default;
ProgramDevice::ProgramDevice(ProgramDevice&&) noexcept = default;
ProgramDevice& ProgramDevice::operator=(ProgramDevice&&) noexcept = default;
ProgramDevice::~ProgramDevice() = default;

ProgramDevice MakeUsbDevice(const DeviceChoice& choice, Clock& clock) {
  ProgramDevice made;
  if (choice.kind != DeviceChoice::Kind::Virtual) {
    made.device = MakeHardwareDevice(choice);
    made.realBoard = choice.kind == DeviceChoice::Kind::Ftdi;
    return made;
  }
  made.board = std::make_unique<sim::VirtualBoard>();
  // On fake time the board must also move on while the exchange polls.
  made.device = std::make_unique<VirtualUsbDevice>(*made.board, clock, dynamic_cast<FakeClock*>(&clock));
  return made;
}

ProgramDevice WrapDevice(ProgramDevice made,
                         const std::function<std::unique_ptr<UsbDevice>(UsbDevice& inner)>& wrap) {
  made.underneath = std::move(made.device);
  made.device = wrap(*made.underneath);
  return made;
}

}  // namespace corvane
