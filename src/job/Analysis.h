#pragma once
#include <array>
#include <string>

#include "model/DisplayList.h"

namespace corvane {

class System;

// What the "Analise" button shows: the counts, the estimate and the picture
// that replaces the path view until the next redraw.
struct AnalysisResult {
  int pierces = 0;       // every contour of the job, disabled and marker ones too
  double length = 0;     // along the planned paths, 0.01 mm
  double seconds = 0;    // estimated working time
  // "Piercing       : …", "Total Length   : …", "Estimated Time : mm:ss".
  std::array<std::string, 3> lines;
  // Every contour's plan coloured by speed, the pointing marks and the three
  // lines, for the path view's current mapping (`System::prep.View`).
  DisplayList picture;
};

// Plans every contour as the cut would and estimates the job from the plans.
// `zonesShown` is the button's "shown" mark: set after each press and cleared
// when the mouse leaves the button, so a second press in place also colours
// the anti-dive and lead-out zones. The UI keeps the picture as its
// background copy and sets the mark afterwards.
AnalysisResult AnalyseJob(const System& system, bool zonesShown);

}  // namespace corvane
