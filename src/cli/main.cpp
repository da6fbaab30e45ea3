#include <iostream>
#include <string>
#include <vector>

#include "cli/ReadCommand.h"

// corvane-cli: the core's tools without the desktop program.
int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.empty() || arguments.front() != "read") {
    std::cerr << corvane::ReadCommandUsage();
    return 2;
  }
  return corvane::RunReadCommand({arguments.begin() + 1, arguments.end()}, std::cout, std::cerr);
}
