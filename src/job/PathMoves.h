#pragma once

namespace corvane {

class CuttingProcess;
class MachineCommands;
class Moves;
class System;

// The machine sequences of the path view's popup, on the point the operator
// picked (`ResumePoint`). A target outside the soft limits moves nothing.

// "Move here": up to the floating height, then a rapid to the picked point.
void MoveHere(System& system, MachineCommands& commands, Moves& moves);
// "Move [0,0]": the same to the project origin.
void MoveToZero(System& system, MachineCommands& commands, Moves& moves);
// "Cut line to here": one straight cut from the marked start (or the torch)
// to the picked point, with the whole cutting process.
void CutSingleLine(System& system, MachineCommands& commands, CuttingProcess& cutting);

}  // namespace corvane
