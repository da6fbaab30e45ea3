#include "import/GcodeReader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "import/ArcFlattening.h"
#include "import/TextLines.h"
#include "model/NumberParser.h"
#include "ports/ProgramLog.h"

namespace corvane {
namespace {

enum class Motion { None, Rapid, Line, ArcClockwise, ArcCounterClockwise, AfterTorchOn, AfterTorchOff };

// Removes the spaces, upper-cases and puts a space before every word letter,
// so that N10G1X5.5Y3 becomes "N10 G1 X5.5 Y3".
std::string NormaliseLine(std::string_view line) {
  std::string out;
  out.reserve(line.size() * 2);
  for (const char raw : line) {
    if (raw == ' ') continue;
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(raw)));
    switch (c) {
      case 'P': case 'F': case 'G': case 'M': case 'X': case 'Y': case 'Z':
      case 'I': case 'J': case 'R': case 'S': case '(':
        out.push_back(' ');
        break;
      default:
        break;
    }
    out.push_back(c);
  }
  return out;
}

std::vector<std::string_view> SplitWords(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (at < line.size()) {
    const std::size_t end = std::min(line.find(' ', at), line.size());
    if (end > at) words.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

bool IsCoordinateWord(std::string_view word) {
  const char c = word.front();
  return c == 'X' || c == 'Y' || c == 'I' || c == 'J' || c == 'R';
}

bool IsOneOf(std::string_view word, std::initializer_list<std::string_view> codes) {
  for (const auto code : codes)
    if (word == code) return true;
  return false;
}

bool IsMotionWord(std::string_view word) {
  return IsOneOf(word, {"G0", "G00", "G1", "G01", "G2", "G02", "G3", "G03"});
}

// Plasma post-processors select the tool after the torch code: "M3 $0 S1" is
// normalised to the word "M3$0", which is still torch on. Gives the code alone
// and the tool number in tool (-1 without one).
std::string_view WithoutToolIndex(std::string_view word, long& tool) {
  tool = -1;
  const auto dollar = word.find('$');
  if (word.front() != 'M' || dollar == std::string_view::npos || dollar + 1 == word.size()) return word;
  long number = 0;
  for (std::size_t k = dollar + 1; k < word.size(); ++k) {
    if (!std::isdigit(static_cast<unsigned char>(word[k])) || number > 1'000'000) return word;
    number = number * 10 + (word[k] - '0');
  }
  tool = number;
  return word.substr(0, dollar);
}

// Parameters (#1, #<name>) and expressions ([...]) before the line's comment:
// a flat reader cannot evaluate them, and reading them as numbers would move
// the torch to made-up places.
bool HasExpression(std::string_view line) {
  const auto comment = line.find('(');
  const auto code = line.substr(0, comment);
  return code.find('#') != std::string_view::npos || code.find('[') != std::string_view::npos;
}

// Report names of what the reader passes over.
constexpr const char* kSkippedIncremental = "G91 (incremental, read as absolute)";
constexpr const char* kSkippedPlane = "G18/G19 (arcs read in XY)";
constexpr const char* kSkippedExpression = "moves with parameters or expressions";
constexpr const char* kSkippedOword = "O-word lines (loops, subprograms)";
constexpr const char* kSkippedArcBeforeTorch = "arcs before the first torch-on";
constexpr const char* kSkippedNoCentre = "arcs without a centre (drawn as lines)";
constexpr const char* kSkippedSecondAction = "motion or torch words after a line's first";

class GcodeReading {
 public:
  GcodeReading(const ImportOptions& options, const NumberParser& parser, ProgramLog& log,
               TPaths& paths, ImportReport& report)
      : options_(options), parser_(parser), log_(log), sink_(paths), report_(report),
        codeOn_(NormaliseCode(options.mCodeOn)),
        codeOff_(NormaliseCode(options.mCodeOff)),
        scale_(options.scaleTAP) {}

  void ReadLine(std::string_view raw, std::size_t lineNumber) {
    // A ";" starts a comment that runs to the end of the line: its words are
    // neither read as coordinates nor as codes, and the move before it stands.
    const std::string line = NormaliseLine(raw.substr(0, raw.find(';')));
    if (line.size() < 2) return;
    i_ = j_ = r_ = 0;
    expression_ = HasExpression(line);
    const auto words = SplitWords(line);
    if (words.front().front() == 'O') ++report_.skipped[kSkippedOword];
    for (std::size_t w = 0; w < words.size(); ++w) {
      const auto word = words[w];
      if (word.front() == '(') return;  // a comment runs to the end of the line
      NoteModalCode(word, lineNumber);
      if (ActOn(word, words, lineNumber)) {  // only the first motion or torch word acts
        CountIgnoredActions(words, w + 1);
        return;
      }
    }
  }

  // The units, the scale and the log line for skipped moves, once the file is read.
  void Finish() {
    report_.scale = 100 * scale_;
    if (expressionLines_ > 0)
      log_.WriteLog("G-code: " + std::to_string(expressionLines_) +
                    " moves with parameters or expressions skipped, the first on line " +
                    std::to_string(firstExpressionLine_));
    if (sink_.exhausted()) log_.WriteLog(sink_.BudgetMessage("G-code"));
  }

  bool exhausted() const { return sink_.exhausted(); }

 private:
  void NoteModalCode(std::string_view word, std::size_t lineNumber) {
    if (word == "G20") {
      if (coordinatesRead_ && report_.units != "inch")
        report_.notes.push_back("G20 on line " + std::to_string(lineNumber) +
                                ": coordinates before it were read as mm");
      scale_ = 25.4 * options_.scaleTAP;
      report_.units = "inch";
    } else if (word == "G21" && report_.units.empty()) {
      report_.units = "mm";
    } else if (word == "G91") {
      ++report_.skipped[kSkippedIncremental];
    } else if (word == "G18" || word == "G19") {
      ++report_.skipped[kSkippedPlane];
    }
  }

  // Words that would act on a line of their own but follow the line's first action.
  void CountIgnoredActions(const std::vector<std::string_view>& words, std::size_t from) {
    for (std::size_t w = from; w < words.size() && words[w].front() != '('; ++w) {
      long tool = -1;
      const auto code = WithoutToolIndex(words[w], tool);
      if (IsMotionWord(code) || IsTorchOn(code) || IsTorchOff(code))
        ++report_.skipped[kSkippedSecondAction];
    }
  }

  bool IsTorchOn(std::string_view code) const {
    return IsOneOf(code, {"M3", "M03", "M07"}) || Matches(code, codeOn_);
  }
  bool IsTorchOff(std::string_view code) const {
    return IsOneOf(code, {"M5", "M05", "M08"}) || Matches(code, codeOff_);
  }

  // A move whose coordinates cannot be read is passed over, position and all;
  // only lines that would have moved count.
  bool SkipsExpression(std::string_view code, std::size_t lineNumber) {
    if (!expression_) return false;
    const bool moves = IsMotionWord(code) || motion_ == Motion::Rapid || motion_ == Motion::Line ||
                       motion_ == Motion::ArcClockwise || motion_ == Motion::ArcCounterClockwise;
    if (!moves) return true;
    if (expressionLines_++ == 0) firstExpressionLine_ = lineNumber;
    ++report_.skipped[kSkippedExpression];
    return true;
  }

  // Does what one word says; true when the word was the line's acting word.
  bool ActOn(std::string_view word, const std::vector<std::string_view>& words,
             std::size_t lineNumber) {
    // The operator's own codes are matched as written, so that they may carry a tool index.
    long tool = -1;
    const std::string_view code =
        Matches(word, codeOn_) || Matches(word, codeOff_) ? word : WithoutToolIndex(word, tool);
    const bool g1 = IsOneOf(code, {"G1", "G01"});
    const bool motion = IsMotionWord(code) || IsCoordinateWord(code);
    if (motion && SkipsExpression(code, lineNumber)) return true;
    if (IsOneOf(code, {"G0", "G00"}) || (!torchOn_ && g1)) {
      ReadCoordinates(words);
      motion_ = Motion::Rapid;
    } else if (g1) {
      CutLine(words);
    } else if (IsOneOf(code, {"G2", "G02"})) {
      Arc(ArcDirection::Clockwise, words, lineNumber);
    } else if (IsOneOf(code, {"G3", "G03"})) {
      Arc(ArcDirection::CounterClockwise, words, lineNumber);
    } else if (IsTorchOn(code)) {
      const bool ownCode = !IsOneOf(code, {"M3", "M03", "M07"});
      sink_.OpenPathAt(ownCode ? kLayerGcodeOwnCode : kLayerGcodeTorch, PointOf(x_, y_));
      torchOn_ = true;
      motion_ = Motion::AfterTorchOn;
      NoteTool(tool);
    } else if (IsTorchOff(code)) {
      torchOn_ = false;
      motion_ = Motion::AfterTorchOff;
    } else if (IsCoordinateWord(code)) {
      RepeatMotion(words, lineNumber);
    } else {
      return false;
    }
    return true;
  }

  // Tools other than 0 are scribes or spotting tools on most tables; their
  // marks come in as cutting paths, which the operator should know before cutting.
  void NoteTool(long tool) {
    if (tool <= 0 || toolNoted_) return;
    toolNoted_ = true;
    report_.notes.push_back("torch codes with tool $" + std::to_string(tool) +
                            " read as cutting paths on layer 1");
  }

  static bool Matches(std::string_view word, const std::string& code) {
    return !code.empty() && word == code;
  }

  // The operator's own codes, written the way a line's words are normalised.
  static std::string NormaliseCode(const std::string& code) {
    const std::string normal = NormaliseLine(code);
    const auto first = normal.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : normal.substr(first);
  }

  void RepeatMotion(const std::vector<std::string_view>& words, std::size_t lineNumber) {
    switch (motion_) {
      case Motion::Rapid: ReadCoordinates(words); break;
      case Motion::Line: CutLine(words); break;
      case Motion::ArcClockwise: Arc(ArcDirection::Clockwise, words, lineNumber); break;
      case Motion::ArcCounterClockwise:
        Arc(ArcDirection::CounterClockwise, words, lineNumber);
        break;
      default: break;
    }
  }

  void CutLine(const std::vector<std::string_view>& words) {
    ReadCoordinates(words);
    sink_.Append(PointOf(x_, y_));
    motion_ = Motion::Line;
  }

  void Arc(ArcDirection direction, const std::vector<std::string_view>& words,
           std::size_t lineNumber) {
    const MmPoint start{x_, y_};
    r_ = 0;
    ReadCoordinates(words);
    motion_ = direction == ArcDirection::Clockwise ? Motion::ArcClockwise
                                                   : Motion::ArcCounterClockwise;
    if (sink_.empty()) {  // no path to extend before the first torch-on
      ++report_.skipped[kSkippedArcBeforeTorch];
      return;
    }
    const std::size_t before = sink_.last().size() - 1;
    const MmPoint end{x_, y_};
    const auto outcome = FlattenArc(direction, start, end, i_, j_, r_, options_.fastCalc, sink_);
    const double halfChord = std::hypot(end.x - start.x, end.y - start.y) / 2;
    if (outcome == ArcOutcome::RadiusShorterThanHalfChord)
      log_.WriteLog("G-code: arc radius shorter than half the chord, drawn as a half circle: line " +
                    std::to_string(lineNumber));
    else if (outcome == ArcOutcome::NoCentre)
      log_.WriteLog("G-code: arc without a centre, drawn as a line: line " +
                    std::to_string(lineNumber));
    if (outcome == ArcOutcome::NoCentre) {
      ++report_.skipped[kSkippedNoCentre];
      return;
    }
    const double radius = r_ == 0 ? std::hypot(i_, j_)
                          : outcome == ArcOutcome::Drawn ? std::fabs(r_) : halfChord;
    ++report_.curvesApproximated;
    report_.worstChordError =
        std::max(report_.worstChordError, WorstChordError(sink_.last(), before, radius * 100));
  }

  void ReadCoordinates(const std::vector<std::string_view>& words) {
    coordinatesRead_ = true;
    for (const auto word : words) {
      if (word.front() == '(') return;
      if (!IsCoordinateWord(word)) continue;
      const double value =
          parser_.ParseFloatSilent(std::string(word.substr(1, 16))) * scale_;
      switch (word.front()) {
        case 'X': x_ = value; break;
        case 'Y': y_ = value; break;
        case 'I': i_ = value; break;
        case 'J': j_ = value; break;
        default: r_ = value; break;
      }
    }
  }

  static ClipperLib::IntPoint PointOf(double x, double y) {
    return {ToImportUnits(x * 100), ToImportUnits(y * 100)};
  }

  const ImportOptions& options_;
  const NumberParser& parser_;
  ProgramLog& log_;
  ImportPathSink sink_;
  ImportReport& report_;
  std::string codeOn_, codeOff_;
  double scale_;
  double x_ = 0, y_ = 0, i_ = 0, j_ = 0, r_ = 0;
  bool torchOn_ = false;
  Motion motion_ = Motion::None;
  bool expression_ = false;  // the line being read holds a parameter or an expression
  bool coordinatesRead_ = false;
  bool toolNoted_ = false;
  std::size_t expressionLines_ = 0;
  std::size_t firstExpressionLine_ = 0;
};

}  // namespace

bool ReadGcode(std::string_view text, const ImportOptions& options, const NumberParser& parser,
               ProgramLog& log, TPaths& paths, ImportReport* report) {
  paths.clear();
  ImportReport unused;
  GcodeReading reading(options, parser, log, paths, report ? *report : unused);
  std::size_t lineNumber = 0;
  ForEachLine(text, [&](std::string_view line) {
    ++lineNumber;
    reading.ReadLine(line, lineNumber);
    return !reading.exhausted();
  });
  reading.Finish();
  return true;
}

double WorstChordError(const TPath& path, std::size_t first, double radius) {
  double worst = 0;
  for (std::size_t k = std::max<std::size_t>(first, 1); k + 1 < path.size(); ++k) {
    const double halfChord = std::hypot(static_cast<double>(path[k + 1].X - path[k].X),
                                        static_cast<double>(path[k + 1].Y - path[k].Y)) / 2;
    // The sagitta: how far the middle of the arc over this chord lies from it.
    const double sagitta =
        halfChord >= radius ? radius : radius - std::sqrt(radius * radius - halfChord * halfChord);
    worst = std::max(worst, sagitta);
  }
  return worst;
}

}  // namespace corvane
