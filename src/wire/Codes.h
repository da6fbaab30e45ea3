#pragma once
#include <cstdint>

namespace corvane::wire {

// Alarm codes the board reports in reply byte 22 (the PC sets some itself).
namespace alarm {
inline constexpr std::uint8_t kNone = 0, kTx2Error = 1, kEmptyBuffer = 2, kRs485Error = 3,
                              kNoMaterial = 4, kMaterialDetection = 9, kArcOk = 10, kEStop = 100,
                              kSwitchesDisabled = 101, kCollision = 102, kLimitX = 103,
                              kLimitY = 104, kLimitZ = 105, kFloatingHead = 106, kOffline = 200;
}  // namespace alarm

// Bits of the status word (status B, R2).
namespace status {
inline constexpr std::uint32_t kSwitchX = 1u << 0, kSwitchY = 1u << 1, kSwitchZ = 1u << 2,
                               kInputS = 1u << 3, kMaterial = 1u << 4, kCollision = 1u << 5,
                               kIn1 = 1u << 6, kIn2 = 1u << 7, kTorch = 1u << 8,
                               kRs485Answering = 1u << 9, kRs485Lamp = 1u << 10, kOhmic = 1u << 11,
                               kArcOk = 1u << 12, kThcActive = 1u << 14, kStopRequest1 = 1u << 16,
                               kStopRequest2 = 1u << 17, kOutput1 = 1u << 18, kOutput2 = 1u << 19,
                               kBit20 = 1u << 20, kThcRaising = 1u << 23, kThcLowering = 1u << 24;
}  // namespace status

// Bits of the machine configuration (command 205, P0).
namespace config {
inline constexpr std::int32_t kReverseX = 1, kReverseY = 2, kReverseZ = 4, kReverseA = 8,
                              kOhmicSensor = 0x10000, kRs485Interface = 0x20000;
}  // namespace config

// Status A answers this X/Y pair until the positions are set after a power-up.
inline constexpr std::int32_t kPowerUpMark = 1234;
// A status-A Z at or above this carries the sensed material surface.
inline constexpr std::int32_t kSensedSurfaceBase = 1000000;
// Arc voltage reported while the plasma interface signals an overload.
inline constexpr std::int32_t kArcOverloadVoltage = 999;
// The PC throttles at this fill, so the board queues at least as many entries.
inline constexpr std::int32_t kQueueThrottleFill = 2300;

// The firmware version the program expects.
inline constexpr std::int32_t kFirmwareMajor = 1;
inline constexpr std::int32_t kFirmwareMinor = 2;
inline constexpr char kFirmwareRevision = '1';

// The board's step timer clock: level k steps at this / (D[k] + 1) Hz.
inline constexpr std::int64_t kStepTimerHz = 7200000;
// One unit of the ramp setting, in microseconds per speed level.
inline constexpr std::int64_t kRampUnitMicros = 100;

}  // namespace corvane::wire
