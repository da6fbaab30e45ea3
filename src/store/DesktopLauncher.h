#pragma once
#include <string>
#include <string_view>

namespace corvane {

class Host;
class ProgramLog;

// Where a profile's launchers go and what they start.
struct LauncherPlaces {
  std::string executable;    // the program that the launcher starts
  std::string applications;  // the user's applications folder (menus)
  std::string desktop;       // the user's desktop folder
};

// $XDG_DATA_HOME/applications (default ~/.local/share/applications), the
// folder `xdg-user-dir DESKTOP` names (default ~/Desktop) and this program.
LauncherPlaces ResolveLauncherPlaces();

// The operator's desktop folder, where the support package goes too.
std::string DesktopFolder();

// The profile argument of a launcher: every space becomes "_".
std::string LauncherProfileName(std::string_view typed);

// The launcher file that starts `executable` with the profile as its argument.
std::string LauncherFileText(const std::string& executable, const std::string& profile);

// "CREATE NEW PROFILE": asks for a name and writes its launcher to the
// applications folder and to the desktop. The profile itself is made the first
// time the program starts through the launcher. An empty or cancelled answer
// does nothing; a name that cannot be a profile gets a log line and a message
// that says why; a launcher that cannot be written gets a log line and a beep.
bool CreateProfileShortcut(Host& host, ProgramLog& log, const LauncherPlaces& places);

}  // namespace corvane
