#pragma once
#include <cstddef>
#include <vector>

#include "import/Nesting.h"

namespace corvane {

// A part: indices into the processed list, holes first, the outer contour last.
using PartContours = std::vector<int>;

// Groups the processed list into parts (each outer contour with its holes;
// islands in holes and lone contours form parts of their own) and turns closed
// contours: cutting outside puts holes counter-clockwise and outer contours
// clockwise, cutting inside the other way round. Every contour lands in
// exactly one part.
std::vector<PartContours> GroupParts(TPaths& processed, const Nesting& nesting, bool outside);

// Corner the sort starts from.
enum class SortStart { Disabled, BottomLeft, TopLeft, TopRight, BottomRight, Centre };

// The sort's distance: a negative slider (−5..5) prefers moves along X, a positive one along Y.
double SortDistance(const ClipperLib::IntPoint& from, const ClipperLib::IntPoint& to, int slider);

// Orders the parts nearest first from the start corner of the extent, and the
// holes inside each part nearest first (the outer contour stays last).
void SortParts(std::vector<PartContours>& parts, const TPaths& processed, SortStart start,
               int slider, ClipperLib::cInt extentX, ClipperLib::cInt extentY,
               PairSearch search = PairSearch::Indexed);

// Picks points one after another, each the nearest (by SortDistance) to the
// exit of the one picked before, from `start`; ties go to the lower index.
// Returns the order of the indices and leaves `from` at the last exit.
std::vector<std::size_t> NearestFirst(const std::vector<ClipperLib::IntPoint>& entries,
                                      const std::vector<ClipperLib::IntPoint>& exits,
                                      ClipperLib::IntPoint& from, int slider, PairSearch search);

// The cutting order: the parts one after another, then every closed contour
// lying strictly inside another (all its vertices inside it) moved before it,
// so that nothing is cut out of material that has already fallen. Moves the
// contours out of `processed`.
TPaths CutOrder(TPaths& processed, const std::vector<PartContours>& parts);

}  // namespace corvane
