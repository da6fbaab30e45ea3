#pragma once
#include <cstdint>

namespace corvane::wire {

// The STM32 USART system-bootloader protocol (ST application note AN3155).
namespace boot {
inline constexpr std::uint8_t kSync = 0x7F, kAck = 0x79, kNack = 0x1F;
inline constexpr std::uint8_t kGet = 0x00, kGetVersion = 0x01, kGetId = 0x02, kReadMemory = 0x11,
                              kGo = 0x21, kWriteMemory = 0x31, kErase = 0x43, kExtendedErase = 0x44,
                              kWriteProtect = 0x63, kWriteUnprotect = 0x73, kReadoutProtect = 0x82,
                              kReadoutUnprotect = 0x92;
// Flash base; the firmware image's byte i lands at kFlashBase + i.
inline constexpr std::uint32_t kFlashBase = 0x08000000;
// CBUS bit-bang mode and the two masks of the reset pulse.
inline constexpr std::uint8_t kCbusBitBangMode = 0x20, kResetHighMask = 0xFF, kResetLowMask = 0xF0;
// Serial setting of the bootloader link.
inline constexpr int kBaudRate = 115200;
}  // namespace boot

}  // namespace corvane::wire
