#pragma once
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ports/Clock.h"
#include "sim/Board.h"
#include "sim/Console.h"
#include "sim/Faults.h"
#include "sim/PtyServer.h"
#include "sim/VirtualBoard.h"
#include "support/BoardFixture.h"
#include "support/RecordingHost.h"
#include "support/TempDir.h"
#include "system/System.h"
#include "virtual/ControllerSetup.h"
#include "wire/Frame.h"

namespace corvane::testing {

// Why the program sent a request again, from what its previous attempt read.
enum class RetryReason { NoReply, Partial, BadChecksum, Refused, Late, Count };
inline constexpr int kRetryReasons = static_cast<int>(RetryReason::Count);
const char* RetryReasonName(RetryReason reason);

// Sits between the program and its device: keeps every frame written and,
// when a frame is written again (a retry), notes what the attempt before it
// had read. `written` holds every frame.
class RetryWatch final : public WireTap {
 public:
  explicit RetryWatch(UsbDevice& inner) : WireTap(inner) {}
  std::array<long, kRetryReasons> retries{};

  std::uint32_t read(std::uint8_t* buffer, std::uint32_t count) override;
  std::uint32_t write(const std::uint8_t* buffer, std::uint32_t count) override;

 private:
  std::vector<std::uint8_t> answer_;  // what the last attempt read
};

// Wall time with a start lock that can be skipped: the program's one-second
// lock after start-up is not what these runs measure.
class SkippableClock final : public Clock {
 public:
  std::int64_t nowMicros() const override { return steady_.nowMicros() + skipped_; }
  void sleepMicros(std::int64_t micros) override { steady_.sleepMicros(micros); }
  LocalDateTime localNow() const override { return steady_.localNow(); }
  void skip(std::int64_t micros) { skipped_ += micros; }

 private:
  SteadyClock steady_;
  std::int64_t skipped_ = 0;
};

// The virtual board served on a pseudo-terminal by the simulator's own server,
// on a thread of this process so that its executed record can be read once the
// server has stopped; and the program's whole controller side in real time,
// wired as the program wires it, talking to it through the terminal.
class PtyRig {
 public:
  PtyRig();
  ~PtyRig();
  PtyRig(const PtyRig&) = delete;
  PtyRig& operator=(const PtyRig&) = delete;

  // Faults and board settings are made before the server starts.
  sim::VirtualBoard& board() { return board_; }
  bool StartServer();
  // One console line over the control socket while the server runs.
  std::string Control(const std::string& line);
  // Ends the server; the board may be read again afterwards.
  void StopServer();
  // The board's clock now (it starts with the server).
  std::int64_t BoardMicros() const;

  // Connects, sets the positions to where the board stands and skips the start lock.
  bool Connect();

  // The requests the program meant to send, one per exchange: retries repeat
  // the same bytes, so consecutive identical frames are one request.
  std::vector<wire::ControllerRequest> Planned() const;
  // Injected faults by kind, counted from the board's own notes.
  const std::array<long, sim::kFaultKinds>& injected() const { return injected_; }
  // Requests whose reply at least one fault hit: each costs the program a retry.
  long requestsHit() const { return requestsHit_; }

  TempDir dir;
  SkippableClock clock;
  RecordingHost host;
  std::unique_ptr<System> system;
  std::unique_ptr<Controller> controller;
  RetryWatch* watch = nullptr;

 private:
  sim::VirtualBoard board_;
  sim::Console console_;
  std::unique_ptr<sim::PtyServer> server_;
  std::thread thread_;
  std::chrono::steady_clock::time_point serverStart_;
  std::array<long, sim::kFaultKinds> injected_{};
  long requestsHit_ = 0;
  bool requestHit_ = false;
  std::array<std::int32_t, 3> startSteps_{};
  std::int32_t surfaceSteps_ = 0;
};

// Whether the board carried out every request the program meant to send
// exactly once, in order: immediate ones all, as they came; queued ones in the
// order they were sent, where only those a later stop or motion reset cleared
// from the queue before they ran may be missing. Status reads are not in the
// board's record. "" when sound, else the first fault in words.
std::string CheckExactlyOnce(const std::vector<wire::ControllerRequest>& planned,
                             const std::vector<sim::ExecutedEntry>& executed);
// The requests a program meant to send, from the frames it wrote: a retry
// repeats its frame, so consecutive identical frames are one request.
std::vector<wire::ControllerRequest> PlannedRequests(const std::vector<std::vector<std::uint8_t>>& written);
// How many of the planned requests are queued ones.
std::size_t QueuedCount(const std::vector<wire::ControllerRequest>& planned);

}  // namespace corvane::testing
