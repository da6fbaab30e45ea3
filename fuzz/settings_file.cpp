// Hostile "store.fms" text: any bytes must load without crashing or hanging.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzStoreSupport.h"
#include "store/SettingsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  corvane::fuzz::StoreReaderKit kit;
  // The first byte picks the unit system, so both conversions are exercised.
  kit.parser.imperial = size > 0 && (data[0] & 1);
  kit.fields.addClickBehaviour(corvane::Window::Configuration, "cImperial", [&kit] {
    kit.parser.imperial = kit.fields.checked(corvane::Window::Configuration, "cImperial");
  });
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  corvane::ApplySettingsFile(bytes, kit.fields, kit.parser);
  // What was loaded must save again.
  const std::string saved = corvane::FormatSettingsFile(kit.fields, kit.parser);
  return saved.empty() ? 1 : 0;
}
