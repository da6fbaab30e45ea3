#include "model/PlanPreview.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/Geometry.h"
#include "model/PlannerRamps.h"

namespace corvane {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180;
// A reversal of travel around the tube counts as a corner of its own.
constexpr double kReversalHeading = 10.0;

// One pass over the working array: where corners lie and how slow they are taken.
struct Pass {
  double threshold = 0;        // no corner while the turn stays at or below threshold + h
  double hysteresis = 0;       // h swings between −hysteresis (after a slow point) and +hysteresis
  std::int32_t fast = 0;       // F
  std::int32_t corner = 0;     // the speed of a corner
  double ramp = 0;             // L: ramp between fast and corner speed
  bool capByExisting = false;  // later passes never raise a speed the previous pass chose
};

class PassRunner {
 public:
  PassRunner(const TAcncp& in, const Pass& pass) : in_(in), pass_(pass) {}

  CNCpath2 Run() {
    const std::size_t n = in_.size() - 1;
    out_.push_back(in_[0]);
    if (!pass_.capByExisting) out_.back().speed = pass_.fast;
    std::size_t i = 1, m = 2;
    double g = 0, h = -pass_.hysteresis;
    while (m <= n + 1) {
      g += in_[m - 1].length;
      const double dir = m > n ? kPi : TurnAngle(in_[i].angle, in_[m].angle);
      const double len = in_[i].length;
      if (pass_.threshold + h >= dir) {
        if (g - pass_.ramp > len) {
          EmitFast(i);
          h = pass_.hysteresis, g = 0, ++i, m = i + 1;
        } else {
          ++m;
        }
      } else if (m == i + 1) {
        if (g < pass_.ramp) {
          EmitSlow(i, len);
        } else {
          const double p = 1 - pass_.ramp / (len + 1);
          EmitSplit(i, p);
          EmitSlow(i, std::round((1 - p) * len));
        }
        h = -pass_.hysteresis, g = 0, ++i, m = i + 1;
      } else if (g < pass_.ramp) {
        for (std::size_t k = i; k < m; ++k) EmitSlow(k, in_[k].length);
        g = 0, i = m, m = i + 1;
      } else if (g - pass_.ramp > len) {
        EmitFast(i);
        h = pass_.hysteresis, g = 0, ++i, m = i + 1;
      } else {
        const double p = (g - pass_.ramp) / (len + 1);
        EmitSplit(i, p);
        EmitSlow(i, std::round((1 - p) * len));
        for (std::size_t k = i + 1; k < m; ++k) EmitSlow(k, in_[k].length);
        h = -pass_.hysteresis, g = 0, i = m, m = i + 1;
      }
    }
    return std::move(out_);
  }

 private:
  std::int32_t Capped(std::int32_t speed, std::int32_t existing) const {
    return pass_.capByExisting ? std::min(speed, existing) : speed;
  }
  void EmitFast(std::size_t i) {
    out_.push_back(in_[i]);
    out_.back().speed = Capped(pass_.fast, in_[i].speed);
  }
  void EmitSlow(std::size_t i, double length) {
    out_.push_back(in_[i]);
    out_.back().speed = Capped(pass_.corner, in_[i].speed);
    out_.back().length = length;
  }
  // A point at fraction p of segment i where the slow-down towards its corner begins.
  void EmitSplit(std::size_t i, double p) {
    const PlannedRecord& a = in_[i - 1];
    const PlannedRecord& b = in_[i];
    PlannedRecord split = b;
    split.x = a.x + static_cast<std::int32_t>(std::lround(p * (static_cast<double>(b.x) - a.x)));
    split.y = a.y + static_cast<std::int32_t>(std::lround(p * (static_cast<double>(b.y) - a.y)));
    split.length = std::round(b.length * p);
    // A later pass keeps the slow-down the previous one already showed on this segment.
    split.speed = Capped(pass_.fast, b.speed);
    out_.push_back(split);
  }

  const TAcncp& in_;
  const Pass& pass_;
  CNCpath2 out_;
};

// Sign of travel around the tube; 0 for a segment without X travel.
int TravelSign(std::int64_t dx) { return (dx > 0) - (dx < 0); }

TAcncp BuildWorkingArray(const CNCpath& c, const PlanStart& start, const PlanContext& ctx) {
  const int n = static_cast<int>(c.size()) - 1;
  const ProfileHorizontal* h = ctx.profile ? &ctx.profile->horizontal : nullptr;
  TAcncp w;
  PlannedRecord first;
  const ContourPoint origin = start.resume ? ContourPoint{start.point.x, start.point.y} : c[1];
  first.x = origin.x;
  first.y = origin.y;
  w.push_back(first);
  const int s = start.resume ? std::clamp(start.vertex, 2, std::max(n, 2)) : 2;
  double heading = 0;
  int lastSign = 0;
  for (int k = s; k <= n; ++k) {
    const PlannedRecord prev = w.back();
    const ContourPoint& v = c[static_cast<std::size_t>(k)];
    PlannedRecord r;
    r.x = v.x;
    r.y = v.y;
    r.length = h ? ProfileDist(prev, v, *h) : Dist(prev, v);
    if (r.length > 10) heading = h ? ProfileHeading(prev, v, *h) : Heading(prev, v);
    r.angle = heading;
    if (h) {
      const std::int64_t dx = std::int64_t{v.x} - prev.x, dy = std::int64_t{v.y} - prev.y;
      const int sign = TravelSign(dx);
      if (sign != 0 && lastSign != 0 && sign != lastSign && std::llabs(dy) < 3 * std::llabs(dx))
        r.angle += kReversalHeading;
      if (sign != 0) lastSign = sign;
    }
    w.push_back(r);
    if (h) SplitLastSegment(w, prev);
  }
  if (w.size() > 1) w[0].angle = w[1].angle;
  return w;
}

}  // namespace

PlanResult PlanPreview(const CNCpath& contour, std::int32_t requestedSpeed, const PlanContext& ctx,
                       const PlanStart& start) {
  PlanResult result;
  if (contour.size() < 2) return result;
  const PlannerSettings& s = ctx.settings;
  const std::int32_t f = std::min(requestedSpeed, s.feedMaxXY);
  const std::int32_t fmin = std::min(s.feedMinXY, f);
  PlannerRamps ramps(ctx.scales, ctx.speeds, PreviewAccel(s), s.pipeMode);
  const double crit = s.criticalAngleDeg * kDeg + (s.smooth ? 15 * kDeg : 0);

  const TAcncp w = BuildWorkingArray(contour, start, ctx);
  Pass first{crit, 2 * kPi / 100, f, fmin, static_cast<double>(ramps.Length(f, fmin)), false};
  result.rampLengthFull = ramps.Length(f, fmin);
  result.path = PassRunner(w, first).Run();
  if (!s.smooth) return result;

  const std::int32_t f2 = fmin + static_cast<std::int32_t>(std::lround((f - fmin) / 3.0));
  const std::int32_t f3 = f2 + static_cast<std::int32_t>(std::lround((f - f2) / 2.0));
  const Pass second{crit - 15 * kDeg, kPi / 60, f, f2, static_cast<double>(ramps.Length(f, f2)), true};
  result.path = PassRunner(result.path, second).Run();
  const Pass third{crit - 30 * kDeg, kPi / 70, f, f3, static_cast<double>(ramps.Length(f, f3)), true};
  result.path = PassRunner(result.path, third).Run();
  result.rampLengthFull = ramps.Length(f, f3);
  return result;
}

}  // namespace corvane
