#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// Result of a file operation: ok, or the reason in words for the log and the error box.
struct FileResult {
  bool ok = true;
  std::string error;
  explicit operator bool() const { return ok; }
  static FileResult Failure(std::string why) { return {false, std::move(why)}; }
};

// Writes a whole file so that a crash or a full disk never leaves half of it:
// the bytes go to a temporary file in the same folder, are flushed to disk and
// the temporary file is renamed over the target.
FileResult WriteFileAtomically(const std::string& path, std::string_view bytes);

// A temporary file an atomic write left behind when the program died before
// the rename: the target's name followed by ".tmp" and six characters.
bool IsUnfinishedWrite(std::string_view fileName);

// Deletes the unfinished writes of one folder (not its subfolders); returns
// how many went. Safe only while nothing writes into the folder.
int RemoveUnfinishedWrites(const std::string& folder);

// Appends bytes to a file, creating it; the file is closed again at once.
FileResult AppendToFile(const std::string& path, std::string_view bytes);

// Reads a whole file; nullopt when it cannot be opened or read. Files above
// maxBytes are refused, so a hostile file cannot exhaust memory.
std::optional<std::string> ReadWholeFile(const std::string& path,
                                         size_t maxBytes = 512u * 1024u * 1024u);

// Test seam: when set, the rename step of WriteFileAtomically fails with this
// text, as a crash between writing and renaming would leave it.
void SetAtomicRenameFailureForTests(std::optional<std::string> reason);

}  // namespace corvane
