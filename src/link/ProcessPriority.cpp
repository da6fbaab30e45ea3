#include "link/ProcessPriority.h"

#include <sys/resource.h>

namespace corvane {

namespace {
constexpr int kHighNice = -10;
}  // namespace

void ProcessPriority::Raise() { raised_ = ::setpriority(PRIO_PROCESS, 0, kHighNice) == 0; }

void ProcessPriority::Normal() {
  if (raised_) ::setpriority(PRIO_PROCESS, 0, 0);
  raised_ = false;
}

}  // namespace corvane
