#include "model/PlanCut.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <tuple>
#include <utility>

#include "model/Geometry.h"
#include "model/MoveSpeeds.h"
#include "model/PlannerRamps.h"

namespace corvane {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kGentleTurn = kPi / 12;  // 15°: below it a corner is judged by its radius
constexpr double kSharpTurn = kPi / 3;    // 60°: at or above it the corner speed is Fmin
constexpr double kKeepTurn = 0.01;
constexpr double kKeepLength = 1510;      // 15.1 mm: long neighbours keep even a straight vertex
constexpr double kPeakSmoothLength = 600;

// Distance and direction as the machine travels: on the real tube in profile mode.
struct Metric {
  const ProfilePlanning* profile;
  template <class A, class B>
  double dist(const A& a, const B& b) const {
    return profile ? ProfileDist(a, b, profile->horizontal) : Dist(a, b);
  }
  template <class A, class B>
  double heading(const A& a, const B& b) const {
    return profile ? ProfileHeading(a, b, profile->horizontal) : Heading(a, b);
  }
};

PlannedRecord RecordAt(const ContourPoint& p, std::int32_t speed, double angle, double length,
                       double flat) {
  PlannedRecord r;
  r.x = p.x;
  r.y = p.y;
  r.speed = speed;
  r.angle = angle;
  r.length = length;
  r.flatLength = flat;
  return r;
}

// Keeps the vertices that bend the path or that long segments meet at.
TAcncp MergeVertices(const CNCpath& c, const PlanStart& start, std::int32_t fmin, const Metric& m) {
  const int n = static_cast<int>(c.size()) - 1;
  TAcncp w;
  const ContourPoint first = start.resume ? ContourPoint{start.point.x, start.point.y} : c[1];
  w.push_back(RecordAt(first, fmin, kMarkerEnds, 0, 0));
  const int s = start.resume ? std::clamp(start.vertex, 2, std::max(n, 2)) : 2;
  for (int k = s; k <= n - 1; ++k) {
    const PlannedRecord& p = w.back();
    const ContourPoint& v = c[static_cast<std::size_t>(k)];
    const ContourPoint& next = c[static_cast<std::size_t>(k) + 1];
    const double dPrev = m.dist(p, v), dNext = m.dist(v, next);
    const double turn = TurnAngle(m.heading(p, v), m.heading(v, next));
    if (turn > kKeepTurn || (dPrev > kKeepLength && dNext > kKeepLength) || m.profile)
      w.push_back(RecordAt(v, fmin, turn, dPrev, Dist(p, v)));
  }
  const PlannedRecord& p = w.back();
  w.push_back(RecordAt(c.back(), fmin, kMarkerEnds, m.dist(p, c.back()), Dist(p, c.back())));
  return w;
}

// Corner radius estimate of a gentle turn at record i.
double CornerRadius(const TAcncp& w, std::size_t i, const Metric& m) {
  const std::size_t last = w.size() - 1;
  const double a = w[i].angle;
  const bool simple = i + 1 == last || w[i - 1].angle > kGentleTurn || w[i + 1].angle > kGentleTurn;
  double k;
  if (simple) {
    const double sine = std::sin(a / 2);
    k = sine == 0 ? kMaxRadius : w[i].length * 1.25 / sine;
  } else {
    const double b = TurnAngle(m.heading(w[i - 2], w[i]), m.heading(w[i], w[i + 2]));
    const double sine = std::sin(b / 2);
    k = sine == 0 ? kMaxRadius
                  : (m.dist(w[i - 2], w[i]) * 1.25 / sine + m.dist(w[i], w[i + 2]) * 1.25 / sine) / 2;
  }
  return std::min(std::fabs(k), static_cast<double>(kMaxRadius));
}

// On a tube, a record whose real path is longer than its unrolled one may go faster.
std::int32_t ProfileCornerSpeed(const PlannedRecord& r, std::int32_t speed, std::int32_t feedMax) {
  if (r.angle > kPi / 2.1) return speed;
  const double k = r.length / (r.flatLength + 2);
  if (k <= 1.1) return speed;
  const double cap = (r.angle <= kGentleTurn ? 3.0 : 4.0) * speed;
  return static_cast<std::int32_t>(std::min({std::round(k * speed), cap, static_cast<double>(feedMax)}));
}

void SetCornerSpeeds(TAcncp& w, std::int32_t f, std::int32_t fmin, double rampFull, const Metric& m,
                     std::int32_t feedMax) {
  for (std::size_t i = 1; i + 1 < w.size(); ++i) {
    PlannedRecord& r = w[i];
    const double a = r.angle;
    if (a > kGentleTurn) {
      r.speed = a >= kSharpTurn ? fmin
                                : static_cast<std::int32_t>(std::lround(
                                      (f - fmin) * (1 - (a - kGentleTurn) / (kPi / 4)))) + fmin;
    } else {
      const double k = CornerRadius(w, i, m);
      r.radius = static_cast<std::int32_t>(std::lround(k));
      r.speed = 2 * rampFull > k ? static_cast<std::int32_t>(std::lround(k / (2 * rampFull) * (f - fmin))) + fmin
                                 : f;
    }
    if (m.profile) r.speed = ProfileCornerSpeed(r, r.speed, feedMax);
  }
}

std::int32_t Rounded(double v) { return static_cast<std::int32_t>(std::lround(v)); }

// Each record slowed until the controller can brake from it to the next one.
void LimitByBraking(TAcncp& w, const PlannerRamps& ramps) {
  for (std::size_t i = w.size() - 1; i-- > 0;)
    w[i].speed = ramps.BrakingSpeed(w[i].speed, w[i + 1].speed, Rounded(w[i + 1].length));
}

void LimitByRamps(TAcncp& w, std::int32_t fmin, const PlannerRamps& ramps) {
  const std::size_t last = w.size() - 1;
  for (std::size_t i = 1; i < last; ++i)
    w[i].speed = ramps.ReachableSpeed(w[i].speed, w[i - 1].speed, Rounded(w[i].length));
  w[last].speed = fmin;
  LimitByBraking(w, ramps);
}

// Short gentle stretches should not pulse: a lone peak or dip takes its neighbours' mean.
// Returns whether any speed changed.
bool SmoothPeaks(TAcncp& w) {
  bool changed = false;
  for (std::size_t i = 1; i + 1 < w.size(); ++i) {
    if (w[i].angle >= kGentleTurn || w[i + 1].angle >= kGentleTurn) continue;
    if (w[i].length >= kPeakSmoothLength || w[i + 1].length >= kPeakSmoothLength) continue;
    const std::int32_t before = w[i - 1].speed, after = w[i + 1].speed, was = w[i].speed;
    const std::int32_t mean = static_cast<std::int32_t>((std::int64_t{before} + after) / 2);
    if (w[i].speed > before && w[i].speed > after) w[i].speed = mean;
    if (w[i].speed < before && w[i].speed < after) w[i].speed = mean;
    changed = changed || w[i].speed != was;
  }
  return changed;
}

// The peak to insert on the segment ending at record i, if the segment is long enough for one.
std::optional<SegmentPeak> RampPoint(const PlannedRecord& from, const PlannedRecord& to,
                                     std::int32_t f, int fLevel, const PlannerRamps& ramps) {
  const double lseg = to.length;
  const std::int32_t s0 = from.speed, s1 = to.speed;
  SegmentPeak peak;
  if (s1 < s0) {
    const double r = ramps.Length(s0, s1);
    if (lseg < 1.2 * r || lseg < 200) return std::nullopt;
    peak = ramps.PeakBeforeDecel(Rounded(lseg), s0, s1, fLevel);
    if (s1 >= 0.93 * peak.speed) return std::nullopt;
  } else if (s1 < f) {
    const double r = ramps.Length(s1, s0);
    if (!(lseg > 2 * r) || lseg < 200) return std::nullopt;
    peak = ramps.PeakBeforeAccel(Rounded(lseg), s0, s1, fLevel);
    if (!(0.93 * peak.speed > s1)) return std::nullopt;
  } else {
    return std::nullopt;
  }
  if (!peak.splitFraction) return std::nullopt;
  // A peak just short of F is taken at F, which brakes from higher and so must begin
  // braking earlier; where the segment has no room for that the lower peak stays.
  if (f <= 1.07 * peak.speed && peak.speed < f) {
    const double start = ramps.BrakeStart(fLevel, ramps.Level(s1), std::max(Rounded(lseg), 1));
    if (start > 0) peak = {f, start};
  }
  peak.splitFraction = std::clamp(*peak.splitFraction, 0.0, 1.0);
  return peak;
}

CNCpath2 InsertRampPoints(TAcncp& w, std::int32_t f, const PlannerRamps& ramps) {
  const int fLevel = ramps.Level(f);
  CNCpath2 out;
  out.reserve(w.size() * 2);
  for (std::size_t i = w.size() - 1; i >= 1; --i) {
    PlannedRecord record = w[i];
    const PlannedRecord& prev = w[i - 1];
    const auto peak = RampPoint(prev, record, f, fLevel, ramps);
    if (!peak) {
      out.push_back(record);
      continue;
    }
    const double fr = *peak->splitFraction;
    PlannedRecord split;
    split.x = prev.x + Rounded(fr * (static_cast<double>(record.x) - prev.x));
    split.y = prev.y + Rounded(fr * (static_cast<double>(record.y) - prev.y));
    // A ramp point on a vertex would ask for two speeds at one place.
    if ((split.x == prev.x && split.y == prev.y) || (split.x == record.x && split.y == record.y)) {
      out.push_back(record);
      continue;
    }
    split.speed = peak->speed;
    split.angle = 0.0;
    split.length = std::round(record.length * fr);
    split.flatLength = std::round(record.flatLength * fr);
    record.length -= split.length;
    record.flatLength -= split.flatLength;
    out.push_back(record);
    out.push_back(split);
  }
  out.push_back(w.front());
  std::reverse(out.begin(), out.end());
  return out;
}

// Motor steps of the leading axis on the line a→b; each end is rounded to a whole step.
double LeadSteps(const PlannedRecord& a, const PlannedRecord& b, const AxisScales& s) {
  const double dx = std::fabs((static_cast<double>(b.x) - a.x) * s.SX);
  const double dy = std::fabs((static_cast<double>(b.y) - a.y) * s.SY);
  return std::max(std::max(dx, dy) - 1, 0.0);
}

// Lines on a tube are levelled by the rotary axis' own rules.
bool FlatLines(const PlanContext& ctx) { return !ctx.profile && !ctx.settings.pipeMode; }

// The fastest speed below `tooFast` that a line of `share` sends at `level` or below,
// and the level it is sent at.
std::pair<std::int32_t, int> FastestAtLevel(double share, int level, std::int32_t tooFast,
                                            const SpeedTables& speeds) {
  // A line is sent at `level` or below while its speed in the X table stays below the
  // next level's speed.
  const std::int32_t next =
      speeds.X[static_cast<std::size_t>(std::min(level, kHighestSelectableLevel - 1)) + 1];
  auto v = static_cast<std::int32_t>(
      std::clamp(std::ceil((next - 0.5) / share) - 1, 0.0, tooFast - 1.0));
  while (v > 0 && ShareSpeed(v, share) >= next) --v;
  while (v + 1 < tooFast && ShareSpeed(v + 1, share) < next) ++v;
  return {v, ShareLevel(v, share, speeds)};
}

// The controller keeps its level from one line to the next, and a line's level is that
// of its leading axis: after a change of direction the level carried in can stand for
// more speed than the record before it planned, with only the next line to shed it on.
// Walking back from the end, each record is slowed until the controller, arriving at
// its line's level, can be down to the next record's level by the end of the next line.
// A zone start only cuts a line in two: braking runs on through it, so the steps left
// there carry over to the line before.
void KeepLinesBrakeable(CNCpath2& plan, const std::vector<std::size_t>& zoneStarts,
                        const PlanContext& ctx, const PlannerRamps& ramps) {
  if (plan.size() < 3) return;
  const LeadShares shares(ctx.scales);
  const auto share = [&](std::size_t i) {
    return shares({plan[i - 1].x, plan[i - 1].y, 0, 0}, plan[i].x, plan[i].y);
  };
  std::size_t i = plan.size() - 1;
  // Steps through the highest level the controller may have at the end of line i.
  double budget = ramps.StepsThrough(ShareLevel(plan[i].speed, share(i), ctx.speeds));
  for (--i; i >= 1; --i) {
    PlannedRecord& r = plan[i];
    const bool zoneStart = std::find(zoneStarts.begin(), zoneStarts.end(), i) != zoneStarts.end();
    // Both halves of a cut line keep one target, also where the rest had to be slowed.
    if (zoneStart) r.speed = std::min(r.speed, plan[i + 1].speed);
    budget += LeadSteps(r, plan[i + 1], ctx.scales);
    const double own = share(i);
    int level = ShareLevel(r.speed, own, ctx.speeds);
    if (ramps.StepsThrough(level) > budget)
      std::tie(r.speed, level) =
          FastestAtLevel(own, ramps.LevelWithin(budget, level), r.speed, ctx.speeds);
    if (!zoneStart) budget = ramps.StepsThrough(level);
  }
}

}  // namespace

