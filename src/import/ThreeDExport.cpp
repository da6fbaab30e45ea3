#include "import/ThreeDExport.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <signal.h>

#include "import/CompanionExchange.h"
#include "import/EditorLists.h"
#include "import/Nesting.h"
#include "model/NumberParser.h"
#include "ports/ProgramLog.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using ClipperLib::cInt;
using ClipperLib::IntPoint;

constexpr long long kThicknessLimit = 12700;
constexpr long long kThicknessReplacement = 254;
constexpr const char* kThicknessFieldReplacement = "0,1";
constexpr long long kRotaryThicknessLimit = 1000;
constexpr cInt kRotaryLengthMargin = 1000;
constexpr cInt kRotaryShiftY = 500;
// Closed contours leave out points this near the last one written; open outlines theirs.
constexpr cInt kClosedThinning = 100;
constexpr cInt kOpenThinning = 20;
// Open contours become outlines this far around them.
constexpr double kOpenOutlineDelta = 50;
constexpr double kMiterLimit = 2.0;
constexpr double kArcTolerance = 0.25;
// Remembered at the start of every part, so its first point is always written.
const IntPoint kNoPointYet{-1234, 1234};

std::string Rounded(double value) { return std::to_string(std::llround(value)); }

// An open contour as the thin closed outline the viewer can make a solid of.
TPaths OpenOutline(const TPath& contour) {
  TPath outline(contour);
  outline.insert(outline.end(), contour.rbegin(), contour.rend());
  const IntPoint& b = contour.back();
  const IntPoint& a = contour.size() >= 2 ? contour[contour.size() - 2] : b;
  outline.push_back({(a.X + b.X) / 2, (a.Y + b.Y) / 2});
  ClipperLib::ClipperOffset offset(kMiterLimit, kArcTolerance);
  offset.AddPath(outline, ClipperLib::jtRound, ClipperLib::etClosedPolygon);
  TPaths result;
  offset.Execute(result, kOpenOutlineDelta);
  return result;
}

class ThreeDWriter {
 public:
  ThreeDWriter(const ThreeDSettings& settings, long long thickness)
      : settings_(settings), rotary_(settings.rotary != ThreeDSettings::Rotary::None),
        thickness_(std::to_string(thickness)) {}

  void Line(const std::string& text) { out_ += text + "\r\n"; }

  void Part(std::vector<TPath> contours) {
    last_ = kNoPointYet;
    Line("");
    if (rotary_) {
      Line("inner");
    } else {
      Line("plate");
      Line(thickness_);
      Line("outer");
    }
    const TPath& outer = contours.back();
    if (IsClosedPath(outer)) {
      for (std::size_t k = outer.size() - 1; k >= 1; --k) Point(outer[k], k == 1);
    } else {
      for (const TPath& piece : OpenOutline(outer)) OutlinePoints(piece);
    }
    if (outer.size() < 2) return;
    for (std::size_t h = 0; h + 1 < contours.size(); ++h) {
      const TPath& hole = contours[h];
      if (IsClosedPath(hole)) {
        Line("");
        Line("inner");
        for (std::size_t k = 1; k < hole.size(); ++k) Point(hole[k], k + 1 == hole.size());
        continue;
      }
      for (const TPath& piece : OpenOutline(hole)) {
        Line("");
        Line("inner");
        OutlinePoints(piece);
      }
    }
  }

  std::string Take() { return std::move(out_); }

 private:
  void Point(const IntPoint& p, bool always) {
    if (!always && NearPoints(p, last_, kClosedThinning)) return;
    Write(p);
  }

  void OutlinePoints(const TPath& piece) {
    for (const IntPoint& p : piece)
      if (!NearPoints(p, last_, kOpenThinning)) Write(p);
  }

  void Write(const IntPoint& p) {
    last_ = p;
    const cInt x = rotary_ ? p.X - settings_.disabledMinX : p.X;
    const cInt y = rotary_ ? p.Y + kRotaryShiftY : p.Y;
    Line(std::to_string(x) + " " + std::to_string(y));
  }

  const ThreeDSettings& settings_;
  bool rotary_;
  std::string thickness_;
  std::string out_;
  IntPoint last_ = kNoPointYet;
};

}  // namespace

std::string ThreeDDataPath(const Paths& paths) { return WithSlash(paths.dataRoot) + "Tessary3D/data.3d"; }

long long ThreeDThickness(const ThreeDSettings& settings, const NumberParser& parser,
                          std::string* thicknessFieldFix) {
  // Clamped first: a field like "1e300" must not overflow the rounding.
  long long thickness = std::llround(std::clamp(parser.ParseFloat2(settings.thickness) * 100.0, -1e15, 1e15));
  std::string fix;
  if (thickness > kThicknessLimit) {
    thickness = kThicknessReplacement;
    fix = kThicknessFieldReplacement;
  }
  if (settings.rotary != ThreeDSettings::Rotary::None) thickness = std::min(thickness, kRotaryThicknessLimit);
  if (thicknessFieldFix) *thicknessFieldFix = fix;
  return thickness;
}

