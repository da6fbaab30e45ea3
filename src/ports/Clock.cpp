#include "ports/Clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace corvane {

std::int64_t SteadyClock::nowMicros() const {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void SteadyClock::sleepMicros(std::int64_t micros) {
  if (micros > 0) std::this_thread::sleep_for(std::chrono::microseconds(micros));
}

LocalDateTime SteadyClock::localNow() const {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
          local.tm_min,         local.tm_sec,     static_cast<int>(millis)};
}

FakeClock::FakeClock(LocalDateTime start) : start_(start) {}

void FakeClock::advance(std::int64_t micros) {
  if (micros <= 0) return;
  now_ += micros;
  for (auto& listener : listeners_) listener(now_);
}

std::int64_t FakeClock::readAndStep() {
  const std::int64_t value = now_;
  advance(autoStep_);
  return value;
}

void FakeClock::setLocalDate(int year, int month, int day) {
  start_.year = year;
  start_.month = month;
  start_.day = day;
}

LocalDateTime FakeClock::localNow() const {
  // Calendar arithmetic through timegm keeps month and year roll-over right.
  std::tm base{};
  base.tm_year = start_.year - 1900;
  base.tm_mon = start_.month - 1;
  base.tm_mday = start_.day;
  base.tm_hour = start_.hour;
  base.tm_min = start_.minute;
  base.tm_sec = start_.second;
  const std::int64_t totalMillis = start_.millisecond + now_ / 1000;
  const std::time_t seconds = timegm(&base) + static_cast<std::time_t>(totalMillis / 1000);
  std::tm out{};
  gmtime_r(&seconds, &out);
  return {out.tm_year + 1900, out.tm_mon + 1, out.tm_mday, out.tm_hour,
          out.tm_min,         out.tm_sec,     static_cast<int>(totalMillis % 1000)};
}

}  // namespace corvane
