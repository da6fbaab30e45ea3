#pragma once

namespace corvane {

// The reply window is 10 ms: while the exchange waits, the process asks the
// scheduler for a higher priority. Without the right to raise it (a normal
// user) the request is refused and the wait runs at the normal priority.
class ProcessPriority {
 public:
  void Raise();
  void Normal();

 private:
  bool raised_ = false;
};

}  // namespace corvane
