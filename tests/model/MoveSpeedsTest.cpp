#include <gtest/gtest.h>

#include <cmath>

#include "model/MoveSpeeds.h"
#include "model/PacedWait.h"
#include "ports/Clock.h"

namespace corvane {
namespace {

AxisScales Scales(int stepIndexY) {
  AxisScaleInputs in;
  in.stepIndexX = 2;
  in.stepIndexY = stepIndexY;
  in.moveX = in.moveY = 10.0;
  return ComputeAxisScales(in);
}

TEST(MoveSpeeds, MoveLevelRefersToTheAxisWithMoreSteps) {
  const AxisScales same = Scales(2);
  const SpeedTables speeds = BuildSpeedTables(same);
  const AxisPosition from{1000, 1000, 0, 0};
  // A pure Y move on equal axes uses the speed unchanged.
  EXPECT_EQ(MoveLevel(from, 1000, 9000, 3000, same, speeds), SpeedLevel(3000, speeds.X));
  // A 45° move uses speed × sin 45°.
  EXPECT_EQ(MoveLevel(from, 6000, 6000, 3000, same, speeds),
            SpeedLevel(static_cast<std::int32_t>(std::lround(3000 * std::sin(M_PI / 4))), speeds.X));
  // A pure X move and a zero move use the speed itself.
  EXPECT_EQ(MoveLevel(from, 9000, 1000, 3000, same, speeds), SpeedLevel(3000, speeds.X));
  EXPECT_EQ(MoveLevel(from, 1000, 1000, 3000, same, speeds), SpeedLevel(3000, speeds.X));
  // Y with twice the steps: a pure Y move is expressed in X steps, twice as fast.
  const AxisScales finerY = Scales(3);
  EXPECT_EQ(MoveLevel(from, 1000, 9000, 3000, finerY, speeds), SpeedLevel(6000, speeds.X));
}

TEST(MoveSpeeds, PeakLevelIsTheHighestWhoseRampFitsIntoHalfTheMove) {
  EXPECT_EQ(PeakLevel(10, 105, 100, 100, false), 105);  // within five levels: unchanged
  for (double distance : {500.0, 5000.0, 50000.0, 5e6}) {
    const int peak = PeakLevel(distance, 250, 50, 100, false);
    if (peak < 250) {
      EXPECT_LE(distance / 2, RampSteps(peak + 1, 50, 100, false)) << distance;
    }
    if (peak > 52) {
      EXPECT_GT(distance / 2, RampSteps(peak, 50, 100, false)) << distance;
    }
    EXPECT_GE(peak, 52) << distance;  // lowered at most high − low − 2 times
  }
  EXPECT_EQ(PeakLevel(5e6, 250, 50, 100, false), 250);
}

// The pipe ramp in 2 % speed steps, written out from its definition.
double PipeRamp(double high, double low, double accel) {
  double sum = 0;
  for (double v = low; v < high; v = std::round(v * 1.02)) sum += accel * v / 6000;
  return std::round(sum);
}

TEST(MoveSpeeds, PipeRampsInSpeedSpace) {
  EXPECT_EQ(SpeedRampLength(1000, 500, 60), PipeRamp(1000, 500, 60));
  EXPECT_EQ(SpeedRampLength(3000, 400, 100), PipeRamp(3000, 400, 100));
  EXPECT_EQ(SpeedRampLength(1090, 1000, 60), 0);  // below 10 % apart
  EXPECT_EQ(SpeedRampLength(3000, 400, 0), 0);
  // Speeds under 25 mm/min would never grow by rounding 2 %; the walk must still end.
  EXPECT_GT(SpeedRampLength(100, 5, 60), 0);

  EXPECT_EQ(PipePeakSpeed(1000, 1020, 1000, 60), 1020);  // within 3 %: the high speed
  EXPECT_EQ(PipePeakSpeed(1e9, 3000, 400, 100), 3000);
  // A tiny move peaks where the ramp vanishes: less than 10 % above the low speed.
  const std::int32_t tiny = PipePeakSpeed(10, 3000, 400, 100);
  EXPECT_GE(tiny, 400);
  EXPECT_LT(tiny, 440);
  const std::int32_t mid = PipePeakSpeed(2 * PipeRamp(1500, 400, 100) + 1, 3000, 400, 100);
  EXPECT_LT(mid, 3000);
  EXPECT_GT(mid, 400);
  EXPECT_LT(SpeedRampLength(mid, 400, 100), (2 * PipeRamp(1500, 400, 100) + 1) / 2);
  EXPECT_GT(PipePeakSpeed(1000, 30, 10, 50), 0);  // tiny speeds end as well
}

TEST(MoveSpeeds, LevelAtAngleTakesTheComponent) {
  const SpeedTables speeds = BuildSpeedTables(Scales(2));
  EXPECT_EQ(LevelAtAngle(4000, speeds.X, 0), SpeedLevel(4000, speeds.X));
  EXPECT_EQ(LevelAtAngle(4000, speeds.X, 1), SpeedLevel(2828, speeds.X));
}

TEST(PacedWait, SleepsInMillisecondsAndKeepsACadence) {
  FakeClock clock;
  PacedWait pace(clock);
  const std::int64_t t0 = clock.nowMicros();
  pace.Wait(1, false);  // the cutting sequence's pause: one 1 ms sleep
  EXPECT_EQ(clock.nowMicros() - t0, 1000);

  const std::int64_t t1 = clock.nowMicros();
  pace.Wait(60000, false);
  EXPECT_EQ(clock.nowMicros() - t1, 60000);
  clock.advance(7000);  // work between two ticks does not shift the rhythm
  pace.Wait(60000, true);
  EXPECT_EQ(clock.nowMicros() - t1, 120000);
  clock.advance(59500);  // half a slice left: the wait overshoots by the rest of that slice …
  pace.Wait(60000, true);
  EXPECT_EQ(clock.nowMicros() - t1, 180500);
  pace.Wait(60000, true);  // … but the next tick is still due on the 60 ms grid
  EXPECT_EQ(clock.nowMicros() - t1, 240500);
  pace.Wait(59500, true);
  EXPECT_EQ(clock.nowMicros() - t1, 299500);  // exactly on the reference again
}

}  // namespace
}  // namespace corvane
