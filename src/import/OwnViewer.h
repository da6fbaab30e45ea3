#pragma once
#include <string>

namespace corvane {

class ProgramLog;

// Our own 3D preview, installed beside the program's executables.
inline constexpr const char* kOwnViewerName = "corvane-3d";
// Started without arguments, the preview opens this file in its working folder.
inline constexpr const char* kOwnViewerDataName = "data.3d";

// The folder of the running executable (from /proc/self/exe); empty when unknown.
std::string RunningExecutableFolder();

// Starts programBinFolder/corvane-3d detached, with the data file's folder as
// its working folder, where it opens "data.3d". The data file must carry that
// name (the import window's always does). False, with a log line, when the
// preview is not installed, the file has another name or the start fails.
bool StartOwnThreeDViewer(const std::string& programBinFolder, const std::string& dataFile, ProgramLog& log);

}  // namespace corvane
