#pragma once
#include <cstdint>
#include <string>

#include "link/UsbDevice.h"

namespace corvane {

class Host;
class ProgramLog;

// The serial parameters the next apply calls send.
struct SerialParameters {
  std::uint32_t baudRate = 921600;
  std::uint8_t wordLength = 8;
  std::uint8_t stopBits = serial::kTwoStopBits;
  std::uint8_t parity = serial::kOddParity;
  std::uint16_t flowControl = serial::kNoFlowControl;
  std::uint8_t latencyMillis = 1;
};

// The controller's running link and the bootloader's link.
inline constexpr SerialParameters kControllerLinkParameters{921600, 8, serial::kTwoStopBits,
                                                            serial::kOddParity, 0, 1};
inline constexpr SerialParameters kBootloaderLinkParameters{115200, 8, serial::kOneStopBit,
                                                            serial::kEvenParity, 0, 1};

inline constexpr const char* kControllerDescription = "Corvane CNC";

// Text appended to a call name for a failing status; empty for 0 and above 17.
std::string FtStatusText(FtStatus status);

// The one open device and the module state around it: the parameters the next
// apply calls send, the last queue count, the last listed description. Calls
// that configure or poll the device report a failure by a beep and a log line
// made of the call's name and the status text; the caller still gets the status.
class D2XXUnit {
 public:
  D2XXUnit(UsbDevice& device, Host& host, ProgramLog& log)
      : device_(device), host_(host), log_(log) {}

  SerialParameters parameters = kControllerLinkParameters;
  static constexpr std::uint8_t kXon = 0x11;
  static constexpr std::uint8_t kXoff = 0x13;
  std::uint32_t receiveQueueCount = 0;
  std::uint32_t deviceCount = 0;
  std::string listedDescription;
  std::string openDescription;

  void CountDevices();
  FtStatus DescribeDevice(std::uint32_t index);
  // Opens with at most the first 49 characters of the text.
  FtStatus OpenByDescription(const std::string& description);
  FtStatus Close();
  std::uint32_t Read(std::uint8_t* buffer, std::uint32_t count);
  std::uint32_t Write(const std::uint8_t* buffer, std::uint32_t count);
  FtStatus ApplyBaudRate();
  FtStatus ApplyDataCharacteristics();
  FtStatus ApplyFlowControl();
  FtStatus QueryReceiveQueue();
  FtStatus SetLatency(std::uint8_t milliseconds);
  FtStatus SetBitMode(std::uint8_t mask, std::uint8_t mode);
  // Baud rate, data characteristics, flow control and latency of a parameter set.
  void ApplyParameters(const SerialParameters& set);

  UsbDevice& device() { return device_; }

 private:
  FtStatus Report(const char* callName, FtStatus status);
  UsbDevice& device_;
  Host& host_;
  ProgramLog& log_;
};

}  // namespace corvane
