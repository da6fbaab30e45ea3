#include "support/StreamChecker.h"

#include <sstream>

#include "wire/Commands.h"
#include "wire/FrameLog.h"

namespace corvane::testing {
namespace {

bool IsXyMove(std::uint8_t code) { return code == wire::cmd::kXyLine || code == wire::cmd::kXyzaMove; }

bool IsMove(std::uint8_t code) {
  using namespace wire::cmd;
  return code == kXyLine || code == kZMove || code == kZAboveMaterial || code == kXyzaMove ||
         code == kYaMove || code == kProbe || code == kHomeX || code == kHomeY || code == kHomeZ ||
         code == kHomeXReversed || code == kHomeYReversed || code == kHomeA;
}

bool IsQueued(std::uint8_t code) {
  const auto* info = wire::FindCommand(code);
  return info && info->dispatch == wire::Dispatch::Queued;
}

bool Moved(const sim::ExecutedEntry& e) { return e.from != e.to; }

std::string At(std::int64_t micros) { return " at " + std::to_string(micros) + " us"; }

void CheckRapids(const std::vector<sim::ExecutedEntry>& executed, const StreamRules& rules,
                 std::vector<std::string>& out) {
  for (const auto& e : executed)
    if (IsXyMove(e.request.command) && e.torchOn && e.targetLevel >= rules.rapidLevel && Moved(e))
      out.push_back("torch on during a rapid at level " + std::to_string(e.targetLevel) +
                    At(static_cast<std::int64_t>(e.startMicros)));
}

void CheckThrottle(const std::vector<StreamEvent>& events, const StreamRules& rules,
                   std::vector<std::string>& out) {
  for (const auto& e : events)
    if (e.kind == StreamEvent::Kind::Frame && IsQueued(e.request.command) &&
        e.fillOnArrival >= rules.throttleFill)
      out.push_back("queued command " + std::to_string(e.request.command) + " sent at fill " +
                    std::to_string(e.fillOnArrival) + At(e.micros));
}

// After each operator stop: command 200 within the allowed frames, and no
// motion begins on the board until the operator starts something again.
void CheckStops(const std::vector<StreamEvent>& events,
                const std::vector<sim::ExecutedEntry>& executed, const StreamRules& rules,
                std::vector<std::string>& out) {
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (events[i].kind != StreamEvent::Kind::OperatorStop) continue;
    int frames = 0;
    std::optional<std::int64_t> stopAt;
    std::int64_t resumeAt = INT64_MAX;
    for (std::size_t j = i + 1; j < events.size(); ++j) {
      if (events[j].kind == StreamEvent::Kind::OperatorStart) {
        resumeAt = events[j].micros;
        break;
      }
      if (events[j].kind != StreamEvent::Kind::Frame) continue;
      if (!stopAt && events[j].request.command == wire::cmd::kStop) stopAt = events[j].micros;
      if (!stopAt) ++frames;
    }
    if (!stopAt) {
      out.push_back("operator stop" + At(events[i].micros) + " never sent command 200");
      continue;
    }
    if (frames > rules.stopLatencyFrames)
      out.push_back("operator stop" + At(events[i].micros) + " sent command 200 only after " +
                    std::to_string(frames) + " other frames");
    for (const auto& e : executed)
      if (IsMove(e.request.command) && e.startMicros > double(*stopAt) &&
          e.startMicros < double(resumeAt))
        out.push_back("command " + std::to_string(e.request.command) + " moved" +
                      At(static_cast<std::int64_t>(e.startMicros)) + " after the stop" + At(*stopAt));
  }
}

// A motion reset empties the board's queue: sent while moves still wait
// there, and not for an operator's stop, it silently drops part of the work.
// The moves that may still wait are the queued ones sent since a frame last
// found the queue empty.
void CheckDroppedQueue(const std::vector<StreamEvent>& events, std::vector<std::string>& out) {
  bool stopping = false;
  int waitingMoves = 0;
  for (const auto& e : events) {
    if (e.kind == StreamEvent::Kind::OperatorStop) stopping = true;
    if (e.kind == StreamEvent::Kind::OperatorStart) stopping = false;
    if (e.kind != StreamEvent::Kind::Frame) continue;
    const std::uint8_t code = e.request.command;
    if (code == wire::cmd::kMotionReset && e.fillOnArrival > 0 && waitingMoves > 0 && !stopping)
      out.push_back("motion reset at fill " + std::to_string(e.fillOnArrival) + At(e.micros) +
                    " dropped queued moves");
    if (e.fillOnArrival == 0 || code == wire::cmd::kMotionReset) waitingMoves = 0;
    if (IsQueued(code) && IsMove(code)) ++waitingMoves;
  }
}

}  // namespace

std::vector<std::string> CheckStream(const std::vector<StreamEvent>& events,
                                     const std::vector<sim::ExecutedEntry>& executed,
                                     const StreamRules& rules) {
  std::vector<std::string> out;
  CheckRapids(executed, rules, out);
  CheckThrottle(events, rules, out);
  CheckStops(events, executed, rules, out);
  CheckDroppedQueue(events, out);
  return out;
}

std::string DescribeStream(const std::vector<StreamEvent>& events) {
  std::ostringstream s;
  for (const auto& e : events) {
    s << e.micros << " ";
    if (e.kind == StreamEvent::Kind::OperatorStop) {
      s << "operator stop\n";
    } else if (e.kind == StreamEvent::Kind::OperatorStart) {
      s << "operator start\n";
    } else {
      const auto bytes = wire::EncodeRequest(e.request);
      s << wire::DescribeRequest(bytes) << " fill=" << e.fillOnArrival << "\n";
    }
  }
  return s.str();
}

}  // namespace corvane::testing
