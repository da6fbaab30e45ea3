#include "machine/QueuedBoardTime.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "model/SpeedTables.h"
#include "wire/Codes.h"
#include "wire/Commands.h"

namespace corvane {
namespace {

constexpr double kRampPeriodMicrosPerUnit = 100.0;  // a ramp setting r holds each level r × 100 µs
constexpr double kOverrideStep = 0.02;              // a feed override step is 2 % of the speed
constexpr double kSlowestOverride = 0.02;

std::int64_t StepsBetween(std::int32_t a, std::int32_t b) {
  return std::llabs(std::int64_t{b} - a);
}

}  // namespace

double QueuedBoardTime::MoveMicros(State& state, std::int64_t steps, int target) {
  target = std::clamp(target, 0, kSpeedLevels - 1);
  const double period = state.ramp * kRampPeriodMicrosPerUnit;
  const double factor = std::max(1.0 + kOverrideStep * state.feedOverride, kSlowestOverride);
  const auto& dividers = Dividers();
  const auto perMicro = [&](int level) {
    return double(wire::kStepTimerHz) / (dividers[static_cast<std::size_t>(level)] + 1.0) * factor /
           1e6;
  };
  if (period <= 0) state.level = target;
  double left = double(steps), micros = 0;
  while (left > 0 && state.level != target) {
    const double rate = perMicro(state.level);
    if (rate * period >= left) return micros + left / rate;
    left -= rate * period;
    micros += period;
    state.level += target > state.level ? 1 : -1;
  }
  return micros + left / perMicro(target);
}

double QueuedBoardTime::Apply(State& s, const wire::ControllerRequest& r) {
  namespace cmd = wire::cmd;
  const auto& p = r.p;
  switch (r.command) {
    case cmd::kRamp:
      s.ramp = std::max(p[4], 0);
      return 0;
    case cmd::kStartLevel:
      s.startLevel = s.level = std::clamp(p[4], 0, kSpeedLevels - 1);
      return 0;
    case cmd::kSetPosition:
      s.at = {p[0], p[1], p[2], p[3]};
      return 0;
    case cmd::kFeedOverride:
      s.feedOverride = p[0];
      return 0;
    case cmd::kTorchOn:
    case cmd::kTorchButtonUp:
      s.torchOn = true;
      return 0;
    case cmd::kTorchOff:
    case cmd::kTorchButtonDown:
      s.torchOn = false;
      return 0;
    case cmd::kStop:
      s.torchOn = false;
      s.level = s.startLevel;
      return 0;
    case cmd::kDwell:
      s.level = s.startLevel;
      return std::max(p[0], 0) * 1000.0;
    case cmd::kXyLine: {
      const std::int64_t steps = std::max(StepsBetween(s.at[0], p[0]), StepsBetween(s.at[1], p[1]));
      s.at[0] = p[0];
      s.at[1] = p[1];
      return MoveMicros(s, steps, p[4]);
    }
    case cmd::kZMove: {
      const std::int64_t steps = StepsBetween(s.at[2], p[2]);
      s.at[2] = p[2];
      return MoveMicros(s, steps, p[4]);
    }
    case cmd::kZAboveMaterial: {
      const std::int64_t steps = StepsBetween(s.aboveSurface, p[2]);
      s.aboveSurface = p[2];
      return MoveMicros(s, steps, p[4]);
    }
    case cmd::kXyzaMove: {
      std::int64_t steps = 0;
      for (std::size_t i = 0; i < s.at.size(); ++i)
        steps = std::max(steps, StepsBetween(s.at[i], p[i]));
      s.at = {p[0], p[1], p[2], p[3]};
      return MoveMicros(s, steps, p[4]);
    }
    case cmd::kYaMove: {
      const std::int64_t steps = std::max(StepsBetween(s.at[1], p[1]), StepsBetween(s.at[3], p[3]));
      s.at[1] = p[1];
      s.at[3] = p[3];
      return MoveMicros(s, steps, p[4]);
    }
    // These run until something is sensed: their time is the machine's, and
    // the torch is off or not yet burning while they run.
    case cmd::kProbe:
      s.aboveSurface = 0;
      [[fallthrough]];
    case cmd::kArcWait:
    case cmd::kArcWaitIn2:
    case cmd::kMotionReset:
    case cmd::kHomeX:
    case cmd::kHomeXReversed:
    case cmd::kHomeY:
    case cmd::kHomeYReversed:
    case cmd::kHomeZ:
    case cmd::kHomeA:
      s.level = s.startLevel;
      return 0;
    default:
      return 0;
  }
}

void QueuedBoardTime::Sent(const wire::ControllerRequest& request, bool queued, std::int64_t now) {
  const double micros = Apply(state_, request);
  if (!queued) return;
  if (queued_.empty()) headSince_ = now;
  queued_.push_back(micros);
  total_ += micros;
}

void QueuedBoardTime::Reported(int fill, std::int64_t now) {
  const std::size_t left = static_cast<std::size_t>(std::max(fill, 0));
  if (queued_.size() <= left) return;
  while (queued_.size() > left) {
    total_ -= queued_.front();
    queued_.pop_front();
  }
  // The new oldest began between the last reply and this one: counting from
  // now never makes the queue look shorter than it is.
  headSince_ = now;
  if (queued_.empty()) {
    total_ = 0;
    // An idle controller starts its next move from the start level.
    state_.level = state_.startLevel;
  }
}

std::int64_t QueuedBoardTime::LeftMicros(std::int64_t now) const {
  if (queued_.empty()) return 0;
  const double running = std::clamp(double(now - headSince_), 0.0, queued_.front());
  return std::llround(std::max(total_ - running, 0.0));
}

std::int64_t QueuedBoardTime::MicrosOf(const wire::ControllerRequest& request) const {
  State after = state_;
  return std::llround(Apply(after, request));
}

}  // namespace corvane
