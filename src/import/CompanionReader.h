#pragma once
#include <string>
#include <string_view>

#include "import/ImportOptions.h"
#include "import/ImportPaths.h"

namespace corvane {

class NumberParser;
class ProgramLog;

// Reads a companion-CAD ".2d" drawing (XML of vertices and line, arc and circle
// edges) into the import path list, emptied first. One file unit is 0.1 mm.
// Vertex numbers are untrusted: the vertex table is a map, so a huge number
// allocates nothing; numbers outside 0 to 100 000 000 are skipped with a log
// line, and the table counts as reaching up to the highest number defined so far. An edge naming a number inside it that was never defined uses
// (0, 0) on layer 0; an edge naming a negative number or one beyond the table is
// skipped with a log line. True when at least one path was made; false with
// error set when the XML is not well-formed.
bool ReadCompanionDrawing(std::string_view xml, const ImportOptions& options,
                          const NumberParser& parser, ProgramLog& log, TPaths& paths,
                          std::string& error);

}  // namespace corvane
