#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "model/Geometry.h"
#include "model/MoveSpeeds.h"
#include "model/PlanCut.h"
#include "model/PlannerFixture.h"

namespace corvane {
namespace {

using testing::PlannerFixture;
using testing::StepsAtLevels;

// A random open or closed contour: runs of exactly collinear segments (the same
// integer step repeated) joined by real corners.
CNCpath RandomContour(std::mt19937& rng) {
  std::uniform_int_distribution<int> runs(1, 12), repeat(1, 3), step(-4000, 4000);
  CNCpath c{{kKindCut, 0}, {0, 0}};
  ContourPoint p{0, 0}, last{0, 0};
  const int count = runs(rng);
  for (int r = 0; r < count; ++r) {
    ContourPoint d;
    do {  // a run nearly in line with the one before would make no real corner
      d = {step(rng), step(rng)};
      if (std::abs(d.x) + std::abs(d.y) < 40) d.x += 100;
    } while (r > 0 && TurnAngle(Heading(ContourPoint{}, last), Heading(ContourPoint{}, d)) <= 0.02);
    last = d;
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

// True when the record lies on a vertex of the contour, not on a point the planner added.
bool IsVertex(const CNCpath& c, const PlannedRecord& r) {
  return std::any_of(c.begin() + 1, c.end(),
                     [&](const ContourPoint& v) { return v.x == r.x && v.y == r.y; });
}

bool IsZone(const PlannedRecord& r) { return r.angle == kMarkerAntiDive || r.angle == kMarkerLeadOut; }

// Motor steps of the leading axis on the line a→b, at 1.6 steps per 0.01 mm on both axes.
double LeadSteps(const PlannedRecord& a, const PlannedRecord& b) {
  return std::max(std::abs(b.x - a.x), std::abs(b.y - a.y)) * 1.6;
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

    // The level the controller is sent for the line ending at record i.
    const auto lineLevel = [&](std::size_t i, std::int32_t speed) {
      const PlannedRecord& a = r.path[i - 1];
      return MoveLevel({a.x, a.y, 0, 0}, r.path[i].x, r.path[i].y, speed, fx.scales, fx.speeds);
    };
    // The lowest level Fmin takes on the lines from record i to the end.
    std::vector<int> fminAhead(r.path.size() + 1, kSpeedLevels);
    for (std::size_t i = r.path.size() - 1; i >= 1; --i)
      fminAhead[i] = std::min(fminAhead[i + 1], lineLevel(i, fmin));

    std::size_t segment = 1;  // records follow the contour's segments in order
    for (std::size_t i = 0; i < r.path.size(); ++i) {
      const PlannedRecord& rec = r.path[i];
      EXPECT_LE(rec.speed, f) << i;
      while (segment + 1 < c.size() && SegmentDistance(rec, c[segment], c[segment + 1]) > 1.5) ++segment;
      ASSERT_LT(segment + 1, c.size() + (c.size() == 2 ? 1 : 0)) << "record " << i << " is off the contour";
      if (i == 0) continue;
      // Slower than Fmin only for a later line on which Fmin takes a lower level: the
      // controller carries its level into that line and has to be down to it in time.
      // One level less where rounding leaves no speed at the very level needed.
      if (rec.speed < fmin) {
        EXPECT_GE(lineLevel(i, rec.speed), fminAhead[i] - 1)
            << "record " << i << " at " << rec.speed;
      }
      // A rise must fit the climb into the line, but for up to five levels: F and Fmin
      // closer than five levels make the full ramp free, and a line's level is rounded
      // from its speed along the leading axis. A ramp point whose peak lay within 7 % (up
      // to four levels) below F is raised to F and begins braking early enough for F,
      // which takes as many levels again off the climb before it.
      // The controller starts a line at the level it carried in; the planner reckons from
      // the speed before as it stands on the new line, which after a turn may be higher.
      // A zone start only cuts a line in two without changing the target speed (but for
      // the level the braking check may take off the rest), so the rise may use the line
      // up to the record the zone start was cut from. The zone start itself is the
      // unmarked point before the zone's first marked record, off the contour's vertices.
      const bool raisedToF = rec.speed * 1.07 >= f && !IsVertex(c, rec);
      const int slack = raisedToF ? 5 + 2 * 4 : 5;
      double room = LeadSteps(r.path[i - 1], rec);
      const auto sameTarget = [&](const PlannedRecord& next) {
        return next.speed <= rec.speed &&
               SpeedLevel(next.speed, fx.speeds.X) + 1 >= SpeedLevel(rec.speed, fx.speeds.X);
      };
      const auto zoneLine = [&](std::size_t j) {
        return (IsZone(r.path[j]) || !IsVertex(c, r.path[j])) && IsZone(r.path[j + 1]);
      };
      for (std::size_t j = i; j + 1 < r.path.size() && zoneLine(j) && sameTarget(r.path[j + 1]);
           ++j)
        room += LeadSteps(r.path[j], r.path[j + 1]);
      const int carried = i == 1 ? 0 : lineLevel(i - 1, r.path[i - 1].speed);
      const int low = std::max(carried, lineLevel(i, r.path[i - 1].speed));
      const int high = lineLevel(i, rec.speed);
      if (high - low > slack) {
        EXPECT_LE(StepsAtLevels(low, high - slack - 1, fx.settings.accelXY), room + 2)
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
