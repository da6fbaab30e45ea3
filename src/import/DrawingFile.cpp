#include "import/DrawingFile.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "import/CompanionReader.h"
#include "import/GcodeReader.h"
#include "import/HpglReader.h"
#include "ports/FileIo.h"

namespace corvane {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// A contour is closed when its last vertex is its first, exactly as the
// import window's cleaning tells them apart; a lone point counts as open.
std::size_t OpenContoursOf(const TPaths& paths) {
  return static_cast<std::size_t>(std::count_if(paths.begin(), paths.end(), [](const TPath& path) {
    return path.size() < 4 || path[1] != path.back();
  }));
}

}  // namespace

DrawingFormat DrawingFormatNamed(const std::string& name) {
  const std::string lower = Lower(name);
  if (lower == "gcode") return DrawingFormat::Gcode;
  if (lower == "hpgl") return DrawingFormat::Hpgl;
  if (lower == "dxf") return DrawingFormat::Dxf;
  if (lower == "2d") return DrawingFormat::Companion;
  return DrawingFormat::Unknown;
}

DrawingFormat DrawingFormatFor(const std::string& fileName) {
  const std::string extension = Lower(std::filesystem::path(fileName).extension().string());
  for (const char* gcode : {".tap", ".cam", ".txt", ".ngc", ".nc", ".gcode"})
    if (extension == gcode) return DrawingFormat::Gcode;
  for (const char* hpgl : {".plt", ".hpgl", ".hpg", ".spl"})
    if (extension == hpgl) return DrawingFormat::Hpgl;
  if (extension == ".dxf") return DrawingFormat::Dxf;
  if (extension == ".2d") return DrawingFormat::Companion;
  return DrawingFormat::Unknown;
}

DrawingLoad ReadDrawing(std::string_view bytes, DrawingFormat format, const ImportOptions& options,
                        const NumberParser& parser, ProgramLog& log, TPaths& paths, TDXF& dxf,
                        bool fullQuality) {
  DrawingLoad load;
  switch (format) {
    case DrawingFormat::Gcode: ReadGcode(bytes, options, parser, log, paths, &load.report); break;
    case DrawingFormat::Hpgl: ReadHpgl(bytes, options, parser, log, paths, &load.report); break;
    case DrawingFormat::Dxf:
      ReadDxf(bytes, options, log, dxf, paths, load.error, fullQuality);
      load.report = dxf.report;
      break;
    case DrawingFormat::Companion:
      ReadCompanionDrawing(bytes, options, parser, log, paths, load.error);
      break;
    case DrawingFormat::Unknown: load.error = "unknown drawing format"; return load;
  }
  load.report.openContours = OpenContoursOf(paths);
  // A reader that reached the vertex cap stopped reading: what follows was never read.
  if (VertexCountOf(paths) >= kMaxImportVertices) {
    load.report.truncated = true;
    load.report.notes.push_back("reading stopped at the cap of " +
                                std::to_string(kMaxImportVertices) + " vertices");
  }
  if (load.error.empty() && paths.empty()) load.error = "no paths in the drawing";
  load.ok = load.error.empty();
  return load;
}

DrawingLoad ReadDrawingFile(const std::string& fileName, DrawingFormat format,
                            const ImportOptions& options, const NumberParser& parser,
                            ProgramLog& log, TPaths& paths, TDXF& dxf, bool fullQuality) {
  const auto bytes = ReadWholeFile(fileName);
  if (!bytes) {
    DrawingLoad load;
    load.error = "cannot read " + fileName;
    return load;
  }
  return ReadDrawing(*bytes, format, options, parser, log, paths, dxf, fullQuality);
}

}  // namespace corvane
