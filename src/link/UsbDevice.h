#pragma once
#include <cstdint>
#include <string>

namespace corvane {

// Status values of the vendor driver's calls: 0 is success.
using FtStatus = std::uint32_t;
namespace ftstatus {
inline constexpr FtStatus kOk = 0, kInvalidHandle = 1, kDeviceNotFound = 2, kDeviceNotOpened = 3,
                          kIoError = 4, kInsufficientResources = 5, kInvalidParameter = 6,
                          kInvalidBaudRate = 7, kOtherError = 17;
}  // namespace ftstatus

// Codes of the data-characteristics call, as the vendor driver numbers them.
namespace serial {
inline constexpr std::uint8_t kOneStopBit = 0, kTwoStopBits = 2;
inline constexpr std::uint8_t kNoParity = 0, kOddParity = 1, kEvenParity = 2;
inline constexpr std::uint16_t kNoFlowControl = 0;
inline constexpr std::uint8_t kCbusBitBang = 0x20;
}  // namespace serial

// One FTDI-style USB serial device, shaped like the vendor driver's calls so the
// protocol code above it reads the same whatever board answers: a real board
// through libftdi1, the in-process virtual board, or the simulator on a
// pseudo-terminal. All calls run on the one program thread.
class UsbDevice {
 public:
  virtual ~UsbDevice() = default;
  virtual FtStatus countDevices(std::uint32_t& count) = 0;
  // Description string of the device at `index`; non-zero past the last device.
  virtual FtStatus describeDevice(std::uint32_t index, std::string& description) = 0;
  virtual FtStatus openByDescription(const std::string& description) = 0;
  virtual FtStatus close() = 0;
  // Bytes actually read (at most `count`); never waits for more than is queued.
  virtual std::uint32_t read(std::uint8_t* buffer, std::uint32_t count) = 0;
  // Bytes actually accepted.
  virtual std::uint32_t write(const std::uint8_t* buffer, std::uint32_t count) = 0;
  virtual FtStatus setBaudRate(std::uint32_t baudRate) = 0;
  virtual FtStatus setDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits,
                                          std::uint8_t parity) = 0;
  virtual FtStatus setFlowControl(std::uint16_t flowControl, std::uint8_t xon,
                                  std::uint8_t xoff) = 0;
  // How many received bytes can be read at once.
  virtual FtStatus queueStatus(std::uint32_t& receiveCount) = 0;
  virtual FtStatus setLatencyTimer(std::uint8_t milliseconds) = 0;
  virtual FtStatus setBitMode(std::uint8_t mask, std::uint8_t mode) = 0;
};

}  // namespace corvane
