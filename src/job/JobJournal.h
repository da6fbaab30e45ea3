#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/JobModel.h"

namespace corvane {

class Clock;

// What the running job had reached when the journal was last written.
enum class JournalState : std::uint8_t {
  Running,   // the program was cutting: a crash or a kill ended it
  PowerLost, // the board came back with its power-up mark in the middle of the job
  Stopped,   // stopped by the operator, an alarm or a lost link
  Finished,  // ended normally
};

// One progress record: the contour and vertex (index into the contour, 1 the
// start) the board has confirmed executing, and the point itself in job
// coordinates (0.01 mm).
struct JournalRecord {
  std::string job;         // JobIdentity of the job
  std::int32_t contours = 0;
  std::int32_t contour = -1;
  std::int32_t vertex = 1;
  Point2 point;
  JournalState state = JournalState::Running;
};

// The same contours at the same place give the same identity (hex digits).
std::string JobIdentity(const JobState& job);

// A small append-only journal of the running job in the profile: a version
// line, the job's identity, then progress lines that each name the job again,
// each line with its own check so that a line torn by a crash is ignored. Progress is appended at most every `appendMicros`
// and forced to disk at contour boundaries, at state changes and at least
// every `syncMicros`; a file grown past `compactBytes` is rewritten to its
// last record. Errors are logged once by the caller's log and never stop a job.
class JobJournal {
 public:
  static constexpr std::int64_t kAppendMicros = 250000;
  static constexpr std::int64_t kSyncMicros = 2000000;
  static constexpr std::size_t kCompactBytes = 64 * 1024;

  JobJournal(Clock& clock, std::string path);
  ~JobJournal();
  JobJournal(const JobJournal&) = delete;
  JobJournal& operator=(const JobJournal&) = delete;

  const std::string& path() const { return path_; }
  // Starts the journal of a run (replaces the last one); false when the file cannot be written.
  bool Begin(const JobState& job);
  // Notes progress; a boundary (a contour begun or done) is written and synced at once.
  void Progress(std::int32_t contour, std::int32_t vertex, Point2 point, bool boundary);
  // The run's end or interruption, written and synced.
  void End(JournalState state);
  const JournalRecord& last() const { return last_; }
  bool active() const { return fd_ >= 0; }
  std::size_t bytesWritten() const { return bytes_; }
  long syncs() const { return syncs_; }

  // The last sound record of a journal file; nullopt when there is none.
  // `damaged` (when given) counts the lines that were torn or spoiled.
  // A journal too large, without its version line or of another version, or
  // with progress lines of another job is refused whole: nullopt, and
  // `refused` (when given) says why.
  static std::optional<JournalRecord> Read(const std::string& path, int* damaged = nullptr,
                                           std::string* refused = nullptr);
  // The same from the file's bytes.
  static std::optional<JournalRecord> Parse(std::string_view bytes, int* damaged = nullptr,
                                            std::string* refused = nullptr);

 private:
  void Append(bool sync);
  void Sync();
  void Compact();

  Clock& clock_;
  std::string path_;
  int fd_ = -1;
  JournalRecord last_;
  std::int64_t lastAppend_ = 0, lastSync_ = 0;
  bool unsynced_ = false;
  std::size_t bytes_ = 0;
  long syncs_ = 0;
};

// The resume a start-up can offer: the journal of an interrupted run of the
// job that is loaded now (same identity) that a crash, a kill or a power cut
// ended. nullopt when the last run finished or was stopped, or was another job.
std::optional<JournalRecord> PendingResume(const std::string& journalPath, const JobState& job,
                                          int* damaged = nullptr, std::string* refused = nullptr);

// The question the start-up asks, with the contour (counted from 1).
std::string ResumeQuestion(const JournalRecord& record);

}  // namespace corvane
