#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "model/PlanCut.h"
#include "model/PlannerFixture.h"

namespace corvane {
namespace {

using testing::Contour;
using testing::PlannerFixture;
using testing::RecordAt;
using testing::TurnFrom;

class PlanCutThresholds : public ::testing::Test, public PlannerFixture {
 protected:
  PlanCutThresholds() {
    settings.antiDive = 0;
    settings.feedMinXY = fmin;
  }
  PlanResult Plan(const CNCpath& c) { return PlanCut(c, f, context(), PlanStart{}, lastRamp); }
  // Records the plan puts strictly between two of its records.
  std::ptrdiff_t RecordsBetween(const PlanResult& r, ContourPoint from, ContourPoint to) {
    const PlannedRecord* a = RecordAt(r.path, from);
    const PlannedRecord* b = RecordAt(r.path, to);
    if (!a || !b) {
      ADD_FAILURE() << "vertex missing from the plan";
      return -1;
    }
    return b - a - 1;
  }
  // The turn after which the corner speed is `speed`: F at 15°, Fmin at 60°, linear between.
  double TurnFor(double speed) const { return 15 + 45 * (1 - (speed - fmin) / (f - fmin)); }

  static constexpr std::int32_t f = 4000, fmin = 600;
};

// A segment gets a ramp point only when the speed at its end is below 93 % of the peak
// the segment allows; on these 100 mm segments that peak is F's level.
TEST_F(PlanCutThresholds, RampPointOnlyBelowNinetyThreePercentOfThePeak) {
  settings.accelXY = 5;
  const double peak = speeds.X[static_cast<std::size_t>(SpeedLevel(f, speeds.X))];
  // The segment from a to b starts at a gentle vertex taken at F, where it slows down to
  // b, or at a corner taken at Fmin, where it speeds up to b.
  struct Case {
    const char* what;
    double turnAtA;
  } cases[] = {{"slowing", 10}, {"speeding up", 90}};
  for (const auto& c : cases) {
    for (const double share : {0.925, 0.935}) {
      const double end = share * peak;
      const ContourPoint p0{0, 0}, a{100000, 0};
      const ContourPoint b = TurnFrom(p0, a, c.turnAtA, 10000);
      const ContourPoint beyond = TurnFrom(a, b, TurnFor(end), 10000);
      const PlanResult r = Plan(Contour({p0, a, b, beyond}));
      ASSERT_NE(RecordAt(r.path, b), nullptr);
      EXPECT_NEAR(RecordAt(r.path, b)->speed, end, 1);
      EXPECT_EQ(RecordsBetween(r, a, b), end < 0.93 * peak ? 1 : 0)
          << c.what << " to " << share << " of the peak";
    }
  }
}

// Between two corners, gentle vertices rise and fall with the ramps; a lone peak among
// them takes its neighbours' mean when both its segments are shorter than 6 mm.
TEST_F(PlanCutThresholds, LonePeakIsSmoothedOnlyOnShortSegments) {
  settings.accelXY = 60;
  for (const std::int32_t leg : {590, 610}) {
    const ContourPoint s0{0, 0}, s{20000, 0};
    const ContourPoint v1 = TurnFrom(s0, s, 90, leg);
    const ContourPoint v2 = TurnFrom(s, v1, 2, leg);
    const ContourPoint v3 = TurnFrom(v1, v2, -2, leg);
    const ContourPoint t = TurnFrom(v2, v3, 2, leg);
    const ContourPoint end = TurnFrom(v3, t, 90, 20000);
    const PlanResult r = Plan(Contour({s0, s, v1, v2, v3, t, end}));
    const PlannedRecord *r1 = RecordAt(r.path, v1), *r2 = RecordAt(r.path, v2),
                        *r3 = RecordAt(r.path, v3);
    ASSERT_TRUE(r1 && r2 && r3) << leg;
    if (leg < 600) {
      EXPECT_EQ(r2->speed, (r1->speed + r3->speed) / 2) << leg;
    } else {
      EXPECT_GT(r2->speed, std::max(r1->speed, r3->speed)) << leg;
    }
  }
}

}  // namespace
}  // namespace corvane
