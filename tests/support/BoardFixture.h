#pragma once
#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "link/ConnectionIndicator.h"
#include "link/ControllerLink.h"
#include "link/D2XXUnit.h"
#include "machine/Connection.h"
#include "machine/MachineCommands.h"
#include "sim/VirtualBoard.h"
#include "support/StreamChecker.h"
#include "support/SystemFixture.h"
#include "virtual/VirtualUsbDevice.h"
#include "wire/Frame.h"

namespace corvane::testing {

// Sits on the wire between the program and the virtual board: records every
// frame the program writes and can rewrite the board's next reply (or cut it
// short) before the program sees it. Only the wire is touched; both ends are real.
class WireTap : public UsbDevice {
 public:
  using ReplyEdit = std::function<void(std::vector<std::uint8_t>& reply)>;
  explicit WireTap(UsbDevice& inner) : inner_(inner) {}

  std::vector<std::vector<std::uint8_t>> written;
  // Applied to the reply of every following request until cleared.
  ReplyEdit editReplies;
  // Sees every frame just before it goes out.
  std::function<void(const std::vector<std::uint8_t>& frame)> onWrite;

  std::vector<wire::ControllerRequest> requests() const {
    std::vector<wire::ControllerRequest> out;
    for (const auto& frame : written)
      if (frame.size() == wire::kFrameSize)
        out.push_back(wire::DecodeRequest(std::span<const std::uint8_t, wire::kFrameSize>(
            frame.data(), wire::kFrameSize)));
    return out;
  }
  std::vector<wire::ControllerRequest> requestsWithCommand(std::uint8_t code) const {
    std::vector<wire::ControllerRequest> out;
    for (const auto& r : requests())
      if (r.command == code) out.push_back(r);
    return out;
  }
  std::vector<std::uint8_t> commandCodes() const {
    std::vector<std::uint8_t> out;
    for (const auto& r : requests()) out.push_back(r.command);
    return out;
  }

  FtStatus countDevices(std::uint32_t& count) override { return inner_.countDevices(count); }
  FtStatus describeDevice(std::uint32_t index, std::string& description) override {
    return inner_.describeDevice(index, description);
  }
  FtStatus openByDescription(const std::string& description) override {
    return inner_.openByDescription(description);
  }
  FtStatus close() override { return inner_.close(); }
  std::uint32_t read(std::uint8_t* buffer, std::uint32_t count) override {
    std::uint32_t n = 0;
    while (n < count && !held_.empty()) {
      buffer[n++] = held_.front();
      held_.pop_front();
    }
    return n + (n < count && !editReplies ? inner_.read(buffer + n, count - n) : 0);
  }
  std::uint32_t write(const std::uint8_t* buffer, std::uint32_t count) override {
    written.emplace_back(buffer, buffer + count);
    if (onWrite) onWrite(written.back());
    const std::uint32_t accepted = inner_.write(buffer, count);
    if (editReplies) {
      std::uint32_t queued = 0;
      inner_.queueStatus(queued);
      std::vector<std::uint8_t> reply(queued);
      reply.resize(inner_.read(reply.data(), queued));
      if (!reply.empty()) editReplies(reply);
      held_.insert(held_.end(), reply.begin(), reply.end());
    }
    return accepted;
  }
  FtStatus setBaudRate(std::uint32_t rate) override { return inner_.setBaudRate(rate); }
  FtStatus setDataCharacteristics(std::uint8_t w, std::uint8_t s, std::uint8_t p) override {
    return inner_.setDataCharacteristics(w, s, p);
  }
  FtStatus setFlowControl(std::uint16_t f, std::uint8_t on, std::uint8_t off) override {
    return inner_.setFlowControl(f, on, off);
  }
  FtStatus queueStatus(std::uint32_t& receiveCount) override {
    std::uint32_t inner = 0;
    const FtStatus status = inner_.queueStatus(inner);
    receiveCount = static_cast<std::uint32_t>(held_.size()) + (editReplies ? 0 : inner);
    return status;
  }
  FtStatus setLatencyTimer(std::uint8_t ms) override { return inner_.setLatencyTimer(ms); }
  FtStatus setBitMode(std::uint8_t mask, std::uint8_t mode) override {
    return inner_.setBitMode(mask, mode);
  }

 private:
  UsbDevice& inner_;
  std::deque<std::uint8_t> held_;
};

// Rewrites a reply's fields and seals it again.
inline void EditReply(std::vector<std::uint8_t>& bytes, const std::function<void(wire::ControllerReply&)>& edit) {
  if (bytes.size() != wire::kFrameSize) return;
  wire::ControllerReply reply =
      wire::DecodeReply(std::span<const std::uint8_t, wire::kFrameSize>(bytes.data(), wire::kFrameSize));
  edit(reply);
  const auto sealed = wire::EncodeReply(reply);
  bytes.assign(sealed.begin(), sealed.end());
}

// The program's controller side on fake time against the in-process board:
// device, unit, link, command set and connection, wired as the program does.
struct BoardFixture : SystemFixture {
  BoardFixture() {
    AxisScaleInputs inputs;
    inputs.moveX = inputs.moveY = 5.0;
    inputs.moveZ = 2.0;
    inputs.pipeDiameter = 10000;
    system->scales = ComputeAxisScales(inputs);
    system->speeds = BuildSpeedTables(system->scales);
  }
  sim::VirtualBoard board;
  VirtualUsbDevice device{board, clock, &clock};
  WireTap tap{device};
  ConnectionIndicator indicator;
  D2XXUnit unit{tap, host, system->log};
  ControllerLink link{unit, clock, host, system->log, indicator, system->StatisticsChanged};
  MachineCommands commands{*system, link};
  Connection connection{*system, link, commands};

  bool logged(const std::string& line) const {
    return std::find(host.logPane.begin(), host.logPane.end(), line) != host.logPane.end();
  }
  long loggedCount(const std::string& line) const {
    return std::count(host.logPane.begin(), host.logPane.end(), line);
  }
  // Keeps the stream record: every frame written, with the board's fill as it
  // arrived, and what the board executed. Operator events are marked by the test.
  std::vector<StreamEvent> stream;
  void RecordStream() {
    board.board().recordExecuted(true);
    tap.onWrite = [this](const std::vector<std::uint8_t>& frame) {
      if (frame.size() != wire::kFrameSize) return;
      if (clock.nowMicros() > board.nowMicros()) board.advanceTo(clock.nowMicros());
      StreamEvent e;
      e.micros = clock.nowMicros();
      e.request = wire::DecodeRequest(
          std::span<const std::uint8_t, wire::kFrameSize>(frame.data(), wire::kFrameSize));
      e.fillOnArrival = board.board().queueFill();
      stream.push_back(e);
    };
  }
  void MarkOperator(StreamEvent::Kind kind) {
    StreamEvent e;
    e.kind = kind;
    e.micros = clock.nowMicros();
    stream.push_back(e);
  }
  std::vector<std::string> StreamFaults(const StreamRules& rules = {}) const {
    return CheckStream(stream, board.board().executed(), rules);
  }

  // Opens the device and marks the link connected without the handshake.
  void OpenLink() {
    unit.OpenByDescription(kControllerDescription);
    link.request.frameFlag = 1;
    link.state.LinkConnected = true;
  }
};

}  // namespace corvane::testing
