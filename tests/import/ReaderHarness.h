#pragma once
#include <algorithm>
#include <cmath>
#include <string>

#include "import/ImportPaths.h"
#include "model/NumberParser.h"
#include "ports/Clock.h"
#include "ports/ProgramLog.h"
#include "support/RecordingHost.h"

namespace corvane::testing {

// A log whose lines land in the recording host's log pane, and a parser over it.
struct ReaderHarness {
  FakeClock clock;
  RecordingHost host;
  ProgramLog log{clock, &host};
  NumberParser parser{log, &host};

  bool Logged(const std::string& part) const {
    return std::any_of(host.logPane.begin(), host.logPane.end(),
                       [&](const std::string& line) { return line.find(part) != std::string::npos; });
  }
};

inline double DistanceTo(const ClipperLib::IntPoint& p, double cx, double cy) {
  return std::hypot(static_cast<double>(p.X) - cx, static_cast<double>(p.Y) - cy);
}

inline bool IsClosed(const TPath& path) {
  return path.size() >= 4 && path[1] == path.back();
}

}  // namespace corvane::testing
