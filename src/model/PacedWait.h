#pragma once
#include <cstdint>

#include "ports/Clock.h"

namespace corvane {

// Paces the command stream: successive waits with `continueCadence` set keep a
// drift-free rhythm because the reference advances by exactly the asked time.
class PacedWait {
 public:
  explicit PacedWait(Clock& clock) : clock_(clock) {}

  // Waits until `micros` after the reference (reset to now unless continuing the cadence).
  void Wait(std::int64_t micros, bool continueCadence);

 private:
  Clock& clock_;
  std::int64_t reference_ = 0;
};

}  // namespace corvane
