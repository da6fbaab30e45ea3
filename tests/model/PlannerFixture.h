#pragma once
#include <cmath>
#include <initializer_list>

#include "model/JobModel.h"
#include "model/PlannerSettings.h"
#include "model/SpeedTables.h"

namespace corvane::testing {

// A machine of 1600 steps per revolution on a 10 mm lead (1.6 steps per 0.01 mm),
// with planner settings the tests adjust per case.
struct PlannerFixture {
  PlannerFixture() {
    AxisScaleInputs in;
    in.stepIndexX = in.stepIndexY = in.stepIndexZ = 2;
    in.moveX = in.moveY = in.moveZ = 10.0;
    scales = ComputeAxisScales(in);
    speeds = BuildSpeedTables(scales);
    settings.feedMaxXY = 20000;
    settings.feedMinXY = 600;
    settings.accelXY = 60;
  }
  PlanContext context() const { return {settings, scales, speeds, nullptr}; }

  AxisScales scales;
  SpeedTables speeds;
  PlannerSettings settings;
  std::int32_t lastRamp = 60;
};

// Motor steps the controller runs at levels from..to, one ramp period of accel × 0.1 ms at
// each, stepping at 7 200 000 / (D[k] + 1) Hz: braking from a to b runs levels b+1..a,
// climbing from a to b runs levels a..b−1.
inline double StepsAtLevels(int from, int to, std::int32_t accel) {
  double sum = 0;
  for (int k = from; k <= to; ++k)
    sum += accel * 720.0 / (Dividers()[static_cast<std::size_t>(k)] + 1);
  return sum;
}

inline CNCpath Contour(std::initializer_list<ContourPoint> vertices, std::int32_t kind = kKindCut) {
  CNCpath c{{kind, 0}};
  c.insert(c.end(), vertices);
  return c;
}

// The vertex reached after turning by `degrees` at `corner`, coming from `from`.
inline ContourPoint TurnFrom(ContourPoint from, ContourPoint corner, double degrees, double length) {
  const double heading = std::atan2(corner.y - from.y, corner.x - from.x) + degrees * M_PI / 180;
  return {corner.x + static_cast<std::int32_t>(std::lround(length * std::cos(heading))),
          corner.y + static_cast<std::int32_t>(std::lround(length * std::sin(heading)))};
}

// The plan's record at vertex p, if the plan has one.
inline const PlannedRecord* RecordAt(const CNCpath2& plan, ContourPoint p) {
  for (const auto& r : plan)
    if (r.x == p.x && r.y == p.y) return &r;
  return nullptr;
}

}  // namespace corvane::testing
