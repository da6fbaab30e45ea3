#include "system/CommandLine.h"

#include <cstdio>
#include <filesystem>

#include "ports/FileIo.h"
#include "ports/ProgramLog.h"
#include "ports/TextCodec.h"
#include "store/Profiles.h"
#include "system/Paths.h"
#include "system/Version.h"

namespace corvane {
namespace {

// Options the program knows; the value after "=" is read by whoever needs it.
bool IsKnownOption(const std::string& name) {
  return name == "--help" || name == "--version" || name == "--device";
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  for (const auto& argument : arguments) {
    if (argument.rfind("--", 0) == 0) {
      const std::string name = argument.substr(0, argument.find('='));
      if (!IsKnownOption(name)) {
        line.error = "Unknown option " + argument;
        continue;
      }
      if (name == "--help") line.help = true;
      if (name == "--version") line.version = true;
      line.options.push_back(argument);
    } else if (line.profile.empty() && !argument.empty()) {
      line.profile = argument;
      // Checked before anything is made: the name becomes a folder.
      if (!IsUsableProfileName(argument)) line.error = ProfileNameRefusal(argument);
    }
  }
  if (line.profile.empty()) line.profile = kDefaultProfile;
  return line;
}

std::string OptionValue(const CommandLine& line, const std::string& name) {
  const std::string prefix = name + "=";
  for (const auto& option : line.options)
    if (option.rfind(prefix, 0) == 0) return option.substr(prefix.size());
  return {};
}

std::string UsageText(const std::string& programName) {
  return "Usage: " + programName + " [PROFILE] [options]\n"
         "  PROFILE            profile to work with (default \"Plasma\")\n"
         "  --device=virtual   use the built-in virtual controller board\n"
         "  --device=pty:PATH  use a controller served on a pseudo-terminal\n"
         "  --help             show this text\n"
         "  --version          show the program version\n";
}

void ReportCommandLineError(const CommandLine& line, const std::string& programName,
                            const std::string& logsFolder, const LocalDateTime& now) {
  std::fprintf(stderr, "%s\n%s", line.error.c_str(), UsageText(programName).c_str());
  const std::string log = WithSlash(logsFolder) + ProgramLog::FileNameFor(now);
  std::error_code error;
  if (!std::filesystem::is_regular_file(log, error)) return;
  AppendToFile(log, Utf8ToCp1250(ProgramLog::FormatLine(0, now, line.error)) + "\r\n");
}

}  // namespace corvane