std::vector<std::vector<std::size_t>> ThreeDParts(const TPaths& cutting) {
  const std::size_t n = cutting.size();
  const BoxIndex index(BoxesOf(cutting));
  std::vector<int> depth(n, 0), parent(n, -1), children(n, 0);
  std::vector<std::vector<int>> containers(n);
  std::vector<int> candidates;
  for (std::size_t i = 0; i < n; ++i) {
    if (cutting[i].empty()) continue;
    index.Containing(cutting[i].front(), candidates);
    for (const int j : candidates)
      if (static_cast<std::size_t>(j) != i &&
          ClipperLib::PointInPolygon(cutting[i].front(), cutting[static_cast<std::size_t>(j)]) == 1)
        containers[i].push_back(j);
    depth[i] = static_cast<int>(containers[i].size());
  }
  // The parent is the deepest container, the first of equal ones (containers are in list order).
  std::vector<std::vector<std::size_t>> byParent(n);
  for (std::size_t i = 0; i < n; ++i) {
    for (const int j : containers[i])
      if (parent[i] < 0 || depth[static_cast<std::size_t>(j)] > depth[static_cast<std::size_t>(parent[i])])
        parent[i] = j;
    if (parent[i] >= 0) {
      ++children[static_cast<std::size_t>(parent[i])];
      byParent[static_cast<std::size_t>(parent[i])].push_back(i);
    }
  }
  std::vector<std::vector<std::size_t>> parts;
  std::vector<char> taken(n, 0);
  for (std::size_t i = 0; i < n; ++i) {
    if (taken[i] || cutting[i].empty()) continue;
    if (depth[i] % 2 == 1) {
      std::vector<std::size_t> part{i};
      taken[i] = 1;
      const auto p = static_cast<std::size_t>(parent[i]);
      for (const std::size_t sibling : byParent[p])
        if (sibling > i && !taken[sibling]) part.push_back(sibling), taken[sibling] = 1;
      if (!taken[p]) part.push_back(p), taken[p] = 1;
      parts.push_back(std::move(part));
    } else if (children[i] == 0) {
      parts.push_back({i});
      taken[i] = 1;
    }
  }
  // Nesting that crosses itself (open or overlapping contours) can leave contours waiting for holes that never came.
  for (std::size_t i = 0; i < n; ++i)
    if (!taken[i] && !cutting[i].empty()) parts.push_back({i});
  return parts;
}

std::string ThreeDFileText(const TPaths& cutting, const ThreeDSettings& settings,
                           const NumberParser& parser, std::string* thicknessFieldFix) {
  const long long thickness = ThreeDThickness(settings, parser, thicknessFieldFix);
  ThreeDWriter writer(settings, thickness);
  const std::string length = std::to_string(settings.extentY + kRotaryLengthMargin);
  if (settings.rotary == ThreeDSettings::Rotary::Pipe) {
    writer.Line("");
    writer.Line("pipe");
    writer.Line(std::to_string(thickness) + " " + length + " " + Rounded(settings.pipeDiameter / 2) + " y");
  } else if (settings.rotary == ThreeDSettings::Rotary::Profile) {
    writer.Line("");
    writer.Line("profile");
    writer.Line(std::to_string(thickness) + " " + length + " " + Rounded(settings.profileWidth) + " " +
                Rounded(settings.profileHeight) + " " + Rounded(settings.cornerRadius) + " y");
  }
  for (const auto& indices : ThreeDParts(cutting)) {
    std::vector<TPath> contours;
    for (const std::size_t i : indices) contours.push_back(cutting[i]);
    // Cutting outside puts holes counter-clockwise and outer contours clockwise; inside the other way round.
    for (std::size_t k = 0; k < contours.size(); ++k) {
      const bool hole = k + 1 < contours.size();
      const bool wantCounterClockwise = hole == settings.outside;
      if ((ShoelaceSum(contours[k]) >= 0) != wantCounterClockwise)
        std::reverse(contours[k].begin(), contours[k].end());
    }
    writer.Part(std::move(contours));
  }
  return writer.Take();
}

FileResult WriteThreeDFile(const std::string& path, const TPaths& cutting, const ThreeDSettings& settings,
                           const NumberParser& parser, std::string* thicknessFieldFix) {
  std::error_code error;
  const fs::path folder = fs::path(path).parent_path();
  if (!folder.empty()) fs::create_directories(folder, error);
  if (error) return FileResult::Failure("cannot make " + folder.string() + ": " + error.message());
  return WriteFileAtomically(path, ThreeDFileText(cutting, settings, parser, thicknessFieldFix));
}

std::string ThreeDViewerExecutable(const Paths& paths) {
  const std::string folder = WithSlash(paths.programFolder) + "3d/";
  std::error_code error;
  for (const char* name : {"3d.exe", "3d"})
    if (fs::is_regular_file(folder + name, error)) return folder + name;
  return {};
}

bool StartThreeDViewer(const Paths& paths, ProgramLog& log) {
  const std::string viewer = ThreeDViewerExecutable(paths);
  if (viewer.empty()) {
    log.WriteLog("3D viewer not installed (looked for " + WithSlash(paths.programFolder) + "3d/3d)");
    return false;
  }
  const DetachedStart start = StartDetached(viewer, WithSlash(paths.programFolder) + "3d");
  if (!start.started) {
    log.WriteLog("3D viewer could not be started (" + viewer + "): " + start.error);
    return false;
  }
  log.WriteLog("3D viewer started (process " + std::to_string(start.pid) + ")");
  return true;
}

int CloseThreeDViewers(const Paths& paths, ProgramLog& log) {
  const std::string folder = WithSlash(paths.programFolder) + "3d/";
  int asked = 0;
  for (const char* name : {"3d.exe", "3d"}) {
    for (const int pid : ProcessesRunning(folder + name)) {
      if (kill(pid, SIGTERM) == 0) ++asked;
      else log.WriteLog("3D viewer (process " + std::to_string(pid) + ") did not take the close request");
    }
  }
  return asked;
}

}  // namespace corvane
