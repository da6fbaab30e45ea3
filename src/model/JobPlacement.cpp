#include "model/JobPlacement.h"

#include "model/PositionText.h"
#include "ports/Host.h"
#include "ports/ProgramLog.h"

namespace corvane {
namespace {

enum class Set { Keep, Low, Centre, High };

struct ButtonRule {
  Set x;
  Set y;
  ReferenceCorner corner;
  bool zeroesX;  // the button also corrects the machine position of its axes
  bool zeroesY;
};

ButtonRule RuleOf(PlacementButton b) {
  using RC = ReferenceCorner;
  switch (b) {
    case PlacementButton::LeftTop: return {Set::Low, Set::High, RC::UpperLeft, false, false};
    case PlacementButton::Top: return {Set::Keep, Set::High, RC::None, false, false};
    case PlacementButton::RightTop: return {Set::High, Set::High, RC::UpperRight, false, false};
    case PlacementButton::Left: return {Set::Low, Set::Keep, RC::None, true, false};
    case PlacementButton::Centre: return {Set::Centre, Set::Centre, RC::None, false, false};
    case PlacementButton::Right: return {Set::High, Set::Keep, RC::None, false, false};
    case PlacementButton::LeftBottom: return {Set::Low, Set::Low, RC::LowerLeft, true, true};
    case PlacementButton::Bottom: return {Set::Keep, Set::Low, RC::None, false, true};
    case PlacementButton::RightBottom: return {Set::High, Set::Low, RC::LowerRight, false, false};
  }
  return {Set::Keep, Set::Keep, RC::None, false, false};
}

// A machine position the controller cannot have had after referencing is replaced.
std::int32_t SanitisedPosition(std::int32_t value) {
  if (value < 0) return 0;
  if (value > 1999999) return 500000;
  return value;
}

std::int32_t OriginFor(Set rule, std::int32_t laser, std::int32_t extent, std::int32_t current) {
  switch (rule) {
    case Set::Keep: return current;
    case Set::Low: return laser;
    case Set::Centre: return laser - extent / 2;
    case Set::High: return laser - extent;
  }
  return current;
}

}  // namespace

PlacementResult PlaceJob(PlacementButton button, JobState& job, PreparationState& prep, ProgramLog& log,
                         Host& host, bool imperial) {
  PlacementResult result;
  if (prep.AngleActive) return result;
  const ButtonRule rule = RuleOf(button);
  if (rule.zeroesX || rule.zeroesY) {
    if (rule.zeroesX) job.MachinePosition.x = SanitisedPosition(job.MachinePosition.x);
    if (rule.zeroesY) job.MachinePosition.y = SanitisedPosition(job.MachinePosition.y);
    result.setPosition = job.MachinePosition;
  }
  const std::int32_t laserX = job.MachinePosition.x + prep.LaserOffsetX;
  const std::int32_t laserY = job.MachinePosition.y + prep.LaserOffsetY;
  job.ProjectOriginX = OriginFor(rule.x, laserX, job.JobExtentX, job.ProjectOriginX);
  job.ProjectOriginY = OriginFor(rule.y, laserY, job.JobExtentY, job.ProjectOriginY);
  prep.Corner = rule.corner;
  if (rule.x == Set::Keep)
    log.WriteLog("Mat:Y" + std::to_string(job.ProjectOriginY));
  else
    log.WriteLog("Mat:X" + std::to_string(job.ProjectOriginX) + " Y" + std::to_string(job.ProjectOriginY));
  if (button == PlacementButton::LeftBottom) host.playSound(sound::kXY0);
  result.applied = true;
  result.fieldXM = FormatOriginField(job.ProjectOriginX, imperial);
  result.fieldYM = FormatOriginField(job.ProjectOriginY, imperial);
  host.requestRedraw();
  return result;
}

}  // namespace corvane
