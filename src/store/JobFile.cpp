#include "store/JobFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "model/JobNormalise.h"
#include "model/NumberParser.h"
#include "ports/ProgramLog.h"
#include "store/SettingsStore.h"
#include "store/StoreFiles.h"
#include "system/System.h"

namespace corvane {
namespace {

constexpr size_t kRecordBytes = 8;
constexpr size_t kMaxJobFileBytes = 256u << 20;

void PutInt32(std::string& out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((bits >> shift) & 0xFF));
}

std::int32_t GetInt32(const char* at) {
  std::uint32_t bits = 0;
  for (int i = 3; i >= 0; --i) bits = (bits << 8) | static_cast<unsigned char>(at[i]);
  return static_cast<std::int32_t>(bits);
}

void PutRecord(std::string& out, Point2 record) {
  PutInt32(out, record.x);
  PutInt32(out, record.y);
}

// The job origin shown in the "Material / Project position" fields.
std::string OriginText(std::int32_t origin, bool imperial) {
  if (!imperial) return NumberParser::FloatToText(origin / 100.0);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3f", origin / 2540.0);
  return buffer;
}

}  // namespace

bool HasOriginRecord(std::string_view path) { return path.ends_with(".cvp2"); }

std::string EncodeJobFile(const tCNCPath& job, std::optional<Point2> origin, ProgramLog& log) {
  std::string out;
  if (origin) PutRecord(out, *origin);
  for (size_t c = 0; c < job.size(); ++c) {
    PutRecord(out, kJobSeparator);
    for (size_t e = 0; e < job[c].size(); ++e) {
      Point2 element{job[c][e].x, job[c][e].y};
      if (element == kJobSeparator) {
        element.y += 1;
        log.WriteLog("Point (12345, 54321) of contour " + std::to_string(c) +
                     " saved as (12345, 54322)");
      }
      PutRecord(out, element);
    }
  }
  return out;
}

JobFileContent DecodeJobFile(std::string_view bytes, bool withOrigin, ProgramLog& log) {
  JobFileContent content;
  const size_t records = bytes.size() / kRecordBytes;
  if (bytes.size() % kRecordBytes != 0)
    log.WriteLog("Job file: " + std::to_string(bytes.size() % kRecordBytes) +
                 " bytes after the last whole record skipped");
  size_t skipped = 0;
  for (size_t r = 0; r < records; ++r) {
    const char* at = bytes.data() + r * kRecordBytes;
    const Point2 record{GetInt32(at), GetInt32(at + 4)};
    const bool beyond = std::abs(static_cast<std::int64_t>(record.x)) > kMaxJobCoordinate ||
                        std::abs(static_cast<std::int64_t>(record.y)) > kMaxJobCoordinate;
    if (beyond && !(r == 0 && withOrigin)) {
      ++content.refused;
    } else if (r == 0 && withOrigin) {
      content.origin = record;
    } else if (record == kJobSeparator) {
      content.job.emplace_back();
    } else if (content.job.empty()) {
      ++skipped;
    } else {
      CNCpath& contour = content.job.back();
      if (!contour.empty()) {
        content.extentX = std::max(content.extentX, record.x);
        content.extentY = std::max(content.extentY, record.y);
      }
      contour.push_back({record.x, record.y});
    }
  }
  if (skipped > 0)
    log.WriteLog("Job file: " + std::to_string(skipped) +
                 " records before the first contour skipped");
  if (content.refused > 0)
    log.WriteLog("Job file: " + std::to_string(content.refused) +
                 " records with a coordinate beyond 10 km refused");
  return content;
}

FileResult WriteJobFile(System& s, const std::string& path) {
  const std::optional<Point2> origin =
      HasOriginRecord(path) ? std::optional<Point2>({s.job.ProjectOriginX, s.job.ProjectOriginY})
                            : std::nullopt;
  const FileResult written = WriteFileAtomically(path, EncodeJobFile(s.job.Job, origin, s.log));
  if (!written) s.log.WriteLog("Job not saved: " + written.error);
  return written;
}

