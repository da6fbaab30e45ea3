#include "sim/VirtualBoard.h"

#include <algorithm>

#include "wire/Bootloader.h"
#include "wire/Frame.h"
#include "wire/FrameLog.h"

namespace corvane::sim {

VirtualBoard::VirtualBoard(const MachineLayout& layout) : board_(layout) {}

void VirtualBoard::note(const std::string& line) const {
  if (log_) log_(line);
}

void VirtualBoard::advanceTo(std::int64_t micros) {
  if (micros < now_) return;
  std::stable_sort(schedule_.begin(), schedule_.end(),
                   [](const InputChange& a, const InputChange& b) { return a.at < b.at; });
  while (!schedule_.empty() && schedule_.front().at <= micros) {
    const InputChange change = schedule_.front();
    schedule_.erase(schedule_.begin());
    board_.advanceTo(change.at);
    board_.setInput(change.input, change.on);
    note(std::string("input ") + InputName(change.input) + (change.on ? " on" : " off"));
  }
  board_.advanceTo(micros);
  now_ = micros;
  deliverDue();
}

std::optional<std::int64_t> VirtualBoard::nextEventMicros() const {
  std::optional<std::int64_t> next;
  auto consider = [&next](std::int64_t at) {
    if (!next || at < *next) next = at;
  };
  for (const auto& p : pending_) consider(p.at);
  for (const auto& c : schedule_) consider(c.at);
  if (!inBootloader_ && board_.queueFill() > 0) consider(now_ + 1000);
  return next;
}

void VirtualBoard::deliverDue() {
  std::stable_sort(pending_.begin(), pending_.end(),
                   [](const Pending& a, const Pending& b) { return a.at < b.at; });
  while (!pending_.empty() && pending_.front().at <= now_) {
    ready_.insert(ready_.end(), pending_.front().bytes.begin(), pending_.front().bytes.end());
    pending_.erase(pending_.begin());
  }
}

void VirtualBoard::send(std::vector<std::uint8_t> bytes, std::int64_t at) {
  if (at <= now_) {
    ready_.insert(ready_.end(), bytes.begin(), bytes.end());
    return;
  }
  pending_.push_back({at, std::move(bytes)});
}

bool VirtualBoard::write(std::span<const std::uint8_t> bytes) {
  if (unplugged_) return false;
  if (inBootloader_) {
    std::vector<std::uint8_t> out;
    for (std::uint8_t b : bytes) {
      bootloader_.receive(b, out);
      if (dropAtWrite_ && bootloader_.writesReceived() >= *dropAtWrite_) {
        dropAtWrite_.reset();
        note("fault: cable pulled during a flash write");
        unplug();
        return true;
      }
    }
    if (bootSilent_) out.clear();
    if (!out.empty()) send(std::move(out), now_);
    if (bootloader_.takeGo()) {
      note("bootloader: go, application starts");
      runApplication();
    }
    return true;
  }
  for (std::uint8_t b : bytes) receiveApplicationByte(b);
  return true;
}

void VirtualBoard::receiveApplicationByte(std::uint8_t byte) {
  if (!partial_.empty() && now_ - lastByteAt_ > kResyncGapMicros) {
    note("RX dropped " + std::to_string(partial_.size()) + " stale bytes");
    partial_.clear();
  }
  lastByteAt_ = now_;
  partial_.push_back(byte);
  const std::size_t frameSize = oldFirmware_ ? wire::kOldFrameSize : wire::kFrameSize;
  if (partial_.size() < frameSize) return;
  answerFrame();
  partial_.clear();
}

void VirtualBoard::answerFrame() {
  const std::uint8_t command = partial_[oldFirmware_ ? wire::kOldCommandByte : wire::kCommandByte];
  if (log_)
    note(oldFirmware_ ? "TX old frame, command " + std::to_string(command)
                      : wire::DescribeRequest(partial_));
  const Faults::Set faults = faults_.next();
  auto hit = [&faults](Fault f) { return faults[static_cast<int>(f)]; };
  std::optional<std::vector<std::uint8_t>> reply;
  if (hit(Fault::LoseRequest)) {
    note("fault: request lost on its way, not run");
    return;
  }
  if (!wire::ChecksumValid(partial_)) {
    note("request checksum bad: no reply");
    return;
  }
  if (hit(Fault::ErrorByte)) {
    reply = board_.encodedRefusal(partial_);
    note("fault: error byte, request not run");
  } else {
    reply = board_.handleFrame(partial_);
  }
  if (!reply) return;
  if (hit(Fault::CorruptChecksum)) {
    reply->back() = static_cast<std::uint8_t>(reply->back() + 1);
    note("fault: reply checksum corrupted");
  }
  if (log_ && !oldFirmware_) note(wire::DescribeReply(*reply, command));
  if (hit(Fault::LoseReply)) {
    note("fault: reply lost");
    return;
  }
  if (hit(Fault::LateReply)) note("fault: reply late");
  std::int64_t at = now_ + (hit(Fault::LateReply) ? kLateReplyMicros : answerDelay());
  // A reply still on its way holds back the ones after it.
  if (lastReplyAt_ > now_) at = std::max(at, lastReplyAt_ + kReplyOnWireMicros);
  lastReplyAt_ = at;
  send(std::move(*reply), at);
}

std::int64_t VirtualBoard::answerDelay() {
  if (latencyMax_ <= 0) return 0;
  std::uniform_int_distribution<std::int64_t> spread(latencyMin_, latencyMax_);
  return spread(latencyRandom_);
}

void VirtualBoard::setReplyLatency(std::int64_t minMicros, std::int64_t maxMicros, std::uint64_t seed) {
  latencyMin_ = std::max<std::int64_t>(minMicros, 0);
  latencyMax_ = std::max(maxMicros, latencyMin_);
  latencyRandom_.seed(seed);
}

std::optional<std::size_t> VirtualBoard::queued() const {
  if (unplugged_) return std::nullopt;
  return ready_.size();
}

std::optional<std::size_t> VirtualBoard::read(std::span<std::uint8_t> out) {
  if (unplugged_) return std::nullopt;
  const std::size_t n = std::min(out.size(), ready_.size());
  std::copy_n(ready_.begin(), n, out.begin());
  ready_.erase(ready_.begin(), ready_.begin() + static_cast<std::ptrdiff_t>(n));
  return n;
}

bool VirtualBoard::setBitMode(std::uint8_t mask, std::uint8_t mode) {
  if (unplugged_) return false;
  if (mode != wire::boot::kCbusBitBangMode) return true;
  if (mask == wire::boot::kResetHighMask) {
    if (!resetAssertedAt_) resetAssertedAt_ = now_;
    return true;
  }
  if (mask == wire::boot::kResetLowMask && resetAssertedAt_) {
    const std::int64_t held = now_ - *resetAssertedAt_;
    resetAssertedAt_.reset();
    if (held >= kBootloaderPulseMicros) {
      note("reset pulse of " + std::to_string(held / 1000) + " ms: bootloader");
      enterBootloader();
    } else {
      note("reset pulse of " + std::to_string(held / 1000) + " ms: application");
      runApplication();
    }
  }
  return true;
}

void VirtualBoard::armBootDrop(int n) {
  if (n >= 1) dropAtWrite_ = bootloader_.writesReceived() + n;
}

void VirtualBoard::clearBootFaults() {
  bootSilent_ = false;
  dropAtWrite_.reset();
  bootloader_.clearFaults();
}

void VirtualBoard::enterBootloader() {
  inBootloader_ = true;
  bootloader_.reset();
  partial_.clear();
}

void VirtualBoard::runApplication() {
  inBootloader_ = false;
  partial_.clear();
  board_.powerUp();
}

void VirtualBoard::powerUp() {
  inBootloader_ = false;
  partial_.clear();
  ready_.clear();
  pending_.clear();
  lastReplyAt_ = 0;
  board_.powerUp();
}

void VirtualBoard::setOldFirmware(bool on) {
  oldFirmware_ = on;
  partial_.clear();
}

void VirtualBoard::scheduleInput(std::int64_t atMicros, Input input, bool on) {
  schedule_.push_back({atMicros, input, on});
}

}  // namespace corvane::sim
