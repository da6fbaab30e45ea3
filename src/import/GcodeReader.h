#pragma once
#include <cstddef>
#include <string_view>

#include "import/ImportOptions.h"
#include "import/ImportPaths.h"
#include "import/ImportReport.h"

namespace corvane {

class NumberParser;
class ProgramLog;

// Layers of a G-code path: opened by M3, M03 or M07, or by the operator's MCodeOn.
inline constexpr std::int64_t kLayerGcodeTorch = 1;
inline constexpr std::int64_t kLayerGcodeOwnCode = 2;

// Reads a flat plasma G-code program into the import path list (emptied first):
// every stretch between a torch-on and a torch-off code becomes one path.
// Coordinates are multiplied by the G-code scale field (eScaleTAP), so that its
// default "1" leaves them as the file gives them. An arc before the first
// torch-on only moves the current position. A tool index after the torch code
// ("M3 $0 S1", "M5 $1") selects a plasma tool and leaves the code a torch code.
// A ";" comment runs to the end of its line.
// Moves whose coordinates are parameters or expressions ("X[#1*2]") are skipped.
// Always returns true: the caller treats an empty list as a failed load.
// When report is given it says what was skipped, the units and the arcs flattened.
bool ReadGcode(std::string_view text, const ImportOptions& options, const NumberParser& parser,
               ProgramLog& log, TPaths& paths, ImportReport* report = nullptr);

// The largest distance (0.01 mm) between an arc of the given radius and the chords
// that stand for it: the vertices of path from index first to its end.
double WorstChordError(const TPath& path, std::size_t first, double radius);

}  // namespace corvane
