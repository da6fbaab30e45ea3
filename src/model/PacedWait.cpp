#include "model/PacedWait.h"

namespace corvane {

void PacedWait::Wait(std::int64_t micros, bool continueCadence) {
  if (!continueCadence) reference_ = clock_.nowMicros();
  const std::int64_t due = reference_ + micros;
  // Whole 1 ms sleeps while any time remains: a 1 µs wait after a reset therefore
  // yields exactly one sleep, which the cutting sequence relies on.
  while (due - clock_.nowMicros() > 0) clock_.sleepMillis(1);
  reference_ = due;
}

}  // namespace corvane
