#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace corvane {

// "corvane-cli process FILE [options]": takes a drawing through the import
// window's pipeline (clean, weld, nest, kerf offset, parts, sort, leads) and
// prints the job it would send, one line per contour; -o writes it as a job
// file (".cnc") or a project (".cvp2"). --times prints each stage's time.
int RunProcessCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

std::string ProcessCommandUsage();

}  // namespace corvane
