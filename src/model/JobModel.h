#pragma once
#include <array>
#include <cstdint>
#include <vector>

namespace corvane {

// A contour point in 0.01 mm.
struct ContourPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const ContourPoint&, const ContourPoint&) = default;
};

// Contour kinds, held in the header point's x.
enum ContourKind : std::int32_t {
  kKindCut = 0,
  kKindDisabled = -1,
  kKindMarker = -2,
  kKindSingleLine = 1,
};

// A contour: element 0 is the header (x = kind, y = 0); 1..last are the vertices.
using CNCpath = std::vector<ContourPoint>;
// The job: contours in cutting order.
using tCNCPath = std::vector<CNCpath>;

inline std::int32_t ContourKindOf(const CNCpath& contour) {
  return contour.empty() ? kKindDisabled : contour.front().x;
}

// Zone markers carried in a planned record's angle field.
inline constexpr double kMarkerEnds = 10.0;
inline constexpr double kMarkerAntiDive = 999.0;
inline constexpr double kMarkerLeadOut = 1000.0;
inline constexpr std::int32_t kMaxRadius = 99999;

// One record of a planned path (48 bytes, the layout both planners share).
struct PlannedRecord {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t speed = 0;     // mm/min on arrival at this vertex
  double angle = 0.0;         // turn angle, zone marker, or segment direction (preview)
  double length = 0.0;        // length of the segment ending here, 0.01 mm
  double flatLength = 0.0;    // the same, unrolled in rotary profile mode
  std::int32_t radius = 0;    // corner-radius estimate, 0.01 mm, at most 99999
};

using CNCpath2 = std::vector<PlannedRecord>;
using TAcncp = std::vector<PlannedRecord>;

// Bounding box of one contour: min X, max Y, max X, min Y.
struct ContourBox {
  std::int32_t minX = 0;
  std::int32_t maxY = 0;
  std::int32_t maxX = 0;
  std::int32_t minY = 0;
};

struct AxisPosition {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t z = 0;
  std::int32_t a = 0;
};

struct Point2 {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const Point2&, const Point2&) = default;
};

// The job and everything the program knows about where it sits and how far it got.
struct JobState {
  tCNCPath Job;
  std::int32_t JobExtentX = 100;
  std::int32_t JobExtentY = 100;
  std::vector<ContourBox> ContourBoxes;
  std::int32_t ProjectOriginX = 0;
  std::int32_t ProjectOriginY = 0;
  std::int32_t ProjectOriginZ = 0;
  std::int32_t CurrentContour = -1;
  CNCpath2 PlannedPath;
  std::int32_t RampLengthFull = 0;
  Point2 StopPoint;
  Point2 ResumePoint;
  std::int32_t ResumeContour = -1;
  std::int32_t ResumeVertex = -1;
  std::int32_t ResumeMode = 0;
  AxisPosition LastCommanded;
  AxisPosition MachinePosition{0, 5000, 5500, 0};
  std::vector<std::int32_t> ProfileTable;
  std::vector<std::int32_t> AnalysisSeries1;
  std::vector<std::int32_t> AnalysisSeries2;
};

inline constexpr std::int32_t kAnalysisGap = 99999;

}  // namespace corvane
