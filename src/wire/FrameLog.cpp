#include "wire/FrameLog.h"

#include <cstdio>

#include "wire/Commands.h"
#include "wire/Frame.h"

namespace corvane::wire {
namespace {

std::string CommandName(std::uint8_t code) {
  if (const CommandInfo* info = FindCommand(code)) return std::string(info->name);
  return "unknown command " + std::to_string(code);
}

// Problems that make a frame unreadable or untrusted, appended to the line.
bool AppendFrameFaults(std::string& line, std::span<const std::uint8_t> bytes) {
  if (bytes.size() != kFrameSize) {
    line += " bad length " + std::to_string(bytes.size());
    return false;
  }
  if (!ChecksumValid(bytes)) line += " bad checksum";
  return true;
}

void AppendField(std::string& line, const char* name, std::int32_t value) {
  line += ' ';
  line += name;
  line += '=';
  line += std::to_string(value);
}

}  // namespace

std::string DescribeRequest(std::span<const std::uint8_t> bytes) {
  std::string line = "TX";
  if (bytes.size() != kFrameSize) {
    AppendFrameFaults(line, bytes);
    return line;
  }
  const ControllerRequest r = DecodeRequest(bytes.first<kFrameSize>());
  line += " #" + std::to_string(r.sequence) + ' ' + CommandName(r.command);
  const CommandInfo* info = FindCommand(r.command);
  static const char* const kNames[] = {"P0", "P1", "P2", "P3", "P4"};
  for (int i = 0; i < 5; ++i)
    if (!info || (info->params & (1u << i))) AppendField(line, kNames[i], r.p[i]);
  AppendFrameFaults(line, bytes);
  return line;
}

std::string DescribeReply(std::span<const std::uint8_t> bytes, std::uint8_t command) {
  std::string line = "RX " + CommandName(command);
  if (!AppendFrameFaults(line, bytes)) return line;
  const ControllerReply r = DecodeReply(bytes.first<kFrameSize>());
  switch (command) {
    case cmd::kStatusA:
      AppendField(line, "X", r.r[0]);
      AppendField(line, "Y", r.r[1]);
      AppendField(line, "Z", r.r[2]);
      AppendField(line, "A", r.r[3]);
      break;
    case cmd::kStatusB: {
      AppendField(line, "arc", r.r[0]);
      char word[16];
      std::snprintf(word, sizeof word, "0x%08X", static_cast<unsigned>(r.r[2]));
      line += " word=";
      line += word;
      break;
    }
    case cmd::kVersion: {
      const int revision = r.r[2] & 0xFF;
      char version[48];
      std::snprintf(version, sizeof version, " version %d.%d %c", r.r[0], r.r[1],
                    revision >= 0x20 && revision < 0x7F ? revision : '?');
      line += version;
      break;
    }
    default:
      break;
  }
  AppendField(line, "fill", r.queueFill());
  if (r.error != 0) AppendField(line, "error", r.error);
  if (r.alarm != 0) AppendField(line, "alarm", r.alarm);
  return line;
}

}  // namespace corvane::wire
