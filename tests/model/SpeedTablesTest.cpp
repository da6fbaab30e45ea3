#include <gtest/gtest.h>

#include <cmath>

#include "model/SpeedTables.h"

namespace corvane {
namespace {

TEST(SpeedTables, DividersMatchTheControllerTable) {
  const auto& d = Dividers();
  ASSERT_EQ(d.size(), 381u);
  EXPECT_EQ(d[0], 65454);
  EXPECT_EQ(d[40], 29643);
  EXPECT_EQ(d[200], 1247);
  EXPECT_EQ(d[380], 35);
  for (size_t k = 1; k < d.size(); ++k) EXPECT_LE(d[k], d[k - 1]) << k;
}

TEST(SpeedTables, StepsPerRevAndMicrostepCodes) {
  const int steps[] = {400, 800, 1600, 3200, 6400, 12800, 25600, 51200, 1000, 2000, 5000, 10000,
                       25000, 50000};
  for (int i = 0; i < 14; ++i) EXPECT_EQ(StepsPerRev(i), steps[i]);
  EXPECT_EQ(StepsPerRev(-1), 800);
  EXPECT_EQ(StepsPerRev(14), 800);
  const std::pair<int, int> codes[] = {{1, 1}, {2, 2}, {4, 3}, {8, 4}, {16, 5},
                                       {32, 6}, {64, 7}, {128, 8}, {3, 0}, {0, 0}, {256, 0}};
  for (auto [microsteps, code] : codes) EXPECT_EQ(MicrostepCode(microsteps), code) << microsteps;
}

// 1600 steps per revolution on a 10 mm lead: 1.6 steps per 0.01 mm.
AxisScales TypicalScales() {
  AxisScaleInputs in;
  in.stepIndexX = in.stepIndexY = in.stepIndexZ = 2;
  in.moveX = in.moveY = 10.0;
  in.moveZ = 5.0;
  in.gearA = 2.5;
  in.stepIndexA = 1;
  in.pipeDiameter = 10000;
  return ComputeAxisScales(in);
}

TEST(SpeedTables, ScalesAndTablesFollowTheirFormulas) {
  const AxisScales s = TypicalScales();
  EXPECT_DOUBLE_EQ(s.SX, 1.6);
  EXPECT_DOUBLE_EQ(s.SZ, 3.2);
  EXPECT_EQ(s.ARev, 2000);
  EXPECT_DOUBLE_EQ(s.SA, 2000 / (10000 * 3.1416));
  EXPECT_DOUBLE_EQ(s.RatioYX, 1.0);
  const SpeedTables t = BuildSpeedTables(s);
  for (int k : {0, 40, 200, 380}) {
    const double speed = 4320000.0 / ((Dividers()[k] + 1) * 1.6);
    EXPECT_EQ(t.X[k], std::lround(speed)) << k;
  }
}

TEST(SpeedTables, SpeedLevelPicksTheHighestLevelNotAbove) {
  const SpeedTables t = BuildSpeedTables(TypicalScales());
  EXPECT_EQ(SpeedLevel(t.X[1] - 1, t.X), 0);
  EXPECT_EQ(SpeedLevel(0, t.X), 0);
  EXPECT_EQ(SpeedLevel(t.X[100], t.X), 100);
  EXPECT_EQ(SpeedLevel(t.X[100] + 1, t.X), 100);
  EXPECT_EQ(SpeedLevel(t.X[350] + 1000, t.X), 350);
  EXPECT_EQ(SpeedLevel(t.X[380], t.X), 350);
}

TEST(SpeedTables, RampStepsSumsLevelDurations) {
  EXPECT_EQ(RampSteps(104, 100, 10, false), 0);  // fewer than 5 levels apart
  EXPECT_EQ(RampSteps(100, 110, 10, false), 0);  // wrong order
  double expected = 0;
  for (int k = 100; k <= 105; ++k) expected += 10 * 720.0 / (Dividers()[k] + 1);
  EXPECT_EQ(RampSteps(105, 100, 10, false), std::lround(expected));
  double pipe = 0;
  for (int k = 100; k <= 105; ++k) pipe += 10 * 520.0 / (Dividers()[k] + 1);
  EXPECT_EQ(RampSteps(105, 100, 10, true), std::lround(pipe));
}

TEST(SpeedTables, RampLengthConvertsStepsWithTheFinerAxis) {
  const AxisScales s = TypicalScales();
  const SpeedTables t = BuildSpeedTables(s);
  const int high = SpeedLevel(6000, t.X);
  const int low = SpeedLevel(500, t.X);
  const auto steps = RampSteps(high, low, 20, false);
  EXPECT_GT(steps, 0);
  EXPECT_EQ(RampLength(6000, 500, 20, t, s, false), std::lround(steps / 1.6));
}

}  // namespace
}  // namespace corvane
