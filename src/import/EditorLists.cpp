#include "import/EditorLists.h"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <unordered_set>

#include "model/Geometry.h"

namespace corvane {
namespace {

using ClipperLib::cInt;
using ClipperLib::IntPoint;

// Step 1: a there-and-back line of three points loses its way back.
void DropWayBack(TPaths& list, std::size_t first) {
  for (std::size_t i = first; i < list.size(); ++i)
    if (list[i].size() == 3 && list[i][2] == list[i][0]) list[i].pop_back();
}

bool IsDegenerate(const TPath& path) { return path.size() < 2 || (path.size() == 2 && path[0] == path[1]); }

bool SameOutline(const TPath& a, const TPath& b) {
  if (a.size() != b.size()) return false;
  const std::size_t mid = (a.size() - 1) / 2;
  return a.front() == b.front() && a[mid] == b[mid] && a.back() == b.back();
}

// Marks degenerate contours and every contour that a later one repeats
// (same count, first, middle and last point): of identical contours the last stays.
std::size_t MarkDuplicatesPairwise(TPaths& list, std::size_t first) {
  std::size_t count = 0;
  for (std::size_t j = first; j < list.size(); ++j) {
    if (IsDegenerate(list[j])) {
      if (!list[j].empty()) MarkForDeletion(list[j]);
      ++count;
      continue;
    }
    for (std::size_t v = j + 1; v < list.size(); ++v) {
      if (IsMarkedForDeletion(list[v]) || !SameOutline(list[j], list[v])) continue;
      MarkForDeletion(list[j]);
      ++count;
      break;
    }
  }
  return count;
}

struct OutlineKey {
  std::size_t count;
  IntPoint first, middle, last;
  bool operator==(const OutlineKey&) const = default;
};
struct OutlineKeyHash {
  std::size_t operator()(const OutlineKey& k) const {
    std::size_t h = k.count;
    for (const IntPoint& p : {k.first, k.middle, k.last})
      h = (h * 1000003u) ^ std::hash<cInt>()(p.X) ^ (std::hash<cInt>()(p.Y) * 31u);
    return h;
  }
};

// The same marks found by hashing the outlines, from the last contour backwards:
// a contour goes when a later one with the same outline has been seen.
std::size_t MarkDuplicatesIndexed(TPaths& list, std::size_t first) {
  std::size_t count = 0;
  std::unordered_set<OutlineKey, OutlineKeyHash> seen;
  seen.reserve(list.size() - first);
  for (std::size_t j = list.size(); j-- > first;) {
    TPath& path = list[j];
    if (IsDegenerate(path)) {
      if (!path.empty()) MarkForDeletion(path);
      ++count;
      continue;
    }
    const OutlineKey key{path.size(), path.front(), path[(path.size() - 1) / 2], path.back()};
    if (!seen.insert(key).second) {
      MarkForDeletion(path);
      ++count;
    }
  }
  return count;
}

bool IsOpen(const TPath& path) { return !path.empty() && !IsClosedPath(path); }

// Appends l to k when one of their ends meet, trying the four cases in order.
bool WeldPair(TPath& k, TPath& l, cInt t) {
  if (NearPoints(k.front(), l.front(), t)) {
    std::reverse(k.begin(), k.end());
  } else if (NearPoints(k.back(), l.front(), t)) {
  } else if (NearPoints(k.back(), l.back(), t)) {
    std::reverse(l.begin(), l.end());
  } else if (NearPoints(k.front(), l.back(), t)) {
    std::reverse(k.begin(), k.end());
    std::reverse(l.begin(), l.end());
  } else {
    return false;
  }
  k.insert(k.end(), l.begin() + 1, l.end());
  MarkForDeletion(l);
  return true;
}

// One welding pass comparing every later contour with each contour in turn.
std::size_t WeldPassPairwise(TPaths& list, std::size_t first, cInt t) {
  std::size_t welded = 0;
  for (std::size_t k = first; k < list.size(); ++k) {
    if (IsMarkedForDeletion(list[k])) continue;
    for (std::size_t l = k + 1; l < list.size(); ++l) {
      if (!IsOpen(list[k]) || !IsOpen(list[l])) continue;
      if (WeldPair(list[k], list[l], t)) ++welded;
    }
  }
  return welded;
}

// The contours' end points in square cells of at least the tolerance: two
// near ends lie in the same or neighbouring cells.
class EndGrid {
 public:
  EndGrid(const TPaths& list, std::size_t first, cInt t) : cell_(std::max<cInt>(t, 0) + 1) {
    cells_.reserve(2 * (list.size() - first));
    for (std::size_t i = first; i < list.size(); ++i) {
      if (!IsOpen(list[i]) || IsMarkedForDeletion(list[i])) continue;
      cells_[Key(list[i].front())].push_back(i);
      if (Key(list[i].back()) != Key(list[i].front())) cells_[Key(list[i].back())].push_back(i);
    }
  }

  // The smallest index above `after` of an open, unmarked contour with an end near p.
  std::size_t NearestAbove(const IntPoint& p, std::size_t after, const TPaths& list, cInt t,
                           std::size_t best) const {
    const cInt cx = Floor(p.X), cy = Floor(p.Y);
    for (cInt x = cx - 1; x <= cx + 1; ++x)
      for (cInt y = cy - 1; y <= cy + 1; ++y) {
        const auto found = cells_.find(Pack(x, y));
        if (found == cells_.end()) continue;
        for (const std::size_t l : found->second) {
          if (l <= after || l >= best || IsMarkedForDeletion(list[l])) continue;
          if (NearPoints(p, list[l].front(), t) || NearPoints(p, list[l].back(), t)) best = l;
        }
      }
    return best;
  }

