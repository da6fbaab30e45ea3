#pragma once
// The planners' set-up the planning benchmarks share: 1600 steps a
// revolution on 10 mm leads, 12 m/min rapids, ramp 60; the A axis' gear
// and step setting given.
#include "model/PlannerSettings.h"
#include "model/SpeedTables.h"

namespace corvane {

struct BenchPlanning {
  AxisScales scales;
  SpeedTables speeds;
  PlannerSettings settings;
};

inline BenchPlanning MakeBenchPlanning(int stepIndexA = 0, double gearA = 1.0) {
  AxisScaleInputs in;
  in.stepIndexX = in.stepIndexY = in.stepIndexZ = 2;
  in.stepIndexA = stepIndexA;
  in.gearA = gearA;
  in.moveX = in.moveY = in.moveZ = 10.0;
  BenchPlanning b;
  b.scales = ComputeAxisScales(in);
  b.speeds = BuildSpeedTables(b.scales);
  b.settings.feedMaxXY = 12000;
  b.settings.feedMinXY = 500;
  b.settings.accelXY = 60;
  return b;
}

}  // namespace corvane
