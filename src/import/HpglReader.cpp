#include "import/HpglReader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "import/ArcFlattening.h"
#include "import/GcodeReader.h"
#include "import/TextLines.h"
#include "model/NumberParser.h"
#include "ports/ProgramLog.h"

namespace corvane {
namespace {

constexpr double kPi = std::numbers::pi;

// Longer commands or numbers mean nothing in HPGL; keeping them short keeps a
// hostile line from being copied into memory and the log.
constexpr std::size_t kMaxTokenLength = 64;

// AA and AR take a centre, a sweep and a chord angle; no other command that is
// read needs more. Pairs of PU, PD and PA act as soon as they are read, so a
// command of any length never holds more numbers than this.
constexpr std::size_t kMaxKeptNumbers = 4;

// A pen-up move closer than this (0.01 mm) to the last pen-down point continues the stroke.
constexpr std::int64_t kJoinDistance = 10;

// An arc shorter than this (0.01 mm) is drawn as a straight step to its end:
// its rounded end point could not tell which way it turns.
constexpr double kShortestArc = 2;

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The letters of a command, upper case; a command is never longer than kMaxTokenLength.
std::string LettersOf(std::string_view text) {
  std::string letters;
  for (const char raw : text) {
    const char c = Upper(raw);
    if (c >= 'A' && c <= 'Z' && letters.size() < kMaxTokenLength) letters.push_back(c);
  }
  return letters;
}

// Calls take(number) for every number of a command's text, in order: "-", ".",
// "/" and digits make a number; "," and a space after a digit end it.
template <typename Take>
void ForEachNumber(std::string_view text, Take&& take) {
  std::string number;
  char previous = 0;
  for (const char c : text) {
    if (c >= '-' && c <= '9') {
      if (number.size() < kMaxTokenLength) number.push_back(c);
      else if (number.back() != '~') number.push_back('~');  // unreadable: ParseInt1 logs it
    } else if ((c == ',' || (c == ' ' && IsDigit(previous))) && !number.empty()) {
      take(number);
      number.clear();
    }
    previous = c;
  }
  if (!number.empty()) take(number);
}

// HPGL mnemonics are two letters; more letters in one command are label text or
// commands run together without ";", reported under their first two.
std::string ReportName(const std::string& letters) {
  if (letters.empty()) return "(numbers only)";
  return letters.size() <= 2 ? letters : letters.substr(0, 2) + "...";
}

// Commands outside the read set whose loss an operator must know about.
bool Draws(const std::string& mnemonic) {
  for (const char* name : {"PR", "PE", "EA", "ER", "RA", "RR", "EW", "WG", "LB"})
    if (mnemonic == name) return true;
  return false;
}
bool Scales(const std::string& mnemonic) {
  return mnemonic == "SC" || mnemonic == "IP" || mnemonic == "IR";
}

std::string Joined(const std::set<std::string>& names) {
  std::string text;
  for (const auto& name : names) {
    if (!text.empty()) text += ", ";
    text += name;
  }
  return text;
}

MmPoint MmOf(ClipperLib::IntPoint p) {
  return {static_cast<double>(p.X) / 100, static_cast<double>(p.Y) / 100};
}

class HpglReading {
 public:
  HpglReading(const ImportOptions& options, const NumberParser& parser, ProgramLog& log,
              TPaths& paths, ImportReport& report)
      : parser_(parser), log_(log), sink_(paths), report_(report),
        scale_(options.scaleHPGL * 2.5), fastCalc_(options.fastCalc) {}

  void ReadLine(std::string_view line) {
    std::size_t at = 0;
    while (at < line.size() && !sink_.exhausted()) {
      const std::size_t end = line.find(';', at);
      if (end == std::string_view::npos) {
        PassOverUnterminated(line.substr(at));
        return;
      }
      Execute(line.substr(at, end - at));
      at = end + 1;
    }
  }

  // End of the file: a lone pen-up point is no stroke.
  bool Finish() {
    DropOnePointPath();
    if (sink_.exhausted()) log_.WriteLog(sink_.BudgetMessage("HPGL"));
    report_.units = "plotter units (0.025 mm)";
    report_.scale = scale_;
    NoteWhatWasLost();
    return !sink_.empty();
  }

