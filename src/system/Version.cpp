#include "system/Version.h"

namespace corvane {

std::string VersionText() {
  return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
         kVersionChar1 + kVersionChar2;
}

std::string WindowCaption(const std::string& profile) {
  return std::string(kApplicationTitle) + " v " + VersionText() + "  /" + profile;
}

std::string SplashVersionLabel() { return "Software ver: " + VersionText(); }

}  // namespace corvane
