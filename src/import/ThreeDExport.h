#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "import/ImportPaths.h"
#include "ports/FileIo.h"
#include "system/Paths.h"

namespace corvane {

class NumberParser;
class ProgramLog;

// What the 3D data file needs besides the cutting list.
struct ThreeDSettings {
  std::string thickness = "7,62";  // `xThick`, the material thickness field's text (mm)
  bool outside = true;             // "Outside" chosen (else "Inside")
  enum class Rotary { None, Pipe, Profile } rotary = Rotary::None;
  double pipeDiameter = 0;  // 0.01 mm, pipe mode
  double profileWidth = 0, profileHeight = 0, cornerRadius = 0;  // 0.01 mm, profile mode
  ClipperLib::cInt disabledMinX = 0;  // smallest X of the disabled list after normalising (0: none)
  ClipperLib::cInt extentY = 0;       // the editor's drawing extent Y
};

// Shared data folder + "Tessary3D/data.3d".
std::string ThreeDDataPath(const Paths& paths);

// The memo line once the file is written.
inline constexpr const char* kThreeDDoneMemo = "End_calc 3D";

// The thickness written, in 0.01 mm: a thickness above 127 mm stands for a
// mistyped field and becomes 2.54 mm, the field to be set to `thicknessFieldFix`
// ("0,1"; empty when the field stays); rotary work takes at most 10 mm.
long long ThreeDThickness(const ThreeDSettings& settings, const NumberParser& parser,
                          std::string* thicknessFieldFix);

// The parts the viewer builds solids of: indices into the cutting list, the
// outer contour last. Every contour (open ones too) counts as a container of
// the first vertex of the others; a hole (odd depth) forms a part with the
// later holes of the same parent and the parent; a contour of even depth with
// nothing nested in it stands alone; one with holes waits to join their part
// (whatever the list order). Contours left over stand alone; empty ones are left out.
std::vector<std::vector<std::size_t>> ThreeDParts(const TPaths& cutting);

// The text of the ".3d" file, lines ending in CR LF, lengths in 0.01 mm.
std::string ThreeDFileText(const TPaths& cutting, const ThreeDSettings& settings,
                           const NumberParser& parser, std::string* thicknessFieldFix);

// Writes the file whole (its folder made when missing).
FileResult WriteThreeDFile(const std::string& path, const TPaths& cutting,
                           const ThreeDSettings& settings, const NumberParser& parser,
                           std::string* thicknessFieldFix);

// The viewer "3d/3d.exe", else "3d/3d", in the program folder; empty when neither is there.
std::string ThreeDViewerExecutable(const Paths& paths);

// Starts the viewer detached in its folder "3d". False (with a log line) when
// no viewer is installed or it cannot be started.
bool StartThreeDViewer(const Paths& paths, ProgramLog& log);

// Asks running viewers to close (SIGTERM, as closing their window would);
// returns how many were asked. The caller waits its 250 ms before writing.
int CloseThreeDViewers(const Paths& paths, ProgramLog& log);

}  // namespace corvane