std::int32_t AntiDiveLength(const PlannerSettings& s) {
  std::int32_t zone = s.antiDive;
  if (s.useCalc && s.leadOut) zone += Rounded(s.leadTrackBar * 100.0 / std::max(s.inOut, 1));
  return zone;
}

std::int32_t LeadOutLength(const PlannerSettings& s) {
  if (!(s.leadOut2 && s.leadOut)) return 0;
  return Rounded(s.leadTrackBar * (s.imperial ? 127.0 : 100.0) / std::max(s.inOut, 1) / 2);
}

std::optional<std::size_t> MarkTailZone(CNCpath2& plan, std::int32_t zone, double marker,
                                        const PlanContext& ctx) {
  if (plan.size() < 2) return std::nullopt;
  const Metric m{ctx.profile};
  zone = std::max(zone, 0);
  std::size_t d = plan.size() - 1;
  double sum = 0;
  for (;;) {
    plan[d].length = m.dist(plan[d - 1], plan[d]);
    sum += plan[d].length;
    if (sum > zone - 20 || d == 1) break;
    --d;
  }
  std::optional<std::size_t> moved;
  if (sum > zone + 20) {
    const PlannedRecord old = plan[d];
    const PlannedRecord prev = plan[d - 1];
    const double t = 1 - (zone - (sum - old.length)) / (old.length + 1);
    PlannedRecord start = old;
    start.x = prev.x + Rounded(t * (static_cast<double>(old.x) - prev.x));
    start.y = prev.y + Rounded(t * (static_cast<double>(old.y) - prev.y));
    if (start.x != old.x || start.y != old.y) {
      start.length = m.dist(prev, start);
      PlannedRecord rest = old;
      rest.length = m.dist(start, old);
      plan[d] = start;
      plan.insert(plan.begin() + static_cast<std::ptrdiff_t>(d) + 1, rest);
      moved = d;
    }
  }
  // A record carries the marker when the line ending at it lies in the zone:
  // the cut runs on until the zone's start, the new record where it splits a line.
  for (std::size_t i = moved ? d + 1 : d; i < plan.size(); ++i) plan[i].angle = marker;
  return moved;
}

