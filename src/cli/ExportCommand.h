#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace corvane {

// "corvane-cli export FILE [options]": reads a drawing as "read" does, makes every
// path of two or more vertices a cutting contour of a job placed with its lowest-left
// vertex at 0,0, and writes the job's G-code export. A line saying what was written
// goes to out, failures and log lines to err. Returns the exit code.
int RunExportCommand(const std::vector<std::string>& arguments, std::ostream& out,
                     std::ostream& err);

std::string ExportCommandUsage();

}  // namespace corvane
