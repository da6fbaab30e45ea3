#pragma once
#include <functional>
#include <string>
#include <string_view>

namespace corvane {

class Clock;
class Host;
class ProgramLog;
struct Paths;

// A profile name is one folder of its own below the profiles folder (the rule
// is ProfileNameProblem's).
bool IsUsableProfileName(std::string_view name);

// Makes a new profile folder with its STORE folder, filled from the "Plasma"
// profile when it exists, otherwise from the program folder's template. The
// profile is put together beside its place and renamed into it whole, so a
// failed copy leaves no half profile that a later start would take as made.
bool CreateProfile(const Paths& paths, ProgramLog& log);

// "OPEN  PROFILES  FOLDER": shows the folder of all profiles in the file
// manager and gives it two seconds to come up while events run. The caller
// then closes the main window, so the program ends normally.
void OpenProfilesFolder(const Paths& paths, Host& host, Clock& clock,
                        const std::function<void(const std::string& folder)>& showFolder);

}  // namespace corvane