namespace {

// "<path>.unreadable-<date>-<time>", with a number added while that name is taken.
std::string AsideName(System& s, const std::string& path) {
  const LocalDateTime t = s.clock.localNow();
  char stamp[48];
  std::snprintf(stamp, sizeof stamp, ".unreadable-%04d-%02d-%02d-%02d%02d%02d", t.year, t.month,
                t.day, t.hour, t.minute, t.second);
  std::string aside = path + stamp;
  for (int n = 2; FileExists(aside); ++n) aside = path + stamp + "-" + std::to_string(n);
  return aside;
}

// Puts the job into the program's state.
void TakeJob(System& s, JobFileContent content) {
  // Opening a job discards field edits that were not saved.
  LoadSettings(s);
  s.job.Job = std::move(content.job);
  s.job.JobExtentX = content.extentX;
  s.job.JobExtentY = content.extentY;
  // A replaced job has nothing cut yet, and its boxes are its own.
  s.job.ContourBoxes = ComputeContourBoxes(s.job.Job);
  s.job.CurrentContour = -1;
  s.job.PlannedPath.clear();
  if (content.origin) {
    s.job.ProjectOriginX = content.origin->x;
    s.job.ProjectOriginY = content.origin->y;
    s.fields.setText(Window::Main, "xXM", OriginText(content.origin->x, s.parser.imperial));
    s.fields.setText(Window::Main, "xYM", OriginText(content.origin->y, s.parser.imperial));
  }
  s.host.requestRedraw();
}

// The operator's message about records left out of a job.
std::string RefusedText(const std::string& path, std::size_t refused) {
  return "\"" + path + "\": " + std::to_string(refused) +
         " records with a coordinate beyond 10 km were left out";
}

}  // namespace

FileResult ReadJobFile(System& s, const std::string& path) {
  const auto bytes = ReadWholeFile(path, kMaxJobFileBytes);
  if (!bytes) {
    const FileResult failed = FileResult::Failure("Cannot read \"" + path + "\"");
    s.log.WriteLog(failed.error);
    return failed;
  }
  TakeJob(s, DecodeJobFile(*bytes, HasOriginRecord(path), s.log));
  return {};
}

std::string ProjectSaveName(std::string_view typed) {
  constexpr std::string_view kExtension = ".cvp2";
  std::string name(typed);
  const bool has = name.size() >= kExtension.size() &&
                   std::equal(kExtension.begin(), kExtension.end(), name.end() - kExtension.size(),
                              [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
  if (!has) name += kExtension;
  return name;
}

void RestoreJobFile(System& s, const std::string& path) {
  const auto bytes = ReadWholeFile(path, kMaxJobFileBytes);
  std::optional<JobFileContent> content;
  std::string why;
  if (!bytes) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    why = !error && size > kMaxJobFileBytes
              ? "it is larger than " + std::to_string(kMaxJobFileBytes >> 20) + " MB"
              : "it cannot be read";
  } else {
    content = DecodeJobFile(*bytes, HasOriginRecord(path), s.log);
    if (content->job.empty() && !bytes->empty())
      why = "it holds no contour";
    else if (content->refused > 0)
      why = std::to_string(content->refused) + " records with a coordinate beyond 10 km were left out";
  }
  if (!why.empty()) {
    const std::string aside = AsideName(s, path);
    std::error_code error;
    // A job read in part is copied, an unreadable one moved, so that closing
    // writes a fresh file and the operator's stays as it was.
    if (content && !content->job.empty())
      std::filesystem::copy_file(path, aside, error);
    else
      std::filesystem::rename(path, aside, error);
    const std::string message =
        "The job file \"" + path + "\" could not be read whole (" + why + "): " +
        (error ? "it could not be kept aside (" + error.message() + ")"
               : "it is kept as \"" + aside + "\"");
    s.log.WriteLog(message);
    s.host.showError(message);
  }
  if (content) TakeJob(s, std::move(*content));
}

bool SaveProject(System& s, const std::string& typed) {
  const std::string path = ProjectSaveName(typed);
  if (FileExists(path) &&
      s.host.ask(s.messages[kMsgOverwriteProject], Buttons::YesNo) != Answer::Yes)
    return true;
  const FileResult written = WriteJobFile(s, path);
  if (!written) s.host.showError(written.error);
  return static_cast<bool>(written);
}

bool OpenProject(System& s, const std::string& path) {
  if (s.RefusedWhileBusy()) return false;
  const auto bytes = ReadWholeFile(path, kMaxJobFileBytes);
  if (!bytes) {
    const std::string message = "Cannot read \"" + path + "\"";
    s.log.WriteLog(message);
    s.host.showError(message);
    return false;
  }
  // A file that is no job (a drawing picked by mistake) gives no contour: it
  // must not replace the job, or closing would save an empty one over it.
  JobFileContent content = DecodeJobFile(*bytes, HasOriginRecord(path), s.log);
  if (content.job.empty()) {
    const std::string message = "\"" + path + "\" holds no contour: the job is kept";
    s.log.WriteLog(message);
    s.host.showError(message);
    return false;
  }
  const std::size_t refused = content.refused;
  TakeJob(s, std::move(content));
  if (refused > 0) s.host.showError(RefusedText(path, refused));
  return true;
}

}  // namespace corvane
