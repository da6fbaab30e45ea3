#include "link/DeviceChoice.h"

#include <cstdlib>

#include "link/FtdiDevice.h"
#include "link/PtyDevice.h"
#include "system/CommandLine.h"

namespace corvane {

DeviceChoice ParseDeviceChoice(const std::string& value, const std::string& controlPath) {
  DeviceChoice choice;
  const std::string ptyPrefix = "pty:";
  if (value.empty() || value == "ftdi") return choice;
  if (value == "virtual") {
    choice.kind = DeviceChoice::Kind::Virtual;
  } else if (value.starts_with(ptyPrefix) && value.size() > ptyPrefix.size()) {
    choice.kind = DeviceChoice::Kind::Pty;
    choice.ptyPath = value.substr(ptyPrefix.size());
    choice.controlPath = controlPath.empty() ? choice.ptyPath + ".ctl" : controlPath;
  } else {
    choice.error = "Unknown device \"" + value + "\": use virtual or pty:PATH";
  }
  return choice;
}

DeviceChoice ChooseDevice(const CommandLine& line, const char* deviceVariable,
                          const char* controlVariable) {
  const std::string control = controlVariable ? controlVariable : "";
  const std::string option = OptionValue(line, "--device");
  if (!option.empty()) return ParseDeviceChoice(option, control);
  return ParseDeviceChoice(deviceVariable ? deviceVariable : "", control);
}

DeviceChoice ChooseDevice(const CommandLine& line) {
  return ChooseDevice(line, std::getenv("CORVANE_DEVICE"), std::getenv("CORVANE_SIM_CONTROL"));
}

std::unique_ptr<UsbDevice> MakeHardwareDevice(const DeviceChoice& choice) {
  switch (choice.kind) {
    case DeviceChoice::Kind::Ftdi: return std::make_unique<FtdiDevice>();
    case DeviceChoice::Kind::Pty: return std::make_unique<PtyDevice>(choice.ptyPath, choice.controlPath);
    case DeviceChoice::Kind::Virtual: return nullptr;
  }
  return nullptr;
}

}  // namespace corvane
