#pragma once
#include <string>
#include <vector>

namespace corvane {

// What the program was started with: the profile is the first argument that is
// not an option; options start with "--".
struct CommandLine {
  std::string profile;           // "Plasma" when none was given
  bool help = false;
  bool version = false;
  std::vector<std::string> options;  // every "--name[=value]" as given, for later readers
  std::string error;             // set for an unknown option or a refused profile name
};

CommandLine ParseCommandLine(const std::vector<std::string>& arguments);
// Value of "--name=value" among the options, or empty.
std::string OptionValue(const CommandLine& line, const std::string& name);
std::string UsageText(const std::string& programName);

struct LocalDateTime;
// A refused command line: the reason and the usage on stderr, and the reason
// in the day's log in `logsFolder` when that log exists already. A refused
// start makes no file or folder, so the day's first real start still finds
// no log and rotates the backups.
void ReportCommandLineError(const CommandLine& line, const std::string& programName,
                            const std::string& logsFolder, const LocalDateTime& now);

}  // namespace corvane
