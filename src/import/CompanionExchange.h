#pragma once
#include <optional>
#include <string>
#include <vector>

#include "system/Paths.h"

namespace corvane {

class ProgramLog;

// ---- Other programs: finding them running and starting them detached ----

// Ids of the running processes that execute this file, lowest first. A
// process counts when its executable is the file; for a script ("#!" first
// line) also when the interpreter runs it (the script's path is then the
// interpreter's first argument). Processes that have ended (zombies) do not count.
std::vector<int> ProcessesRunning(const std::string& executable);

struct DetachedStart {
  bool started = false;
  int pid = 0;        // the new process, when started
  std::string error;  // why not, in words (from the system)
};

// Starts a program in its own session with the given working folder, its
// standard files on /dev/null and default signal handling, and returns once it
// has been executed (or has failed to be). The program is not our child: it
// outlives us, never holds our pipes and is never a zombie of ours.
DetachedStart StartDetached(const std::string& executable, const std::string& workingFolder);

// ---- The companion drawing program and its export handshake ----

// The companion's executable and the exchange files it writes for us.
struct CompanionFiles {
  std::string executable;     // program folder + "Lintora/Lintora"
  std::string workingFolder;  // program folder + "Lintora"
  std::string marker;         // data root + "Lintora/export.ready" (empty file)
  std::string drawing;        // data root + "Lintora/export.2d"
};
CompanionFiles CompanionFilesOf(const Paths& paths);

// The name under which an export is put into the import window's file list.
inline constexpr const char* kCompanionCopyName = "From Lintora.2d";

struct CompanionStatus {
  std::string executable;
  bool installed = false;  // the executable file is present
  bool running = false;
  int pid = 0;  // the first running process, when running
};
CompanionStatus FindCompanion(const Paths& paths);

struct CompanionStart {
  enum class Outcome { Started, AlreadyRunning, NotInstalled, Failed };
  Outcome outcome = Outcome::Failed;
  int pid = 0;          // started or found running
  std::string message;  // for the operator when nothing was started or found
};

// The companion-CAD button: removes a marker left from before (only a new
// export counts), then reports a running companion (the window raises its
// window) or starts it detached in its own folder. Every outcome is logged.
CompanionStart StartCompanion(const Paths& paths, ProgramLog& log);

// Removes a marker left over from an earlier run; the import window calls it
// when it is created. A marker that cannot be removed is logged.
void ClearCompanionMarker(const Paths& paths, ProgramLog& log);

// The exchange check run on the window's timer: when the marker exists it is
// removed and the export drawing's path returned, if the drawing exists. A
// marker that cannot be removed is logged and the export not taken, so one
// export is never taken twice.
std::optional<std::string> PollCompanionExport(const Paths& paths, ProgramLog& log);

// Copies an export into a folder under kCompanionCopyName, replacing an
// earlier copy in one step; returns the copy's path, or nullopt (logged).
std::optional<std::string> CopyCompanionExport(const std::string& drawing,
                                               const std::string& folder, ProgramLog& log);

}  // namespace corvane
