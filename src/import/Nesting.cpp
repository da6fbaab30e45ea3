#include "import/Nesting.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace corvane {
namespace {

using ClipperLib::cInt;
using ClipperLib::IntPoint;

bool StrictlyInside(const IntPoint& p, const TPath& j) {
  return j.size() >= 3 && ClipperLib::PointInPolygon(p, j) == 1;
}

// Calls visit(j) for every contour j ≠ i that may contain p: all of them
// pairwise, or those whose box holds p through the index.
template <class Visit>
void ForCandidates(const TPaths& list, const BoxIndex* index, std::size_t i, const IntPoint& p,
                   std::vector<int>& scratch, Visit visit) {
  if (!index) {
    for (std::size_t j = 0; j < list.size(); ++j)
      if (j != i) visit(j);
    return;
  }
  index->Containing(p, scratch);
  for (const int j : scratch)
    if (static_cast<std::size_t>(j) != i) visit(static_cast<std::size_t>(j));
}

Nesting NestByPoint(const TPaths& list, bool openContainers, bool firstPoint, PairSearch search,
                    std::unique_ptr<BoxIndex>& index) {
  Nesting nesting;
  nesting.records.resize(list.size());
  if (search == PairSearch::Indexed) index = std::make_unique<BoxIndex>(BoxesOf(list));
  std::vector<int> scratch;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::size_t which = firstPoint ? 0 : 1;
    if (list[i].size() <= which) continue;
    const IntPoint p = list[i][which];
    NestRecord& record = nesting.records[i];
    ForCandidates(list, index.get(), i, p, scratch, [&](std::size_t j) {
      if (!(openContainers || IsClosedPath(list[j])) || !StrictlyInside(p, list[j])) return;
      ++record.depth;
      ++nesting.records[j].children;
      record.parent = static_cast<int>(j);
    });
    nesting.maxDepth = std::max(nesting.maxDepth, record.depth);
  }
  return nesting;
}

}  // namespace

Nesting NestCuttingList(const TPaths& list, bool openDetect, PairSearch search) {
  std::unique_ptr<BoxIndex> index;
  return NestByPoint(list, openDetect, false, search, index);
}

Nesting NestProcessedList(const TPaths& list, bool openDetect, PairSearch search) {
  std::unique_ptr<BoxIndex> index;
  Nesting nesting = NestByPoint(list, false, true, search, index);
  // The parent is the containing contour exactly one level up (the last one wins).
  std::vector<int> scratch;
  for (std::size_t i = 0; i < list.size(); ++i) {
    NestRecord& record = nesting.records[i];
    if (record.depth < 1 || list[i].empty()) continue;
    ForCandidates(list, index.get(), i, list[i].front(), scratch, [&](std::size_t j) {
      if (nesting.records[j].depth != record.depth - 1) return;
      if (!openDetect && !IsClosedPath(list[j])) return;
      if (StrictlyInside(list[i].front(), list[j])) record.parent = static_cast<int>(j);
    });
  }
  return nesting;
}

BoxIndex::BoxIndex(std::vector<PathBox> boxes) : boxes_(std::move(boxes)) {
  PathBox all;
  bool any = false;
  for (const PathBox& b : boxes_) {
    if (b.maxX < b.minX) continue;
    if (!any) all = b, any = true;
    all.minX = std::min(all.minX, b.minX), all.maxX = std::max(all.maxX, b.maxX);
    all.minY = std::min(all.minY, b.minY), all.maxY = std::max(all.maxY, b.maxY);
  }
  if (!any) return;
  const auto side = static_cast<std::size_t>(
      std::clamp(std::sqrt(static_cast<double>(boxes_.size())), 1.0, 1024.0));
  columns_ = rows_ = side;
  originX_ = all.minX, originY_ = all.minY;
  cellW_ = std::max<cInt>(1, (all.maxX - all.minX) / static_cast<cInt>(columns_) + 1);
  cellH_ = std::max<cInt>(1, (all.maxY - all.minY) / static_cast<cInt>(rows_) + 1);
  cells_.resize(columns_ * rows_);
  const std::size_t largeCells = std::max<std::size_t>(16, columns_ * rows_ / 8);
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    const PathBox& b = boxes_[i];
    if (b.maxX < b.minX) continue;
    const std::size_t x0 = CellX(b.minX), x1 = CellX(b.maxX);
    const std::size_t y0 = CellY(b.minY), y1 = CellY(b.maxY);
    if ((x1 - x0 + 1) * (y1 - y0 + 1) > largeCells) {
      large_.push_back(static_cast<int>(i));
      continue;
    }
    for (std::size_t y = y0; y <= y1; ++y)
      for (std::size_t x = x0; x <= x1; ++x) cells_[y * columns_ + x].push_back(static_cast<int>(i));
  }
}

namespace {
std::size_t CellAlong(cInt v, cInt origin, cInt size, std::size_t count) {
  if (v <= origin) return 0;
  return std::min(static_cast<std::size_t>((v - origin) / size), count - 1);
}
}  // namespace

std::size_t BoxIndex::CellX(cInt x) const { return CellAlong(x, originX_, cellW_, columns_); }
std::size_t BoxIndex::CellY(cInt y) const { return CellAlong(y, originY_, cellH_, rows_); }

void BoxIndex::Containing(const IntPoint& p, std::vector<int>& out) const {
  Meeting(PathBox{p.X, p.Y, p.X, p.Y}, out);
}

void BoxIndex::Meeting(const PathBox& box, std::vector<int>& out) const {
  out.clear();
  for (const int i : large_)
    if (boxes_[static_cast<std::size_t>(i)].overlaps(box)) out.push_back(i);
  if (!cells_.empty()) {
    const std::size_t x0 = CellX(box.minX), x1 = CellX(box.maxX);
    const std::size_t y0 = CellY(box.minY), y1 = CellY(box.maxY);
    for (std::size_t y = y0; y <= y1; ++y)
      for (std::size_t x = x0; x <= x1; ++x)
        for (const int i : cells_[y * columns_ + x])
          if (boxes_[static_cast<std::size_t>(i)].overlaps(box)) out.push_back(i);
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
}

}  // namespace corvane
