#include "import/SplineBasis.h"

#include <algorithm>
#include <cmath>

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

std::size_t SplineBasis::SpanOf(double u, std::size_t controls) const {
  const std::size_t p = static_cast<std::size_t>(degree_);
  const auto above = std::upper_bound(knots_.begin(), knots_.end(), u) - knots_.begin();
  std::size_t span = std::clamp<std::size_t>(above > 0 ? static_cast<std::size_t>(above) - 1 : 0, p,
                                             controls - 1);
  // At the curve's end u sits on the last knot: take the last span that has a length.
  while (span > p && knots_[span] == knots_[span + 1]) --span;
  return span;
}

void SplineBasis::SpanBasis(std::size_t span, double u, double* values) const {
  const auto& t = knots_;
  const std::size_t p = static_cast<std::size_t>(degree_);
  double left[kMaxDegree + 1];
  double right[kMaxDegree + 1];
  values[0] = 1;
  for (std::size_t j = 1; j <= p; ++j) {
    left[j] = u - t[span + 1 - j];
    right[j] = t[span + j] - u;
    double saved = 0;
    for (std::size_t r = 0; r < j; ++r) {
      const double across = right[r + 1] + left[j - r];
      const double share = across == 0 ? 0 : values[r] / across;
      values[r] = saved + right[r + 1] * share;
      saved = left[j - r] * share;
    }
    values[j] = saved;
  }
}

DxfPoint SplineBasis::EvaluateRational(const std::vector<DxfPoint>& controls,
                                       const std::vector<double>& weights, double u) const {
  const std::size_t p = static_cast<std::size_t>(degree_);
  const std::size_t count = controls.size();
  u = std::clamp(u, knots_[p], knots_[count]);
  const std::size_t span = SpanOf(u, count);
  double values[kMaxDegree + 1];
  SpanBasis(span, u, values);
  double x = 0, y = 0, w = 0;
  for (std::size_t i = 0; i <= p; ++i) {
    const std::size_t j = span - p + i;
    const double share = values[i] * weights[j];
    x += share * controls[j].x;
    y += share * controls[j].y;
    w += share;
  }
  return {x / w, y / w};
}

