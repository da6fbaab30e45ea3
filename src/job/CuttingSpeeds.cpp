#include "job/CuttingSpeeds.h"

#include <string>

#include "store/FieldValues.h"
#include "system/System.h"

namespace corvane {

std::int32_t CuttingSpeed2(const System& s, std::int32_t feed) {
  std::string text = s.fields.text(Window::Main, "xFeed2");
  if (text.find('%') == std::string::npos) return FieldSpeed(s, Window::Main, "xFeed2");
  std::erase(text, '%');
  return static_cast<std::int32_t>(std::int64_t{feed} * s.parser.ParseInt1(text) / 100);
}

}  // namespace corvane
