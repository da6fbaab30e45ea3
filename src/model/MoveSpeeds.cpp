#include "model/MoveSpeeds.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace corvane {

int MoveLevel(const AxisPosition& from, std::int32_t x, std::int32_t y, std::int32_t speed,
              const AxisScales& scales, const SpeedTables& speeds) {
  return ShareLevel(speed, LeadShares(scales)(from, x, y), speeds);
}

LeadShares::LeadShares(const AxisScales& scales)
    : ratio_(scales.RatioYX), kink_(std::atan(ratio_)) {}

double LeadShares::operator()(const AxisPosition& from, std::int32_t x, std::int32_t y) const {
  const double dx = std::fabs(static_cast<double>(std::int64_t{x} - from.x));
  const double dy = std::fabs(static_cast<double>(std::int64_t{y} - from.y));
  const double phi = dy == 0 ? std::numbers::pi / 2 : std::atan(dx / dy);
  return phi >= kink_ ? std::sin(phi) : std::cos(phi) * ratio_;
}

std::int32_t ShareSpeed(std::int32_t speed, double share) {
  const long v = std::lround(share * speed);
  return static_cast<std::int32_t>(
      std::clamp<long>(v, 0, std::numeric_limits<std::int32_t>::max()));
}

int ShareLevel(std::int32_t speed, double share, const SpeedTables& speeds) {
  return SpeedLevel(ShareSpeed(speed, share), speeds.X);
}

int PeakLevel(double distanceSteps, int highLevel, int lowLevel, std::int32_t accel, bool pipeMode) {
  if (lowLevel + 5 >= highLevel || highLevel < lowLevel + 3) return highLevel;
  const int maxDrops = highLevel - lowLevel - 2;
  for (int drops = 0; drops < maxDrops; ++drops) {
    if (distanceSteps / 2 > RampSteps(highLevel, lowLevel, accel, pipeMode)) break;
    --highLevel;
  }
  return highLevel;
}

RampedSplit SplitRampedMove(std::int64_t leadSteps, int highLevel, int lowLevel,
                            const PlannerRamps& ramps) {
  int peak = PeakLevel(static_cast<double>(leadSteps), highLevel, lowLevel, ramps.accel(), false);
  for (; peak > lowLevel; --peak) {
    const auto brake = static_cast<std::int64_t>(std::ceil(ramps.BrakeSteps(peak, lowLevel)));
    if (brake < leadSteps) return {peak, brake};
  }
  return {peak, 0};
}

// One 2 % speed step up; below 25 mm/min rounding alone would never move the speed.
static std::int64_t NextSpeedUp(std::int64_t v) { return std::max<std::int64_t>(v + 1, std::llround(static_cast<double>(v) * 1.02)); }
// One 2 % speed step down, always by at least 1.
static std::int64_t NextSpeedDown(std::int64_t v) { return std::min<std::int64_t>(v - 1, std::llround(static_cast<double>(v) / 1.02)); }

std::int32_t SpeedRampLength(std::int32_t high, std::int32_t low, std::int32_t accel) {
  if (accel <= 0 || high < low * 1.1) return 0;
  double sum = 0;
  for (std::int64_t v = std::max(low, 0); v < high; v = NextSpeedUp(v))
    sum += accel * static_cast<double>(v) / 6000.0;
  return static_cast<std::int32_t>(std::lround(sum));
}

std::int32_t PipePeakSpeed(double distance, std::int32_t high, std::int32_t low, std::int32_t accel) {
  if (low * 1.03 >= high) return high;
  std::int64_t v = std::llround(high * 1.02);
  do {
    v = NextSpeedDown(v);
  } while (v >= low && !(distance / 2 > SpeedRampLength(static_cast<std::int32_t>(v), low, accel)));
  return v < low ? low : static_cast<std::int32_t>(v);
}

int LevelAtAngle(double speed, const SpeedTable& table, double x) {
  const double along = std::floor(speed * std::cos(std::atan(x)));
  return SpeedLevel(static_cast<std::int32_t>(std::clamp(along, -2147483648.0, 2147483647.0)), table);
}

}  // namespace corvane
