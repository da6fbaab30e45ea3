#pragma once
#include <string_view>

#include "import/ImportOptions.h"
#include "import/ImportPaths.h"
#include "import/ImportReport.h"

namespace corvane {

class NumberParser;
class ProgramLog;

// Reads the HPGL of cutting drawings into the import path list (emptied
// first); every pen-down stroke is one path on the selected pen's layer.
// Commands end at ";", at the next command's two letters or at the end of the
// file, so "SP1PA1000,100PD2500,100" reads like "SP1;PA1000,100;PD2500,100;".
// Read: PU, PD, PA, PR (pairs are absolute after PA, steps after PR, each pair
// acting in order), PE (encoded polylines), SP, the arcs AA, AR, CI, the
// scaling IP, SC and IN; labels run to their terminator (DT sets it).
// Coordinates scale by eScaleHPGL x 2.5 (one plotter unit is 0.025 mm), after
// SC maps user units onto the scaling points P1 and P2 (IN: (0,0) and
// (10000,10000)). Arcs are flattened like DXF arcs of the same radius; AA
// x,y,sweep and AR dx,dy,sweep turn about an absolute or relative centre from
// the current point (sweep in degrees, positive counter-clockwise), drawing only
// with the pen down; CI r draws a whole circle round the current point whatever
// the pen, and the pen comes back to the centre. Chord angles are not needed.
// True when at least one path was made. When report is given it lists the
// commands passed over and the arcs flattened.
bool ReadHpgl(std::string_view text, const ImportOptions& options, const NumberParser& parser,
              ProgramLog& log, TPaths& paths, ImportReport* report = nullptr);

}  // namespace corvane