 private:
  // One command, the text before its ";".
  void Execute(std::string_view text) {
    const std::string command = LettersOf(text);
    if (command.empty() && std::none_of(text.begin(), text.end(), IsDigit)) return;
    const bool pairs = command == "PU" || command == "PD" || command == "PA";
    std::vector<std::string> kept;
    std::string x;
    ForEachNumber(text, [&](const std::string& number) {
      if (sink_.exhausted()) return;  // nothing more is stored, nor worth a log line
      if (!pairs) {
        if (kept.size() < kMaxKeptNumbers) kept.push_back(number);
      } else if (x.empty()) {
        x = number;
      } else {
        const ClipperLib::IntPoint p{Convert(x), Convert(number)};
        x.clear();
        if (command == "PD") PenDown(p);
        else if (command == "PU") PenUp(p);
        else PlotAbsolute(p);
      }
    });
    if (command == "PD") {
      penDown_ = true;
    } else if (command == "PU") {
      penDown_ = false;
    } else if (command == "SP") {
      if (!kept.empty()) pen_ = parser_.ParseInt1(kept.front());
    } else if (command == "AA" || command == "AR") {
      ArcCommand(command, kept);
    } else if (command == "CI") {
      Circle(kept);
    } else if (!pairs) {
      ++report_.skipped[ReportName(command)];
    }
  }

  void PassOverUnterminated(std::string_view text) {
    const std::string command = LettersOf(text);
    if (command.empty() && std::none_of(text.begin(), text.end(), IsDigit)) return;
    ++report_.skipped[ReportName(command) + " without ;"];
  }

  void PenDown(ClipperLib::IntPoint p) {
    EnsurePathForPenDown(p);
    lastDown_ = position_ = p;
    sink_.Append(p);
  }

  void PenUp(ClipperLib::IntPoint p) {
    DropOnePointPath();
    position_ = p;
    if (std::llabs(p.X - lastDown_.X) > kJoinDistance || std::llabs(p.Y - lastDown_.Y) > kJoinDistance)
      sink_.OpenPathAt(pen_, p);
  }

  void PlotAbsolute(ClipperLib::IntPoint p) {
    position_ = p;
    if (penDown_) {
      sink_.Append(p);
      return;
    }
    DropOnePointPath();
    sink_.OpenPathAt(pen_, p);
  }

  // A stroke with no pen-up move before it starts at its own first point.
  void EnsurePathForPenDown(ClipperLib::IntPoint first) {
    if (!sink_.empty()) return;
    log_.WriteLog("HPGL: No PU command first !");
    sink_.OpenPathAt(pen_, first);
  }

  // AA x,y,sweep[,chord] about an absolute centre, AR about one relative to the pen.
  void ArcCommand(const std::string& command, const std::vector<std::string>& numbers) {
    if (numbers.size() < 3) {
      PassOverIncomplete(command, "a centre and a sweep angle");
      return;
    }
    double cx = static_cast<double>(Convert(numbers[0]));
    double cy = static_cast<double>(Convert(numbers[1]));
    if (command == "AR") {
      cx += static_cast<double>(position_.X);
      cy += static_cast<double>(position_.Y);
    }
    const double sweep = parser_.ParseFloat(numbers[2]) * kPi / 180;
    if (!penDown_) {
      PenUp(EndOfArc(cx, cy, sweep));
      return;
    }
    EnsurePathForPenDown(position_);
    lastDown_ = position_ = DrawArc(cx, cy, sweep);
  }

  // CI r[,chord]: a whole circle round the pen, drawn whatever the pen state;
  // the pen comes back to the centre up and then takes its old state again.
  // A negative radius starts the circle at 180 degrees.
  void Circle(const std::vector<std::string>& numbers) {
    if (numbers.empty()) {
      PassOverIncomplete("CI", "a radius");
      return;
    }
    const std::int64_t radius = Convert(numbers.front());
    if (static_cast<double>(std::llabs(radius)) < kShortestArc) return;
    const ClipperLib::IntPoint centre = position_;
    const ClipperLib::IntPoint start{centre.X + radius, centre.Y};
    const bool down = penDown_;
    PenUp(start);
    if (sink_.empty()) sink_.OpenPathAt(pen_, start);
    lastDown_ = start;
    DrawArc(static_cast<double>(centre.X), static_cast<double>(centre.Y), 2 * kPi);
    PenUp(centre);
    penDown_ = down;
  }

  void PassOverIncomplete(const std::string& command, const std::string& needs) {
    if (report_.skipped[command + " (incomplete)"]++ == 0)
      log_.WriteLog("HPGL: " + command + " without " + needs + " is passed over");
  }

