#pragma once
#include <string>

#include "ports/Clock.h"

namespace corvane {

// Stage codes printed in every log line: which phase wrote it.
inline constexpr int kStageStopped = 2, kStageJobStart = 10, kStageJobEnd = 11, kStageImport = 100;

class Host;

// The daily program log shared by all profiles. Every line is appended and the
// file closed again at once, so it is always complete on disk.
class ProgramLog {
 public:
  ProgramLog(Clock& clock, Host* echo) : clock_(clock), echo_(echo) {}

  // Fixes today's file below logsFolder (the name keeps the start day for the
  // whole run). A second start on the same day writes the separator line;
  // the first creates the file empty. Returns false when the file cannot be made.
  bool Start(const std::string& logsFolder);
  bool firstStartOfDay() const { return firstStartOfDay_; }
  const std::string& path() const { return path_; }

  // Appends "|ccc| hh:mm:ss message" and echoes the message in the log pane.
  void WriteLog(const std::string& message);
  // The same line in today's file only, for detail the pane would drown in.
  void WriteFileOnly(const std::string& message);

  // Which phase of the program is writing: printed as three digits in every line.
  int stage = 0;

  void setEcho(Host* echo) { echo_ = echo; }
  static std::string FileNameFor(const LocalDateTime& date);
  static std::string FormatLine(int stage, const LocalDateTime& time, const std::string& message);

 private:
  Clock& clock_;
  Host* echo_;
  std::string path_;
  bool firstStartOfDay_ = false;
};

inline constexpr const char* kLogSeparator = "__________________________________";

}  // namespace corvane
