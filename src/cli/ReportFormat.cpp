#include "cli/ReportFormat.h"

#include <cmath>
#include <cstdio>

namespace corvane {
namespace {

std::string Number(double value, int digits = 10) {
  if (!std::isfinite(value)) return "null";  // JSON has no infinities
  char text[32];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  return text;
}

// Enough digits for a reader of the text report.
std::string Short(double value) { return Number(value, 4); }

// Length of the UTF-8 sequence at text[at], 0 when the bytes there are not one.
std::size_t Utf8Length(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  else return 0;
  if (lead == 0xE0) low = 0xA0;        // no overlong forms
  else if (lead == 0xED) high = 0x9F;  // no surrogates
  else if (lead == 0xF0) low = 0x90;
  else if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
  if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k)
    if (byte(at + k) < 0x80 || byte(at + k) > 0xBF) return 0;
  return length;
}

// Names come from the drawing: keep one report line one line.
std::string Printable(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return out;
}

}  // namespace

std::string FormatName(DrawingFormat format) {
  switch (format) {
    case DrawingFormat::Gcode: return "gcode";
    case DrawingFormat::Hpgl: return "hpgl";
    case DrawingFormat::Dxf: return "dxf";
    case DrawingFormat::Companion: return "2d";
    case DrawingFormat::Unknown: break;
  }
  return "unknown";
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (std::size_t at = 0; at < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (const std::size_t length = Utf8Length(text, at); length > 0) {
      out.append(text.substr(at, length));
      at += length;
      continue;
    } else {
      out += "\\ufffd";
    }
    ++at;
  }
  return out + "\"";
}

std::string ReportText(const FileReading& reading) {
  const ImportReport& report = reading.load.report;
  std::string text = "report: " + Printable(reading.file) + "\n";
  text += "  format: " + FormatName(reading.format) + "\n";
  text += "  units: " + (report.units.empty() ? std::string("none declared") : Printable(report.units)) +
          ", scale " + Short(report.scale) + " (0.01 mm per file unit)\n";
  text += "  skipped:";
  if (report.skipped.empty()) text += " nothing";
  for (const auto& [name, count] : report.skipped) {
    text += text.back() == ':' ? " " : ", ";
    text.append(Printable(name)).append(" ").append(std::to_string(count));
  }
  text += "\n  inserts expanded: " + std::to_string(report.insertsExpanded) + "\n";
  text += "  curves approximated: " + std::to_string(report.curvesApproximated) +
          ", worst chord error " + Short(report.worstChordError) + " (0.01 mm)\n";
  text += "  open contours: " + std::to_string(report.openContours) + " of " +
          std::to_string(reading.paths) + "\n";
  text += std::string("  truncated: ") + (report.truncated ? "yes" : "no") + "\n";
  for (const auto& note : report.notes) text += "  note: " + Printable(note) + "\n";
  return text;
}

std::string ReportJson(const FileReading& reading) {
  const ImportReport& report = reading.load.report;
  std::string skipped, notes;
  for (const auto& [name, count] : report.skipped) {
    if (!skipped.empty()) skipped += ',';
    skipped.append(JsonString(name)).append(":").append(std::to_string(count));
  }
  for (const auto& note : report.notes) {
    if (!notes.empty()) notes += ',';
    notes += JsonString(note);
  }
  const ImportExtents& box = reading.extents;
  const std::string extents =
      box.any ? "{\"minX\":" + std::to_string(box.minX) + ",\"minY\":" + std::to_string(box.minY) +
                    ",\"maxX\":" + std::to_string(box.maxX) + ",\"maxY\":" + std::to_string(box.maxY) + "}"
              : "null";
  return "{\"file\":" + JsonString(reading.file) + ",\"format\":" + JsonString(FormatName(reading.format)) +
         ",\"ok\":" + (reading.load.ok ? "true" : "false") +
         ",\"error\":" + (reading.load.error.empty() ? "null" : JsonString(reading.load.error)) +
         ",\"paths\":" + std::to_string(reading.paths) + ",\"vertices\":" + std::to_string(reading.vertices) +
         ",\"extents\":" + extents + ",\"milliseconds\":" + Number(reading.milliseconds) +
         ",\"report\":{\"skipped\":{" + skipped + "},\"units\":" + JsonString(report.units) +
         ",\"scale\":" + Number(report.scale) +
         ",\"insertsExpanded\":" + std::to_string(report.insertsExpanded) +
         ",\"curvesApproximated\":" + std::to_string(report.curvesApproximated) +
         ",\"worstChordError\":" + Number(report.worstChordError) +
         ",\"openContours\":" + std::to_string(report.openContours) +
         ",\"truncated\":" + (report.truncated ? "true" : "false") + ",\"notes\":[" + notes + "]}}";
}

}  // namespace corvane
