#include "import/SplineBasis.h"

#include <algorithm>

namespace corvane {

SplineBasis::SplineBasis(const std::vector<double>& knots, int degree)
    : knots_(knots), degree_(degree) {
  if (degree < 0 || degree > kMaxDegree)
    problem_ = "degree " + std::to_string(degree);
  else if (knots.size() < 2)
    problem_ = "fewer than 2 knots";
  else if (!std::is_sorted(knots.begin(), knots.end()))
    problem_ = "knots out of order";
  // The work table follows the degree, so only a degree that passed the check sizes it.
  if (problem_.empty()) table_.resize(static_cast<std::size_t>(degree) + 1);
}

double SplineBasis::Basis(std::size_t j, double u) const {
  const auto& t = knots_;
  const std::size_t p = static_cast<std::size_t>(degree_);
  if (j + p + 1 >= t.size()) return 0;
  if (t[j + p + 1] == t[j]) return 0;
  for (std::size_t i = 0; i <= p; ++i) table_[i] = t[j + i] <= u && u <= t[j + i + 1] ? 1.0 : 0.0;
  for (std::size_t k = 1; k <= p; ++k) {
    for (std::size_t i = 0; i + k <= p; ++i) {
      const std::size_t a = j + i;
      const double leftSpan = t[a + k] - t[a];
      const double rightSpan = t[a + k + 1] - t[a + 1];
      const double left = leftSpan == 0 ? 0 : (u - t[a]) / leftSpan * table_[i];
      const double right = rightSpan == 0 ? 0 : (t[a + k + 1] - u) / rightSpan * table_[i + 1];
      table_[i] = t[a + k + 1] == t[a] ? 0.0 : std::min(left + right, 1.0);
    }
  }
  return table_[0];
}

DxfPoint SplineBasis::Evaluate(const std::vector<DxfPoint>& controls, double u) const {
  DxfPoint sum;
  if (!usable()) return sum;
  const std::size_t p = static_cast<std::size_t>(degree_);
  // N(j, p, u) can only be non-zero for knot j <= u <= knot j+p+1.
  const auto firstAtOrAbove = std::lower_bound(knots_.begin(), knots_.end(), u) - knots_.begin();
  std::size_t j = static_cast<std::size_t>(firstAtOrAbove) > p + 1 ? firstAtOrAbove - p - 1 : 0;
  double weight = 0;
  for (; j < controls.size() && j < knots_.size() && knots_[j] <= u; ++j) {
    const double n = Basis(j, u);
    if (n == 0) continue;
    sum.x += n * controls[j].x;
    sum.y += n * controls[j].y;
    weight += n;
    if (weight >= 1) break;
  }
  return sum;
}

}  // namespace corvane
