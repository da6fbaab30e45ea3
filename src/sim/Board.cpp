#include "sim/Board.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/SpeedTables.h"
#include "wire/Codes.h"
#include "wire/Commands.h"

namespace corvane::sim {
namespace {

using namespace wire;
constexpr double kNever = std::numeric_limits<double>::infinity();
constexpr double kEpsilon = 1e-9;
// The height control leaves the torch alone within this many volts of the target.
constexpr double kThcDeadbandVolts = 2.0;
// Z steps per microsecond of the height control at speed code 1.
constexpr double kThcStepsPerMicroAtCode1 = 0.2;

int ClampLevel(std::int32_t level) { return std::clamp<std::int32_t>(level, 0, kSpeedLevels - 1); }

// The input each bit of the inversion setting (command 205, P2) applies to.
constexpr Input kInversionOrder[] = {Input::SwitchX, Input::SwitchY,      Input::SwitchZ,
                                     Input::InputS,  Input::FloatingHead, Input::Collision,
                                     Input::In1,     Input::In2};

}  // namespace

Board::Board(const MachineLayout& layout) : machine_(layout) { powerUp(); }

void Board::powerUp() {
  queue_.clear();
  endActive(false);
  level_ = startLevel_ = ramp_ = 0;
  levelTimeLeft_ = 0;
  configBits_ = fourthAxisFunction_ = inversionBits_ = connectionSetting_ = 0;
  thc_ = {};
  feedOverride_ = thcMode_ = 0;
  torchOn_ = output1_ = output2_ = false;
  latchedAlarm_ = 0;
  powerUpMark_ = true;
  sensedSurface_.reset();
  reportSurface_ = false;
  lastRequest_.clear();
  // The step counters start at zero wherever the machine stands.
  for (int a = 0; a < kAxes; ++a) offset_[a] = -machine_.physical()[a];
}

// ---- time ----------------------------------------------------------------

void Board::advanceTo(std::int64_t micros) {
  const double dt = static_cast<double>(micros) - time_;
  run(dt > 0 ? dt : 0);
}

void Board::run(double dt) {
  for (;;) {
    checkInputs();
    if (!active_) {
      if (queue_.empty()) {
        goIdle();
        break;
      }
      const wire::ControllerRequest next = queue_.front();
      queue_.pop_front();
      begin(next);
      if (active_)
        noteStarted(next);
      else
        noteInstant(next);
      continue;
    }
    const double used = advanceActive(dt);
    stepUsed_ = 0;
    time_ += used;
    dt -= used;
    if (active_ && dt <= kEpsilon) break;
  }
  time_ += std::max(dt, 0.0);
}

void Board::goIdle() {
  level_ = startLevel_;
  levelTimeLeft_ = rampMicros();
}

void Board::checkInputs() {
  if (sensed(Input::EStop)) {
    if (active_ || !queue_.empty() || torchOn_) abortMotion(0);
    return;
  }
  if (active_ && active_->isMove && sensed(Input::Collision)) abortMotion(alarm::kCollision);
}

void Board::abortMotion(std::uint8_t alarmCode) {
  queue_.clear();
  endActive(false);
  torchOn_ = false;
  if (alarmCode != 0) latchedAlarm_ = alarmCode;
  goIdle();
}

// ---- queue entries -------------------------------------------------------

void Board::begin(const wire::ControllerRequest& request) {
  const Steps4 here = position();
  const auto& p = request.p;
  switch (request.command) {
    case cmd::kXyLine:
      thcMode_ = p[2];
      beginMove(request, {p[0], p[1], here[kZ], here[kA]}, p[4]);
      return planTriggers(false);
    case cmd::kZMove:
      beginMove(request, {here[kX], here[kY], p[2], here[kA]}, p[4]);
      return planTriggers(false);
    case cmd::kZAboveMaterial:
      beginMove(request, {here[kX], here[kY], sensedSurface_.value_or(0) + p[2], here[kA]}, p[4]);
      return planTriggers(false);
    case cmd::kXyzaMove:
      beginMove(request, {p[0], p[1], p[2], p[3]}, p[4]);
      return planTriggers(false);
    case cmd::kYaMove:
      beginMove(request, {here[kX], p[1], here[kZ], p[3]}, p[4]);
      return planTriggers(false);
    case cmd::kProbe:
      level_ = startLevel_;
      beginMove(request, {here[kX], here[kY], p[2], here[kA]}, p[4]);
      planTriggers(true);
      return;
    case cmd::kHomeX:
      return beginHoming(request, kX, false);
    case cmd::kHomeXReversed:
      return beginHoming(request, kX, true);
    case cmd::kHomeY:
      return beginHoming(request, kY, false);
    case cmd::kHomeYReversed:
      return beginHoming(request, kY, true);
    case cmd::kHomeZ:
      return beginHoming(request, kZ, true);
    case cmd::kHomeA:
      return beginHoming(request, kA, false);
    case cmd::kDwell:
      active_ = Active{request};
      active_->remainingMicros = std::max<std::int32_t>(p[0], 0) * 1000.0;
      goIdle();
      return;
    case cmd::kArcWait:
    case cmd::kArcWaitIn2:
      active_ = Active{request};
      active_->remainingMicros = std::max<std::int32_t>(p[0], 1) * double(kArcWaitUnitMicros);
      goIdle();
      return;
    default:
      applyInstant(request);
  }
}

void Board::applyInstant(const wire::ControllerRequest& request) {
  switch (request.command) {
    case cmd::kTorchOn:
    case cmd::kTorchButtonUp:
      if (!torchOn_) torchOnSince_ = time_;
      torchOn_ = true;
      break;
    case cmd::kTorchOff:
    case cmd::kTorchButtonDown:
      torchOn_ = false;
      thcMode_ = 0;
      break;
    case cmd::kStartLevel:
      startLevel_ = level_ = ClampLevel(request.p[4]);
      levelTimeLeft_ = rampMicros();
      break;
    case cmd::kRamp:
      ramp_ = std::max<std::int32_t>(request.p[4], 0);
      break;
    case cmd::kOut1OnQueued:
    case cmd::kOut1On:
      output1_ = true;
      break;
    case cmd::kOut1OffQueued:
    case cmd::kOut1Off:
      output1_ = false;
      break;
    case cmd::kOut2OnQueued:
    case cmd::kOut2On:
      output2_ = true;
      break;
    case cmd::kOut2OffQueued:
    case cmd::kOut2Off:
      output2_ = false;
      break;
    default:
      break;  // sequence end: a marker only
  }
}

void Board::beginMove(const wire::ControllerRequest& request, const Steps4& target, int level) {
  Active a{request};
  a.isMove = true;
  a.from = position();
  a.to = target;
  for (int i = 0; i < kAxes; ++i)
    a.lead = std::max(a.lead, std::abs(double(a.to[i]) - double(a.from[i])));
  a.stopAt = a.lead;
  a.targetLevel = ClampLevel(level);
  active_ = a;
}

void Board::beginHoming(const wire::ControllerRequest& request, int axis, bool towardMax) {
  level_ = startLevel_;
  const auto& layout = machine_.layout();
  const std::int32_t switchAt = towardMax ? layout.limitMax[axis] : layout.homeMin[axis];
  Steps4 target = position();
  if (!machine_.switchActive(axis)) target[axis] = toLogical(axis, switchAt);
  beginMove(request, target, request.p[4]);
  active_->trigger = Trigger::Homing;
}

// Finds where the move first runs into a switch, the floating head or (for a
// probe) the material, and makes that the point where it stops.
void Board::planTriggers(bool probe) {
  Active& a = *active_;
  if (a.lead <= 0) {
    if (probe && machine_.atOrBelowSurface(machine_.layout().floatingTravel))
      a.trigger = Trigger::Probe;
    return;
  }
  const auto& layout = machine_.layout();
  auto consider = [&](int axis, std::int32_t threshold, bool downward, Trigger kind,
                      std::uint8_t code) {
    const double from = toPhysical(axis, a.from[axis]);
    const double to = toPhysical(axis, a.to[axis]);
    const bool crosses =
        downward ? (from > threshold && to <= threshold) : (from < threshold && to >= threshold);
    if (!crosses) return;
    const double at = a.lead * (threshold - from) / (to - from);
    if (at >= a.stopAt && a.trigger != Trigger::None) return;
    a.stopAt = at;
    a.trigger = kind;
    a.triggerAxis = axis;
    a.triggerAlarm = code;
    a.triggerLogical = toLogical(axis, threshold);
  };
  if (probe) {
    if (!layout.materialSurface) return;
    const bool ohmic = (configBits_ & config::kOhmicSensor) != 0;
    const std::int32_t contact = *layout.materialSurface - (ohmic ? 0 : layout.floatingTravel);
    if (toPhysical(kZ, a.from[kZ]) <= contact) {
      a.stopAt = 0;
      a.trigger = Trigger::Probe;
      a.triggerAxis = kZ;
      a.triggerLogical = a.from[kZ];
      return;
    }
    consider(kZ, contact, true, Trigger::Probe, 0);
    return;
  }
  static constexpr std::uint8_t kLimitAlarm[] = {alarm::kLimitX, alarm::kLimitY, alarm::kLimitZ};
  for (int axis : {kX, kY}) {
    consider(axis, layout.homeMin[axis], true, Trigger::Alarm, kLimitAlarm[axis]);
    consider(axis, layout.limitMax[axis], false, Trigger::Alarm, kLimitAlarm[axis]);
  }
  consider(kZ, layout.limitMax[kZ], false, Trigger::Alarm, alarm::kLimitZ);
  if (layout.materialSurface)
    consider(kZ, *layout.materialSurface - layout.floatingTravel, true, Trigger::Alarm,
             alarm::kFloatingHead);
}

double Board::advanceActive(double dt) {
  Active& a = *active_;
  if (a.isMove) return advanceMove(dt);
  const auto code = a.request.command;
  if (code == cmd::kArcWait || code == cmd::kArcWaitIn2) {
    const Input input = code == cmd::kArcWaitIn2 ? Input::In2 : Input::ArcOk;
    if (sensed(input)) {
      endActive(true);
      return 0;
    }
    // The arc may strike within this interval: wait exactly until then.
    double until = dt;
    const bool wired = input == Input::ArcOk || machine_.layout().arcOkOnIn2;
    if (wired && torchOn_ && machine_.layout().arcAvailable) {
      const double strikes = torchOnSince_ + double(machine_.layout().arcDelayMicros) - time_;
      until = std::min(until, std::max(strikes, 0.0));
    }
    if (until >= a.remainingMicros) {
      const double used = a.remainingMicros;
      stepUsed_ = used;
      abortMotion(alarm::kArcOk);
      return used;
    }
    a.remainingMicros -= until;
    return until;
  }
  const double used = std::min(dt, a.remainingMicros);
  a.remainingMicros -= used;
  stepUsed_ = used;
  if (a.remainingMicros <= kEpsilon) endActive(true);
  return used;
}

double Board::stepRate(int level) const {
  const double factor = std::max(1.0 + 0.02 * feedOverride_, 0.02);
  return double(wire::kStepTimerHz) / (Dividers()[level] + 1.0) * factor / 1e6;  // steps per µs
}

// Runs the move for up to dt: the level walks one step per ramp period
// toward the move's level, and the lead axis advances at the level's rate.
double Board::advanceMove(double dt) {
  Active& a = *active_;
  double used = 0;
  for (;;) {
    if (a.stopping && level_ <= a.targetLevel) {
      a.stopAt = a.progress;
      a.trigger = Trigger::None;
      stepUsed_ = used;
      finishMove();
      return used;
    }
    if (a.progress >= a.stopAt - kEpsilon) {
      stepUsed_ = used;
      finishMove();
      return used;
    }
    if (level_ != a.targetLevel && rampMicros() <= 0) level_ = a.targetLevel;
    const double rate = stepRate(level_);
    const double toLevelChange = level_ != a.targetLevel ? std::max(levelTimeLeft_, 0.0) : kNever;
    const double toEnd = (a.stopAt - a.progress) / rate;
    const double left = dt - used;
    const double step = std::min({left, toLevelChange, toEnd});
    a.progress = std::min(a.progress + rate * step, a.stopAt);
    used += step;
    if (level_ != a.targetLevel) {
      levelTimeLeft_ -= step;
      if (levelTimeLeft_ <= kEpsilon) {
        level_ += a.targetLevel > level_ ? 1 : -1;
        levelTimeLeft_ = rampMicros();
      }
    }
    if (step == toEnd) a.progress = a.stopAt;
    applyProgress();
    correctHeight(step);
    if (used >= dt - kEpsilon && a.progress < a.stopAt - kEpsilon) return used;
  }
}

// The height control: while it is active it drives Z toward the height at
// which the arc voltage meets the target, faster for a lower speed code.
void Board::correctHeight(double micros) {
  if (!thcActive() || thc_.targetVolts <= 0) return;
  const auto& layout = machine_.layout();
  const double error = arcVoltage() - thc_.targetVolts;
  if (std::abs(error) <= kThcDeadbandVolts || layout.arcVoltsPerStep <= 0) return;
  const double reach = kThcStepsPerMicroAtCode1 / std::max(thc_.speedCode, 1) * micros;
  const double needed = std::abs(error) / layout.arcVoltsPerStep;
  // Whole steps only; the fraction carries over to the next interval.
  thcCarry_ += (error > 0 ? -1 : 1) * std::min(reach, needed);
  const auto steps = static_cast<std::int32_t>(std::trunc(thcCarry_));
  thcCarry_ -= steps;
  machine_.setPhysical(kZ, machine_.physical()[kZ] + steps);
}

// Sets the step counters to where the move's progress puts them.
void Board::applyProgress() {
  const Active& a = *active_;
  const double fraction = a.lead > 0 ? a.progress / a.lead : 1.0;
  for (int i = 0; i < kAxes; ++i) {
    // Axes the move does not drive stay where they are (THC may move Z).
    if (a.to[i] == a.from[i]) continue;
    const double delta = double(a.to[i]) - double(a.from[i]);
    const double moved = std::trunc(delta * fraction + (delta >= 0 ? kEpsilon : -kEpsilon));
    machine_.setPhysical(i, toPhysical(i, a.from[i] + static_cast<std::int32_t>(moved)));
  }
}

void Board::finishMove() {
  Active a = *active_;
  const bool whole = a.progress >= a.lead - kEpsilon && !a.stopping;
  if (whole) {
    for (int i = 0; i < kAxes; ++i)
      if (a.to[i] != a.from[i]) machine_.setPhysical(i, toPhysical(i, a.to[i]));
  } else if (a.trigger != Trigger::None && a.triggerAxis >= 0) {
    // Only a move that ran into its switch, head or material stands on it; one
    // stopped short of it stays where the stop left it.
    machine_.setPhysical(a.triggerAxis, toPhysical(a.triggerAxis, a.triggerLogical));
  }
  endActive(whole);
  const bool probe = a.request.command == cmd::kProbe;
  if (probe && a.trigger == Trigger::Probe) {
    const bool ohmic = (configBits_ & config::kOhmicSensor) != 0;
    sensedSurface_ = position()[kZ] + (ohmic ? a.request.p[0] : a.request.p[1]);
    reportSurface_ = true;
    level_ = startLevel_;
  } else if (probe && a.to[kZ] <= 0) {
    abortMotion(alarm::kMaterialDetection);
  } else if (a.trigger == Trigger::Alarm) {
    abortMotion(a.triggerAlarm);
  } else if (a.trigger == Trigger::Homing || a.stopping) {
    level_ = startLevel_;
  }
}

// ---- requests ------------------------------------------------------------

namespace {

std::vector<std::uint8_t> EncodeFor(std::size_t frameSize, const wire::ControllerReply& reply) {
  if (frameSize == kOldFrameSize) {
    const auto old = EncodeOldReply(reply);
    return {old.begin(), old.end()};
  }
  const auto bytes = EncodeReply(reply);
  return {bytes.begin(), bytes.end()};
}

}  // namespace

std::optional<std::vector<std::uint8_t>> Board::handleFrame(std::span<const std::uint8_t> bytes) {
  if ((bytes.size() != kFrameSize && bytes.size() != kOldFrameSize) || !ChecksumValid(bytes))
    return std::nullopt;
  if (std::equal(bytes.begin(), bytes.end(), lastRequest_.begin(), lastRequest_.end()))
    return lastReply_;
  const wire::ControllerRequest request = bytes.size() == kFrameSize
                                              ? DecodeRequest(bytes.first<kFrameSize>())
                                              : DecodeOldRequest(bytes.first<kOldFrameSize>());
  wire::ControllerReply reply = execute(request);
  if (sequenceEcho_ && bytes.size() == kFrameSize) reply.spare = request.sequence;
  std::vector<std::uint8_t> encoded = EncodeFor(bytes.size(), reply);
  if (reply.error == 0) {
    lastRequest_.assign(bytes.begin(), bytes.end());
    lastReply_ = encoded;
  }
  return encoded;
}

std::vector<std::uint8_t> Board::encodedRefusal(std::span<const std::uint8_t> request) const {
  wire::ControllerReply reply = refusal();
  if (sequenceEcho_ && request.size() == kFrameSize) reply.spare = request[kSequenceByte];
  return EncodeFor(request.size(), reply);
}

wire::ControllerReply Board::refusal() const {
  wire::ControllerReply r = baseReply();
  r.error = 1;
  return r;
}

wire::ControllerReply Board::baseReply() const {
  wire::ControllerReply r;
  r.r[4] = queueFill();
  r.alarm = alarm();
  return r;
}

wire::ControllerReply Board::execute(const wire::ControllerRequest& request) {
  const CommandInfo* info = FindCommand(request.command);
  if (!info) return refusal();
  if (info->dispatch == Dispatch::Queued) {
    if (queueFill() >= kQueueCapacity) return refusal();
    if (!sensed(Input::EStop)) queue_.push_back(request);
    run(0);
    return baseReply();
  }
  const auto& p = request.p;
  wire::ControllerReply reply = baseReply();
  const bool read = request.command == cmd::kStatusA || request.command == cmd::kStatusB ||
                    request.command == cmd::kVersion;
  if (!read) noteInstant(request);
  switch (request.command) {
    case cmd::kSetPosition:
      setLogicalPosition({p[0], p[1], p[2], p[3]});
      powerUpMark_ = false;
      break;
    case cmd::kStop:
      queue_.clear();
      torchOn_ = false;
      if (active_ && active_->isMove) {
        active_->stopping = true;
        active_->targetLevel = std::min(active_->targetLevel, ClampLevel(p[4]));
        if (level_ <= active_->targetLevel) {
          active_->stopAt = active_->progress;
          active_->trigger = Trigger::None;
          finishMove();
        }
      } else {
        endActive(false);
      }
      latchedAlarm_ = 0;
      break;
    case cmd::kMotionReset:
      queue_.clear();
      endActive(false);
      latchedAlarm_ = 0;
      goIdle();
      break;
    case cmd::kManualStart:
      latchedAlarm_ = 0;
      break;
    case cmd::kConnectionSetting:
      connectionSetting_ = p[4];
      break;
    case cmd::kThcSettings:
      thc_ = {p[0], p[1], p[2], p[4]};
      break;
    case cmd::kMachineConfig: {
      const Steps4 keep = position();
      configBits_ = p[0];
      fourthAxisFunction_ = p[1];
      inversionBits_ = p[2];
      setLogicalPosition(keep);
      break;
    }
    case cmd::kFeedOverride:
      feedOverride_ = p[0];
      break;
    case cmd::kHeightOffset: {
      // A hostile offset must not wrap the height round to the other end.
      const auto z = static_cast<std::int32_t>(std::clamp<std::int64_t>(
          std::int64_t{position()[kZ]} + p[2], std::numeric_limits<std::int32_t>::min() / 2,
          std::numeric_limits<std::int32_t>::max() / 2));
      machine_.setPhysical(kZ, toPhysical(kZ, z));
      break;
    }
    case cmd::kVersion:
      reply.r = {kFirmwareMajor, kFirmwareMinor, kFirmwareRevision, 0, reply.r[4]};
      break;
    case cmd::kStatusB:
      reply.r = {arcVoltage(), feedOverride_, static_cast<std::int32_t>(statusWord()), 0,
                 reply.r[4]};
      break;
    case cmd::kStatusA: {
      const Steps4 pos = position();
      reply.r = {pos[kX], pos[kY], pos[kZ], pos[kA], reply.r[4]};
      if (powerUpMark_) reply.r[0] = reply.r[1] = kPowerUpMark;
      if (reportSurface_ && sensedSurface_) {
        reply.r[2] = kSensedSurfaceBase + *sensedSurface_;
        reportSurface_ = false;
      }
      break;
    }
    default:
      applyInstant(request);
  }
  run(0);
  reply.r[4] = queueFill();
  return reply;
}

// ---- executed record -----------------------------------------------------

void Board::noteInstant(const wire::ControllerRequest& request) {
  if (!recording_) return;
  ExecutedEntry e;
  e.request = request;
  e.startMicros = e.endMicros = time_;
  e.from = e.to = position();
  e.levelAtStart = e.levelAtEnd = e.targetLevel = level_;
  e.torchOn = torchOn_;
  executed_.push_back(e);
}

// A queue entry that runs for a while: noted now, completed by endActive().
void Board::noteStarted(const wire::ControllerRequest& request) {
  if (!recording_) return;
  noteInstant(request);
  if (active_ && active_->isMove) executed_.back().targetLevel = active_->targetLevel;
  openEntry_ = executed_.size() - 1;
}

void Board::endActive(bool completed) {
  if (!active_) return;
  active_.reset();
  if (!openEntry_) return;
  ExecutedEntry& e = executed_[*openEntry_];
  // An entry that ends inside a time step ends where in the step it did.
  e.endMicros = time_ + stepUsed_;
  e.to = position();
  e.levelAtEnd = level_;
  e.completed = completed;
  openEntry_.reset();
}

void Board::setInput(Input input, bool on) {
  machine_.force(input, on);
  run(0);
}

// ---- positions and reports -----------------------------------------------

int Board::direction(int axis) const {
  static constexpr std::int32_t kReverseBit[] = {config::kReverseX, config::kReverseY,
                                                 config::kReverseZ, config::kReverseA};
  return (configBits_ & kReverseBit[axis]) ? -1 : 1;
}

std::int32_t Board::toPhysical(int axis, std::int32_t logical) const {
  return direction(axis) * (logical - offset_[axis]);
}

std::int32_t Board::toLogical(int axis, std::int32_t physical) const {
  return direction(axis) * physical + offset_[axis];
}

void Board::setLogicalPosition(const Steps4& logical) {
  for (int a = 0; a < kAxes; ++a) offset_[a] = logical[a] - direction(a) * machine_.physical()[a];
  if (active_ && active_->isMove) {
    // The running move keeps its remaining distance in the new frame.
    endActive(false);
    goIdle();
  }
}

Steps4 Board::position() const {
  Steps4 p{};
  for (int a = 0; a < kAxes; ++a) p[a] = toLogical(a, machine_.physical()[a]);
  return p;
}

int Board::queueFill() const { return static_cast<int>(queue_.size()) + (active_ ? 1 : 0); }

bool Board::arcEstablished() const {
  const auto& layout = machine_.layout();
  return torchOn_ && layout.arcAvailable && time_ >= torchOnSince_ + double(layout.arcDelayMicros);
}

std::int32_t Board::arcVoltage() const {
  const auto& layout = machine_.layout();
  if (!torchOn_) return 0;
  if (layout.arcOverload) return kArcOverloadVoltage;
  if (!arcEstablished()) return 0;
  const double height = machine_.physical()[kZ] - layout.materialSurface.value_or(0);
  const double volts = layout.arcVoltsAtSurface + layout.arcVoltsPerStep * height;
  return static_cast<std::int32_t>(std::lround(std::clamp(volts, 0.0, 300.0)));
}

// An input as the firmware reads it: the actuated state, flipped for the
// inputs the configuration declares normally closed.
bool Board::sensed(Input input) const {
  bool actuated = machine_.forced(input);
  switch (input) {
    case Input::SwitchX:
      actuated = machine_.switchActive(kX);
      break;
    case Input::SwitchY:
      actuated = machine_.switchActive(kY);
      break;
    case Input::SwitchZ:
      actuated = machine_.switchActive(kZ);
      break;
    case Input::FloatingHead:
      actuated = machine_.floatingHeadActive();
      break;
    case Input::ArcOk:
      actuated = actuated || arcEstablished();
      break;
    case Input::In2:
      actuated = actuated || (machine_.layout().arcOkOnIn2 && arcEstablished());
      break;
    default:
      break;
  }
  for (int bit = 0; bit < 8; ++bit) {
    if (kInversionOrder[bit] != input) continue;
    const bool wiredClosed = (machine_.layout().normallyClosed >> bit) & 1;
    const bool declaredClosed = (inversionBits_ >> bit) & 1;
    return actuated != (wiredClosed != declaredClosed);
  }
  return actuated;
}

bool Board::thcActive() const {
  return thcMode_ != 0 && arcEstablished() && active_ && active_->isMove &&
         active_->request.command == cmd::kXyLine;
}

bool Board::rs485Answering() const {
  return (configBits_ & config::kRs485Interface) && machine_.layout().rs485Answering;
}

std::uint8_t Board::alarm() const {
  if (sensed(Input::EStop)) return alarm::kEStop;
  if (latchedAlarm_ != 0) return latchedAlarm_;
  if ((configBits_ & config::kRs485Interface) && !machine_.layout().rs485Answering)
    return alarm::kRs485Error;
  return alarm::kNone;
}

std::uint32_t Board::statusWord() const {
  std::uint32_t w = 0;
  auto set = [&w](bool on, std::uint32_t bit) {
    if (on) w |= bit;
  };
  set(sensed(Input::SwitchX), status::kSwitchX);
  set(sensed(Input::SwitchY), status::kSwitchY);
  set(sensed(Input::SwitchZ), status::kSwitchZ);
  set(sensed(Input::InputS), status::kInputS);
  set(sensed(Input::FloatingHead), status::kMaterial);
  set(sensed(Input::Collision), status::kCollision);
  set(sensed(Input::In1), status::kIn1);
  set(sensed(Input::In2), status::kIn2);
  set(torchOn_, status::kTorch);
  const bool rs485 = rs485Answering();
  set(rs485, status::kRs485Answering);
  set(rs485, status::kRs485Lamp);
  set((configBits_ & config::kOhmicSensor) && machine_.atOrBelowSurface(), status::kOhmic);
  set(sensed(Input::ArcOk), status::kArcOk);
  const bool thc = thcActive();
  set(thc, status::kThcActive);
  set(latchedAlarm_ != 0, status::kStopRequest1);
  set(sensed(Input::EStop), status::kStopRequest2);
  set(output1_, status::kOutput1);
  set(output2_, status::kOutput2);
  set(queueFill() >= kQueueThrottleFill, status::kBit20);
  if (thc && thc_.targetVolts > 0) {
    const std::int32_t volts = arcVoltage();
    set(volts < thc_.targetVolts - kThcDeadbandVolts, status::kThcRaising);
    set(volts > thc_.targetVolts + kThcDeadbandVolts, status::kThcLowering);
  }
  return w;
}

}  // namespace corvane::sim
