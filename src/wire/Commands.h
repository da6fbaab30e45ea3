#pragma once
#include <array>
#include <cstdint>
#include <string_view>

namespace corvane::wire {

// Which of P0..P4 a command carries, as a bit set (bit i = Pi).
enum Param : std::uint8_t { kP0 = 1, kP1 = 2, kP2 = 4, kP3 = 8, kP4 = 16 };

// Queued commands run in order from the board's motion queue; immediate ones
// act (and answer) at once.
enum class Dispatch : std::uint8_t { Queued, Immediate };

struct CommandInfo {
  std::uint8_t code;
  std::string_view name;
  std::uint8_t params;
  Dispatch dispatch;
};

// Command codes, named for the builders and the board alike.
namespace cmd {
inline constexpr std::uint8_t kXyLine = 1, kZMove = 2, kTorchOn = 3, kStartLevel = 4, kTorchOff = 5,
                              kSetPosition = 6, kRamp = 7, kZAboveMaterial = 9, kDwell = 10,
                              kArcWait = 11, kProbe = 12, kHomeX = 14, kHomeY = 15, kHomeZ = 16,
                              kOut1OnQueued = 17, kOut1OffQueued = 18, kOut2OnQueued = 19,
                              kOut2OffQueued = 20, kHomeXReversed = 21, kHomeYReversed = 22,
                              kHomeA = 23, kArcWaitIn2 = 24, kXyzaMove = 30, kYaMove = 31,
                              kSequenceEnd = 100, kStop = 200, kConnectionSetting = 201,
                              kThcSettings = 202, kMotionReset = 203, kManualStart = 204,
                              kMachineConfig = 205, kFeedOverride = 206, kTorchButtonUp = 207,
                              kTorchButtonDown = 208, kEnterKey = 209, kOut1On = 210,
                              kOut1Off = 211, kOut2On = 212, kOut2Off = 213, kHeightOffset = 214,
                              kVersion = 253, kStatusB = 254, kStatusA = 255;
}  // namespace cmd

// The whole command catalogue, in code order.
inline constexpr std::array<CommandInfo, 43> kCommands{{
    {cmd::kXyLine, "XY line", kP0 | kP1 | kP2 | kP4, Dispatch::Queued},
    {cmd::kZMove, "Z move", kP2 | kP4, Dispatch::Queued},
    {cmd::kTorchOn, "torch on", 0, Dispatch::Queued},
    {cmd::kStartLevel, "start level", kP4, Dispatch::Queued},
    {cmd::kTorchOff, "torch off", 0, Dispatch::Queued},
    {cmd::kSetPosition, "set position", kP0 | kP1 | kP2 | kP3, Dispatch::Immediate},
    {cmd::kRamp, "ramp", kP4, Dispatch::Queued},
    {cmd::kZAboveMaterial, "Z above material", kP2 | kP4, Dispatch::Queued},
    {cmd::kDwell, "dwell", kP0, Dispatch::Queued},
    {cmd::kArcWait, "arc wait", kP0, Dispatch::Queued},
    {cmd::kProbe, "probe", kP0 | kP1 | kP2 | kP4, Dispatch::Queued},
    {cmd::kHomeX, "home X", kP0 | kP4, Dispatch::Queued},
    {cmd::kHomeY, "home Y", kP0 | kP4, Dispatch::Queued},
    {cmd::kHomeZ, "home Z", kP0 | kP4, Dispatch::Queued},
    {cmd::kOut1OnQueued, "output 1 on, in sequence", 0, Dispatch::Queued},
    {cmd::kOut1OffQueued, "output 1 off, in sequence", 0, Dispatch::Queued},
    {cmd::kOut2OnQueued, "output 2 on, in sequence", 0, Dispatch::Queued},
    {cmd::kOut2OffQueued, "output 2 off, in sequence", 0, Dispatch::Queued},
    {cmd::kHomeXReversed, "home X reversed", kP0 | kP4, Dispatch::Queued},
    {cmd::kHomeYReversed, "home Y reversed", kP0 | kP4, Dispatch::Queued},
    {cmd::kHomeA, "home A", kP0 | kP4, Dispatch::Queued},
    {cmd::kArcWaitIn2, "arc wait on In2", kP0, Dispatch::Queued},
    {cmd::kXyzaMove, "XYZA move", kP0 | kP1 | kP2 | kP3 | kP4, Dispatch::Queued},
    {cmd::kYaMove, "Y and A move", kP1 | kP3 | kP4, Dispatch::Queued},
    {cmd::kSequenceEnd, "sequence end", 0, Dispatch::Queued},
    {cmd::kStop, "stop", kP4, Dispatch::Immediate},
    {cmd::kConnectionSetting, "connection setting", kP4, Dispatch::Immediate},
    {cmd::kThcSettings, "THC settings", kP0 | kP1 | kP2 | kP4, Dispatch::Immediate},
    {cmd::kMotionReset, "motion reset", 0, Dispatch::Immediate},
    {cmd::kManualStart, "manual start", 0, Dispatch::Immediate},
    {cmd::kMachineConfig, "machine configuration", kP0 | kP1 | kP2, Dispatch::Immediate},
    {cmd::kFeedOverride, "feed override", kP0, Dispatch::Immediate},
    {cmd::kTorchButtonUp, "torch button, was up", 0, Dispatch::Immediate},
    {cmd::kTorchButtonDown, "torch button, was down", 0, Dispatch::Immediate},
    {cmd::kEnterKey, "Enter key", 0, Dispatch::Immediate},
    {cmd::kOut1On, "output 1 on", 0, Dispatch::Immediate},
    {cmd::kOut1Off, "output 1 off", 0, Dispatch::Immediate},
    {cmd::kOut2On, "output 2 on", 0, Dispatch::Immediate},
    {cmd::kOut2Off, "output 2 off", 0, Dispatch::Immediate},
    {cmd::kHeightOffset, "height offset", kP2, Dispatch::Immediate},
    {cmd::kVersion, "version query", 0, Dispatch::Immediate},
    {cmd::kStatusB, "status B", 0, Dispatch::Immediate},
    {cmd::kStatusA, "status A", 0, Dispatch::Immediate},
}};

// The catalogue entry of a code, or nullptr for a code the board does not know.
constexpr const CommandInfo* FindCommand(std::uint8_t code) {
  for (const auto& c : kCommands)
    if (c.code == code) return &c;
  return nullptr;
}

}  // namespace corvane::wire
