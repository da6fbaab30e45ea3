#pragma once
#include <cstdint>
#include <functional>
#include <optional>

namespace corvane {

class ControllerLink;
class Jog;
class System;

// One reading of the game controller: four axes in 0..65535 (centre about
// 32767) and the button word (bit i = button i).
struct PadReading {
  std::int32_t x = 32767, y = 32767, z = 32767, r = 32767;
  std::uint32_t buttons = 0;
};

// The game controller, read by the main window's timer: centring check,
// button slots of the advanced options, the start button (short press stops,
// ten ticks start the job) and jogging with the sticks, one jog per tick.
class Gamepad {
 public:
  Gamepad(System& system, ControllerLink& link, Jog& jog);

  // Controller jog state: 0 none, 1 X-, 2 X+, 3 Y+, 4 Y-, 11 Z+, 12 Z-,
  // 31 a diagonal runs; -5, -7, -9 a button's action waits for its release.
  int PadJog = 0;
  int PadStartCount = 0;
  bool PadError = false;

  // What the controller's buttons do beyond jogging, wired by the window.
  std::function<void()> pressTorch;    // the torch button, clicked once
  std::function<void()> zeroXY;        // "XY = 0"
  std::function<void()> startJob;
  std::function<void()> stop;          // the stop operation
  std::function<void(std::int32_t action)> slotAction;  // 1..4 of the "Gamepad" options
  // " Fast      ", "     Slow  " or "" for the configuration window's label.
  std::function<void(const char*)> showSpeedMode;

  // The timer's tick: `reading` is none when no controller answers (which is
  // normal). Returns the next interval in milliseconds.
  int Tick(const std::optional<PadReading>& reading);

  // The buttons as "Type 2" controllers lay them out.
  static std::uint32_t RemapType2(std::uint32_t buttons, std::int32_t z);

 private:
  int jogTick(const PadReading& pad);
  void startJog(int padJog, int direction);
  System& system_;
  ControllerLink& link_;
  Jog& jog_;
  int detected_ = 0;  // ticks a controller has answered
};

}  // namespace corvane
