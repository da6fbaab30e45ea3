#include "wire/Frame.h"

namespace corvane::wire {

std::uint8_t Checksum(std::span<const std::uint8_t> bytes) {
  unsigned sum = kChecksumSeed;
  for (std::uint8_t b : bytes) sum += b;
  return static_cast<std::uint8_t>(sum & 0xFF);
}

void Seal(std::span<std::uint8_t> frame) {
  if (frame.empty()) return;
  frame.back() = Checksum(frame.first(frame.size() - 1));
}

bool ChecksumValid(std::span<const std::uint8_t> frame) {
  if (frame.empty()) return false;
  return frame.back() == Checksum(frame.first(frame.size() - 1));
}

std::int32_t ReadInt32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  const std::uint32_t v = static_cast<std::uint32_t>(bytes[offset]) |
                          static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
                          static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
                          static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
  return static_cast<std::int32_t>(v);
}

void WriteInt32(std::span<std::uint8_t> bytes, std::size_t offset, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (std::size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

FrameBytes EncodeRequest(const ControllerRequest& request) {
  FrameBytes f{};
  for (std::size_t i = 0; i < 5; ++i) WriteInt32(f, 4 * i, request.p[i]);
  f[kCommandByte] = request.command;
  f[kFlagByte] = request.frameFlag;
  f[kSequenceByte] = request.sequence;
  Seal(f);
  return f;
}

FrameBytes EncodeReply(const ControllerReply& reply) {
  FrameBytes f{};
  for (std::size_t i = 0; i < 5; ++i) WriteInt32(f, 4 * i, reply.r[i]);
  f[kSpareByte] = reply.spare;
  f[kErrorByte] = reply.error;
  f[kAlarmByte] = reply.alarm;
  Seal(f);
  return f;
}

ControllerRequest DecodeRequest(std::span<const std::uint8_t, kFrameSize> bytes) {
  ControllerRequest r;
  for (std::size_t i = 0; i < 5; ++i) r.p[i] = ReadInt32(bytes, 4 * i);
  r.command = bytes[kCommandByte];
  r.frameFlag = bytes[kFlagByte];
  r.sequence = bytes[kSequenceByte];
  return r;
}

ControllerReply DecodeReply(std::span<const std::uint8_t, kFrameSize> bytes) {
  ControllerReply r;
  for (std::size_t i = 0; i < 5; ++i) r.r[i] = ReadInt32(bytes, 4 * i);
  r.spare = bytes[kSpareByte];
  r.error = bytes[kErrorByte];
  r.alarm = bytes[kAlarmByte];
  return r;
}

OldFrameBytes EncodeOldRequest(const ControllerRequest& request) {
  OldFrameBytes f{};
  WriteInt32(f, 0, request.p[0]);
  WriteInt32(f, 4, request.p[1]);
  WriteInt32(f, 8, request.p[2]);
  WriteInt32(f, 12, request.p[4]);
  f[kOldCommandByte] = request.command;
  f[17] = request.frameFlag;
  f[18] = request.sequence;
  Seal(f);
  return f;
}

ControllerRequest DecodeOldRequest(std::span<const std::uint8_t, kOldFrameSize> bytes) {
  ControllerRequest r;
  r.p[0] = ReadInt32(bytes, 0);
  r.p[1] = ReadInt32(bytes, 4);
  r.p[2] = ReadInt32(bytes, 8);
  r.p[4] = ReadInt32(bytes, 12);
  r.command = bytes[kOldCommandByte];
  r.frameFlag = bytes[17];
  r.sequence = bytes[18];
  return r;
}

OldFrameBytes EncodeOldReply(const ControllerReply& reply) {
  OldFrameBytes f{};
  WriteInt32(f, 0, reply.r[0]);
  WriteInt32(f, 4, reply.r[1]);
  WriteInt32(f, 8, reply.r[2]);
  WriteInt32(f, 12, reply.r[4]);
  f[16] = reply.spare;
  f[kOldErrorByte] = reply.error;
  f[18] = reply.alarm;
  Seal(f);
  return f;
}

}  // namespace corvane::wire