// A resume point names the end vertex of its segment in the drawn contour;
// the densified contour has more vertices: the same segment there is split,
// and the part the point lies on is the one to start from.
PlanStart DensifiedStart(const CNCpath& drawn, const CNCpath& densified, PlanStart start) {
  if (!start.resume || start.vertex < 2 || static_cast<std::size_t>(start.vertex) >= drawn.size()) return start;
  // The drawn vertices stay, in order: find the segment's first end among them.
  std::size_t k = 1;
  for (std::size_t v = 2; v < static_cast<std::size_t>(start.vertex); ++v)
    while (k + 1 < densified.size() && !(densified[++k] == drawn[v])) {}
  const ContourPoint& to = drawn[static_cast<std::size_t>(start.vertex)];
  const auto distance = [&](const ContourPoint& a, const ContourPoint& b) {
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y, len2 = dx * dx + dy * dy;
    const double px = double(start.point.x) - a.x, py = double(start.point.y) - a.y;
    const double t = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.0, 1.0) : 0.0;
    return std::hypot(px - t * dx, py - t * dy);
  };
  double best = std::numeric_limits<double>::infinity();
  for (std::size_t j = k + 1; j < densified.size(); ++j) {
    const double d = distance(densified[j - 1], densified[j]);
    if (d < best) {
      best = d;
      start.vertex = static_cast<std::int32_t>(j);
    }
    if (densified[j] == to) break;
  }
  return start;
}

