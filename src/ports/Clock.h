#pragma once
#include <cstdint>
#include <functional>
#include <vector>

namespace corvane {

// Calendar date and time of day in the operator's local time zone.
struct LocalDateTime {
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// The one source of time: monotonic microseconds for waits and time-outs,
// local calendar time for log lines and file names. Nothing else reads a clock.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::int64_t nowMicros() const = 0;
  virtual void sleepMicros(std::int64_t micros) = 0;
  virtual LocalDateTime localNow() const = 0;
  void sleepMillis(std::int64_t millis) { sleepMicros(millis * 1000); }
};

// Wall time: steady_clock for intervals, the system clock for the calendar.
class SteadyClock final : public Clock {
 public:
  std::int64_t nowMicros() const override;
  void sleepMicros(std::int64_t micros) override;
  LocalDateTime localNow() const override;
};

// Test and simulation time: sleeping advances time at once. Listeners run on
// every advance, so an in-process board can move on while the program waits.
class FakeClock final : public Clock {
 public:
  using Listener = std::function<void(std::int64_t nowMicros)>;

  explicit FakeClock(LocalDateTime start = {2026, 12, 9, 9, 5, 0, 0});
  std::int64_t nowMicros() const override { return now_; }
  void sleepMicros(std::int64_t micros) override { advance(micros); }
  LocalDateTime localNow() const override;

  void advance(std::int64_t micros);
  void setLocalDate(int year, int month, int day);
  // Busy-wait loops read nowMicros() without sleeping; a non-zero step makes
  // each read move time forward so such loops end.
  void setAutoStepMicros(std::int64_t micros) { autoStep_ = micros; }
  std::int64_t readAndStep();
  void addListener(Listener listener) { listeners_.push_back(std::move(listener)); }

 private:
  std::int64_t now_ = 0;
  std::int64_t autoStep_ = 0;
  LocalDateTime start_;
  std::vector<Listener> listeners_;
};

}  // namespace corvane
