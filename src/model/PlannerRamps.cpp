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

std::int32_t PlannerRamps::Length(std::int32_t high, std::int32_t low) const {
  return RampLength(high, low, accel_, speeds_, scales_, pipeMode_);
}

std::int32_t PlannerRamps::ReachableSpeed(std::int32_t target, std::int32_t from,
                                          std::int32_t length) const {
  if (from >= target) return target;
  // Both sides in motor steps: the full ramp covers any change between Fmin and F.
  const double steps = std::round(length * stepsPerUnit_);
  if (steps >= std::round(rampLengthFull_ * stepsPerUnit_)) return target;
  const auto& dividers = Dividers();
  const int top = Level(target);
  int k = Level(from);
  double sum = 0;
  while (k + 1 < top) {
    sum += accel_ * 720.0 / (dividers[static_cast<std::size_t>(k)] + 1);
    if (sum >= steps) break;
    ++k;
  }
  // Keeping the speed one already has is always possible.
  return std::clamp(SpeedAt(k), from, target);
}

SegmentPeak PlannerRamps::PeakBeforeDecel(std::int32_t length, std::int32_t startSpeed,
                                          std::int32_t endSpeed, int topLevel) const {
  const double len = std::max(length, 1);
  const int e = Level(endSpeed), b = Level(startSpeed);
  if (topLevel < e)
    return {SpeedAt(topLevel), 1 - StepsToLength(RampSteps(b, e, accel_, pipeMode_)) / len};
  for (int d = topLevel; d >= e; --d) {
    const double dec = StepsToLength(RampSteps(d, e, accel_, pipeMode_));
    const double acc = StepsToLength(RampSteps(d, b, accel_, pipeMode_));
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
    const double dec = StepsToLength(RampSteps(d, e, accel_, pipeMode_));
    const double acc = StepsToLength(RampSteps(d, b, accel_, pipeMode_));
    fraction = 1 - dec / len;
    if (len > dec + acc) return {SpeedAt(d), fraction};
  }
  return {SpeedAt(e + 2), fraction};
}

}  // namespace corvane
