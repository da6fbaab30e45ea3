#pragma once
#include <string>
#include <vector>

#include "import/DxfModel.h"

namespace corvane {

// Cox–de Boor evaluation of a non-rational B-spline over its knot vector.
// Only the control points whose basis can be non-zero at u are visited (the
// knots are checked to be in order once), so a point costs the same however
// long the spline is.
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

  // N(j, degree, u): degree 0 is 1 on the closed interval [knot j, knot j+1];
  // terms over equal knots count 0; every value is capped at 1.
  double Basis(std::size_t j, double u) const;

 private:
  const std::vector<double>& knots_;
  int degree_;
  std::string problem_;
  mutable std::vector<double> table_;
};

}  // namespace corvane
