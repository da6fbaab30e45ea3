#pragma once
#include <optional>

#include "machine/Gamepad.h"

namespace corvane::ui {

// Reads the first game controller through SDL2 (joystick 0, else 1). No
// controller attached, or a build without SDL2, reads as none.
class GamepadReader {
 public:
  GamepadReader();
  ~GamepadReader();
  GamepadReader(const GamepadReader&) = delete;
  GamepadReader& operator=(const GamepadReader&) = delete;

  std::optional<PadReading> read();

 private:
  bool started_ = false;
  void* joystick_ = nullptr;
};

}  // namespace corvane::ui
