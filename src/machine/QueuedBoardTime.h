#pragma once
#include <array>
#include <cstdint>
#include <deque>

#include "wire/Frame.h"

namespace corvane {

// How much board time the controller's queue still holds, worked out on the
// PC from the requests it sent and the fill every reply reports: each queued
// request's running time (a move's steps at its level, walking one level per
// ramp period from the level the one before left, as the controller ramps; a
// dwell's milliseconds), and the last `fill` of them still on the board. What
// the controller does when the PC is gone is run out its queue, so this is
// how long it would go on.
class QueuedBoardTime {
 public:
  // A request that went out at `now`; only queued ones take board time.
  void Sent(const wire::ControllerRequest& request, bool queued, std::int64_t now);
  // The fill a reply reported at `now`.
  void Reported(int fill, std::int64_t now);
  // Board time the queue still holds at `now`, in µs.
  std::int64_t LeftMicros(std::int64_t now) const;
  // What `request` would add to it if it were queued next.
  std::int64_t MicrosOf(const wire::ControllerRequest& request) const;
  // The torch as the last torch command queued leaves it.
  bool torchOn() const { return state_.torchOn; }

 private:
  // The controller as the queued requests leave it.
  struct State {
    int level = 0, startLevel = 0;
    std::int32_t ramp = 0, feedOverride = 0;
    std::array<std::int32_t, 4> at{};  // steps: X, Y, Z, A
    std::int32_t aboveSurface = 0;     // Z steps above the sensed surface (command 9)
    bool torchOn = false;
  };
  // Applies a request to `state` and returns its board time in µs.
  static double Apply(State& state, const wire::ControllerRequest& request);
  // Board time of `steps` of the leading axis at `target`, entered at `state.level`.
  static double MoveMicros(State& state, std::int64_t steps, int target);

  State state_;
  std::deque<double> queued_;   // running times of the requests still on the board, oldest first
  double total_ = 0;            // their sum
  std::int64_t headSince_ = 0;  // when the oldest began running, at the latest
};

}  // namespace corvane
