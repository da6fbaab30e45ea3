#pragma once
#include "model/Geometry.h"
#include "model/RotaryAxis.h"

namespace corvane {

class System;

// The tube set-up panel of the main window. Lengths come from the fields
// xrB, xrH, xrR (profile W, H, R) and xrD (pipe diameter); the limited values
// are written back so the operator sees what is used.

// "OK" for a round pipe: pipe mode with the typed diameter.
void TubeOkPipe(System& system);
// "OK" for a rectangular profile: W, H, R limited, the diameter becomes the
// diagonal, the table is built and the rotating section starts.
void TubeOkProfile(System& system);
// "Exit" (also applied when the rotary function is chosen): reads and limits
// the tube, builds the table, recomputes the axis scales; a pipe's surface
// height is its radius. Stops the rotating section.
void TubeExit(System& system);
// One 25 ms tick of the rotating section: 25 units further round the perimeter.
void AdvanceTubePreview(System& system);

// The unrolled-plane mappings of the tube on the axis, for the current
// project origin and scales. Refers to the system's table: use it while the
// tube is unchanged.
RotaryMapping RotaryMappingOf(const System& system);

// The board's position as the moves count it: a pipe's A in 0.01 mm of its
// surface instead of steps.
AxisPosition CommandedFromBoard(const System& system, const AxisPosition& board);
// The job point a board position stands for: on the rotary axis X is the
// unrolled position round the tube.
Point64 BoardInJob(const System& system, const AxisPosition& board);

}  // namespace corvane
