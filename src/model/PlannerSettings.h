#pragma once
#include <cstdint>
#include <functional>

#include "model/Geometry.h"
#include "model/JobModel.h"
#include "model/SpeedTables.h"

namespace corvane {

// The operator values the planners read, already parsed from their fields.
// Whoever calls a planner fills this from the field store at the moment of use.
struct PlannerSettings {
  std::int32_t feedMaxXY = 10160;   // xFeedMaxXY, ParseInt2 (mm/min)
  std::int32_t feedMinXY = 762;     // xFeedMinXY, ParseInt2 ("XY safety speed")
  std::int32_t accelXY = 20;        // eAccXY, ParseInt1 ("Acceleration XY ( RAMP )")
  bool rampOnline = true;           // controller connected, or the analysis view is on
  bool busy = false;                // System::Busy: a job or motion is running
  bool pipeMode = false;            // rotary pipe mode: ramps use the pipe step factor
  std::int32_t criticalAngleDeg = 40;  // eSpec2, ParseInt1 ("[ deg ] Critical angle")
  bool smooth = true;                  // cSpec3 ("Smooth")
  std::int32_t antiDive = 1000;        // advanced option AntyDive × 100 (0.01 mm)
  bool useCalc = false;                // cCalc ("Use Pellary"), import window
  bool leadOut = false;                // cLeadOut ("LeadOut"), import window
  bool leadOut2 = false;               // cLeadOut2 ("LeadOut2"), import window
  std::int32_t leadTrackBar = 10;      // TrackBar3 position (1..20), import window
  std::int32_t inOut = 4;              // eInOut, ParseInt1 ("LeadIn / LeadOut")
  bool imperial = false;               // cImperial
};

// Where planning starts: the contour's first vertex, or a picked point when resuming.
struct PlanStart {
  bool resume = false;       // ResumeMode
  Point2 point;              // ResumePoint (job coordinates)
  std::int32_t vertex = 2;   // ResumeVertex: the end vertex of the picked segment
};

// The start the job state asks for.
inline PlanStart PlanStartOf(const JobState& job) {
  return {job.ResumeMode != 0, job.ResumePoint, job.ResumeVertex};
}

// Rotary profile mode: the tube's unroll mapping. Absent on flat sheets.
struct ProfilePlanning {
  ProfileHorizontal horizontal;                   // H(x) of the profile table
  std::function<CNCpath(const CNCpath&)> densify; // adds a vertex at every change of face
};

// Everything a planner needs besides the contour.
struct PlanContext {
  const PlannerSettings& settings;
  const AxisScales& scales;
  const SpeedTables& speeds;
  const ProfilePlanning* profile = nullptr;
};

// A planner's output; callers store it into JobState::PlannedPath / RampLengthFull.
struct PlanResult {
  CNCpath2 path;
  std::int32_t rampLengthFull = 0;
  std::int32_t leadOutLength = 0;
};

// Ramp setting of the cutting planner. Offline the plan is simulated with a third of
// the ramp, and that value is what the next command counts as last sent.
inline std::int32_t CuttingAccel(const PlannerSettings& s, std::int32_t& lastRamp) {
  if (s.rampOnline) return s.accelXY;
  lastRamp = lastRamp / 3 + 1;
  return lastRamp;
}

// Ramp setting of the preview planner.
inline std::int32_t PreviewAccel(const PlannerSettings& s) {
  return !s.rampOnline && s.busy ? s.accelXY / 3 + 1 : s.accelXY;
}

// Stores a plan as the job's current planned path.
inline void StorePlan(JobState& job, PlanResult plan) {
  job.PlannedPath = std::move(plan.path);
  job.RampLengthFull = plan.rampLengthFull;
}

}  // namespace corvane
