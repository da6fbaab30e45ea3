#include "support/SystemFixture.h"

namespace corvane::testing {

SystemFixture::SystemFixture(const std::string& profile) {
  Paths paths;
  paths.programFolder = std::string(CORVANE_TEST_DATA_DIR) + "/";
  paths.dataRoot = root.path() + "Quorvatek/";
  paths.profileName = profile;
  system = std::make_unique<System>(clock, host, paths);
}

}  // namespace corvane::testing
