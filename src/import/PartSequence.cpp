#include "import/PartSequence.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>

namespace corvane {
namespace {

using ClipperLib::cInt;
using ClipperLib::IntPoint;

void Orient(TPath& path, bool counterClockwise) {
  if (!IsClosedPath(path)) return;
  const bool isCcw = ShoelaceSum(path) >= 0;
  if (isCcw != counterClockwise) std::reverse(path.begin(), path.end());
}

// Nearest-first picking through a grid in the space where the sort distance
// is plain Euclidean; every candidate's distance is still worked out by
// SortDistance itself, so the picks equal those of the pairwise search.
class PickGrid {
 public:
  PickGrid(const std::vector<IntPoint>& points, const std::vector<char>& taken, int slider)
      : points_(points), sx_(slider >= 0 ? std::sqrt(slider + 1.0) : 1.0),
        sy_(slider < 0 ? std::sqrt(1.0 - slider) : 1.0) {
    double minU = std::numeric_limits<double>::max(), minV = minU, maxU = -minU, maxV = -minU;
    for (std::size_t i = 0; i < points.size(); ++i) {
      if (taken[i]) continue;
      ++count_;
      minU = std::min(minU, U(points[i])), maxU = std::max(maxU, U(points[i]));
      minV = std::min(minV, V(points[i])), maxV = std::max(maxV, V(points[i]));
    }
    if (count_ == 0) return;
    originU_ = minU, originV_ = minV;
    const double area = std::max(1.0, (maxU - minU) * (maxV - minV));
    cell_ = std::max({1.0, std::sqrt(area / static_cast<double>(count_)),
                      (std::max(maxU - minU, maxV - minV)) / 2048.0});
    columns_ = static_cast<long>((maxU - minU) / cell_) + 1;
    rows_ = static_cast<long>((maxV - minV) / cell_) + 1;
    cells_.resize(static_cast<std::size_t>(columns_ * rows_));
    for (std::size_t i = 0; i < points.size(); ++i)
      if (!taken[i]) cells_[Cell(points[i])].push_back(i);
    built_ = count_;
  }

  std::size_t count() const { return count_; }
  std::size_t built() const { return built_; }

  // The nearest point to `from`; ties to the lower index.
  std::size_t Nearest(const IntPoint& from, int slider) const {
    const long cu = std::clamp(static_cast<long>(std::floor((U(from) - originU_) / cell_)), -1L, columns_);
    const long cv = std::clamp(static_cast<long>(std::floor((V(from) - originV_) / cell_)), -1L, rows_);
    double best = std::numeric_limits<double>::infinity();
    std::size_t pick = std::numeric_limits<std::size_t>::max();
    const long reach = std::max(columns_, rows_) + 2;
    for (long ring = 0; ring <= reach; ++ring) {
      // Points in this ring are at least (ring − 1) cells away.
      if (ring >= 1 && (static_cast<double>(ring) - 1) * cell_ > best * (1 + 1e-9) + 1e-6) break;
      for (long v = cv - ring; v <= cv + ring; ++v) {
        if (v < 0 || v >= rows_) continue;
        const bool edgeRow = v == cv - ring || v == cv + ring;
        for (long u = cu - ring; u <= cu + ring; u += edgeRow ? 1 : 2 * std::max(ring, 1L)) {
          if (u >= 0 && u < columns_)
            for (const std::size_t i : cells_[static_cast<std::size_t>(v * columns_ + u)]) {
              const double d = SortDistance(from, points_[i], slider);
              if (d < best || (d == best && i < pick)) best = d, pick = i;
            }
          if (ring == 0) break;
        }
      }
    }
    return pick;
  }

  void Remove(std::size_t i) {
    std::vector<std::size_t>& cell = cells_[Cell(points_[i])];
    cell.erase(std::find(cell.begin(), cell.end(), i));
    --count_;
  }

 private:
  double U(const IntPoint& p) const { return static_cast<double>(p.X) * sx_; }
  double V(const IntPoint& p) const { return static_cast<double>(p.Y) * sy_; }
  std::size_t Cell(const IntPoint& p) const {
    const long u = std::clamp(static_cast<long>((U(p) - originU_) / cell_), 0L, columns_ - 1);
    const long v = std::clamp(static_cast<long>((V(p) - originV_) / cell_), 0L, rows_ - 1);
    return static_cast<std::size_t>(v * columns_ + u);
  }

