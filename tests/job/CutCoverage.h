#pragma once
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "model/Geometry.h"
#include "model/JobModel.h"
#include "sim/Board.h"
#include "system/System.h"
#include "wire/Commands.h"

namespace corvane::testing {

// One cutting move the board made, from where it started to where it ended, in job coordinates.
struct CutMove {
  Point64 from, to;
};

// The board's cutting moves (XY lines with the torch on) from entry `first` of its record on.
inline std::vector<CutMove> CutsInJob(const std::vector<sim::ExecutedEntry>& executed, std::size_t first,
                                      const AxisScales& s, const JobState& job) {
  const auto inJob = [&](const sim::Steps4& p) {
    return Point64{std::llround(p[0] / s.SX) - job.ProjectOriginX, std::llround(p[1] / s.SY) - job.ProjectOriginY};
  };
  std::vector<CutMove> out;
  for (std::size_t i = first; i < executed.size(); ++i) {
    const auto& e = executed[i];
    if (e.request.command == wire::cmd::kXyLine && e.torchOn && !(e.from == e.to))
      out.push_back({inJob(e.from), inJob(e.to)});
  }
  return out;
}

// Whether the cuts pass along the whole contour from `from` (job coordinates,
// on the contour) to its end, sampled ten times a segment within 0.2 mm.
inline bool Covers(const std::vector<CutMove>& cuts, const CNCpath& c, Point2 from) {
  bool started = false;
  for (std::size_t j = 2; j < c.size(); ++j) {
    const Point64 a{c[j - 1].x, c[j - 1].y}, b{c[j].x, c[j].y};
    if (!started && !NearSegment(Point64{from.x, from.y}, a, b, 50)) continue;
    const Point64 start = started ? a : Point64{from.x, from.y};
    started = true;
    for (int k = 0; k <= 10; ++k) {
      const Point64 p{start.x + (b.x - start.x) * k / 10, start.y + (b.y - start.y) * k / 10};
      if (std::none_of(cuts.begin(), cuts.end(), [&](const CutMove& m) { return NearSegment(p, m.from, m.to, 20); }))
        return false;
    }
  }
  return started;
}

// Whether any cut passes within 0.2 mm of the point.
inline bool AnyCutAt(const std::vector<CutMove>& cuts, Point64 p) {
  return std::any_of(cuts.begin(), cuts.end(), [&](const CutMove& m) { return NearSegment(p, m.from, m.to, 20); });
}

}  // namespace corvane::testing
