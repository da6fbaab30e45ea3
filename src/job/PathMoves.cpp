#include "job/PathMoves.h"

#include <optional>

#include "job/CuttingProcess.h"
#include "machine/MachineCommands.h"
#include "machine/Moves.h"
#include "model/PathPick.h"
#include "store/FieldValues.h"
#include "system/FieldSettings.h"
#include "system/System.h"
#include "wire/Commands.h"

namespace corvane {
namespace {

void TravelTo(System& system, MachineCommands& commands, Moves& moves, std::uint8_t prepare,
              const std::optional<Point2>& target) {
  commands.Send(prepare);
  system.StopRequested = false;
  commands.Dwell(50);
  const std::int32_t floatZ = system.job.ProjectOriginZ + FieldLength(system, Window::Main, "xFloatH");
  if (system.job.LastCommanded.z < floatZ)
    moves.MoveZ(floatZ, FieldSpeed(system, Window::Configuration, "xFeedMaxZ"));
  if (!target) return;
  moves.MoveXY(target->x, target->y, FieldSpeed(system, Window::Configuration, "xFeedMaxXY"), true);
  commands.Send(wire::cmd::kSequenceEnd);
}

}  // namespace

void MoveHere(System& system, MachineCommands& commands, Moves& moves) {
  TravelTo(system, commands, moves, wire::cmd::kMotionReset,
           MoveHereTarget(system.job, ReadRedrawSettings(system).limits));
}

void MoveToZero(System& system, MachineCommands& commands, Moves& moves) {
  TravelTo(system, commands, moves, wire::cmd::kManualStart,
           MoveToZeroTarget(system.job, ReadRedrawSettings(system).limits));
}

void CutSingleLine(System& system, MachineCommands& commands, CuttingProcess& cutting) {
  const std::optional<CNCpath> line =
      SingleLineToPick(system.job, system.prep, ReadRedrawSettings(system).limits);
  if (!line) return;
  commands.StopMotion();
  commands.SendThcSettings();
  commands.Send(wire::cmd::kManualStart);
  JobState& job = system.job;
  job.LastCommanded = job.MachinePosition;
  job.ResumeMode = 0;
  system.StopRequested = false;
  system.Busy = true;
  commands.WaitIdle();
  cutting.CutContour(*line);
  commands.WaitIdle();
  system.Busy = false;
  system.prep.LineStart = {-1, 0};
}

}  // namespace corvane
