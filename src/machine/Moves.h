#pragma once
#include <cstdint>
#include <functional>
#include <optional>

#include "machine/OfflineSimulation.h"

namespace corvane {

class ControllerLink;
class MachineCommands;
class System;

// Jog direction of a Z+ jog; a Z move during it is not held at the soft limit.
inline constexpr int kJogZPlus = 5;

enum class BacklashAxis { X, Y, Z };

// What the moves need to know from the jog and the rotary set-up, wired by
// the lead; unset ones answer "no jog" and "no profile".
struct MovesUi {
  std::function<int()> jogDirection;
  // Rotary profile mode: the profile height at the current unrolled position.
  std::function<std::optional<std::int32_t>()> profileSurface;
};

// The positioning moves: each takes the tool from `LastCommanded` to an
// absolute target. The controller ramps between levels but does not brake
// ahead of a move's end, so a move that must end slowly is sent as two
// commands: one at the highest level that still leaves room to brake, ending
// where braking must begin, and one at the safety speed. A move the
// controller does not take is animated by the offline simulation instead.
class Moves {
 public:
  Moves(System& system, ControllerLink& link, MachineCommands& commands);

  MovesUi ui;
  OfflineSimulation simulation;

  // THC of XY moves: the first move that switches it on latches it, the
  // following ones keep it on; the cutting process sets the threshold and
  // freezes it in the anti-dive zone.
  bool ThcLatched = false;
  bool ThcFrozen = false;
  std::int32_t ThcSpeedThreshold = 0;
  // The height above the surface where the last sensing left the torch, and
  // whether the last sensing check found sensing due.
  std::int32_t LastContactOffset = 0;
  bool LastSenseDue = false;

  // x, y, z in 0.01 mm; speeds in mm/min; a in steps (four-axis move) or in
  // 0.01 mm of pipe surface (Y with A).
  void MoveXY(std::int32_t x, std::int32_t y, std::int32_t speed, bool ramped);
  void MoveZ(std::int32_t z, std::int32_t speed);
  void MoveZAboveMaterial(std::int32_t h);
  void MoveXYZA(std::int32_t x, std::int32_t y, std::int32_t z, bool ramped, std::int32_t speed,
                std::int32_t a);
  // The same queued behind what the board still has to do (a cut's moves);
  // MoveXYZA first drops the board's queue, as a positioning move may.
  void QueueXYZA(std::int32_t x, std::int32_t y, std::int32_t z, bool ramped, std::int32_t speed,
                 std::int32_t a);
  void MoveYA(std::int32_t a, std::int32_t y, std::int32_t speed, bool ramped);
  // The configuration window's backlash test: runs back and forth until the
  // button is pressed again.
  void BacklashTest(BacklashAxis axis);

  // The stop operation's reset: THC latch and the simulation's cadence.
  void ResetMotionState();

 private:
  bool Connected() const;
  // Sends command 7 with `ramp` and remembers it.
  void SendRamp(std::int32_t ramp);
  bool SendAt(std::uint8_t code, std::int32_t level);
  // The queue throttle between two stop checks; false when a stop came.
  bool ThrottleUnlessStopped();
  std::int32_t ThcMode(std::int32_t speed);
  bool ZOverSoftLimit(std::int32_t z, std::int32_t speed);

  System& system_;
  ControllerLink& link_;
  MachineCommands& commands_;
};

}  // namespace corvane
