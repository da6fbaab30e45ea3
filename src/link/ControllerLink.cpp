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
constexpr std::int64_t kSettlePollMicros = 250;
}  // namespace

ControllerLink::ControllerLink(D2XXUnit& unit, Clock& clock, Host& host, ProgramLog& log,
                               ConnectionIndicator& indicator, bool& statisticsChanged)
    : unit_(unit),
      clock_(clock),
      host_(host),
      log_(log),
      indicator_(indicator),
      statisticsChanged_(statisticsChanged) {}

std::uint32_t ControllerLink::DrainInto(std::uint8_t* buffer) {
  // A board that never stops sending must not hold the program here: what is
  // left after this much fails the next check instead.
  std::uint32_t budget = kMaxDrainBytes;
  std::uint32_t taken = 0;
  while (unit_.receiveQueueCount > 0 && budget > 0) {
    const std::uint32_t piece = std::min(unit_.receiveQueueCount, kLength);
    budget -= std::min(budget, piece);
    taken += unit_.Read(buffer, piece);
    if (unit_.QueryReceiveQueue() != ftstatus::kOk) break;
  }
  return taken;
}

std::uint32_t ControllerLink::Drain() {
  const std::uint32_t taken = DrainInto(replyBytes_.data());
  reply = wire::DecodeReply(replyBytes_);
  return taken;
}

void ControllerLink::CountStray(std::uint32_t bytes, const std::string& what) {
  state.StrayReplies += static_cast<std::int32_t>((bytes + kLength - 1) / kLength);
  statisticsChanged_ = true;
  log_.WriteLog("Link: " + what);
}

void ControllerLink::DiscardStale() {
  const auto kept = static_cast<std::uint32_t>(incoming_.size());
  incoming_.clear();
  const std::uint32_t stale = kept + Drain();
  if (stale > 0)
    CountStray(stale, std::to_string(stale) + " stray bytes discarded before request " +
                          std::to_string(request.sequence));
}

// The line is watched until nothing has come for the settle time; every byte
// that comes meanwhile is an answer nobody waits for any more.
void ControllerLink::SettleLine() {
  settle_ = false;
  incoming_.clear();
  const std::int64_t start = clock_.nowMicros();
  std::int64_t quietSince = start;
  std::uint32_t stray = 0;
  // A line that never falls silent is given up on after a while or after a
  // flood of bytes; the next checks fail on what is left.
  while (stray < kMaxDrainBytes) {
    if (unit_.QueryReceiveQueue() != ftstatus::kOk) break;
    const std::int64_t now = clock_.nowMicros();
    if (now - start >= kMaxSettleMicros) break;
    if (unit_.receiveQueueCount > 0) {
      stray += Drain();
      quietSince = now;
      continue;
    }
    if (now - quietSince >= kSettleMicros) break;
    clock_.sleepMicros(kSettlePollMicros);
  }
  if (stray > 0)
    CountStray(stray, std::to_string(stray) + " stray bytes discarded while the line settled before request " +
                          std::to_string(request.sequence));
}

