#include "machine/Moves.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "link/ControllerLink.h"
#include "machine/MachineCommands.h"
#include "model/MoveSpeeds.h"
#include "model/PacedWait.h"
#include "store/FieldValues.h"
#include "system/System.h"
#include "wire/Commands.h"

namespace corvane {
namespace {

constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;
// A Z target this far above the soft limit is still taken as it is.
constexpr std::int32_t kSoftLimitSlack = 10;
// Heights above the surface this close to the current one need no move.
constexpr std::int32_t kContactSlack = 9;
constexpr std::int32_t kMinPipeDiameter = 500;
constexpr std::int32_t kSensedZSimulationSpeed = 1000;
constexpr std::int32_t kBacklashSpeedXY = 200, kBacklashSpeedZ = 100;
constexpr std::int32_t kBacklashPauseMillis = 300;

std::int32_t Round(double v) { return static_cast<std::int32_t>(std::lround(v)); }
double Distance(std::int32_t a, std::int32_t b) { return std::fabs(double(a) - double(b)); }

// How the board ramps between its levels at a ramp setting.
PlannerRamps BoardRamps(const System& s, std::int32_t ramp) {
  return PlannerRamps(s.scales, s.speeds, ramp, false);
}

// A move in motor steps, X, Y, Z and A. The board paces it by its leading
// axis, the one making the most steps, and brakes over that axis's steps.
struct StepMove {
  std::array<std::int32_t, 4> from, to;

  StepMove(const AxisPosition& a, const AxisPosition& b, const AxisScales& sc)
      : from{MachineCommands::ToSteps(a.x, sc.SX), MachineCommands::ToSteps(a.y, sc.SY),
             MachineCommands::ToSteps(a.z, sc.SZ), a.a},
        to{MachineCommands::ToSteps(b.x, sc.SX), MachineCommands::ToSteps(b.y, sc.SY),
           MachineCommands::ToSteps(b.z, sc.SZ), b.a} {}

