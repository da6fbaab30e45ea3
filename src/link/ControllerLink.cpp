#include "link/ControllerLink.h"

#include <algorithm>

#include "ports/Clock.h"
#include "ports/Host.h"
#include "ports/ProgramLog.h"
#include "wire/Codes.h"

namespace corvane {

namespace {
constexpr std::uint32_t kLength = wire::kFrameSize;
constexpr std::uint8_t kSpoilStep = 12;
constexpr std::uint32_t kMaxDrainBytes = 65536;
}  // namespace

ControllerLink::ControllerLink(D2XXUnit& unit, Clock& clock, Host& host, ProgramLog& log,
                               ConnectionIndicator& indicator, bool& statisticsChanged)
    : unit_(unit),
      clock_(clock),
      host_(host),
      log_(log),
      indicator_(indicator),
      statisticsChanged_(statisticsChanged) {}

void ControllerLink::DrainInto(std::uint8_t* buffer) {
  // A board that never stops sending must not hold the program here: what is
  // left after this much fails the next check instead.
  std::uint32_t budget = kMaxDrainBytes;
  while (unit_.receiveQueueCount > 0 && budget > 0) {
    const std::uint32_t piece = std::min(unit_.receiveQueueCount, kLength);
    budget -= std::min(budget, piece);
    unit_.Read(buffer, piece);
    if (unit_.QueryReceiveQueue() != ftstatus::kOk) return;
  }
}

void ControllerLink::Drain() {
  DrainInto(replyBytes_.data());
  reply = wire::DecodeReply(replyBytes_);
}

// The time is taken after each queue query, not before it: a device whose
// query waits a little for bytes on their way (the pty backend) must not
// stretch the window, so whatever a query brings in past it is late.
ControllerLink::Wait ControllerLink::WaitForReply() {
  if (raisePriorityWhileWaiting) priority_.Raise();
  const std::int64_t t0 = clock_.nowMicros();
  Wait result = Wait::Arrived;
  for (;;) {
    if (unit_.QueryReceiveQueue() != ftstatus::kOk) {
      result = Wait::DeviceLost;
      break;
    }
    if (clock_.nowMicros() - t0 > replyTimeoutMicros) {
      result = Wait::TimedOut;
      break;
    }
    if (unit_.receiveQueueCount >= kLength) break;
  }
  priority_.Normal();
  return result;
}

// Reads what came; true when it was exactly one well-formed, accepted reply.
bool ControllerLink::ReadReply() {
  bool good = unit_.QueryReceiveQueue() == ftstatus::kOk && unit_.receiveQueueCount == kLength;
  Drain();
  if (!wire::ChecksumValid(replyBytes_) || reply.error != 0) good = false;
  return good;
}

void ControllerLink::TakeQueueFill() {
  state.QueueFill = reply.queueFill();
  if (state.QueueFill > kWatchedQueueFill) {
    state.WorstQueueFill = std::max(state.WorstQueueFill, state.QueueFill);
    statisticsChanged_ = true;
  }
  if (state.QueueFill > kLoggedQueueFill) log_.WriteLog("buff: " + std::to_string(state.QueueFill));
}

void ControllerLink::TakeAlarm() {
  const std::uint8_t code = reply.alarm;
  if (code == 0) return;
  state.StatusCode = code;
  if ((code == wire::alarm::kTx2Error || code == wire::alarm::kRs485Error) &&
      state.Rs485Grade != 3) {
    state.Rs485Grade = (state.StatusWord & wire::status::kRs485Answering) == 0
                           ? 3
                           : std::max(state.Rs485Grade, 1);
    statisticsChanged_ = true;
  }
}

bool ControllerLink::Exchange() {
  if (!state.LinkConnected) return false;
  ++request.sequence;
  for (int attempt = 0;; ++attempt) {
    if (attempt > 0) ++state.RetryCount;
    state.WorstAttempt = std::max(state.WorstAttempt, attempt);
    if (!state.LinkConnected) return false;
    if (unit_.QueryReceiveQueue() != ftstatus::kOk) {
      Disconnect();
      return false;
    }

    bool good = true;
    Drain();
    requestBytes_ = wire::EncodeRequest(request);
    if (unit_.Write(requestBytes_.data(), kLength) < kLength) good = false;
    // Stale contents must not pass the checks below.
    auto& replySum = replyBytes_[wire::kChecksumByte];
    replySum = static_cast<std::uint8_t>(replySum + kSpoilStep);
    replyBytes_[wire::kAlarmByte] = 0;
    reply = wire::DecodeReply(replyBytes_);

    const Wait wait = WaitForReply();
    if (wait == Wait::DeviceLost) return false;
    // A late reply is still read, so that its bytes do not meet the next attempt.
    if (!ReadReply() || wait == Wait::TimedOut) good = false;

    if (good) TakeQueueFill();
    TakeAlarm();
    if (good) return true;

    if (attempt > 2) {
      statisticsChanged_ = true;
      if (attempt == 3) log_.WriteLog("TXCorr:2");
      if (attempt > 13) {
        Disconnect();
        return false;
      }
    }
    clock_.sleepMillis(2 * attempt);
  }
}

bool ControllerLink::Disconnect() {
  unit_.Close();
  state.StatusCode = 0;
  state.LinkConnected = false;
  indicator_.showDisconnected();
  host_.requestRefresh();
  state.LimitX = state.LimitY = state.LimitZ = false;
  state.StatusWord = 0;
  return true;
}

void ControllerLink::ResetStatistics() {
  state.WorstAttempt = 0;
  state.WorstQueueFill = 0;
  state.Rs485Grade = 0;
  statisticsChanged_ = true;
}

}  // namespace corvane
