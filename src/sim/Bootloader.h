#pragma once
#include <cstdint>
#include <optional>
#include <set>
#include <vector>

namespace corvane::sim {

// The STM32 system-memory bootloader behind the board's serial link, as the
// USART protocol of ST's AN3155 describes it. It keeps a flash image (all
// 0xFF when erased; writing can only clear bits, as real flash does) and a
// small RAM. After the first 0x7F it takes every further byte pair as a
// command and its complement; a second 0x7F is therefore a command byte, and
// the pair it forms with the next byte is answered with NACK.
class Bootloader {
 public:
  static constexpr std::uint32_t kFlashSize = 128 * 1024;
  static constexpr std::uint32_t kPageSize = 1024;
  static constexpr std::uint32_t kRamBase = 0x20000000;
  static constexpr std::uint32_t kRamSize = 20 * 1024;
  static constexpr std::uint16_t kProductId = 0x0410;
  static constexpr std::uint8_t kVersion = 0x22;

  explicit Bootloader(bool extendedErase = true);

  // A reset: waits for the sync byte again; memory keeps its content.
  void reset();
  // One received byte; the answer bytes, if any, are appended to `out`.
  void receive(std::uint8_t byte, std::vector<std::uint8_t>& out);
  // The jump address of an accepted Go command, once.
  std::optional<std::uint32_t> takeGo();

  bool synced() const { return state_ != State::WaitSync; }
  bool extendedErase() const { return extendedErase_; }
  const std::vector<std::uint8_t>& flash() const { return flash_; }
  // Loads an image at the start of flash (for rehearsals of a flashed board).
  void loadFlash(const std::vector<std::uint8_t>& image);

  // Write Memory data blocks received so far, refused ones included.
  std::int64_t writesReceived() const { return writes_; }
  // Injected fault: the n-th data block from now (n = 1: the next) is
  // refused with NACK and leaves the flash as it was, as a failed
  // programming step of the real chip does.
  void armWriteNack(int n);
  void clearFaults() { nackAt_.clear(); }

 private:
  enum class State : std::uint8_t {
    WaitSync,
    Command,
    ReadAddress,
    ReadCount,
    GoAddress,
    WriteAddress,
    WriteData,
    EraseCount,
    ErasePages,
    ExtEraseCount,
    ExtErasePages
  };

  void expect(State state, std::size_t count);
  void onCommand(std::uint8_t code, std::vector<std::uint8_t>& out);
  void onCollected(std::vector<std::uint8_t>& out);
  std::uint8_t* memory(std::uint32_t address, std::size_t count);
  void massErase();
  void erasePage(std::uint32_t page);
  static bool AddressValid(const std::vector<std::uint8_t>& frame, std::uint32_t& address);

  bool extendedErase_;
  State state_ = State::WaitSync;
  std::vector<std::uint8_t> collected_;
  std::size_t needed_ = 0;
  std::uint32_t address_ = 0;
  std::vector<std::uint8_t> flash_;
  std::vector<std::uint8_t> ram_;
  std::vector<std::uint8_t> optionBytes_;
  std::optional<std::uint32_t> go_;
  std::int64_t writes_ = 0;
  std::set<std::int64_t> nackAt_;
};

}  // namespace corvane::sim
