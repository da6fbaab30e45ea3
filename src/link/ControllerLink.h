#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "link/ConnectionIndicator.h"
#include "link/D2XXUnit.h"
#include "link/ProcessPriority.h"
#include "wire/Frame.h"

namespace corvane {

class Clock;
class Host;
class ProgramLog;

// What the exchange learns about the line and the board, shared with the
// connection sequence, the status reads and the diagnostics report.
struct LinkState {
  bool LinkConnected = false;
  std::uint8_t StatusCode = 0;
  std::int32_t QueueFill = 0;
  std::int32_t RetryCount = 0;
  std::int32_t WorstAttempt = 0;
  std::int32_t WorstQueueFill = 0;
  std::int32_t Rs485Grade = 0;
  // The controller status word (status B, R2) and the three limit-switch flags:
  // a disconnect clears them so the status panel shows no inputs.
  std::uint32_t StatusWord = 0;
  bool LimitX = false, LimitY = false, LimitZ = false;
  // The board answers with its request's sequence counter in reply byte 20,
  // so a reply is only ever taken by its own request. Learnt at connection.
  bool SequenceEcho = false;
  // Replies (in whole frames) that came when no request of theirs was waiting:
  // late copies and answers to retries, discarded.
  std::int32_t StrayReplies = 0;
  // A firmware update owns the line: the bootloader, not the controller, is
  // on it, and no controller exchange may go out until its start pulse.
  bool FirmwareUpdating = false;
  // A failed update could not reach the board with its start pulse (the
  // device was gone): the next connection sends it first.
  bool StartPulseOwed = false;
};

// The synchronous request/reply exchange with the controller: one shared
// request record, one shared reply record, retries with pauses, and the
// disconnect that follows a lost device.
class ControllerLink {
 public:
  static constexpr int kMaxAttempts = 15;
  static constexpr std::int32_t kWatchedQueueFill = 2320;
  static constexpr std::int32_t kLoggedQueueFill = 2380;
  // A board that does not echo the counter: after an exchange needed a retry
  // the line must stay silent this long before the next request goes out, so
  // that a late copy cannot be taken for its answer. A retry goes out as the
  // 10 ms window closes and a late answer to it can come some 12 ms after
  // that, after the copy the retry took: twice the window covers it.
  static constexpr std::int64_t kSettleMicros = 20000;
  // A line that never falls silent is given up on after this long.
  static constexpr std::int64_t kMaxSettleMicros = 200000;

  ControllerLink(D2XXUnit& unit, Clock& clock, Host& host, ProgramLog& log,
                 ConnectionIndicator& indicator, bool& statisticsChanged);

  // The one request record: it keeps its fields between exchanges, so a
  // builder sets only what its command uses and the rest go out as the last
  // command left them.
  wire::ControllerRequest request;
  // The one reply record, decoded from the bytes of the last attempt.
  wire::ControllerReply reply;
  LinkState state;
  // 10 ms of the counter plus one tick, in microseconds of the clock.
  std::int64_t replyTimeoutMicros = 10001;
  // A real board answers on its own; a simulator on this machine shares its
  // processors with us, and a raised priority would only delay its answer.
  bool raisePriorityWhileWaiting = true;

  // Sends the request record and fills the reply record; false when not
  // connected, while a firmware update owns the line (nothing is sent), when
  // the device is lost, or when every attempt failed.
  bool Exchange();
  // Closes the device and resets the link state. Always true.
  bool Disconnect();
  // The diagnostics "Reset" link.
  void ResetStatistics();

  // The raw bytes of the last reply as they came off the wire.
  const wire::FrameBytes& replyFrame() const { return replyBytes_; }
  // Reads everything queued into the buffer, at most a frame at a time; the
  // number of bytes read.
  std::uint32_t DrainInto(std::uint8_t* buffer);

  D2XXUnit& unit() { return unit_; }
  ConnectionIndicator& indicator() { return indicator_; }

 private:
  enum class Wait { Arrived, Failed, TimedOut, DeviceLost };
  Wait WaitForReply();
  bool ReadReply();
  // Echoing board: reads frames as they come within the window and keeps the
  // one that carries the request's counter; others are strays.
  enum class Echoed { Own, Failed, NotYet };
  Echoed TakeEchoedReply();
  std::uint32_t Drain();
  // Reads what is queued before a request goes out; whatever was there
  // belongs to no request and is counted and logged.
  void DiscardStale();
  // Drains until the line has been silent for the settle time.
  void SettleLine();
  void CountStray(std::uint32_t bytes, const std::string& why);
  void TakeAlarm();
  void TakeQueueFill();
  // An exchange that needed `attempts` tries, four or more: "TXCorr:2" in
  // the file, and counted for the pane's summary.
  void NoteRetries(int attempts);
  // The pane's line on the retries counted, when there are some and a
  // minute has passed since the last one.
  void ReportRetries();

  D2XXUnit& unit_;
  Clock& clock_;
  Host& host_;
  ProgramLog& log_;
  ConnectionIndicator& indicator_;
  bool& statisticsChanged_;
  ProcessPriority priority_;
  wire::FrameBytes requestBytes_{};
  wire::FrameBytes replyBytes_{};
  std::vector<std::uint8_t> incoming_;  // echoing board: bytes read, not yet a whole frame
  bool settle_ = false;                 // the line must fall silent before the next request
  // Retries under load come in dozens an hour: the pane sums them up.
  struct RetrySummary {
    bool shown = false;          // a summary line was written
    std::int64_t shownAt = 0;    // when, on the clock
    int exchanges = 0, worst = 0;  // counted since
  } retries_;

 public:
  // The pane's retry line at most this often.
  static constexpr std::int64_t kRetrySummaryMicros = 60'000'000;
};

}  // namespace corvane
