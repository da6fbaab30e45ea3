#include <iostream>
#include <string>
#include <vector>

#include "cli/ExportCommand.h"
#include "cli/ImportRequest.h"
#include "cli/ProcessCommand.h"
#include "cli/ReadCommand.h"

// corvane-cli: the core's tools without the desktop program.
int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const std::string command = arguments.empty() ? "" : arguments.front();
  const std::vector<std::string> rest(arguments.begin() + (arguments.empty() ? 0 : 1),
                                      arguments.end());
  if (command == "read") return corvane::RunReadCommand(rest, std::cout, std::cerr);
  if (command == "export") return corvane::RunExportCommand(rest, std::cout, std::cerr);
  if (command == "process") return corvane::RunProcessCommand(rest, std::cout, std::cerr);
  std::cerr << corvane::ReadCommandUsage() << corvane::ProcessCommandUsage()
            << corvane::ExportCommandUsage() << corvane::ImportOptionsUsage();
  return 2;
}
