#pragma once
#include <string>
#include <string_view>

#include "ports/FileIo.h"

namespace corvane {

struct Paths;

// A file of the profile's store folder.
std::string StoreFile(const Paths& paths, std::string_view name);

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);

// Copies a file whole through a temporary file, so the target is either the
// old or the new content; fails when the source cannot be read.
FileResult CopyFileAtomically(const std::string& from, const std::string& to);

// Removes a file; a file that is already gone counts as removed.
FileResult RemoveFile(const std::string& path);

// Makes a folder and its missing parents; a folder that is there counts as made.
FileResult MakeFolder(const std::string& folder);

inline constexpr std::string_view kSettingsFile = "store.fms";
inline constexpr std::string_view kDefaultsFile = "store.org";
inline constexpr std::string_view kLastGoodSettings = "LastGood.fms";
inline constexpr std::string_view kTempJob = "temp.cnc";
inline constexpr std::string_view kLastGoodJob = "LastGood.cnc";
inline constexpr std::string_view kExampleJob = "CorvaneCNC.cnc";
inline constexpr std::string_view kAdvancedFile = "advanced.txt";

}  // namespace corvane
