#include "model/Geometry.h"

#include <algorithm>
#include <numbers>

namespace corvane {

double TurnAngle(double h1, double h2) {
  double turn = std::fabs(h1 - h2);
  if (turn > std::numbers::pi) turn = std::fabs(turn - 2 * std::numbers::pi);
  return turn;
}

VertexBox BoxOfVertices(const CNCpath& contour) {
  VertexBox box;
  for (std::size_t i = 1; i < contour.size(); ++i) {
    box.minX = std::min<std::int64_t>(box.minX, contour[i].x);
    box.maxX = std::max<std::int64_t>(box.maxX, contour[i].x);
    box.minY = std::min<std::int64_t>(box.minY, contour[i].y);
    box.maxY = std::max<std::int64_t>(box.maxY, contour[i].y);
  }
  return box;
}

bool FitsInSquare(const CNCpath& contour, std::int64_t size) {
  const VertexBox box = BoxOfVertices(contour);
  return box.maxX - box.minX <= size && box.maxY - box.minY <= size;
}

bool IsPointContour(const CNCpath& contour, std::int64_t size) {
  if (size != 0) return FitsInSquare(contour, size);
  if (contour.size() > 3) return false;
  return std::all_of(contour.begin() + std::min<std::ptrdiff_t>(1, std::ssize(contour)),
                     contour.end(), [&](const ContourPoint& p) { return p == contour[1]; });
}

Point2 BoxCentre(const CNCpath& contour) {
  const VertexBox box = BoxOfVertices(contour);
  return {static_cast<std::int32_t>((box.minX + box.maxX) / 2),
          static_cast<std::int32_t>((box.minY + box.maxY) / 2)};
}

namespace {

template <class P>
bool NearSegmentImpl(const Point64& p, const P& a, const P& b, double tol) {
  const double px = static_cast<double>(p.x), py = static_cast<double>(p.y);
  if (px < std::min<double>(a.x, b.x) - tol || px > std::max<double>(a.x, b.x) + tol) return false;
  if (py < std::min<double>(a.y, b.y) - tol || py > std::max<double>(a.y, b.y) + tol) return false;
  const std::int64_t abx = std::int64_t{b.x} - a.x, aby = std::int64_t{b.y} - a.y;
  const double length = detail::HypotExact(abx, aby);
  if (length <= 0.0001) return false;
  const double cross = static_cast<double>(abx * (p.y - a.y) - aby * (p.x - a.x));
  const double distance = cross / length;
  return -tol < distance && distance < tol;
}

}  // namespace

bool NearSegment(const Point64& p, const ContourPoint& a, const ContourPoint& b, double tol) {
  return NearSegmentImpl(p, a, b, tol);
}

bool NearSegment(const Point64& p, const Point64& a, const Point64& b, double tol) {
  return NearSegmentImpl(p, a, b, tol);
}

Point2 SnapOntoSegment(const Point64& p, const ContourPoint& a, const ContourPoint& b) {
  const double dx = static_cast<double>(std::int64_t{b.x} - a.x);
  const double dy = static_cast<double>(std::int64_t{b.y} - a.y);
  if (dx == 0 && dy == 0) return {a.x, a.y};
  const double t = std::fabs(dy) < std::fabs(dx) ? (static_cast<double>(p.x) - a.x) / dx
                                                 : (static_cast<double>(p.y) - a.y) / dy;
  return {static_cast<std::int32_t>(std::lround(dx * t) + a.x),
          static_cast<std::int32_t>(std::lround(dy * t) + a.y)};
}

void SplitLastSegment(TAcncp& records, PlannedRecord prev) {
  if (records.empty()) return;
  const PlannedRecord last = records.back();
  const std::int64_t dx = std::int64_t{last.x} - prev.x;
  const std::int64_t dy = std::int64_t{last.y} - prev.y;
  const std::int64_t n = (dx < 0 ? -dx : dx) / 60;
  if (n == 0) return;
  records.back().length = last.length / static_cast<double>(n + 1);
  const PlannedRecord piece = records.back();
  for (std::int64_t i = 1; i <= n; ++i) {
    records.push_back(piece);
    PlannedRecord& split = records[records.size() - 2];
    const double f = static_cast<double>(i) / static_cast<double>(n + 1);
    split.x = static_cast<std::int32_t>(prev.x + std::lround(f * static_cast<double>(dx)));
    split.y = static_cast<std::int32_t>(prev.y + std::lround(f * static_cast<double>(dy)));
  }
}

CNCpath ReverseContour(const CNCpath& contour) {
  CNCpath reversed(contour);
  if (reversed.size() > 2) std::reverse(reversed.begin() + 1, reversed.end());
  return reversed;
}

CNCpath2 ReversePlan(const CNCpath2& plan) { return {plan.rbegin(), plan.rend()}; }

}  // namespace corvane
