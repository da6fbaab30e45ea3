#include "import/GcodeExport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <string_view>

#include "model/Geometry.h"
#include "model/NumberParser.h"
#include "ports/Host.h"
#include "ports/TextCodec.h"
#include "store/AdvancedOptions.h"
#include "store/FieldStore.h"

namespace corvane {
namespace {

// Commands of numbered lines are filled with spaces to this width before the comment.
constexpr std::size_t kCommandWidth = 31;
// Line numbers grow by this step.
constexpr std::int64_t kStep = 10;

// A contour has a cutting move only from its second vertex on.
bool HasCuttingMove(const CNCpath& contour) { return contour.size() >= 3; }

// xSmall in 0.01 mm; beyond any coordinate it just means "every contour is small".
std::int64_t SmallSquare(const std::string& text, const NumberParser& parser) {
  constexpr double kLimit = 1e15;
  return std::llround(std::clamp(parser.ParseFloat2(text) * 100.0, -kLimit, kLimit));
}

// "N<number> " + command: a line without comment.
std::string Numbered(std::int64_t number, const std::string& command) {
  std::string line(1, 'N');
  line.append(std::to_string(number)).append(1, ' ').append(command);
  return line;
}

// A numbered command filled to the comment column (at least one space) + "( " + comment.
std::string Commented(std::int64_t number, const std::string& command, std::string_view comment) {
  const std::size_t fill = command.size() < kCommandWidth ? kCommandWidth - command.size() : 1;
  std::string line = Numbered(number, command);
  line.append(fill, ' ');
  line.append("( ").append(comment);
  return line;
}

// Builds the lines of one export; both formats share the moves' texts.
class ExportWriter {
 public:
  ExportWriter(const GcodeExportSettings& settings, std::vector<std::string>& out)
      : s_(settings), out_(out) {}

  void Standard(const tCNCPath& job, const std::string& fileName) {
    if (s_.title.empty()) {
      out_.push_back("( CorvaneCNC GCodes Export )");
      out_.push_back("( Simply 2D path only ! )");
    } else {
      out_.push_back(s_.title);
    }
    out_.push_back("( FileName : " + std::filesystem::path(fileName).filename().string() + " )");
    out_.push_back("");
    out_.push_back(s_.inches ? Commented(10, "G20", "Inches units )")
                             : Commented(10, "G21", "millimeter units )"));
    std::int64_t n = 20;
    out_.push_back(Commented(n, Rapid(s_.floatHeight), "floating height )"));
    for (const CNCpath& contour : job)
      if (HasCuttingMove(contour)) n = StandardContour(contour, n);
    if (!s_.finishX.empty()) {
      n += kStep;
      out_.push_back(Commented(n, "G00 X" + s_.finishX + " Y" + s_.finishY, "ParkXY)"));
    }
    if (!s_.finishZ.empty()) {
      n += kStep;
      out_.push_back(Commented(n, Rapid(s_.finishZ), "ParkZ)"));
    }
    out_.push_back(Commented(n + kStep, "M30", "end )"));
  }

  void Bare(const tCNCPath& job) {
    out_.push_back(Rapid(s_.floatHeight));
    for (const CNCpath& contour : job) {
      if (!HasCuttingMove(contour)) continue;
      out_.push_back("G00 " + XY(contour[1]));
      out_.push_back(Rapid(s_.cutHeight));
      out_.push_back(FirstCut(contour));
      for (std::size_t i = 3; i < contour.size(); ++i) out_.push_back("G01 " + XY(contour[i]));
      out_.push_back(Rapid(s_.floatHeight));
    }
    out_.push_back("M30");
  }

