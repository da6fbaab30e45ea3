#pragma once

namespace corvane {

// The reply window is 10 ms: while the exchange waits, the process asks the
// scheduler for a higher priority. A process without the right to raise it
// (a normal user) is refused once and then runs at the normal priority
// without asking again on every exchange.
class ProcessPriority {
 public:
  void Raise();
  void Normal();

 private:
  bool raised_ = false;
  bool refused_ = false;
};

}  // namespace corvane
