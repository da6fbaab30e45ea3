#pragma once
#include "import/DxfModel.h"

namespace corvane {

// The plane an entity's own coordinates lie in, given by its extrusion
// direction (the normal) through the arbitrary-axis rule, and where a point of
// that plane lands when the drawing is seen from above.
class DxfPlane {
 public:
  DxfPlane(double nx, double ny, double nz);
  static DxfPlane Of(const TEntry& entry) {
    return {entry.extrusionX, entry.extrusionY, entry.extrusionZ};
  }

  // Level with the drawing: seen from above, or from below when the normal points down.
  bool level() const { return level_; }
  // -1 for a level plane seen from below (X mirrored), else 1.
  double mirror() const { return mirror_; }

  // World X and Y of the point (x, y) at height z of the plane's own coordinates.
  DxfPoint ToWorld(double x, double y, double z) const {
    if (level_) return {x * mirror_, y};
    return {x * axisX_[0] + y * axisY_[0] + z * normal_[0],
            x * axisX_[1] + y * axisY_[1] + z * normal_[1]};
  }

  // World X and Y of normal x v, for a world vector v: the direction a quarter
  // turn on from v within the plane.
  DxfPoint NormalCross(double vx, double vy, double vz) const {
    return {normal_[1] * vz - normal_[2] * vy, normal_[2] * vx - normal_[0] * vz};
  }

 private:
  double normal_[3] = {0, 0, 1};
  double axisX_[3] = {1, 0, 0};
  double axisY_[3] = {0, 1, 0};
  bool level_ = true;
  double mirror_ = 1;
};

}  // namespace corvane
