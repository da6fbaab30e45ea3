#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// The controller's firmware image as the program ships and writes it: byte i
// is the flash byte at 0x08000000 + i, except that the second 256-byte block
// (offsets 256..511) is stored with 85 added, modulo 256.
inline constexpr const char* kFirmwareFileName = "CorvaneCNC.cfw";
// The Intel HEX text the image was made from, in the program folder: what
// the configuration window's memo shows before the operator loads another.
inline constexpr const char* kFirmwareHexFile = "firmware/CorvaneCNC.hex";
inline constexpr std::size_t kFirmwareBlockSize = 256;
inline constexpr std::uint8_t kSecondBlockShift = 85;
// The block number on the wire is one byte: 256 blocks of 256 bytes.
inline constexpr std::size_t kMaxFirmwareImage = 256 * kFirmwareBlockSize;

// A firmware image converted from Intel HEX, or why the file was refused.
struct HexImage {
  std::vector<std::uint8_t> image;  // the stored form (second block shifted)
  std::string error;                // empty when the file converted
  int line = 0;                     // the refused line (1-based), 0 for the whole file
  bool ok() const { return error.empty(); }
};

// The stored byte for a flash byte at `offset`, and back.
std::uint8_t StoredByte(std::size_t offset, std::uint8_t flashByte);
std::uint8_t FlashByte(std::size_t offset, std::uint8_t storedByte);
// What the flash holds after the stored image is written.
std::vector<std::uint8_t> FlashImage(std::span<const std::uint8_t> stored);

// Converts the text of an Intel HEX file: data records fill the image at
// their addresses, gaps become 0xFF, and the file ends with its end-of-file
// record. The image is one 64 KiB segment, so a file the image cannot hold
// as written is refused, naming the line: data below the image's end
// (overlapping or out-of-order records), a second 64 KiB segment, data that
// runs past its segment or lies neither at 0x08000000 nor at 0, a character
// that is no hexadecimal digit, a record whose length or checksum is wrong,
// a missing end record, and a file without data. Digits may be upper or
// lower case.
HexImage ConvertHex(std::string_view text);

// The "compile" button: converts the text and writes the image as
// "CorvaneCNC.cfw" into `folder`. A refused file, or a failed write, leaves
// the previous image in place; the result says why.
HexImage CompileFirmwareFile(std::string_view text, const std::string& folder);

}  // namespace corvane
