#pragma once
#include <array>
#include <cstdint>

namespace corvane {

inline constexpr int kSpeedLevels = 381;
inline constexpr int kHighestSelectableLevel = 350;

// The controller's step-timer dividers: D[k] = trunc(7 200 000 / (110 × 1.02^k)).
const std::array<std::int32_t, kSpeedLevels>& Dividers();

// Steps per motor revolution for a microstepping choice index.
int StepsPerRev(int comboIndex);
// Driver code of a microstep count: 1, 2, 4 … 128 → 1..8; anything else → 0.
int MicrostepCode(int microsteps);

// Steps per 0.01 mm of each axis, recomputed whenever the configuration changes.
struct AxisScales {
  double SX = 1.0;
  double SY = 1.0;
  double SZ = 1.0;
  double SA = 1.0;
  std::int32_t ARev = 0;     // steps per revolution of the rotary axis
  double RatioYX = 1.0;      // S_Y / S_X for direction-dependent XY speed limits
};

// The numbers the scales are made from, already parsed from their fields.
struct AxisScaleInputs {
  int stepIndexX = 1, stepIndexY = 1, stepIndexZ = 1, stepIndexA = 1;
  double moveX = 1.0, moveY = 1.0, moveZ = 1.0;  // mm per motor revolution
  double gearA = 1.0;                            // rotary gear ratio
  double pipeDiameter = 0.0;                     // 0.01 mm
};

AxisScales ComputeAxisScales(const AxisScaleInputs& in);

using SpeedTable = std::array<std::int32_t, kSpeedLevels>;

// Speed of every level in mm/min for each axis (Y uses X's table and RatioYX).
struct SpeedTables {
  SpeedTable X{};
  SpeedTable Z{};
  SpeedTable A{};
};

SpeedTable BuildSpeedTable(double stepsPerHundredth);
SpeedTables BuildSpeedTables(const AxisScales& scales);

// Highest level in 0..350 whose speed does not exceed `speed`.
int SpeedLevel(std::int32_t speed, const SpeedTable& table);
// Motor steps covered while changing between two levels; 0 for fewer than 5 levels.
std::int32_t RampSteps(int high, int low, std::int32_t accel, bool pipeMode);
// Ramp distance in 0.01 mm between two XY speeds.
std::int32_t RampLength(std::int32_t highSpeed, std::int32_t lowSpeed, std::int32_t accel,
                        const SpeedTables& tables, const AxisScales& scales, bool pipeMode);

}  // namespace corvane
