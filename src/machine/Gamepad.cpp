#include "machine/Gamepad.h"

#include "link/ControllerLink.h"
#include "machine/Jog.h"
#include "store/AdvancedOptions.h"
#include "system/System.h"
#include "wire/Codes.h"

namespace corvane {
namespace {

constexpr Window kConfig = Window::Configuration;
constexpr std::int32_t kRestLow = 22000, kRestHigh = 42000;
constexpr std::int32_t kCentreLow = 20000, kCentreHigh = 45000;
constexpr std::int32_t kZHigh = 45000, kZLow = 20000;
constexpr int kCheckTick = 3;
constexpr int kStartTicks = 10, kStartCountMax = 11;
constexpr int kDiagonal = 31;
constexpr int kLatchTorch = -5, kLatchTouch = -7, kLatchXY = -9;
constexpr std::uint32_t kZUp = 0x1, kZDown = 0x4, kTorch = 0x10, kFast = 0x20, kTouch = 0x40,
                        kSlow = 0x80, kXYZero = 0x100, kStart = 0x200;
constexpr int kIdleMillis = 100, kJogMillis = 50, kAbsentMillis = 1000, kSlotMillis = 300,
              kBusyInputMillis = 500;

bool Rest(std::int32_t v) { return v >= kRestLow && v <= kRestHigh; }
bool Centred(std::int32_t v) { return v >= kCentreLow && v <= kCentreHigh; }

}  // namespace

Gamepad::Gamepad(System& system, ControllerLink& link, Jog& jog)
    : system_(system), link_(link), jog_(jog) {}

std::uint32_t Gamepad::RemapType2(std::uint32_t b, std::int32_t z) {
  static constexpr std::pair<std::uint32_t, std::uint32_t> kMap[] = {
      {0x1, 0x4},   {0x2, 0x2},   {0x4, 0x8},     {0x8, 0x1},     {0x10, 0x10},
      {0x20, 0x20}, {0x40, 0x100}, {0x80, 0x200}, {0x100, 0x400}, {0x200, 0x800}};
  std::uint32_t out = 0;
  for (const auto& [from, to] : kMap)
    if (b & from) out |= to;
  if (z > kZHigh) out |= 0x40;
  if (z < kZLow) out |= 0x80;
  return out;
}

void Gamepad::startJog(int padJog, int direction) {
  PadJog = padJog;
  if (direction == jog::kZPlus || direction == jog::kZMinus)
    jog_.PressZ(direction == jog::kZPlus, false);
  else
    jog_.PressXY(direction, false);
}

int Gamepad::Tick(const std::optional<PadReading>& reading) {
  const FieldStore& f = system_.fields;
  if (system_.Busy) {
    const bool in1TorchUp = f.choiceIndex(kConfig, "cIn1") == 1;
    const bool in2TorchDown = f.choiceIndex(kConfig, "cIn2") == 1;
    if (in1TorchUp || in2TorchDown) {
      const std::uint32_t word = link_.state.StatusWord;
      const bool up = in1TorchUp && (word & wire::status::kIn1);
      const bool down = in2TorchDown && (word & wire::status::kIn2);
      if (up) jog_.PressZ(true, false);
      if (down) jog_.PressZ(false, false);
      return up || down ? kBusyInputMillis : kIdleMillis;
    }
  }
  if (!reading) {
    if (PadJog != 0 && stop) stop();
    PadJog = 0;
    PadError = false;
    detected_ = 0;
    return kAbsentMillis;
  }
  if (PadError) {
    PadError = false;
    detected_ = 0;
  }
  if (!f.checked(kConfig, "cGamepad")) return kIdleMillis;
  const PadReading& pad = *reading;
  if (++detected_ == kCheckTick) {
    if (!Centred(pad.x) || !Centred(pad.y) || !Centred(pad.z)) {
      system_.log.WriteLog("Game Controller ERROR");
      PadError = true;
      return kIdleMillis;
    }
    system_.log.WriteLog("Game Controller detected OK");
  }
  if (detected_ < kCheckTick) return kIdleMillis;

  const std::uint32_t buttons =
      f.checked(kConfig, "cType2") ? RemapType2(pad.buttons, pad.z) : pad.buttons;
  // One button alone of the first eight runs its slot's action.
  const std::uint32_t low = buttons & 0xFF;
  if (low != 0 && low == buttons && (low & (low - 1)) == 0) {
    const std::int32_t action = system_.advanced.gamepadSlots[std::size_t(GamepadSlotOf(std::int32_t(low)))];
    if (action != kActionNone) {
      if (slotAction) slotAction(action);
      return kSlotMillis;
    }
  }
  // The start button: a short press stops, ten ticks start the job.
  if (buttons & kStart) {
    if (PadStartCount < kStartCountMax) ++PadStartCount;
    if (PadStartCount == kStartTicks && startJob) startJob();
  } else {
    if (PadStartCount >= 1 && PadStartCount < kStartTicks && stop) stop();
    PadStartCount = 0;
  }
  if (system_.Busy) return kIdleMillis;
  PadReading remapped = pad;
  remapped.buttons = buttons;
  return jogTick(remapped);
}

int Gamepad::jogTick(const PadReading& pad) {
  const int interval = PadJog != 0 ? kJogMillis : kIdleMillis;
  const std::uint32_t b = pad.buttons;
  // A latched button waits for its release.
  if (PadJog < 0) {
    const std::uint32_t held = PadJog == kLatchTorch ? kTorch : PadJog == kLatchTouch ? kTouch : kXYZero;
    if (!(b & held)) PadJog = 0;
    return interval;
  }
  if (b & kTorch) {
    if (pressTorch) pressTorch();
    PadJog = kLatchTorch;
    return interval;
  }
  if (b & kTouch) {
    // Without a sensor to touch with, the torch's height becomes the origin.
    const bool sensor = system_.fields.checked(kConfig, "cOhmic") || system_.fields.checked(kConfig, "cFloating");
    if (sensor)
      jog_.TouchTest();
    else
      system_.job.ProjectOriginZ = system_.job.MachinePosition.z;
    PadJog = kLatchTouch;
    return interval;
  }
  if (b & kXYZero) {
    if (zeroXY) zeroXY();
    PadJog = kLatchXY;
    return interval;
  }
  const bool zButtons = (b & (kZUp | kZDown)) != 0;
  if (Rest(pad.x) && Rest(pad.y) && Rest(pad.r) && !zButtons) {
    if (PadJog != 0) {
      PadJog = 0;
      jog_.Stop();
    }
    return interval;
  }
  if (showSpeedMode) showSpeedMode((b & kFast) ? " Fast      " : (b & kSlow) ? "     Slow  " : "");
  if (PadJog > kDiagonal - 1) return interval;
  // The stick's Y is inverted: a low value jogs Y+.
  const bool left = pad.x < kRestLow, right = pad.x > kRestHigh;
  const bool up = pad.y < kRestLow, down = pad.y > kRestHigh;
  const int d = jog_.JogDirection;
  if (up && PadJog == 1) startJog(kDiagonal, jog::kXMinusYPlus);
  else if (up && PadJog == 2) startJog(kDiagonal, jog::kXPlusYPlus);
  else if (down && PadJog == 1) startJog(kDiagonal, jog::kXMinusYMinus);
  else if (down && PadJog == 2) startJog(kDiagonal, jog::kXPlusYMinus);
  else if (left && PadJog == 3) startJog(kDiagonal, jog::kXMinusYPlus);
  else if (left && PadJog == 4) startJog(kDiagonal, jog::kXMinusYMinus);
  else if (right && PadJog == 3) startJog(kDiagonal, jog::kXPlusYPlus);
  else if (right && PadJog == 4) startJog(kDiagonal, jog::kXPlusYMinus);
  else if (left && d != jog::kXMinus && PadJog != 1) startJog(1, jog::kXMinus);
  else if (right && d != jog::kXPlus && PadJog != 2) startJog(2, jog::kXPlus);
  else if (up && d != jog::kYPlus && PadJog != 3) startJog(3, jog::kYPlus);
  else if (down && d != jog::kYMinus && PadJog != 4) startJog(4, jog::kYMinus);
  else if (((b & kZUp) || pad.r < kRestLow) && d != jog::kZPlus && PadJog != 11) startJog(11, jog::kZPlus);
  else if (((b & kZDown) || pad.r > kRestHigh) && d != jog::kZMinus && PadJog != 12) startJog(12, jog::kZMinus);
  return PadJog != 0 ? kJogMillis : kIdleMillis;
}

}  // namespace corvane