 private:
  cInt Floor(cInt v) const { return v >= 0 ? v / cell_ : -((-v + cell_ - 1) / cell_); }
  static std::uint64_t Pack(cInt x, cInt y) {
    return (static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull) ^ static_cast<std::uint64_t>(y);
  }
  std::uint64_t Key(const IntPoint& p) const { return Pack(Floor(p.X), Floor(p.Y)); }

  cInt cell_;
  std::unordered_map<std::uint64_t, std::vector<std::size_t>> cells_;
};

// The same pass: for each contour, the next later piece whose end meets one of
// its ends is found in the grid instead of by trying every later contour.
std::size_t WeldPassIndexed(TPaths& list, std::size_t first, cInt t) {
  const EndGrid grid(list, first, t);
  std::size_t welded = 0;
  const std::size_t none = std::numeric_limits<std::size_t>::max();
  for (std::size_t k = first; k < list.size(); ++k) {
    if (IsMarkedForDeletion(list[k])) continue;
    std::size_t position = k;
    while (IsOpen(list[k])) {
      std::size_t l = grid.NearestAbove(list[k].front(), position, list, t, none);
      l = grid.NearestAbove(list[k].back(), position, list, t, l);
      if (l == none || !IsOpen(list[l]) || !WeldPair(list[k], list[l], t)) break;
      ++welded;
      position = l;
    }
  }
  return welded;
}

}  // namespace

void MarkForDeletion(TPath& path) {
  if (path.empty()) return;
  path.front().X = kDeletionMark;
  path.back().X = kDeletionMark;
}

std::size_t RemoveMarked(TPaths& list, std::size_t first) {
  const auto begin = list.begin() + static_cast<std::ptrdiff_t>(std::min(first, list.size()));
  const auto end = std::remove_if(begin, list.end(),
                                  [](const TPath& p) { return p.empty() || IsMarkedForDeletion(p); });
  const auto removed = static_cast<std::size_t>(list.end() - end);
  list.erase(end, list.end());
  return removed;
}

CleanResult CleanContours(TPaths& list, std::size_t first, cInt tolerance, bool milling,
                          PairSearch search) {
  CleanResult result;
  if (first >= list.size()) return result;
  if (!milling) DropWayBack(list, first);
  result.deleted = search == PairSearch::Pairwise ? MarkDuplicatesPairwise(list, first)
                                                  : MarkDuplicatesIndexed(list, first);
  RemoveMarked(list, first);
  for (;;) {
    ++result.passes;
    const std::size_t welded = search == PairSearch::Pairwise
                                   ? WeldPassPairwise(list, first, tolerance)
                                   : WeldPassIndexed(list, first, tolerance);
    if (welded == 0) break;
    result.welded += welded;
    RemoveMarked(list, first);
  }
  for (std::size_t i = first; i < list.size(); ++i) {
    TPath& path = list[i];
    if (path.size() >= 2 && !(path.back() == path.front()) &&
        NearPoints(path.back(), path.front(), tolerance)) {
      path.push_back(path.front());
      ++result.closed;
    }
  }
  return result;
}

EditorExtent ExtentOfLists(const std::vector<const TPaths*>& lists) {
  EditorExtent e;
  e.minX = e.minY = std::numeric_limits<cInt>::max();
  e.maxX = e.maxY = std::numeric_limits<cInt>::min();
  for (const TPaths* list : lists)
    for (const TPath& path : *list)
      for (const IntPoint& p : path) {
        e.any = true;
        e.minX = std::min(e.minX, p.X), e.maxX = std::max(e.maxX, p.X);
        e.minY = std::min(e.minY, p.Y), e.maxY = std::max(e.maxY, p.Y);
      }
  if (!e.any) e = EditorExtent{};
  return e;
}

void ShiftLists(const std::vector<TPaths*>& lists, cInt dx, cInt dy) {
  for (TPaths* list : lists)
    for (TPath& path : *list)
      for (IntPoint& p : path) p.X -= dx, p.Y -= dy;
}

std::size_t VertexCount(const TPaths& list) {
  std::size_t count = 0;
  for (const TPath& path : list) count += path.size();
  return count;
}

PathBox BoxOfPath(const TPath& path) {
  PathBox box;
  if (path.empty()) return box;
  box.minX = box.maxX = path.front().X;
  box.minY = box.maxY = path.front().Y;
  for (const IntPoint& p : path) {
    box.minX = std::min(box.minX, p.X), box.maxX = std::max(box.maxX, p.X);
    box.minY = std::min(box.minY, p.Y), box.maxY = std::max(box.maxY, p.Y);
  }
  return box;
}

std::vector<PathBox> BoxesOf(const TPaths& list) {
  std::vector<PathBox> boxes;
  boxes.reserve(list.size());
  for (const TPath& path : list) boxes.push_back(BoxOfPath(path));
  return boxes;
}

TPath BoxOutline(const PathBox& b) {
  return {{b.minX, b.minY}, {b.minX, b.maxY}, {b.maxX, b.maxY}, {b.maxX, b.minY}, {b.minX, b.minY}};
}

bool NearOutline(const TPath& path, const IntPoint& p, double tolerance) {
  const Point64 at{p.X, p.Y};
  for (std::size_t i = 1; i < path.size(); ++i)
    if (NearSegment(at, Point64{path[i - 1].X, path[i - 1].Y}, Point64{path[i].X, path[i].Y}, tolerance))
      return true;
  return false;
}

double ShoelaceSum(const TPath& path) {
  WideInt sum = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const IntPoint& a = path[i];
    const IntPoint& b = path[(i + 1) % path.size()];
    sum += static_cast<WideInt>(a.X) * b.Y - static_cast<WideInt>(b.X) * a.Y;
  }
  return static_cast<double>(sum);
}

}  // namespace corvane
