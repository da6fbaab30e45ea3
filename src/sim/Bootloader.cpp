#include "sim/Bootloader.h"

#include <algorithm>

#include "wire/Bootloader.h"

namespace corvane::sim {
namespace {

using namespace wire::boot;
constexpr std::uint32_t kOptionBytesBase = 0x1FFFF800;

std::uint8_t Xor(const std::uint8_t* bytes, std::size_t count) {
  std::uint8_t x = 0;
  for (std::size_t i = 0; i < count; ++i) x ^= bytes[i];
  return x;
}

}  // namespace

Bootloader::Bootloader(bool extendedErase)
    : extendedErase_(extendedErase),
      flash_(kFlashSize, 0xFF),
      ram_(kRamSize, 0),
      optionBytes_(16, 0xFF) {}

void Bootloader::reset() {
  state_ = State::WaitSync;
  collected_.clear();
  needed_ = 0;
  go_.reset();
}

std::optional<std::uint32_t> Bootloader::takeGo() {
  auto go = go_;
  go_.reset();
  return go;
}

void Bootloader::loadFlash(const std::vector<std::uint8_t>& image) {
  std::fill(flash_.begin(), flash_.end(), 0xFF);
  std::copy_n(image.begin(), std::min<std::size_t>(image.size(), flash_.size()), flash_.begin());
}

void Bootloader::armWriteNack(int n) {
  if (n >= 1) nackAt_.insert(writes_ + n);
}

void Bootloader::expect(State state, std::size_t count) {
  state_ = state;
  collected_.clear();
  needed_ = count;
}

void Bootloader::receive(std::uint8_t byte, std::vector<std::uint8_t>& out) {
  if (state_ == State::WaitSync) {
    // Before the sync byte the bootloader is still measuring the baud rate.
    if (byte == kSync) {
      out.push_back(kAck);
      expect(State::Command, 2);
    }
    return;
  }
  collected_.push_back(byte);
  if (collected_.size() < needed_) return;
  if (state_ == State::Command) {
    const std::uint8_t code = collected_[0];
    const bool paired = (collected_[0] ^ collected_[1]) == 0xFF;
    expect(State::Command, 2);
    if (!paired) {
      out.push_back(kNack);
      return;
    }
    onCommand(code, out);
    return;
  }
  onCollected(out);
}

void Bootloader::onCommand(std::uint8_t code, std::vector<std::uint8_t>& out) {
  const std::uint8_t eraseCode = extendedErase_ ? kExtendedErase : kErase;
  switch (code) {
    case kGet: {
      const std::uint8_t commands[] = {
          kGet,         kGetVersion, kGetId,          kReadMemory,      kGo,
          kWriteMemory, eraseCode,   kWriteUnprotect, kReadoutUnprotect};
      out.push_back(kAck);
      out.push_back(static_cast<std::uint8_t>(std::size(commands)));
      out.push_back(kVersion);
      out.insert(out.end(), std::begin(commands), std::end(commands));
      out.push_back(kAck);
      return;
    }
    case kGetVersion:
      out.insert(out.end(), {kAck, kVersion, 0x00, 0x00, kAck});
      return;
    case kGetId:
      out.insert(out.end(), {kAck, 0x01, static_cast<std::uint8_t>(kProductId >> 8),
                             static_cast<std::uint8_t>(kProductId & 0xFF), kAck});
      return;
    case kReadMemory:
      out.push_back(kAck);
      return expect(State::ReadAddress, 5);
    case kGo:
      out.push_back(kAck);
      return expect(State::GoAddress, 5);
    case kWriteMemory:
      out.push_back(kAck);
      return expect(State::WriteAddress, 5);
    case kWriteUnprotect:
      out.insert(out.end(), {kAck, kAck});
      return reset();
    case kReadoutUnprotect:
      massErase();
      out.insert(out.end(), {kAck, kAck});
      return reset();
    default:
      break;
  }
  if (code == kErase && !extendedErase_) {
    out.push_back(kAck);
    return expect(State::EraseCount, 1);
  }
  if (code == kExtendedErase && extendedErase_) {
    out.push_back(kAck);
    return expect(State::ExtEraseCount, 2);
  }
  out.push_back(kNack);
}

bool Bootloader::AddressValid(const std::vector<std::uint8_t>& frame, std::uint32_t& address) {
  if (Xor(frame.data(), 4) != frame[4]) return false;
  address = std::uint32_t(frame[0]) << 24 | std::uint32_t(frame[1]) << 16 |
            std::uint32_t(frame[2]) << 8 | frame[3];
  return true;
}

std::uint8_t* Bootloader::memory(std::uint32_t address, std::size_t count) {
  auto within = [&](std::uint32_t base, std::vector<std::uint8_t>& area) -> std::uint8_t* {
    if (address < base || address - base + count > area.size()) return nullptr;
    return area.data() + (address - base);
  };
  if (auto* p = within(kFlashBase, flash_)) return p;
  if (auto* p = within(kRamBase, ram_)) return p;
  return within(kOptionBytesBase, optionBytes_);
}

void Bootloader::massErase() { std::fill(flash_.begin(), flash_.end(), 0xFF); }

void Bootloader::erasePage(std::uint32_t page) {
  if (page >= kFlashSize / kPageSize) return;
  std::fill_n(flash_.begin() + page * kPageSize, kPageSize, 0xFF);
}

void Bootloader::onCollected(std::vector<std::uint8_t>& out) {
  const std::vector<std::uint8_t> frame = collected_;
  auto nack = [&] {
    out.push_back(kNack);
    expect(State::Command, 2);
  };
  switch (state_) {
    case State::ReadAddress:
    case State::GoAddress:
    case State::WriteAddress: {
      std::uint32_t address = 0;
      if (!AddressValid(frame, address) || !memory(address, 1)) return nack();
      address_ = address;
      out.push_back(kAck);
      if (state_ == State::ReadAddress) return expect(State::ReadCount, 2);
      if (state_ == State::WriteAddress) return expect(State::WriteData, 1);
      reset();
      go_ = address;
      return;
    }
    case State::ReadCount: {
      const std::size_t count = std::size_t(frame[0]) + 1;
      const std::uint8_t* source = memory(address_, count);
      if ((frame[0] ^ frame[1]) != 0xFF || !source) return nack();
      out.push_back(kAck);
      out.insert(out.end(), source, source + count);
      return expect(State::Command, 2);
    }
    case State::WriteData: {
      // The count byte first; then the data and the checksum.
      const std::size_t count = std::size_t(frame[0]) + 1;
      if (frame.size() == 1) {
        needed_ = 1 + count + 1;
        return;
      }
      ++writes_;
      if (nackAt_.erase(writes_) > 0) return nack();
      std::uint8_t* target = memory(address_, count);
      if (Xor(frame.data(), count + 1) != frame.back() || !target) return nack();
      const bool isFlash = address_ >= kFlashBase && address_ < kFlashBase + kFlashSize;
      for (std::size_t i = 0; i < count; ++i)
        target[i] = isFlash ? static_cast<std::uint8_t>(target[i] & frame[1 + i]) : frame[1 + i];
      out.push_back(kAck);
      return expect(State::Command, 2);
    }
    case State::EraseCount:
      // 0xFF asks for a global erase (its checksum byte 0x00 follows);
      // otherwise N + 1 page numbers and their checksum follow.
      needed_ = frame[0] == 0xFF ? 2 : 1 + (std::size_t(frame[0]) + 1) + 1;
      state_ = State::ErasePages;
      return;
    case State::ErasePages: {
      const bool global = frame[0] == 0xFF;
      if (global ? frame[1] != 0x00 : Xor(frame.data(), frame.size() - 1) != frame.back())
        return nack();
      if (global) {
        massErase();
      } else {
        for (std::size_t i = 1; i + 1 < frame.size(); ++i) erasePage(frame[i]);
      }
      out.push_back(kAck);
      return expect(State::Command, 2);
    }
    case State::ExtEraseCount: {
      const std::uint16_t n = static_cast<std::uint16_t>(frame[0] << 8 | frame[1]);
      needed_ = n >= 0xFFF0 ? 3 : 2 + (std::size_t(n) + 1) * 2 + 1;
      state_ = State::ExtErasePages;
      return;
    }
    case State::ExtErasePages: {
      if (Xor(frame.data(), frame.size() - 1) != frame.back()) return nack();
      const std::uint16_t n = static_cast<std::uint16_t>(frame[0] << 8 | frame[1]);
      if (n >= 0xFFF0) {
        massErase();
      } else {
        for (std::size_t i = 2; i + 2 < frame.size(); i += 2)
          erasePage(std::uint32_t(frame[i]) << 8 | frame[i + 1]);
      }
      out.push_back(kAck);
      return expect(State::Command, 2);
    }
    default:
      return nack();
  }
}

}  // namespace corvane::sim