namespace {

DxfPoint Plus(DxfPoint a, DxfPoint b, double f) { return {a.x + f * b.x, a.y + f * b.y}; }

// Solves A x = b for a matrix whose row i has non-zeros only in columns
// i - width .. i + width, kept row by row in band. No rows are exchanged:
// B-spline collocation matrices are totally positive and need none.
bool SolveBanded(std::size_t size, std::size_t width, std::vector<double>& band,
                 std::vector<DxfPoint>& rhs) {
  const std::size_t stride = 2 * width + 1;
  auto at = [&](std::size_t row, std::size_t column) -> double& {
    return band[row * stride + column + width - row];
  };
  for (std::size_t c = 0; c < size; ++c) {
    const double pivot = at(c, c);
    if (!(std::fabs(pivot) > 1e-14)) return false;
    for (std::size_t r = c + 1; r < size && r <= c + width; ++r) {
      const double f = at(r, c) / pivot;
      if (f == 0) continue;
      for (std::size_t k = c; k < size && k <= c + width; ++k) at(r, k) -= f * at(c, k);
      rhs[r] = Plus(rhs[r], rhs[c], -f);
    }
  }
  for (std::size_t i = size; i-- > 0;) {
    for (std::size_t k = i + 1; k < size && k <= i + width; ++k)
      rhs[i] = Plus(rhs[i], rhs[k], -at(i, k));
    rhs[i] = {rhs[i].x / at(i, i), rhs[i].y / at(i, i)};
  }
  return true;
}

// Fills controls[first .. first + n - 2] so that the curve passes through the
// inner points (1 .. n-1) at their parameters; the other controls are known.
bool SolveInnerControls(int degree, const std::vector<double>& knots,
                        const std::vector<double>& params, const std::vector<DxfPoint>& points,
                        std::size_t first, std::vector<DxfPoint>& controls) {
  const std::size_t n = points.size() - 1;
  if (n < 2) return true;
  const std::size_t size = n - 1;
  const std::size_t width = static_cast<std::size_t>(degree) + 1;
  std::vector<double> band(size * (2 * width + 1), 0.0);
  std::vector<DxfPoint> rhs(points.begin() + 1, points.end() - 1);
  const SplineBasis basis(knots, degree);
  double values[SplineBasis::kMaxDegree + 1];
  for (std::size_t row = 0; row < size; ++row) {
    const double u = params[row + 1];
    const std::size_t span = basis.SpanOf(u, controls.size());
    basis.SpanBasis(span, u, values);
    for (int i = 0; i <= degree; ++i) {
      const std::size_t j = span - static_cast<std::size_t>(degree) + static_cast<std::size_t>(i);
      if (j < first || j >= first + size) {
        rhs[row] = Plus(rhs[row], controls[j], -values[i]);
        continue;
      }
      const std::size_t column = j - first;
      if (column + width < row || column > row + width) return false;
      band[row * (2 * width + 1) + column + width - row] = values[i];
    }
  }
  if (!SolveBanded(size, width, band, rhs)) return false;
  std::copy(rhs.begin(), rhs.end(), controls.begin() + static_cast<std::ptrdiff_t>(first));
  return true;
}

// Direction at an end of the parabola through that end's three points (by
// their parameters), or of the chord where there are only two: the usual guess
// where the file gives no tangent.
DxfPoint EndDirection(const std::vector<DxfPoint>& q, const std::vector<double>& t, bool atStart) {
  const std::size_t n = q.size() - 1;
  if (n < 2) return {q[n].x - q[0].x, q[n].y - q[0].y};
  const std::size_t a = atStart ? 0 : n - 2;
  auto slope = [&](std::size_t i) {
    const double dt = t[i + 1] - t[i];
    return DxfPoint{(q[i + 1].x - q[i].x) / dt, (q[i + 1].y - q[i].y) / dt};
  };
  const DxfPoint s0 = slope(a), s1 = slope(a + 1);
  const double span = t[a + 2] - t[a];
  const DxfPoint curve{(s1.x - s0.x) / span, (s1.y - s0.y) / span};
  return atStart ? Plus(s0, curve, t[a] - t[a + 1]) : Plus(s1, curve, t[a + 2] - t[a + 1]);
}

// A derivative along a tangent direction, as long as the whole polygon (the
// parameters run over [0, 1] by chord length). False for a direction of no length.
bool Along(DxfPoint direction, double length, DxfPoint& derivative) {
  const double norm = std::hypot(direction.x, direction.y);
  if (!(norm > 0) || !std::isfinite(norm)) return false;
  derivative = {direction.x / norm * length, direction.y / norm * length};
  return true;
}

}  // namespace

bool SplineThroughPoints(std::vector<DxfPoint> points, const DxfPoint* startTangent,
                         const DxfPoint* endTangent, int& degree, std::vector<double>& knots,
                         std::vector<DxfPoint>& controls) {
  // Repeated points would give two equal parameters and no curve between them.
  points.erase(std::unique(points.begin(), points.end(),
                           [](DxfPoint a, DxfPoint b) { return a.x == b.x && a.y == b.y; }),
               points.end());
  if (points.size() < 2) return false;
  const std::size_t n = points.size() - 1;
  std::vector<double> params(n + 1, 0.0);
  double total = 0;
  for (std::size_t k = 1; k <= n; ++k) {
    total += std::hypot(points[k].x - points[k - 1].x, points[k].y - points[k - 1].y);
    params[k] = total;
  }
  if (!(total > 0) || !std::isfinite(total)) return false;
  for (double& t : params) t /= total;
  params[n] = 1;

  // The curve leaves and arrives along the file's tangents, or along the
  // parabolas through the three points at either end.
  DxfPoint d0, dn;
  if (!(startTangent && Along(*startTangent, total, d0)) &&
      !Along(EndDirection(points, params, true), total, d0))
    return false;
  if (!(endTangent && Along(*endTangent, total, dn)) &&
      !Along(EndDirection(points, params, false), total, dn))
    return false;
  // Two control points more than points, knots averaging the parameters so
  // that every span holds one.
  degree = 3;
  knots.assign(4, 0.0);
  for (std::size_t j = 0; j + 2 <= n; ++j)
    knots.push_back((params[j] + params[j + 1] + params[j + 2]) / 3);
  knots.insert(knots.end(), 4, 1.0);
  controls.assign(n + 3, DxfPoint{});
  controls[0] = points.front();
  controls[1] = Plus(points.front(), d0, knots[4] / 3);
  controls[n + 1] = Plus(points.back(), dn, -(1 - knots[n + 2]) / 3);
  controls[n + 2] = points.back();
  return SolveInnerControls(degree, knots, params, points, 2, controls);
}

}  // namespace corvane
