#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace corvane {

// The folder of the shared log files, beside the profile folders.
inline constexpr const char* kLogsFolderName = "LOGS";

// Where the program keeps its files. Folders end with "/".
struct Paths {
  std::string programFolder;  // the installed data folder (example job, templates)
  std::string dataRoot;       // shared data of all profiles
  std::string profileName;

  std::string corvaneFolder() const { return dataRoot + "CorvaneCNC/"; }
  std::string logsFolder() const { return corvaneFolder() + kLogsFolderName + "/"; }
  std::string profileFolder() const { return corvaneFolder() + profileName + "/"; }
  std::string storeFolder() const { return profileFolder() + "STORE/"; }
};

// The longest profile name: a folder, a window caption and a launcher name.
constexpr size_t kMaxProfileNameLength = 64;

// Why `name` cannot be a profile, or empty when it can. A profile is one
// folder of its own below the profiles folder, so the name must not be empty,
// "." or "..", hold "/", "\\" or control characters, be longer than
// kMaxProfileNameLength bytes, begin with "-" (it would read as an option)
// or name a folder the program keeps beside the profiles (the shared "LOGS"),
// in any letter case.
std::string ProfileNameProblem(std::string_view name);
// The line that says why a profile name is refused: the name and the reason.
std::string ProfileNameRefusal(std::string_view name);

// $CORVANE_DATA_ROOT, else $XDG_DATA_HOME (default ~/.local/share) + "/Quorvatek".
std::string ResolveDataRoot();
// $CORVANE_PROGRAM_DIR, else ../share/corvane-cnc beside the executable's folder.
std::string ResolveProgramFolder(const std::string& executableFolder);
std::string WithSlash(std::string folder);

}  // namespace corvane
