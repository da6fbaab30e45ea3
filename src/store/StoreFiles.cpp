#include "store/StoreFiles.h"

#include <filesystem>

#include "system/Paths.h"

namespace corvane {

std::string StoreFile(const Paths& paths, std::string_view name) {
  return paths.storeFolder() + std::string(name);
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

bool FolderExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

FileResult CopyFileAtomically(const std::string& from, const std::string& to) {
  const auto bytes = ReadWholeFile(from);
  if (!bytes) return FileResult::Failure("Cannot read \"" + from + "\"");
  return WriteFileAtomically(to, *bytes);
}

FileResult RemoveFile(const std::string& path) {
  std::error_code error;
  std::filesystem::remove(path, error);
  if (error) return FileResult::Failure("Cannot delete \"" + path + "\": " + error.message());
  return {};
}

FileResult MakeFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return FileResult::Failure("Cannot create \"" + folder + "\": " + error.message());
  return {};
}

}  // namespace corvane
