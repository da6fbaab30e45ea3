#pragma once
#include <cstdint>

#include "link/UsbDevice.h"

namespace corvane {
class Clock;
class FakeClock;
namespace sim {
class VirtualBoard;
}

// The in-process virtual board as one attached FTDI device described
// "Corvane CNC". The board lives on the program's clock, counted from when
// the device was made: before every call it is brought up to that time. On fake time every receive-queue query
// that finds no complete frame lets a little time pass, as the bus does, so
// the exchange's busy wait reaches its timeout.
class VirtualUsbDevice final : public UsbDevice {
 public:
  static constexpr std::int64_t kFakePollMicros = 20;

  VirtualUsbDevice(sim::VirtualBoard& board, Clock& clock, FakeClock* fakeTime = nullptr);

  FtStatus countDevices(std::uint32_t& count) override;
  FtStatus describeDevice(std::uint32_t index, std::string& description) override;
  FtStatus openByDescription(const std::string& description) override;
  FtStatus close() override;
  std::uint32_t read(std::uint8_t* buffer, std::uint32_t count) override;
  std::uint32_t write(const std::uint8_t* buffer, std::uint32_t count) override;
  FtStatus setBaudRate(std::uint32_t baudRate) override;
  FtStatus setDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits,
                                  std::uint8_t parity) override;
  FtStatus setFlowControl(std::uint16_t flowControl, std::uint8_t xon, std::uint8_t xoff) override;
  FtStatus queueStatus(std::uint32_t& receiveCount) override;
  FtStatus setLatencyTimer(std::uint8_t milliseconds) override;
  FtStatus setBitMode(std::uint8_t mask, std::uint8_t mode) override;

  bool isOpen() const { return open_; }
  // Lets the open fail, as a device held by another program does.
  void refuseOpen(bool refuse) { refuseOpen_ = refuse; }

 private:
  void catchUp();
  FtStatus whenOpen() const;
  sim::VirtualBoard& board_;
  Clock& clock_;
  FakeClock* fakeTime_;
  std::int64_t origin_;  // the clock's time when the board was switched on
  bool open_ = false;
  bool refuseOpen_ = false;
};

}  // namespace corvane
