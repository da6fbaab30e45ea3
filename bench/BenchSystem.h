#pragma once
#include "model/SpeedTables.h"
#include "system/System.h"

// The axes of a plain table (5 steps per 0.01 mm in X and Y, 2 in Z), their
// speed tables, and the settings counted as loaded: what the benchmarks that
// build a whole System need before they draw or run anything.
inline void UseBenchAxes(corvane::System& system) {
  corvane::AxisScaleInputs inputs;
  inputs.moveX = inputs.moveY = 5.0;
  inputs.moveZ = 2.0;
  system.scales = corvane::ComputeAxisScales(inputs);
  system.speeds = corvane::BuildSpeedTables(system.scales);
  system.loading = false;
}
