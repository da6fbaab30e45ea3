#include "machine/RotaryPlacement.h"

#include "machine/MachineCommands.h"
#include "model/PositionText.h"
#include "model/RotaryAxis.h"
#include "ports/ProgramLog.h"
#include "system/System.h"

namespace corvane {
namespace {

constexpr const char* kQuestion = "Are you sure ?\n\rthe axis of rotation will be changed !";

bool NamesY(PlacementButton button) {
  return button != PlacementButton::Left && button != PlacementButton::Right;
}

}  // namespace

RotaryPlaceOutcome PlaceOnTube(System& system, MachineCommands& commands, PlacementButton button,
                               std::int32_t laserOffsetX, std::int32_t& xReferenceOffset) {
  if (!system.rotary.active) return RotaryPlaceOutcome::NotRotary;
  JobState& job = system.job;
  const TubeGeometry& tube = system.rotary.tube;
  const std::int32_t width = tube.pipe ? tube.diameter : tube.width;
  const bool reversed = system.fields.checked(Window::Configuration, "cHomingX");
  const std::optional<RotaryPlacement> placement =
      RotaryPlacementFor(button, job.MachinePosition.x, width, laserOffsetX, reversed);
  if (!placement) return RotaryPlaceOutcome::NotRotary;
  if (system.host.ask(kQuestion, Buttons::YesNo) != Answer::Yes) return RotaryPlaceOutcome::Declined;

  system.log.WriteLog(placement->logLine);
  xReferenceOffset += placement->referenceOffsetChange;
  system.fields.setText(Window::Configuration, "xSpec10", system.parser.FormatLength(xReferenceOffset / 100.0));

  const AxisPosition at = job.MachinePosition;
  commands.SetPosition(placement->machineX, at.y, at.z, 0);
  if (NamesY(button)) {
    // The Y origin as the flat placement sets it, on a copy whose X parts
    // are dropped: only Y (and a zeroed machine Y) is taken over.
    JobState flat = job;
    PreparationState prep = system.prep;
    ProgramLog quiet(system.clock, nullptr);
    const PlacementResult result = PlaceJob(button, flat, prep, quiet, system.host, system.parser.imperial);
    if (result.applied) {
      job.ProjectOriginY = flat.ProjectOriginY;
      system.log.WriteLog("Mat:Y" + std::to_string(job.ProjectOriginY));
      system.fields.setText(Window::Main, "xYM", FormatOriginField(job.ProjectOriginY, system.parser.imperial));
      if (result.setPosition && result.setPosition->y != at.y)
        commands.SetPosition(placement->machineX, result.setPosition->y, at.z, 0);
    }
  }
  system.host.requestRedraw();
  return RotaryPlaceOutcome::Applied;
}

}  // namespace corvane
