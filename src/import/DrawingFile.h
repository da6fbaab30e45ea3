#pragma once
#include <string>
#include <string_view>

#include "import/DxfModel.h"
#include "import/ImportOptions.h"
#include "import/ImportPaths.h"
#include "import/ImportReport.h"

namespace corvane {

class NumberParser;
class ProgramLog;

enum class DrawingFormat { Unknown, Gcode, Hpgl, Dxf, Companion };

// The reader for a file name's extension (case-insensitive): ".tap", ".cam",
// ".txt", ".ngc", ".nc", ".gcode" G-code; ".plt", ".hpgl", ".hpg", ".spl" HPGL;
// ".dxf" DXF; ".2d" the companion CAD's drawing.
DrawingFormat DrawingFormatFor(const std::string& fileName);
DrawingFormat DrawingFormatNamed(const std::string& name);  // "gcode", "hpgl", "dxf", "2d"

// Outcome of one load: ok when the reader read the drawing and made at least
// one path; otherwise error says why (for the log and the error box).
struct DrawingLoad {
  bool ok = false;
  std::string error;
  ImportReport report;
};

// Reads a drawing held in memory. For DXF the parsed drawing stays in dxf for
// later renderings; fullQuality renders it as for cutting instead of the preview.
DrawingLoad ReadDrawing(std::string_view bytes, DrawingFormat format, const ImportOptions& options,
                        const NumberParser& parser, ProgramLog& log, TPaths& paths, TDXF& dxf,
                        bool fullQuality = false);

// Reads a drawing file; a file that cannot be read is an error, and the list is left untouched.
DrawingLoad ReadDrawingFile(const std::string& fileName, DrawingFormat format,
                            const ImportOptions& options, const NumberParser& parser,
                            ProgramLog& log, TPaths& paths, TDXF& dxf, bool fullQuality = false);

}  // namespace corvane
