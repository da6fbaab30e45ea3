#pragma once
#include <cstdint>
#include <array>
#include <optional>
#include <vector>

#include "model/SpeedTables.h"

namespace corvane {

// Where a peak lies on a segment: its speed and the fraction after which the
// deceleration begins (`SplitFraction`; absent when the search leaves it unchanged).
struct SegmentPeak {
  std::int32_t speed = 0;
  std::optional<double> splitFraction;
};

// The ramp arithmetic of one plan: fixed tables, scales, ramp setting and full ramp.
class PlannerRamps {
 public:
  PlannerRamps(const AxisScales& scales, const SpeedTables& speeds, std::int32_t accel, bool pipeMode);

  std::int32_t accel() const { return accel_; }
  std::int32_t rampLengthFull() const { return rampLengthFull_; }
  // Full ramp between the cutting speed and the corner speed, kept for ReachableSpeed.
  void setRampLengthFull(std::int32_t length) { rampLengthFull_ = length; }

  // SpeedLevel on the X table.
  int Level(std::int32_t speed) const;
  std::int32_t SpeedAt(int level) const;
  // Ramp distance in 0.01 mm between two speeds.
  std::int32_t Length(std::int32_t high, std::int32_t low) const;

  // Highest speed (at most target, at least from) reachable over `length` starting at `from`.
  std::int32_t ReachableSpeed(std::int32_t target, std::int32_t from, std::int32_t length) const;
  // Peak of a segment that must slow down to endSpeed at its end.
  SegmentPeak PeakBeforeDecel(std::int32_t length, std::int32_t startSpeed, std::int32_t endSpeed,
                              int topLevel) const;
  // Peak of a segment that accelerates from startSpeed and must be back at endSpeed.
  SegmentPeak PeakBeforeAccel(std::int32_t length, std::int32_t startSpeed, std::int32_t endSpeed,
                              int topLevel) const;

 private:
  double StepsToLength(std::int32_t steps) const { return steps / stepsPerUnit_; }
  // Running sums of the per-level ramp steps from `low` up to the last level, added in
  // RampSteps' own order so that every value is bit for bit what RampSteps would sum.
  const std::vector<double>& SumsFrom(int low) const;
  // RampSteps(high, low) from those sums.
  std::int32_t Steps(int high, int low) const;

  const AxisScales& scales_;
  const SpeedTables& speeds_;
  std::int32_t accel_;
  bool pipeMode_;
  double stepsPerUnit_;
  std::int32_t rampLengthFull_ = 0;
  mutable std::array<std::vector<double>, kSpeedLevels> sums_;
};

}  // namespace corvane
