#pragma once
#include <cstdint>
#include <vector>

#include <optional>
#include <string>

#include "model/JobModel.h"
#include "model/JobPlacement.h"
#include "model/PlannerSettings.h"

namespace corvane {

// The tube on the rotary axis, in 0.01 mm: a round pipe of `diameter`, or a
// rectangular profile W × H with corner radius R.
struct TubeGeometry {
  bool pipe = true;
  std::int32_t diameter = 7620;
  std::int32_t width = 7620, height = 7620, radius = 635;
};

// The tube set-up's limits: diameter, W and H at least 5 mm, R at least
// 0.5 mm and at most min(W, H) / 2; a profile's diameter is its diagonal.
TubeGeometry LimitTube(TubeGeometry tube);
// Unrolled perimeter: 2W + 2H for a profile, round(D × π) for a pipe.
std::int32_t TubePerimeter(const TubeGeometry& tube);

// One entry per 0.01 mm of unrolled profile perimeter, from the middle of the
// top face clockwise: the surface point's horizontal offset from the axis and
// its height once the tube is turned by `a` steps to bring it to the top.
struct ProfileEntry {
  std::int32_t h = 0, z = 0, a = 0;
};
// The surface point in the tube's cross-section (x right, y up, origin on the
// axis) and its outward normal's direction.
struct SectionPoint {
  double x = 0, y = 0, theta = 0;
};

struct ProfileTable {
  std::int32_t perimeter = 0;
  std::vector<ProfileEntry> entries;
  std::vector<SectionPoint> section;
  std::vector<SectionPoint> outline;  // every (P / 100)-th section point, x and y / 50
  std::int32_t maxHeight = 0;
};

// Builds the table of a profile W × H, R (limits applied by the caller) for
// `aRev` steps per revolution.
ProfileTable BuildProfileTable(std::int32_t width, std::int32_t height, std::int32_t radius, std::int32_t aRev);

// The mappings between unrolled job positions and the machine's X, Z and A.
class RotaryMapping {
 public:
  // `originX`: the project origin X that job positions are shifted by.
  RotaryMapping(const TubeGeometry& tube, const ProfileTable& table, std::int32_t aRev, double stepsPerUnit,
                std::int32_t originX);

  // s reduced into [0, P) for a profile, [0, A_rev) for a pipe.
  std::int64_t Wrap(std::int64_t s) const;
  // The table entry of job position x.
  const ProfileEntry& TableAt(std::int64_t x) const;
  // The A target of unrolled position x (with the project origin), whole revolutions included.
  std::int64_t AWithTurns(std::int64_t a, std::int64_t x) const;
  // Which quarter turn A is nearest to.
  std::int64_t QuarterIndex(std::int64_t a) const;
  // The job position a machine X and A stand for. A pipe uses A when X and A
  // are mixed (or a job runs), else X.
  std::int64_t UnrolledX(std::int64_t machineX, std::int64_t a, bool mixXA) const;

  // The planner's mapping: horizontal offsets on the tube and a vertex at every change of face.
  ProfilePlanning Planning() const;
  // Adds a vertex within 0.1 mm of every change of the table's A along the contour.
  CNCpath Densify(const CNCpath& contour) const;

 private:
  std::int64_t UnrolledInRevolution(std::int64_t a) const;

  TubeGeometry tube_;
  const ProfileTable& table_;
  std::int32_t aRev_;
  double stepsPerUnit_;
  std::int32_t originX_;
};

// Where the head goes for unrolled job point (x, y) on a profile: the table's
// horizontal offset, the job Y with the project origin, the surface height
// plus `aboveSurface`, and A with its whole revolutions.
struct RotaryTarget {
  std::int32_t x = 0, y = 0, z = 0;
  std::int64_t a = 0;
};
RotaryTarget ProfileTarget(const RotaryMapping& mapping, std::int64_t x, std::int32_t y, std::int32_t originY,
                           std::int32_t aboveSurface);

// The lift before a contour: over the contour's first point when it lies on
// the quarter turn the tube stands at, else over the profile's highest point.
std::int32_t ProfileLift(const RotaryMapping& mapping, const ProfileTable& table, std::int64_t firstX,
                         std::int64_t currentA, std::int32_t floatHeight);

// "Shorten rotation": when the target lies more than half a revolution from
// the last commanded A, the controller's A is first re-labelled one
// revolution nearer the target — as many as it takes — (the tube does not
// move); the new label, or nullopt when none is needed.
std::optional<std::int64_t> ShortenRotation(std::int64_t lastA, std::int64_t targetA, std::int32_t aRev);

// Rotary jog: A+ / A− go to the next or previous eighth of a revolution.
std::int64_t NextEighth(std::int64_t a, std::int32_t aRev, bool up);

// A placement button in rotary mode: the laser pointer stands on the tube's
// left edge, right edge or centre, so the rotation axis is corrected instead
// of the project origin. Buttons that do not set X give nullopt.
struct RotaryPlacement {
  std::string logLine;                   // "Rotary Axis correction XY--" …
  std::int32_t referenceOffsetChange = 0;  // added to the X reference offset
  std::int32_t machineX = 0;             // the machine X written (A set to 0)
};
std::optional<RotaryPlacement> RotaryPlacementFor(PlacementButton button, std::int32_t machineX,
                                                  std::int32_t width, std::int32_t laserOffsetX,
                                                  bool homingReversed);

// The guide lines the path view draws across an unrolled job, at job X
// positions (already shifted by the project origin): the kind says how.
enum class GuideLine { Origin, Face, Corner, CornerRadius, Circumference };
struct GuidePosition {
  std::int64_t x;
  GuideLine kind;
};
// `startX`: where the job begins when left of 0 (the lines go back that far).
std::vector<GuidePosition> GuideLines(const TubeGeometry& tube, std::int32_t originX, std::int64_t extentX,
                                      std::int64_t startX = 0);

// The rotary axis as the tube set-up left it.
struct RotaryState {
  bool active = false;  // the fourth axis is a rotary axis
  TubeGeometry tube;    // the tube on it; tube.pipe: round pipe, else profile
  ProfileTable table;   // the profile's table (built for profiles only)
  // The set-up panel's rotating section: running, and the unrolled position
  // turned to the top (0.01 mm, wraps at the perimeter).
  bool previewRunning = false;
  std::int32_t previewAt = 0;
  // "MIX X + A ( ROTARY )" down: X− / X+ jogs turn the tube by one
  // revolution, and a pipe's position round it is read from A.
  bool mixXA = false;

  bool pipe() const { return active && tube.pipe; }
  bool profile() const { return active && !tube.pipe; }
};

}  // namespace corvane
