#include "machine/GoTo.h"

#include "machine/MachineCommands.h"
#include "machine/Moves.h"
#include "store/FieldValues.h"
#include "system/System.h"
#include "wire/Commands.h"

namespace corvane {

void GoTo(System& system, MachineCommands& commands, Moves& moves, const std::string& xText,
          const std::string& yText, const std::string& zText) {
  if (system.StopRequested || (xText.empty() && yText.empty() && zText.empty())) return;
  commands.Send(wire::cmd::kManualStart);
  constexpr Window kConfig = Window::Configuration;
  const JobState& job = system.job;
  const AxisPosition& at = job.MachinePosition;
  const auto target = [&](const std::string& text, std::int32_t here, std::int32_t origin,
                          const char* limit, std::int32_t min) {
    return system.parser.ParseAxisTarget(
        text, {here - origin, origin, FieldLength(system, kConfig, limit), min, false});
  };
  const std::int32_t x = target(xText, at.x, job.ProjectOriginX, "xLimitX", 0);
  const std::int32_t y = target(yText, at.y, job.ProjectOriginY, "xLimitY", 0);
  const std::int32_t z = target(zText, at.z, job.ProjectOriginZ, "xLimitZ", job.ProjectOriginZ);

  const std::int32_t maxZ = FieldSpeed(system, kConfig, "xFeedMaxZ");
  const std::int32_t travel = FieldLength(system, Window::Main, "xFloatH") + job.ProjectOriginZ;
  const std::int32_t up = z <= travel ? travel : z;
  if (system.job.LastCommanded.z < up) moves.MoveZ(up, maxZ);
  commands.WaitIdle();
  if (!system.StopRequested) moves.MoveXY(x, y, FieldSpeed(system, kConfig, "xFeedMaxXY"), true);
  commands.WaitIdle();
  if (!system.StopRequested && z != system.job.LastCommanded.z) moves.MoveZ(z, maxZ);
}

}  // namespace corvane
