#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "link/HexConvert.h"
#include "support/TempDir.h"

namespace corvane::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

// One Intel HEX record, checksum included, written here from the format's
// definition rather than by the code under test.
std::string Record(std::uint8_t type, std::uint16_t address, const Bytes& data) {
  Bytes body{static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(address >> 8),
             static_cast<std::uint8_t>(address & 0xFF), type};
  body.insert(body.end(), data.begin(), data.end());
  unsigned sum = 0;
  for (auto b : body) sum += b;
  body.push_back(static_cast<std::uint8_t>(-sum));
  std::string line = ":";
  char digits[3];
  for (auto b : body) {
    std::snprintf(digits, sizeof digits, "%02X", b);
    line += digits;
  }
  return line;
}
std::string Data(std::uint16_t address, const Bytes& data) { return Record(0x00, address, data); }
std::string Linear(std::uint16_t upper) {
  return Record(0x04, 0, {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)});
}
std::string Segment(std::uint16_t paragraph) {
  return Record(0x02, 0, {static_cast<std::uint8_t>(paragraph >> 8),
                          static_cast<std::uint8_t>(paragraph)});
}
const std::string kEnd = ":00000001FF";

std::string File(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

Bytes Counting(std::size_t count, int first = 0) {
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Records with LF endings, blank lines and blanks around them.
std::string LooselyWritten(const std::vector<std::string>& lines) {
  std::string text = "\n";
  for (const auto& line : lines) {
    text += "  ";
    text += line;
    text += " \t\n\n";
  }
  return text;
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

struct Accepted {
  const char* name;
  std::string text;
  Bytes flash;  // what the controller's flash receives from 0x08000000 on
  bool objcopyReadsIt = true;
};

std::vector<Accepted> AcceptedCases() {
  const Bytes c0{0xC0};
  return {
      {"DataAt0x0010IsPrecededBy16ErasedBytes", File({Data(0x0010, {1, 2, 3}), kEnd}),
       Concat({Bytes(16, 0xFF), {1, 2, 3}})},
      {"ByteC0AtOffset300ReachesTheFlashAsC0", File({Data(0x0000, Counting(16)), Data(0x012C, c0), kEnd}),
       Concat({Counting(16), Bytes(300 - 16, 0xFF), c0})},
      {"SecondBlockWrapsModulo256", File({Data(0x00F8, Counting(32, 0xF0)), kEnd}),
       Concat({Bytes(0xF8, 0xFF), Counting(32, 0xF0)})},
      {"FlashBaseSegmentAndStartAddressRecords",
       File({Linear(0x0800), Data(0x0000, Counting(16)), Linear(0x0800), Data(0x0010, Counting(4, 16)),
             Record(0x05, 0, {0x08, 0x00, 0x01, 0x01}), kEnd}),
       Counting(20)},
      {"LowerCaseDigitsReadAsTheirValue",
       Lower(File({Linear(0x0800), Data(0x0100, {0xAB, 0xCD, 0xEF}), kEnd})),
       Concat({Bytes(0x100, 0xFF), {0xAB, 0xCD, 0xEF}})},
      {"LinesAfterTheEndRecordAreNotRead",
       File({Data(0x0000, {9}), kEnd, "this is no record"}), Bytes{9}, false},
      {"BlankLinesAndLfEndingsAreFine", LooselyWritten({Data(0x0000, {7, 8}), Data(0x0002, {9}), kEnd}),
       Bytes{7, 8, 9}, false},
      {"RecordEndingExactlyAtTheSegmentEnd", File({Data(0xFFFE, {1, 2}), kEnd}),
       Concat({Bytes(0xFFFE, 0xFF), {1, 2}})},
  };
}

TEST(ConvertHex, SoundFilesConvertToTheFlashBytesWithTheSecondBlockStoredShifted) {
  for (const auto& c : AcceptedCases()) {
    SCOPED_TRACE(c.name);
    const HexImage result = ConvertHex(c.text);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(FlashImage(result.image), c.flash);
    ASSERT_EQ(result.image.size(), c.flash.size());
    for (std::size_t i = 0; i < c.flash.size(); ++i) {
      const bool second = i >= 256 && i < 512;
      ASSERT_EQ(result.image[i], static_cast<std::uint8_t>(c.flash[i] + (second ? 85 : 0))) << i;
    }
  }
}

TEST(ConvertHex, TheWorkedExampleOfTheStoredSecondBlock) {
  const HexImage result = ConvertHex(File({Data(0x012C, {0xC0}), kEnd}));
  ASSERT_TRUE(result.ok()) << result.error;
  ASSERT_EQ(result.image.size(), 301u);
  EXPECT_EQ(result.image[300], 0x15);
  EXPECT_EQ(FlashByte(300, result.image[300]), 0xC0);
  EXPECT_EQ(result.image[255], 0xFF) << "first block unchanged";
  EXPECT_EQ(result.image[256], 0x54) << "erased byte of the second block, 0xFF + 85";
}

struct Refusal {
  const char* name;
  std::string text;
  int line;
  std::vector<std::string> says;  // parts of the message
};

std::vector<Refusal> RefusalCases() {
  const Bytes sixteen = Counting(16);
  std::string badChar = Data(0x0000, sixteen);
  badChar[12] = 'G';
  std::string badSum = Data(0x0000, sixteen);
  badSum.back() = badSum.back() == '0' ? '1' : '0';
  std::string oddLine = Data(0x0000, sixteen);
  oddLine.pop_back();
  std::string withNul = Data(0x0000, {1});
  withNul[3] = '\x01';
  return {
      {"EmptyFile", "", 0, {"empty"}},
      {"OnlyBlankLines", "\r\n\r\n", 0, {"empty"}},
      {"NoEndRecord", File({Data(0x0000, sixteen)}), 0, {"end-of-file record", "cut short"}},
      {"NoDataRecords", File({Linear(0x0800), kEnd}), 0, {"no data records"}},
      {"LetterThatIsNoDigit", File({Data(0x0000, {1}), badChar, kEnd}), 2, {"column 13", "\"G\""}},
      {"ControlCharacter", File({withNul, kEnd}), 1, {"column 4", "byte 0x01"}},
      {"LineWithoutColon", File({Data(0x0000, {1}), "0300000001020307", kEnd}), 2, {"\":\""}},
      {"WrongChecksum", File({badSum, kEnd}), 1, {"checksum"}},
      {"OddNumberOfDigits", File({oddLine, kEnd}), 1, {"holds 41 digits"}},
      {"ByteCountDisagreesWithLine", File({":05000000010203F5", kEnd}), 1,
       {"byte count says 5 data bytes, the line holds 3"}},
      {"OutOfOrderRecords", File({Data(0x0100, sixteen), Data(0x0000, sixteen), kEnd}), 2,
       {"0x0000", "below 0x0110", "out of order"}},
      {"OverlappingRecords", File({Data(0x0000, sixteen), Data(0x0008, sixteen), kEnd}), 2,
       {"0x0008", "below 0x0010", "overlap"}},
      {"SecondLinearSegment",
       File({Linear(0x0800), Data(0xFFF0, sixteen), Linear(0x0801), Data(0x0000, sixteen), kEnd}), 4,
       {"0x08010000", "second 64 KiB segment"}},
      {"SecondSegmentOfAPlainFile",
       File({Data(0x0000, sixteen), Segment(0x1000), Data(0x0000, sixteen), kEnd}), 3,
       {"0x00010000", "second 64 KiB segment"}},
      {"FirstDataInASegmentAbove64KiB", File({Segment(0x1000), Data(0x0000, sixteen), kEnd}), 2,
       {"0x00010000", "outside"}},
      {"FlashAndZeroBasesMixed",
       File({Data(0x0000, sixteen), Linear(0x0800), Data(0x0010, sixteen), kEnd}), 3,
       {"0x08000010", "second 64 KiB segment"}},
      {"FirmwareLinkedBehindALoader", File({Linear(0x0801), Data(0x0000, sixteen), kEnd}), 2,
       {"0x08010000", "outside the flash's first 64 KiB"}},
      {"RecordRunsPastTheSegment", File({Data(0xFFF8, sixteen), kEnd}), 1,
       {"16 data bytes at 0xFFF8", "run past"}},
      {"MalformedExtendedAddress", File({Record(0x04, 0, {0x08}), Data(0, {1}), kEnd}), 1,
       {"two data bytes"}},
  };
}

TEST(ConvertHex, FilesTheImageCannotHoldAreRefusedNamingTheLine) {
  for (const auto& c : RefusalCases()) {
    SCOPED_TRACE(c.name);
    const HexImage result = ConvertHex(c.text);
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.image.empty());
    EXPECT_EQ(result.line, c.line) << result.error;
    if (c.line > 0) {
      EXPECT_EQ(result.error.rfind("Line " + std::to_string(c.line) + ": ", 0), 0u) << result.error;
    }
    for (const auto& part : c.says) EXPECT_NE(result.error.find(part), std::string::npos) << result.error;
  }
}

TEST(CompileFirmwareFile, WritesTheImageAndKeepsThePreviousOneOnRefusal) {
  TempDir dir;
  const std::string path = dir.file(kFirmwareFileName);
  const HexImage first = CompileFirmwareFile(File({Data(0x0000, {1, 2, 3}), kEnd}), dir.path());
  ASSERT_TRUE(first.ok()) << first.error;
  EXPECT_EQ(ReadFileText(path), std::string("\x01\x02\x03"));

  const HexImage refused =
      CompileFirmwareFile(File({Data(0x0010, {4}), Data(0x0000, {5}), kEnd}), dir.path());
  EXPECT_FALSE(refused.ok());
  EXPECT_EQ(ReadFileText(path), std::string("\x01\x02\x03")) << "the previous image stays";

  const HexImage unwritable = CompileFirmwareFile(File({Data(0, {9}), kEnd}), dir.file("missing/"));
  EXPECT_FALSE(unwritable.ok());
  EXPECT_NE(unwritable.error.find("Cannot write"), std::string::npos) << unwritable.error;
}

// ---- binutils as the outside reference ----------------------------------

std::optional<std::string> Run(const std::string& command) {
  FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return std::nullopt;
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  return ::pclose(pipe) == 0 ? std::optional(out) : std::nullopt;
}

bool HaveBinutils() {
  return ::access("/usr/bin/objcopy", X_OK) == 0 && ::access("/usr/bin/objdump", X_OK) == 0;
}

// The flash bytes binutils makes of a HEX file: its sections laid out from the
// lowest load address with gaps of 0xFF, after as many erased bytes as the
// lowest address lies above the start of its 64 KiB segment.
std::optional<Bytes> ReferenceFlash(const std::string& hexPath, const TempDir& dir) {
  const auto sections = Run("objdump -h '" + hexPath + "'");
  if (!sections) return std::nullopt;
  std::istringstream lines(*sections);
  std::optional<unsigned long> lowest;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string index, name, size, vma, lma;
    if (!(words >> index >> name >> size >> vma >> lma) || name.rfind(".sec", 0) != 0) continue;
    const unsigned long at = std::stoul(lma, nullptr, 16);
    if (!lowest || at < *lowest) lowest = at;
  }
  const std::string binary = dir.file("objcopy.bin");
  if (!lowest || !Run("objcopy -I ihex -O binary --gap-fill 0xFF '" + hexPath + "' '" + binary + "'"))
    return std::nullopt;
  const std::string flat = ReadFileText(binary);
  Bytes flash(*lowest & 0xFFFF, 0xFF);
  flash.insert(flash.end(), flat.begin(), flat.end());
  return flash;
}

TEST(ConvertHex, SoundFilesEqualWhatObjcopyMakesOfThem) {
  if (!HaveBinutils()) GTEST_SKIP() << "binutils (objcopy, objdump) are not installed";
  TempDir dir;
  for (const auto& c : AcceptedCases()) {
    if (!c.objcopyReadsIt) continue;
    SCOPED_TRACE(c.name);
    WriteFileText(dir.file("case.hex"), c.text);
    const auto reference = ReferenceFlash(dir.file("case.hex"), dir);
    ASSERT_TRUE(reference.has_value());
    const HexImage result = ConvertHex(c.text);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(FlashImage(result.image), *reference);
  }
}

TEST(ConvertHex, TheShippedImageIsTheShippedHexAsObjcopyMadeIt) {
  const std::string hex = ReadFileText(std::string(CORVANE_SOURCE_DIR) + "/data/firmware/CorvaneCNC.hex");
  const std::string shipped = ReadFileText(std::string(CORVANE_SOURCE_DIR) + "/data/CorvaneCNC.cfw");
  ASSERT_FALSE(hex.empty());
  const HexImage result = ConvertHex(hex);
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_EQ(std::string(result.image.begin(), result.image.end()), shipped);
  EXPECT_GT(result.image.size(), 3 * kFirmwareBlockSize) << "the image spans four blocks";
  if (!HaveBinutils()) return;
  TempDir dir;
  const auto reference =
      ReferenceFlash(std::string(CORVANE_SOURCE_DIR) + "/data/firmware/CorvaneCNC.hex", dir);
  ASSERT_TRUE(reference.has_value());
  EXPECT_EQ(FlashImage(result.image), *reference);
}

// HEX files nobody on the team wrote: each converts to what objcopy makes of
// it, or is refused for the reason binutils' view of it shows.
struct CorpusFile {
  const char* name;
  const char* refusal;  // nullptr: converts
};

TEST(ConvertHex, CorpusFilesConvertLikeObjcopyOrAreRefusedForTheirLayout) {
  const std::string folder = std::string(CORVANE_CORPUS_DIR) + "/hex/";
  if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no corpus at " << folder;
  if (!HaveBinutils()) GTEST_SKIP() << "binutils (objcopy, objdump) are not installed";
  const CorpusFile files[] = {
      {"bincopy__convert.hex", nullptr},
      {"bincopy__fill.hex", nullptr},
      {"minicore__optiboot_atmega328p.hex", nullptr},
      {"nrf52__mbr_nrf52_2.4.1_mbr.hex", nullptr},
      {"serasidis__hid_bootloader_F103.hex", nullptr},
      {"serasidis__HID_Bootloader_F4.hex", nullptr},
      {"x893__CMSIS-DAP-STLINK21.hex", nullptr},
      {"x893__CMSIS-DAP-V1-F103.hex", nullptr},
      {"x893__CMSIS-DAP-V2.hex", nullptr},
      // Data at 0x00400238 and 0x003DC000: neither the flash base nor 0.
      {"bincopy__empty_main.hex", "outside the flash's first 64 KiB"},
      {"bincopy__in_16bits_word_padding.hex", "outside the flash's first 64 KiB"},
      // Sections at 0 and at 0x10000 and above: two segments.
      {"microbit__2-ghost-music-16.hex", "second 64 KiB segment"},
      {"nrf52__s140_nrf52_7.2.0_softdevice.hex", "second 64 KiB segment"},
      // Colour escape codes around the fields of every record.
      {"bincopy__empty_main.pretty.hex", "no Intel HEX record"},
  };
  TempDir dir;
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    const std::string text = ReadFileText(folder + file.name);
    ASSERT_FALSE(text.empty());
    const HexImage result = ConvertHex(text);
    if (file.refusal) {
      EXPECT_FALSE(result.ok());
      EXPECT_NE(result.error.find(file.refusal), std::string::npos) << result.error;
      continue;
    }
    ASSERT_TRUE(result.ok()) << result.error;
    const auto reference = ReferenceFlash(folder + file.name, dir);
    ASSERT_TRUE(reference.has_value());
    EXPECT_EQ(FlashImage(result.image), *reference);
  }
}

}  // namespace
}  // namespace corvane::testing
