#include "model/AngleAlignment.h"

#include <cmath>
#include <numbers>

#include "model/JobNormalise.h"
#include "ports/Host.h"

namespace corvane {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr std::int32_t kMinimumReach = 5000;  // 50 mm: closer points give no usable angle

Point2 CornerPoint(ReferenceCorner corner, std::int32_t extentX, std::int32_t extentY) {
  switch (corner) {
    case ReferenceCorner::UpperLeft: return {0, extentY};
    case ReferenceCorner::UpperRight: return {extentX, extentY};
    case ReferenceCorner::LowerRight: return {extentX, 0};
    default: return {0, 0};
  }
}

// Rotation of p about c with every coordinate rounded on its own.
template <class P>
void RotateAbout(P& p, Point2 c, double cosT, double sinT) {
  const long rx = std::lround(p.x * cosT - p.y * sinT), ry = std::lround(p.x * sinT + p.y * cosT);
  const long cx = std::lround(c.x * cosT - c.y * sinT), cy = std::lround(c.x * sinT + c.y * cosT);
  p.x = static_cast<std::int32_t>(rx - cx + c.x);
  p.y = static_cast<std::int32_t>(ry - cy + c.y);
}

double FoldToSmallAngle(double theta) { return theta > kPi / 4 ? theta - kPi / 2 : theta; }

}  // namespace

std::array<Point2, 5> JobFrame(std::int32_t extentX, std::int32_t extentY) {
  return {{{0, 0}, {extentX, 0}, {extentX, extentY}, {0, extentY}, {0, 0}}};
}

double SheetAngle(ReferenceCorner corner, double dx, double dy) {
  double vx = dx, vy = dy;
  if (corner == ReferenceCorner::UpperLeft || corner == ReferenceCorner::UpperRight) vx = -dx, vy = -dy;
  if (corner == ReferenceCorner::LowerRight) vx = -dx;
  double theta;
  if (std::fabs(vx) < 1e-7)
    theta = vy > 0 ? kPi / 2 : 3 * kPi / 2;
  else
    theta = std::atan(vy / vx) + (vx < 0 ? kPi : 0);
  theta = FoldToSmallAngle(theta);
  if (corner == ReferenceCorner::UpperLeft) theta = FoldToSmallAngle(theta);
  if (corner == ReferenceCorner::LowerRight) theta = -theta;
  return theta;
}

bool AlignToSheetAngle(JobState& job, PreparationState& prep, Host& host) {
  if (prep.Corner == ReferenceCorner::None) {
    host.beep();
    return false;
  }
  const Point2 c = CornerPoint(prep.Corner, job.JobExtentX, job.JobExtentY);
  const double dx = static_cast<double>(job.MachinePosition.x) + prep.LaserOffsetX - job.ProjectOriginX - c.x;
  const double dy = static_cast<double>(job.MachinePosition.y) + prep.LaserOffsetY - job.ProjectOriginY - c.y;
  if (std::fabs(dx) < kMinimumReach && std::fabs(dy) < kMinimumReach) {
    host.beep();
    return false;
  }
  prep.AngleFrame = JobFrame(job.JobExtentX, job.JobExtentY);
  prep.JobBackup = job.Job;
  const double theta = SheetAngle(prep.Corner, dx, dy);
  const double cosT = std::cos(theta), sinT = std::sin(theta);
  for (CNCpath& contour : job.Job)
    for (std::size_t i = 1; i < contour.size(); ++i) RotateAbout(contour[i], c, cosT, sinT);
  for (Point2& p : prep.AngleFrame) RotateAbout(p, c, cosT, sinT);
  job.ContourBoxes = ComputeContourBoxes(job.Job);
  prep.AngleActive = true;
  host.requestRedraw();
  return true;
}

void ReleaseSheetAngle(JobState& job, PreparationState& prep, Host& host) {
  if (!prep.AngleActive) return;
  job.Job = std::move(prep.JobBackup);
  prep.JobBackup.clear();
  job.ContourBoxes = ComputeContourBoxes(job.Job);
  prep.AngleActive = false;
  host.requestRedraw();
}

}  // namespace corvane
