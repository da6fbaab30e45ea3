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

// Longer numbers mean nothing in HPGL; keeping them short keeps a hostile
// file from being copied into memory and the log.
constexpr std::size_t kMaxTokenLength = 64;

// SC takes the most numbers of the commands read (seven); pairs of PU, PD, PA
// and PR act as soon as they are read, so a command of any length never holds more.
constexpr std::size_t kMaxKeptNumbers = 8;

// A pen-up move closer than this (0.01 mm) to the last pen-down point continues the stroke.
constexpr std::int64_t kJoinDistance = 10;

// An arc shorter than this (0.01 mm) is drawn as a straight step to its end:
// its rounded end point could not tell which way it turns.
constexpr double kShortestArc = 2;

// The scaling points after IN or an IP without numbers, in plotter units.
constexpr double kDefaultP2 = 10000;

// The label terminator after IN (ETX); DT changes it.
constexpr char kDefaultLabelEnd = '\x03';

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Calls take(number) for every number of a command's parameter text, in order:
// "-", "+", ".", "/" and digits make a number; ",", white space, and a sign after
// a digit end it ("PA10-20" is 10,-20). Quoted text is passed over.
template <typename Take>
void ForEachNumber(std::string_view text, Take&& take) {
  std::string number;
  bool quoted = false;
  for (const char c : text) {
    if (c == '"') quoted = !quoted;
    if (quoted || c == '"') continue;
    const bool sign = c == '-' || c == '+';
    if (sign && !number.empty() && IsDigit(number.back())) {
      take(number);
      number.clear();
    }
    if ((c >= '-' && c <= '9') || c == '+') {
      if (c == '+') continue;
      if (number.size() < kMaxTokenLength) number.push_back(c);
      else if (number.back() != '~') number.push_back('~');  // unreadable: the parser logs it
    } else if (!number.empty()) {
      take(number);
      number.clear();
    }
  }
  if (!number.empty()) take(number);
}

// One point of the plotter's coordinate space (plotter units, 0.025 mm).
struct PlotterPoint {
  double x = 0;
  double y = 0;
};

// Decodes the numbers of a PE (polyline encoded) command: base-64 digits in
// 8-bit mode (63..126 go on, 191..254 end a number), base-32 digits in 7-bit
// mode (63..94 go on, 95..126 end), least significant first; the lowest bit of
// the result is the sign. take(flag, value) gets the flag character that came
// before the number (0 for none) and the number.
template <typename Take>
void ForEachEncoded(std::string_view text, Take&& take) {
  // Bytes 128..190 are no digit in either mode; a text holding them was passed
  // through a UTF-8 conversion on its way, and each two-byte sequence stands
  // for the byte it encodes.
  const bool utf8 = std::any_of(text.begin(), text.end(), [](char c) {
    const int b = static_cast<unsigned char>(c);
    return b >= 128 && b <= 190;
  });
  bool sevenBit = false;
  std::uint64_t value = 0, weight = 1;
  char flag = 0;
  for (std::size_t k = 0; k < text.size(); ++k) {
    int c = static_cast<unsigned char>(text[k]);
    if (utf8 && (c == 0xC2 || c == 0xC3) && k + 1 < text.size()) {
      const int next = static_cast<unsigned char>(text[k + 1]);
      if (next >= 0x80 && next <= 0xBF) c = ((c & 0x1F) << 6) | (next & 0x3F), ++k;
    }
    if (c == '7') { sevenBit = true; continue; }
    if (c == ':' || c == '<' || c == '>' || c == '=') {
      if (c == '<' || c == '=') take(static_cast<char>(c), 0.0);  // applies to the next pair
      else flag = static_cast<char>(c);  // the next number belongs to the flag
      continue;
    }
    const int base = sevenBit ? 32 : 64;
    int digit = -1;
    bool last = false;
    if (c >= 63 && c < 63 + base) digit = c - 63;
    else if (!sevenBit && c >= 191 && c <= 254) digit = c - 191, last = true;
    else if (sevenBit && c >= 95 && c <= 126) digit = c - 95, last = true;
    if (digit < 0) continue;  // spaces, line ends and other characters mean nothing
    if (weight < (std::uint64_t{1} << 56)) value += static_cast<std::uint64_t>(digit) * weight;
    weight *= static_cast<std::uint64_t>(base);
    if (!last) continue;
    const double magnitude = static_cast<double>(value >> 1);
    take(flag == ':' || flag == '>' ? flag : 0, (value & 1) ? -magnitude : magnitude);
    if (flag == ':' || flag == '>') flag = 0;
    value = 0;
    weight = 1;
  }
}

