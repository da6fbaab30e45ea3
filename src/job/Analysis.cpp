#include "job/Analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <variant>

#include "job/CuttingSpeeds.h"
#include "model/Geometry.h"
#include "model/PlanCut.h"
#include "store/FieldValues.h"
#include "system/FieldSettings.h"
#include "system/System.h"
#include "system/TubeSetup.h"

namespace corvane {
namespace {

constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;

// A length in 0.01 mm over a speed in mm/min is a time in 0.01 min.
constexpr double kSecondsPerUnit = 0.6;
// Per contour: lift, travel start, fire and settle; sensing adds to it, and a
// floating head switch, which must be pushed in and released, adds more.
constexpr double kContourSeconds = 0.7, kSensingSeconds = 0.3, kSwitchSeconds = 0.5;

constexpr int kPlanWidth = 3;
constexpr std::uint8_t kGreenSmall = 0x80, kGreenNormal = 0x30;
constexpr Rgb kMagenta{255, 0, 255};
constexpr int kCrossHalf = 3, kCrossWidth = 2;

constexpr int kTextLeft = 10, kTextTop = 50, kTextLineHeight = 15, kTextPointSize = 9;
constexpr int kTextAscent = 12;     // from a line's top to its baseline at that size
constexpr int kTextCharWidth = 7;   // enough for the widest character at that size

// What the analysis reads from the fields, once per press.
struct AnalysisSettings {
  std::int32_t feed = 0, feedSmall = 0, feedMaxXY = 0, feedMaxZ = 0;
  std::int64_t smallSquare = 0;  // xSmall, whole millimetres
  std::int32_t floatHeight = 0;
  std::int32_t pierceMillis = 0;
  bool ohmic = false, floating = false;
  std::int64_t pointingSize = 0;
  bool imperial = false;
};

AnalysisSettings ReadAnalysisSettings(const System& s) {
  AnalysisSettings a;
  const auto& f = s.fields;
  a.feed = FieldSpeed(s, kMain, "xFeed");
  a.feedSmall = CuttingSpeed2(s, a.feed);
  a.feedMaxXY = FieldSpeed(s, kConfig, "xFeedMaxXY");
  a.feedMaxZ = FieldSpeed(s, kConfig, "xFeedMaxZ");
  a.smallSquare = std::int64_t{s.parser.ParseInt2(f.text(kConfig, "xSmall"))} * 100;
  a.floatHeight = FieldLength(s, kMain, "xFloatH");
  a.pierceMillis = FieldInteger(s, kMain, "eTime");
  a.ohmic = f.checked(kConfig, "cOhmic");
  a.floating = f.checked(kConfig, "cFloating");
  if (f.text(kConfig, "eSpec1") != "0")
    a.pointingSize = std::llround(s.parser.ParseFloat(f.text(kConfig, "eSpec1a")) * 100);
  a.imperial = s.parser.imperial;
  return a;
}

// Slow records red, fast ones blue; small contours lighter. With the zones
// shown the anti-dive tail of a normal contour is magenta and the lead-out red.
Rgb GradientColour(const PlannedRecord& r, std::int32_t plannedSpeed, bool small, bool zonesShown) {
  if (zonesShown && r.angle == kMarkerAntiDive && !small) return kMagenta;
  if (zonesShown && r.angle == kMarkerLeadOut) return colours::kRed;
  const long share = plannedSpeed > 0 ? std::lround(r.speed * 250.0 / plannedSpeed) : 0;
  const auto v = static_cast<std::uint8_t>(share);
  return {static_cast<std::uint8_t>(255 - v), small ? kGreenSmall : kGreenNormal, v};
}

void AppendCross(DisplayList& list, ScreenPoint c) {
  const int h = kCrossHalf;
  list.items.push_back(DisplayPolyline{{{c.x - h, c.y - h}, {c.x + h, c.y + h}}, colours::kGreen, kCrossWidth});
  list.items.push_back(DisplayPolyline{{{c.x - h, c.y + h}, {c.x + h, c.y - h}}, colours::kGreen, kCrossWidth});
}

// Whole minutes and seconds of the rounded estimate.
std::string MinutesSeconds(double seconds) {
  const long total = std::lround(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%.2ld:%.2ld", total / 60, total % 60);
  return text;
}

std::array<std::string, 3> SummaryLines(const AnalysisResult& r, bool imperial) {
  const std::string length = imperial ? std::to_string(std::lround(r.length / 25.4 / 100)) + "\""
                                      : std::to_string(std::lround(r.length / 100)) + "mm";
  return {"Piercing       : " + std::to_string(r.pierces), "Total Length   : " + length,
          "Estimated Time : " + MinutesSeconds(r.seconds)};
}

// A rectangle of the view, in pixels.
struct PixelBox {
  int left, top, right, bottom;
  bool overlaps(const PixelBox& o) const {
    return left <= o.right && o.left <= right && top <= o.bottom && o.top <= bottom;
  }
};

// Everything the plans drew, in pixels; none when nothing was drawn.
std::optional<PixelBox> DrawnBox(const DisplayList& list) {
  std::optional<PixelBox> box;
  for (const DisplayItem& item : list.items) {
    const auto* line = std::get_if<DisplayPolyline>(&item);
    if (!line) continue;
    for (const ScreenPoint& p : line->points) {
      if (!box) box = PixelBox{p.x, p.y, p.x, p.y};
      box = PixelBox{std::min(box->left, p.x), std::min(box->top, p.y), std::max(box->right, p.x),
                     std::max(box->bottom, p.y)};
    }
  }
  return box;
}

// The three lines on a white ground in the first corner of the view the job
// leaves free (top left, top right, bottom left, bottom right). When the job
// reaches into every corner the lines stand at the top left without their
// ground: the ground would hide a part of the job.
void AppendSummary(DisplayList& list, const std::array<std::string, 3>& lines, int viewWidth, int viewHeight) {
  std::size_t longest = 0;
  for (const auto& line : lines) longest = std::max(longest, line.size());
  const int width = static_cast<int>(longest) * kTextCharWidth;
  const int height = static_cast<int>(lines.size()) * kTextLineHeight;
  const int rightColumn = std::max(kTextLeft, viewWidth - width - kTextLeft);
  const int bottomRow = std::max(kTextTop, viewHeight - height - kTextLeft);
  const std::optional<PixelBox> drawn = DrawnBox(list);
  std::optional<PixelBox> ground;
  for (const auto& [left, top] : {std::pair{kTextLeft, kTextTop}, std::pair{rightColumn, kTextTop},
                                  std::pair{kTextLeft, bottomRow}, std::pair{rightColumn, bottomRow}}) {
    const PixelBox box{left, top, left + width, top + height};
    if (!drawn || !box.overlaps(*drawn)) {
      ground = box;
      break;
    }
  }
  const PixelBox at = ground.value_or(PixelBox{kTextLeft, kTextTop, kTextLeft + width, kTextTop + height});
  if (ground)
    list.items.push_back(DisplayPolygon{{{at.left, at.top}, {at.right, at.top}, {at.right, at.bottom},
                                         {at.left, at.bottom}, {at.left, at.top}},
                                        colours::kWhite, colours::kWhite});
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const int top = at.top + static_cast<int>(k) * kTextLineHeight;
    list.items.push_back(DisplayText{{at.left, top + kTextAscent}, lines[k], colours::kBlack, kTextPointSize});
  }
}

// Everything that does not scale with the cut length: the lifts to and from
// the floating height, and a fixed allowance and the piercing time per contour.
// `motion` is in 0.01 min.
double EstimateSeconds(double motion, int contours, const AnalysisSettings& a) {
  const double n = contours;
  if (a.feedMaxZ > 0) motion += static_cast<double>(a.floatHeight) / a.feedMaxZ * 2 * n;
  double seconds = motion * kSecondsPerUnit + kContourSeconds * n;
  if (a.ohmic || a.floating) {
    seconds += kSensingSeconds * n;
    if (!a.ohmic) seconds += kSwitchSeconds * n;
  }
  return seconds + a.pierceMillis / 1000.0 * n;
}

}  // namespace

AnalysisResult AnalyseJob(const System& system, bool zonesShown) {
  const AnalysisSettings a = ReadAnalysisSettings(system);
  // The analysis plans with the configured ramp, as for a connected machine.
  const PlannerSettings planner = ReadPlannerSettings(system, true);
  const TubePlanning tube(system);
  const PlanContext context{planner, system.scales, system.speeds, tube.get()};
  const ViewTransform& view = system.prep.View;
  const AxisPosition& from = system.job.LastCommanded;

  AnalysisResult r;
  double motion = 0;  // 0.01 min
  for (const CNCpath& contour : system.job.Job) {
    ++r.pierces;
    if (contour.size() >= 2 && a.feedMaxXY > 0) motion += Dist(from, contour[1]) / a.feedMaxXY;
    const bool small = FitsInSquare(contour, a.smallSquare);
    const std::int32_t speed = std::min(a.feedMaxXY, small ? a.feedSmall : a.feed);
    std::int32_t lastRamp = planner.accelXY;
    const CNCpath2 plan = PlanCut(contour, speed, context, PlanStart{}, lastRamp).path;
    for (std::size_t i = 1; i < plan.size(); ++i) {
      const double s = Dist(plan[i - 1], plan[i]);
      r.length += s;
      if (plan[i].speed > 0) motion += s / plan[i].speed;
      r.picture.items.push_back(DisplayPolyline{
          {view.ToScreen(plan[i - 1].x, plan[i - 1].y), view.ToScreen(plan[i].x, plan[i].y)},
          GradientColour(plan[i], speed, small, zonesShown), kPlanWidth});
    }
  }
  r.seconds = EstimateSeconds(motion, r.pierces, a);

  for (const CNCpath& contour : system.job.Job) {
    if (contour.size() < 2 || !IsPointContour(contour, a.pointingSize)) continue;
    const Point2 centre = BoxCentre(contour);
    AppendCross(r.picture, view.ToScreen(centre.x, centre.y));
  }
  r.lines = SummaryLines(r, a.imperial);
  AppendSummary(r.picture, r.lines, view.width, view.height);
  return r;
}

}  // namespace corvane
