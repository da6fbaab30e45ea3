#pragma once
#include <string>

namespace corvane {

class MachineCommands;
class Moves;
class System;

// Drives to a position given as three target texts ("" keeps the axis,
// "max", "+1", "M12.5", "100", …): up to the travel height first, across,
// then down, so the tool never crosses the sheet below the floating height.
void GoTo(System& system, MachineCommands& commands, Moves& moves, const std::string& xText,
          const std::string& yText, const std::string& zText);

}  // namespace corvane
