#pragma once
#include <string_view>

namespace corvane {

// Calls visit(line) for every line of a text, without its CR LF or LF ending,
// until visit returns false. A last line without an ending counts too.
template <typename Visit>
void ForEachLine(std::string_view text, Visit&& visit) {
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!visit(line)) return;
    at = next;
  }
}

}  // namespace corvane
