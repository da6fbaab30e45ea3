#include "import/LeadPlan.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "import/Nesting.h"
#include "import/ParallelFor.h"
#include "model/Geometry.h"

namespace corvane {
namespace {

using ClipperLib::cInt;
using ClipperLib::IntPoint;

constexpr double kDegree = std::numbers::pi / 180.0;

IntPoint Round(double x, double y) { return {std::llround(x), std::llround(y)}; }

struct SegmentFrame {
  double dx = 0, dy = 0;  // D: unit direction
  double nx = 0, ny = 0;  // N: unit normal to the left
  double mx = 0, my = 0;  // M: midpoint
  double angle = 0;       // direction of D, radians
};

SegmentFrame FrameOf(const IntPoint& a, const IntPoint& b) {
  SegmentFrame f;
  const double ex = static_cast<double>(b.X - a.X), ey = static_cast<double>(b.Y - a.Y);
  const double length = std::max(1.0, std::hypot(ex, ey));
  f.dx = ex / length, f.dy = ey / length;
  f.nx = -f.dy, f.ny = f.dx;
  f.mx = (static_cast<double>(a.X) + static_cast<double>(b.X)) / 2;
  f.my = (static_cast<double>(a.Y) + static_cast<double>(b.Y)) / 2;
  if (std::fabs(ex) < 1)
    f.angle = ey > 0 ? std::numbers::pi / 2 : 3 * std::numbers::pi / 2;
  else
    f.angle = std::atan(ey / ex) + (ex < 0 ? std::numbers::pi : 0.0);
  return f;
}

// The walk along the contour from M over P(i), P(i+1), … for a lead-out of length w.
std::vector<IntPoint> WalkAlong(const TPath& p, std::size_t i, const IntPoint& m, double w) {
  const std::size_t last = p.size() - 1;
  if (i == last) return {p[i]};
  auto distance = [](const IntPoint& a, const IntPoint& b) {
    return std::hypot(static_cast<double>(b.X - a.X), static_cast<double>(b.Y - a.Y));
  };
  const double rest = distance(m, p[i]);
  if (rest > w + 20) {
    const double t = w / rest;
    return {Round(m.X + (p[i].X - m.X) * t, m.Y + (p[i].Y - m.Y) * t)};
  }
  std::vector<IntPoint> walk;
  double length = 0;
  IntPoint previous = m;
  for (std::size_t k = i; k <= last; ++k) {
    const double step = distance(previous, p[k]);
    length += step;
    walk.push_back(p[k]);
    if (length >= w - 20 || k == last) {
      if (length > w + 20 && step > 0) {
        const double t = (step - (length - w)) / step;
        walk.back() = Round(previous.X + (p[k].X - previous.X) * t, previous.Y + (p[k].Y - previous.Y) * t);
      }
      break;
    }
    previous = p[k];
  }
  return walk;
}

// Builds the record for the segment p[i−1] → p[i] with lead-in length f.
LeadRecord RecordFor(const TPath& p, std::size_t i, cInt f, const LeadOptions& o) {
  LeadRecord r(kLeadSlots, IntPoint{0, 0});
  const SegmentFrame s = FrameOf(p[i - 1], p[i]);
  const double h = static_cast<double>(f / 2);
  const IntPoint m = Round(s.mx, s.my);
  if (o.straightIn) {
    const IntPoint start = Round(s.mx + static_cast<double>(f) * s.nx, s.my + static_cast<double>(f) * s.ny);
    for (std::size_t k = 0; k <= 13; ++k) r[k] = start;
    r[14] = m;
  } else {
    r[0] = Round(s.mx + 2 * h * s.nx - h * s.dx, s.my + 2 * h * s.ny - h * s.dy);
    const double cx = s.mx + h * s.nx, cy = s.my + h * s.ny;
    const double theta0 = s.angle + std::numbers::pi;
    for (std::size_t k = 0; k <= 13; ++k) {
      const double a = theta0 + static_cast<double>(k) * 6 * kDegree;
      r[k + 1] = Round(cx + h * std::cos(a), cy + h * std::sin(a));
    }
  }
  r[kLeadAttach] = m;
  r[kLeadSegment] = {static_cast<cInt>(i - 1), 0};
  if (!o.leadOut) return r;
  if (o.alongOut) {
    if (o.ratio <= 0) return r;
    const double w = std::round(static_cast<double>(f) / o.ratio);
    if (w < 20) return r;
    const std::vector<IntPoint> walk = WalkAlong(p, i, m, w);
    for (std::size_t k = 0; k < 14; ++k) r[16 + k] = walk[std::min(k, walk.size() - 1)];
    return r;
  }
  const double w = std::round(static_cast<double>(f) / std::max(2.0, o.ratio));
  if (w < 20) return r;
  const double cx = s.mx + w * s.nx, cy = s.my + w * s.ny;
  for (std::size_t k = 0; k < 14; ++k) {
    const double a = s.angle + (-90.0 + 15.0 + 6.0 * static_cast<double>(k)) * kDegree;
    r[16 + k] = Round(cx + w * std::cos(a), cy + w * std::sin(a));
  }
  if (o.ratioIsOne)
    r[kLeadOutEnd] = Round(s.mx + 2 * w * s.nx + w * s.dx, s.my + 2 * w * s.ny + w * s.dy);
  return r;
}

// The whole lead as cut: in to M and, when planned, out again.
std::vector<IntPoint> WholeLead(const LeadRecord& r) {
  std::vector<IntPoint> q(r.begin(), r.begin() + kLeadAttach + 1);
  if (!(r[kLeadOutEnd] == IntPoint{0, 0})) q.insert(q.end(), r.begin() + 16, r.begin() + kLeadOutEnd + 1);
  return q;
}

WideInt Orientation(const IntPoint& a, const IntPoint& b, const IntPoint& c) {
  const WideInt ax = a.X / 8, ay = a.Y / 8, bx = b.X / 8, by = b.Y / 8, cx = c.X / 8, cy = c.Y / 8;
  return (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
}

int Sign(WideInt v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

WideInt ExactOrientation(const IntPoint& a, const IntPoint& b, const IntPoint& c) {
  return WideInt{b.X - a.X} * (c.Y - a.Y) - WideInt{b.Y - a.Y} * (c.X - a.X);
}

bool Within(const IntPoint& a, const IntPoint& b, const IntPoint& p) {
  return std::min(a.X, b.X) <= p.X && p.X <= std::max(a.X, b.X) && std::min(a.Y, b.Y) <= p.Y &&
         p.Y <= std::max(a.Y, b.Y);
}

// True when segments AB and CD share a point (touching and overlapping
// included), in full precision.
bool SegmentsMeet(const IntPoint& a, const IntPoint& b, const IntPoint& c, const IntPoint& d) {
  const int abc = Sign(ExactOrientation(a, b, c)), abd = Sign(ExactOrientation(a, b, d));
  const int cda = Sign(ExactOrientation(c, d, a)), cdb = Sign(ExactOrientation(c, d, b));
  if (abc * abd < 0 && cda * cdb < 0) return true;
  return (abc == 0 && Within(a, b, c)) || (abd == 0 && Within(a, b, d)) || (cda == 0 && Within(c, d, a)) ||
         (cdb == 0 && Within(c, d, b));
}

// True when the drawn lead `q` meets `path`. With `attach` set, `path` is the
// lead's own contour: the lead segments ending or starting at M (index
// `atM` of q) may meet the contour's segment `attach` there, nothing else.
bool LeadMeetsPath(const std::vector<IntPoint>& q, const TPath& path, std::size_t atM = 0,
                   std::size_t attach = std::numeric_limits<std::size_t>::max()) {
  // Only segments that reach into the lead's box can meet it.
  const PathBox box = BoxOfPath(q);
  for (std::size_t b = 1; b < path.size(); ++b) {
    const IntPoint& c = path[b - 1];
    const IntPoint& d = path[b];
    if (std::max(c.X, d.X) < box.minX || std::min(c.X, d.X) > box.maxX || std::max(c.Y, d.Y) < box.minY ||
        std::min(c.Y, d.Y) > box.maxY)
      continue;
    for (std::size_t a = 1; a < q.size(); ++a) {
      if (b - 1 == attach && (a == atM || a == atM + 1)) continue;
      if (SegmentsMeet(q[a - 1], q[a], c, d)) return true;
    }
  }
  return false;
}

PathBox BoxOfPoints(const std::vector<IntPoint>& points, cInt grow) {
  PathBox box = BoxOfPath(points);
  box.minX -= grow, box.minY -= grow, box.maxX += grow, box.maxY += grow;
  return box;
}

// The record of contour c: the first segment whose lead passes every test.
LeadRecord PlanOne(const TPaths& processed, std::size_t c, const LeadOptions& options, const BoxIndex& index,
                   char& shortened) {
  const TPath& p = processed[c];
  if (!IsClosedPath(p) || p.size() < 3) return LeadRecord(kLeadSlots - 2, IntPoint{0, 0});
  const bool ccw = ShoelaceSum(p) >= 0;
  std::vector<int> near;
  for (const cInt f : {options.length, options.length / 4}) {
    const double h = static_cast<double>(f / 2);
    for (std::size_t i = 1; i < p.size(); ++i) {
      LeadRecord r = RecordFor(p, i, f, options);
      const int side = ClipperLib::PointInPolygon(r[0], p);
      if (side != (ccw ? 1 : 0)) continue;
      if (NearOutline(p, r[0], h)) continue;
      // The lead as drawn (every slot, not a coarse subset) touches its own
      // contour only at M; a lead-out along the contour lies on it by design.
      const std::vector<IntPoint> whole = WholeLead(r);
      const std::vector<IntPoint> own =
          options.alongOut ? std::vector<IntPoint>(r.begin(), r.begin() + kLeadAttach + 1) : whole;
      if (LeadMeetsPath(own, p, kLeadAttach, i - 1)) continue;
      // Nor may the lead pierce near or touch a neighbouring contour as it
      // will be cut (offset contours and open lines alike). A lead that meets
      // no other contour runs from the pierce point to M without leaving the
      // region it starts in, so the pierce lies on the same side of every
      // other contour as M: in scrap, never inside a neighbouring part.
      index.Meeting(BoxOfPoints(whole, static_cast<cInt>(h)), near);
      const bool blocked = std::any_of(near.begin(), near.end(), [&](int other) {
        if (static_cast<std::size_t>(other) == c) return false;
        const TPath& o = processed[static_cast<std::size_t>(other)];
        return NearOutline(o, r[0], h) || LeadMeetsPath(whole, o);
      });
      if (blocked) continue;
      shortened = f != options.length;
      return r;
    }
  }
  LeadRecord none(kLeadSlots, IntPoint{0, 0});
  none[kLeadSegment] = {-1, 0};
  return none;
}

}  // namespace

cInt LeadLength(int sliderPosition, bool inches) {
  return static_cast<cInt>(sliderPosition) * (inches ? 127 : 100);
}

bool SegmentsCross(const IntPoint& a, const IntPoint& b, const IntPoint& c, const IntPoint& d) {
  const int abc = Sign(Orientation(a, b, c)), abd = Sign(Orientation(a, b, d));
  const int cda = Sign(Orientation(c, d, a)), cdb = Sign(Orientation(c, d, b));
  return abc * abd < 0 && cda * cdb < 0;
}

LeadPlanResult PlanLeads(const TPaths& processed, const LeadOptions& options) {
  LeadPlanResult result;
  result.records.resize(processed.size());
  const BoxIndex index(BoxesOf(processed));
  std::vector<char> shortened(processed.size(), 0);
  ParallelFor(processed.size(), [&](std::size_t c) {
    result.records[c] = PlanOne(processed, c, options, index, shortened[c]);
  });
  for (std::size_t c = 0; c < processed.size(); ++c) {
    result.shortened += shortened[c] ? 1 : 0;
    const LeadRecord& r = result.records[c];
    if (r.size() > kLeadSegment && r[kLeadSegment].X < 0) ++result.withoutLead;
  }
  return result;
}

LeadRecord PlanLead(const TPaths& processed, std::size_t contour, const LeadOptions& options) {
  const BoxIndex index(BoxesOf(processed));
  char shortened = 0;
  return PlanOne(processed, contour, options, index, shortened);
}

TPaths AttachLeads(const TPaths& processed, const std::vector<LeadRecord>& records) {
  TPaths final;
  final.reserve(processed.size());
  for (std::size_t c = 0; c < processed.size(); ++c) {
    const TPath& p = processed[c];
    const LeadRecord* r = c < records.size() ? &records[c] : nullptr;
    if (!r || r->size() < kLeadSlots || (*r)[0].X == 0 || (*r)[0].Y == 0 || (*r)[kLeadSegment].X < 0) {
      final.push_back(p);
      continue;
    }
    const auto k = static_cast<std::size_t>((*r)[kLeadSegment].X);
    const std::size_t n = p.size() - 1;
    TPath out(r->begin(), r->begin() + kLeadAttach + 1);
    for (std::size_t v = k + 1; v < n; ++v) out.push_back(p[v]);
    for (std::size_t v = 0; v <= k; ++v) out.push_back(p[v]);
    out.push_back((*r)[kLeadAttach]);
    if ((*r)[kLeadOutEnd].X != 0 && (*r)[kLeadOutEnd].Y != 0)
      out.insert(out.end(), r->begin() + 16, r->begin() + kLeadOutEnd + 1);
    final.push_back(std::move(out));
  }
  return final;
}

}  // namespace corvane
