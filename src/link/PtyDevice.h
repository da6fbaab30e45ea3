#pragma once
#include <cstdint>
#include <deque>
#include <string>

#include "link/UsbDevice.h"

namespace corvane {

// One console line to the simulator's control socket; its whole answer
// (ending with the line "ok" or "error"), "" when nobody answers.
std::string AskSimulatorControl(const std::string& socketPath, const std::string& line);

// The board simulator in another process, reached through its pseudo-terminal.
// Like the libftdi backend it keeps a receive buffer of its own: the queue
// query reads whatever the terminal holds, so one system call answers it.
// The terminal carries the serial bytes; the CBUS bit-mode calls, which a
// terminal cannot carry, go as text lines to the simulator's control socket
// beside the terminal's path (PATH + ".ctl"): "bitmode <mask> <mode>\n",
// answered by one line starting with "ok".
class PtyDevice final : public UsbDevice {
 public:
  PtyDevice(std::string path, std::string controlPath);
  ~PtyDevice() override;
  PtyDevice(const PtyDevice&) = delete;
  PtyDevice& operator=(const PtyDevice&) = delete;

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

  const std::string& path() const { return path_; }

  // The system calls made on the terminal, for the link's benchmark.
  struct SystemCalls {
    long reads = 0, emptyReads = 0, polls = 0, writes = 0;
    long total() const { return reads + polls + writes; }
  };
  const SystemCalls& systemCalls() const { return calls_; }
  const std::string& controlPath() const { return controlPath_; }

 private:
  bool pull();
  std::string path_;
  std::string controlPath_;
  int fd_ = -1;
  std::deque<std::uint8_t> received_;
  std::uint32_t awaiting_ = 0;  // reply bytes still expected after the last write
  SystemCalls calls_;
};

}  // namespace corvane