// Commands outside the read set whose loss an operator must know about.
bool Draws(const std::string& mnemonic) {
  for (const char* name : {"EA", "ER", "RA", "RR", "EW", "WG", "LB"})
    if (mnemonic == name) return true;
  return false;
}
bool Scales(const std::string& mnemonic) {
  return mnemonic == "IR" || mnemonic == "RO";
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

  // The whole text: a command is two letters and its parameters, ended by ";",
  // by the next command's letters or by the end of the text; line ends are
  // white space. Labels (LB) run to the label terminator, PE to its ";".
  void Read(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && !sink_.exhausted()) {
      if (text[at] == '\x1b') {  // device control ("ESC.(", "ESC%-1B"): not drawing
        at = SkipDeviceControl(text, at + 1);
        continue;
      }
      if (!IsLetter(text[at]) || at + 1 >= text.size() || !IsLetter(text[at + 1])) {
        ++at;
        continue;
      }
      const std::string command{Upper(text[at]), Upper(text[at + 1])};
      at += 2;
      if (command == "LB" || command == "BL" || command == "WD") {
        at = std::min(text.find(labelEnd_, at), text.size());
        ++report_.skipped[command];
        continue;
      }
      if (command == "DT") {
        if (at < text.size() && text[at] != ';') labelEnd_ = text[at++];
        else labelEnd_ = kDefaultLabelEnd;
      }
      if (command == "SM" && at < text.size() && text[at] != ';') ++at;  // the symbol itself
      const std::size_t end = command == "PE" ? std::min(text.find(';', at), text.size())
                                              : EndOfParameters(text, at);
      if (command == "PE") Encoded(text.substr(at, end - at));
      else Execute(command, text.substr(at, end - at));
      at = end;
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
  static std::size_t SkipDeviceControl(std::string_view text, std::size_t at) {
    // ESC, a class character, then parameters up to a ":" or a letter.
    for (++at; at < text.size(); ++at)
      if (text[at] == ':' || IsLetter(text[at])) return at + 1;
    return at;
  }

  // Parameters run to ";", to the next letter outside quotes, or to the end.
  static std::size_t EndOfParameters(std::string_view text, std::size_t at) {
    bool quoted = false;
    for (; at < text.size(); ++at) {
      const char c = text[at];
      if (c == '"') quoted = !quoted;
      else if (!quoted && (c == ';' || IsLetter(c) || c == '\x1b')) return at;
    }
    return at;
  }

  // One command with its parameter text.
  void Execute(const std::string& command, std::string_view text) {
    const bool pairs = command == "PU" || command == "PD" || command == "PA" || command == "PR";
    if (command == "PA") relative_ = false;
    if (command == "PR") relative_ = true;
    std::vector<std::string> kept;
    std::string x;
    ForEachNumber(text, [&](const std::string& number) {
      if (sink_.exhausted()) return;  // nothing more is stored, nor worth a log line
      if (!pairs) {
        if (kept.size() < kMaxKeptNumbers) kept.push_back(number);
      } else if (x.empty()) {
        x = number;
      } else {
        const double ux = Number(x), uy = Number(number);
        x.clear();
        const PlotterPoint p = relative_ ? Moved(ux, uy) : Scaled(ux, uy);
        if (command == "PD") PenDown(p);
        else if (command == "PU") PenUp(p);
        else PlotTo(p);
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
    } else if (command == "IN") {
      Initialise();
    } else if (command == "IP") {
      ScalingPoints(kept);
    } else if (command == "SC") {
      Scaling(kept);
    } else if (!pairs && command != "DT") {
      ++report_.skipped[command];
    }
  }

  void Initialise() {
    p1_ = {0, 0};
    p2_ = {kDefaultP2, kDefaultP2};
    scaling_.clear();
    ApplyScaling();
    relative_ = false;
    penDown_ = false;
    labelEnd_ = kDefaultLabelEnd;
  }

  // IP p1x,p1y[,p2x,p2y]: with two numbers P2 keeps its distance from P1;
  // without numbers the points of IN. The scaling (SC) follows the points.
  void ScalingPoints(const std::vector<std::string>& numbers) {
    if (numbers.empty()) {
      p1_ = {0, 0};
      p2_ = {kDefaultP2, kDefaultP2};
    } else if (numbers.size() == 2 || numbers.size() == 4) {
      const PlotterPoint p1{Plain(numbers[0]), Plain(numbers[1])};
      p2_ = numbers.size() == 4 ? PlotterPoint{Plain(numbers[2]), Plain(numbers[3])}
                                : PlotterPoint{p2_.x + p1.x - p1_.x, p2_.y + p1.y - p1_.y};
      p1_ = p1;
    } else {
      PassOverIncomplete("IP", "two or four numbers");
      return;
    }
    ApplyScaling();
  }

  // SC xmin,xmax,ymin,ymax[,type[,left,bottom]] maps user units onto P1..P2
  // (type 0), with one factor for both axes placed by left and bottom
  // percent (type 1), or SC xmin,xfactor,ymin,yfactor,2 with factors
  // (plotter units per user unit); without numbers the scaling ends.
  void Scaling(const std::vector<std::string>& numbers) {
    scaling_.clear();
    if (numbers.empty()) {
      ApplyScaling();
      return;
    }
    if (numbers.size() < 4) {
      PassOverIncomplete("SC", "four numbers");
      ApplyScaling();
      return;
    }
    for (const auto& number : numbers) scaling_.push_back(parser_.ParseFloat(number));
    ApplyScaling();
  }

  void ApplyScaling() {
    scaleX_ = {0, 1};
    scaleY_ = {0, 1};
    if (scaling_.empty()) return;
    const double type = scaling_.size() > 4 ? scaling_[4] : 0;
    if (type == 2) {  // point factor
      scaleX_ = {p1_.x - scaling_[0] * scaling_[1], scaling_[1]};
      scaleY_ = {p1_.y - scaling_[2] * scaling_[3], scaling_[3]};
      return;
    }
    const double spanX = scaling_[1] - scaling_[0], spanY = scaling_[3] - scaling_[2];
    if (spanX == 0 || spanY == 0) {
      log_.WriteLog("HPGL: SC with an empty range is passed over; coordinates stay plotter units");
      ++report_.skipped["SC (empty range)"];
      scaling_.clear();
      return;
    }
    double fx = (p2_.x - p1_.x) / spanX, fy = (p2_.y - p1_.y) / spanY;
    double leftX = p1_.x, bottomY = p1_.y;
    if (type == 1) {  // isotropic: the smaller factor, the spare room split by left and bottom
      const double f = std::min(std::fabs(fx), std::fabs(fy));
      const double left = scaling_.size() > 5 ? scaling_[5] : 50;
      const double bottom = scaling_.size() > 6 ? scaling_[6] : 50;
      const double fxIso = std::copysign(f, fx), fyIso = std::copysign(f, fy);
      leftX += (p2_.x - p1_.x - fxIso * spanX) * left / 100;
      bottomY += (p2_.y - p1_.y - fyIso * spanY) * bottom / 100;
      fx = fxIso;
      fy = fyIso;
    }
    scaleX_ = {leftX - scaling_[0] * fx, fx};
    scaleY_ = {bottomY - scaling_[2] * fy, fy};
  }

  // A user-unit point in plotter units, and the pen moved by a user-unit step.
  PlotterPoint Scaled(double ux, double uy) const {
    return {scaleX_.offset + ux * scaleX_.factor, scaleY_.offset + uy * scaleY_.factor};
  }
  PlotterPoint Moved(double dx, double dy) const {
    return {pen_at_.x + dx * scaleX_.factor, pen_at_.y + dy * scaleY_.factor};
  }

  // PE: moves in encoded numbers; every pair is relative to the pen unless
  // "=" comes before it and drawn unless "<" does; ":" selects a pen and ">"
  // sets the fractional bits. The pen stays as the last move left it.
  void Encoded(std::string_view text) {
    int fractionalBits = 0;
    bool up = false, absolute = false, haveX = false;
    double x = 0;
    ForEachEncoded(text, [&](char flag, double value) {
      if (sink_.exhausted()) return;
      if (flag == '<') { up = true; return; }
      if (flag == '=') { absolute = true; return; }
      if (flag == ':') { pen_ = static_cast<std::int64_t>(value); return; }
      if (flag == '>') { fractionalBits = static_cast<int>(std::clamp(value, 0.0, 26.0)); return; }
      value = std::ldexp(value, -fractionalBits);
      if (!haveX) {
        x = value;
        haveX = true;
        return;
      }
      haveX = false;
      const PlotterPoint p = absolute ? Scaled(x, value) : Moved(x, value);
      if (up) PenUp(p);
      else PenDown(p);
      penDown_ = !up;
      up = absolute = false;
    });
  }

  // A number of a coordinate: whole plotter units without scaling, any user units with it.
  double Number(const std::string& text) const {
    return scaling_.empty() ? parser_.ParseInt1(text) : parser_.ParseFloat(text);
  }
  double Plain(const std::string& text) const { return parser_.ParseInt1(text); }

  ClipperLib::IntPoint Import(PlotterPoint p) const {
    return {ToImportUnits(p.x * scale_), ToImportUnits(p.y * scale_)};
  }

  void PlotTo(PlotterPoint p) {
    PlotAbsolute(Import(p));
    pen_at_ = p;
  }

  void PenDown(PlotterPoint p) {
    PenDown(Import(p));
    pen_at_ = p;
  }

  void PenUp(PlotterPoint p) {
    PenUp(Import(p));
    pen_at_ = p;
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
    const double ux = Number(numbers[0]), uy = Number(numbers[1]);
    const PlotterPoint centre = command == "AR" ? Moved(ux, uy) : Scaled(ux, uy);
    const double cx = static_cast<double>(ToImportUnits(centre.x * scale_));
    const double cy = static_cast<double>(ToImportUnits(centre.y * scale_));
    const double sweep = parser_.ParseFloat(numbers[2]) * kPi / 180;
    if (!penDown_) {
      PenUp(EndOfArc(cx, cy, sweep));
      PenAtPosition();
      return;
    }
    EnsurePathForPenDown(position_);
    lastDown_ = position_ = DrawArc(cx, cy, sweep);
    PenAtPosition();
  }

  // CI r[,chord]: a whole circle round the pen, drawn whatever the pen state;
  // the pen comes back to the centre up and then takes its old state again.
  // A negative radius starts the circle at 180 degrees.
  void Circle(const std::vector<std::string>& numbers) {
    if (numbers.empty()) {
      PassOverIncomplete("CI", "a radius");
      return;
    }
    // The radius in user units along X (both axes alike unless the scaling stretches).
    const std::int64_t radius = ToImportUnits(Number(numbers.front()) * scaleX_.factor * scale_);
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

  // The pen after an arc or circle, from the vertex it ended on.
  void PenAtPosition() { pen_at_ = {position_.X / scale_, position_.Y / scale_}; }

  // Says which lost commands change the drawing, beyond their counts; the
  // log gets the losses an operator would otherwise find only on the table.
  void NoteWhatWasLost() {
    std::set<std::string> drawing, scaling;
    for (const auto& entry : report_.skipped) {
      const std::string& name = entry.first;
      const std::string mnemonic = name.substr(0, 2);
      if (Draws(mnemonic)) drawing.insert(mnemonic);
      if (Scales(mnemonic)) scaling.insert(mnemonic);
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
  ClipperLib::IntPoint position_{0, 0};  // the pen, in 0.01 mm
  PlotterPoint pen_at_;                   // the pen, in plotter units
  bool relative_ = false;                 // PR given: pairs of PU and PD are steps
  PlotterPoint p1_{0, 0}, p2_{kDefaultP2, kDefaultP2};
  std::vector<double> scaling_;           // the numbers of the last SC; empty without
  struct Axis {
    double offset = 0;
    double factor = 1;
  };
  Axis scaleX_, scaleY_;                  // user units to plotter units
  char labelEnd_ = kDefaultLabelEnd;
};

}  // namespace

bool ReadHpgl(std::string_view text, const ImportOptions& options, const NumberParser& parser,
              ProgramLog& log, TPaths& paths, ImportReport* report) {
  paths.clear();
  ImportReport unused;
  HpglReading reading(options, parser, log, paths, report ? *report : unused);
  reading.Read(text);
  return reading.Finish();
}

}  // namespace corvane
