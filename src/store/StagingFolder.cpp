#include "store/StagingFolder.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace corvane {

StagingFolder::StagingFolder(const std::string& parentFolder, const std::string& stem) {
  std::string pattern = parentFolder;
  if (!pattern.empty() && pattern.back() != '/') pattern.push_back('/');
  pattern += "." + stem + "-XXXXXX";
  if (::mkdtemp(pattern.data()))
    path_ = pattern + "/";
  else
    error_ = "Cannot create \"" + pattern + "\": " + std::strerror(errno);
}

StagingFolder::~StagingFolder() {
  if (path_.empty()) return;
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

}  // namespace corvane
