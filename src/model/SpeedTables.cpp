#include "model/SpeedTables.h"

#include <algorithm>
#include <cmath>

namespace corvane {

const std::array<std::int32_t, kSpeedLevels>& Dividers() {
  static const auto table = [] {
    std::array<std::int32_t, kSpeedLevels> d{};
    for (int k = 0; k < kSpeedLevels; ++k)
      d[k] = static_cast<std::int32_t>(std::trunc(7200000.0 / (110.0 * std::pow(1.02, k))));
    return d;
  }();
  return table;
}

int StepsPerRev(int comboIndex) {
  static constexpr int kSteps[] = {400,  800,  1600,  3200,  6400,  12800, 25600,
                                   51200, 1000, 2000, 5000, 10000, 25000, 50000};
  if (comboIndex < 0 || comboIndex >= static_cast<int>(std::size(kSteps))) return 800;
  return kSteps[comboIndex];
}

int MicrostepCode(int microsteps) {
  for (int code = 1, value = 1; code <= 8; ++code, value *= 2)
    if (microsteps == value) return code;
  return 0;
}

AxisScales ComputeAxisScales(const AxisScaleInputs& in) {
  AxisScales s;
  s.SX = StepsPerRev(in.stepIndexX) / in.moveX / 100.0;
  s.SY = StepsPerRev(in.stepIndexY) / in.moveY / 100.0;
  s.SZ = StepsPerRev(in.stepIndexZ) / in.moveZ / 100.0;
  s.ARev = static_cast<std::int32_t>(std::lround(in.gearA * StepsPerRev(in.stepIndexA)));
  s.SA = in.pipeDiameter > 0 ? s.ARev / (in.pipeDiameter * 3.1416) : 0.0;
  s.RatioYX = s.SX != 0 ? s.SY / s.SX : 1.0;
  return s;
}

SpeedTable BuildSpeedTable(double stepsPerHundredth) {
  SpeedTable table{};
  if (!(stepsPerHundredth > 0) || !std::isfinite(stepsPerHundredth)) return table;
  const auto& d = Dividers();
  for (int k = 0; k < kSpeedLevels; ++k) {
    const double speed = 4320000.0 / ((d[k] + 1.0) * stepsPerHundredth);
    table[k] = static_cast<std::int32_t>(std::lround(std::min(speed, 2147483647.0)));
  }
  return table;
}

SpeedTables BuildSpeedTables(const AxisScales& scales) {
  return {BuildSpeedTable(scales.SX), BuildSpeedTable(scales.SZ), BuildSpeedTable(scales.SA)};
}

int SpeedLevel(std::int32_t speed, const SpeedTable& table) {
  // The table never decreases, so the levels 1..350 not above `speed` form a
  // prefix: bisection finds its end. Planning asks this for every segment.
  const auto first = table.begin() + 1;
  const auto last = table.begin() + kHighestSelectableLevel + 1;
  return static_cast<int>(std::upper_bound(first, last, speed) - first);
}

std::int32_t RampSteps(int high, int low, std::int32_t accel, bool pipeMode) {
  if (high - low < 5 || high < low) return 0;
  high = std::min(high, kSpeedLevels - 1);
  low = std::max(low, 0);
  const double factor = pipeMode ? 520.0 : 720.0;
  const auto& d = Dividers();
  double sum = 0;
  for (int k = low; k <= high; ++k) sum += accel * factor / (d[k] + 1.0);
  return static_cast<std::int32_t>(std::lround(sum));
}

std::int32_t RampLength(std::int32_t highSpeed, std::int32_t lowSpeed, std::int32_t accel,
                        const SpeedTables& tables, const AxisScales& scales, bool pipeMode) {
  const std::int32_t steps =
      RampSteps(SpeedLevel(highSpeed, tables.X), SpeedLevel(lowSpeed, tables.X), accel, pipeMode);
  const double perHundredth = std::min(scales.SX, scales.SY);
  if (!(perHundredth > 0)) return 0;
  return static_cast<std::int32_t>(std::lround(steps / perHundredth));
}

}  // namespace corvane
