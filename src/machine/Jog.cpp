#include "machine/Jog.h"

#include <algorithm>
#include <cmath>

#include "link/ControllerLink.h"
#include "machine/MachineCommands.h"
#include "machine/Moves.h"
#include "model/PlanCut.h"
#include "model/PositionText.h"
#include "model/RotaryAxis.h"
#include "store/FieldValues.h"
#include "system/FieldSettings.h"
#include "system/System.h"
#include "system/TubeSetup.h"
#include "wire/Codes.h"
#include "wire/Commands.h"

namespace corvane {
namespace {

constexpr Window kMain = Window::Main;
constexpr Window kConfig = Window::Configuration;
constexpr int kDiagonalSettleMillis = 50;
constexpr int kResetSettleMillis = 10;
// "Z = 0" keeps the machine's Z inside 0..254 mm before taking it.
constexpr std::int32_t kZeroZLow = 2540, kZeroZHigh = 25400;

// Unit steps of each direction: (dx, dy).
Point2 Sense(int direction) {
  switch (direction) {
    case jog::kXPlus: return {1, 0};
    case jog::kXMinus: return {-1, 0};
    case jog::kYPlus: return {0, 1};
    case jog::kYMinus: return {0, -1};
    case jog::kXMinusYPlus: return {-1, 1};
    case jog::kXPlusYPlus: return {1, 1};
    case jog::kXPlusYMinus: return {1, -1};
    case jog::kXMinusYMinus: return {-1, -1};
    default: return {0, 0};
  }
}

bool Straight(int direction) { return direction >= jog::kXPlus && direction <= jog::kYPlus; }
bool MovesX(int direction) { return Sense(direction).x != 0; }

// The diagonal made of a straight X and a straight Y direction.
int Diagonal(int a, int b) {
  const Point2 s{Sense(a).x + Sense(b).x, Sense(a).y + Sense(b).y};
  for (int d = jog::kXMinusYPlus; d <= jog::kXMinusYMinus; ++d)
    if (Sense(d) == s) return d;
  return jog::kNone;
}

// Room left on one axis towards the limit the sense points at.
std::int32_t Room(std::int32_t at, int sense, std::int32_t max) {
  return sense > 0 ? max - at : at;
}

}  // namespace

std::optional<Point2> JogTarget(int direction, Point2 at, std::int32_t distance,
                                const JogRoom& room) {
  const Point2 s = Sense(direction);
  if (s.x == 0 && s.y == 0) return std::nullopt;
  if (!room.limits) {
    const std::int32_t by = distance > 0 ? distance : jog::kFar;
    // A continuous jog runs to the far point itself, not past it.
    if (distance > 0) return Point2{at.x + s.x * by, at.y + s.y * by};
    return Point2{s.x ? s.x * by : at.x, s.y ? s.y * by : at.y};
  }
  if (s.x != 0 && s.y != 0) {
    std::int32_t k = std::min(Room(at.x, s.x, room.xMax), Room(at.y, s.y, room.yMax));
    if (distance > 0) k = std::min(k, distance);
    if (k <= 0) return std::nullopt;
    return Point2{at.x + s.x * k, at.y + s.y * k};
  }
  // One axis: the step is cut at the limit; a continuous jog runs to it.
  const auto axis = [&](std::int32_t p, int sense, std::int32_t max) -> std::optional<std::int32_t> {
    if (distance > 0) return sense > 0 ? std::min(p + distance, max) : std::max(p - distance, 0);
    if (sense < 0) return p <= 0 ? std::nullopt : std::optional<std::int32_t>(0);
    return std::max(max, p);
  };
  if (s.x != 0) {
    const auto x = axis(at.x, s.x, room.xMax);
    if (!x) return std::nullopt;
    return Point2{*x, at.y};
  }
  const auto y = axis(at.y, s.y, room.yMax);
  if (!y) return std::nullopt;
  return Point2{at.x, *y};
}

namespace {

std::int32_t TypedLength(const System& system, const char* field) {
  return static_cast<std::int32_t>(std::lround(system.parser.ParseFloat2(system.fields.text(kMain, field)) * 100));
}

void ShowOrigin(System& system) {
  const JobState& job = system.job;
  const bool imperial = system.parser.imperial;
  system.fields.setText(kMain, "xXM", FormatOriginField(job.ProjectOriginX, imperial));
  system.fields.setText(kMain, "xYM", FormatOriginField(job.ProjectOriginY, imperial));
  system.fields.setText(kMain, "xZM", FormatOriginField(job.ProjectOriginZ, imperial));
  system.host.requestRedraw();
}

}  // namespace

void ApplyTorchPosition(System& system) {
  JobState& job = system.job;
  job.ProjectOriginX = job.MachinePosition.x - TypedLength(system, "xX");
  job.ProjectOriginY = job.MachinePosition.y - TypedLength(system, "xY");
  job.ProjectOriginZ = job.MachinePosition.z - TypedLength(system, "xZ");
  ShowOrigin(system);
}

void ApplyProjectPosition(System& system) {
  JobState& job = system.job;
  job.ProjectOriginX = TypedLength(system, "xXM");
  job.ProjectOriginY = TypedLength(system, "xYM");
  job.ProjectOriginZ = TypedLength(system, "xZM");
  ShowOrigin(system);
}

Jog::Jog(System& system, ControllerLink& link, MachineCommands& commands, Moves& moves)
    : system_(system), link_(link), commands_(commands), moves_(moves) {}

bool Jog::connected() const { return link_.state.LinkConnected; }

bool Jog::oneClick() const { return system_.fields.checked(kMain, "cOneClickJogMode"); }

JogRoom Jog::room(bool right) const {
  JogRoom r;
  r.limits = !right && system_.fields.checked(kConfig, "cLimits");
  r.xMax = FieldLength(system_, kConfig, "xLimitX");
  r.yMax = FieldLength(system_, kConfig, "xLimitY");
  return r;
}

std::int32_t Jog::handSpeed(const char* hand, const char* fast) const {
  const JogKeys k = keys();
  if (k.slow) return FieldSpeed(system_, kConfig, hand) / 10;
  if (k.fast) return FieldSpeed(system_, kConfig, fast);
  return FieldSpeed(system_, kConfig, hand);
}

void Jog::Stop() {
  commands_.StopMotion();
  JogDirection = jog::kNone;
}

void Jog::PressXY(int direction, bool right) {
  if (system_.Busy) return;
  if (system_.rotary.mixXA && system_.rotary.active && (direction == jog::kXPlus || direction == jog::kXMinus))
    return TurnTube(direction, right);
  // Two straight jogs held together make the diagonal between them: the
  // running one stops first. This comes before the still-moving check, as
  // the running jog is what moves.
  if (!oneClick() && Straight(direction) && Straight(JogDirection) &&
      MovesX(direction) != MovesX(JogDirection))
    direction = Diagonal(direction, JogDirection);
  // A diagonal stops whatever runs and lets it settle first.
  if (Sense(direction).x != 0 && Sense(direction).y != 0) {
    Stop();
    system_.clock.sleepMillis(kDiagonalSettleMillis);
    commands_.ReadStatusA();
  } else if (commands_.status.ActualSpeed > 0) {
    return;
  }
  const Point2 s = Sense(direction);
  if (!right) {
    const LinkState& st = link_.state;
    if ((s.x != 0 && st.LimitX) || (s.y != 0 && st.LimitY)) {
      if (s.y == 0) link_.state.StatusCode = wire::alarm::kLimitX;
      if (s.x == 0) link_.state.StatusCode = wire::alarm::kLimitY;
      return;
    }
  } else {
    commands_.Send(wire::cmd::kMotionReset);
  }
  system_.StopRequested = false;
  commands_.MovedAxes.xy = true;
  JogDirection = direction;
  const AxisPosition& at = system_.job.MachinePosition;
  const auto target = JogTarget(direction, {at.x, at.y}, FieldLength(system_, kMain, "xJogDist"),
                                room(right));
  if (target) JogXY(target->x, target->y);
}

void Jog::JogXY(std::int32_t x, std::int32_t y) {
  moves_.ThcLatched = false;
  moves_.ThcFrozen = false;
  moves_.ThcSpeedThreshold =
      static_cast<std::int32_t>(std::lround(FieldSpeed(system_, kMain, "xFeed") * 0.5));
  commands_.Send(wire::cmd::kManualStart);
  system_.StopRequested = false;
  const bool torch = (link_.state.StatusWord & wire::status::kTorch) || commands_.SimulatedTorch;
  const std::int32_t speed =
      torch ? FieldSpeed(system_, kMain, "xFeed") : handSpeed("xFeedhXY", "xFeedMaxXY");
  moves_.MoveXY(x, y, speed, true);
  if (connected()) commands_.TorchOff();
}

void Jog::TurnTube(int direction, bool right) {
  if (system_.Busy || !system_.rotary.active) return;
  if (commands_.status.ActualSpeed > 0) return;
  const int sense = direction == jog::kXPlus ? 1 : -1;
  // A profile's turn moves X across the tube: the X limit flag refuses it as
  // it refuses an X jog. A pipe's head stands still over the axis.
  if (!right && system_.rotary.profile() && link_.state.LimitX) {
    link_.state.StatusCode = wire::alarm::kLimitX;
    return;
  }
  system_.StopRequested = false;
  commands_.MovedAxes.xy = true;
  commands_.MovedAxes.a = true;
  JogDirection = direction;
  moves_.ThcLatched = false;
  moves_.ThcFrozen = false;
  commands_.Send(wire::cmd::kManualStart);
  // A turn is a positioning move: the board's queue goes first.
  commands_.Send(wire::cmd::kMotionReset);
  const std::int32_t speed = handSpeed("xFeedhXY", "xFeedMaxXY");
  const AxisPosition at = system_.job.MachinePosition;
  if (system_.rotary.profile()) return TurnProfile(sense, speed);

  // A pipe: A_rev / S_A surface units, from the A the board reports.
  const double sa = system_.scales.SA;
  if (sa <= 0) return;
  const auto from = static_cast<std::int32_t>(std::lround(at.a / sa));
  const auto to = static_cast<std::int32_t>(
      std::lround((static_cast<double>(at.a) + sense * static_cast<double>(system_.scales.ARev)) / sa));
  // The Y+A move measures its way from the last commanded A in surface units.
  system_.job.LastCommanded = {at.x, at.y, at.z, from};
  moves_.MoveYA(to, at.y, speed, true);
}

void Jog::TurnProfile(int sense, std::int32_t speed) {
  JobState& job = system_.job;
  const AxisPosition at = job.MachinePosition;
  // Unrolled positions of the machine itself: the project origin plays no part.
  const TubeGeometry& tube = system_.rotary.tube;
  const RotaryMapping mapping = RotaryMappingOf(system_, 0);
  const std::int64_t from = mapping.UnrolledX(at.x, at.a, true);
  const std::int64_t to = from + sense * 2 * (std::int64_t{tube.width} + tube.height);
  // The height above the surface the head has now is kept all the way round.
  const std::int32_t above = at.z - mapping.TableAt(from).z;

  // The unrolled line is planned as a cut: the hand speed, the XY ramp, a
  // vertex at every change of face; no anti-dive or lead-out zones.
  PlannerSettings settings = ReadPlannerSettings(system_, connected());
  settings.antiDive = 0;
  settings.useCalc = settings.leadOut = settings.leadOut2 = false;
  const ProfilePlanning profile = mapping.Planning();
  const PlanContext ctx{settings, system_.scales, system_.speeds, &profile};
  const CNCpath contour{{kKindCut, 0},
                        {static_cast<std::int32_t>(from), at.y},
                        {static_cast<std::int32_t>(to), at.y}};
  const PlanResult plan = PlanCut(contour, speed, ctx, PlanStart{}, commands_.LastRamp);

  const std::int32_t minXY = FieldSpeed(system_, kConfig, "xFeedMinXY");
  commands_.SetStartLevel(SpeedLevel(std::min(minXY, speed), system_.speeds.X));
  job.LastCommanded = at;
  for (std::size_t i = 1; i < plan.path.size(); ++i) {
    const PlannedRecord& r = plan.path[i];
    const RotaryTarget t = ProfileTarget(mapping, r.x, r.y, 0, above);
    moves_.QueueXYZA(t.x, t.y, t.z, false, r.speed, static_cast<std::int32_t>(t.a));
    if (system_.StopRequested) break;
  }
}

void Jog::PressA(bool up) {
  if (system_.Busy || !system_.rotary.active) return;
  const AxisPosition at = system_.job.MachinePosition;
  const auto target = static_cast<std::int32_t>(NextEighth(at.a, system_.scales.ARev, up));
  system_.StopRequested = false;
  commands_.MovedAxes.a = true;
  commands_.Send(wire::cmd::kManualStart);
  system_.job.LastCommanded = at;
  moves_.MoveXYZA(at.x, at.y, at.z, true, FieldSpeed(system_, kConfig, "xFeedMaxA"), target);
}

void Jog::PressZ(bool up, bool right) {
  const LinkState& st = link_.state;
  if (up && !right && st.LimitZ) {
    link_.state.StatusCode = wire::alarm::kLimitZ;
    return;
  }
  if (!up && (st.StatusWord & wire::status::kOhmic)) system_.host.setErrorLabel("OHMIC");
  if (system_.Busy) {
    const std::int32_t voltage = commands_.status.ArcVoltage;
    const bool thcActive = system_.fields.text(kMain, "eTHC") == "on" &&
                           (st.StatusWord & wire::status::kThcActive) != 0;
    if (thcActive && connected() && voltage > 30 && voltage < 200) {
      const std::int32_t target = FieldInteger(system_, kMain, "eVoltage");
      if (up && target < voltage + 2)
        system_.fields.setText(kMain, "eVoltage", std::to_string(voltage + 2));
      if (!up && target > voltage - 5)
        system_.fields.setText(kMain, "eVoltage", std::to_string(voltage - 5));
      commands_.SendThcSettings();
    } else {
      const auto offset = static_cast<std::int32_t>(std::lround(system_.scales.SZ * 125));
      link_.request.p[2] = up ? offset : -offset;
      commands_.Send(wire::cmd::kHeightOffset);
    }
    return;
  }
  JogDirection = up ? jog::kZPlus : jog::kZMinus;
  const std::int32_t z = system_.job.MachinePosition.z;
  if (!right && system_.fields.checked(kConfig, "cLimits")) {
    JogZ(up ? std::max(FieldLength(system_, kConfig, "xLimitZ"), z) : std::min(z, 0));
  } else {
    commands_.Send(wire::cmd::kMotionReset);
    system_.clock.sleepMillis(kResetSettleMillis);
    JogZ(up ? jog::kFar : -jog::kFar);
  }
  if (up) {
    const CommandFields f = commands_.commandFields();
    if (f.out1 == OutputMode::ZAxisDown) commands_.Send(wire::cmd::kOut1OffQueued);
    if (f.out2 == OutputMode::ZAxisDown) commands_.Send(wire::cmd::kOut2OffQueued);
  }
}

void Jog::JogZ(std::int32_t z) {
  commands_.Send(wire::cmd::kMotionReset);
  // An output that lowers the Z axis is off while the target lies above it.
  commands_.SwitchOutputs(OutputMode::ZAxisDown, z <= 4);
  system_.StopRequested = false;
  moves_.MoveZ(z, handSpeed("xFeedhZ", "xFeedMaxZ"));
  commands_.Send(wire::cmd::kSequenceEnd);
  commands_.MovedAxes.z = true;
}

void Jog::Release(bool zJog) {
  if (!zJog && oneClick()) return;
  if (!system_.Busy) Stop();
  moves_.ThcSpeedThreshold = 0;
}

void Jog::Leave() {
  if (connected() && JogDirection != jog::kNone && !system_.Busy) Stop();
  JogDirection = jog::kNone;
}

bool Jog::TorchButton(bool wasDown, bool right) {
  if (system_.Busy) {
    commands_.Send(wasDown ? wire::cmd::kTorchButtonDown : wire::cmd::kTorchButtonUp);
    return wasDown;
  }
  commands_.SendThcSettings();
  if (wasDown) {
    commands_.TorchOff();
  } else {
    commands_.Send(wire::cmd::kMotionReset);
    system_.clock.sleepMillis(kResetSettleMillis);
    system_.StopRequested = false;
    if (right) TouchTest();
    commands_.TorchOn();
    system_.host.setErrorLabel("");
  }
  commands_.Send(wire::cmd::kSequenceEnd);
  return !wasDown;
}

void Jog::ZeroZ(bool right) {
  if (right) {
    TouchTest();
    return;
  }
  AxisPosition at = system_.job.MachinePosition;
  if (at.z < 0 || at.z > kZeroZHigh) {
    at.z = at.z < 0 ? kZeroZLow : kZeroZHigh;
    commands_.SetPosition(at.x, at.y, at.z, at.a);
  }
  system_.job.ProjectOriginZ = at.z;
  system_.fields.setText(kMain, "xZM", FormatOriginField(at.z, system_.parser.imperial));
  system_.host.playSound(sound::kZ0);
}

void Jog::TouchTest() {
  system_.StopRequested = false;
  commands_.Send(wire::cmd::kManualStart);
  // The floating height in whole millimetres.
  const std::int32_t t =
      system_.parser.ParseInt2(system_.fields.text(kMain, "xFloatH")) * 100 +
      system_.job.ProjectOriginZ;
  if (system_.job.LastCommanded.z < t) moves_.MoveZ(t, FieldSpeed(system_, kConfig, "xFeedMaxZ"));
  if (system_.StopRequested) return;
  if (detectMaterial) detectMaterial();
  commands_.WaitIdle();
  system_.host.playSound(sound::kMatDet);
}

}  // namespace corvane
