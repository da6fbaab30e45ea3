#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "sim/Board.h"
#include "sim/Bootloader.h"
#include "sim/Faults.h"

namespace corvane::sim {

// A reset pulse held at least this long starts the bootloader; a shorter
// one restarts the application.
inline constexpr std::int64_t kBootloaderPulseMicros = 200000;
// A partial frame older than this is dropped when the next byte arrives, so
// the board finds the frame boundary again after a cut-off request.
inline constexpr std::int64_t kResyncGapMicros = 2000;
// A 24-byte frame on the wire at 921 600 baud, 11 bits a byte: one reply can
// only follow another this much later.
inline constexpr std::int64_t kReplyOnWireMicros = 287;

// The whole board as the PC's USB-serial chip sees it: a byte stream in and
// out, the CBUS bit-bang pins that reset it, and a cable that can be pulled.
// It runs the application firmware or the system bootloader, applies the
// injected faults to the application's replies and plays scheduled input
// changes. Time moves only through advanceTo().
class VirtualBoard {
 public:
  using LogSink = std::function<void(const std::string& line)>;

  explicit VirtualBoard(const MachineLayout& layout = {});

  void advanceTo(std::int64_t micros);
  std::int64_t nowMicros() const { return now_; }
  // The earliest time at which something happens without new input: a late
  // reply, a scheduled input change, or the running queue's next step.
  std::optional<std::int64_t> nextEventMicros() const;

  // The byte stream. Every call fails (false / nullopt) while unplugged.
  bool write(std::span<const std::uint8_t> bytes);
  std::optional<std::size_t> queued() const;
  std::optional<std::size_t> read(std::span<std::uint8_t> out);
  // The FTDI bit mode: mode 0x20 drives the CBUS pins that reset the board.
  bool setBitMode(std::uint8_t mask, std::uint8_t mode);

  // Operator controls.
  void enterBootloader();
  void runApplication();
  bool inBootloader() const { return inBootloader_; }
  void unplug() { unplugged_ = true; }
  void plugIn() { unplugged_ = false; }
  bool unplugged() const { return unplugged_; }
  void powerUp();
  void setOldFirmware(bool on);
  bool oldFirmware() const { return oldFirmware_; }
  void scheduleInput(std::int64_t atMicros, Input input, bool on);
  // Faults of the bootloader dialogue: a bootloader that answers nothing,
  // and a cable pulled as the n-th Write Memory data block from now arrives,
  // before its answer. A NACKed block is the bootloader's own (armWriteNack).
  void setBootSilent(bool on) { bootSilent_ = on; }
  bool bootSilent() const { return bootSilent_; }
  void armBootDrop(int n);
  void clearBootFaults();
  void setLogSink(LogSink sink) { log_ = std::move(sink); }
  // How long the board takes to answer: each reply comes a seeded random time
  // in [min, max] after its request (a late fault adds its own delay instead).
  // Replies keep their order on the wire, as bytes on a serial line do.
  void setReplyLatency(std::int64_t minMicros, std::int64_t maxMicros, std::uint64_t seed = 1);
  std::int64_t replyLatencyMin() const { return latencyMin_; }
  std::int64_t replyLatencyMax() const { return latencyMax_; }

  Board& board() { return board_; }
  const Board& board() const { return board_; }
  Bootloader& bootloader() { return bootloader_; }
  Faults& faults() { return faults_; }

 private:
  struct Pending {
    std::int64_t at;
    std::vector<std::uint8_t> bytes;
  };
  struct InputChange {
    std::int64_t at;
    Input input;
    bool on;
  };

  void receiveApplicationByte(std::uint8_t byte);
  void answerFrame();
  std::int64_t answerDelay();
  void send(std::vector<std::uint8_t> bytes, std::int64_t at);
  void deliverDue();
  void note(const std::string& line) const;

  Board board_;
  Bootloader bootloader_;
  Faults faults_;
  std::int64_t now_ = 0;
  bool inBootloader_ = false;
  bool unplugged_ = false;
  bool oldFirmware_ = false;
  std::vector<std::uint8_t> partial_;
  std::int64_t lastByteAt_ = 0;
  std::deque<std::uint8_t> ready_;
  std::vector<Pending> pending_;
  std::int64_t lastReplyAt_ = 0;  // when the last reply reached the wire's end
  std::int64_t latencyMin_ = 0, latencyMax_ = 0;
  std::mt19937_64 latencyRandom_{1};
  std::vector<InputChange> schedule_;
  std::optional<std::int64_t> resetAssertedAt_;
  bool bootSilent_ = false;
  std::optional<std::int64_t> dropAtWrite_;
  LogSink log_;
};

}  // namespace corvane::sim
