#pragma once
#include <optional>

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
// the tube (a pipe while the stored tube kind `cpipe` says so), builds the table, recomputes the axis scales; a pipe's surface
// height is its radius. Stops the rotating section.
void TubeExit(System& system);
// One 25 ms tick of the rotating section: 25 units further round the perimeter.
void AdvanceTubePreview(System& system);

// The unrolled-plane mappings of the tube on the axis, for job positions
// shifted by `originX` (the project origin when not given) and the current
// scales. Refers to the system's table: use it while the tube is unchanged.
RotaryMapping RotaryMappingOf(const System& system, std::int32_t originX);
RotaryMapping RotaryMappingOf(const System& system);

// The planners' view of a profile on the axis (distances round the tube, a
// vertex at every change of face) for job positions shifted by `originX`;
// nothing on a flat sheet or a pipe. Keep it alive while planning.
class TubePlanning {
 public:
  TubePlanning(const System& system, std::int32_t originX);
  explicit TubePlanning(const System& system);
  TubePlanning(const TubePlanning&) = delete;
  TubePlanning& operator=(const TubePlanning&) = delete;
  const ProfilePlanning* get() const { return mapping_ ? &planning_ : nullptr; }

 private:
  std::optional<RotaryMapping> mapping_;
  ProfilePlanning planning_;
};

// The board's position as the moves count it: a pipe's A in 0.01 mm of its
// surface instead of steps.
AxisPosition CommandedFromBoard(const System& system, const AxisPosition& board);
// The job point a board position stands for: on the rotary axis X is the
// unrolled position round the tube (a pipe's from A while MIX is down or a
// job runs, else from X).
Point64 BoardInJob(const System& system, const AxisPosition& board, bool jobRunning);

}  // namespace corvane
