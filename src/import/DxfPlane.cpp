#include "import/DxfPlane.h"

#include <cmath>

namespace corvane {
namespace {

void Cross(const double a[3], const double b[3], double out[3]) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

void Normalise(double v[3]) {
  const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  for (int i = 0; i < 3; ++i) v[i] /= length;
}

}  // namespace

DxfPlane::DxfPlane(double nx, double ny, double nz) {
  const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
  // A normal of no length (or none that can be read) leaves the drawing's own plane.
  if (!(length > 0) || !std::isfinite(length)) return;
  if (nx == 0 && ny == 0) {
    mirror_ = nz < 0 ? -1 : 1;
    return;
  }
  level_ = false;
  normal_[0] = nx / length;
  normal_[1] = ny / length;
  normal_[2] = nz / length;
  // The object X axis is level (world Z x normal) unless the normal stands
  // within 1/64 of upright, where world Y x normal is taken instead.
  constexpr double kNearUpright = 1.0 / 64;
  const double worldY[3] = {0, 1, 0};
  const double worldZ[3] = {0, 0, 1};
  const bool nearUpright =
      std::fabs(normal_[0]) < kNearUpright && std::fabs(normal_[1]) < kNearUpright;
  Cross(nearUpright ? worldY : worldZ, normal_, axisX_);
  Normalise(axisX_);
  Cross(normal_, axisX_, axisY_);
  Normalise(axisY_);
}

}  // namespace corvane
