#pragma once
#include <string_view>

#include "import/ImportOptions.h"
#include "import/ImportPaths.h"

namespace corvane {

class NumberParser;
class ProgramLog;

// Reads the HPGL subset of cutting drawings (PU, PD, PA, SP) into the import
// path list (emptied first); every pen-down stroke is one path on the selected
// pen's layer. Coordinates scale by eScaleHPGL x 2.5 (one plotter unit is 0.025 mm).
// PU, PD and PA with several coordinate pairs act once per pair, in order.
// True when at least one path was made.
bool ReadHpgl(std::string_view text, const ImportOptions& options, const NumberParser& parser,
              ProgramLog& log, TPaths& paths);

}  // namespace corvane
