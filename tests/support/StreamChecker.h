#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sim/Board.h"
#include "wire/Frame.h"

namespace corvane::testing {

// One line of the stream record, in the order things happened: a frame the
// program wrote (with the board's queue fill just before it arrived) or an
// operator event the test scripted.
struct StreamEvent {
  enum class Kind { Frame, OperatorStop, OperatorStart };
  Kind kind = Kind::Frame;
  std::int64_t micros = 0;
  wire::ControllerRequest request;  // frames only
  int fillOnArrival = 0;            // frames only
};

// What a stream must never do, checked over a whole run: over the frames
// the program wrote and over what the board really executed.
struct StreamRules {
  // XY moves at or above this level are rapids: the torch must be off.
  int rapidLevel = 1 << 30;
  // Queued commands go out only while the fill is below this.
  int throttleFill = 2300;
  // Exchanges allowed between the operator's stop and command 200.
  int stopLatencyFrames = 1;
};

// Every rule broken, one readable line each; empty when the stream is sound.
// Besides the rules above: no motion reset drops queued commands unless the
// operator stopped.
std::vector<std::string> CheckStream(const std::vector<StreamEvent>& events,
                                     const std::vector<sim::ExecutedEntry>& executed,
                                     const StreamRules& rules = {});

// The frame log: one decoded command per line, for failure messages.
std::string DescribeStream(const std::vector<StreamEvent>& events);

}  // namespace corvane::testing
