// Hostile Intel HEX text for the firmware converter: any bytes convert or
// are refused with a line, and an image that converted is never larger than
// the flash the bootloader can write, and reads back to the same flash bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "link/HexConvert.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const corvane::HexImage converted = corvane::ConvertHex(text);
  if (!converted.ok()) {
    if (converted.line < 0) std::abort();
    return 0;
  }
  if (converted.image.empty() || converted.image.size() > corvane::kMaxFirmwareImage) std::abort();
  const auto flash = corvane::FlashImage(converted.image);
  if (flash.size() != converted.image.size()) std::abort();
  for (std::size_t i = 0; i < flash.size(); ++i)
    if (corvane::StoredByte(i, flash[i]) != converted.image[i]) std::abort();
  return 0;
}
