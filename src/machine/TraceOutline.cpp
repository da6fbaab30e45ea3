#include "machine/TraceOutline.h"

#include <vector>

#include "machine/MachineCommands.h"
#include "machine/Moves.h"
#include "store/FieldValues.h"
#include "system/System.h"

namespace corvane {

bool TraceOutline(System& system, MachineCommands& commands, Moves& moves, bool fast) {
  if (system.Busy) return false;
  const JobState& job = system.job;
  const std::int32_t ox = job.ProjectOriginX, oy = job.ProjectOriginY;
  const std::int32_t w = job.JobExtentX, h = job.JobExtentY;
  if (system.fields.checked(Window::Configuration, "cLimits") &&
      (ox < 0 || ox + w > system.store.SoftLimitX || oy < 0 || oy + h > system.store.SoftLimitY)) {
    system.host.showMessage("SOFT LIMITS !!!");
    return false;
  }
  commands.StopMotion();
  system.Busy = true;
  system.StopRequested = false;
  commands.ReadStatusA();
  const std::int32_t speed =
      FieldSpeed(system, Window::Configuration, fast ? "xFeedMaxXY" : "xFeedhXY");
  std::vector<Point2> corners;
  if (system.prep.AngleActive) {
    // The rotated frame, last point to first.
    for (auto it = system.prep.AngleFrame.rbegin(); it != system.prep.AngleFrame.rend(); ++it)
      corners.push_back({ox + it->x, oy + it->y});
  } else {
    corners = {{ox, oy}, {ox, oy + h}, {ox + w, oy + h}, {ox + w, oy}, {ox, oy}};
  }
  for (const Point2& corner : corners) {
    if (system.StopRequested) break;
    moves.MoveXY(corner.x, corner.y, speed, true);
    commands.WaitIdle();
  }
  system.Busy = false;
  commands.StopMotion();
  return true;
}

}  // namespace corvane
