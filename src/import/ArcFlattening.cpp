#include "import/ArcFlattening.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace corvane {
namespace {

constexpr double kPi = std::numbers::pi;

// Direction of a vector in [-pi/2, 3pi/2), vertical vectors decided by the sign of y.
double AngleOf(double x, double y) {
  if (std::fabs(x) < 1e-7) return y > 0 ? kPi / 2 : 4.71238898038469;
  const double a = std::atan(y / x);
  return x >= 0 ? a : a + kPi;
}

// Steps per half turn for a radius in mm.
double StepsPerHalfTurn(double radius, bool fastCalc) {
  return fastCalc ? std::clamp(3 * radius, 18.0, 180.0) : std::clamp(10 * radius, 24.0, 360.0);
}

void AppendMm(ImportPathSink& sink, double x, double y) { sink.AppendUnits(x * 100, y * 100); }

}  // namespace

ArcOutcome FlattenArc(ArcDirection direction, MmPoint start, MmPoint end, double i, double j,
                      double r, bool fastCalc, ImportPathSink& sink) {
  ArcOutcome outcome = ArcOutcome::Drawn;
  if (r != 0) {
    const double cx = end.x - start.x;
    const double cy = end.y - start.y;
    const double hx = cx / 2;
    const double hy = cy / 2;
    const double h = std::hypot(hx, hy);
    const double chord = std::hypot(cx, cy);
    if (!(chord > 0) || !std::isfinite(chord) || !std::isfinite(r)) {
      AppendMm(sink, end.x, end.y);
      return ArcOutcome::NoCentre;
    }
    const bool rightHand = (direction == ArcDirection::Clockwise) == (r > 0);
    const double nx = (rightHand ? cy : -cy) / chord;
    const double ny = (rightHand ? -cx : cx) / chord;
    double d = 0;
    if (std::llround(std::clamp(r * 1000, -1e18, 1e18)) !=
        std::llround(std::clamp(h * 1000, -1e18, 1e18))) {
      const double square = r * r - h * h;
      if (square < 0)
        outcome = ArcOutcome::RadiusShorterThanHalfChord;
      else
        d = std::sqrt(square);
    }
    i = hx + d * nx;
    j = hy + d * ny;
  }
  const double mx = start.x + i;
  const double my = start.y + j;
  const double radius = std::hypot(i, j);
  if (!std::isfinite(radius) || !std::isfinite(mx) || !std::isfinite(my)) {
    AppendMm(sink, end.x, end.y);
    return ArcOutcome::NoCentre;
  }
  const double a0 = AngleOf(start.x - mx, start.y - my);
  double a1 = AngleOf(end.x - mx, end.y - my);
  const double delta = kPi / StepsPerHalfTurn(radius, fastCalc);
  // Counting steps instead of comparing a running angle keeps the loop bounded
  // even where adding delta no longer changes the angle.
  if (direction == ArcDirection::Clockwise) {
    if (!(a0 > a1)) a1 -= 2 * kPi;
    for (int k = 1;; ++k) {
      const double a = a0 - k * delta;
      if (!(a > a1) || sink.exhausted()) break;
      AppendMm(sink, mx + radius * std::cos(a), my + radius * std::sin(a));
    }
  } else {
    if (a0 >= a1) a1 += 2 * kPi;
    for (int k = 1;; ++k) {
      const double a = a0 + k * delta;
      if (!(a < a1) || sink.exhausted()) break;
      AppendMm(sink, mx + radius * std::cos(a), my + radius * std::sin(a));
    }
  }
  AppendMm(sink, end.x, end.y);
  return outcome;
}

}  // namespace corvane
