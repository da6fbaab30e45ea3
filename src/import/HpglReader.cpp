#include "import/HpglReader.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "import/TextLines.h"
#include "model/NumberParser.h"
#include "ports/ProgramLog.h"

namespace corvane {
namespace {

// Longer commands or numbers mean nothing in the subset; keeping them short
// keeps a hostile line from being copied into memory and the log.
constexpr std::size_t kMaxTokenLength = 64;

// A pen-up move closer than this (0.01 mm) to the last pen-down point continues the stroke.
constexpr std::int64_t kJoinDistance = 10;

class HpglReading {
 public:
  HpglReading(const ImportOptions& options, const NumberParser& parser, ProgramLog& log,
              TPaths& paths)
      : parser_(parser), log_(log), sink_(paths), scale_(options.scaleHPGL * 2.5) {}

  void ReadLine(std::string_view line) {
    ResetCommand();
    char previous = 0;
    for (const char raw : line) {
      const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(raw)));
      if (c == ';') {
        Execute();
        ResetCommand();
      } else if (c >= 'A' && c <= 'Z') {
        if (command_.size() < kMaxTokenLength) command_.push_back(c);
      } else if (c >= '-' && c <= '9') {
        std::string& number = numbers_.back();
        if (number.size() < kMaxTokenLength) number.push_back(c);
        else if (number.back() != '~') number.push_back('~');  // unreadable: ParseInt1 logs it
      } else if (c == ',' || (c == ' ' && std::isdigit(static_cast<unsigned char>(previous)))) {
        if (!numbers_.back().empty()) numbers_.emplace_back();
      }
      previous = c;
      if (sink_.exhausted()) return;
    }
  }

  // End of the file: a lone pen-up point is no stroke.
  bool Finish() {
    DropOnePointPath();
    if (sink_.exhausted()) log_.WriteLog(sink_.BudgetMessage("HPGL"));
    return !sink_.empty();
  }

 private:
  void ResetCommand() {
    command_.clear();
    numbers_.assign(1, std::string());
  }

  void Execute() {
    std::vector<ClipperLib::IntPoint> points;
    for (std::size_t k = 0; k + 1 < numbers_.size(); k += 2) {
      if (numbers_[k + 1].empty()) break;
      points.push_back({Convert(numbers_[k]), Convert(numbers_[k + 1])});
    }
    if (command_ == "PD") {
      for (const auto p : points) PenDown(p);
      penDown_ = true;
    } else if (command_ == "PU") {
      for (const auto p : points) PenUp(p);
      penDown_ = false;
    } else if (command_ == "PA") {
      for (const auto p : points) PlotAbsolute(p);
    } else if (command_ == "SP") {
      if (!numbers_.front().empty()) pen_ = parser_.ParseInt1(numbers_.front());
    }
  }

  void PenDown(ClipperLib::IntPoint p) {
    lastDown_ = p;
    if (sink_.empty()) {
      log_.WriteLog("HPGL: No PU command first !");
      sink_.OpenPathAt(pen_, p);
    }
    sink_.Append(p);
  }

  void PenUp(ClipperLib::IntPoint p) {
    DropOnePointPath();
    if (std::llabs(p.X - lastDown_.X) > kJoinDistance || std::llabs(p.Y - lastDown_.Y) > kJoinDistance)
      sink_.OpenPathAt(pen_, p);
  }

  void PlotAbsolute(ClipperLib::IntPoint p) {
    if (penDown_) {
      sink_.Append(p);
      return;
    }
    DropOnePointPath();
    sink_.OpenPathAt(pen_, p);
  }

  void DropOnePointPath() {
    if (!sink_.empty() && sink_.last().size() == 2) sink_.RemoveLastPath();
  }

  std::int64_t Convert(const std::string& text) const {
    return ToImportUnits(static_cast<double>(parser_.ParseInt1(text)) * scale_);
  }

  const NumberParser& parser_;
  ProgramLog& log_;
  ImportPathSink sink_;
  double scale_;
  std::int64_t pen_ = 0;
  bool penDown_ = false;
  ClipperLib::IntPoint lastDown_{0, 0};
  std::string command_;
  std::vector<std::string> numbers_{std::string()};
};

}  // namespace

bool ReadHpgl(std::string_view text, const ImportOptions& options, const NumberParser& parser,
              ProgramLog& log, TPaths& paths) {
  paths.clear();
  HpglReading reading(options, parser, log, paths);
  ForEachLine(text, [&](std::string_view line) {
    reading.ReadLine(line);
    return true;
  });
  return reading.Finish();
}

}  // namespace corvane
