#pragma once
#include <cstdint>
#include <optional>

#include "model/DisplayList.h"
#include "model/JobModel.h"
#include "model/JobPreparation.h"
#include "model/PathPick.h"
#include "model/PlannerSettings.h"
#include "model/RotaryAxis.h"

namespace corvane {

// What the redraw reads besides the job, already parsed from the fields.
struct RedrawSettings {
  bool loading = false;             // settings are being loaded: no redraw
  bool busy = false;                // System::Busy: the running plan is shown as it is
  bool rotary = false;              // rotary axis: the tube's guide lines replace the job box
  TubeGeometry tube;                // the tube on the rotary axis (System::rotary.tube)
  bool analysisView = false;        // speed colouring of the planned path
  bool imperial = false;            // cImperial, for the extent text
  SoftLimits limits;                // cLimits, xLimitX, xLimitY
  std::int32_t feed = 2540;         // xFeed, ParseInt2
  std::int32_t feedSmall = 1270;    // xFeed2, ParseInt2 (a percentage already applied to xFeed)
  // xSmall, ParseFloat2 × 100: contours fitting this square use xFeed2. The same size the
  // cutter applies, so the preview plans a small contour at the speed it is really cut at.
  std::int32_t smallSize = 2540;
};

// Redraws the job into a display list; plans the current contour with the preview
// planner (unless busy) and stores that plan in the job state. Nothing while loading
// settings or with an empty job.
std::optional<DisplayList> RedrawJob(JobState& job, const PreparationState& prep, const RedrawSettings& settings,
                                     const PlanContext& planner);

// The planned path as coloured segments: by speed relative to `feed` when the
// analysis view is on, otherwise all in `colour`.
void AppendPlannedPath(DisplayList& list, const CNCpath2& plan, const ViewTransform& view, Rgb colour,
                       std::int32_t feed, std::int32_t rampLengthFull, bool analysisView);

// The rotary guide lines across the whole view, at the tube's GuideLines for the
// job (those off the view left out): the origin green dash-dot, three
// parallel lines on a profile and two on a pipe; faces and a pipe's
// circumference one green dash-dot line; corners two thin light blue lines;
// the ends of corner radii thin light blue dash-dot.
void AppendGuideLines(DisplayList& list, const TubeGeometry& tube, const JobState& job, const ViewTransform& view);

// Outline of a picked contour: grey, width 4.
DisplayPolyline PickedOutline(const CNCpath& contour, const ViewTransform& view);

}  // namespace corvane
