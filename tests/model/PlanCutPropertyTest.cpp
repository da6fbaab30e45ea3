#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "model/Geometry.h"
#include "model/PlanCut.h"
#include "model/PlannerFixture.h"

namespace corvane {
namespace {

using testing::PlannerFixture;

// A random open or closed contour: runs of exactly collinear segments (the same
// integer step repeated) joined by real corners.
CNCpath RandomContour(std::mt19937& rng) {
  std::uniform_int_distribution<int> runs(1, 12), repeat(1, 3), step(-4000, 4000);
  CNCpath c{{kKindCut, 0}, {0, 0}};
  ContourPoint p{0, 0};
  const int count = runs(rng);
  for (int r = 0; r < count; ++r) {
    ContourPoint d{step(rng), step(rng)};
    if (std::abs(d.x) + std::abs(d.y) < 40) d.x += 100;
    const int times = repeat(rng);
    for (int t = 0; t < times; ++t) {
      p = {p.x + d.x, p.y + d.y};
      c.push_back(p);
    }
  }
  if (rng() % 3 == 0) c.push_back(c[1]);
  return c;
}

// Distance from p to the segment a→b.
double SegmentDistance(const PlannedRecord& p, const ContourPoint& a, const ContourPoint& b) {
  const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
  double t = len2 == 0 ? 0 : ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// True when the contour bends at vertex k by more than `angle`.
bool IsCorner(const CNCpath& c, std::size_t k, double angle) {
  if (k <= 1 || k + 1 >= c.size() || c[k - 1] == c[k] || c[k] == c[k + 1]) return false;
  return TurnAngle(Heading(c[k - 1], c[k]), Heading(c[k], c[k + 1])) > angle;
}

bool IsZone(const PlannedRecord& r) { return r.angle == kMarkerAntiDive || r.angle == kMarkerLeadOut; }

// Motor steps the controller needs to climb from level `low` to level `high`.
double ClimbSteps(int low, int high, std::int32_t accel) {
  double sum = 0;
  for (int k = low; k <= high; ++k) sum += accel * 720.0 / (Dividers()[static_cast<std::size_t>(k)] + 1);
  return sum;
}

TEST(PlanCutProperties, RandomContoursKeepSpeedsRampsAndVertices) {
  PlannerFixture fx;
  std::mt19937 rng(20261210);
  std::uniform_int_distribution<int> feed(300, 15000), minFeed(50, 3000), accel(5, 250), antiDive(0, 3000);
  for (int trial = 0; trial < 400; ++trial) {
    const CNCpath c = RandomContour(rng);
    fx.settings.feedMaxXY = 12000;
    fx.settings.feedMinXY = minFeed(rng);
    fx.settings.accelXY = accel(rng);
    fx.settings.antiDive = antiDive(rng);
    fx.settings.leadOut = fx.settings.leadOut2 = rng() % 2 == 0;
    fx.settings.useCalc = rng() % 2 == 0;
    const std::int32_t requested = feed(rng);
    const std::int32_t f = std::min(requested, fx.settings.feedMaxXY);
    const std::int32_t fmin = std::min(fx.settings.feedMinXY, f);
    const PlanResult r = PlanCut(c, requested, fx.context(), PlanStart{}, fx.lastRamp);
    SCOPED_TRACE("trial " + std::to_string(trial));
    ASSERT_FALSE(r.path.empty());
    EXPECT_EQ(r.path.front().speed, fmin);
    EXPECT_EQ(r.path.back().speed, fmin);
    EXPECT_EQ(r.path.front().x, c[1].x);
    EXPECT_EQ(r.path.back().x, c.back().x);
    EXPECT_EQ(r.path.back().y, c.back().y);

    std::size_t segment = 1;  // records follow the contour's segments in order
    for (std::size_t i = 0; i < r.path.size(); ++i) {
      const PlannedRecord& rec = r.path[i];
      EXPECT_GE(rec.speed, fmin) << i;
      EXPECT_LE(rec.speed, f) << i;
      while (segment + 1 < c.size() && SegmentDistance(rec, c[segment], c[segment + 1]) > 1.5) ++segment;
      ASSERT_LT(segment + 1, c.size() + (c.size() == 2 ? 1 : 0)) << "record " << i << " is off the contour";
      if (i == 0) continue;
      // A rise in speed must fit the ramp into the segment, except for the last eight
      // levels: the controller does not ramp changes of fewer than five levels, and a
      // peak within 7 % (up to four levels) below F is raised to F.
      // A zone start only cuts a segment in two without changing the target speed, so
      // the rise may use the segment up to the record the zone start was cut from.
      double room = Dist(r.path[i - 1], rec);
      for (std::size_t j = i; j + 1 < r.path.size() && IsZone(r.path[j]) && IsZone(r.path[j + 1]) &&
                              r.path[j + 1].speed == rec.speed;
           ++j)
        room += Dist(r.path[j], r.path[j + 1]);
      const int low = SpeedLevel(r.path[i - 1].speed, fx.speeds.X);
      const int high = SpeedLevel(rec.speed, fx.speeds.X);
      if (high - low > 8) {
        EXPECT_LE(ClimbSteps(low, high - 8, fx.settings.accelXY), room * 1.6 + 2)
            << "record " << i << " rises from " << r.path[i - 1].speed << " to " << rec.speed;
      }
    }
    for (std::size_t k = 2; k + 1 < c.size(); ++k) {
      if (!IsCorner(c, k, 0.02)) continue;
      bool found = false;
      for (const auto& rec : r.path) found = found || (rec.x == c[k].x && rec.y == c[k].y);
      EXPECT_TRUE(found) << "corner vertex " << k << " was dropped";
    }
  }
}

}  // namespace
}  // namespace corvane
