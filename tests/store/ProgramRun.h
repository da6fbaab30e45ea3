#pragma once
#include <algorithm>
#include <string>

#include "StoreFixture.h"
#include "store/Lifecycle.h"

namespace corvane::testing {

inline const char* const kUncleanExitLine = "Error: Software doesn`t closed previous.";

// A job of the operator's, unlike the example job.
inline const tCNCPath kOperatorJob = {{{0, 0}, {0, 0}, {4000, 0}, {4000, 4000}, {0, 0}}};

// How often the log pane showed a line from the given entry on.
inline long CountLines(const RecordingHost& host, const std::string& line, size_t from = 0) {
  return std::count(host.logPane.begin() + static_cast<long>(from), host.logPane.end(), line);
}

// One run of the program over the fixture's data root: creation and first show.
// Leaving it without ShutdownSequence is a crash.
struct ProgramRun {
  explicit ProgramRun(StoreFixture& f) : system(f.clock, f.host, f.system->paths) {
    const size_t before = f.host.logPane.size();
    EXPECT_TRUE(system.PrepareStart());
    PrepareStore(system);
    StartupSequence(system);
    uncleanExitsReported = CountLines(f.host, kUncleanExitLine, before);
  }
  System system;
  long uncleanExitsReported = 0;  // by this start
};

}  // namespace corvane::testing
