#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/VirtualBoard.h"
#include "wire/Frame.h"

namespace corvane::sim {

// The PC's side of one exchange, just enough to drive the board in tests.
class SimClient {
 public:
  explicit SimClient(VirtualBoard& board) : board_(board) {}

  // Sends a request with the next sequence counter and returns the raw
  // reply bytes that are waiting right after it.
  std::vector<std::uint8_t> send(std::uint8_t command, std::array<std::int32_t, 5> p = {}) {
    wire::ControllerRequest r;
    r.p = p;
    r.command = command;
    r.frameFlag = 1;
    r.sequence = ++sequence_;
    last_ = wire::EncodeRequest(r);
    return resend();
  }
  // Sends the previous request again, as a retry does.
  std::vector<std::uint8_t> resend() {
    board_.write(last_);
    std::vector<std::uint8_t> reply(board_.queued().value_or(0));
    board_.read(reply);
    return reply;
  }
  // A good reply, or nothing when the reply is missing or broken.
  std::optional<wire::ControllerReply> exchange(std::uint8_t command,
                                                std::array<std::int32_t, 5> p = {}) {
    const auto bytes = send(command, p);
    if (bytes.size() != wire::kFrameSize || !wire::ChecksumValid(bytes)) return std::nullopt;
    return wire::DecodeReply(
        std::span<const std::uint8_t, wire::kFrameSize>(bytes.data(), wire::kFrameSize));
  }
  wire::ControllerReply must(std::uint8_t command, std::array<std::int32_t, 5> p = {}) {
    auto reply = exchange(command, p);
    return reply.value_or(wire::ControllerReply{{-999, -999, -999, -999, -999}, 0, 255, 255});
  }

 private:
  VirtualBoard& board_;
  std::uint8_t sequence_ = 0;
  wire::FrameBytes last_{};
};

}  // namespace corvane::sim
