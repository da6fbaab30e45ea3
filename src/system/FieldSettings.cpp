#include "system/FieldSettings.h"

#include <cmath>
#include <string>

#include "model/JobNormalise.h"
#include "store/FieldValues.h"
#include "system/System.h"
#include "system/TubeSetup.h"

namespace corvane {
namespace {

constexpr Window kMain = Window::Main;
constexpr Window kImport = Window::Import;
constexpr Window kConfig = Window::Configuration;

// "Cutting speed 2" may be a percentage of the cutting speed.
std::int32_t SecondFeed(const System& s, std::int32_t feed) {
  const std::string text = s.fields.text(kMain, "xFeed2");
  const auto percent = text.find('%');
  if (percent == std::string::npos) return FieldSpeed(s, kMain, "xFeed2");
  const double share = s.parser.ParseFloatSilent(text.substr(0, percent));
  return static_cast<std::int32_t>(std::lround(feed * share / 100.0));
}

bool IsAxisScaleField(Window window, const std::string& name) {
  static const char* kNames[] = {"eStepX", "eStepY", "eStepZ", "eStepP",   "xMoveX",
                                 "xMoveY", "xMoveZ", "eGearA", "cImperial"};
  if (window != kConfig) return false;
  for (const char* known : kNames)
    if (FoldCase(name) == FoldCase(known)) return true;
  return false;
}

}  // namespace

PlannerSettings ReadPlannerSettings(const System& s, bool rampOnline) {
  PlannerSettings p;
  p.feedMaxXY = FieldSpeed(s, kConfig, "xFeedMaxXY");
  p.feedMinXY = FieldSpeed(s, kConfig, "xFeedMinXY");
  p.accelXY = FieldInteger(s, kConfig, "eAccXY");
  p.rampOnline = rampOnline;
  p.busy = s.Busy;
  p.criticalAngleDeg = FieldInteger(s, kConfig, "eSpec2");
  p.smooth = s.fields.checked(kConfig, "cSpec3");
  p.antiDive = s.advanced.AntyDive;
  p.useCalc = s.fields.checked(kImport, "cCalc");
  p.leadOut = s.fields.checked(kImport, "cLeadOut");
  p.leadOut2 = s.fields.checked(kImport, "cLeadOut2");
  p.inOut = FieldInteger(s, kImport, "eInOut");
  p.imperial = s.parser.imperial;
  p.pipeMode = s.rotary.pipe();
  return p;
}

RedrawSettings ReadRedrawSettings(const System& s) {
  RedrawSettings r;
  r.loading = s.loading;
  r.busy = s.Busy;
  r.rotary = s.rotary.active;
  r.tube = s.rotary.tube;
  r.imperial = s.parser.imperial;
  r.limits = {s.fields.checked(kConfig, "cLimits"), FieldLength(s, kConfig, "xLimitX"),
              FieldLength(s, kConfig, "xLimitY")};
  r.feed = FieldSpeed(s, kMain, "xFeed");
  r.feedSmall = SecondFeed(s, r.feed);
  r.smallSize = FieldLength(s, kConfig, "xSmall");
  return r;
}

void RecomputeAxisScales(System& s) {
  AxisScaleInputs in;
  in.stepIndexX = s.fields.choiceIndex(kConfig, "cStepX");
  in.stepIndexY = s.fields.choiceIndex(kConfig, "cStepY");
  in.stepIndexZ = s.fields.choiceIndex(kConfig, "cStepZ");
  in.stepIndexA = s.fields.choiceIndex(kConfig, "cStepP");
  in.moveX = s.parser.ParseFloat2(s.fields.text(kConfig, "xMoveX"));
  in.moveY = s.parser.ParseFloat2(s.fields.text(kConfig, "xMoveY"));
  in.moveZ = s.parser.ParseFloat2(s.fields.text(kConfig, "xMoveZ"));
  in.gearA = s.parser.ParseFloat(s.fields.text(kConfig, "eGearA"));
  // A pipe's surface runs round the A axis: its steps per 0.01 mm of surface.
  if (s.rotary.active) in.pipeDiameter = s.rotary.tube.diameter;
  // A zero lead would divide by zero; the parsers never return it for text,
  // but an operator can type 0.
  for (double* move : {&in.moveX, &in.moveY, &in.moveZ})
    if (!(*move > 0)) *move = 1.0;
  s.scales = ComputeAxisScales(in);
  s.speeds = BuildSpeedTables(s.scales);
}

void InstallAxisScaleUpdates(System& s) {
  s.fields.subscribe([&s](Window window, const std::string& name) {
    if (IsAxisScaleField(window, name)) RecomputeAxisScales(s);
  });
  RecomputeAxisScales(s);
}

std::optional<DisplayList> RedrawMainView(System& s, int width, int height) {
  constexpr int kFitZoom = 10;  // the zoom bar's resting position: the whole job fits
  s.prep.View = FitView(s.job.JobExtentX, s.job.JobExtentY, width, height, kFitZoom, JobStartX(s.job));
  const PlannerSettings planner = ReadPlannerSettings(s, false);
  const TubePlanning tube(s);
  const PlanContext context{planner, s.scales, s.speeds, tube.get()};
  return RedrawJob(s.job, s.prep, ReadRedrawSettings(s), context);
}

}  // namespace corvane
