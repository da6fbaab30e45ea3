#pragma once
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "import/ImportSession.h"
#include "job/CutCoverage.h"
#include "model/Geometry.h"
#include "model/JobModel.h"
#include "sim/Board.h"
#include "system/System.h"
#include "wire/Commands.h"

namespace corvane::testing {

// An environment variable's value, or the fallback when it is unset or empty:
// the long runs of scripts/soak.sh set what the short ones leave at defaults.
inline std::string EnvOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

// A drawing by someone else as the import window sends it: read, cleaned,
// offset for the kerf, given its lead-ins and lead-outs and sorted, with the
// window's other settings as they stand. At most `maxContours` cutting contours are kept (with their
// order), so a short run takes the drawing's first parts.
inline tCNCPath ProcessedDrawing(System& s, const std::string& file, std::size_t maxContours) {
  for (const char* box : {"cOffsetActive", "cLeadIn", "cLeadOut"}) s.fields.setChecked(Window::Import, box, true);
  ImportSession session(s.log);
  if (!session.Preview(file, ReadImportReadOptions(s.fields, s.advanced, s.parser), s.parser)) return {};
  const ImportProcessOptions options = ReadImportProcessOptions(s.fields, s.advanced, s.parser);
  session.LoadIntoEditor(session.DefaultPlasmaLayers(), {}, false, options);
  auto job = session.JobContours(options);
  if (!job) return {};
  tCNCPath kept;
  std::size_t cutting = 0;
  for (CNCpath& c : *job) {
    if (ContourKindOf(c) != kKindCut || c.size() < 3) continue;
    if (cutting++ >= maxContours) break;
    kept.push_back(std::move(c));
  }
  return kept;
}

// Segments found by where they lie: a grid of cells of `cell` hundredths of
// a millimetre, so long jobs are checked in linear time.
class SegmentGrid {
 public:
  explicit SegmentGrid(std::int64_t cell) : cell_(cell) {}
  void Add(Point64 a, Point64 b) {
    const std::size_t index = segments_.size();
    segments_.push_back({a, b});
    for (std::int64_t gx = Cell(std::min(a.x, b.x)); gx <= Cell(std::max(a.x, b.x)); ++gx)
      for (std::int64_t gy = Cell(std::min(a.y, b.y)); gy <= Cell(std::max(a.y, b.y)); ++gy)
        cells_[{gx, gy}].push_back(index);
  }
  // Whether the point lies within `tolerance` (at most one cell) of a segment.
  bool Near(Point64 p, double tolerance) const {
    for (std::int64_t dx = -1; dx <= 1; ++dx)
      for (std::int64_t dy = -1; dy <= 1; ++dy) {
        const auto it = cells_.find({Cell(p.x) + dx, Cell(p.y) + dy});
        if (it == cells_.end()) continue;
        for (std::size_t k : it->second)
          if (NearSegment(p, segments_[k].first, segments_[k].second, tolerance)) return true;
      }
    return false;
  }

 private:
  std::int64_t Cell(std::int64_t v) const { return v >= 0 ? v / cell_ : -((-v + cell_ - 1) / cell_); }
  std::int64_t cell_;
  std::vector<std::pair<Point64, Point64>> segments_;
  std::map<std::pair<std::int64_t, std::int64_t>, std::vector<std::size_t>> cells_;
};

// Torch-on moves of the board that run away from every contour of the job:
// their ends and middle are sampled; the first such move in words, "" when none.
inline std::string TorchOnAwayFromContours(const std::vector<sim::ExecutedEntry>& executed, const AxisScales& s,
                                           const JobState& job, double tolerance = 100) {
  SegmentGrid grid(500);
  for (const CNCpath& c : job.Job)
    for (std::size_t j = 2; j < c.size(); ++j) grid.Add({c[j - 1].x, c[j - 1].y}, {c[j].x, c[j].y});
  const auto cuts = CutsInJob(executed, 0, s, job);
  int away = 0;
  std::string first;
  for (const CutMove& m : cuts) {
    const Point64 middle{(m.from.x + m.to.x) / 2, (m.from.y + m.to.y) / 2};
    for (const Point64& p : {m.from, middle, m.to}) {
      if (grid.Near(p, tolerance)) continue;
      if (away++ == 0)
        first = "torch on at " + std::to_string(p.x / 100.0) + ", " + std::to_string(p.y / 100.0) +
                " mm, away from every contour";
      break;
    }
  }
  return away == 0 ? "" : first + " (" + std::to_string(away) + " moves in all)";
}

// Moments the board stood idle with the torch burning: a queued entry that
// began more than `gapMicros` after the one before it ended, the torch on
// in between. Any such moment is a stutter in the cut (and a burnt spot).
inline int IdleWithTorchOn(const std::vector<sim::ExecutedEntry>& executed, double gapMicros = 1000) {
  int idle = 0;
  const sim::ExecutedEntry* last = nullptr;
  for (const auto& e : executed) {
    const wire::CommandInfo* info = wire::FindCommand(e.request.command);
    if (!info || info->dispatch != wire::Dispatch::Queued) continue;
    if (last && last->torchOn && e.startMicros - last->endMicros > gapMicros) ++idle;
    last = &e;
  }
  return idle;
}

// Contours of the job the board's cuts do not cover from start to end:
// every segment sampled ten times must lie within 0.2 mm of a cut.
inline std::vector<int> UncutContours(const std::vector<sim::ExecutedEntry>& executed, const AxisScales& s,
                                      const JobState& job) {
  SegmentGrid cuts(500);
  for (const CutMove& m : CutsInJob(executed, 0, s, job)) cuts.Add(m.from, m.to);
  std::vector<int> uncut;
  for (std::size_t k = 0; k < job.Job.size(); ++k) {
    const CNCpath& c = job.Job[k];
    if (ContourKindOf(c) != kKindCut || c.size() < 3) continue;
    bool covered = true;
    for (std::size_t j = 2; j < c.size() && covered; ++j)
      for (int t = 0; t <= 10 && covered; ++t)
        covered = cuts.Near({c[j - 1].x + (c[j].x - c[j - 1].x) * t / 10, c[j - 1].y + (c[j].y - c[j - 1].y) * t / 10},
                            20);
    if (!covered) uncut.push_back(static_cast<int>(k));
  }
  return uncut;
}

}  // namespace corvane::testing