 private:
  // One contour of the standard format after line n; the number of its last line.
  std::int64_t StandardContour(const CNCpath& contour, std::int64_t n) {
    std::int64_t m = n + kStep;
    out_.push_back(Commented(m, "G00 " + XY(contour[1]), "piercing point XY )"));
    if (s_.ohmic || s_.floatingHead) {
      out_.push_back(
          Commented(n + 2 * kStep, Rapid(s_.detectionHeight), "start detection Z height )"));
      out_.push_back(Commented(n + 3 * kStep, "G31 Z-20  F" + s_.detectionSpeed,
                               "material detection function )"));
      out_.push_back(Commented(n + 4 * kStep, "G92 Z-" + s_.correction, "Z axis correction )"));
      m = n + 4 * kStep;
    }
    out_.push_back(Commented(m + kStep, Rapid(s_.pierceHeight), "piercing height )"));
    out_.push_back(Commented(m + 2 * kStep, "M03", "plasma ON )"));
    if (s_.arcOk) out_.push_back(Commented(m + 3 * kStep, "M300", "waiting for ARC OK )"));
    out_.push_back(Commented(m + 4 * kStep, "G04 P" + s_.pierceTime, "piercing time [ms] )"));
    out_.push_back(Commented(m + 5 * kStep, Rapid(s_.cutHeight), "cutting height )"));
    std::int64_t k = m + 6 * kStep;
    out_.push_back(
        Commented(k, FirstCut(contour),
                  Small(contour) ? "XY path cutting speed2 )" : "XY path main cutting speed )"));
    for (std::size_t i = 3; i < contour.size(); ++i) {
      k += kStep;
      out_.push_back(Numbered(k, "G01 " + XY(contour[i])));
    }
    out_.push_back(Commented(k + kStep, "M05", "plasma OFF )"));
    out_.push_back(Commented(k + 2 * kStep, Rapid(s_.floatHeight), "floating height )"));
    return k + 2 * kStep;
  }

  bool Small(const CNCpath& contour) const { return FitsInSquare(contour, s_.smallSize); }

  // The move to the second vertex, at the contour's cutting speed.
  std::string FirstCut(const CNCpath& contour) const {
    return "G01 " + XY(contour[2]) + " F" + (Small(contour) ? s_.feed2 : s_.feed);
  }

  static std::string Rapid(const std::string& z) { return "G00 Z" + z; }

  std::string XY(const ContourPoint& p) const {
    return "X" + s_.signX + GcodeCoordinate(p.x, s_.inches) + " Y" + s_.signY +
           GcodeCoordinate(p.y, s_.inches);
  }

  const GcodeExportSettings& s_;
  std::vector<std::string>& out_;
};

}  // namespace

GcodeExportSettings ReadGcodeExportSettings(const FieldStore& fields,
                                            const AdvancedOptions& advanced,
                                            const NumberParser& parser) {
  constexpr Window kMain = Window::Main;
  constexpr Window kConfig = Window::Configuration;
  GcodeExportSettings s;
  s.inches = parser.imperial;
  s.floatHeight = fields.text(kMain, "xFloatH");
  s.cutHeight = fields.text(kMain, "xCutH");
  s.pierceHeight = fields.text(kMain, "xPierceH");
  s.pierceTime = fields.text(kMain, "eTime");
  s.feed = fields.text(kMain, "xFeed");
  s.feed2 = fields.text(kMain, "xFeed2");
  s.detectionHeight = fields.text(kConfig, "xDetectionH");
  s.detectionSpeed = fields.text(kConfig, "xDetectionS");
  s.ohmic = fields.checked(kConfig, "cOhmic");
  s.floatingHead = fields.checked(kConfig, "cFloating");
  s.arcOk = fields.checked(kConfig, "cArcOk");
  s.correction = fields.text(kConfig, s.ohmic ? "xCor1" : "xCor2");
  s.finishX = fields.text(kConfig, "eENDx");
  s.finishY = fields.text(kConfig, "eENDy");
  s.finishZ = fields.text(kConfig, "eENDz");
  s.smallSize = SmallSquare(fields.text(kConfig, "xSmall"), parser);
  s.signX = advanced.GCodeSignX;
  s.signY = advanced.GCodeSignY;
  s.title = advanced.GCodeComment;
  return s;
}

std::string GcodeCoordinate(std::int32_t units, bool inches) {
  double value = units / 100.0;
  if (inches) value = std::round(value / 25.4 * 1e4) / 1e4;
  if (value == 0.0) return "0";  // never "-0"
  // The shortest digits that read back as the same double: no trailing zeros.
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  return std::string(buffer, result.ptr);
}

std::vector<std::string> GcodeExportLines(const tCNCPath& job, const GcodeExportSettings& settings,
                                          GcodeExportFormat format, const std::string& fileName) {
  std::vector<std::string> lines;
  ExportWriter writer(settings, lines);
  if (format == GcodeExportFormat::Standard)
    writer.Standard(job, fileName);
  else
    writer.Bare(job);
  return lines;
}

FileResult WriteGcodeExport(const std::string& fileName, const tCNCPath& job,
                            const GcodeExportSettings& settings, GcodeExportFormat format) {
  const auto lines = GcodeExportLines(job, settings, format, fileName);
  return WriteFileAtomically(fileName, Utf8ToCp1250(JoinLinesCrLf(lines)));
}

}  // namespace corvane
