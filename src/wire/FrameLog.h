#pragma once
#include <cstdint>
#include <span>
#include <string>

namespace corvane::wire {

// One readable line for a request as it went on the wire, e.g.
// "TX #12 XY line P0=100 P1=-5 P2=0 P4=40". Frames of the wrong size or with
// a bad checksum say so in the line.
std::string DescribeRequest(std::span<const std::uint8_t> bytes);

// One readable line for the reply to `command`, naming the fields that
// command fills, e.g. "RX status A X=10 Y=20 Z=0 A=0 fill=3".
std::string DescribeReply(std::span<const std::uint8_t> bytes, std::uint8_t command);

}  // namespace corvane::wire
