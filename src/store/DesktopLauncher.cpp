#include "store/DesktopLauncher.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "ports/FileIo.h"
#include "ports/Host.h"
#include "ports/ProgramLog.h"
#include "store/Profiles.h"
#include "system/Paths.h"

namespace fs = std::filesystem;

namespace corvane {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string HomeFolder() {
  const std::string home = Env("HOME");
  return home.empty() ? std::string("/tmp") : home;
}

// The first line a command prints, or empty when it fails.
std::string FirstLineOf(const char* command) {
  FILE* pipe = ::popen(command, "r");
  if (!pipe) return {};
  std::string line;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) {
    line += buffer;
    if (!line.empty() && line.back() == '\n') break;
  }
  const int status = ::pclose(pipe);
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

// A value of the launcher file: a backslash stands for itself only when doubled.
std::string EscapeValue(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

// One argument of the Exec key, quoted so that no character means more than itself.
std::string QuoteArgument(std::string_view argument) {
  std::string quoted = "\"";
  for (const char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';  // "%%" is a literal percent, not a field code
    quoted += c;
  }
  return quoted + "\"";
}

FileResult WriteLauncher(const std::string& folder, const std::string& fileName,
                         const std::string& text) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) return FileResult::Failure("Cannot create \"" + folder + "\": " + error.message());
  const std::string path = WithSlash(folder) + fileName;
  if (FileResult written = WriteFileAtomically(path, text); !written) return written;
  // Desktops start only launchers that may be executed.
  ::chmod(path.c_str(), 0755);
  return {};
}

}  // namespace

std::string DesktopFolder() {
  const std::string named = FirstLineOf("xdg-user-dir DESKTOP 2>/dev/null");
  return named.empty() ? HomeFolder() + "/Desktop" : named;
}

LauncherPlaces ResolveLauncherPlaces() {
  LauncherPlaces places;
  std::error_code error;
  places.executable = fs::read_symlink("/proc/self/exe", error).string();
  const std::string data = Env("XDG_DATA_HOME");
  places.applications = (data.empty() ? HomeFolder() + "/.local/share" : data) + "/applications";
  places.desktop = DesktopFolder();
  return places;
}

std::string LauncherProfileName(std::string_view typed) {
  std::string name(typed);
  for (char& c : name)
    if (c == ' ') c = '_';
  return name;
}

std::string LauncherFileText(const std::string& executable, const std::string& profile) {
  const std::string command = QuoteArgument(executable) + " " + QuoteArgument(profile);
  std::string text = "[Desktop Entry]\nType=Application\n";
  text += "Name=Corvane CNC " + EscapeValue(profile) + "\n";
  text += "Exec=" + EscapeValue(command) + "\n";
  text += "Icon=corvane-cnc\nTerminal=false\nCategories=Science;Engineering;\n";
  return text;
}

bool CreateProfileShortcut(Host& host, ProgramLog& log, const LauncherPlaces& places) {
  const auto typed = host.inputText("New Profile", "Enter profile Name", "");
  if (!typed || typed->empty()) return false;
  const std::string profile = LauncherProfileName(*typed);
  if (!IsUsableProfileName(profile)) {
    const std::string refusal = ProfileNameRefusal(profile);
    log.WriteLog(refusal);
    host.showError(refusal);
    return false;
  }
  const std::string text = LauncherFileText(places.executable, profile);
  // In the menus the file name is the launcher's identity: a prefix keeps a
  // profile from hiding another program's launcher of the same name.
  for (const auto& [folder, fileName] :
       {std::pair{places.applications, "corvane-cnc-" + profile + ".desktop"},
        std::pair{places.desktop, profile + ".desktop"}}) {
    if (const FileResult written = WriteLauncher(folder, fileName, text); !written) {
      log.WriteLog("Profile shortcut not written: " + written.error);
      host.beep();
      return false;
    }
    log.WriteLog("Profile shortcut : " + WithSlash(folder) + fileName);
  }
  return true;
}

}  // namespace corvane
