#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "model/JobModel.h"
#include "model/JobPreparation.h"

namespace corvane {

class Host;
class ProgramLog;

// The nine buttons that put a named point of the job box under the laser pointer.
enum class PlacementButton {
  LeftTop,      // "X = 0 ; Y = TOP"
  Top,          // "Y = TOP"
  RightTop,     // "X = RIGHT, Y = TOP"
  Left,         // "X = 0"
  Centre,       // "XY = CENTER"
  Right,        // "X = RIGHT"
  LeftBottom,   // "XY = 0"
  Bottom,       // "Y = 0"
  RightBottom,  // "X = RIGHT, Y = 0"
};

// What a placement changed and what the caller still has to carry out.
struct PlacementResult {
  bool applied = false;
  // The zero buttons correct the machine position first; the controller must be told
  // (SetPosition) about this position, which is already in JobState::MachinePosition.
  std::optional<AxisPosition> setPosition;
  std::string fieldXM;  // new texts of xXM and xYM
  std::string fieldYM;
};

// Sets the project origin from the laser pointer (flat sheets; the rotary variant is separate).
PlacementResult PlaceJob(PlacementButton button, JobState& job, PreparationState& prep, ProgramLog& log,
                         Host& host, bool imperial);

}  // namespace corvane
