#include "system/Paths.h"

#include <cstdlib>
#include <filesystem>

namespace corvane {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

}  // namespace

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
