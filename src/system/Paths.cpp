#include "system/Paths.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>

namespace corvane {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string Quoted(std::string_view text) {
  std::string quoted(1, '"');
  quoted.append(text);
  quoted.push_back('"');
  return quoted;
}

}  // namespace

std::string ProfileNameProblem(std::string_view name) {
  if (name.empty()) return "the name is empty";
  if (name == "." || name == "..") return Quoted(name) + " names no folder of its own";
  if (name.size() > kMaxProfileNameLength)
    return "the name is longer than " + std::to_string(kMaxProfileNameLength) + " characters";
  if (name.front() == '-') return "a name beginning with \"-\" reads as an option";
  for (const char c : name) {
    if (c == '/' || c == '\\') return "the name holds " + Quoted(std::string_view(&c, 1));
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return "the name holds a control character";
  }
  if (SameIgnoringCase(name, kLogsFolderName))
    return Quoted(kLogsFolderName) + " is the folder of the program's logs";
  return {};
}

std::string ProfileNameRefusal(std::string_view name) {
  return "Profile name not usable: " + Quoted(name) + ": " + ProfileNameProblem(name);
}

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

std::string ResolveDataRoot() {
  if (const auto root = Env("CORVANE_DATA_ROOT"); !root.empty()) return WithSlash(root);
  std::string base = Env("XDG_DATA_HOME");
  if (base.empty()) {
    const std::string home = Env("HOME");
    base = (home.empty() ? std::string("/tmp") : home) + "/.local/share";
  }
  return WithSlash(base) + "Quorvatek/";
}

std::string ResolveProgramFolder(const std::string& executableFolder) {
  if (const auto folder = Env("CORVANE_PROGRAM_DIR"); !folder.empty()) return WithSlash(folder);
  const auto candidate =
      std::filesystem::path(executableFolder).parent_path() / "share" / "corvane-cnc";
  return WithSlash(candidate.lexically_normal().string());
}

}  // namespace corvane
