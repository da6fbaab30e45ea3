#include "model/PlannerRamps.h"

#include <algorithm>
#include <cmath>

namespace corvane {

PlannerRamps::PlannerRamps(const AxisScales& scales, const SpeedTables& speeds, std::int32_t accel,
                           bool pipeMode)
    : scales_(scales), speeds_(speeds), accel_(accel), pipeMode_(pipeMode) {
  const double perUnit = std::min(scales.SX, scales.SY);
  stepsPerUnit_ = perUnit > 0 && std::isfinite(perUnit) ? perUnit : 1.0;
  through_ = &SumsFrom(0);
}

std::int32_t PlannerRamps::SpeedAt(int level) const {
  return speeds_.X[static_cast<std::size_t>(std::clamp(level, 0, kSpeedLevels - 1))];
}

int PlannerRamps::Level(std::int32_t speed) const { return SpeedLevel(speed, speeds_.X); }

std::int32_t PlannerRamps::Length(std::int32_t high, std::int32_t low) const {
  const double perUnit = std::min(scales_.SX, scales_.SY);
  if (!(perUnit > 0)) return 0;
  return static_cast<std::int32_t>(std::lround(Steps(Level(high), Level(low)) / perUnit));
}

const std::vector<double>& PlannerRamps::SumsFrom(int low) const {
  low = std::clamp(low, 0, kSpeedLevels - 1);
  std::vector<double>& sums = sums_[static_cast<std::size_t>(low)];
  if (sums.empty()) {
    sums.reserve(static_cast<std::size_t>(kSpeedLevels - low));
    const auto& dividers = Dividers();
    const double factor = pipeMode_ ? 520.0 : 720.0;
    double sum = 0;
    for (int k = low; k < kSpeedLevels; ++k) {
      sum += accel_ * factor / (dividers[static_cast<std::size_t>(k)] + 1.0);
      sums.push_back(sum);
    }
  }
  return sums;
}

std::int32_t PlannerRamps::Steps(int high, int low) const {
  if (high - low < 5 || high < low) return 0;
  high = std::min(high, kSpeedLevels - 1);
  low = std::max(low, 0);
  return static_cast<std::int32_t>(std::lround(SumsFrom(low)[static_cast<std::size_t>(high - low)]));
}

double PlannerRamps::StepsThrough(int level) const {
  if (level < 0 || accel_ <= 0) return 0;  // without a ramp the controller changes level at once
  return (*through_)[static_cast<std::size_t>(std::min(level, kSpeedLevels - 1))];
}

int PlannerRamps::LevelWithin(double steps, int near) const {
  if (accel_ <= 0) return kSpeedLevels - 1;
  const std::vector<double>& sums = *through_;
  // Below level 0 everything is within, above the last level nothing is.
  const auto within = [&](int k) {
    return k < 0 || (k < kSpeedLevels && sums[static_cast<std::size_t>(k)] <= steps);
  };
  // The answer mostly lies a few levels from `near`: gallop away from it until the
  // answer is passed, then bisect the last stride.
  int last = std::clamp(near, 0, kSpeedLevels - 1), next = last;
  const bool up = within(last);
  for (int stride = 1; within(next) == up; stride *= 2) {
    last = next;
    next = std::clamp(next + (up ? stride : -stride), -1, kSpeedLevels);
  }
  int fits = up ? last : next, beyond = up ? next : last;
  while (beyond - fits > 1) {
    const int mid = fits + (beyond - fits) / 2;
    (within(mid) ? fits : beyond) = mid;
  }
  return std::max(fits, 0);
}

double PlannerRamps::BrakeSteps(int high, int low) const {
  // A level is left after one ramp period spent at it: low is reached once high..low+1 are run.
  return high > low ? StepsThrough(high) - StepsThrough(low) : 0.0;
}

double PlannerRamps::ClimbSteps(int low, int high) const {
  return high > low ? StepsThrough(high - 1) - StepsThrough(low - 1) : 0.0;
}

double PlannerRamps::SplitBrakeLength(int high, int low) const {
  // Each line's level is rounded down from its speed along the leading axis, which can
  // leave the controller one level above what the path speeds say, and the ends of a
  // line are rounded to whole steps, which can take one step off it.
  return StepsToLength(BrakeSteps(high + 1, low) + 1);
}

double PlannerRamps::BrakeStart(int high, int low, double length) const {
  return 1 - SplitBrakeLength(high, low) / length;
}

std::int32_t PlannerRamps::ReachableSpeed(std::int32_t target, std::int32_t from,
                                          std::int32_t length) const {
  if (from >= target) return target;
  // Both sides in motor steps: the full ramp covers any change between Fmin and F.
  const double steps = std::round(length * stepsPerUnit_);
  if (steps >= std::round(rampLengthFull_ * stepsPerUnit_)) return target;
  const int top = Level(target);
  int k = Level(from);
  // Walk up until the levels climbed so far use up the segment.
  const std::vector<double>& sums = SumsFrom(k);
  const int first = k;
  while (k + 1 < top && sums[static_cast<std::size_t>(k - first)] < steps) ++k;
  // Keeping the speed one already has is always possible.
  return std::clamp(SpeedAt(k), from, target);
}

std::int32_t PlannerRamps::BrakingSpeed(std::int32_t target, std::int32_t next,
                                        std::int32_t length) const {
  if (next >= target) return target;
  const int low = Level(next);
  const double within = StepsThrough(low) + std::round(length * stepsPerUnit_);
  if (within >= StepsThrough(Level(target))) return target;
  return std::clamp(SpeedAt(LevelWithin(within, low)), next, target);
}

int PlannerRamps::HighestPeak(double length, int start, int end, int low, int high) const {
  const auto fits = [&](int d) {
    return length > SplitBrakeLength(d, end) + StepsToLength(ClimbSteps(start, d));
  };
  // Most segments allow the highest level or one a little below it: gallop down from
  // there, then bisect the last stride.
  int fitting = high, tooHigh = high + 1;
  for (int stride = 1; fitting >= low && !fits(fitting); stride *= 2) {
    tooHigh = fitting;
    fitting = std::max(fitting - stride, low - 1);
  }
  while (tooHigh - fitting > 1) {
    const int mid = fitting + (tooHigh - fitting) / 2;
    (fits(mid) ? fitting : tooHigh) = mid;
  }
  return fitting;
}

SegmentPeak PlannerRamps::PeakBeforeDecel(std::int32_t length, std::int32_t startSpeed,
                                          std::int32_t endSpeed, int topLevel) const {
  const double len = std::max(length, 1);
  const int e = Level(endSpeed), b = Level(startSpeed);
  if (topLevel < e) return {SpeedAt(topLevel), BrakeStart(b, e, len)};
  const int d = HighestPeak(len, b, e, e, topLevel);
  if (d < e) return {SpeedAt(e - 1), 1.0};
  return {SpeedAt(d), BrakeStart(d, e, len)};
}

SegmentPeak PlannerRamps::PeakBeforeAccel(std::int32_t length, std::int32_t startSpeed,
                                          std::int32_t endSpeed, int topLevel) const {
  const double len = std::max(length, 1);
  const int e = Level(endSpeed), b = Level(startSpeed);
  if (e + 1 >= topLevel) return {SpeedAt(topLevel), std::nullopt};
  if (topLevel < e + 3) return {SpeedAt(topLevel), 1 - 10 / len};
  const int d = HighestPeak(len, b, e, e + 3, topLevel);
  // With no peak that fits, the fraction is that of the lowest level tried.
  if (d < e + 3) return {SpeedAt(e + 2), BrakeStart(e + 3, e, len)};
  return {SpeedAt(d), BrakeStart(d, e, len)};
}

}  // namespace corvane
