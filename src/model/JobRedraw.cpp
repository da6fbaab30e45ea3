#include "model/JobRedraw.h"

#include <algorithm>
#include <initializer_list>

#include "model/Geometry.h"
#include "model/JobNormalise.h"
#include "model/PlanPreview.h"
#include "model/PositionText.h"

namespace corvane {
namespace {

// Adds a pixel unless the pen is already there.
void AddPixel(std::vector<ScreenPoint>& points, ScreenPoint p) {
  if (points.empty() || !(points.back() == p)) points.push_back(p);
}

std::vector<ScreenPoint> Outline(const std::vector<Point2>& corners, const ViewTransform& view) {
  std::vector<ScreenPoint> points;
  for (const Point2& p : corners) points.push_back(view.ToScreen(p.x, p.y));
  return points;
}

std::vector<Point2> Rectangle(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) {
  const auto p = [](std::int64_t x, std::int64_t y) {
    return Point2{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
  };
  return {p(x0, y0), p(x1, y0), p(x1, y1), p(x0, y1), p(x0, y0)};
}

void AppendFrame(DisplayList& list, const JobState& job, const PreparationState& prep, const RedrawSettings& s) {
  if (prep.AngleActive) {
    const std::vector<Point2> frame(prep.AngleFrame.begin(), prep.AngleFrame.end());
    list.items.push_back(DisplayPolygon{Outline(frame, prep.View), colours::kFrameBackground, colours::kSkyBlue});
  } else if (!s.rotary) {
    list.items.push_back(DisplayPolygon{Outline(Rectangle(0, 0, job.JobExtentX, job.JobExtentY), prep.View),
                                        colours::kFrameBackground, colours::kSkyBlue});
  }
}

void AppendSoftLimits(DisplayList& list, const JobState& job, const ViewTransform& view, const SoftLimits& limits) {
  if (!limits.on) return;
  const std::int64_t ox = job.ProjectOriginX, oy = job.ProjectOriginY;
  const bool fits = ox >= 0 && oy >= 0 && ox + job.JobExtentX <= limits.x && oy + job.JobExtentY <= limits.y;
  DisplayPolyline frame{Outline(Rectangle(-ox, -oy, limits.x - ox, limits.y - oy), view),
                        fits ? colours::kOrange : colours::kRed, fits ? 1 : 5, fits};
  list.items.push_back(std::move(frame));
}

void AppendExtentText(DisplayList& list, const JobState& job, const ViewTransform& view, bool imperial) {
  const std::int32_t startX = JobStartX(job);
  ScreenPoint at = view.ToScreen(startX, job.JobExtentY);
  at.y -= 6;
  list.items.push_back(DisplayText{at,
                                   FormatPosition(std::int64_t{job.JobExtentX} - startX, imperial) + " x " +
                                       FormatPosition(job.JobExtentY, imperial),
                                   colours::kGrey, 14});
}

bool BoxVisible(const ContourBox& box, const ViewTransform& view) {
  if (box.minX > box.maxX) return false;  // no vertices
  const ScreenPoint low = view.ToScreen(box.minX, box.minY), high = view.ToScreen(box.maxX, box.maxY);
  return high.x > 0 && low.x < view.width && low.y > 0 && high.y < view.height;
}

DisplayPolyline ContourLine(const CNCpath& contour, const ViewTransform& view, Rgb colour, int width) {
  DisplayPolyline line{{}, colour, width, false};
  line.points.reserve(contour.size());
  for (std::size_t i = 1; i < contour.size(); ++i) AddPixel(line.points, view.ToScreen(contour[i].x, contour[i].y));
  return line;
}

// Colour of a contour that is not being cut next.
Rgb StateColour(std::int32_t kind, std::int64_t index, std::int32_t current) {
  if (kind == kKindDisabled || (current != -1 && index > current)) return colours::kSilver;
  if (kind == kKindMarker) return colours::kBlue;
  return current == -1 ? colours::kBlack : colours::kGreen;
}

void AppendCurrentPlan(DisplayList& list, JobState& job, const CNCpath& contour, const RedrawSettings& s,
                       const PlanContext& planner, const ViewTransform& view) {
  const bool marker = ContourKindOf(contour) == kKindMarker;
  const bool small = !marker && FitsInSquare(contour, s.smallSize);
  const std::int32_t requested = small ? s.feedSmall : s.feed;
  if (!s.busy) StorePlan(job, PlanPreview(contour, requested, planner, PlanStartOf(job)));
  const Rgb colour = marker ? colours::kBlue : (small ? colours::kPurple : colours::kNavy);
  AppendPlannedPath(list, job.PlannedPath, view, colour, std::min(requested, planner.settings.feedMaxXY),
                    job.RampLengthFull, s.analysisView);
}

// A vertical line across the whole view at column x.
DisplayPolyline Vertical(int x, const ViewTransform& view, Rgb colour, LineStyle style) {
  DisplayPolyline line{{{x, 0}, {x, view.height}}, colour, 1, false};
  line.style = style;
  return line;
}

// Pixels between the parallel lines of one guide line.
constexpr int kGuideGap = 2;

}  // namespace

void AppendGuideLines(DisplayList& list, const TubeGeometry& tube, const JobState& job, const ViewTransform& view) {
  for (const GuidePosition& guide : GuideLines(tube, job.ProjectOriginX, job.JobExtentX, JobStartX(job))) {
    const int x = view.ToScreen(guide.x, 0).x;
    if (x < -kGuideGap || x > view.width + kGuideGap) continue;
    const auto add = [&](std::initializer_list<int> offsets, Rgb colour, LineStyle style) {
      for (const int offset : offsets) list.items.push_back(Vertical(x + offset, view, colour, style));
    };
    switch (guide.kind) {
      case GuideLine::Origin:
        if (tube.pipe)
          add({-1, 1}, colours::kGreen, LineStyle::DashDot);
        else
          add({-kGuideGap, 0, kGuideGap}, colours::kGreen, LineStyle::DashDot);
        break;
      case GuideLine::Face:
      case GuideLine::Circumference: add({0}, colours::kGreen, LineStyle::DashDot); break;
      case GuideLine::Corner: add({-1, 1}, colours::kSkyBlue, LineStyle::Solid); break;
      case GuideLine::CornerRadius: add({0}, colours::kSkyBlue, LineStyle::DashDot); break;
    }
  }
}

void AppendPlannedPath(DisplayList& list, const CNCpath2& plan, const ViewTransform& view, Rgb colour,
                       std::int32_t feed, std::int32_t rampLengthFull, bool analysisView) {
  double covered = 0;
  DisplayPolyline* open = nullptr;
  for (std::size_t i = 1; i < plan.size(); ++i) {
    Rgb segment = colour;
    if (analysisView) {
      const double speed = plan[i].speed;
      if (speed < 0.4 * feed) segment = colours::kRed;
      else if (speed < 0.65 * feed) segment = colours::kOrange;
      else if (speed <= 0.7 * feed) segment = colours::kSkyBlue;
      else if ((covered += plan[i].length) < rampLengthFull) segment = colours::kBlue;
      if (speed <= 0.7 * feed) covered = 0;
    }
    if (!open || !(open->colour == segment)) {
      list.items.push_back(DisplayPolyline{{view.ToScreen(plan[i - 1].x, plan[i - 1].y)}, segment, 2, false});
      open = &std::get<DisplayPolyline>(list.items.back());
    }
    AddPixel(open->points, view.ToScreen(plan[i].x, plan[i].y));
  }
}

DisplayPolyline PickedOutline(const CNCpath& contour, const ViewTransform& view) {
  return ContourLine(contour, view, colours::kGrey, 4);
}

std::optional<DisplayList> RedrawJob(JobState& job, const PreparationState& prep, const RedrawSettings& settings,
                                     const PlanContext& planner) {
  if (settings.loading || job.Job.empty()) return std::nullopt;
  const ViewTransform& view = prep.View;
  DisplayList list;
  list.items.reserve(job.Job.size() * 2 + 8);
  AppendFrame(list, job, prep, settings);
  if (settings.rotary) AppendGuideLines(list, settings.tube, job, view);
  AppendSoftLimits(list, job, view, settings.limits);
  AppendExtentText(list, job, view, settings.imperial);
  for (std::size_t k = 0; k < job.Job.size(); ++k) {
    const CNCpath& contour = job.Job[k];
    if (contour.size() < 2) continue;
    if (k < job.ContourBoxes.size() && !BoxVisible(job.ContourBoxes[k], view)) continue;
    const std::int32_t kind = ContourKindOf(contour);
    const bool current = static_cast<std::int32_t>(k) == job.CurrentContour && kind != kKindDisabled;
    if (current) {
      AppendCurrentPlan(list, job, contour, settings, planner, view);
      if (kind != kKindMarker) continue;  // a cutting contour is shown by its plan alone
    }
    const Rgb colour = current ? colours::kBlue : StateColour(kind, static_cast<std::int64_t>(k), job.CurrentContour);
    DisplayPolyline line = ContourLine(contour, view, colour, 1);
    const ScreenPoint first = line.points.front();
    list.items.push_back(std::move(line));
    if (!(colour == colours::kSilver)) list.items.push_back(DisplayDot{first, 4, colour});
  }
  return list;
}

}  // namespace corvane
