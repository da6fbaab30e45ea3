#pragma once
#include <cstdint>

#include "model/JobModel.h"
#include "model/PacedWait.h"

namespace corvane {

class MachineCommands;
class System;

// Which move the simulation animates; Idle once it has ended.
enum class SimulatedMove : std::int32_t { XY = 0, Z = 1, FourAxis = 2, YA = 3, Idle = 99 };

// Without a controller the moves are animated on the PC: the shown machine
// position travels to the target at the commanded speed, in ticks of 60 ms
// that let the operator's screen breathe and can be stopped.
class OfflineSimulation {
 public:
  // Units the leading axis advances per step, and the speed divisor that
  // makes `speed / divisor` steps travel the commanded speed in one tick.
  static constexpr std::int32_t kPlanarStep = 4, kPlanarDivisor = 40;
  static constexpr std::int32_t kAxisStep = 1, kAxisDivisor = 10;
  static constexpr std::int64_t kTickMicros = 60000;
  static constexpr int kOneShotMillis = 10;

  OfflineSimulation(System& system, MachineCommands& commands);

  // Animates a move from the last commanded position to `target`. Outside a
  // job the caller's handler returns first: the run starts from the main
  // window's one-shot timer. During a job it runs at once.
  void Start(SimulatedMove kind, const AxisPosition& target, std::int32_t speed);

  SimulatedMove mode() const { return mode_; }
  bool zRunning() const { return zRunning_; }
  // Restarts the tick cadence (the stop operation resets it).
  void ResetPacing() { pacingFresh_ = true; }

 private:
  void Run();
  void RunPlanar(const AxisPosition& from, bool yAndA);
  void RunZ(const AxisPosition& from);
  void RunFourAxis(const AxisPosition& from);
  // One tick: publish the position, let the screen work, keep the cadence.
  // False when the operator stopped the motion.
  bool Tick(const AxisPosition& at);
  void Finish(const AxisPosition& reached);

  System& system_;
  MachineCommands& commands_;
  PacedWait pacing_;
  bool pacingFresh_ = true;
  SimulatedMove mode_ = SimulatedMove::Idle;
  AxisPosition target_;
  std::int32_t speed_ = 0;
  bool zRunning_ = false;
};

}  // namespace corvane
