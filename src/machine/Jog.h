#pragma once
#include <cstdint>
#include <functional>
#include <optional>

#include "model/JobModel.h"

namespace corvane {

class ControllerLink;
class MachineCommands;
class Moves;
class System;

// Jog directions, as `JogDirection` holds them.
namespace jog {
inline constexpr int kNone = 0, kXPlus = 1, kYMinus = 2, kXMinus = 3, kYPlus = 4, kZPlus = 5,
                     kZMinus = 6, kXMinusYPlus = 7, kXPlusYPlus = 8, kXPlusYMinus = 9,
                     kXMinusYMinus = 10;
// A continuous jog runs towards this far point until it is stopped.
inline constexpr std::int32_t kFar = 1000000;
}  // namespace jog

// The room a left-button jog may use: soft limits on, and the axis lengths.
struct JogRoom {
  bool limits = false;
  std::int32_t xMax = 0, yMax = 0;
};

// Where an XY jog in `direction` from `at` goes: by `distance` (0.01 mm) or,
// with distance 0, on until stopped. Nothing when the limits leave no room.
std::optional<Point2> JogTarget(int direction, Point2 at, std::int32_t distance,
                                const JogRoom& room);

// The speed keys at the moment of a jog: Ctrl (or the controller's slow
// button) and Shift (or its fast button).
struct JogKeys {
  bool slow = false;
  bool fast = false;
};

// The position dialog's "Apply" buttons (and Enter in their fields): the
// torch's present position gets the typed coordinates `xX`, `xY`, `xZ`, or
// the job origin becomes `xXM`, `xYM`, `xZM`; the origin fields show the
// result either way.
void ApplyTorchPosition(System& system);
void ApplyProjectPosition(System& system);

// Manual motion from the jog pad, the arrow and page keys and the game
// controller, the torch button, "Z = 0" and the touch test.
class Jog {
 public:
  Jog(System& system, ControllerLink& link, MachineCommands& commands, Moves& moves);

  int JogDirection = jog::kNone;
  std::function<JogKeys()> keys = [] { return JogKeys{}; };
  // The material detection of the touch test (the cutting process's).
  std::function<void()> detectMaterial;
  // "One Click Jog Mode": an XY jog goes on after its button is released.
  bool oneClick() const;

  // A jog button pressed: the straight and diagonal XY ones, Z+ and Z−.
  // `right` is the right mouse button: no limits, motion reset first.
  void PressXY(int direction, bool right);
  // The rotary jog of X− / X+ while MIX is down: one revolution (`sense`
  // +1 or −1) at the current Y and at the hand speed. A pipe turns with one
  // Y+A move; a profile's unrolled line of 2 (W + H) is planned like a cut
  // and followed with four-axis moves at the head's present height above
  // the surface.
  void TurnTube(int direction, bool right);
  // A+ / A− (rotary mode): A to the next or previous eighth of a revolution
  // at the A maximum speed `xFeedMaxA`, X, Y and Z kept.
  void PressA(bool up);
  void PressZ(bool up, bool right);
  // The button (or key) released; Page Up/Down pass `zJog`.
  void Release(bool zJog);
  // The pointer left a jog button.
  void Leave();

  void JogXY(std::int32_t x, std::int32_t y);
  void JogZ(std::int32_t z);

  // The torch button: `wasDown` is its state before the click; the result is
  // its state after it.
  bool TorchButton(bool wasDown, bool right);
  // "Z = 0": the right button runs the touch test; the left one takes the
  // torch's Z as the job's origin Z.
  void ZeroZ(bool right);
  void TouchTest();

  // The stop operation of a jog: all motion stops, no direction stays active.
  void Stop();

 private:
  bool connected() const;
  JogRoom room(bool right) const;
  void TurnProfile(int sense, std::int32_t speed);
  std::int32_t handSpeed(const char* hand, const char* fast) const;
  System& system_;
  ControllerLink& link_;
  MachineCommands& commands_;
  Moves& moves_;
};

}  // namespace corvane
