#pragma once
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

}  // namespace corvane
