#pragma once
#include <cstddef>
#include <vector>

#include "import/EditorLists.h"

namespace corvane {

// Where a contour sits among the others: the contour it lies in (−1: none),
// how many contours it lies in, and how many lie in it.
struct NestRecord {
  int parent = -1;
  int depth = 0;
  int children = 0;
};

struct Nesting {
  std::vector<NestRecord> records;
  int maxDepth = 0;
};

// Nesting of the editor's cutting list: contour i lies in j when i's second
// vertex is strictly inside j; only closed j count unless `openDetect`.
// Of several containing contours the one with the highest index is the parent.
Nesting NestCuttingList(const TPaths& list, bool openDetect, PairSearch search = PairSearch::Indexed);

// Nesting of the processed list: the first vertex is tested, only closed j
// count; then each contour's parent is taken among the contours one level up.
Nesting NestProcessedList(const TPaths& list, bool openDetect, PairSearch search = PairSearch::Indexed);

// Contours whose box may hold a point or meet a box, found through a grid of
// the boxes; very large boxes are kept aside and always returned.
class BoxIndex {
 public:
  explicit BoxIndex(std::vector<PathBox> boxes);
  // Indices of the boxes that contain p (edges included), in increasing order.
  void Containing(const ClipperLib::IntPoint& p, std::vector<int>& out) const;
  // Indices of the boxes that meet `box` (edges included), in increasing order.
  void Meeting(const PathBox& box, std::vector<int>& out) const;
  const PathBox& box(int i) const { return boxes_[static_cast<std::size_t>(i)]; }

 private:
  std::size_t CellX(ClipperLib::cInt x) const;
  std::size_t CellY(ClipperLib::cInt y) const;
  std::vector<PathBox> boxes_;
  std::vector<int> large_;
  std::vector<std::vector<int>> cells_;
  std::size_t columns_ = 1, rows_ = 1;
  ClipperLib::cInt originX_ = 0, originY_ = 0, cellW_ = 1, cellH_ = 1;
};

}  // namespace corvane
