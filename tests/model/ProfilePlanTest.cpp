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

}  // namespace
}  // namespace corvane
