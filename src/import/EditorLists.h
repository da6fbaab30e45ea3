#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "import/ImportPaths.h"

namespace corvane {

// Products of two coordinates need more than 64 bits near the coordinate limits.
__extension__ typedef __int128 WideInt;

// The import editor's lists hold vertices only (no header point). A path is
// closed when its last vertex equals its first exactly.
inline bool IsClosedPath(const TPath& path) { return path.size() >= 2 && path.front() == path.back(); }

// Contours removed in one sweep carry this value in the X of their first and last point.
inline constexpr ClipperLib::cInt kDeletionMark = 987654321;

inline bool IsMarkedForDeletion(const TPath& path) {
  return !path.empty() && path.front().X == kDeletionMark;
}
void MarkForDeletion(TPath& path);
// Removes every marked contour from index `first` on; returns how many went.
std::size_t RemoveMarked(TPaths& list, std::size_t first = 0);

// Which way the pairwise steps of cleaning, nesting and sorting are searched.
// Pairwise compares every pair, as the steps are defined; Indexed finds the
// same pairs through a grid of the drawing and gives the same result.
enum class PairSearch { Pairwise, Indexed };

// Two points are near when both coordinates differ by at most the tolerance
// and neither is a deletion mark.
inline bool NearPoints(const ClipperLib::IntPoint& a, const ClipperLib::IntPoint& b,
                       ClipperLib::cInt tolerance) {
  if (a.X == kDeletionMark || b.X == kDeletionMark) return false;
  const ClipperLib::cInt dx = a.X - b.X, dy = a.Y - b.Y;
  return dx <= tolerance && -dx <= tolerance && dy <= tolerance && -dy <= tolerance;
}

struct CleanResult {
  std::size_t deleted = 0;  // degenerate and duplicate contours removed
  std::size_t welded = 0;   // open pieces appended to another
  std::size_t closed = 0;   // nearly closed contours closed
  std::size_t passes = 0;   // welding passes run
};

// Cleans the contours from index `first` on: drops degenerate and duplicate
// contours, welds open pieces whose ends lie within the tolerance (0.01 mm),
// and closes contours whose end lies within the tolerance of their start.
// In milling mode a there-and-back line keeps its way back.
CleanResult CleanContours(TPaths& list, std::size_t first, ClipperLib::cInt tolerance,
                          bool milling, PairSearch search = PairSearch::Indexed);

// Smallest and largest X and Y over all vertices of the lists.
struct EditorExtent {
  bool any = false;
  ClipperLib::cInt minX = 0, minY = 0, maxX = 0, maxY = 0;
};
EditorExtent ExtentOfLists(const std::vector<const TPaths*>& lists);
// Shifts every vertex of the lists by (−dx, −dy).
void ShiftLists(const std::vector<TPaths*>& lists, ClipperLib::cInt dx, ClipperLib::cInt dy);
std::size_t VertexCount(const TPaths& list);

// Bounding box of a path as the editor keeps it: minX, minY, maxX, maxY.
struct PathBox {
  ClipperLib::cInt minX = 0, minY = 0, maxX = -1, maxY = -1;
  bool contains(const ClipperLib::IntPoint& p) const {
    return p.X >= minX && p.X <= maxX && p.Y >= minY && p.Y <= maxY;
  }
  bool overlaps(const PathBox& o) const {
    return minX <= o.maxX && o.minX <= maxX && minY <= o.maxY && o.minY <= maxY;
  }
};
PathBox BoxOfPath(const TPath& path);
std::vector<PathBox> BoxesOf(const TPaths& list);
// The box as a closed five-point path, as the editor draws it.
TPath BoxOutline(const PathBox& box);

// True when p lies within `tolerance` of a segment of the path.
bool NearOutline(const TPath& path, const ClipperLib::IntPoint& p, double tolerance);

// Twice the signed area (shoelace sum); not negative counts as counter-clockwise.
double ShoelaceSum(const TPath& path);

}  // namespace corvane
