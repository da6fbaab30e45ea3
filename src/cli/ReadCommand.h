#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace corvane {

// "corvane-cli read FILE [options]": reads a drawing as the import window would
// and prints its paths and a summary to out, log lines to err. Returns the exit code.
int RunReadCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

std::string ReadCommandUsage();

}  // namespace corvane
