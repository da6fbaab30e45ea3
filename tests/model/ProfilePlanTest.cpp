#include <gtest/gtest.h>

#include <cmath>

#include "model/PlanCut.h"
#include "model/PlanPreview.h"
#include "model/PlannerFixture.h"

namespace corvane {
namespace {

using testing::Contour;
using testing::PlannerFixture;
using testing::RecordAt;

// On a tube the real path runs through the profile's horizontal offsets; here every
// unrolled unit of X is two units of real travel.
class ProfilePlanTest : public ::testing::Test, public PlannerFixture {
 protected:
  ProfilePlanTest() {
    profile.horizontal = [](std::int32_t x) { return 2 * x; };
    profile.densify = [this](const CNCpath& c) {
      ++densified;
      return c;
    };
  }
  PlanContext ProfileContext() const { return {settings, scales, speeds, &profile}; }
  ProfilePlanning profile;
  int densified = 0;
};

TEST_F(ProfilePlanTest, KeepsEveryVertexAndMeasuresOnTheTube) {
  settings.antiDive = 0;
  settings.accelXY = 5;
  settings.feedMaxXY = 5000;
  const PlanResult r =
      PlanCut(Contour({{0, 0}, {500, 0}, {1000, 0}, {1000, 500}}), 2000, ProfileContext(), PlanStart{}, lastRamp);
  EXPECT_EQ(densified, 1);
  const PlannedRecord* middle = RecordAt(r.path, {500, 0});
  ASSERT_NE(middle, nullptr);  // collinear and short, yet kept on a tube
  EXPECT_DOUBLE_EQ(middle->length, 1000);      // real travel
  EXPECT_DOUBLE_EQ(middle->flatLength, 500);   // unrolled
  const PlannedRecord* corner = RecordAt(r.path, {1000, 0});
  ASSERT_NE(corner, nullptr);
  EXPECT_NEAR(corner->angle, M_PI / 2, 1e-9);
}

TEST_F(ProfilePlanTest, PreviewTreatsAReversalAroundTheTubeAsACorner) {
  settings.smooth = false;
  settings.criticalAngleDeg = 40;
  settings.accelXY = 1;
  // Out along X and back at a shallow slope (|dy| < 3 |dx|): the heading gains 10 rad.
  const PlanResult r = PlanPreview(Contour({{0, 0}, {30, 0}, {0, 2}}), 2000, ProfileContext(), PlanStart{});
  ASSERT_FALSE(r.path.empty());
  EXPECT_EQ(r.path.back().x, 0);
  EXPECT_NEAR(r.path.back().angle, std::atan2(2, -60) + 10.0, 1e-9);
  const PlannedRecord* turn = RecordAt(r.path, {30, 0});
  ASSERT_NE(turn, nullptr);
  EXPECT_EQ(turn->speed, 600);  // slowed like any corner
  // A long unrolled segment is cut into equal pieces: 180 div 60 = 3 cuts, four pieces.
  const PlanResult split = PlanPreview(Contour({{0, 0}, {180, 0}}), 2000, ProfileContext(), PlanStart{});
  for (std::int32_t x : {45, 90, 135}) EXPECT_NE(RecordAt(split.path, {x, 0}), nullptr) << x;
}

// Where the real path round the tube is longer than the unrolled one
// (k = real / (unrolled + 2) above 1.1) a record may go k times faster: at
// most three times on a straight run, and never above the XY maximum.
TEST_F(ProfilePlanTest, ARecordLongerRoundTheTubeGoesFasterWithinItsCaps) {
  struct Case {
    double factor;       // real travel per unrolled unit
    std::int32_t feedMax;
    std::int32_t expected;  // the middle record's speed
  };
  settings.antiDive = 0;
  settings.accelXY = 2000;  // ramps short enough to reach every corner speed
  for (const Case c : {Case{1.0, 20000, 2000}, Case{1.1, 20000, 2000}, Case{1.2, 20000, 2400}, Case{2.0, 20000, 4000},
                       Case{5.0, 20000, 6000}, Case{2.0, 2500, 2500}}) {
    settings.feedMaxXY = c.feedMax;
    profile.horizontal = [f = c.factor](std::int32_t x) { return static_cast<std::int32_t>(std::lround(f * x)); };
    const PlanResult r = PlanCut(Contour({{0, 0}, {50000, 0}, {100000, 0}, {150000, 0}}), 2000, ProfileContext(),
                                 PlanStart{}, lastRamp);
    const PlannedRecord* middle = RecordAt(r.path, {100000, 0});
    ASSERT_NE(middle, nullptr) << c.factor;
    EXPECT_EQ(middle->speed, c.expected) << "real travel " << c.factor << " per unit, maximum " << c.feedMax;
  }
  // At a corner: up to four times its speed; beyond 85.7° it keeps it.
  settings.feedMaxXY = 20000;
  const auto cornerSpeed = [&](double factor, ContourPoint after) {
    profile.horizontal = [factor](std::int32_t x) { return static_cast<std::int32_t>(std::lround(factor * x)); };
    const PlanResult r =
        PlanCut(Contour({{0, 0}, {50000, 0}, after}), 2000, ProfileContext(), PlanStart{}, lastRamp);
    const PlannedRecord* corner = RecordAt(r.path, {50000, 0});
    return corner ? corner->speed : -1;
  };
  // Headings are taken round the tube too: (60000, 50000) turns 45° when
  // every unrolled unit is five real ones, as (100000, 50000) does unscaled.
  EXPECT_EQ(cornerSpeed(5.0, {60000, 50000}), 4 * cornerSpeed(1.0, {100000, 50000}));
  EXPECT_EQ(cornerSpeed(5.0, {50000, 50000}), cornerSpeed(1.0, {50000, 50000}));
}

}  // namespace
}  // namespace corvane
