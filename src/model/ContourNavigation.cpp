#include "model/ContourNavigation.h"

#include <algorithm>
#include <cmath>

#include "ports/Host.h"

namespace corvane {
namespace {

std::int32_t LastIndex(const JobState& job) { return static_cast<std::int32_t>(job.Job.size()) - 1; }

void Select(JobState& job, Host& host, std::int32_t contour) {
  job.CurrentContour = contour;
  job.StopPoint = {};
  host.requestRedraw();
}

}  // namespace

void RewindToStart(JobState& job, Host& host) { Select(job, host, -1); }

void StepContourBack(JobState& job, Host& host) {
  Select(job, host, job.Job.empty() ? -1 : std::max(job.CurrentContour - 1, 0));
}

void StepContourForward(JobState& job, Host& host) {
  Select(job, host, std::min(job.CurrentContour + 1, LastIndex(job)));
}

void JumpToLastContour(JobState& job, Host& host) { Select(job, host, LastIndex(job)); }

bool SeekContourOnBar(JobState& job, Host& host, int mouseX, int barWidth, bool busy) {
  if (busy || barWidth <= 0 || job.Job.empty()) return false;
  const double position = std::round(static_cast<double>(LastIndex(job)) * mouseX / barWidth);
  Select(job, host, static_cast<std::int32_t>(std::clamp(position, 0.0, static_cast<double>(LastIndex(job)))));
  return true;
}

}  // namespace corvane
