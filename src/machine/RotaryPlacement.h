#pragma once
#include <cstdint>

#include "model/JobPlacement.h"

namespace corvane {

class MachineCommands;
class System;

enum class RotaryPlaceOutcome {
  NotRotary,  // flat sheet, or a button that does not set X: the flat placement applies
  Declined,   // the operator answered No: nothing changed
  Applied,
};

// A placement button in rotary mode (the laser pointer stands on the tube's
// left edge, right edge or centre): after the operator's Yes the rotation
// axis is corrected instead of the project origin. The log line is written,
// the change is added to `xReferenceOffset` (shown in `xSpec10`), the
// machine X is set with A = 0, and a button that names Y sets the Y origin
// as on a flat sheet, X untouched. `laserOffsetX`: the laser pointer's X
// offset from the torch (`xSpec8`); the homing direction is `cHomingX`.
RotaryPlaceOutcome PlaceOnTube(System& system, MachineCommands& commands, PlacementButton button,
                               std::int32_t laserOffsetX, std::int32_t& xReferenceOffset);

}  // namespace corvane
