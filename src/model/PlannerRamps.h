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
  PlannerRamps(const PlannerRamps&) = delete;  // it points into its own sums
  PlannerRamps& operator=(const PlannerRamps&) = delete;

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
  // Highest speed (at most target, at least next) from which the controller is down to
  // `next` within `length`.
  std::int32_t BrakingSpeed(std::int32_t target, std::int32_t next, std::int32_t length) const;

  // The controller walks every level, one ramp period at each, so these count each
  // level it passes, unlike RampSteps, which lets changes of fewer than five levels go free.
  // Motor steps run at levels 0..level: braking from a to b runs
  // StepsThrough(a) − StepsThrough(b).
  double StepsThrough(int level) const;
  // Highest level whose StepsThrough is at most `steps` (0 if none is), looked for
  // from level `near` on, which it mostly lies close to.
  int LevelWithin(double steps, int near) const;
  // Steps run while slowing from level `high` until level `low` is reached.
  double BrakeSteps(int high, int low) const;
  // Steps run while speeding up from level `low` until level `high` is reached.
  double ClimbSteps(int low, int high) const;
  // Length (0.01 mm) a ramp point leaves for braking from level `high` to `low`, with
  // room for the roundings between path speeds and the controller's lines.
  double SplitBrakeLength(int high, int low) const;
  // Fraction of a segment after which braking from level `high` to `low` must begin.
  double BrakeStart(int high, int low, double length) const;
  // Peak of a segment that must slow down to endSpeed at its end.
  SegmentPeak PeakBeforeDecel(std::int32_t length, std::int32_t startSpeed, std::int32_t endSpeed,
                              int topLevel) const;
  // Peak of a segment that accelerates from startSpeed and must be back at endSpeed.
  SegmentPeak PeakBeforeAccel(std::int32_t length, std::int32_t startSpeed, std::int32_t endSpeed,
                              int topLevel) const;

 private:
  double StepsToLength(double steps) const { return steps / stepsPerUnit_; }
  // Running sums of the per-level ramp steps from `low` up to the last level, added in
  // RampSteps' own order so that every value is bit for bit what RampSteps would sum.
  const std::vector<double>& SumsFrom(int low) const;
  // RampSteps(high, low) from those sums.
  std::int32_t Steps(int high, int low) const;
  // Highest level d in low..high whose climb from `start` and braking down to `end` fit
  // into `length` together, or low − 1 when none does. Both grow with d, so it bisects.
  int HighestPeak(double length, int start, int end, int low, int high) const;

  const AxisScales& scales_;
  const SpeedTables& speeds_;
  std::int32_t accel_;
  bool pipeMode_;
  double stepsPerUnit_;
  std::int32_t rampLengthFull_ = 0;
  mutable std::array<std::vector<double>, kSpeedLevels> sums_;
  const std::vector<double>* through_;  // the sums from level 0
};

}  // namespace corvane
