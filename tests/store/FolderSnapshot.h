#pragma once
#include <filesystem>
#include <map>
#include <string>

#include "support/TempDir.h"

namespace corvane::testing {

// Everything below a folder, by path: a file's bytes, "<folder>" or "<link> "
// and its target. Two snapshots compare equal when nothing was written,
// removed or replaced in between.
inline std::map<std::string, std::string> FolderSnapshot(const std::string& folder) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> content;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string name = fs::relative(entry.path(), folder).generic_string();
    if (entry.is_symlink())
      content[name] = "<link> " + fs::read_symlink(entry.path()).string();
    else if (entry.is_directory())
      content[name] = "<folder>";
    else
      content[name] = ReadFileText(entry.path().string());
  }
  return content;
}

}  // namespace corvane::testing
