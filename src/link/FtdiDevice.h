#pragma once
#include <cstdint>
#include <deque>
#include <string>

#include "link/UsbDevice.h"

struct ftdi_context;

namespace corvane {

// A real FTDI board through libftdi1. libftdi has no receive-queue query, so
// the queue-status call pulls whatever the chip has sent into a buffer of our
// own and reports its size; reads are served from that buffer.
class FtdiDevice final : public UsbDevice {
 public:
  FtdiDevice();
  ~FtdiDevice() override;
  FtdiDevice(const FtdiDevice&) = delete;
  FtdiDevice& operator=(const FtdiDevice&) = delete;

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

 private:
  FtStatus whenOpen(int result) const;
  ftdi_context* context_ = nullptr;
  bool open_ = false;
  std::deque<std::uint8_t> received_;
};

}  // namespace corvane
