#pragma once
#include <string>
#include <vector>

#include "import/DxfModel.h"

namespace corvane {

// Cox–de Boor evaluation of a B-spline over its knot vector. Only the control
// points whose basis can be non-zero at u are visited (the knots are checked to
// be in order once), so a point costs the same however long the spline is.
class SplineBasis {
 public:
  // Degrees above this are refused: the work per point grows with its cube.
  static constexpr int kMaxDegree = 11;

  SplineBasis(const std::vector<double>& knots, int degree);

  bool usable() const { return problem_.empty(); }
  const std::string& problem() const { return problem_; }

  // Sum of N(j, degree, u) x control j, stopping at the first control point
  // after which the basis values reach 1. The sum is not divided.
  DxfPoint Evaluate(const std::vector<DxfPoint>& controls, double u) const;

  // The point of a rational spline: sum of N x weight x control over the sum of
  // N x weight, from the degree + 1 basis values of the knot span holding u
  // (u is held within the curve's range). Needs a knot more than the degree
  // for every control point, and as many weights as control points.
  DxfPoint EvaluateRational(const std::vector<DxfPoint>& controls,
                            const std::vector<double>& weights, double u) const;

  // N(j, degree, u): degree 0 is 1 on the closed interval [knot j, knot j+1];
  // terms over equal knots count 0; every value is capped at 1.
  double Basis(std::size_t j, double u) const;

  // The degree + 1 basis values that can be non-zero in knot span s (knot s <= u
  // < knot s+1), into values[0..degree]: N(s - degree + i, degree, u).
  void SpanBasis(std::size_t span, double u, double* values) const;
  // The span holding u among the spans of a curve with that many control points.
  std::size_t SpanOf(double u, std::size_t controls) const;

 private:
  const std::vector<double>& knots_;
  int degree_;
  std::string problem_;
  mutable std::vector<double> table_;
};

// A clamped cubic B-spline through the points (the fit points of a SPLINE),
// parameters and knots from chord lengths, leaving and arriving along the end
// tangents (directions; where one is null, along the parabola through the
// three points at that end). False when the points span no curve (fewer than
// two distinct ones).
bool SplineThroughPoints(std::vector<DxfPoint> points, const DxfPoint* startTangent,
                         const DxfPoint* endTangent, int& degree, std::vector<double>& knots,
                         std::vector<DxfPoint>& controls);

}  // namespace corvane
