#pragma once
#include <memory>

#include "ports/Clock.h"
#include "support/RecordingHost.h"
#include "support/TempDir.h"
#include "system/System.h"

namespace corvane::testing {

// A whole System on fake time, a recording host and a temporary data root,
// with the program folder of the build tree.
struct SystemFixture {
  SystemFixture(const std::string& profile = "Plasma");
  TempDir root;
  FakeClock clock;
  RecordingHost host;
  std::unique_ptr<System> system;
};

}  // namespace corvane::testing
