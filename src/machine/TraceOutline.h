#pragma once

namespace corvane {

class MachineCommands;
class Moves;
class System;

// Drives the torch around the job's outline at the hand speed (the maximum
// XY speed with `fast`), so the operator sees where the job lies on the
// sheet: the corners of the job box from the origin, or the rotated frame of
// the angle alignment. Refused while busy, and with a message when the soft
// limits are on and the job leaves them. False when nothing moved.
bool TraceOutline(System& system, MachineCommands& commands, Moves& moves, bool fast);

}  // namespace corvane
