#pragma once
#include <string>

namespace corvane {

// One running program per user: an exclusive lock on a file in the runtime
// folder. The lock ends with the process, so a crash never leaves it stuck.
class SingleInstance {
 public:
  SingleInstance() = default;
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;
  ~SingleInstance();

  // False when another instance holds the lock.
  bool Acquire(const std::string& lockPath = DefaultLockPath());
  void Release();
  static std::string DefaultLockPath();

 private:
  int fd_ = -1;
};

}  // namespace corvane
