#pragma once
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "sim/Machine.h"
#include "wire/Frame.h"

namespace corvane::sim {

// One request as the board carried it out: a queued entry from the moment it
// starts running to the moment it ends, an immediate one when it arrives.
// Status and version reads are left out. Times are board microseconds,
// positions logical steps.
struct ExecutedEntry {
  wire::ControllerRequest request;
  double startMicros = 0, endMicros = 0;
  Steps4 from{}, to{};
  int levelAtStart = 0;   // the speed level when it began
  int levelAtEnd = 0;     // the speed level on arrival
  int targetLevel = 0;    // the level a move asked for
  bool torchOn = false;   // the torch while it ran (after it, for torch commands)
  bool completed = true;  // false: a stop, an alarm or a switch cut it short
};

// The board's motion queue holds this many entries; a full queue refuses
// further queued commands with the error byte.
inline constexpr int kQueueCapacity = 4096;
// How long an arc wait waits per unit of its P0 before it raises ARC OK ERR.
inline constexpr std::int64_t kArcWaitUnitMicros = 1000000;

// The height-control settings of command 202, as the board keeps them.
struct ThcSettings {
  std::int32_t targetVolts = 0;  // 0 = automatic
  std::int32_t calibration = 0;
  std::int32_t halfPierceTime = 0;
  std::int32_t speedCode = 0;  // 10 (fast) .. 110 (slow)
};

// The controller firmware in application mode: it takes decoded requests,
// runs the queue in simulated time against a Machine, and builds replies.
// Time only moves when advanceTo() is called, so tests drive it with fake time.
class Board {
 public:
  explicit Board(const MachineLayout& layout = {});

  // Runs the queue up to the given board time (microseconds since start).
  void advanceTo(std::int64_t micros);
  std::int64_t nowMicros() const { return static_cast<std::int64_t>(time_); }

  // A whole request frame (24 bytes, or 20 in the old format): a bad checksum
  // gets no reply; a repeat of the previous request (same bytes, same
  // counter) is answered again without running it twice.
  std::optional<std::vector<std::uint8_t>> handleFrame(std::span<const std::uint8_t> bytes);
  // The encoded reply of a request the board refuses, in the request's format.
  std::vector<std::uint8_t> encodedRefusal(std::span<const std::uint8_t> request) const;
  // Runs one request and builds its reply (no checksum or retry handling).
  wire::ControllerReply execute(const wire::ControllerRequest& request);
  // The reply of a request the board refuses (error byte set, nothing run).
  wire::ControllerReply refusal() const;

  // A power cycle: queue, outputs and settings are lost, and status A answers
  // the power-up mark until the positions are set.
  void powerUp();
  // The operator actuates or releases an input by hand.
  void setInput(Input input, bool on);

  // What the firmware reports, for the console and for tests.
  Steps4 position() const;
  int queueFill() const;
  std::uint32_t statusWord() const;
  std::uint8_t alarm() const;
  std::int32_t arcVoltage() const;
  bool torchOn() const { return torchOn_; }
  bool arcEstablished() const;
  int speedLevel() const { return level_; }
  int ramp() const { return ramp_; }
  int feedOverrideSteps() const { return feedOverride_; }
  bool powerUpMarkPending() const { return powerUpMark_; }
  std::optional<std::int32_t> sensedSurface() const { return sensedSurface_; }
  std::int32_t machineConfigBits() const { return configBits_; }
  std::int32_t fourthAxisFunction() const { return fourthAxisFunction_; }
  std::int32_t inputInversionBits() const { return inversionBits_; }
  const ThcSettings& thc() const { return thc_; }
  std::int32_t connectionSetting() const { return connectionSetting_; }
  Machine& machine() { return machine_; }
  const Machine& machine() const { return machine_; }
  // Whether a reply carries its request's sequence counter in byte 20 (the
  // byte the frame leaves to the board); off, the byte stays 0, as on boards
  // that leave it unused.
  void setSequenceEcho(bool on) { sequenceEcho_ = on; }
  bool sequenceEcho() const { return sequenceEcho_; }

  // The executed record is kept only when asked for, so a long-running
  // simulator does not grow without end.
  void recordExecuted(bool on) { recording_ = on; }
  const std::vector<ExecutedEntry>& executed() const { return executed_; }
  void clearExecuted() { executed_.clear(); openEntry_.reset(); }

 private:
  enum class Trigger : std::uint8_t { None, Homing, Probe, Alarm };

  // The queue entry that is running now.
  struct Active {
    wire::ControllerRequest request;
    bool isMove = false;
    Steps4 from{}, to{};
    double lead = 0, progress = 0, stopAt = 0;
    int targetLevel = 0;
    bool stopping = false;
    Trigger trigger = Trigger::None;
    int triggerAxis = -1;
    std::uint8_t triggerAlarm = 0;
    std::int32_t triggerLogical = 0;
    double remainingMicros = 0;
  };

  void run(double dt);
  void begin(const wire::ControllerRequest& request);
  void beginMove(const wire::ControllerRequest& request, const Steps4& target, int level);
  void beginHoming(const wire::ControllerRequest& request, int axis, bool towardMax);
  void planTriggers(bool probe);
  double advanceActive(double dt);
  double advanceMove(double dt);
  void finishMove();
  void applyProgress();
  void correctHeight(double micros);
  void applyInstant(const wire::ControllerRequest& request);
  void abortMotion(std::uint8_t alarmCode);
  void checkInputs();
  void goIdle();
  // Ends the running entry; `completed` false when it was cut short.
  void endActive(bool completed);
  void noteStarted(const wire::ControllerRequest& request);
  void noteInstant(const wire::ControllerRequest& request);
  void setLogicalPosition(const Steps4& logical);

  double stepRate(int level) const;
  double rampMicros() const { return ramp_ * 100.0; }
  int direction(int axis) const;
  std::int32_t toPhysical(int axis, std::int32_t logical) const;
  std::int32_t toLogical(int axis, std::int32_t physical) const;
  bool sensed(Input input) const;
  bool thcActive() const;
  bool rs485Answering() const;
  wire::ControllerReply baseReply() const;

  Machine machine_;
  double time_ = 0;
  double stepUsed_ = 0;  // time of the running step already spent, while an entry ends
  std::deque<wire::ControllerRequest> queue_;
  std::optional<Active> active_;
  int level_ = 0;
  int startLevel_ = 0;
  int ramp_ = 0;
  double levelTimeLeft_ = 0;
  Steps4 offset_{};
  std::int32_t configBits_ = 0;
  std::int32_t fourthAxisFunction_ = 0;
  std::int32_t inversionBits_ = 0;
  std::int32_t connectionSetting_ = 0;
  ThcSettings thc_;
  std::int32_t feedOverride_ = 0;
  std::int32_t thcMode_ = 0;
  double thcCarry_ = 0;
  bool torchOn_ = false;
  double torchOnSince_ = 0;
  bool output1_ = false, output2_ = false;
  std::uint8_t latchedAlarm_ = 0;
  bool powerUpMark_ = true;
  std::optional<std::int32_t> sensedSurface_;
  bool reportSurface_ = false;
  bool sequenceEcho_ = true;
  std::vector<std::uint8_t> lastRequest_;
  std::vector<std::uint8_t> lastReply_;
  bool recording_ = false;
  std::vector<ExecutedEntry> executed_;
  std::optional<std::size_t> openEntry_;
};

}  // namespace corvane::sim
