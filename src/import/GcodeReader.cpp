#include "import/GcodeReader.h"

#include <cctype>
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

class GcodeReading {
 public:
  GcodeReading(const ImportOptions& options, const NumberParser& parser, ProgramLog& log,
               TPaths& paths)
      : options_(options), parser_(parser), log_(log), sink_(paths),
        codeOn_(NormaliseCode(options.mCodeOn)),
        codeOff_(NormaliseCode(options.mCodeOff)),
        scale_(options.scaleTAP) {}

  void ReadLine(std::string_view raw, std::size_t lineNumber) {
    const std::string line = NormaliseLine(raw);
    if (line.size() < 2) return;
    i_ = j_ = r_ = 0;
    const auto words = SplitWords(line);
    for (const auto word : words) {
      if (word.front() == '(') return;  // a comment runs to the end of the line
      if (word == "G20") scale_ = 25.4 * options_.scaleTAP;
      if (ActOn(word, words, lineNumber)) return;  // only the first motion or torch word acts
    }
  }

  bool exhausted() const { return sink_.exhausted(); }
  const ImportPathSink& sink() const { return sink_; }

 private:
  // Does what one word says; true when the word was the line's acting word.
  bool ActOn(std::string_view word, const std::vector<std::string_view>& words,
             std::size_t lineNumber) {
    const bool g1 = IsOneOf(word, {"G1", "G01"});
    if (IsOneOf(word, {"G0", "G00"}) || (!torchOn_ && g1)) {
      ReadCoordinates(words);
      motion_ = Motion::Rapid;
    } else if (g1) {
      CutLine(words);
    } else if (IsOneOf(word, {"G2", "G02"})) {
      Arc(ArcDirection::Clockwise, words, lineNumber);
    } else if (IsOneOf(word, {"G3", "G03"})) {
      Arc(ArcDirection::CounterClockwise, words, lineNumber);
    } else if (IsOneOf(word, {"M3", "M03", "M07"}) || Matches(word, codeOn_)) {
      const bool ownCode = !IsOneOf(word, {"M3", "M03", "M07"});
      sink_.OpenPathAt(ownCode ? kLayerGcodeOwnCode : kLayerGcodeTorch, PointOf(x_, y_));
      torchOn_ = true;
      motion_ = Motion::AfterTorchOn;
    } else if (IsOneOf(word, {"M5", "M05", "M08"}) || Matches(word, codeOff_)) {
      torchOn_ = false;
      motion_ = Motion::AfterTorchOff;
    } else if (IsCoordinateWord(word)) {
      RepeatMotion(words, lineNumber);
    } else {
      return false;
    }
    return true;
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
    if (sink_.empty()) return;  // no path to extend before the first torch-on
    const auto outcome =
        FlattenArc(direction, start, {x_, y_}, i_, j_, r_, options_.fastCalc, sink_);
    if (outcome == ArcOutcome::RadiusShorterThanHalfChord)
      log_.WriteLog("G-code: arc radius shorter than half the chord, drawn as a half circle: line " +
                    std::to_string(lineNumber));
    else if (outcome == ArcOutcome::NoCentre)
      log_.WriteLog("G-code: arc without a centre, drawn as a line: line " +
                    std::to_string(lineNumber));
  }

  void ReadCoordinates(const std::vector<std::string_view>& words) {
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
  std::string codeOn_, codeOff_;
  double scale_;
  double x_ = 0, y_ = 0, i_ = 0, j_ = 0, r_ = 0;
  bool torchOn_ = false;
  Motion motion_ = Motion::None;
};

}  // namespace

bool ReadGcode(std::string_view text, const ImportOptions& options, const NumberParser& parser,
               ProgramLog& log, TPaths& paths) {
  paths.clear();
  GcodeReading reading(options, parser, log, paths);
  std::size_t lineNumber = 0;
  ForEachLine(text, [&](std::string_view line) {
    ++lineNumber;
    reading.ReadLine(line, lineNumber);
    return !reading.exhausted();
  });
  if (reading.exhausted()) log.WriteLog(reading.sink().BudgetMessage("G-code"));
  return true;
}

}  // namespace corvane
