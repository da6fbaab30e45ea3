#include "link/HexConvert.h"

#include <cstdio>
#include <optional>

#include "ports/FileIo.h"
#include "wire/Bootloader.h"

namespace corvane {

namespace {

constexpr std::uint32_t kSegmentSize = 0x10000;
constexpr std::uint8_t kDataRecord = 0x00, kEndRecord = 0x01, kSegmentAddressRecord = 0x02,
                       kLinearAddressRecord = 0x04;

struct Record {
  std::uint8_t type = 0;
  std::uint16_t address = 0;
  std::vector<std::uint8_t> data;
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  // Lower case is the same digit; the record's checksum confirms the reading.
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Format(const char* pattern, unsigned long value) {
  char text[32];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

// An address as the file means it: four digits in a file without extended
// addresses, the whole 32-bit address otherwise.
std::string AddressText(std::uint32_t base, std::uint32_t offset) {
  return base == 0 ? Format("0x%04lX", offset) : Format("0x%08lX", base + offset);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// Reads one record, or says why the line is none.
std::optional<std::string> ReadRecord(std::string_view line, std::size_t firstColumn,
                                      Record& record) {
  if (line.front() != ':') return std::string("does not start with \":\"; it is no Intel HEX record");
  for (std::size_t k = 1; k < line.size(); ++k) {
    if (HexDigit(line[k]) >= 0) continue;
    const unsigned char c = static_cast<unsigned char>(line[k]);
    std::string shown = Format("byte 0x%02lX", c);
    if (c >= 0x20 && c < 0x7F) shown = {'"', line[k], '"'};
    return "column " + std::to_string(firstColumn + k) + ": " + shown +
           " is no hexadecimal digit";
  }
  const std::size_t digits = line.size() - 1;
  if (digits < 10 || digits % 2 != 0)
    return "holds " + std::to_string(digits) +
           " digits; a record is an even number of at least 10";
  std::vector<std::uint8_t> bytes(digits / 2);
  for (std::size_t b = 0; b < bytes.size(); ++b)
    bytes[b] = static_cast<std::uint8_t>(HexDigit(line[1 + 2 * b]) * 16 + HexDigit(line[2 + 2 * b]));
  const std::size_t count = bytes[0];
  if (bytes.size() != count + 5)
    return "its byte count says " + std::to_string(count) + " data bytes, the line holds " +
           std::to_string(bytes.size() - 5);
  std::uint8_t sum = 0;
  for (std::size_t b = 0; b + 1 < bytes.size(); ++b) sum = static_cast<std::uint8_t>(sum + bytes[b]);
  const auto needed = static_cast<std::uint8_t>(0x100 - sum);
  if (bytes.back() != needed)
    return "its checksum is " + Format("0x%02lX", bytes.back()) + ", the record needs " +
           Format("0x%02lX", needed);
  record.address = static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2]);
  record.type = bytes[3];
  record.data.assign(bytes.begin() + 4, bytes.end() - 1);
  return std::nullopt;
}

HexImage Refused(int line, const std::string& why) {
  HexImage result;
  result.line = line;
  result.error = line > 0 ? "Line " + std::to_string(line) + ": " + why + "." : why;
  return result;
}

// The base an extended address record sets, or nothing when it is malformed.
std::optional<std::uint32_t> ExtendedBase(const Record& record) {
  if (record.data.size() != 2) return std::nullopt;
  const std::uint32_t value = std::uint32_t(record.data[0]) << 8 | record.data[1];
  return record.type == kLinearAddressRecord ? value << 16 : value << 4;
}

}  // namespace

std::uint8_t StoredByte(std::size_t offset, std::uint8_t flashByte) {
  const bool second = offset >= kFirmwareBlockSize && offset < 2 * kFirmwareBlockSize;
  return second ? static_cast<std::uint8_t>(flashByte + kSecondBlockShift) : flashByte;
}

std::uint8_t FlashByte(std::size_t offset, std::uint8_t storedByte) {
  const bool second = offset >= kFirmwareBlockSize && offset < 2 * kFirmwareBlockSize;
  return second ? static_cast<std::uint8_t>(storedByte - kSecondBlockShift) : storedByte;
}

std::vector<std::uint8_t> FlashImage(std::span<const std::uint8_t> stored) {
  std::vector<std::uint8_t> flash(stored.size());
  for (std::size_t i = 0; i < stored.size(); ++i) flash[i] = FlashByte(i, stored[i]);
  return flash;
}

HexImage ConvertHex(std::string_view text) {
  if (text.find_first_not_of(" \t\r\n\f\v") == std::string_view::npos)
    return Refused(0, "The HEX file is empty.");
  HexImage result;
  std::vector<std::uint8_t>& image = result.image;
  std::uint32_t base = 0;
  std::optional<std::uint32_t> segment;  // the base of the image's data
  int lineNumber = 0;
  bool ended = false;
  for (std::size_t start = 0; start < text.size() && !ended;) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    std::size_t lead = 0;
    while (lead < line.size() && IsBlank(line[lead])) ++lead;
    line.remove_prefix(lead);
    while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
    if (line.empty()) continue;

    Record record;
    if (auto why = ReadRecord(line, lead + 1, record)) return Refused(lineNumber, *why);
    if (record.type == kEndRecord) {
      ended = true;
      continue;
    }
    if (record.type == kSegmentAddressRecord || record.type == kLinearAddressRecord) {
      const auto next = ExtendedBase(record);
      if (!next) return Refused(lineNumber, "an extended address record holds two data bytes");
      base = *next;
      continue;
    }
    if (record.type != kDataRecord) continue;  // start addresses mean nothing to the image

    const std::uint32_t address = record.address;
    if (segment && *segment != base)
      return Refused(lineNumber, "data at " + AddressText(base, address) +
                                     " starts a second 64 KiB segment; the image holds only the "
                                     "one beginning at " + AddressText(*segment, 0));
    if (base != 0 && base != wire::boot::kFlashBase)
      return Refused(lineNumber, "data at " + AddressText(base, address) +
                                     " lies outside the flash's first 64 KiB at 0x08000000, "
                                     "where the image starts");
    segment = base;
    if (!record.data.empty() && address < image.size())
      return Refused(lineNumber, "data at " + AddressText(base, address) + " lies below " +
                                     AddressText(base, static_cast<std::uint32_t>(image.size())) +
                                     ", the end of the image so far: records overlap or are out "
                                     "of order");
    if (address + record.data.size() > kSegmentSize)
      return Refused(lineNumber, std::to_string(record.data.size()) + " data bytes at " +
                                     AddressText(base, address) +
                                     " run past the end of the 64 KiB segment");
    // The gap is erased flash: stored like any byte, so the flash gets 0xFF.
    while (image.size() < address) image.push_back(StoredByte(image.size(), 0xFF));
    for (std::uint8_t byte : record.data) image.push_back(StoredByte(image.size(), byte));
  }
  if (!ended)
    return Refused(0, "The HEX file has no end-of-file record (:00000001FF): it is cut short.");
  if (image.empty()) return Refused(0, "The HEX file holds no data records.");
  return result;
}

HexImage CompileFirmwareFile(std::string_view text, const std::string& folder) {
  HexImage result = ConvertHex(text);
  if (!result.ok()) return result;
  const std::string path = folder + kFirmwareFileName;
  const FileResult written = WriteFileAtomically(
      path, std::string_view(reinterpret_cast<const char*>(result.image.data()), result.image.size()));
  if (!written) result.error = "Cannot write " + path + ": " + written.error;
  return result;
}

}  // namespace corvane
