#include "system/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace corvane {

SingleInstance::~SingleInstance() { Release(); }

std::string SingleInstance::DefaultLockPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string folder = runtime && *runtime ? runtime : "/tmp";
  if (!runtime || !*runtime) folder += "/corvane-" + std::to_string(::getuid());
  ::mkdir(folder.c_str(), 0700);
  return folder + "/Corvane CNC.lock";
}

bool SingleInstance::Acquire(const std::string& lockPath) {
  Release();
  fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  // A lock file that cannot be made must not keep the operator from working.
  if (fd_ < 0) return true;
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

void SingleInstance::Release() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

}  // namespace corvane
