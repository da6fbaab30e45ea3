#pragma once
#include <string>

namespace corvane {

// Where the program keeps its files. Folders end with "/".
struct Paths {
  std::string programFolder;  // the installed data folder (example job, templates)
  std::string dataRoot;       // shared data of all profiles
  std::string profileName;

  std::string corvaneFolder() const { return dataRoot + "CorvaneCNC/"; }
  std::string logsFolder() const { return corvaneFolder() + "LOGS/"; }
  std::string profileFolder() const { return corvaneFolder() + profileName + "/"; }
  std::string storeFolder() const { return profileFolder() + "STORE/"; }
};

// $CORVANE_DATA_ROOT, else $XDG_DATA_HOME (default ~/.local/share) + "/Quorvatek".
std::string ResolveDataRoot();
// $CORVANE_PROGRAM_DIR, else ../share/corvane-cnc beside the executable's folder.
std::string ResolveProgramFolder(const std::string& executableFolder);
std::string WithSlash(std::string folder);

}  // namespace corvane
