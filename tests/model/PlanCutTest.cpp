#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "model/Geometry.h"
#include "model/MoveSpeeds.h"
#include "model/PlanCut.h"
#include "model/PlannerFixture.h"
#include "model/PlannerRamps.h"

namespace corvane {
namespace {

using testing::Contour;
using testing::PlannerFixture;
using testing::RecordAt;
using testing::StepsAtLevels;
using testing::TurnFrom;

class PlanCutTest : public ::testing::Test, public PlannerFixture {
 protected:
  PlanResult Plan(const CNCpath& c, std::int32_t speed) {
    return PlanCut(c, speed, context(), PlanStart{}, lastRamp);
  }
};

TEST_F(PlanCutTest, SingleVertexContourIsOneRecord) {
  const PlanResult r = Plan(Contour({{300, 400}}), 3000);
  ASSERT_EQ(r.path.size(), 1u);
  EXPECT_EQ(r.path[0].x, 300);
  EXPECT_EQ(r.path[0].speed, 600);
  EXPECT_EQ(r.path[0].angle, kMarkerEnds);
  EXPECT_TRUE(Plan(CNCpath{{0, 0}}, 3000).path.empty());
}

TEST_F(PlanCutTest, CollinearVertexIsKeptOnlyBetweenLongSegments) {
  settings.antiDive = 0;
  settings.accelXY = 5;  // short ramps: 20 mm reaches full speed
  const PlanResult longSegments = Plan(Contour({{0, 0}, {2000, 0}, {4000, 0}}), 3000);
  const PlannedRecord* middle = RecordAt(longSegments.path, {2000, 0});
  ASSERT_NE(middle, nullptr);
  EXPECT_EQ(middle->radius, kMaxRadius);
  EXPECT_EQ(middle->speed, 3000);

  const PlanResult shortSegments = Plan(Contour({{0, 0}, {1000, 0}, {2000, 0}}), 3000);
  for (const auto& r : shortSegments.path) EXPECT_NE(r.radius, kMaxRadius);
  EXPECT_EQ(RecordAt(shortSegments.path, {1000, 0}), nullptr);

  // Both neighbours must be longer than 15.1 mm.
  struct Case {
    std::int32_t before, after;
    bool kept;
  } cases[] = {{1515, 1515, true}, {1505, 1515, false}, {1515, 1505, false}, {1505, 1505, false}};
  for (const auto& c : cases) {
    const PlanResult r = Plan(Contour({{0, 0}, {c.before, 0}, {c.before + c.after, 0}}), 3000);
    EXPECT_EQ(RecordAt(r.path, {c.before, 0}) != nullptr, c.kept)
        << c.before << " then " << c.after;
  }
}

TEST_F(PlanCutTest, CornerSpeedsFollowTheTurnAngle) {
  settings.antiDive = 0;
  settings.accelXY = 5;
  const std::int32_t f = 4000, fmin = 600;
  // Between 15° and 60° the speed falls linearly from F to Fmin.
  const auto byTurn = [&](double degrees) { return fmin + (f - fmin) * (1 - (degrees - 15) / 45); };
  struct Case { double degrees; double expected; } cases[] = {
      {90, fmin},
      {60, fmin},
      {120, fmin},
      {37.5, fmin + (f - fmin) / 2.0},
      {30, byTurn(30)},
      {14.5, f},  // at or below 15° the radius decides, and this one's is large
      {15.5, byTurn(15.5)},
      {59.5, byTurn(59.5)},
      {60.5, fmin},
  };
  for (const auto& c : cases) {
    const ContourPoint a{0, 0}, corner{100000, 0};
    const ContourPoint b = TurnFrom(a, corner, c.degrees, 100000);
    const PlanResult r = Plan(Contour({a, corner, b}), f);
    const PlannedRecord* at = RecordAt(r.path, corner);
    ASSERT_NE(at, nullptr) << c.degrees;
    EXPECT_NEAR(at->speed, c.expected, 1.0) << c.degrees;
    EXPECT_NEAR(at->angle, c.degrees * M_PI / 180, 1e-4) << c.degrees;
  }
}

TEST_F(PlanCutTest, GentleCornerIsSlowedByItsRadius) {
  settings.antiDive = 0;
  settings.accelXY = 200;  // a long full ramp: 2R exceeds the estimated radius
  const std::int32_t f = 8000, fmin = 600;
  const ContourPoint a{0, 0}, corner{1500, 0};
  const ContourPoint b = TurnFrom(a, corner, 10, 1500);
  const PlanResult r = Plan(Contour({a, corner, b}), f);
  const PlannedRecord* at = RecordAt(r.path, corner);
  ASSERT_NE(at, nullptr);
  const double turn = TurnAngle(Heading(a, corner), Heading(corner, b));
  const double radius = 1500 * 1.25 / std::sin(turn / 2);  // the last inner record: its own segment
  EXPECT_EQ(at->radius, std::lround(radius));
  const double full = PlannerRamps(scales, speeds, 200, false).Length(f, fmin);
  ASSERT_GT(2 * full, radius);
  EXPECT_LE(at->speed, std::lround(radius / (2 * full) * (f - fmin)) + fmin);
}

TEST_F(PlanCutTest, ShortSegmentsAreNeverSplit) {
  settings.antiDive = 0;
  settings.accelXY = 1;
  EXPECT_EQ(Plan(Contour({{0, 0}, {150, 0}}), 3000).path.size(), 2u);  // 1.5 mm
  const PlanResult longer = Plan(Contour({{0, 0}, {5000, 0}}), 3000);    // 50 mm gets its ramp points
  ASSERT_EQ(longer.path.size(), 3u);
  EXPECT_GT(longer.path[1].speed, 600);
  EXPECT_EQ(longer.path[1].y, 0);
  EXPECT_DOUBLE_EQ(longer.path[1].length + longer.path[2].length, 5000);
}

TEST_F(PlanCutTest, AntiDiveCoversAShortContourWhole) {
  settings.antiDive = 1000;
  const PlanResult r = Plan(Contour({{0, 0}, {200, 0}, {200, 200}, {0, 200}, {0, 0}}), 3000);  // 8 mm
  ASSERT_GE(r.path.size(), 2u);
  EXPECT_EQ(r.path.front().angle, kMarkerEnds);
  for (std::size_t i = 1; i < r.path.size(); ++i) EXPECT_EQ(r.path[i].angle, kMarkerAntiDive) << i;
}

// Distance along the plan from record `from` to its end.
double TailLength(const CNCpath2& plan, std::size_t from) {
  double sum = 0;
  for (std::size_t i = from + 1; i < plan.size(); ++i) sum += Dist(plan[i - 1], plan[i]);
  return sum;
}

std::size_t FirstMarked(const CNCpath2& plan, double marker) {
  for (std::size_t i = 0; i < plan.size(); ++i)
    if (plan[i].angle == marker) return i;
  return plan.size();
}

TEST_F(PlanCutTest, ZonesStartAtTheirLengthFromTheEnd) {
  settings.antiDive = 1000;
  settings.useCalc = settings.leadOut = settings.leadOut2 = true;
  settings.leadTrackBar = 10;
  settings.inOut = 4;
  settings.accelXY = 30;  // braking begins well away from where the anti-dive zone does
  const std::int32_t antiDive = 1000 + 10 * 100 / 4;  // grows by the lead-out
  const std::int32_t leadOut = std::lround(10 * 100.0 / 4 / 2);
  EXPECT_EQ(AntiDiveLength(settings), antiDive);
  EXPECT_EQ(LeadOutLength(settings), leadOut);

  const PlanResult r = Plan(Contour({{0, 0}, {6000, 0}, {6000, 4000}}), 3000);
  EXPECT_EQ(r.leadOutLength, leadOut);
  // A marked record ends a line inside its zone: the zone starts where the
  // first marked line does, the record before it.
  const std::size_t dive = FirstMarked(r.path, kMarkerAntiDive);
  const std::size_t lead = FirstMarked(r.path, kMarkerLeadOut);
  ASSERT_GT(dive, 0u);
  ASSERT_LT(dive, lead);
  ASSERT_LT(lead, r.path.size());
  EXPECT_NEAR(TailLength(r.path, dive - 1), antiDive, 2);
  EXPECT_NEAR(TailLength(r.path, lead - 1), leadOut, 2);
  EXPECT_NE(r.path[dive - 1].angle, kMarkerAntiDive)
      << "the line to the zone's start is outside it";
  for (std::size_t i = dive; i < lead; ++i) EXPECT_EQ(r.path[i].angle, kMarkerAntiDive);
  for (std::size_t i = lead; i < r.path.size(); ++i) EXPECT_EQ(r.path[i].angle, kMarkerLeadOut);
  // The zone starts are points of the contour: on its second segment here.
  EXPECT_EQ(r.path[dive - 1].x, 6000);
  EXPECT_EQ(r.path.back().x, 6000);
  EXPECT_EQ(r.path.back().y, 4000);
}

TEST_F(PlanCutTest, ResumeStartsAtThePickedPoint) {
  settings.antiDive = 0;
  PlanStart start{true, {3000, 0}, 2};
  const PlanResult r =
      PlanCut(Contour({{0, 0}, {6000, 0}, {6000, 6000}}), 3000, context(), start, lastRamp);
  ASSERT_FALSE(r.path.empty());
  EXPECT_EQ(r.path.front().x, 3000);
  EXPECT_EQ(r.path.front().y, 0);
  EXPECT_NE(RecordAt(r.path, {6000, 0}), nullptr);
}

TEST_F(PlanCutTest, OfflineRampIsAThirdOfTheLastOneSent) {
  settings.rampOnline = false;
  settings.accelXY = 60;
  lastRamp = 60;
  const PlanResult offline = Plan(Contour({{0, 0}, {6000, 0}}), 3000);
  EXPECT_EQ(lastRamp, 21);
  EXPECT_EQ(offline.rampLengthFull, PlannerRamps(scales, speeds, 21, false).Length(3000, 600));
  settings.rampOnline = true;
  const PlanResult online = Plan(Contour({{0, 0}, {6000, 0}}), 3000);
  EXPECT_EQ(lastRamp, 21);
  EXPECT_EQ(online.rampLengthFull, PlannerRamps(scales, speeds, 60, false).Length(3000, 600));
}

TEST_F(PlanCutTest, SpeedNeverExceedsTheMachineMaximum) {
  settings.feedMaxXY = 3000;
  settings.antiDive = 0;
  settings.accelXY = 20;
  // 3150 is within 7 % of the 3000 cap: the peak snaps to the cap, not to the request.
  const PlanResult r = Plan(Contour({{0, 0}, {30000, 0}, {30000, 30000}}), 3150);
  for (const auto& rec : r.path) EXPECT_LE(rec.speed, 3000);
}

TEST_F(PlanCutTest, CachedRampArithmeticMatchesTheSpeedTables) {
  for (bool pipe : {false, true}) {
    PlannerRamps ramps(scales, speeds, 73, pipe);
    for (std::int32_t high = 0; high < 40000; high += 397) {
      EXPECT_EQ(ramps.Level(high), SpeedLevel(high, speeds.X)) << high;
      for (std::int32_t low = 0; low <= high; low += 1201)
        EXPECT_EQ(ramps.Length(high, low), RampLength(high, low, 73, speeds, scales, pipe)) << high << " " << low;
    }
  }
}

TEST_F(PlanCutTest, ReachableSpeedTable) {
  PlannerRamps ramps(scales, speeds, 60, false);
  ramps.setRampLengthFull(ramps.Length(6000, 600));
  const int from = SpeedLevel(600, speeds.X);
  struct Case { std::int32_t target, from, length; } cases[] = {
      {600, 6000, 10}, {6000, 600, 100000}, {6000, 600, 0}, {6000, 600, 300}, {6000, 600, 2000},
  };
  for (const auto& c : cases) {
    const std::int32_t v = ramps.ReachableSpeed(c.target, c.from, c.length);
    EXPECT_LE(v, c.target);
    EXPECT_GE(v, std::min(c.target, c.from));
    if (c.from >= c.target || c.length >= ramps.rampLengthFull()) {
      EXPECT_EQ(v, c.target) << c.length;
    } else {
      // The levels climbed must fit into the segment, give or take the last level.
      const int to = SpeedLevel(v, speeds.X);
      EXPECT_LE(StepsAtLevels(from, to - 1, 60), c.length * 1.6 + 1) << c.length;
    }
  }
}

TEST_F(PlanCutTest, BrakingSpeedTable) {
  PlannerRamps ramps(scales, speeds, 60, false);
  struct Case {
    std::int32_t target, next, length;
  } cases[] = {
      {6000, 600, 0},      {6000, 600, 300}, {6000, 600, 1000}, {6000, 600, 2000},
      {6000, 600, 100000}, {600, 6000, 10},  {2500, 2400, 5},   {2500, 2400, 200},
  };
  for (const auto& c : cases) {
    // The highest level, up to the target's, from which braking to the next level fits;
    // never below the next speed itself.
    const int low = SpeedLevel(c.next, speeds.X), high = SpeedLevel(c.target, speeds.X);
    int top = low;
    while (top < high && StepsAtLevels(low + 1, top + 1, 60) <= std::round(c.length * 1.6)) ++top;
    const std::int32_t expected = c.next >= c.target || top == high
                                      ? c.target
                                      : std::max(speeds.X[static_cast<std::size_t>(top)], c.next);
    EXPECT_EQ(ramps.BrakingSpeed(c.target, c.next, c.length), expected)
        << c.target << " to " << c.next << " in " << c.length;
  }
}

// The search for the highest level whose steps fit, from any first guess.
TEST_F(PlanCutTest, LevelWithinFindsTheHighestLevelWhoseStepsFit) {
  PlannerRamps ramps(scales, speeds, 60, false);
  for (const double steps : {0.0, 5.0, 100.0, 2000.0, 60000.0, 1e9}) {
    int expected = 0;
    while (expected + 1 < kSpeedLevels && StepsAtLevels(0, expected + 1, 60) <= steps) ++expected;
    for (const int near : {0, 7, 120, 250, kSpeedLevels - 1})
      EXPECT_EQ(ramps.LevelWithin(steps, near), expected) << steps << " from " << near;
  }
}

// A straight cut from Fmin to Fmin gets one ramp point: at the highest level d whose climb
// from Fmin and braking down to Fmin again, allowing one level and one step more for
// rounding, fit into the cut together. A peak within 7 % below F is taken at F, and then
// braking begins as early as braking from F needs. Whichever it is, the controller must be
// able to brake from the ramp point's level to Fmin's before the end.
TEST_F(PlanCutTest, RampPointOfAStraightCutLeavesRoomToBrake) {
  settings.antiDive = 0;
  settings.feedMaxXY = 20000;
  settings.feedMinXY = 500;
  const int e = SpeedLevel(500, speeds.X);
  const auto room = [&](int peak, std::int32_t accel) {
    return StepsAtLevels(e + 1, peak + 1, accel) + 1;
  };
  const auto cost = [&](int d, std::int32_t accel) {
    return StepsAtLevels(e, d - 1, accel) + room(d, accel);
  };
  // Cuts whose peak falls at level d: half way between what d and d + 1 need.
  const int d = SpeedLevel(3000, speeds.X);
  const std::int32_t atD = speeds.X[static_cast<std::size_t>(d)];
  const auto lengthFor = [&](int peak) {
    return std::lround((cost(peak, 60) + cost(peak + 1, 60)) / 2 / 1.6);
  };
  const auto peakAtD = static_cast<std::int32_t>(lengthFor(d));
  struct Case { std::int32_t length, feed, accel; } cases[] = {
      {3385, 4000, 60},                                           // needs 17.84 mm to brake from F
      {peakAtD, static_cast<std::int32_t>(atD * 1.065), 60},      // F within 7 %: raised to F
      {peakAtD, static_cast<std::int32_t>(atD * 1.075) + 1, 60},  // F beyond 7 %: the peak stays
      {20000, 4000, 200},
      {1000, 9000, 30},
  };
  for (const auto& c : cases) {
    settings.accelXY = c.accel;
    const PlanResult r = Plan(Contour({{0, 0}, {c.length, 0}}), c.feed);
    SCOPED_TRACE(std::to_string(c.length) + " at F " + std::to_string(c.feed));
    ASSERT_EQ(r.path.size(), 3u);
    const PlannedRecord& split = r.path[1];
    const double left = c.length - split.x;
    // What the controller needs, counting every level it passes.
    EXPECT_GE(left * 1.6, StepsAtLevels(e + 1, SpeedLevel(split.speed, speeds.X), c.accel));
    int peak = SpeedLevel(c.feed, speeds.X);
    while (peak > e + 3 && c.length * 1.6 <= cost(peak, c.accel)) --peak;
    const std::int32_t v = speeds.X[static_cast<std::size_t>(peak)];
    const bool raised =
        c.feed <= 1.07 * v && room(SpeedLevel(c.feed, speeds.X), c.accel) < c.length * 1.6;
    EXPECT_EQ(split.speed, raised ? c.feed : v);
    EXPECT_NEAR(left, room(SpeedLevel(split.speed, speeds.X), c.accel) / 1.6, 1);
  }
}

// Into a corner after a short segment the speed is what the controller can brake from in
// that segment: from the level it carries in to the corner's level, every level counted.
TEST_F(PlanCutTest, ShortSegmentBeforeACornerSetsTheSpeedBeforeIt) {
  settings.antiDive = 0;
  settings.accelXY = 60;
  const std::int32_t f = 6000, fmin = 600;
  for (const std::int32_t shortLeg : {300, 450, 700, 1000, 1400}) {
    const ContourPoint a{0, 0}, b{30000, 0};
    const ContourPoint c = TurnFrom(a, b, -5, shortLeg);  // gentle: b keeps F as its corner speed
    const ContourPoint d = TurnFrom(b, c, 90, 30000);
    const PlanResult r = Plan(Contour({a, b, c, d}), f);
    const PlannedRecord* atB = RecordAt(r.path, b);
    const PlannedRecord* atC = RecordAt(r.path, c);
    ASSERT_TRUE(atB && atC) << shortLeg;
    ASSERT_LT(atB->speed, f) << shortLeg;
    EXPECT_EQ(atC->speed, fmin) << shortLeg;
    const int high = SpeedLevel(atB->speed, speeds.X);  // the line into b runs along X
    const int low = MoveLevel({b.x, b.y, 0, 0}, c.x, c.y, fmin, scales, speeds);
    const double lead = std::max(std::abs(c.x - b.x), std::abs(c.y - b.y)) * 1.6;
    EXPECT_LE(StepsAtLevels(low + 1, high, 60), lead) << shortLeg;
    // Not needlessly slow: two levels more would not brake in time.
    EXPECT_GT(StepsAtLevels(low + 1, high + 2, 60), lead) << shortLeg;
  }
}

}  // namespace
}  // namespace corvane
