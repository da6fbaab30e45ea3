#pragma once
#include <cmath>

#include "import/ImportPaths.h"

namespace corvane {

enum class ArcDirection { Clockwise, CounterClockwise };

// A point in millimetres.
struct MmPoint {
  double x = 0;
  double y = 0;
};

// How an arc could be drawn. With an R shorter than half the chord no centre
// exists: the arc is drawn as the half circle over the chord (the nearest real
// arc). With an R over a zero chord, or a radius that is not finite, only the end
// point is appended.
enum class ArcOutcome { Drawn, RadiusShorterThanHalfChord, NoCentre };

// Appends the straight segments of an arc to the last path of the sink, ending
// exactly at end. I and J give the centre relative to start; a non-zero R
// replaces them (negative R: the larger arc). Lengths in mm, points stored in 0.01 mm.
ArcOutcome FlattenArc(ArcDirection direction, MmPoint start, MmPoint end, double i, double j,
                      double r, bool fastCalc, ImportPathSink& sink);

// Largest gap between an arc of the radius and a chord spanning angleStep
// radians of it: what flattening with that step gives away, in the radius' unit.
inline double ArcChordError(double radius, double angleStep) {
  return std::fabs(radius) * (1 - std::cos(angleStep / 2));
}

// The cosine and sine of start + k x step for k = 0, 1, 2, ... in turn. Each step
// turns the last pair by the step instead of calling the sine and cosine again;
// every kFreshEvery steps they are computed afresh, so long arcs never drift
// (the error stays within a few units in the last place).
class AngleSteps {
 public:
  AngleSteps(double start, double step)
      : start_(start), step_(step), cosStep_(std::cos(step)), sinStep_(std::sin(step)) {
    Fresh();
  }

  // Moves on to the next angle.
  void Advance() {
    ++k_;
    if (k_ % kFreshEvery == 0) return Fresh();
    const double c = cos_ * cosStep_ - sin_ * sinStep_;
    sin_ = sin_ * cosStep_ + cos_ * sinStep_;
    cos_ = c;
  }

  double cos() const { return cos_; }
  double sin() const { return sin_; }

 private:
  static constexpr int kFreshEvery = 16;

  void Fresh() {
    const double angle = start_ + k_ * step_;
    cos_ = std::cos(angle);
    sin_ = std::sin(angle);
  }

  double start_, step_, cosStep_, sinStep_;
  double cos_ = 1, sin_ = 0;
  int k_ = 0;
};

}  // namespace corvane
