#include "model/PlannerRamps.h"

#include <algorithm>
#include <cmath>

namespace corvane {

PlannerRamps::PlannerRamps(const AxisScales& scales, const SpeedTables& speeds, std::int32_t accel,
                           bool pipeMode)
    : scales_(scales), speeds_(speeds), accel_(accel), pipeMode_(pipeMode) {
  const double perUnit = std::min(scales.SX, scales.SY);
  stepsPerUnit_ = perUnit > 0 && std::isfinite(perUnit) ? perUnit : 1.0;
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

SegmentPeak PlannerRamps::PeakBeforeDecel(std::int32_t length, std::int32_t startSpeed,
                                          std::int32_t endSpeed, int topLevel) const {
  const double len = std::max(length, 1);
  const int e = Level(endSpeed), b = Level(startSpeed);
  if (topLevel < e)
    return {SpeedAt(topLevel), 1 - StepsToLength(Steps(b, e)) / len};
  for (int d = topLevel; d >= e; --d) {
    const double dec = StepsToLength(Steps(d, e));
    const double acc = StepsToLength(Steps(d, b));
    if (len > dec + acc) return {SpeedAt(d), 1 - dec / len};
  }
  return {SpeedAt(e - 1), 1.0};
}

SegmentPeak PlannerRamps::PeakBeforeAccel(std::int32_t length, std::int32_t startSpeed,
                                          std::int32_t endSpeed, int topLevel) const {
  const double len = std::max(length, 1);
  const int e = Level(endSpeed), b = Level(startSpeed);
  if (e + 1 >= topLevel) return {SpeedAt(topLevel), std::nullopt};
  if (topLevel < e + 3) return {SpeedAt(topLevel), 1 - 10 / len};
  double fraction = 1.0;
  for (int d = topLevel; d >= e + 3; --d) {
    const double dec = StepsToLength(Steps(d, e));
    const double acc = StepsToLength(Steps(d, b));
    fraction = 1 - dec / len;
    if (len > dec + acc) return {SpeedAt(d), fraction};
  }
  return {SpeedAt(e + 2), fraction};
}

}  // namespace corvane
