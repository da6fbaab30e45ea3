#include "ports/FileIo.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace corvane {
namespace {

std::optional<std::string>& RenameFailure() {
  static std::optional<std::string> reason;
  return reason;
}

std::string ErrnoText(const std::string& what, const std::string& path) {
  return what + " \"" + path + "\": " + std::strerror(errno);
}

bool WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

}  // namespace

void SetAtomicRenameFailureForTests(std::optional<std::string> reason) {
  RenameFailure() = std::move(reason);
}

FileResult WriteFileAtomically(const std::string& path, std::string_view bytes) {
  std::string tempPath = path + ".tmpXXXXXX";
  const int fd = ::mkstemp(tempPath.data());
  if (fd < 0) return FileResult::Failure(ErrnoText("Cannot create", tempPath));
  ::fchmod(fd, 0644);
  const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  const std::string writeError = written ? "" : ErrnoText("Cannot write", path);
  ::close(fd);
  if (!written) {
    ::unlink(tempPath.c_str());
    return FileResult::Failure(writeError);
  }
  if (RenameFailure()) {
    ::unlink(tempPath.c_str());
    return FileResult::Failure(*RenameFailure());
  }
  if (::rename(tempPath.c_str(), path.c_str()) != 0) {
    const std::string error = ErrnoText("Cannot replace", path);
    ::unlink(tempPath.c_str());
    return FileResult::Failure(error);
  }
  // Make the rename itself durable.
  const int dirFd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return {};
}

bool IsUnfinishedWrite(std::string_view fileName) {
  const auto dot = fileName.rfind(".tmp");
  return dot != std::string_view::npos && dot > 0 && fileName.size() - dot == 10;
}

int RemoveUnfinishedWrites(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  const int dirFd = ::dirfd(dir);
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    struct stat info {};
    if (!IsUnfinishedWrite(entry->d_name) || ::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(info.st_mode))
      continue;
    if (::unlinkat(dirFd, entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

FileResult AppendToFile(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return FileResult::Failure(ErrnoText("Cannot open", path));
  const bool written = WriteAll(fd, bytes);
  const std::string error = written ? "" : ErrnoText("Cannot write", path);
  ::close(fd);
  return written ? FileResult{} : FileResult::Failure(error);
}

std::optional<std::string> ReadWholeFile(const std::string& path, size_t maxBytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  in.seekg(0, std::ios::end);
  const auto size = in.tellg();
  if (size < 0 || static_cast<size_t>(size) > maxBytes) return std::nullopt;
  in.seekg(0, std::ios::beg);
  std::string bytes(static_cast<size_t>(size), '\0');
  if (size > 0 && !in.read(bytes.data(), size)) return std::nullopt;
  return bytes;
}

}  // namespace corvane