  std::int64_t lead() const {
    std::int64_t steps = 0;
    for (std::size_t i = 0; i < from.size(); ++i)
      steps = std::max<std::int64_t>(steps, std::llabs(std::int64_t{to[i]} - from[i]));
    return steps;
  }
  // Where the leading axis has `brake` steps left.
  std::array<std::int32_t, 4> brakingPoint(std::int64_t brake) const {
    const double k = double(lead() - brake) / double(lead());
    std::array<std::int32_t, 4> at{};
    for (std::size_t i = 0; i < from.size(); ++i)
      at[i] = static_cast<std::int32_t>(std::llround(from[i] + (double(to[i]) - from[i]) * k));
    return at;
  }
};

}  // namespace

Moves::Moves(System& system, ControllerLink& link, MachineCommands& commands)
    : simulation(system, commands), system_(system), link_(link), commands_(commands) {}

bool Moves::Connected() const { return link_.state.LinkConnected; }

void Moves::SendRamp(std::int32_t ramp) {
  link_.request.p[4] = ramp;
  commands_.Send(wire::cmd::kRamp);
  commands_.LastRamp = ramp;
}

bool Moves::SendAt(std::uint8_t code, std::int32_t level) {
  link_.request.p[4] = level;
  return commands_.Send(code);
}

bool Moves::ThrottleUnlessStopped() {
  if (system_.StopRequested) return false;
  commands_.QueueThrottle();
  return !system_.StopRequested;
}

void Moves::ResetMotionState() {
  ThcLatched = false;
  simulation.ResetPacing();
}

// THC mode of an XY move: 0 off, 1 switch on, 2 stay on.
std::int32_t Moves::ThcMode(std::int32_t speed) {
  const bool button = system_.fields.text(kMain, "eTHC") == "on";
  if (button && speed > ThcSpeedThreshold && !ThcFrozen) {
    if (ThcLatched) return 2;
    ThcLatched = true;
    return 1;
  }
  ThcLatched = false;
  return 0;
}

void Moves::MoveXY(std::int32_t x, std::int32_t y, std::int32_t speed, bool ramped) {
  AxisPosition& last = system_.job.LastCommanded;
  const AxisScales& sc = system_.scales;
  const SpeedTables& tables = system_.speeds;
  link_.state.StatusCode = 0;
  const std::int32_t ramp = FieldInteger(system_, kConfig, "eAccXY");
  if (ramped || ramp != commands_.LastRamp) SendRamp(ramp);
  link_.request.p[2] = ThcMode(speed);
  if (ramped && system_.Busy) ThcLatched = false;

  const std::int32_t safe = FieldSpeed(system_, kConfig, "xFeedMinXY");
  const int lo = SpeedLevel(safe, tables.X);
  if (!ThrottleUnlessStopped()) return;
  const auto level = [&](std::int32_t v) { return MoveLevel(last, x, y, v, sc, tables); };

  if (ramped && Connected()) {
    if (safe < speed) {
      // Braked in the levels sent, which the board applies to the axis making more steps.
      const int low = level(safe);
      SendAt(wire::cmd::kStartLevel, low);
      const StepMove steps(last, {x, y, last.z, last.a}, sc);
      const RampedSplit split =
          SplitRampedMove(steps.lead(), level(speed), low, BoardRamps(system_, commands_.LastRamp));
      if (split.peak > low) {
        const auto at = steps.brakingPoint(split.brakeSteps);
        link_.request.p[0] = at[0];
        link_.request.p[1] = at[1];
        SendAt(wire::cmd::kXyLine, split.peak);
      }
      speed = std::min(speed, safe);
    } else {
      SendAt(wire::cmd::kStartLevel, level(speed));
    }
  }
  link_.request.p[0] = MachineCommands::ToSteps(x, sc.SX);
  link_.request.p[1] = MachineCommands::ToSteps(y, sc.SY);
  if (SendAt(wire::cmd::kXyLine, level(speed))) {
    last.x = x;
    last.y = y;
    return;
  }
  if (ramped) SendAt(wire::cmd::kStartLevel, lo);
  simulation.Start(SimulatedMove::XY, {x, y, last.z, last.a}, speed);
}

// Above the Z soft limit (home switches on) the move ends at the limit and
// every running operation stops, so a job cannot drive the torch into the top.
bool Moves::ZOverSoftLimit(std::int32_t z, std::int32_t speed) {
  const std::int32_t limit = FieldLength(system_, kConfig, "xLimitZ");
  const bool zPlusJog = ui.jogDirection && ui.jogDirection() == kJogZPlus;
  if (!system_.fields.checked(kConfig, "cHoming") || z < limit + kSoftLimitSlack || zPlusJog)
    return false;
  MoveZ(limit, speed);
  system_.log.WriteLog("Z over rang ( Soft Limit )");
  system_.host.setErrorLabel("Z Soft Limit");
  commands_.WaitIdle();
  commands_.StopMotion();
  system_.StopRequested = true;
  commands_.WaitIdle();
  return true;
}

void Moves::MoveZ(std::int32_t z, std::int32_t speed) {
  if (ZOverSoftLimit(z, speed)) return;
  AxisPosition& last = system_.job.LastCommanded;
  if (z == last.z && Connected()) return;
  const double sz = system_.scales.SZ;
  const std::int32_t ramp = FieldInteger(system_, kConfig, "eAccZ");
  if (ramp != commands_.LastRamp) SendRamp(ramp);
  const int hi = SpeedLevel(speed, system_.speeds.Z);
  if (!ThrottleUnlessStopped()) return;
  const int lo = SpeedLevel(FieldSpeed(system_, kConfig, "xFeedMinZ"), system_.speeds.Z);

  int peak = hi;
  if (lo < hi) {
    const StepMove steps(last, {last.x, last.y, z, last.a}, system_.scales);
    const RampedSplit split =
        SplitRampedMove(steps.lead(), hi, lo, BoardRamps(system_, commands_.LastRamp));
    peak = split.peak;
    SendAt(wire::cmd::kStartLevel, lo);
    if (peak > lo) {
      link_.request.p[2] = steps.brakingPoint(split.brakeSteps)[2];
      SendAt(wire::cmd::kZMove, peak);
    }
  } else {
    SendAt(wire::cmd::kStartLevel, hi);
  }
  link_.request.p[2] = MachineCommands::ToSteps(z, sz);
  if (SendAt(wire::cmd::kZMove, std::min(peak, lo))) {
    last.z = z;
    return;
  }
  simulation.Start(SimulatedMove::Z, {last.x, last.y, z, last.a}, speed);
}

void Moves::MoveZAboveMaterial(std::int32_t h) {
  std::int32_t surface = system_.job.ProjectOriginZ;
  if (ui.profileSurface) surface = ui.profileSurface().value_or(surface);
  const bool sensor = system_.fields.checked(kConfig, "cOhmic") ||
                      system_.fields.checked(kConfig, "cFloating");
  const std::int32_t maxZ = FieldSpeed(system_, kConfig, "xFeedMaxZ");
  if (!sensor || !LastSenseDue) return MoveZ(h + surface, maxZ);
  if (std::abs(h - LastContactOffset) <= kContactSlack && Connected()) return;

  const double sz = system_.scales.SZ;
  SendRamp(FieldInteger(system_, kConfig, "eAccZ"));
  const int hi = SpeedLevel(maxZ, system_.speeds.Z);
  const int lo = SpeedLevel(FieldSpeed(system_, kConfig, "xFeedMinZ"), system_.speeds.Z);
  const RampedSplit split = SplitRampedMove(std::llround(Distance(h, LastContactOffset) * sz), hi,
                                            lo, BoardRamps(system_, commands_.LastRamp));
  double brake = double(split.brakeSteps);
  if (h < LastContactOffset) brake = -brake;
  if (!ThrottleUnlessStopped()) return;

  if (Connected()) {
    SendAt(wire::cmd::kStartLevel, lo);
    if (split.peak > lo) {
      link_.request.p[2] = Round(h * sz - brake);
      SendAt(wire::cmd::kZAboveMaterial, split.peak);
    }
  }
  SendRamp(commands_.LastRamp);
  link_.request.p[2] = Round(h * sz);
  if (SendAt(wire::cmd::kZAboveMaterial, lo))
    system_.job.LastCommanded.z = h + surface;
  else
    simulation.Start(SimulatedMove::Z, {system_.job.LastCommanded.x, system_.job.LastCommanded.y,
                                        h + surface, system_.job.LastCommanded.a},
                     kSensedZSimulationSpeed);
  LastContactOffset = h;
}

namespace {

// The axis that travels furthest sets the speeds of a four-axis move: its
// fields and its table. The braking follows the board, which paces the move
// by the axis making the most steps.
struct LeadingAxis {
  const char* safetySpeed;
  const char* maxSpeed;
  const char* ramp;
  const SpeedTable* table;
};

LeadingAxis ChooseLeader(const System& s, double dX, double dY, double dZ, double dA) {
  if (dX >= dY && dX >= dZ && dX >= dA) return {"xFeedMinXY", "xFeedMaxXY", "eAccXY", &s.speeds.X};
  if (dY >= dZ && dY >= dA) return {"xFeedMinXY", "xFeedMaxXY", "eAccXY", &s.speeds.X};
  if (dZ < dA) return {"xFeedMinA", "xFeedMaxA", "eAccA", &s.speeds.A};
  return {"xFeedMinZ", "xFeedMaxZ", "eAccZ", &s.speeds.Z};
}

}  // namespace

void Moves::MoveXYZA(std::int32_t x, std::int32_t y, std::int32_t z, bool ramped, std::int32_t speed,
                     std::int32_t a) {
  link_.state.StatusCode = 0;
  commands_.Send(wire::cmd::kMotionReset);
  QueueXYZA(x, y, z, ramped, speed, a);
}

void Moves::QueueXYZA(std::int32_t x, std::int32_t y, std::int32_t z, bool ramped, std::int32_t speed,
                      std::int32_t a) {
  AxisPosition& last = system_.job.LastCommanded;
  const AxisScales& sc = system_.scales;
  const AxisPosition target{x, y, z, a};
  const double dX = Distance(last.x, x), dY = Distance(last.y, y), dZ = Distance(last.z, z),
               dA = Distance(last.a, a);

  // Sends command 30 to a point at a level; simulates the move when refused.
  const auto sendTo = [&](const AxisPosition& p, int level) {
    link_.request.p[0] = MachineCommands::ToSteps(p.x, sc.SX);
    link_.request.p[1] = MachineCommands::ToSteps(p.y, sc.SY);
    link_.request.p[2] = MachineCommands::ToSteps(p.z, sc.SZ);
    link_.request.p[3] = p.a;
    if (SendAt(wire::cmd::kXyzaMove, level))
      last = target;
    else
      simulation.Start(SimulatedMove::FourAxis, target, speed);
  };

  if (!ramped) {
    const std::int32_t ramp = FieldInteger(system_, kConfig, "eAccXY");
    if (ramp != commands_.LastRamp) SendRamp(ramp);
    commands_.QueueThrottle();
    const std::int32_t capped = system_.speeds.X[static_cast<std::size_t>(SpeedLevel(speed, system_.speeds.X))];
    sendTo(target, MoveLevel(last, x, y, capped, sc, system_.speeds));
    return;
  }

  PacedWait(system_.clock).Wait(10, false);
  const LeadingAxis lead = ChooseLeader(system_, dX, dY, dZ, dA);
  const int hi = SpeedLevel(std::min(speed, FieldSpeed(system_, kConfig, lead.maxSpeed)), *lead.table);
  const int lo = SpeedLevel(FieldSpeed(system_, kConfig, lead.safetySpeed), *lead.table);
  const std::int32_t ramp = FieldInteger(system_, kConfig, lead.ramp);
  const StepMove steps(last, target, sc);
  const RampedSplit split = SplitRampedMove(steps.lead(), hi, lo, BoardRamps(system_, ramp));
  const int peak = split.peak;
  SendRamp(ramp);
  if (lo < peak) {
    SendAt(wire::cmd::kStartLevel, lo);
    const auto at = steps.brakingPoint(split.brakeSteps);
    for (std::size_t i = 0; i < at.size(); ++i) link_.request.p[i] = at[i];
    if (SendAt(wire::cmd::kXyzaMove, peak))
      last = target;
    else
      simulation.Start(SimulatedMove::FourAxis, target, speed);
    sendTo(target, lo);
  } else {
    SendAt(wire::cmd::kStartLevel, peak);
    sendTo(target, peak);
  }
  last = target;
}

void Moves::MoveYA(std::int32_t a, std::int32_t y, std::int32_t speed, bool ramped) {
  AxisPosition& last = system_.job.LastCommanded;
  const AxisScales& sc = system_.scales;
  const double dA = double(a) - last.a, dY = double(y) - last.y;
  if (std::fabs(dA) <= 1 && std::fabs(dY) <= 1) return;

  // The pipe's surface must not turn faster than the A axis allows.
  const double diameter = std::max(FieldLength(system_, kMain, "xrD"), kMinPipeDiameter);
  const double theta = std::atan2(dA, dY);
  const double w = std::fabs(std::round(std::cos(theta) * speed) * 10000.0 / diameter);
  system_.host.appendLogPane(std::to_string(Round(w)));
  const std::int32_t maxA = FieldSpeed(system_, kConfig, "xFeedMaxA");
  const double f = maxA < w ? maxA / w : 1.0;
  const std::int32_t v = Round(speed * f);

  const std::int32_t ramp = FieldInteger(system_, kConfig, "eAccXY");
  if (ramped || ramp != commands_.LastRamp) SendRamp(ramp);
  link_.request.p[2] = ThcMode(v);
  if (ramped && system_.Busy) ThcLatched = false;
  if (!ThrottleUnlessStopped()) return;

  const auto level = [&](double speedOf) {
    if (std::fabs(dA * sc.SA) > std::fabs(dY * sc.SY)) return LevelAtAngle(speedOf, system_.speeds.A, dY / dA);
    if (dY != 0) return LevelAtAngle(speedOf, system_.speeds.X, dA / dY);
    return SpeedLevel(static_cast<std::int32_t>(speedOf), system_.speeds.X);
  };
  const AxisPosition target{last.x, y, last.z, a};
  const std::int32_t safe = FieldSpeed(system_, kConfig, "xFeedMinXY");
  if (ramped) {
    SendAt(wire::cmd::kStartLevel, level(std::min(v, safe)));
    const double d = std::round(std::hypot(dA, dY));
    const std::int32_t p = PipePeakSpeed(d, v, safe, commands_.LastRamp);
    const double b = std::round(SpeedRampLength(p, safe, commands_.LastRamp) * f);
    if (d > 50 && b < d && p > 1.05 * safe) {
      const double k = 1 - b / d;
      link_.request.p[3] = Round((last.a + dA * k) * sc.SA);
      link_.request.p[1] = Round((last.y + dY * k) * sc.SY);
      if (!SendAt(wire::cmd::kYaMove, level(p))) simulation.Start(SimulatedMove::YA, target, p);
    }
  }
  link_.request.p[3] = Round(a * sc.SA);
  link_.request.p[1] = Round(y * sc.SY);
  if (SendAt(wire::cmd::kYaMove, level(ramped ? safe : v))) {
    last.a = a;
    last.y = y;
    return;
  }
  if (ramped) SendAt(wire::cmd::kStartLevel, level(safe));
  simulation.Start(SimulatedMove::YA, target, v);
}

void Moves::BacklashTest(BacklashAxis axis) {
  const AxisPosition& shown = system_.job.MachinePosition;
  const std::int32_t start = axis == BacklashAxis::X ? shown.x : axis == BacklashAxis::Y ? shown.y : shown.z;
  const std::string size = system_.fields.text(kConfig, "xBacklash");
  const std::int32_t end = start + FieldLength(system_, kConfig, "xBacklash");
  // A second press while the test (or any motion) runs stops it.
  if (!system_.StopRequested) return commands_.StopMotion();

  system_.StopRequested = false;
  SendRamp(FieldInteger(system_, kConfig, "eAccXY"));
  const bool z = axis == BacklashAxis::Z;
  SendAt(wire::cmd::kStartLevel, z ? SpeedLevel(kBacklashSpeedZ, system_.speeds.Z)
                                   : SpeedLevel(kBacklashSpeedXY, system_.speeds.X));
  // The test never switches the height control on.
  link_.request.p[2] = 0;
  const std::string name = axis == BacklashAxis::X ? "X" : axis == BacklashAxis::Y ? "Y" : "Z";
  const std::string label = "Backlash " + name + " Test";
  const AxisScales& sc = system_.scales;

  const auto travel = [&](std::int32_t to, const char* sign) {
    commands_.Send(wire::cmd::kMotionReset);
    system_.host.setErrorLabel(label + " " + sign + size);
    AxisPosition target = system_.job.MachinePosition;
    bool sent = false;
    if (z) {
      target.z = to;
      link_.request.p[2] = MachineCommands::ToSteps(to, sc.SZ);
      sent = commands_.Send(wire::cmd::kZMove);
    } else {
      (axis == BacklashAxis::X ? target.x : target.y) = to;
      link_.request.p[0] = MachineCommands::ToSteps(target.x, sc.SX);
      link_.request.p[1] = MachineCommands::ToSteps(target.y, sc.SY);
      sent = commands_.Send(wire::cmd::kXyLine);
    }
    if (sent) {
      system_.job.LastCommanded.x = system_.job.MachinePosition.x;
      system_.job.LastCommanded.y = system_.job.MachinePosition.y;
    } else {
      simulation.Start(z ? SimulatedMove::Z : SimulatedMove::XY, target,
                       z ? kBacklashSpeedZ : kBacklashSpeedXY);
    }
    commands_.WaitIdle();
    commands_.Dwell(kBacklashPauseMillis);
    commands_.Dwell(kBacklashPauseMillis);
    system_.host.setErrorLabel(label);
    commands_.Dwell(kBacklashPauseMillis);
  };
  while (!system_.StopRequested) {
    travel(end, "+");
    if (system_.StopRequested) break;
    travel(start, "-");
  }
  system_.host.setErrorLabel("");
}

}  // namespace corvane
