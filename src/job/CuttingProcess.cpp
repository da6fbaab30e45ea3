#include "job/CuttingProcess.h"

#include <algorithm>
#include <cmath>

#include "job/CuttingSpeeds.h"
#include "link/ControllerLink.h"
#include "machine/MachineCommands.h"
#include "machine/Moves.h"
#include "model/Geometry.h"
#include "model/MoveSpeeds.h"
#include "model/PacedWait.h"
#include "model/PlanCut.h"
#include "store/FieldValues.h"
#include "system/FieldSettings.h"
#include "system/TubeSetup.h"
#include "system/System.h"
#include "wire/Commands.h"

namespace corvane {
namespace {

constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;
constexpr std::int32_t kNoThc = 100000;  // a threshold no move reaches
constexpr std::int64_t kPointingSquare = 200;  // 2 mm: small enough to point instead of cut
constexpr std::int32_t kArcRestart = 100;
constexpr std::int32_t kMillingLiftSlack = 100, kMillingApproach = 50, kMillingLastPass = 5;
// 0.01 mm at 1 mm/min takes 0.6 s.
constexpr double kMicrosPerUnitAtOneMmPerMin = 600000;
constexpr double kLongestCutMicros = MachineCommands::kRunOutMicros / 2.0;

}  // namespace

// Where and how fast the contour is cut: its plan, the offset of its tool,
// and the single point a pointed contour becomes.
struct CuttingProcess::Plan {
  bool marker = false;
  bool point = false;
  Point2 target;
  std::int32_t ox = 0, oy = 0;
  std::int32_t speed = 0;
};

CuttingProcess::CuttingProcess(System& system, ControllerLink& link, MachineCommands& commands,
                               Moves& moves)
    : system_(system), link_(link), commands_(commands), moves_(moves) {
  moves_.ui.profileSurface = [this] { return profileSurface_; };
}

RotaryMapping CuttingProcess::MappingFor(const Plan& plan) const { return RotaryMappingOf(system_, plan.ox); }

std::int32_t CuttingProcess::SurfaceZ() const { return profileSurface_.value_or(system_.job.ProjectOriginZ); }

void CuttingProcess::ShortenRotationTo(std::int64_t targetA) {
  if (!system_.fields.checked(kConfig, "cSpec4")) return;
  const std::optional<std::int64_t> label =
      ShortenRotation(system_.job.LastCommanded.a, targetA, system_.scales.ARev);
  if (!label) return;
  // The board takes a new position at once: what is queued must be done first.
  commands_.WaitIdle();
  if (system_.StopRequested) return;
  const AxisPosition at = system_.job.LastCommanded;
  commands_.SetPosition(at.x, at.y, at.z, static_cast<std::int32_t>(*label));
}

// A pipe turns under a torch that stands over its axis (X = 0); a profile's
// start point is turned up and the torch put over it at the height it has.
void CuttingProcess::RotaryTravelToStart(const Plan& plan, Point2 start) {
  const std::int32_t maxXY = FieldSpeed(system_, kConfig, "xFeedMaxXY");
  if (system_.rotary.pipe()) {
    if (system_.job.LastCommanded.x != 0) moves_.MoveXY(0, plan.oy + start.y, maxXY, true);
    moves_.MoveYA(plan.ox + start.x, plan.oy + start.y, maxXY, true);
    return;
  }
  const RotaryMapping mapping = MappingFor(plan);
  const RotaryTarget t = ProfileTarget(mapping, start.x, start.y, plan.oy, 0);
  ShortenRotationTo(t.a);
  moves_.QueueXYZA(t.x, t.y, system_.job.LastCommanded.z, true, maxXY, static_cast<std::int32_t>(t.a));
}

void CuttingProcess::RotaryMove(const Plan& plan, const PlannedRecord& r) {
  if (system_.rotary.pipe()) return moves_.MoveYA(plan.ox + r.x, plan.oy + r.y, r.speed, false);
  const RotaryMapping mapping = MappingFor(plan);
  const RotaryTarget t = ProfileTarget(mapping, r.x, r.y, plan.oy, FieldLength(system_, kMain, "xCutH"));
  ShortenRotationTo(t.a);
  moves_.QueueXYZA(t.x, t.y, t.z, false, r.speed, static_cast<std::int32_t>(t.a));
}

bool CuttingProcess::MarkOnly() const { return ui.markOnlyDown && ui.markOnlyDown(); }

void CuttingProcess::TorchOn() {
  commands_.TorchOn();
  TorchLit = true;
}

void CuttingProcess::TorchOff() {
  commands_.TorchOff();
  TorchLit = false;
}

bool CuttingProcess::SenseDue() {
  const std::int32_t every = FieldInteger(system_, kConfig, "eSpec3");
  bool due = every < 2;
  if (!due) {
    const AxisPosition& at = system_.job.LastCommanded;
    const double travelled = std::hypot(double(at.x) - LastSensePoint.x, double(at.y) - LastSensePoint.y);
    due = travelled >= every * 100.0;
    if (due) LastSensePoint = {at.x, at.y};
  }
  moves_.LastSenseDue = due;
  return due;
}

void CuttingProcess::DetectMaterial() {
  if (system_.fields.checked(kConfig, "cSpec1a") || system_.StopRequested) return;
  const auto& f = system_.fields;
  const std::int32_t ramp = FieldInteger(system_, kConfig, "eAccZ");
  link_.request.p[4] = ramp;
  commands_.Send(wire::cmd::kRamp);
  commands_.LastRamp = ramp;
  commands_.SetStartLevel(SpeedLevel(FieldSpeed(system_, kConfig, "xFeedMinZ"), system_.speeds.Z));

  std::int32_t height = f.checked(kConfig, "cSpec1")
                            ? FieldLength(system_, kMain, "xPreHeatHeight")
                            : std::min(FieldLength(system_, kConfig, "xTransferH"),
                                       FieldLength(system_, kMain, "xPierceH"));
  if (FieldInteger(system_, kMain, "eTime") < 100 && !MarkOnly()) height = FieldLength(system_, kMain, "xCutH");
  const std::int32_t surface = SurfaceZ();
  const std::int32_t maxZ = FieldSpeed(system_, kConfig, "xFeedMaxZ");
  const bool ohmic = f.checked(kConfig, "cOhmic");
  if ((!ohmic && !f.checked(kConfig, "cFloating")) || !SenseDue()) return moves_.MoveZ(height + surface, maxZ);

  const std::int32_t detectionHeight = surface + FieldLength(system_, kConfig, "xDetectionH");
  const std::int32_t detectionSpeed = FieldSpeed(system_, kConfig, "xDetectionS");
  const double cor1 = FieldLength(system_, kConfig, "xCor1"), cor2 = FieldLength(system_, kConfig, "xCor2");
  if (link_.state.LinkConnected) {
    if (system_.job.LastCommanded.z > detectionHeight)
      commands_.Probe(cor1 / 100, cor2 / 100, MachineCommands::ToSteps(detectionHeight, system_.scales.SZ),
                      SpeedLevel(maxZ, system_.speeds.Z));
    commands_.Probe(cor1 / 100, cor2 / 100, 0, SpeedLevel(detectionSpeed, system_.speeds.Z));
    moves_.LastContactOffset = static_cast<std::int32_t>(-(ohmic ? cor1 : cor2));
    moves_.MoveZAboveMaterial(height);
    return;
  }
  // Offline the approach and the search are shown, and the contact lasts a moment.
  moves_.MoveZ(detectionHeight, maxZ);
  moves_.MoveZ(surface, detectionSpeed);
  commands_.Dwell(200);
  moves_.MoveZ(height + surface, maxZ);
  LastSensePoint = {system_.job.MachinePosition.x, system_.job.MachinePosition.y};
}

// A contour for the other tool stops the job when both tools share one
// head: the operator changes the tool and starts again at this contour.
bool CuttingProcess::ChangeToolIfNeeded(const CNCpath& contour) {
  const int needed = ContourKindOf(contour) == kKindMarker ? kToolMarker : kToolPlasma;
  if (needed == CurrentTool) return false;
  CurrentTool = needed;
  const auto& f = system_.fields;
  if (f.text(kConfig, "xSpec11") != "0" || f.text(kConfig, "xSpec12") != "0") return false;
  system_.host.setErrorLabel(needed == kToolMarker ? "Change tool to : SCRIBBER" : "Change tool to : PLASMA");
  commands_.StopMotion();
  return true;
}

CuttingProcess::Plan CuttingProcess::PlanContour(const CNCpath& contour, bool marker) {
  const auto& f = system_.fields;
  JobState& job = system_.job;
  Plan plan;
  plan.marker = marker;
  plan.ox = job.ProjectOriginX;
  plan.oy = job.ProjectOriginY;
  bool pointAfterPlanning = false;
  if (marker) {
    plan.speed = FieldSpeed(system_, kMain, "xMarkerSpeed");
    plan.ox -= FieldLength(system_, kConfig, "xSpec11");
    plan.oy -= FieldLength(system_, kConfig, "xSpec12");
  } else {
    const bool pointing = f.text(kConfig, "eSpec1") != "0";
    const bool milling = f.checked(kConfig, "cSpec1a");
    const std::int64_t size =
        pointing || milling ? std::llround(system_.parser.ParseFloat(f.text(kConfig, "eSpec1a")) * 100) : 0;
    const std::int32_t feed = FieldSpeed(system_, kMain, "xFeed");
    if (IsPointContour(contour, size)) {
      plan.point = true;
    } else if (FitsInSquare(contour, FieldLength(system_, kConfig, "xSmall"))) {
      ContourSpeedClass = 2;
      plan.speed = CuttingSpeed2(system_, feed);
      moves_.ThcSpeedThreshold = kNoThc;
      pointAfterPlanning = pointing && FitsInSquare(contour, kPointingSquare);
    } else {
      ContourSpeedClass = 1;
      plan.speed = feed;
      moves_.ThcSpeedThreshold = static_cast<std::int32_t>(std::lround(feed * 0.5));
    }
    commands_.SendThcSettings();
  }
  if (plan.point) {
    plan.target = BoxCentre(contour);
    return plan;
  }
  const PlannerSettings settings = ReadPlannerSettings(system_, link_.state.LinkConnected);
  // On a profile distances run round the tube and every change of face gets a vertex.
  const TubePlanning tube(system_, plan.ox);
  const PlanContext ctx{settings, system_.scales, system_.speeds, tube.get()};
  StorePlan(job, PlanCut(contour, plan.speed, ctx, PlanStartOf(job), commands_.LastRamp));
  if (pointAfterPlanning) {
    plan.point = true;
    plan.target = BoxCentre(contour);
  }
  return plan;
}

void CuttingProcess::Lift(const Plan& plan) {
  const JobState& job = system_.job;
  const std::int32_t maxZ = FieldSpeed(system_, kConfig, "xFeedMaxZ");
  const std::int32_t floatH = FieldLength(system_, kMain, "xFloatH");
  if (system_.rotary.profile()) {
    // Over the start point's face when the tube already shows it, else
    // clear of the profile's highest point while it turns.
    const std::int64_t firstX = plan.point ? plan.target.x : job.PlannedPath.empty() ? 0 : job.PlannedPath[0].x;
    const std::int32_t z = ProfileLift(MappingFor(plan), system_.rotary.table, firstX, job.LastCommanded.a, floatH);
    if (job.LastCommanded.z != z) moves_.MoveZ(z, maxZ);
    return;
  }
  const std::int32_t floatZ = job.ProjectOriginZ + floatH;
  if (job.LastCommanded.z < floatZ) moves_.MoveZ(floatZ, maxZ);
}

// Sense, heat, fire and wait for the arc.
void CuttingProcess::Pierce(const Plan& plan) {
  if (plan.marker) return;
  commands_.SwitchOutputs(OutputMode::ZAxisDown, true);
  DetectMaterial();
  if (system_.ContourState == kArcRestart) commands_.Dwell(1000);
  if (system_.fields.checked(kConfig, "cSpec1"))
    commands_.Dwell(FieldInteger(system_, kMain, "ePreHeatTime") * 1000);
  if (!DryRun) {
    TorchOn();
    commands_.Dwell(10);
    TorchOn();
    if (system_.fields.checked(kConfig, "cArcOk")) commands_.WaitArcOk();
  }
  PacedWait(system_.clock).Wait(1, false);
}

void CuttingProcess::TravelAlong(const Plan& plan) {
  const CNCpath2& path = system_.job.PlannedPath;
  if (path.size() < 2) return;
  const std::int32_t minXY = FieldSpeed(system_, kConfig, "xFeedMinXY");
  commands_.SetStartLevel(MoveLevel(system_.job.LastCommanded, plan.ox + path[1].x, plan.oy + path[1].y,
                                    std::min(path[1].speed, minXY), system_.scales, system_.speeds));
  PacedWait(system_.clock).Wait(1, false);
  if (MarkOnly()) return;
  for (std::size_t i = 1; i < path.size(); ++i) {
    const PlannedRecord& r = path[i];
    if (r.angle == kMarkerAntiDive) moves_.ThcFrozen = true;
    if (r.angle == kMarkerLeadOut && TorchLit) TorchOff();
    if (system_.rotary.active)
      RotaryMove(plan, r);
    else
      CutTo(plan.ox + r.x, plan.oy + r.y, r.speed);
    if (system_.StopRequested) break;
  }
}

// Should the program die, the board runs out what it holds: the queue is
// held to MachineCommands::kRunOutMicros while the torch burns, and no single
// cutting move may last long enough to go past that on its own.
void CuttingProcess::CutTo(std::int32_t x, std::int32_t y, std::int32_t speed) {
  const AxisPosition from = system_.job.LastCommanded;
  const double dx = double(x) - from.x, dy = double(y) - from.y;
  const double micros = std::hypot(dx, dy) * kMicrosPerUnitAtOneMmPerMin / std::max(speed, 1);
  const int pieces = std::max(1, static_cast<int>(std::ceil(micros / kLongestCutMicros)));
  for (int i = 1; i <= pieces; ++i) {
    const double k = double(i) / pieces;
    moves_.MoveXY(static_cast<std::int32_t>(std::lround(from.x + dx * k)),
                  static_cast<std::int32_t>(std::lround(from.y + dy * k)), speed, false);
    if (system_.StopRequested) return;
  }
}

void CuttingProcess::CutPass(const Plan& plan, std::int32_t& passLevel) {
  const auto& f = system_.fields;
  JobState& job = system_.job;
  const std::int32_t maxZ = FieldSpeed(system_, kConfig, "xFeedMaxZ");
  const std::int32_t cutH = FieldLength(system_, kMain, "xCutH");
  const bool milling = f.checked(kConfig, "cSpec1a");
  const auto millDown = [&] {
    if (job.LastCommanded.z > passLevel + kMillingLiftSlack) moves_.MoveZ(passLevel + kMillingApproach, maxZ);
    const std::int32_t target = std::max(job.ProjectOriginZ - FieldLength(system_, kMain, "xDepth"),
                                         passLevel - FieldLength(system_, kMain, "xDepthP"));
    moves_.MoveZ(target, std::min(CuttingSpeed2(system_, FieldSpeed(system_, kMain, "xFeed")), maxZ));
    passLevel = job.LastCommanded.z;
  };

  const std::int32_t floatZ = SurfaceZ() + FieldLength(system_, kMain, "xFloatH");
  const bool atStart = !plan.point && !job.PlannedPath.empty() && !system_.rotary.active &&
                       job.LastCommanded.x == plan.ox + job.PlannedPath[0].x &&
                       job.LastCommanded.y == plan.oy + job.PlannedPath[0].y;
  if (!atStart && job.LastCommanded.z < floatZ) moves_.MoveZ(floatZ, maxZ);
  const Point2 start = plan.point ? plan.target : Point2{job.PlannedPath[0].x, job.PlannedPath[0].y};
  if (system_.rotary.active)
    RotaryTravelToStart(plan, start);
  else
    moves_.MoveXY(plan.ox + start.x, plan.oy + start.y, FieldSpeed(system_, kConfig, "xFeedMaxXY"), true);
  commands_.Dwell(50);

  Pierce(plan);
  if (ui.showTorchLit) ui.showTorchLit(true);

  if (plan.point) {
    if (!milling) return commands_.Dwell(FieldInteger(system_, kConfig, "eSpec1"));
    millDown();
    commands_.Dwell(100);
    job.LastCommanded.x += 1;  // so that the next move to this point is sent again
    return;
  }
  if (plan.marker) {
    commands_.SwitchOutputs(OutputMode::ScriberMarker, true);
    commands_.Dwell(FieldInteger(system_, kMain, "eMarkerTime"));
  } else if (milling) {
    millDown();
  } else {
    const std::int32_t pierceH = FieldLength(system_, kMain, "xPierceH");
    const std::int32_t eTime = FieldInteger(system_, kMain, "eTime");
    moves_.MoveZAboveMaterial(eTime > 99 || MarkOnly() ? pierceH : cutH);
    commands_.Dwell(job.ResumeMode != 0 ? 200 : eTime);
    if (!MarkOnly()) moves_.MoveZAboveMaterial(cutH);
  }
  if (!MarkOnly() && !milling) {
    if (plan.marker)
      moves_.MoveZ(job.ProjectOriginZ + FieldLength(system_, kConfig, "xSpec13"), maxZ);
    else
      moves_.MoveZAboveMaterial(cutH);
  }
  TravelAlong(plan);
}

void CuttingProcess::CutContour(const CNCpath& contour) {
  JobState& job = system_.job;
  moves_.ThcFrozen = false;
  std::int32_t passLevel = job.ProjectOriginZ;
  if (ChangeToolIfNeeded(contour)) return;
  link_.request.p[0] = 0;
  commands_.Send(wire::cmd::kFeedOverride);
  if (system_.StopRequested || contour.size() < 3) return;

  const Plan plan = PlanContour(contour, ContourKindOf(contour) == kKindMarker);
  profileSurface_.reset();
  if (system_.rotary.profile() && (plan.point || !job.PlannedPath.empty()))
    profileSurface_ = MappingFor(plan).TableAt(plan.point ? plan.target.x : job.PlannedPath[0].x).z;
  commands_.SetStartLevel(SpeedLevel(FieldSpeed(system_, kConfig, "xFeedMinZ"), system_.speeds.Z));
  PacedWait(system_.clock).Wait(1, false);
  Lift(plan);

  const bool milling = system_.fields.checked(kConfig, "cSpec1a");
  const std::int32_t bottom = job.ProjectOriginZ - FieldLength(system_, kMain, "xDepth");
  do {
    CutPass(plan, passLevel);
  } while (milling && !system_.StopRequested && passLevel > bottom + kMillingLastPass);

  TorchOff();
  commands_.SwitchOutputs(OutputMode::ZAxisDown, false);
  commands_.SwitchOutputs(OutputMode::ScriberMarker, false);
  profileSurface_.reset();
  // On a profile the contour may end on another face than it began: the
  // head is lifted from the face it ended on.
  endSurface_.reset();
  if (system_.rotary.profile() && (plan.point || !job.PlannedPath.empty()))
    endSurface_ = MappingFor(plan).TableAt(plan.point ? plan.target.x : job.PlannedPath.back().x).z;
}

std::int32_t CuttingProcess::LiftAfterContour() const {
  const std::int32_t floatH = FieldLength(system_, kMain, "xFloatH");
  if (system_.rotary.profile()) return endSurface_.value_or(system_.rotary.table.maxHeight) + floatH;
  return system_.job.ProjectOriginZ + floatH;
}

}  // namespace corvane
