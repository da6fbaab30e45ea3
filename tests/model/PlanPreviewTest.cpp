#include <gtest/gtest.h>

#include <cmath>

#include "model/Geometry.h"
#include "model/PlanPreview.h"
#include "model/PlannerFixture.h"
#include "model/PlannerRamps.h"

namespace corvane {
namespace {

using testing::Contour;
using testing::PlannerFixture;
using testing::TurnFrom;

class PlanPreviewTest : public ::testing::Test, public PlannerFixture {
 protected:
  PlanResult Plan(const CNCpath& c, std::int32_t speed) {
    return PlanPreview(c, speed, context(), PlanStart{});
  }
  std::int32_t SpeedAt(const PlanResult& r, ContourPoint p) {
    const PlannedRecord* rec = testing::RecordAt(r.path, p);
    if (!rec) ADD_FAILURE() << "no record at " << p.x << "," << p.y;
    return rec ? rec->speed : -1;
  }
};

TEST_F(PlanPreviewTest, DirectionChangeAgainstCriticalAngleAndSmoothing) {
  settings.criticalAngleDeg = 40;
  settings.accelXY = 5;
  const std::int32_t f = 4000, fmin = 600;
  const std::int32_t f2 = fmin + static_cast<std::int32_t>(std::lround((f - fmin) / 3.0));
  const std::int32_t f3 = f2 + static_cast<std::int32_t>(std::lround((f - f2) / 2.0));
  const ContourPoint a{0, 0}, corner{100000, 0};
  struct Case { double degrees; bool smooth; std::int32_t expected; } cases[] = {
      {50, true, f2},     // no corner at 55° ± 3.6°, a corner at 40° ± 3°
      {50, false, fmin},  // without smoothing 50° is above 40°
      {30, false, f},
      {70, true, fmin},
      {30, true, f3},     // only the third pass (25° ± 2.6°) sees a corner
  };
  for (const auto& c : cases) {
    settings.smooth = c.smooth;
    const ContourPoint b = TurnFrom(a, corner, c.degrees, 100000);
    const PlanResult r = Plan(Contour({a, corner, b}), f);
    EXPECT_EQ(SpeedAt(r, corner), c.expected) << c.degrees << " smooth " << c.smooth;
    EXPECT_EQ(r.path.back().speed, fmin);  // the end of the contour is always a corner
  }
}

TEST_F(PlanPreviewTest, SlowDownBeginsOneRampBeforeTheCorner) {
  settings.smooth = false;
  settings.accelXY = 60;
  const std::int32_t f = 6000, fmin = 600;
  const ContourPoint a{0, 0}, corner{50000, 0}, b{50000, 50000};
  const PlanResult r = Plan(Contour({a, corner, b}), f);
  const double ramp = PlannerRamps(scales, speeds, 60, false).Length(f, fmin);
  EXPECT_EQ(r.rampLengthFull, ramp);
  ASSERT_EQ(r.path.size(), 5u);  // start, split, corner, split, end
  EXPECT_EQ(r.path[0].speed, f);
  EXPECT_EQ(r.path[1].speed, f);
  EXPECT_EQ(r.path[2].speed, fmin);
  // The split lies about one ramp length before the corner, on the first segment.
  EXPECT_EQ(r.path[1].y, 0);
  EXPECT_NEAR(corner.x - r.path[1].x, ramp, 2);
  EXPECT_NEAR(r.path[1].length + r.path[2].length, 50000, 1);
  EXPECT_NEAR(r.path[3].angle, M_PI / 2, 1e-9);  // preview records carry the heading
}

TEST_F(PlanPreviewTest, SmoothingKeepsTheSlowDownOfTheFirstPass) {
  settings.accelXY = 60;
  const std::int32_t f = 4000, fmin = 600;
  const ContourPoint a{0, 0}, corner{50000, 0}, b{50000, 50000};
  // The full ramp of the tables: every level from Fmin's to F's, at 1.6 steps per 0.01 mm.
  const double ramp =
      testing::StepsAtLevels(SpeedLevel(fmin, speeds.X), SpeedLevel(f, speeds.X), 60) / 1.6;
  for (bool smooth : {false, true}) {
    settings.smooth = smooth;
    const PlanResult r = Plan(Contour({a, corner, b}), f);
    // On the approach the last point shown at F lies one full ramp before the corner.
    double nearestFast = corner.x;
    for (const auto& rec : r.path)
      if (rec.y == 0 && rec.x < corner.x && rec.speed >= f)
        nearestFast = std::min<double>(nearestFast, corner.x - rec.x);
    EXPECT_NEAR(nearestFast, ramp, 2) << "smooth " << smooth;
    EXPECT_EQ(SpeedAt(r, corner), fmin) << "smooth " << smooth;
  }
}

TEST_F(PlanPreviewTest, ShortContoursAndSingleVertices) {
  EXPECT_EQ(Plan(Contour({{5, 5}}), 3000).path.size(), 1u);
  const PlanResult tiny = Plan(Contour({{0, 0}, {100, 0}, {100, 100}}), 3000);
  ASSERT_EQ(tiny.path.size(), 3u);  // shorter than a ramp: every vertex slow
  EXPECT_EQ(tiny.path[1].speed, 600);
  EXPECT_EQ(tiny.path[2].speed, 600);
}

TEST_F(PlanPreviewTest, OfflineBusyPreviewUsesAThirdOfTheRamp) {
  settings.rampOnline = false;
  settings.busy = true;
  settings.smooth = false;
  settings.accelXY = 60;
  const PlanResult r = Plan(Contour({{0, 0}, {50000, 0}}), 3000);
  EXPECT_EQ(r.rampLengthFull, PlannerRamps(scales, speeds, 21, false).Length(3000, 600));
}

}  // namespace
}  // namespace corvane
