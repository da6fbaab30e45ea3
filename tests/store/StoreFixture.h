#pragma once
#include <gtest/gtest.h>

#include <filesystem>

#include <algorithm>
#include <string>

#include "store/StoreFiles.h"
#include "support/SystemFixture.h"

namespace corvane::testing {

// A started system (folders, log, profile) whose store folder the test works in.
struct StoreFixture : SystemFixture {
  StoreFixture() { EXPECT_TRUE(system->PrepareStart()); }
  System& s() { return *system; }
  std::string store(std::string_view name) const { return StoreFile(system->paths, name); }
  bool logged(const std::string& line) const {
    return std::find(host.logPane.begin(), host.logPane.end(), line) != host.logPane.end();
  }
};

// Settings file text from name/value pairs, as the program writes it.
inline std::string PairsCrLf(std::initializer_list<const char*> lines) {
  std::string out;
  for (const char* line : lines) out += std::string(line) + "\r\n";
  return out;
}

}  // namespace corvane::testing
