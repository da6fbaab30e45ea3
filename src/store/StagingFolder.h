#pragma once
#include <string>

namespace corvane {

// A fresh folder made beside the place its content is meant for (same file
// system, so the content can be renamed into place). It is removed with
// whatever is left in it when it goes out of scope.
class StagingFolder {
 public:
  // Makes parentFolder + "." + stem + "-XXXXXX"; empty() tells whether that failed.
  StagingFolder(const std::string& parentFolder, const std::string& stem);
  ~StagingFolder();
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;

  bool empty() const { return path_.empty(); }
  // The folder, ending with "/".
  const std::string& path() const { return path_; }
  // Why the folder could not be made.
  const std::string& error() const { return error_; }

 private:
  std::string path_;
  std::string error_;
};

}  // namespace corvane
