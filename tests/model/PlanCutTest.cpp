#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "model/Geometry.h"
#include "model/PlanCut.h"
#include "model/PlannerRamps.h"
#include "model/PlannerFixture.h"

namespace corvane {
namespace {

using testing::Contour;
using testing::PlannerFixture;
using testing::TurnFrom;
using testing::RecordAt;

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
}

TEST_F(PlanCutTest, CornerSpeedsFollowTheTurnAngle) {
  settings.antiDive = 0;
  settings.accelXY = 5;
  const std::int32_t f = 4000, fmin = 600;
  struct Case { double degrees; double expected; } cases[] = {
      {90, fmin},
      {60, fmin},
      {120, fmin},
      {37.5, fmin + (f - fmin) / 2.0},
      {30, fmin + (f - fmin) * (1 - 15.0 / 45)},
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
  const std::int32_t antiDive = 1000 + 10 * 100 / 4;  // grows by the lead-out
  const std::int32_t leadOut = std::lround(10 * 100.0 / 4 / 2);
  EXPECT_EQ(AntiDiveLength(settings), antiDive);
  EXPECT_EQ(LeadOutLength(settings), leadOut);

  const PlanResult r = Plan(Contour({{0, 0}, {6000, 0}, {6000, 4000}}), 3000);
  EXPECT_EQ(r.leadOutLength, leadOut);
  const std::size_t dive = FirstMarked(r.path, kMarkerAntiDive);
  const std::size_t lead = FirstMarked(r.path, kMarkerLeadOut);
  ASSERT_LT(dive, lead);
  ASSERT_LT(lead, r.path.size());
  EXPECT_NEAR(TailLength(r.path, dive), antiDive, 2);
  EXPECT_NEAR(TailLength(r.path, lead), leadOut, 2);
  for (std::size_t i = dive; i < lead; ++i) EXPECT_EQ(r.path[i].angle, kMarkerAntiDive);
  for (std::size_t i = lead; i < r.path.size(); ++i) EXPECT_EQ(r.path[i].angle, kMarkerLeadOut);
  // The zone starts are points of the contour: on its second segment here.
  EXPECT_EQ(r.path[dive].x, 6000);
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

// Motor steps spent climbing levels low..high at ramp setting 60.
double RampStepsSum(int low, int high) {
  double sum = 0;
  for (int k = low; k <= high; ++k) sum += 60 * 720.0 / (Dividers()[static_cast<std::size_t>(k)] + 1);
  return sum;
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
      EXPECT_LE(RampStepsSum(from, to - 1), c.length * 1.6 + 1) << c.length;
    }
  }
}

}  // namespace
}  // namespace corvane
