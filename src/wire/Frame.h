#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace corvane::wire {

// One exchange is a fixed-size request answered by a reply of the same size.
inline constexpr std::size_t kFrameSize = 24;
// Firmware older than 1.0.9 speaks a 20-byte frame without P3.
inline constexpr std::size_t kOldFrameSize = 20;
inline constexpr std::uint8_t kChecksumSeed = 0x55;

using FrameBytes = std::array<std::uint8_t, kFrameSize>;
using OldFrameBytes = std::array<std::uint8_t, kOldFrameSize>;

// Byte offsets shared by both frame kinds.
inline constexpr std::size_t kCommandByte = 20;   // request: command code
inline constexpr std::size_t kFlagByte = 21;      // request: frame flag
inline constexpr std::size_t kSequenceByte = 22;  // request: sequence counter
inline constexpr std::size_t kSpareByte = 20;     // reply: not interpreted
inline constexpr std::size_t kErrorByte = 21;     // reply: 0 = accepted
inline constexpr std::size_t kAlarmByte = 22;     // reply: alarm code
inline constexpr std::size_t kChecksumByte = 23;

// What the PC asks: five parameters P0..P4 and the command byte.
struct ControllerRequest {
  std::array<std::int32_t, 5> p{};
  std::uint8_t command = 0;
  std::uint8_t frameFlag = 0;
  std::uint8_t sequence = 0;
  bool operator==(const ControllerRequest&) const = default;
};

// What the board answers: R0..R3 per command, R4 the queue fill.
struct ControllerReply {
  std::array<std::int32_t, 5> r{};
  std::uint8_t spare = 0;
  std::uint8_t error = 0;
  std::uint8_t alarm = 0;
  std::int32_t queueFill() const { return r[4]; }
  bool operator==(const ControllerReply&) const = default;
};

// 0x55 plus every given byte, modulo 256.
std::uint8_t Checksum(std::span<const std::uint8_t> bytes);
// Writes the checksum of all bytes but the last into the last byte.
void Seal(std::span<std::uint8_t> frame);
// True when the last byte is the checksum of the bytes before it.
bool ChecksumValid(std::span<const std::uint8_t> frame);

std::int32_t ReadInt32(std::span<const std::uint8_t> bytes, std::size_t offset);
void WriteInt32(std::span<std::uint8_t> bytes, std::size_t offset, std::int32_t value);

// Sealed 24-byte frames from their fields, and the fields back from the bytes
// (decoding never checks the checksum: callers decide what a bad one means).
FrameBytes EncodeRequest(const ControllerRequest& request);
FrameBytes EncodeReply(const ControllerReply& reply);
ControllerRequest DecodeRequest(std::span<const std::uint8_t, kFrameSize> bytes);
ControllerReply DecodeReply(std::span<const std::uint8_t, kFrameSize> bytes);

// The old 20-byte frame: P0, P1, P2, P4, command, flag, counter, checksum.
// Its reply carries the error byte at 17.
inline constexpr std::size_t kOldCommandByte = 16;
inline constexpr std::size_t kOldErrorByte = 17;
OldFrameBytes EncodeOldRequest(const ControllerRequest& request);
ControllerRequest DecodeOldRequest(std::span<const std::uint8_t, kOldFrameSize> bytes);
OldFrameBytes EncodeOldReply(const ControllerReply& reply);

}  // namespace corvane::wire
