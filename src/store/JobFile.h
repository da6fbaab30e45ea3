#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/JobModel.h"
#include "ports/FileIo.h"

namespace corvane {

class ProgramLog;
class System;

// The record that starts a contour. A vertex at this point would read back as a
// separator, so the writer moves it 0.01 mm up in Y.
inline constexpr Point2 kJobSeparator{12345, 54321};

// No table is 10 km wide: a record beyond this many 0.01 mm either way is
// refused, so that a job's span always fits the 32-bit coordinates it is shifted in.
inline constexpr std::int32_t kMaxJobCoordinate = 1'000'000'000;

// A job file's content after reading.
struct JobFileContent {
  std::optional<Point2> origin;  // the first record of a ".cvp2" file
  tCNCPath job;
  std::int32_t extentX = 1000;
  std::int32_t extentY = 1000;
  std::size_t refused = 0;  // records beyond kMaxJobCoordinate, left out
};

// The origin record belongs to exactly the files whose name ends in ".cvp2".
bool HasOriginRecord(std::string_view path);

// The 8-byte records of a job, with the origin record first when given.
std::string EncodeJobFile(const tCNCPath& job, std::optional<Point2> origin, ProgramLog& log);

// Reads the records of a job file. Elements before the first separator, records
// beyond kMaxJobCoordinate and a trailing part record are skipped with a log
// line; everything sound is kept.
JobFileContent DecodeJobFile(std::string_view bytes, bool withOrigin, ProgramLog& log);

// Writes the current job (with the job origin for ".cvp2").
FileResult WriteJobFile(System& system, const std::string& path);

// Replaces the current job by a file's content, after reloading the settings.
// A file that cannot be read leaves the job as it was.
FileResult ReadJobFile(System& system, const std::string& path);

// Reads the job kept between runs. A file that cannot be read whole (unreadable,
// too large, no contour, refused records) is kept aside first as
// "<path>.unreadable-<date>-<time>", so that closing never writes over it, and
// the operator is told where it is.
void RestoreJobFile(System& system, const std::string& path);

// The name a project is saved under: the typed name with ".cvp2" appended
// unless it already ends so (in any letter case). A dot inside the name
// ("flange_6.5mm") is no extension.
std::string ProjectSaveName(std::string_view typed);

// "Save Project" under ProjectSaveName(path): asks before overwriting (message 1, Yes/No); errors go to
// the error box. Returns false only when writing failed.
bool SaveProject(System& system, const std::string& path);

// "Open Project": errors go to the error box.
bool OpenProject(System& system, const std::string& path);

}  // namespace corvane
