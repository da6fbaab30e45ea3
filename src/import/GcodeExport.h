#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "model/JobModel.h"
#include "ports/FileIo.h"

namespace corvane {

class FieldStore;
class NumberParser;
struct AdvancedOptions;

// Standard: numbered lines with a comment on every step and the torch codes.
// Bare (the export started with Ctrl held): one command per line, nothing else.
enum class GcodeExportFormat { Standard, Bare };

// What the export writes besides the job. The texts are the operator's fields
// as they stand (a decimal comma stays a comma); read them at the moment of use.
struct GcodeExportSettings {
  bool inches = false;          // cImperial: G20 and coordinates in inches
  std::string floatHeight;      // xFloatH
  std::string cutHeight;        // xCutH
  std::string pierceHeight;     // xPierceH
  std::string pierceTime;       // eTime, ms
  std::string feed;             // xFeed
  std::string feed2;            // xFeed2, for small contours
  std::string detectionHeight;  // xDetectionH
  std::string detectionSpeed;   // xDetectionS
  std::string correction;       // xCor1 with the ohmic sensor, otherwise xCor2
  std::string finishX;          // eENDx, eENDy, eENDz: the "Finish" park position;
  std::string finishY;          // an empty X or Z leaves its park line out
  std::string finishZ;
  bool ohmic = false;          // cOhmic
  bool floatingHead = false;   // cFloating
  bool arcOk = false;          // cArcOk, "Waiting for ARC OK"
  std::int64_t smallSize = 0;  // xSmall in 0.01 mm: contours fitting this square use feed2
  std::string signX;           // GCodeSignX, written before every vertex X
  std::string signY;           // GCodeSignY, written before every vertex Y
  std::string title;           // GCodeComment: replaces the two title lines when set
};

// The export's settings from the window fields, the advanced options and the
// parser's inch mode, as they are now.
GcodeExportSettings ReadGcodeExportSettings(const FieldStore& fields,
                                            const AdvancedOptions& advanced,
                                            const NumberParser& parser);

// A vertex coordinate (0.01 mm) as written: millimetres in the shortest decimal
// form, or inches rounded to 4 decimals.
std::string GcodeCoordinate(std::int32_t units, bool inches);

// The program's lines (UTF-8, without line ends) for the job; fileName is the
// written file's name, of which the standard format's header names the last part.
// Contours of fewer than two vertices have no cutting move and are left out;
// every other contour is written, whatever its kind.
std::vector<std::string> GcodeExportLines(const tCNCPath& job, const GcodeExportSettings& settings,
                                          GcodeExportFormat format, const std::string& fileName);

// Writes the program to fileName (Windows-1250, CR LF), replacing an existing file.
FileResult WriteGcodeExport(const std::string& fileName, const tCNCPath& job,
                            const GcodeExportSettings& settings, GcodeExportFormat format);

}  // namespace corvane
