#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace corvane {

class Host;
class ProgramLog;

// One set speed of the operator's fields: compared as ParseFloat2 reads it,
// taken over as ParseInt2 reads it (both mm/min).
struct SetSpeed {
  double compared = 0;
  std::int32_t value = 0;
};
// xFeed, xFeed2 (main window), xFeedMaxXY, xFeedMinXY, xFeedhXY (configuration),
// in the order an estimate is matched against them.
using SetSpeeds = std::array<SetSpeed, 5>;

// Item indexes of the input mode lists cIn1 and cIn2.
struct InputModes {
  int in1 = 0;
  int in2 = 0;
};
inline constexpr int kIn1StartStop = 2;
inline constexpr int kIn2ArcOk = 2;
inline constexpr int kIn2StartStop = 3;

// What the arc monitor reads.
struct ArcFields {
  bool interfaceEnabled = false;  // cInterface: the RS485 plasma interface
  bool waitArcOk = false;         // cArcOk "Waiting for ARC OK"
  bool in2ArcOk = false;          // cIn2 is in mode "ARC OK"
};

// Where and when the previous status A found the tool, for the speed estimate.
struct SpeedSample {
  std::int32_t x = 0, y = 0, a = 0;  // steps
  std::int64_t micros = 0;    // the counter (the clock in microseconds)
};

// The tool speed in mm/min from `travel` (0.01 mm) covered in `micros`.
std::int32_t EstimateSpeed(double travel, std::int64_t micros);
// The first set speed within 20 % of the estimate replaces it.
std::int32_t SnapToSetSpeed(std::int32_t speed, const SetSpeeds& speeds);

// Shows each new alarm once: its text in the error label and a log line. A
// cleared alarm takes its text out of the label again, unless something else
// has been written there since.
class AlarmReport {
 public:
  // labelText reads what the error label shows now; unset means "unknown".
  void Update(Host& host, ProgramLog& log, std::uint8_t code, std::uint32_t statusWord,
              bool interfaceEnabled, const std::function<std::string()>& labelText);

 private:
  std::uint8_t code_ = 0;
  std::string shown_;
};

}  // namespace corvane