PlanResult PlanCut(const CNCpath& contour, std::int32_t requestedSpeed, const PlanContext& ctx,
                   const PlanStart& start, std::int32_t& lastRamp) {
  PlanResult result;
  const CNCpath densified =
      ctx.profile && ctx.profile->densify ? ctx.profile->densify(contour) : CNCpath{};
  const CNCpath& c = ctx.profile && ctx.profile->densify ? densified : contour;
  if (c.size() < 2) return result;
  const PlannerSettings& s = ctx.settings;
  const std::int32_t f = std::min(requestedSpeed, s.feedMaxXY);
  const std::int32_t fmin = std::min(s.feedMinXY, f);
  PlannerRamps ramps(ctx.scales, ctx.speeds, CuttingAccel(s, lastRamp), s.pipeMode);
  const Metric m{ctx.profile};

  TAcncp w = MergeVertices(c, densified.empty() ? start : DensifiedStart(contour, densified, start), fmin, m);
  ramps.setRampLengthFull(ramps.Length(f, fmin));
  SetCornerSpeeds(w, f, fmin, ramps.rampLengthFull(), m, s.feedMaxXY);
  LimitByRamps(w, fmin, ramps);
  // A dip lifted to its neighbours' mean may be more than the next record can be braked to.
  if (SmoothPeaks(w)) LimitByBraking(w, ramps);
  result.path = InsertRampPoints(w, f, ramps);
  if (result.path.size() >= 2) {
    const auto& a = result.path[result.path.size() - 2];
    const auto& b = result.path.back();
    if (a.x == b.x && a.y == b.y) result.path.pop_back();
  }
  std::vector<std::size_t> zoneStarts;
  if (const auto at = MarkTailZone(result.path, AntiDiveLength(s), kMarkerAntiDive, ctx))
    zoneStarts.push_back(*at);
  result.leadOutLength = LeadOutLength(s);
  if (result.leadOutLength > 19) {
    if (const auto at = MarkTailZone(result.path, result.leadOutLength, kMarkerLeadOut, ctx)) {
      for (auto& z : zoneStarts) z += z >= *at ? 1 : 0;  // the copy inserted after it shifts them
      zoneStarts.push_back(*at);
    }
  }
  if (FlatLines(ctx)) KeepLinesBrakeable(result.path, zoneStarts, ctx, ramps);
  result.rampLengthFull = ramps.rampLengthFull();
  return result;
}

}  // namespace corvane
