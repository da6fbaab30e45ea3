#include "model/JobNormalise.h"

#include <algorithm>
#include <limits>

namespace corvane {

std::vector<ContourBox> ComputeContourBoxes(const tCNCPath& job) {
  std::vector<ContourBox> boxes;
  boxes.reserve(job.size());
  for (const CNCpath& c : job) {
    // Start beyond any coordinate so that jobs larger than 10 m keep true boxes.
    ContourBox box{std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min(),
                   std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()};
    for (std::size_t i = 1; i < c.size(); ++i) {
      box.minX = std::min(box.minX, c[i].x);
      box.maxX = std::max(box.maxX, c[i].x);
      box.minY = std::min(box.minY, c[i].y);
      box.maxY = std::max(box.maxY, c[i].y);
    }
    boxes.push_back(box);
  }
  return boxes;
}

void NormaliseJob(JobState& state, std::optional<std::int32_t> profileWidth) {
  std::int64_t shiftX = 10000000, shiftY = 10000000;
  bool anyVertex = false;
  for (const CNCpath& c : state.Job)
    for (std::size_t i = 1; i < c.size(); ++i) {
      shiftX = std::min<std::int64_t>(shiftX, c[i].x);
      shiftY = std::min<std::int64_t>(shiftY, c[i].y);
      anyVertex = true;
    }
  if (!anyVertex) shiftX = shiftY = 0;
  if (profileWidth) {
    std::int64_t disabledMinX = std::numeric_limits<std::int64_t>::max();
    for (const CNCpath& c : state.Job)
      if (ContourKindOf(c) == kKindDisabled)
        for (std::size_t i = 1; i < c.size(); ++i) disabledMinX = std::min<std::int64_t>(disabledMinX, c[i].x);
    shiftX += (disabledMinX == std::numeric_limits<std::int64_t>::max() ? 0 : disabledMinX) + *profileWidth / 2;
    state.ProjectOriginX = 0;
  }
  state.JobExtentX = 100;
  state.JobExtentY = 100;
  for (CNCpath& c : state.Job)
    for (std::size_t i = 1; i < c.size(); ++i) {
      c[i].x = static_cast<std::int32_t>(c[i].x - shiftX);
      c[i].y = static_cast<std::int32_t>(c[i].y - shiftY);
      state.JobExtentX = std::max(state.JobExtentX, c[i].x);
      state.JobExtentY = std::max(state.JobExtentY, c[i].y);
    }
  state.ContourBoxes = ComputeContourBoxes(state.Job);
}

std::int32_t JobStartX(const JobState& state) {
  std::int32_t start = 0;
  for (const ContourBox& box : state.ContourBoxes)
    if (box.minX <= box.maxX) start = std::min(start, box.minX);
  return start;
}

void ReplaceJob(JobState& state, tCNCPath job, std::optional<std::int32_t> profileWidth) {
  state.Job = std::move(job);
  state.CurrentContour = -1;
  state.PlannedPath.clear();
  NormaliseJob(state, profileWidth);
}

}  // namespace corvane
