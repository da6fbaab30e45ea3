#pragma once
#include <array>
#include <cstdint>

#include "wire/Frame.h"

namespace corvane {

// The one request record. It keeps its bytes between exchanges: a builder sets
// only the fields its command uses, the rest go out as the last command left them.
struct ControllerRequest {
  wire::FrameBytes bytes{};
  std::int32_t P(int index) const { return wire::ReadInt32(bytes, 4 * static_cast<std::size_t>(index)); }
  void setP(int index, std::int32_t value) {
    wire::WriteInt32(bytes, 4 * static_cast<std::size_t>(index), value);
  }
  std::uint8_t command() const { return bytes[wire::kCommandByte]; }
  void setCommand(std::uint8_t code) { bytes[wire::kCommandByte] = code; }
  std::uint8_t& frameFlag() { return bytes[wire::kFlagByte]; }
  std::uint8_t& sequence() { return bytes[wire::kSequenceByte]; }
};

// The one reply record: R0..R3 per command, R4 the board's queue fill.
struct ControllerReply {
  wire::FrameBytes bytes{};
  std::int32_t R(int index) const { return wire::ReadInt32(bytes, 4 * static_cast<std::size_t>(index)); }
  std::uint8_t error() const { return bytes[wire::kErrorByte]; }
  std::uint8_t alarm() const { return bytes[wire::kAlarmByte]; }
};

}  // namespace corvane
