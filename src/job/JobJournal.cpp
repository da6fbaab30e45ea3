#include "job/JobJournal.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "ports/Clock.h"
#include "ports/FileIo.h"

namespace corvane {
namespace {

constexpr std::size_t kMaxJournalBytes = 4u * 1024u * 1024u;
// The first line of every journal; a journal without it, or with another
// version, came from another program and is refused.
constexpr int kJournalVersion = 2;
constexpr char kStateLetters[] = {'R', 'P', 'S', 'F'};

std::uint32_t LineCheck(std::string_view text) {
  std::uint32_t h = 2166136261u;
  for (const char c : text) {
    h ^= static_cast<std::uint8_t>(c);
    h *= 16777619u;
  }
  return h;
}

// The text and its check: "<text> ~<8 hex digits>\n".
std::string Sealed(const std::string& text) {
  char check[16];
  std::snprintf(check, sizeof check, " ~%08" PRIx32 "\n", LineCheck(text));
  return text + check;
}

// The text of a sound line, nullopt for a torn or damaged one.
std::optional<std::string> Unsealed(const std::string& line) {
  const auto mark = line.rfind(" ~");
  if (mark == std::string::npos || line.size() - mark != 10) return std::nullopt;
  const std::string text = line.substr(0, mark);
  char check[16];
  std::snprintf(check, sizeof check, "%08" PRIx32, LineCheck(text));
  if (line.compare(mark + 2, 8, check) != 0) return std::nullopt;
  return text;
}

std::string HeaderText(const JournalRecord& r) { return "J " + r.job + " " + std::to_string(r.contours); }

std::string VersionText() { return "V " + std::to_string(kJournalVersion); }

// Every progress line names its job, so that a line of another job's journal is known.
std::string ProgressText(const JournalRecord& r) {
  return "P " + std::to_string(r.contour) + " " + std::to_string(r.vertex) + " " + std::to_string(r.point.x) + " " +
         std::to_string(r.point.y) + " " + kStateLetters[static_cast<int>(r.state)] + " " + r.job;
}

bool WriteAllBytes(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string JobIdentity(const JobState& job) {
  std::uint64_t h = 14695981039346656037ull;
  const auto mix = [&h](std::int64_t value) {
    for (int byte = 0; byte < 8; ++byte) {
      h ^= static_cast<std::uint64_t>(value >> (8 * byte)) & 0xFF;
      h *= 1099511628211ull;
    }
  };
  mix(static_cast<std::int64_t>(job.Job.size()));
  mix(job.ProjectOriginX);
  mix(job.ProjectOriginY);
  for (const CNCpath& contour : job.Job) {
    mix(static_cast<std::int64_t>(contour.size()));
    for (const ContourPoint& p : contour) mix((std::int64_t{p.x} << 32) ^ static_cast<std::uint32_t>(p.y));
  }
  char text[20];
  std::snprintf(text, sizeof text, "%016" PRIx64, h);
  return text;
}

JobJournal::JobJournal(Clock& clock, std::string path) : clock_(clock), path_(std::move(path)) {}

JobJournal::~JobJournal() {
  if (fd_ >= 0) ::close(fd_);
}

bool JobJournal::Begin(const JobState& job) {
  if (fd_ >= 0) ::close(fd_);
  last_ = JournalRecord{};
  last_.job = JobIdentity(job);
  last_.contours = static_cast<std::int32_t>(job.Job.size());
  last_.contour = job.CurrentContour;
  fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
  if (fd_ < 0) return false;
  bytes_ = 0;
  const std::string header = Sealed(VersionText()) + Sealed(HeaderText(last_));
  if (!WriteAllBytes(fd_, header)) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  bytes_ += header.size();
  Sync();
  return true;
}

void JobJournal::Progress(std::int32_t contour, std::int32_t vertex, Point2 point, bool boundary) {
  if (fd_ < 0) return;
  const bool moved = contour != last_.contour || vertex != last_.vertex || !(point == last_.point);
  last_.contour = contour;
  last_.vertex = vertex;
  last_.point = point;
  last_.state = JournalState::Running;
  const std::int64_t now = clock_.nowMicros();
  if (boundary) return Append(true);
  if (moved && now - lastAppend_ >= kAppendMicros) return Append(now - lastSync_ >= kSyncMicros);
  if (unsynced_ && now - lastSync_ >= kSyncMicros) Sync();
}

void JobJournal::End(JournalState state) {
  if (fd_ < 0) return;
  last_.state = state;
  Append(true);
  ::close(fd_);
  fd_ = -1;
}

void JobJournal::Append(bool sync) {
  const std::string line = Sealed(ProgressText(last_));
  if (!WriteAllBytes(fd_, line)) return;
  bytes_ += line.size();
  lastAppend_ = clock_.nowMicros();
  unsynced_ = true;
  if (bytes_ > kCompactBytes) Compact();
  if (sync) Sync();
}

void JobJournal::Sync() {
  if (fd_ < 0) return;
  ::fdatasync(fd_);
  ++syncs_;
  unsynced_ = false;
  lastSync_ = clock_.nowMicros();
}

// The journal only ever needs its header and its last line.
void JobJournal::Compact() {
  const std::string bytes = Sealed(VersionText()) + Sealed(HeaderText(last_)) + Sealed(ProgressText(last_));
  if (!WriteFileAtomically(path_, bytes)) return;
  ::close(fd_);
  fd_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  bytes_ = bytes.size();
  unsynced_ = false;
}

std::optional<JournalRecord> JobJournal::Read(const std::string& path, int* damaged, std::string* refused) {
  const auto bytes = ReadWholeFile(path, kMaxJournalBytes);
  if (!bytes) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (refused && !error)
      *refused = size > kMaxJournalBytes ? "it is larger than " + std::to_string(kMaxJournalBytes >> 20) + " MB"
                                         : "it cannot be read";
    return std::nullopt;
  }
  return Parse(*bytes, damaged, refused);
}

std::optional<JournalRecord> JobJournal::Parse(std::string_view bytes, int* damaged, std::string* refused) {
  int spoiled = 0, foreign = 0;
  std::optional<JournalRecord> found;
  std::optional<std::string> version;
  JournalRecord r;
  bool header = false;
  std::istringstream in{std::string(bytes)};
  for (std::string line; std::getline(in, line);) {
    const auto text = Unsealed(line);
    if (!text) {
      spoiled += !line.empty();
      continue;
    }
    std::istringstream fields(*text);
    std::string kind;
    fields >> kind;
    if (kind == "V" && !version) {
      version.emplace();
      fields >> *version;
    } else if (kind == "J") {
      JournalRecord next;
      if (!(fields >> next.job >> next.contours)) continue;
      r = next;
      header = true;
      found.reset();
    } else if (kind == "P") {
      JournalRecord next = r;
      char state = 0;
      std::string job;
      if (!(fields >> next.contour >> next.vertex >> next.point.x >> next.point.y >> state >> job)) continue;
      if (!header || job != r.job) {
        ++foreign;
        continue;
      }
      bool known = false;
      for (int k = 0; k < 4; ++k)
        if (kStateLetters[k] == state) {
          next.state = static_cast<JournalState>(k);
          known = true;
        }
      if (!known) continue;
      found = next;
    }
  }
  if (damaged) *damaged = spoiled;
  std::string why;
  if (!version && (header || foreign > 0))
    why = "it has no version line";
  else if (version && *version != std::to_string(kJournalVersion))
    why = "its version is " + *version + ", not " + std::to_string(kJournalVersion);
  else if (foreign > 0)
    why = std::to_string(foreign) + " progress lines belong to no job or another job";
  if (!why.empty()) {
    if (refused) *refused = why;
    return std::nullopt;
  }
  if (!found && header) found = r;
  return found;
}

std::optional<JournalRecord> PendingResume(const std::string& journalPath, const JobState& job, int* damaged,
                                          std::string* refused) {
  std::optional<JournalRecord> r = JobJournal::Read(journalPath, damaged, refused);
  if (!r || r->job != JobIdentity(job)) return std::nullopt;
  if (r->state != JournalState::Running && r->state != JournalState::PowerLost) return std::nullopt;
  if (r->contour < 0 || r->contour >= static_cast<std::int32_t>(job.Job.size())) return std::nullopt;
  const CNCpath& contour = job.Job[static_cast<std::size_t>(r->contour)];
  if (contour.size() < 2) return std::nullopt;
  r->vertex = std::clamp<std::int32_t>(r->vertex, 1, static_cast<std::int32_t>(contour.size()) - 1);
  return r;
}

std::string ResumeQuestion(const JournalRecord& r) {
  const std::string cause = r.state == JournalState::PowerLost ? "the controller lost its power" : "the program ended";
  return "The last job did not finish: " + cause + " at contour " + std::to_string(r.contour + 1) + " of " +
         std::to_string(r.contours) + ". Resume it there, with the torch off and the head lifted?";
}

}  // namespace corvane