  const std::vector<IntPoint>& points_;
  double sx_, sy_;
  double originU_ = 0, originV_ = 0, cell_ = 1;
  long columns_ = 0, rows_ = 0;
  std::vector<std::vector<std::size_t>> cells_;
  std::size_t count_ = 0, built_ = 0;
};

IntPoint StartPoint(SortStart start, cInt extentX, cInt extentY) {
  switch (start) {
    case SortStart::TopLeft: return {0, extentY};
    case SortStart::TopRight: return {extentX, extentY};
    case SortStart::BottomRight: return {extentX, 0};
    case SortStart::Centre: return {extentX / 2, extentY / 2};
    default: return {0, 0};
  }
}

bool BoxWithin(const PathBox& inner, const PathBox& outer) {
  return outer.minX < inner.minX && inner.maxX < outer.maxX && outer.minY < inner.minY && inner.maxY < outer.maxY;
}

bool StrictlyInside(const TPath& inner, const TPath& outer) {
  return std::all_of(inner.begin(), inner.end(),
                     [&](const IntPoint& p) { return ClipperLib::PointInPolygon(p, outer) == 1; });
}

}  // namespace

TPaths CutOrder(TPaths& processed, const std::vector<PartContours>& parts) {
  std::vector<std::size_t> order;
  order.reserve(processed.size());
  for (const PartContours& part : parts)
    for (const int i : part) order.push_back(static_cast<std::size_t>(i));
  std::vector<std::size_t> position(processed.size(), 0);
  for (std::size_t k = 0; k < order.size(); ++k) position[order[k]] = k;
  // inner[j]: the contours lying strictly inside contour j, in cutting order.
  const std::vector<PathBox> boxes = BoxesOf(processed);
  const BoxIndex index(boxes);
  std::vector<std::vector<std::size_t>> inner(processed.size());
  std::vector<int> candidates;
  for (const std::size_t i : order) {
    if (!IsClosedPath(processed[i]) || processed[i].empty()) continue;
    index.Containing(processed[i].front(), candidates);
    for (const int c : candidates) {
      const auto j = static_cast<std::size_t>(c);
      if (j != i && IsClosedPath(processed[j]) && BoxWithin(boxes[i], boxes[j]) &&
          StrictlyInside(processed[i], processed[j]))
        inner[j].push_back(i);
    }
  }
  TPaths ordered;
  ordered.reserve(processed.size());
  std::vector<char> placed(processed.size(), 0);
  std::vector<std::pair<std::size_t, std::size_t>> stack;  // contour, next inner one to place
  for (const std::size_t start : order) {
    if (placed[start]) continue;
    placed[start] = 1;
    stack.emplace_back(start, 0);
    while (!stack.empty()) {
      auto& [j, next] = stack.back();
      if (next < inner[j].size()) {
        const std::size_t i = inner[j][next++];
        if (!placed[i]) {
          placed[i] = 1;
          stack.emplace_back(i, 0);
        }
        continue;
      }
      ordered.push_back(std::move(processed[j]));
      stack.pop_back();
    }
  }
  return ordered;
}

std::vector<PartContours> GroupParts(TPaths& processed, const Nesting& nesting, bool outside) {
  const std::size_t n = processed.size();
  std::vector<PartContours> parts;
  std::vector<char> taken(n, 0);
  std::map<int, std::vector<int>> byParent;
  std::vector<std::vector<int>> byDepth(static_cast<std::size_t>(nesting.maxDepth) + 1);
  for (std::size_t i = 0; i < n; ++i) {
    byParent[nesting.records[i].parent].push_back(static_cast<int>(i));
    byDepth[static_cast<std::size_t>(nesting.records[i].depth)].push_back(static_cast<int>(i));
  }
  const bool holeCcw = outside, outerCcw = !outside;
  auto take = [&](PartContours& part, int i, bool ccw) {
    taken[static_cast<std::size_t>(i)] = 1;
    part.push_back(i);
    Orient(processed[static_cast<std::size_t>(i)], ccw);
  };
  for (int d = nesting.maxDepth; d >= 0; --d) {
    for (const int i : byDepth[static_cast<std::size_t>(d)]) {
      if (taken[static_cast<std::size_t>(i)]) continue;
      const NestRecord& record = nesting.records[static_cast<std::size_t>(i)];
      if (d % 2 == 1) {
        PartContours part;
        take(part, i, holeCcw);
        for (const int sibling : byParent[record.parent])
          if (!taken[static_cast<std::size_t>(sibling)]) take(part, sibling, holeCcw);
        if (record.parent >= 0 && !taken[static_cast<std::size_t>(record.parent)])
          take(part, record.parent, outerCcw);
        parts.push_back(std::move(part));
      } else if (d > 0 || record.children == 0) {
        PartContours part;
        take(part, i, outerCcw);
        parts.push_back(std::move(part));
      }
    }
  }
  // A contour that holds others none of which names it as parent (overlapping
  // drawings) would otherwise be left out: it is cut as a part of its own.
  for (std::size_t i = 0; i < n; ++i)
    if (!taken[i]) {
      PartContours part;
      take(part, static_cast<int>(i), outerCcw);
      parts.push_back(std::move(part));
    }
  return parts;
}

double SortDistance(const IntPoint& from, const IntPoint& to, int slider) {
  const double dx = static_cast<double>(to.X - from.X), dy = static_cast<double>(to.Y - from.Y);
  if (slider < 0) return std::sqrt(dx * dx + (1 - slider) * dy * dy);
  return std::sqrt((slider + 1) * dx * dx + dy * dy);
}

std::vector<std::size_t> NearestFirst(const std::vector<IntPoint>& entries,
                                      const std::vector<IntPoint>& exits, IntPoint& from,
                                      int slider, PairSearch search) {
  const std::size_t n = entries.size();
  std::vector<std::size_t> order;
  order.reserve(n);
  std::vector<char> taken(n, 0);
  constexpr std::size_t kGridFrom = 32;
  if (search == PairSearch::Indexed && n >= kGridFrom) {
    std::unique_ptr<PickGrid> grid = std::make_unique<PickGrid>(entries, taken, slider);
    while (grid->count() > 0) {
      const std::size_t pick = grid->Nearest(from, slider);
      grid->Remove(pick);
      taken[pick] = 1;
      order.push_back(pick);
      from = exits[pick];
      // Once most points are gone the grid is mostly empty cells: build it anew.
      if (grid->count() > 0 && grid->count() * 4 < grid->built())
        grid = std::make_unique<PickGrid>(entries, taken, slider);
    }
    return order;
  }
  for (std::size_t round = 0; round < n; ++round) {
    double best = std::numeric_limits<double>::infinity();
    std::size_t pick = n;
    for (std::size_t i = 0; i < n; ++i) {
      if (taken[i]) continue;
      const double d = SortDistance(from, entries[i], slider);
      if (d < best) best = d, pick = i;
    }
    taken[pick] = 1;
    order.push_back(pick);
    from = exits[pick];
  }
  return order;
}

void SortParts(std::vector<PartContours>& parts, const TPaths& processed, SortStart start,
               int slider, cInt extentX, cInt extentY, PairSearch search) {
  if (start == SortStart::Disabled || parts.empty()) return;
  const IntPoint origin = StartPoint(start, extentX, extentY);
  auto lastPoint = [&](int i) { return processed[static_cast<std::size_t>(i)].back(); };
  auto firstPoint = [&](int i) { return processed[static_cast<std::size_t>(i)].front(); };
  if (parts.size() > 1) {
    std::vector<IntPoint> representative;
    representative.reserve(parts.size());
    for (const PartContours& part : parts) representative.push_back(lastPoint(part.back()));
    IntPoint from = origin;
    const std::vector<std::size_t> order = NearestFirst(representative, representative, from, slider, search);
    std::vector<PartContours> sorted;
    sorted.reserve(parts.size());
    for (const std::size_t i : order) sorted.push_back(std::move(parts[i]));
    parts = std::move(sorted);
  }
  IntPoint from = origin;
  for (PartContours& part : parts) {
    const IntPoint next = lastPoint(part.back());
    if (part.size() > 2) {
      const int outer = part.back();
      std::vector<IntPoint> entries, exits;
      for (std::size_t k = 0; k + 1 < part.size(); ++k) {
        entries.push_back(firstPoint(part[k]));
        exits.push_back(lastPoint(part[k]));
      }
      const std::vector<std::size_t> order = NearestFirst(entries, exits, from, slider, search);
      PartContours sorted;
      for (const std::size_t k : order) sorted.push_back(part[k]);
      sorted.push_back(outer);
      part = std::move(sorted);
    }
    from = next;
  }
}

}  // namespace corvane