// Takes what has come in, at most what the last query counted, and looks for
// the frame that carries this request's counter. A sound frame of another
// counter is a stray and the wait goes on; a spoiled frame cannot be told
// apart and fails the attempt, as any bad reply does.
ControllerLink::Echoed ControllerLink::TakeEchoedReply() {
  const std::size_t at = incoming_.size();
  incoming_.resize(at + unit_.receiveQueueCount);
  incoming_.resize(at + unit_.Read(incoming_.data() + at, unit_.receiveQueueCount));
  while (incoming_.size() >= kLength) {
    wire::FrameBytes frame;
    std::copy_n(incoming_.begin(), kLength, frame.begin());
    incoming_.erase(incoming_.begin(), incoming_.begin() + kLength);
    const bool sound = wire::ChecksumValid(frame);
    if (sound && frame[wire::kSpareByte] != request.sequence) {
      CountStray(kLength, "reply to request " + std::to_string(frame[wire::kSpareByte]) +
                              " discarded while request " + std::to_string(request.sequence) + " waited");
      continue;
    }
    replyBytes_ = frame;
    reply = wire::DecodeReply(replyBytes_);
    return sound && reply.error == 0 ? Echoed::Own : Echoed::Failed;
  }
  return Echoed::NotYet;
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
    if (unit_.receiveQueueCount < kLength && (!state.SequenceEcho || unit_.receiveQueueCount == 0)) continue;
    if (!state.SequenceEcho) break;
    const Echoed echoed = TakeEchoedReply();
    if (echoed == Echoed::NotYet) continue;
    result = echoed == Echoed::Own ? Wait::Arrived : Wait::Failed;
    break;
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
  if (!state.LinkConnected || state.FirmwareUpdating) return false;
  ReportRetries();
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
    // A board that does not echo the counter cannot say whose reply a frame
    // is: after an exchange that needed a retry the line must fall silent
    // before the next request goes out.
    if (attempt == 0 && settle_ && !state.SequenceEcho)
      SettleLine();
    else
      DiscardStale();
    requestBytes_ = wire::EncodeRequest(request);
    if (unit_.Write(requestBytes_.data(), kLength) < kLength) good = false;
    // Stale contents must not pass the checks below.
    auto& replySum = replyBytes_[wire::kChecksumByte];
    replySum = static_cast<std::uint8_t>(replySum + kSpoilStep);
    replyBytes_[wire::kAlarmByte] = 0;
    reply = wire::DecodeReply(replyBytes_);

    const Wait wait = WaitForReply();
    if (wait == Wait::DeviceLost) return false;
    if (state.SequenceEcho) {
      if (wait != Wait::Arrived) good = false;
    } else if (!ReadReply() || wait == Wait::TimedOut) {
      // A late reply is still read, so that its bytes do not meet the next attempt.
      good = false;
    }

    if (good) TakeQueueFill();
    TakeAlarm();
    // The answers to the attempts before may still be on their way: a later
    // copy is the same answer to the same request, but the next request must
    // not meet it.
    if (attempt > 0) settle_ = true;
    if (good) {
      if (attempt > 3) NoteRetries(attempt + 1);
      return true;
    }

    if (attempt > 2) {
      statisticsChanged_ = true;
      if (attempt == 3) log_.WriteFileOnly("TXCorr:2");
      if (attempt > 13) {
        NoteRetries(attempt + 1);
        Disconnect();
        return false;
      }
    }
    clock_.sleepMillis(2 * attempt);
  }
}

void ControllerLink::NoteRetries(int attempts) {
  ++retries_.exchanges;
  retries_.worst = std::max(retries_.worst, attempts);
  ReportRetries();
}

void ControllerLink::ReportRetries() {
  if (retries_.exchanges == 0) return;
  const std::int64_t now = clock_.nowMicros();
  if (retries_.shown && now - retries_.shownAt < kRetrySummaryMicros) return;
  log_.WriteLog("Link retries: " + std::to_string(retries_.exchanges) + " in the last minute (worst " +
                std::to_string(retries_.worst) + " attempts)");
  retries_ = {true, now, 0, 0};
}

bool ControllerLink::Disconnect() {
  unit_.Close();
  state.StatusCode = 0;
  state.LinkConnected = false;
  indicator_.showDisconnected();
  host_.requestRefresh();
  state.LimitX = state.LimitY = state.LimitZ = false;
  state.StatusWord = 0;
  state.SequenceEcho = false;
  incoming_.clear();
  settle_ = false;
  return true;
}

void ControllerLink::ResetStatistics() {
  state.WorstAttempt = 0;
  state.WorstQueueFill = 0;
  state.Rs485Grade = 0;
  statisticsChanged_ = true;
}

}  // namespace corvane
