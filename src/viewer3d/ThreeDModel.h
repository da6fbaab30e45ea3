#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The 3D data file the import window writes, read back for the 3D preview.
// No Qt here: the reader and the tube geometry are tested on their own.
namespace corvane {

// Lengths in 0.01 mm, as in the file.
struct ThreeDPoint {
  long long x = 0, y = 0;
  bool operator==(const ThreeDPoint&) const = default;
};
using ThreeDContour = std::vector<ThreeDPoint>;

// One solid: its outer contour and the holes in it. Tube files name no outer
// contours ("inner" only), so their parts hold holes alone.
struct ThreeDPart {
  long long thickness = 0;
  ThreeDContour outer;
  std::vector<ThreeDContour> inners;
};

enum class ThreeDKind { Plate, Pipe, Profile };

struct ThreeDModel {
  ThreeDKind kind = ThreeDKind::Plate;
  long long thickness = 0;  // the plate's (first part's) or the tube's wall
  long long length = 0;     // pipe, profile: along the axis
  long long radius = 0;     // pipe: outer radius
  long long width = 0, height = 0, cornerRadius = 0;  // profile
  std::vector<ThreeDPart> parts;

  // Every non-empty contour, outer contours before their part's holes.
  std::vector<const ThreeDContour*> Contours() const;
  std::size_t PointCount() const;
};

// What a file may hold at most, so a damaged or hostile one cannot exhaust memory.
struct ThreeDLimits {
  std::size_t maxFileBytes = 64u << 20;
  std::size_t maxPoints = 4'000'000;
  std::size_t maxContours = 200'000;
  long long maxCoordinate = 1'000'000'000;  // 10 km either way
};

struct ThreeDReadResult {
  bool ok = false;
  std::string error;  // why not, for the operator: "line 12: ..."
  ThreeDModel model;
};

ThreeDReadResult ParseThreeDText(std::string_view text, const ThreeDLimits& limits = {});
ThreeDReadResult ReadThreeDFile(const std::string& path, const ThreeDLimits& limits = {});

// ---- Tube geometry: where an unrolled point lies on the tube ----

// Unrolled length of one turn: pipe 2πR, profile 2W + 2H (the sharp rectangle's).
double TubePerimeter(const ThreeDModel& tube);

// A point of the cross-section (x right, y up, origin on the axis) with its
// outward normal angle.
struct SectionPoint {
  double x = 0, y = 0, normal = 0;
};

// The section point of unrolled position s (any value; whole turns are left
// out). s = 0 is the middle of the top face, s grows clockwise seen from the
// tube's start; a profile's corners are arcs of the corner radius reached by
// central projection of the extended faces, so each takes 2R of s as on the
// sharp rectangle. inset moves the point inwards along the normal (0: outer
// surface, the thickness: inner surface).
SectionPoint TubeSectionAt(const ThreeDModel& tube, double s, double inset = 0);

}  // namespace corvane
