#include "ports/ProgramLog.h"

#include <cstdio>
#include <filesystem>

#include "ports/FileIo.h"
#include "ports/Host.h"
#include "ports/TextCodec.h"

namespace corvane {

std::string ProgramLog::FileNameFor(const LocalDateTime& date) {
  char name[32];
  std::snprintf(name, sizeof name, "%04d_%02d_%02d.txt", date.year, date.month, date.day);
  return name;
}

std::string ProgramLog::FormatLine(int stageCode, const LocalDateTime& time,
                                   const std::string& message) {
  char prefix[40];
  std::snprintf(prefix, sizeof prefix, "|%.3d| %02d:%02d:%02d ", stageCode, time.hour, time.minute,
                time.second);
  return prefix + message;
}

bool ProgramLog::Start(const std::string& logsFolder) {
  std::error_code error;
  std::filesystem::create_directories(logsFolder, error);
  path_ = (std::filesystem::path(logsFolder) / FileNameFor(clock_.localNow())).string();
  firstStartOfDay_ = !std::filesystem::exists(path_, error);
  if (firstStartOfDay_) return static_cast<bool>(AppendToFile(path_, ""));
  WriteLog(kLogSeparator);
  return true;
}

void ProgramLog::WriteFileOnly(const std::string& message) {
  if (path_.empty()) return;
  // A log that cannot be written must never stop the program; the pane still shows it.
  AppendToFile(path_, Utf8ToCp1250(FormatLine(stage, clock_.localNow(), message)) + "\r\n");
}

void ProgramLog::WriteLog(const std::string& message) {
  WriteFileOnly(message);
  if (echo_) echo_->appendLogPane(message);
}

}  // namespace corvane
