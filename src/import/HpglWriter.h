#pragma once
#include <string>

#include "import/ImportPaths.h"
#include "ports/FileIo.h"

namespace corvane {

// Pens the exported contours are drawn with.
inline constexpr int kPenUnchosenLayers = 8;
inline constexpr int kPenCutting = 1;

// The HPGL text of an export, one command per CR LF line: the contours on layers
// chosen for neither cutting nor marking with pen 8, then the cutting contours
// with pen 1, then "SP0;". Coordinates in plotter units (0.01 mm x 0.4, rounded).
std::string FormatHpgl(const TPaths& unchosenLayers, const TPaths& cutting);

// The file name an export is written to: ".plt" appended unless it ends in it.
std::string HpglFileName(const std::string& chosenName);

// Writes the export to the file (".plt" appended when missing).
FileResult WriteHpgl(const std::string& chosenName, const TPaths& unchosenLayers,
                     const TPaths& cutting);

}  // namespace corvane
