#pragma once
#include <cstdint>

#include "model/JobModel.h"
#include "model/PlannerRamps.h"
#include "model/SpeedTables.h"

namespace corvane {

// Speed level for an XY move from `from` to (x, y): the level refers to the axis making more steps.
int MoveLevel(const AxisPosition& from, std::int32_t x, std::int32_t y, std::int32_t speed,
              const AxisScales& scales, const SpeedTables& speeds);

// MoveLevel in two halves, for whoever asks about many lines and speeds of one machine:
// the share of a path speed, in X-table units, that the axis making more steps takes on
// a line ...
class LeadShares {
 public:
  explicit LeadShares(const AxisScales& scales);
  double operator()(const AxisPosition& from, std::int32_t x, std::int32_t y) const;

 private:
  double ratio_;  // S_Y / S_X
  double kink_;   // the direction from the Y axis beyond which X makes more steps
};
// ... the speed in the X table that `speed` stands for on a line with that share ...
std::int32_t ShareSpeed(std::int32_t speed, double share);
// ... and its level.
int ShareLevel(std::int32_t speed, double share, const SpeedTables& speeds);

// Highest level a move of `distanceSteps` can reach when half of it must hold the ramp down to `lowLevel`.
int PeakLevel(double distanceSteps, int highLevel, int lowLevel, std::int32_t accel, bool pipeMode);

// A ramped move sent as two commands: the first at `peak` up to where
// `brakeSteps` of the leading axis are left, the second at the safety level.
// `peak` not above the safety level: the move goes out whole at it.
struct RampedSplit {
  int peak = 0;
  std::int64_t brakeSteps = 0;
};
// The split of a move of `leadSteps` steps of its leading axis, in the levels
// the board is sent for that axis: the peak of PeakLevel, lowered while the
// board could not walk down from it to `lowLevel` within the move. The braking
// is the board's (`ramps`' BrakeSteps): one ramp period at every level it
// passes, which RampSteps leaves out below five levels, the ramps short moves
// end with.
RampedSplit SplitRampedMove(std::int64_t leadSteps, int highLevel, int lowLevel,
                            const PlannerRamps& ramps);

// Ramp distance (0.01 mm) between two pipe speeds, walked in 2 % speed steps.
std::int32_t SpeedRampLength(std::int32_t high, std::int32_t low, std::int32_t accel);

// Highest pipe speed whose ramp fits twice into `distance`.
std::int32_t PipePeakSpeed(double distance, std::int32_t high, std::int32_t low, std::int32_t accel);

// Level of the part of `speed` that lies along an axis at slope x.
int LevelAtAngle(double speed, const SpeedTable& table, double x);

}  // namespace corvane
