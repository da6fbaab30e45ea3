#include "link/ProcessPriority.h"

#include <sys/resource.h>

namespace corvane {

namespace {
constexpr int kHighNice = -10;
}  // namespace

void ProcessPriority::Raise() {
  if (refused_ || raised_) return;
  raised_ = ::setpriority(PRIO_PROCESS, 0, kHighNice) == 0;
  refused_ = !raised_;
}

void ProcessPriority::Normal() {
  if (raised_) ::setpriority(PRIO_PROCESS, 0, 0);
  raised_ = false;
}

}  // namespace corvane
