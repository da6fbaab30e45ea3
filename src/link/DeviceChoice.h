#pragma once
#include <memory>
#include <string>

#include "link/UsbDevice.h"

namespace corvane {

struct CommandLine;

// Which board the program talks to: a real FTDI board (the default), the
// in-process virtual board, or the simulator on a pseudo-terminal.
struct DeviceChoice {
  enum class Kind { Ftdi, Virtual, Pty };
  Kind kind = Kind::Ftdi;
  std::string ptyPath;
  std::string controlPath;  // the simulator's control socket for the CBUS calls
  std::string error;  // set for a value that names no device; the choice is then Ftdi
};

// "--device=virtual" or "--device=pty:PATH"; without the option the
// environment variable CORVANE_DEVICE (same values) decides. The simulator's
// control socket is CORVANE_SIM_CONTROL, else PATH + ".ctl".
DeviceChoice ChooseDevice(const CommandLine& line, const char* deviceVariable,
                          const char* controlVariable);
DeviceChoice ParseDeviceChoice(const std::string& value, const std::string& controlPath = {});
// The same from the program's real environment.
DeviceChoice ChooseDevice(const CommandLine& line);

// The real board or the pseudo-terminal; null for the virtual board, which
// comes from the virtual-device library.
std::unique_ptr<UsbDevice> MakeHardwareDevice(const DeviceChoice& choice);

}  // namespace corvane