  // Where an arc from the pen about (cx, cy) ends, rounded as its last vertex is.
  ClipperLib::IntPoint EndOfArc(double cx, double cy, double sweep) const {
    if (std::fabs(sweep) >= 2 * kPi) return position_;
    const double sx = static_cast<double>(position_.X), sy = static_cast<double>(position_.Y);
    const double radius = std::hypot(sx - cx, sy - cy);
    const double a = std::atan2(sy - cy, sx - cx) + sweep;
    return {ToImportUnits(cx + radius * std::cos(a)), ToImportUnits(cy + radius * std::sin(a))};
  }

  // Appends the arc from the pen about (cx, cy) through sweep radians
  // (counter-clockwise when positive, at most a full turn) to the last path; its end.
  ClipperLib::IntPoint DrawArc(double cx, double cy, double sweep) {
    const ClipperLib::IntPoint end = EndOfArc(cx, cy, sweep);
    const double sx = static_cast<double>(position_.X), sy = static_cast<double>(position_.Y);
    const double radius = std::hypot(sx - cx, sy - cy);
    const double turn = std::min(std::fabs(sweep), 2 * kPi);
    const std::size_t before = sink_.last().size() - 1;
    if (!(radius * turn >= kShortestArc)) {
      if (end != position_) sink_.Append(end);
      return end;
    }
    // A full turn starts and ends at one point, which the flattening takes for
    // a whole circle. Other sweeps go in pieces of at most half a turn: their
    // start and end angles lie far apart, so that a sweep of nearly a full turn
    // is never taken for a tiny one.
    const int pieces = turn >= 2 * kPi ? 1 : turn > kPi ? 2 : 1;
    const double a0 = std::atan2(sy - cy, sx - cx);
    const ArcDirection direction = sweep > 0 ? ArcDirection::CounterClockwise : ArcDirection::Clockwise;
    MmPoint from = MmOf(position_);
    for (int k = 1; k <= pieces; ++k) {
      const double a = a0 + std::copysign(turn, sweep) * k / pieces;
      const MmPoint to = k == pieces ? MmOf(end)
                                     : MmPoint{(cx + radius * std::cos(a)) / 100,
                                               (cy + radius * std::sin(a)) / 100};
      FlattenArc(direction, from, to, cx / 100 - from.x, cy / 100 - from.y, 0, fastCalc_, sink_);
      from = to;
    }
    ++report_.curvesApproximated;
    report_.worstChordError =
        std::max(report_.worstChordError, WorstChordError(sink_.last(), before, radius));
    return end;
  }

  void DropOnePointPath() {
    if (!sink_.empty() && sink_.last().size() == 2) sink_.RemoveLastPath();
  }

  std::int64_t Convert(const std::string& text) const {
    return ToImportUnits(static_cast<double>(parser_.ParseInt1(text)) * scale_);
  }

  // Says which lost commands change the drawing, beyond their counts; the
  // log gets the losses an operator would otherwise find only on the table.
  void NoteWhatWasLost() {
    std::set<std::string> drawing, scaling;
    std::size_t unterminated = 0;
    for (const auto& [name, count] : report_.skipped) {
      const std::string mnemonic = name.substr(0, 2);
      if (Draws(mnemonic)) drawing.insert(mnemonic);
      if (Scales(mnemonic)) scaling.insert(mnemonic);
      if (name.ends_with(" without ;")) unterminated += count;
    }
    if (unterminated > 0) {
      report_.notes.push_back("commands are read only when a \";\" ends them on their line");
      log_.WriteLog("HPGL: " + std::to_string(unterminated) +
                    " commands without a closing \";\" on their line were not read");
    }
    if (!drawing.empty()) {
      report_.notes.push_back("not drawn: " + Joined(drawing) + " (outside the commands read)");
      log_.WriteLog("HPGL: not drawn: " + Joined(drawing) + " (outside the commands read)");
    }
    if (!scaling.empty())
      report_.notes.push_back("not applied: " + Joined(scaling) +
                              " (coordinates are read as plotter units)");
  }

  const NumberParser& parser_;
  ProgramLog& log_;
  ImportPathSink sink_;
  ImportReport& report_;
  double scale_;
  bool fastCalc_;
  std::int64_t pen_ = 0;
  bool penDown_ = false;
  ClipperLib::IntPoint lastDown_{0, 0};
  ClipperLib::IntPoint position_{0, 0};
};

}  // namespace

bool ReadHpgl(std::string_view text, const ImportOptions& options, const NumberParser& parser,
              ProgramLog& log, TPaths& paths, ImportReport* report) {
  paths.clear();
  ImportReport unused;
  HpglReading reading(options, parser, log, paths, report ? *report : unused);
  ForEachLine(text, [&](std::string_view line) {
    reading.ReadLine(line);
    return true;
  });
  return reading.Finish();
}

}  // namespace corvane
