#include "ports/TextCodec.h"

#include <iconv.h>

#include <cerrno>

namespace corvane {
namespace {

// Runs iconv over the whole input; bytes it cannot convert become "?".
std::string Convert(std::string_view input, const char* to, const char* from) {
  const bool fromUtf8 = std::string_view(from) == "UTF-8";
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(input);
  std::string out;
  out.reserve(input.size() * 2);
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    if (rc == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // Invalid or unmappable character: one "?" for it (with its UTF-8 continuation bytes).
      out.push_back('?');
      ++in;
      --inLeft;
      while (fromUtf8 && inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80) {
        ++in;
        --inLeft;
      }
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

bool IsAscii(std::string_view text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

std::string Cp1250ToUtf8(std::string_view bytes) {
  if (IsAscii(bytes)) return std::string(bytes);
  return Convert(bytes, "UTF-8", "CP1250");
}

std::string Utf8ToCp1250(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  return Convert(text, "CP1250", "UTF-8");
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.emplace_back(text.substr(start, stop - start));
    start = end + 1;
  }
  return lines;
}

std::string JoinLinesCrLf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) {
    out += line;
    out += "\r\n";
  }
  return out;
}

}  // namespace corvane
