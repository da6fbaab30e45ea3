// The controller's bytes are outside input: whatever a broken or hostile board
// sends, the exchange and the old-frame probe must keep to the records' bounds,
// and the link must end either connected with a valid reply or disconnected.
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string>

#include "link/ConnectionIndicator.h"
#include "link/ControllerLink.h"
#include "link/D2XXUnit.h"
#include "ports/Clock.h"
#include "ports/Host.h"
#include "ports/ProgramLog.h"

namespace {

using namespace corvane;

// A device whose every answer comes from the fuzz input: a length byte says
// how many of the following bytes arrive after each write; a zero-length
// answer of 0xFF makes the queue query fail (an unplugged cable).
class ScriptedBoard final : public UsbDevice {
 public:
  ScriptedBoard(const std::uint8_t* data, std::size_t size, FakeClock& clock)
      : script_(data, data + size), clock_(clock) {}
  FtStatus countDevices(std::uint32_t& count) override { count = 1; return ftstatus::kOk; }
  FtStatus describeDevice(std::uint32_t, std::string& d) override { d = kControllerDescription; return ftstatus::kOk; }
  FtStatus openByDescription(const std::string&) override { return ftstatus::kOk; }
  FtStatus close() override { return ftstatus::kOk; }
  std::uint32_t read(std::uint8_t* buffer, std::uint32_t count) override {
    std::uint32_t n = 0;
    for (; n < count && !queued_.empty(); ++n) {
      buffer[n] = queued_.front();
      queued_.pop_front();
    }
    return n;
  }
  std::uint32_t write(const std::uint8_t*, std::uint32_t count) override {
    if (script_.empty()) return count;
    const std::uint8_t length = script_.front();
    script_.pop_front();
    if (length == 0xFF) lost_ = true;
    for (std::uint8_t i = 0; i < length && !script_.empty() && !lost_; ++i) {
      queued_.push_back(script_.front());
      script_.pop_front();
    }
    return count;
  }
  FtStatus setBaudRate(std::uint32_t) override { return ftstatus::kOk; }
  FtStatus setDataCharacteristics(std::uint8_t, std::uint8_t, std::uint8_t) override { return ftstatus::kOk; }
  FtStatus setFlowControl(std::uint16_t, std::uint8_t, std::uint8_t) override { return ftstatus::kOk; }
  FtStatus queueStatus(std::uint32_t& count) override {
    clock_.advance(100);
    if (lost_) return ftstatus::kIoError;
    count = static_cast<std::uint32_t>(queued_.size());
    return ftstatus::kOk;
  }
  FtStatus setLatencyTimer(std::uint8_t) override { return ftstatus::kOk; }
  FtStatus setBitMode(std::uint8_t, std::uint8_t) override { return ftstatus::kOk; }

 private:
  std::deque<std::uint8_t> script_;
  std::deque<std::uint8_t> queued_;
  FakeClock& clock_;
  bool lost_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FakeClock clock;
  SilentHost host;
  ProgramLog log(clock, nullptr);
  ScriptedBoard board(data, size, clock);
  D2XXUnit unit(board, host, log);
  ConnectionIndicator indicator;
  bool statisticsChanged = false;
  ControllerLink link(unit, clock, host, log, indicator, statisticsChanged);
  link.raisePriorityWhileWaiting = false;
  link.state.LinkConnected = true;
  for (int i = 0; i < 8 && link.state.LinkConnected; ++i) {
    link.request.command = static_cast<std::uint8_t>(i % 2 ? 254 : 255);
    const bool ok = link.Exchange();
    if (ok && !wire::ChecksumValid(link.replyFrame())) std::abort();
    if (link.state.WorstAttempt > ControllerLink::kMaxAttempts - 1) std::abort();
  }
  return 0;
}
