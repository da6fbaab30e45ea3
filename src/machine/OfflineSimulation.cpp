#include "machine/OfflineSimulation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "machine/MachineCommands.h"
#include "system/System.h"

namespace corvane {
namespace {

std::int64_t Span(std::int32_t from, std::int32_t to) { return std::llabs(std::int64_t{to} - from); }

// The point `done` of `total` along from → to, each axis on an integer line.
std::int32_t Along(std::int32_t from, std::int32_t to, std::int64_t done, std::int64_t total) {
  if (total == 0) return to;
  return static_cast<std::int32_t>(from + (std::int64_t{to} - from) * done / total);
}

std::int64_t StepsPerTick(std::int32_t speed, std::int32_t divisor) {
  return std::max<std::int64_t>(1, std::llround(static_cast<double>(speed) / divisor));
}

}  // namespace

OfflineSimulation::OfflineSimulation(System& system, MachineCommands& commands)
    : system_(system), commands_(commands), pacing_(system.clock) {}

void OfflineSimulation::Start(SimulatedMove kind, const AxisPosition& target, std::int32_t speed) {
  if (kind == SimulatedMove::Z && zRunning_) {
    // A Z move started while another one is animated (its ticks let the
    // screen work): the running one heads for the new height instead, since
    // the nested one could never wait for it to end.
    target_.z = target.z;
    speed_ = speed;
    return;
  }
  mode_ = kind;
  target_ = target;
  speed_ = speed;
  if (system_.Busy)
    Run();
  else
    system_.host.armOneShot(kOneShotMillis, [this] { Run(); });
}

void OfflineSimulation::Run() {
  if (mode_ == SimulatedMove::Idle) return;
  const AxisPosition from = system_.job.LastCommanded;
  commands_.status.ActualSpeed = speed_;
  MachineUi::Call(commands_.ui.showActualSpeed, speed_);
  switch (mode_) {
    case SimulatedMove::XY:
      return RunPlanar(from, false);
    case SimulatedMove::YA:
      return RunPlanar(from, true);
    case SimulatedMove::Z:
      return RunZ(from);
    case SimulatedMove::FourAxis:
      return RunFourAxis(from);
    case SimulatedMove::Idle:
      return;
  }
}

bool OfflineSimulation::Tick(const AxisPosition& at) {
  system_.job.MachinePosition = at;
  MachineUi::Call(commands_.ui.redrawStatusPanel);
  system_.host.processEvents();
  if (system_.StopRequested) return false;
  pacing_.Wait(kTickMicros, !pacingFresh_);
  pacingFresh_ = false;
  return !system_.StopRequested;
}

void OfflineSimulation::Finish(const AxisPosition& reached) {
  system_.job.MachinePosition = reached;
  system_.job.LastCommanded = reached;
  commands_.status.ActualSpeed = 0;
  MachineUi::Call(commands_.ui.showActualSpeed, 0);
  MachineUi::Call(commands_.ui.redrawStatusPanel);
  mode_ = SimulatedMove::Idle;
}

// XY moves, and Y with A on a pipe: the longer axis leads in steps of four
// units, the other follows on the straight line from the start.
void OfflineSimulation::RunPlanar(const AxisPosition& from, bool yAndA) {
  const AxisPosition to = target_;
  const std::int32_t fromU = yAndA ? from.a : from.x, toU = yAndA ? to.a : to.x;
  const std::int64_t total = std::max(Span(fromU, toU), Span(from.y, to.y));
  const std::int64_t perTick = kPlanarStep * StepsPerTick(speed_, kPlanarDivisor);
  AxisPosition at = from;
  for (std::int64_t done = perTick; done < total; done += perTick) {
    (yAndA ? at.a : at.x) = Along(fromU, toU, done, total);
    at.y = Along(from.y, to.y, done, total);
    if (!Tick(at)) return Finish(at);
  }
  AxisPosition end = from;
  (yAndA ? end.a : end.x) = toU;
  end.y = to.y;
  Finish(end);
}

void OfflineSimulation::RunZ(const AxisPosition& from) {
  zRunning_ = true;
  AxisPosition at = from;
  for (std::int64_t step = 1; at.z != target_.z; ++step) {
    at.z += at.z < target_.z ? kAxisStep : -kAxisStep;
    if (step % StepsPerTick(speed_, kAxisDivisor) != 0 || at.z == target_.z) continue;
    if (!Tick(at)) break;
  }
  zRunning_ = false;
  Finish(at);
}

// Four axes: the longest leads one unit per step, the others in proportion.
void OfflineSimulation::RunFourAxis(const AxisPosition& from) {
  const AxisPosition to = target_;
  const std::int64_t total =
      std::max({Span(from.x, to.x), Span(from.y, to.y), Span(from.z, to.z), Span(from.a, to.a)});
  const std::int64_t perTick = StepsPerTick(speed_, kAxisDivisor);
  for (std::int64_t done = perTick; done < total; done += perTick) {
    const AxisPosition at{Along(from.x, to.x, done, total), Along(from.y, to.y, done, total),
                          Along(from.z, to.z, done, total), Along(from.a, to.a, done, total)};
    if (!Tick(at)) return Finish(at);
  }
  Finish(to);
}

}  // namespace corvane
