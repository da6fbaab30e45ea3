#include "model/PathPick.h"

#include <cmath>

#include "model/Geometry.h"

namespace corvane {
namespace {

bool BoxNear(const ContourBox& box, const Point64& p, double tol) {
  return p.x >= box.minX - tol && p.x <= box.maxX + tol && p.y >= box.minY - tol && p.y <= box.maxY + tol;
}

bool InsideLimits(std::int64_t x, std::int64_t y, const SoftLimits& limits) {
  return !limits.on || (x >= 0 && x <= limits.x && y >= 0 && y <= limits.y);
}

std::optional<Point2> AllowedTarget(std::int64_t x, std::int64_t y, const SoftLimits& limits) {
  if (!InsideLimits(x, y, limits)) return std::nullopt;
  return Point2{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
}

}  // namespace

bool PickOnView(JobState& job, const ViewTransform& view, ScreenPoint release) {
  job.ResumePoint = view.ToJob(release.x, release.y);
  const Point64 picked{job.ResumePoint.x, job.ResumePoint.y};
  const double tol = std::round(3 * view.scale);
  bool hit = false;
  for (std::size_t k = 0; k < job.Job.size(); ++k) {
    const CNCpath& c = job.Job[k];
    if (ContourKindOf(c) != kKindCut) continue;
    if (k < job.ContourBoxes.size() && !BoxNear(job.ContourBoxes[k], picked, tol)) continue;
    for (std::size_t i = 2; i < c.size(); ++i) {
      if (!NearSegment(picked, c[i - 1], c[i], tol)) continue;
      job.ResumePoint = SnapOntoSegment(picked, c[i - 1], c[i]);
      job.ResumeContour = static_cast<std::int32_t>(k);
      job.ResumeVertex = static_cast<std::int32_t>(i);
      hit = true;
    }
  }
  return hit;
}

std::vector<PopupItem> PathPopupItems(bool hit) {
  return {{PopupEntry::MoveHere, "Move here", true},
          {PopupEntry::CutAllFromObject, "Cut All from this object", hit},
          {PopupEntry::CutFromThisPoint, "Cut From This Point", hit},
          {PopupEntry::MoveToZero, "Move [0,0]", true},
          {PopupEntry::LineFromHere, "Cut line from here", true},
          {PopupEntry::LineToHere, "Cut line to here", true},
          {PopupEntry::Cancel, "Cancel", true}};
}

std::optional<Point2> MoveHereTarget(const JobState& job, const SoftLimits& limits) {
  return AllowedTarget(std::int64_t{job.ProjectOriginX} + job.ResumePoint.x,
                       std::int64_t{job.ProjectOriginY} + job.ResumePoint.y, limits);
}

std::optional<Point2> MoveToZeroTarget(const JobState& job, const SoftLimits& limits) {
  return AllowedTarget(job.ProjectOriginX, job.ProjectOriginY, limits);
}

void StartFromPick(JobState& job, bool fromThePoint) {
  job.CurrentContour = job.ResumeContour;
  job.ResumeMode = fromThePoint ? 1 : 0;
}

void MarkLineStart(PreparationState& prep, const JobState& job) {
  prep.LineStart = {job.ProjectOriginX + job.ResumePoint.x, job.ProjectOriginY + job.ResumePoint.y};
}

std::optional<CNCpath> SingleLineToPick(const JobState& job, const PreparationState& prep,
                                        const SoftLimits& limits) {
  const std::int64_t endX = std::int64_t{job.ProjectOriginX} + job.ResumePoint.x;
  const std::int64_t endY = std::int64_t{job.ProjectOriginY} + job.ResumePoint.y;
  if (!InsideLimits(endX, endY, limits)) return std::nullopt;
  const Point2 start = HasLineStart(prep) ? prep.LineStart : Point2{job.MachinePosition.x, job.MachinePosition.y};
  return CNCpath{{kKindSingleLine, 0},
                 {start.x - job.ProjectOriginX, start.y - job.ProjectOriginY},
                 {job.ResumePoint.x, job.ResumePoint.y}};
}

}  // namespace corvane
