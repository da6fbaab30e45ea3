#pragma once
#include <cmath>
#include <cstdint>
#include <functional>

#include "model/JobModel.h"

namespace corvane {

// A point with 64-bit coordinates: picked positions and the import window's paths.
struct Point64 {
  std::int64_t x = 0;
  std::int64_t y = 0;
};

// Horizontal offset of an unrolled profile position on the real tube (rotary profile mode).
using ProfileHorizontal = std::function<std::int32_t(std::int32_t x)>;

namespace detail {
// Squared length of (dx, dy); exact in unsigned 64 bits for any pair of int32 coordinates' differences.
inline double HypotExact(std::int64_t dx, std::int64_t dy) {
  const auto ax = static_cast<std::uint64_t>(dx < 0 ? -dx : dx);
  const auto ay = static_cast<std::uint64_t>(dy < 0 ? -dy : dy);
  return std::sqrt(static_cast<double>(ax * ax + ay * ay));
}
}  // namespace detail

// Length of the segment a→b in 0.01 mm (works for contour points and planned records).
template <class A, class B>
double Dist(const A& a, const B& b) {
  return detail::HypotExact(std::int64_t{b.x} - a.x, std::int64_t{b.y} - a.y);
}

// Direction of a→b in (−π, π].
template <class A, class B>
double Heading(const A& a, const B& b) {
  return std::atan2(static_cast<double>(std::int64_t{b.y} - a.y),
                    static_cast<double>(std::int64_t{b.x} - a.x));
}

// Length of a→b on the real tube: X measured through the profile's horizontal offsets.
template <class A, class B>
double ProfileDist(const A& a, const B& b, const ProfileHorizontal& h) {
  return detail::HypotExact(std::int64_t{h(b.x)} - h(a.x), std::int64_t{b.y} - a.y);
}

// Direction of a→b on the real tube.
template <class A, class B>
double ProfileHeading(const A& a, const B& b, const ProfileHorizontal& h) {
  return std::atan2(static_cast<double>(std::int64_t{b.y} - a.y),
                    static_cast<double>(std::int64_t{h(b.x)} - h(a.x)));
}

// The corner between two directions, in [0, π].
double TurnAngle(double h1, double h2);

// Bounding box of a contour's vertices (the header is not a vertex).
struct VertexBox {
  std::int64_t minX = 999999999;
  std::int64_t minY = 999999999;
  std::int64_t maxX = -99999999;
  std::int64_t maxY = -99999999;
};
VertexBox BoxOfVertices(const CNCpath& contour);

// True when the contour's box fits in a square of `size` (edges may equal it).
bool FitsInSquare(const CNCpath& contour, std::int64_t size);
// True when the contour is so small that it is cut as a point.
bool IsPointContour(const CNCpath& contour, std::int64_t size);
// Centre of the contour's box, each coordinate rounded towards zero.
Point2 BoxCentre(const CNCpath& contour);

// True when p lies within `tol` of the segment a→b (and of its box grown by tol).
bool NearSegment(const Point64& p, const ContourPoint& a, const ContourPoint& b, double tol);
// The same test for the import window's 64-bit vertices.
bool NearSegment(const Point64& p, const Point64& a, const Point64& b, double tol);

// Snaps a point picked near segment a→b onto it along the segment's dominant axis.
Point2 SnapOntoSegment(const Point64& p, const ContourPoint& a, const ContourPoint& b);

// Splits the final record into equal pieces of at most 60 units of X travel from `prev`.
// `prev` is a copy: callers pass a record of `records`, which the pieces may move.
void SplitLastSegment(TAcncp& records, PlannedRecord prev);

// A copy of the contour with the same header and its vertices in reverse order.
CNCpath ReverseContour(const CNCpath& contour);
// A copy of the planned path with its records in reverse order.
CNCpath2 ReversePlan(const CNCpath2& plan);

}  // namespace corvane
